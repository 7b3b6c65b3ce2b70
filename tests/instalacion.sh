#!/usr/bin/env bash
# Installs the build into a temporary prefix, stripped as the README says, and checks that both
# programs, the desktop entry, the icon and the manual pages land where a Linux desktop looks
# for them, that the entry is valid and that the programs answer without a display.
set -euo pipefail
build="$1"
prefijo="$(mktemp -d)"
trap 'rm -rf "$prefijo"' EXIT
cmake --install "$build" --prefix "$prefijo" --strip >/dev/null
for f in bin/traspaso-maestros bin/traspaso-maestros-lote; do
    [ -x "$prefijo/$f" ] || { echo "falta $f"; exit 1; }
done
entrada="$prefijo/share/applications/traspaso-maestros.desktop"
[ -f "$entrada" ] || { echo "falta la entrada de escritorio"; exit 1; }
[ -f "$prefijo/share/icons/hicolor/scalable/apps/traspaso-maestros.svg" ] || { echo "falta el icono"; exit 1; }
desktop-file-validate "$entrada"
for p in traspaso-maestros traspaso-maestros-lote; do
    [ -f "$prefijo/share/man/man1/$p.1.gz" ] || { echo "falta la página de manual de $p"; exit 1; }
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefijo/bin/$p" --version |
        grep -q "^$p [0-9]" || { echo "$p --version no contesta"; exit 1; }
done
echo "instalación correcta en $prefijo"
