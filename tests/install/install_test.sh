#!/usr/bin/env bash
# Installs the build into a temporary prefix once and checks every installed file: the list is
# exactly the expected one, the programs run from there, the desktop entry validates, the icons
# are PNGs of their sizes, the manual pages format cleanly and the file types load.
# Usage: install_test.sh BUILD-FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(
    bin/quorvalis bin/quorvalis-render bin/reelbind
    share/applications/quorvalis.desktop
    share/mime/packages/quorvalis.xml
    share/doc/quorvalis/quorvalis.html
    share/man/man1/quorvalis-render.1 share/man/man1/reelbind.1
)
sizes=(16 32 48 64 128 256)
for size in "${sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/quorvalis.png")
done
for picture in "$build"/quorvalis-manual/*; do
    expected+=("share/doc/quorvalis/quorvalis-manual/$(basename "$picture")")
done
for file in "$build"/gallery/*; do
    expected+=("share/quorvalis/gallery/$(basename "$file")")
    cmp -s "$file" "$prefix/share/quorvalis/gallery/$(basename "$file")" ||
        fail "gallery file $(basename "$file") differs from the build's"
done
[ -n "$(ls "$build"/gallery)" ] || fail "the build has no gallery"
[ -n "$(ls "$build"/quorvalis-manual)" ] || fail "the build has no manual pictures"

missingOrExtra=$(diff <(printf '%s\n' "${expected[@]}" | sort) \
    <(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) || true)
[ -z "$missingOrExtra" ] || fail "installed files differ from the expected list (< missing, > extra):
$missingOrExtra"

for program in quorvalis quorvalis-render reelbind; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done
"$prefix/bin/quorvalis-render" --version >/dev/null || fail "the installed quorvalis-render does not run"
QT_QPA_PLATFORM=offscreen "$prefix/bin/reelbind" --help >/dev/null ||
    fail "the installed reelbind does not run"

desktop-file-validate "$prefix/share/applications/quorvalis.desktop" ||
    fail "the desktop entry does not validate"
grep -qx 'Exec=quorvalis %f' "$prefix/share/applications/quorvalis.desktop" ||
    fail "the desktop entry does not pass the file to open"

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for size in "${sizes[@]}"; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/quorvalis.png"
    [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "icon $size is not a PNG"
    read -r width height < <(od -An -tu1 -j16 -N8 "$icon" |
        awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
    [ "$width $height" = "$size $size" ] || fail "icon $size is ${width}x${height}"
done

for page in quorvalis-render reelbind; do
    file="$prefix/share/man/man1/$page.1"
    warnings=$(groff -man -ww -z "$file" 2>&1)
    [ -z "$warnings" ] || fail "$page(1) formats with warnings: $warnings"
    grep -q "^$page \\\\- " "$file" || fail "$page(1) has no NAME line"
    # Every option of the program's help is in its page.
    for option in $(QT_QPA_PLATFORM=offscreen "$prefix/bin/$page" --help |
        grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u); do
        grep -qF -- "$(sed 's/-/\\-/g' <<<"$option")" "$file" || fail "$page(1) lacks $option"
    done
done

xmllint --noout "$prefix/share/mime/packages/quorvalis.xml" || fail "the file types are not XML"
complaints=$(XDG_DATA_DIRS="$prefix/share" update-mime-database "$prefix/share/mime" 2>&1) ||
    fail "update-mime-database failed"
[ -z "$complaints" ] || fail "update-mime-database complains: $complaints"
for extension in fra fdz fpi fpz pal; do
    grep -q "\*\.$extension" "$prefix/share/mime/globs2" 2>/dev/null ||
        fail "no file type for .$extension"
done

[ "$failures" -eq 0 ] && echo "install test: every installed file checked"
exit $((failures > 0))
