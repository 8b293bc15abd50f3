# Debian package: `cpack -G DEB` in a Release build folder (after building the programs) gives
# quillmap-printer_<version>-1_<arch>.deb. Its run-time dependencies are worked out by
# dpkg-shlibdeps from the libraries the programs really link (Qt 6 Core, Gui, Widgets,
# PrintSupport, Pdf and PdfWidgets for the print preview, ICU, the C++ runtime); the list below
# adds what is loaded at run time rather than
# linked: the CUPS client library behind Qt's print plugin, and the font the tree is printed
# in (DejaVu Sans, regular and bold), which fixes where lines and pages break.

set(CPACK_PACKAGE_NAME "quillmap-printer")
set(CPACK_PACKAGE_VENDOR "Tallowmere")
set(CPACK_PACKAGE_CONTACT "Quillmap Printer maintainers <quillmap@tallowmere.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list a folder tree with file details and print it")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmap Printer walks a folder tree to a chosen depth, shows every folder and every\n\
matching file in a tree view with the details you tick (attributes, dates, type, size)\n\
and prints that tree as one document with connector lines, a title and page footers.\n\
The quillmap_list command does the same without a window, for scripts.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "quillmap-printer")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB")
set(CPACK_SOURCE_GENERATOR "TGZ")
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/;/build[^/]*/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.tallowmere.example/index.html")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libcups2, fonts-dejavu-core, libharfbuzz-subset0, libharfbuzz0b, libfontconfig1, libfreetype6")
# The X11 platform plugin comes with libqt6gui6 on Debian 12. A browser opener for the About
# window's links and a system information tool are welcome extras.
# Fonts for names in scripts the print font lacks (Chinese, Japanese and Korean; Devanagari,
# Thai and the other scripts Noto covers; emoji with outlines a PDF can embed), and Qt's own
# dialogs in the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-wqy-microhei | fonts-noto-cjk, \
fonts-noto-core, fonts-symbola, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-system-monitor | kinfocenter | hardinfo, cups")

include(CPack)
