#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that both programs, the desktop entry
# and the icon land where a Linux desktop looks for them, and that the entry is valid.
set -euo pipefail
build="$1"
prefijo="$(mktemp -d)"
trap 'rm -rf "$prefijo"' EXIT
cmake --install "$build" --prefix "$prefijo" >/dev/null
for f in bin/traspaso-maestros bin/traspaso-maestros-lote; do
    [ -x "$prefijo/$f" ] || { echo "falta $f"; exit 1; }
done
entrada="$prefijo/share/applications/traspaso-maestros.desktop"
[ -f "$entrada" ] || { echo "falta la entrada de escritorio"; exit 1; }
[ -f "$prefijo/share/icons/hicolor/scalable/apps/traspaso-maestros.svg" ] || { echo "falta el icono"; exit 1; }
desktop-file-validate "$entrada"
"$prefijo/bin/traspaso-maestros-lote" --version | grep -q '^traspaso-maestros-lote [0-9]'
echo "instalación correcta en $prefijo"
