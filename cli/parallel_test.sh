#!/usr/bin/env bash
# Las dos recetas de GNU parallel del README, tal cual, sobre las rejillas de muestra:
#   1. en esta máquina: parallel tesmalo-cli -q {} ::: *
#   2. repartida entre anfitriones por ssh, con --transferfile, --return y --cleanup. El ssh es
#      uno de mentira (--ssh) que hace de cada anfitrión una carpeta local, para pasar de verdad
#      por la copia con rsync, la conversión «remota», la devolución del destino y la limpieza.
#      (--sshlogin : no sirve: con él parallel no copia ni devuelve nada.)
# Cada destino ha de ser igual, byte a byte, al de una llamada suelta a tesmalo-cli, y llamarse
# como lo propone: el origen sin sus cuatro últimos caracteres, más "_reestruct.txt".
# Uso: parallel_test.sh RUTA/tesmalo-cli CARPETA_DE_MUESTRAS
set -euo pipefail
cli="$(realpath "$1")"
muestras="$(realpath "$2")"
export PATH="$(dirname "$cli"):$PATH"
trabajo="$(mktemp -d)"
trap 'rm -rf "$trabajo"' EXIT
fallos=0
falla() { echo "FALLO: $*" >&2; fallos=$((fallos + 1)); }

# Las muestras y una copia de zona1.asc con una extensión de cinco caracteres, cuyo destino no
# es el nombre sin extensión más "_reestruct.txt" sino «zona1._reestruct.txt».
mkdir "$trabajo/originales" "$trabajo/referencia" "$trabajo/local" "$trabajo/varios"
cp "$muestras"/* "$trabajo/originales/"
cp "$muestras/zona1.asc" "$trabajo/originales/zona1.copia"
for d in referencia local varios; do cp "$trabajo/originales"/* "$trabajo/$d/"; done
origenes=()
for f in "$trabajo/originales"/*; do origenes+=("$(basename "$f")"); done
[ ${#origenes[@]} -ge 5 ] || falla "se esperaban al menos 4 muestras en $muestras"
for o in "${origenes[@]}"; do (cd "$trabajo/referencia" && tesmalo-cli -q "$o"); done

# Compara los ficheros de la carpeta $1 con la referencia: los orígenes intactos y un destino
# por origen, con los bytes de la llamada suelta; nada más.
comprobar() {
  local carpeta="$1" o d
  for o in "${origenes[@]}"; do
    d="${o:0:${#o}-4}_reestruct.txt"
    cmp -s "$trabajo/originales/$o" "$carpeta/$o" || falla "$carpeta: origen $o cambiado o borrado"
    cmp -s "$trabajo/referencia/$d" "$carpeta/$d" || falla "$carpeta: destino $d distinto o ausente"
  done
  local n
  n="$(find "$carpeta" -mindepth 1 | wc -l)"
  [ "$n" -eq $((2 * ${#origenes[@]})) ] || falla "$carpeta: $n ficheros, se esperaban $((2 * ${#origenes[@]}))"
}

echo "== En esta máquina"
(cd "$trabajo/local" && parallel --will-cite tesmalo-cli -q {} ::: *)
comprobar "$trabajo/local"

echo "== Repartida entre dos anfitriones (ssh de mentira)"
mkdir -p "$trabajo/anfitriones/norte" "$trabajo/anfitriones/sur"
cat > "$trabajo/ssh" <<'FIN'
#!/usr/bin/env bash
# ssh [opciones] ANFITRIÓN [--] ORDEN...: ejecuta ORDEN con la carpeta del anfitrión como casa.
while [ $# -gt 0 ]; do
  case "$1" in -[bcDEeFIiJLlmOopQRSWw]) shift 2 ;; -*) shift ;; *) break ;; esac
done
anfitrion="$1"; shift
[ "${1-}" = -- ] && shift
# Como sshd: la orden remota tiene la shell de entrada en SHELL y la casa en HOME. parallel
# ejecuta el trabajo con "$SHELL" del anfitrión; sin ella no convierte nada y no avisa.
export SHELL=/bin/bash HOME="$ANFITRIONES/$anfitrion"
cd "$HOME" && exec bash -c "$*"
FIN
chmod +x "$trabajo/ssh"
(cd "$trabajo/varios" && ANFITRIONES="$trabajo/anfitriones" \
  parallel --will-cite --ssh "$trabajo/ssh" --sshlogin 1/norte,1/sur \
    --transferfile {} --return '{= s/.{4}$/_reestruct.txt/ =}' --cleanup \
    tesmalo-cli -q {} ::: *)
comprobar "$trabajo/varios"
restos="$(find "$trabajo/anfitriones" -type f | wc -l)"
[ "$restos" -eq 0 ] || falla "--cleanup dejó $restos ficheros en los anfitriones"

[ "$fallos" -eq 0 ] && echo "Las dos recetas dan los destinos de las llamadas sueltas."
exit $((fallos > 0))
