#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks it as a Debian user would meet it:
# its name, what it holds, that the programs are stripped, that it depends on the libraries and
# on the embedded Firebird engine, that lintian finds no error, that its manual pages read, and
# that installed into a fresh dpkg root the programs answer and removing it leaves nothing.
set -euo pipefail
build="$(cd "$1" && pwd)"
trabajo="$(mktemp -d)"
trap 'rm -rf "$trabajo"' EXIT
falla() { echo "paquete: $*" >&2; exit 1; }

version="$("$build/app/traspaso-maestros-lote" --version | awk '{print $2}')"
arq="$(dpkg --print-architecture)"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$trabajo" >"$trabajo/cpack.log" 2>&1 ||
    { cat "$trabajo/cpack.log"; falla "cpack no ha podido construir el paquete"; }
deb="$trabajo/traspaso-maestros_${version}_${arq}.deb"
[ -f "$deb" ] || falla "no está $(basename "$deb"): $(ls "$trabajo")"

# What it holds.
contenido="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for f in usr/bin/traspaso-maestros usr/bin/traspaso-maestros-lote \
         usr/share/applications/traspaso-maestros.desktop \
         usr/share/icons/hicolor/scalable/apps/traspaso-maestros.svg \
         usr/share/man/man1/traspaso-maestros.1.gz usr/share/man/man1/traspaso-maestros-lote.1.gz \
         usr/share/doc/traspaso-maestros/copyright usr/share/doc/traspaso-maestros/changelog.gz; do
    grep -qx "\./$f" <<<"$contenido" || falla "el paquete no lleva $f"
done
if grep -v '^\./usr/' <<<"$contenido" | grep -qv '^\./$'; then
    falla "el paquete instala fuera de /usr: $(grep -v '^\./usr/' <<<"$contenido")"
fi

# What it needs: the libraries the programs link, and the engine the client library loads.
depende="$(dpkg-deb -f "$deb" Depends)"
nombres="$(tr ',|' '\n\n' <<<"$depende" | awk '{print $1}')"
for p in libfbclient2 firebird3.0-server-core libqt6widgets6 libqt6gui6 libqt6core6 libstdc++6; do
    grep -qxF "$p" <<<"$nombres" || falla "Depends no nombra $p: $depende"
done
[ "$(dpkg-deb -f "$deb" Package)" = traspaso-maestros ] || falla "otro nombre de paquete"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || falla "la versión no es $version"

dpkg-deb -x "$deb" "$trabajo/x"
for p in traspaso-maestros traspaso-maestros-lote; do
    if readelf -S "$trabajo/x/usr/bin/$p" | grep -Eq '\.(symtab|debug_info)'; then
        falla "$p no está despojado de símbolos"
    fi
done

# The manual pages: in Spanish, without troff complaints; the batch program's from its --help.
for p in traspaso-maestros traspaso-maestros-lote; do
    pagina="$trabajo/x/usr/share/man/man1/$p.1.gz"
    avisos="$(zcat "$pagina" | groff -k -man -Tutf8 -ww -z 2>&1)"
    [ -z "$avisos" ] || falla "$p.1: $avisos"
    texto="$(zcat "$pagina" | groff -k -man -Tutf8 2>/dev/null | sed 's/.\x08//g; s/[‐−]/-/g')"
    for s in NOMBRE SINOPSIS DESCRIPCIÓN OPCIONES; do
        grep -q "^$s" <<<"$texto" || falla "$p.1 no tiene la sección $s"
    done
    grep -Eq "^ *$p +- " <<<"$texto" || falla "$p.1 no empieza por «$p - …»"
done
lote="$(zcat "$trabajo/x/usr/share/man/man1/traspaso-maestros-lote.1.gz")"
"$build/app/traspaso-maestros-lote" --help | grep -Eo '^  --[a-z-]+' | while read -r opcion; do
    grep -qF ".B ${opcion//-/\\-}" <<<"$lote" || falla "la página del lote no explica $opcion"
done

if ! command -v lintian >/dev/null; then falla "falta lintian (scripts/setup lo instala)"; fi
lintian --tag-display-limit 0 "$deb" >"$trabajo/lintian.log" 2>&1 || true
if grep -q '^E:' "$trabajo/lintian.log"; then
    cat "$trabajo/lintian.log"
    falla "lintian encuentra errores"
fi

# Installed into an empty dpkg root (the libraries it depends on are this machine's), then
# removed; dpkg sets the files' owner, which needs root: without it, only unpacked. Neither
# program needs a display to answer.
raiz="$trabajo/raiz"
mkdir -p "$raiz/var/lib/dpkg/info" "$raiz/var/lib/dpkg/updates"
touch "$raiz/var/lib/dpkg/status"
if [ "$(id -u)" -eq 0 ]; then
    dpkg --root="$raiz" --force-depends -i "$deb" >"$trabajo/dpkg.log" 2>&1 ||
        { cat "$trabajo/dpkg.log"; falla "dpkg no lo instala"; }
else
    dpkg-deb -x "$deb" "$raiz"
fi
sin_pantalla=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
[ "$("${sin_pantalla[@]}" "$raiz/usr/bin/traspaso-maestros-lote" --version)" = \
  "traspaso-maestros-lote $version" ] || falla "el lote instalado no dice su versión"
[ "$("${sin_pantalla[@]}" "$raiz/usr/bin/traspaso-maestros" --version)" = \
  "traspaso-maestros $version" ] || falla "la ventana instalada no dice su versión"
"${sin_pantalla[@]}" "$raiz/usr/bin/traspaso-maestros" --help | grep -q '^Uso: traspaso-maestros' ||
    falla "la ventana instalada no da su ayuda"
if [ "$(id -u)" -eq 0 ]; then
    dpkg --root="$raiz" -r traspaso-maestros >>"$trabajo/dpkg.log" 2>&1 ||
        { cat "$trabajo/dpkg.log"; falla "dpkg no lo desinstala"; }
    quedan="$(find "$raiz" -path "$raiz/var" -prune -o -type f -print)"
    [ -z "$quedan" ] || falla "al desinstalar quedan: $quedan"
fi
echo "paquete correcto: $(basename "$deb")"
