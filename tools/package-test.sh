#!/usr/bin/env bash
# Builds the Debian package with tools/package.sh and checks what it holds:
# its control fields and dependencies, the programs (which must run and dump
# the sample as examples/expected/ says), a manual page for each program, the
# desktop entry, the icon in every size, the README, the license and the
# copyright file. Prints "N passed, N failed"; exits 1 on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(tools/package.sh | tail -n 1)

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FALLO: $what" >&2
  fi
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-release/CMakeCache.txt)
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -c "$deb" | awk '{print $1, $2, $NF}' >"$work/contents"
dpkg-deb -x "$deb" "$work/root"
root=$work/root
field() { dpkg-deb -f "$deb" "$1"; }
has() { grep -q " \./${1#/}\$" "$work/contents"; }
# The sizes a header lists for an icon ("NAME = {16, 24, ...}"), one a line;
# nothing when it lists none.
icon_sizes() {  # icon_sizes HEADER NAME
  grep -o "\b$2 = {[0-9, ]*}" "$1" | grep -o '[0-9]\+' || true
}
# The icon ICON installed as a PNG of each size the header lists.
check_icons() {  # check_icons WHAT HEADER NAME ICON
  local what=$1 header=$2 name=$3 icon=$4 sizes size
  sizes=$(icon_sizes "$header" "$name")
  check "tamaños del $what leídos de $(basename "$header")" test -n "$sizes"
  for size in $sizes; do
    check "$what de $size px" bash -c \
      "file -b '$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png' | grep -q 'PNG image data, $size x $size'"
  done
}

# Name and control fields: one version, from CMake.
check "nombre del paquete $deb" test "$deb" = "romscriber_${version}_${arch}.deb"
check "Package" test "$(field Package)" = romscriber
check "Version $version" test "$(field Version)" = "$version"
check "Architecture $arch" test "$(field Architecture)" = "$arch"
depends=$(field Depends)
depends_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
  check "Depends nombra $lib: $depends" grep -qxF "$lib" <<<"$depends_names"
done
check "la descripción dice dónde van los scripts" grep -q "Documentos/Romscriber" <<<"$(field Description)"
check "todo es de root" bash -c "! awk '{print \$2}' '$work/contents' | grep -vx root/root"

# The programs, each with its manual page that man reads without warnings.
programs=(romscriber romscriber-dump romscriber-find)
for optional in romscriber-insert romscriber-dict; do
  [ -n "$(find build-release/src -name "$optional" -type f -perm -u+x)" ] && programs+=("$optional")
done
for program in "${programs[@]}"; do
  check "/usr/bin/$program" has "/usr/bin/$program"
done
while read -r program; do
  page=$root/usr/share/man/man1/$program.1.gz
  check "página de manual de $program" test -f "$page"
  check "man lee la página de $program sin avisos" bash -c \
    "out=\$(LANG=C.UTF-8 MANWIDTH=80 man --warnings -l '$page' 2>&1 >/dev/null); [ -z \"\$out\" ]"
  check "$program es ejecutable" test -x "$root/usr/bin/$program"
done < <(find "$root/usr/bin" -type f -printf '%f\n')
check "la página de romscriber-dump tiene su sinopsis" bash -c \
  "LANG=C.UTF-8 man -l '$root/usr/share/man/man1/romscriber-dump.1.gz' | grep -q 'romscriber-dump \[OPCIONES\] ROM TABLE START END'"

# The packaged dumper runs, reports the version and writes what the sample gives.
check "romscriber-dump --version" test "$("$root/usr/bin/romscriber-dump" --version)" = "$version"
for mode in free block; do
  args=()
  [ "$mode" = block ] && args=(--indicator FF --left [ --right ])
  check "romscriber-dump del paquete, modo $mode" bash -c \
    "'$root/usr/bin/romscriber-dump' examples/sample.rom examples/sample.tbl 0 98 ${args[*]} \
       --out '$work/$mode' && diff -r examples/expected/$mode '$work/$mode'"
done
# The packaged finder: the sample's word, its strings and its pointer table.
find_program=$root/usr/bin/romscriber-find
check "la página de romscriber-find tiene sus formas" bash -c \
  "LANG=C.UTF-8 MANWIDTH=200 man -l '$root/usr/share/man/man1/romscriber-find.1.gz' | grep -q 'romscriber-find pointers ROM (--targets ARCHIVO'"
check "romscriber-find --version" test "$("$find_program" --version 2>/dev/null)" = "$version"
check "romscriber-find relative en la muestra" bash -c \
  "'$find_program' relative examples/project/juego.sfc Bienvenido | head -n 1 | grep -qx '18074 A=21 a=41'"
