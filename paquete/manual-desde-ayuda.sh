#!/bin/sh
# Writes a manual page (section 1) from a program's --help, so that the page says what the
# program does now. The help is read as: the «Uso:» lines, then paragraphs; a short line at the
# left ending in «:» starts a section; «  término  texto» lines are items, and deeper-indented
# lines carry on the item above.
#   manual-desde-ayuda.sh SALIDA.1.gz PROGRAMA NOMBRE "RESUMEN" VERSION FECHA "VÉASE TAMBIÉN"
set -eu
salida="$1" programa="$2" nombre="$3" resumen="$4" version="$5" fecha="$6" vease="${7:-}"
ayuda="$("$programa" --help)"
[ -n "$ayuda" ] || { echo "manual-desde-ayuda: $programa --help no dice nada" >&2; exit 1; }
trap 'rm -f "$salida.tmp"' EXIT
exec >"$salida.tmp"

mayusculas() { printf '%s' "$1" | tr '[:lower:]' '[:upper:]'; }
printf '.TH %s 1 "%s" "%s %s" "Órdenes de usuario"\n' "$(mayusculas "$nombre")" "$fecha" \
    "$nombre" "$version"
printf '.nh\n.SH NOMBRE\n%s \\- %s\n' "$nombre" "$resumen"

printf '%s\n' "$ayuda" | awk '
function escapar(t) {
    gsub(/\\/, "\\e", t)
    gsub(/--/, "\\-\\-", t)
    if (t ~ /^[.'"'"']/) t = "\\&" t
    return t
}
function termino(t) {
    gsub(/\\/, "\\e", t)
    gsub(/-/, "\\-", t)
    return t
}
BEGIN { estado = "uso"; parrafo = 0 }
estado == "uso" && /^Uso: / {
    print ".SH SINOPSIS"
    sub(/^Uso: +/, "")
    print escapar($0); print ".br"
    next
}
estado == "uso" && /^ +[^ ]/ && NR > 1 {
    sub(/^ +/, "")
    print escapar($0); print ".br"
    next
}
estado == "uso" {
    estado = "texto"
    print ".SH DESCRIPCIÓN"
    parrafo = 1
}
/^$/ { parrafo = 1; next }
/^[^ ].*:$/ && $0 !~ /,/ && split($0, palabras, " ") <= 4 {
    sub(/:$/, "")
    print ".SH " toupper($0)
    parrafo = 0
    next
}
/^  [^ ]/ {
    linea = substr($0, 3)
    corte = index(linea, "  ")
    if (corte > 0) {
        t = substr(linea, 1, corte - 1)
        d = substr(linea, corte); sub(/^ +/, "", d)
        print ".TP"; print ".B " termino(t); print escapar(d)
    } else {
        print ".PP"; print escapar(linea)
    }
    parrafo = 0
    next
}
/^   +[^ ]/ { sub(/^ +/, ""); print escapar($0); next }
{
    if (parrafo) print ".PP"
    parrafo = 0
    print escapar($0)
}'

if [ -n "$vease" ]; then
    printf '.SH VÉASE TAMBIÉN\n%s\n' "$vease"
fi
exec >&-
gzip -9n <"$salida.tmp" >"$salida"
