# Install layout. The programs look for lang.ini beside their own executable, so both programs
# and the message file share a folder of their own; bin/ holds relative links to the programs
# (the programs resolve their real folder through /proc/self/exe, so a link finds the file).
#
#   <prefix>/lib/quillmap-printer/{quillmap_print, quillmap_list, lang.ini}
#   <prefix>/bin/{quillmap_print, quillmap_list} -> ../lib/quillmap-printer/...
#   <prefix>/share/applications/quillmap-printer.desktop
#   <prefix>/share/icons/hicolor/{48x48,64x64,128x128,256x256,scalable}/apps/quillmap-printer.*

include(GNUInstallDirs)

set(QUILLMAP_INSTALL_APPDIR "lib/quillmap-printer" CACHE STRING
    "Folder under the prefix that holds the programs and their message file")

set(_quillmap_programs quillmap_print)
if(TARGET quillmap_list)
    list(APPEND _quillmap_programs quillmap_list)
endif()

install(TARGETS ${_quillmap_programs} RUNTIME DESTINATION ${QUILLMAP_INSTALL_APPDIR})

# OPTIONAL: looked for at install time, so a build folder configured before the file existed
# still installs it.
install(FILES ${CMAKE_SOURCE_DIR}/resources/lang.ini DESTINATION ${QUILLMAP_INSTALL_APPDIR} OPTIONAL)

# The links are made at configure time and installed as links (file(INSTALL) keeps a symlink a
# symlink), so they appear in the install manifest and in the package like any other file.
file(RELATIVE_PATH _quillmap_bin_to_app
    /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${QUILLMAP_INSTALL_APPDIR})
set(_quillmap_link_dir ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${_quillmap_link_dir})
foreach(_program IN LISTS _quillmap_programs)
    file(CREATE_LINK ${_quillmap_bin_to_app}/${_program} ${_quillmap_link_dir}/${_program} SYMBOLIC)
    install(FILES ${_quillmap_link_dir}/${_program} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/resources/quillmap-printer.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

foreach(_size 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/quillmap-printer-${_size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
        RENAME quillmap-printer.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/quillmap-printer.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