check "romscriber-find text y pointers en la muestra" bash -c \
  "'$find_program' text examples/project/juego.sfc examples/project/juego.tbl --table-format extended \
     --min-length 3 --targets >'$work/textos.txt' && '$find_program' pointers examples/project/juego.sfc \
     --targets '$work/textos.txt' --top 1 | grep -q '^18000 57 2 little 2 lorom 0 53/'"
# The packaged dictionary builder: the sample dumped, two strings translated
# as the README does, the entries written as table lines and as the game's data.
dict_program=$root/usr/bin/romscriber-dict
dict_sample() {
  "$root/usr/bin/romscriber-dump" --project examples/project/juego.toml --format tsv --out "$work/dict" \
    >/dev/null 2>&1 &&
    awk -F'\t' -v OFS='\t' '$1 == "0" { $5 = "Rey:\\nWelcome to the castle, young knight.<fin>" }
      $1 == "2" { $5 = "Thanks." } { print }' "$work/dict/dialogo.tsv" >"$work/dialogo.tsv" &&
    mv "$work/dialogo.tsv" "$work/dict/dialogo.tsv" &&
    "$dict_program" --project examples/project/juego.toml --scripts "$work/dict" --table juego \
      --codes 82-DF --out "$work/dte.tbl" --data "$work/dte.bin" 2>/dev/null |
    grep -q '^dialogo: 2 textos, 47 bytes antes, 27 después (20 menos)$' &&
    [ "$(stat -c %s "$work/dte.bin")" -eq 188 ] && grep -qx '82=e ' "$work/dte.tbl"
}
if [ -x "$dict_program" ]; then
  check "la página de romscriber-dict tiene su sinopsis" bash -c \
    "LANG=C.UTF-8 MANWIDTH=200 man -l '$root/usr/share/man/man1/romscriber-dict.1.gz' | grep -q 'romscriber-dict --project RUTA --table NOMBRE --codes HH-HH'"
  check "romscriber-dict --version" test "$("$dict_program" --version 2>/dev/null)" = "$version"
  check "romscriber-dict en la muestra" dict_sample
fi
# The window knows its installed folder is the one it is packaged in.
check "romscriber sabe que se instala en /usr/bin" bash -c \
  "strings '$root/usr/bin/romscriber' | grep -qx /usr/bin"

# The studio: it runs, and its entry and icon are there.
studio=$root/usr/bin/romscriber-studio
check "/usr/bin/romscriber-studio" test -x "$studio"
check "romscriber-studio --version" bash -c "QT_QPA_PLATFORM=offscreen '$studio' --version | grep -qx '$version'"
studio_desktop=$root/usr/share/applications/romscriber-studio.desktop
check "entrada de escritorio del estudio" grep -qx "Exec=romscriber-studio %f" "$studio_desktop"
check "icono del estudio en la entrada" grep -qx "Icon=romscriber-studio" "$studio_desktop"
check_icons "icono del estudio" src/studio/studio_icon.h kStudioIconSizes romscriber-studio

# The range window links only the range core: no TOML, PO or zlib of its own
# (zlib reaches it through Qt).
check "romscriber no enlaza toml++ ni gettextpo" bash -c \
  "! ldd '$root/usr/bin/romscriber' | grep -Eq 'tomlplusplus|gettextpo'"
check "romscriber no enlaza zlib por sí mismo" bash -c \
  "! readelf -d '$root/usr/bin/romscriber' | grep NEEDED | grep -q libz"

# Desktop entry and icons.
desktop=$root/usr/share/applications/romscriber.desktop
check "entrada de escritorio" test -f "$desktop"
check "X-Romscriber-Version=$version" grep -qx "X-Romscriber-Version=$version" "$desktop"
check "Exec=romscriber" grep -qx "Exec=romscriber" "$desktop"
check "Icon=romscriber" grep -qx "Icon=romscriber" "$desktop"
check_icons "icono" src/window/app_icon.h kIconSizes romscriber

# README, license, copyright.
doc=$root/usr/share/doc/romscriber
check "README.md" cmp README.md "$doc/README.md"
check "LICENSE es la GPL 3" bash -c "cmp LICENSE '$doc/LICENSE' && grep -q 'Version 3, 29 June 2007' '$doc/LICENSE'"
check "copyright GPL-3+" grep -q "^License: GPL-3+" "$doc/copyright"

echo "$deb: $(stat -c %s "$deb") bytes; Depends: $depends"
echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
