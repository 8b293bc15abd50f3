#!/usr/bin/env bash
# Builds the programs in a Release folder of its own, installs them into a scratch DESTDIR,
# builds the Debian package with CPack and checks both: the layout (programs and lang.ini in
# one folder, links in bin/, desktop entry, icons), nothing stray, and that the package's
# Depends cover every library the programs load.
#
# usage: check_package.sh SOURCE_DIR WORK_DIR HAVE_QUILLMAP_LIST(0|1)
set -euo pipefail

src=$1
work=$2
have_list=$3
build=$work/build
stage=$work/stage
debdir=$work/deb
appdir=usr/lib/quillmap-printer

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    "$@" || fail "$what"
}
is_elf_program() { [ -x "$1" ] && file -b "$1" | grep -q '^ELF'; }
is_link_to() { [ -L "$1" ] && [ "$(readlink "$1")" = "$2" ]; }
is_png_of_size() { file -b "$1" | grep -q "^PNG image data, $2 x $2,"; }
is_stripped() { file -b "$1" | grep -q ', stripped'; }
all_owned_by_root() { ! awk '{print $2}' <<<"$1" | grep -vqx root/root; }
# The Debian package that owns a library path (Debian 12 registers some under /lib, some
# under /usr/lib, and ldd may report either).
owner_of() {
    local path candidates c
    path=$1
    candidates=("$path" "$(readlink -f "$path")")
    for c in "${candidates[@]}"; do
        case $c in /usr/*) candidates+=("${c#/usr}") ;; *) candidates+=("/usr$c") ;; esac
    done
    for c in "${candidates[@]}"; do
        if dpkg -S "$c" >/dev/null 2>&1; then
            dpkg -S "$c" | head -1 | cut -d: -f1
            return
        fi
    done
}

version=$(sed -n 's/^project([^)]*VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || { echo "no project version in $src/CMakeLists.txt" >&2; exit 1; }

programs=(quillmap_print)
[ "$have_list" = 1 ] && programs+=(quillmap_list)

# A build of its own: packaging must not pick up the sanitizers of the test build. Kept between
# runs so a second run only rebuilds what changed.
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMAP_SANITIZE=OFF \
    -DQUILLMAP_BUILD_TESTS=OFF -DQUILLMAP_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${programs[@]}"

rm -rf "$stage" "$debdir"
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null

# --- the installed tree -------------------------------------------------------------------
expected=(
    usr/share/applications/quillmap-printer.desktop
    usr/share/icons/hicolor/scalable/apps/quillmap-printer.svg
)
for size in 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/quillmap-printer.png")
done
for p in "${programs[@]}"; do
    expected+=("$appdir/$p" "usr/bin/$p")
done
if [ -f "$src/resources/lang.ini" ]; then
    expected+=("$appdir/lang.ini")
    check "lang.ini installed differs from the source" cmp -s "$src/resources/lang.ini" "$stage/$appdir/lang.ini"
fi

actual=$(cd "$stage" && find . -mindepth 1 ! -type d | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
    fail "installed files differ from the expected set"
    diff <(echo "$wanted") <(echo "$actual") | sed 's/^/    /' >&2 || true
fi

for p in "${programs[@]}"; do
    check "$appdir/$p is not an executable ELF file" is_elf_program "$stage/$appdir/$p"
    check "usr/bin/$p is not a relative link to ../lib/quillmap-printer/$p" \
        is_link_to "$stage/usr/bin/$p" "../lib/quillmap-printer/$p"
done

# The programs find lang.ini through their real path, even when started through the link.
if [ "$have_list" = 1 ]; then
    # Bounded in time and output, should the option ever be taken for a folder to list.
    set +o pipefail
    timeout 60 "$stage/usr/bin/quillmap_list" --version </dev/null 2>&1 | head -c 2000 >"$work/version.txt"
    rc=${PIPESTATUS[0]}
    set -o pipefail
    out=$(cat "$work/version.txt")
    [ "$rc" -eq 0 ] || fail "quillmap_list --version failed ($rc): $out"
    case $out in *"$version"*) ;; *) fail "quillmap_list --version does not show $version: $out" ;; esac
fi

desktop=$stage/usr/share/applications/quillmap-printer.desktop
if command -v desktop-file-validate >/dev/null; then
    check "desktop entry is not valid" desktop-file-validate "$desktop"
fi
check "desktop entry does not start quillmap_print" grep -qx 'Exec=quillmap_print' "$desktop"
check "desktop entry is not in the Utility category" grep -q '^Categories=.*Utility;' "$desktop"
check "desktop entry does not name the installed icon" grep -qx 'Icon=quillmap-printer' "$desktop"
for size in 48 64 128 256; do
    png=$stage/usr/share/icons/hicolor/${size}x${size}/apps/quillmap-printer.png
    check "icon $png is not a ${size} x ${size} PNG" is_png_of_size "$png" "$size"
done
check "scalable icon is not an SVG" grep -q '<svg' "$stage/usr/share/icons/hicolor/scalable/apps/quillmap-printer.svg"

# --- the Debian package -------------------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$debdir" >/dev/null)
shopt -s nullglob
debs=("$debdir"/quillmap-printer_*.deb)
[ ${#debs[@]} -eq 1 ] || { fail "expected one quillmap-printer .deb in $debdir, found ${#debs[@]}"; exit 1; }
deb=${debs[0]}
echo "package: $deb"
dpkg-deb -I "$deb"

check "package name" [ "$(dpkg-deb -f "$deb" Package)" = quillmap-printer ]
check "package version is not $version-1" [ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ]
check "package architecture" [ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ]
depends=$(dpkg-deb -f "$deb" Depends)
# Package names of the Depends field, alternatives included, without versions.
dep_names=" $(echo "$depends" | sed 's/[,|]/\n/g' | sed 's/(.*)//; s/[[:space:]]//g' | tr '\n' ' ') "
# fonts-dejavu-core: the print font, looked up by name at run time.
for need in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libcups2 libc6 libstdc++6 \
    fonts-dejavu-core; do
    case $dep_names in *" $need "*) ;; *) fail "Depends lacks $need: $depends" ;; esac
done
case $dep_names in *asan* | *ubsan*) fail "Depends names a sanitizer runtime: $depends" ;; esac

# The package holds exactly the installed tree, links as links, owned by root.
listing=$(dpkg-deb -c "$deb")
deb_files=$(echo "$listing" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort)
if [ "$deb_files" != "$wanted" ]; then
    fail "package contents differ from the expected set"
    diff <(echo "$wanted") <(echo "$deb_files") | sed 's/^/    /' >&2 || true
fi
for p in "${programs[@]}"; do
    check "package lacks the link usr/bin/$p" \
        grep -q "^l.* \./usr/bin/$p -> \.\./lib/quillmap-printer/$p\$" <<<"$listing"
    check "package lacks the executable $appdir/$p" grep -q "^-rwxr-xr-x root/root .* \./$appdir/$p\$" <<<"$listing"
done
check "package files not all owned by root" all_owned_by_root "$listing"

# Every library the packaged programs load must come from a package named in Depends.
dpkg-deb -x "$deb" "$debdir/root"
for p in "${programs[@]}"; do
    exe=$debdir/root/$appdir/$p
    check "$p in the package is not stripped" is_stripped "$exe"
    if ldd "$exe" | grep -q 'not found'; then
        fail "$p has unresolved libraries: $(ldd "$exe" | grep 'not found')"
    fi
    for lib in $(objdump -p "$exe" | awk '$1 == "NEEDED" {print $2}'); do
        path=$(ldd "$exe" | awk -v l="$lib" '$1 == l {print $3}')
        [ -n "$path" ] || continue
        owner=$(owner_of "$path")
        [ -n "$owner" ] || { fail "no Debian package owns $path ($lib of $p)"; continue; }
        case $dep_names in *" $owner "*) ;; *) fail "$p needs $lib from $owner, which Depends lacks" ;; esac
    done
done

# As on a clean Debian 12: with no package installed at all, apt must find every dependency in
# the archive (needs the package lists, which a fresh container may not have yet).
if compgen -G '/var/lib/apt/lists/*_Packages*' >/dev/null; then
    : >"$work/empty-status"
    if ! apt-get -s -o Dir::State::status="$work/empty-status" install "$deb" >"$work/apt-sim.log" 2>&1 ||
        ! grep -q '^Inst quillmap-printer ' "$work/apt-sim.log"; then
        fail "apt cannot install the package on an empty system:"
        grep -v '^\(Inst\|Conf\) ' "$work/apt-sim.log" | tail -20 | sed 's/^/    /' >&2
    fi
else
    echo "skipped the clean-system install check: no apt package lists (apt-get update)"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package checks passed: ${#expected[@]} files"
