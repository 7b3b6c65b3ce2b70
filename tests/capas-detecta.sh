#!/usr/bin/env bash
# The layers' check must catch each way of reaching past a layer: on a copy of the tree with one
# such include planted at a time, it fails and names it.
set -euo pipefail
raiz="$1"
copia="$(mktemp -d)"
trap 'rm -rf "$copia"' EXIT
for d in app transfer source target common; do cp -r "$raiz/$d" "$copia/"; done
plantar() { # file, include line, text the check must print
    local f="$copia/$1"
    cp "$f" "$f.orig"
    printf '%s\n' "$2" >> "$f"
    if salida="$(cmake -DRAIZ="$copia" -P "$raiz/tests/capas.cmake" 2>&1)"; then
        echo "no se ha detectado: $2 en $1"; exit 1
    fi
    grep -qF "$3" <<<"$(tr -s " \n" " " <<<"$salida")" || { echo "el aviso no nombra «$3»: $salida"; exit 1; }
    mv "$f.orig" "$f"
}
plantar source/DbfTable.cpp '#include <ibase.h>' 'el motor dBase incluye ibase.h'
plantar source/Session.h '#include "IBSQL.h"' 'el motor dBase incluye IBSQL.h'
plantar target/IBSQL.cpp '#include "SourceQuery.h"' 'la capa de Firebird incluye SourceQuery.h'
plantar transfer/TDatos.cpp '#include "../source/Session.h"' 'saliendo de su carpeta'
plantar app/TForm1.cpp '#include "Traspaso.h"' 'interna del módulo de datos'
plantar app/TForm1.cpp '#include "IBDatabase.h"' 'la interfaz incluye IBDatabase.h'
cmake -DRAIZ="$copia" -P "$raiz/tests/capas.cmake" >/dev/null
echo "la comprobación de capas detecta las seis faltas"
