#!/usr/bin/env bash
# tesmalo-lote-slurm contra un cluster de Slurm de verdad, de un nodo, que esta prueba arranca
# en una carpeta temporal (cli/apoyo_slurm.sh) y para por los PID de sus demonios. El ejemplo de
# su página de manual (el bloque que empieza por «cd hojas») se saca de la página y se ejecuta
# tal cual sobre rejillas con nombres difíciles:
#   1. cada destino ha de ser igual, byte a byte, al de «tesmalo-cli -d» en esta máquina, y no
#      ha de quedar nada más en la carpeta de destino;
#   2. con una carpeta en el lugar de una rejilla, ha de salir con 1, nombrar esa rejilla y dar
#      la salida de su tarea, que dice por qué; las demás se convierten igual.
# Se salta si Slurm o munge no están instalados; necesita root (slurmd corre como root).
# Uso: slurm_test.sh RUTA/tesmalo-cli CARPETA_DE_MUESTRAS RUTA/tesmalo-lote-slurm PÁGINA.1
set -euo pipefail
cli="$(realpath "$1")"
muestras="$(realpath "$2")"
guion="$(realpath "$3")"
pagina="$(realpath "$4")"
source "$(dirname "$(realpath "$0")")/apoyo_slurm.sh"
if ! Slurm_instalado; then
  echo "slurm_test: se salta: Slurm o munge no están instalados (paquetes slurm-wlm y munge)" >&2
  exit 77
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "slurm_test: se salta: el cluster propio necesita root" >&2
  exit 77
fi

trabajo="$(mktemp -d)"
chmod 755 "$trabajo"
terminar() { Parar_slurm; rm -rf "$trabajo"; }
trap terminar EXIT
fallos=0
falla() { echo "FALLO: $*" >&2; fallos=$((fallos + 1)); }

mkdir "$trabajo/bin"
ln -s "$cli" "$trabajo/bin/tesmalo-cli"
ln -s "$guion" "$trabajo/bin/tesmalo-lote-slurm"
export PATH="$trabajo/bin:$PATH"

# El ejemplo de la página, con las marcas de roff deshechas.
receta="$(sed 's/\\-/-/g; s/\\e/\\/g' "$pagina" | awk '
  /^\.nf/ { dentro = 1; bloque = ""; next }
  /^\.fi/ { if (dentro && bloque ~ /^cd hojas\n/) { printf "%s", bloque; exit } dentro = 0; next }
  dentro { bloque = bloque $0 "\n" }')"
[ -n "$receta" ] || { echo "FALLO: $pagina no tiene un ejemplo que empiece por «cd hojas»" >&2; exit 1; }

nombres=(normal "con espacio" año ñandú "comilla'simple" 'comilla"doble' -guion --doble-guion
  'dólar$HOME' 'barra\inv' 'estrella*' 'punto y coma;' 'y&más' '#almohadilla' 'paréntesis(1)')
rejillas=(uno_por_linea.txt irregular.grd fila_por_linea.dtm zona1.asc)
mkdir "$trabajo/originales" "$trabajo/referencia"
for i in "${!nombres[@]}"; do
  cp "$muestras/${rejillas[$((i % ${#rejillas[@]}))]}" "$trabajo/originales/${nombres[$i]}.asc"
done
(cd "$trabajo/originales" && tesmalo-cli -q -d ../referencia -- *.asc)

# Ejecuta la receta en $1 (hojas/ con las rejillas, convertidas/ vacía); stderr en $1/stderr.
ejecutar() {
  mkdir -p "$1/hojas" "$1/convertidas"
  cp "$trabajo/originales"/* "$1/hojas/"
  (cd "$1" && bash -c "$receta") >"$1/stdout" 2>"$1/stderr"
}
# Cada destino de la referencia, igual en $1/convertidas; y $2 entradas en ella.
comprobar() {
  local d n
  for d in "$trabajo/referencia"/*; do
    cmp -s "$d" "$1/convertidas/${d##*/}" || falla "$1: destino «${d##*/}» distinto o ausente"
  done
  n="$(find "$1/convertidas" -mindepth 1 -maxdepth 1 | wc -l)"
  [ "$n" -eq "$2" ] || falla "$1/convertidas: $n entradas, se esperaban $2"
}

echo "== Cluster de un nodo"
Arrancar_slurm "$trabajo/cluster" || { echo "FALLO: el cluster propio no arrancó" >&2; exit 1; }

echo "== Ejemplo de la página, ${#nombres[@]} rejillas"
estado=0
ejecutar "$trabajo/bien" || estado=$?
[ "$estado" -eq 0 ] || { falla "salió con $estado"; cat "$trabajo/bien/stderr" >&2; }
comprobar "$trabajo/bien" "${#nombres[@]}"

echo "== Con una carpeta en lugar de una rejilla"
mkdir -p "$trabajo/mal/hojas/no es rejilla.asc"
estado=0
ejecutar "$trabajo/mal" || estado=$?
[ "$estado" -eq 1 ] || falla "con una rejilla que falla salió con $estado, no con 1"
grep -q '^tesmalo-lote-slurm: falló: .*/no es rejilla\.asc$' "$trabajo/mal/stderr" ||
  falla "stderr no nombra la rejilla que falló"
grep -q 'es una carpeta' "$trabajo/mal/stderr" || falla "stderr no trae la salida de la tarea que dice por qué"
[ "$(grep -c 'falló: ' "$trabajo/mal/stderr")" -eq 1 ] || falla "nombra como fallidas rejillas que no fallaron"
[ "$fallos" -eq 0 ] || cat "$trabajo/mal/stderr" >&2
# Las demás, convertidas; y la carpeta de trabajo, que se queda para leer las salidas.
comprobar "$trabajo/mal" $((${#nombres[@]} + 1))

[ "$fallos" -eq 0 ] && echo "tesmalo-lote-slurm da los destinos de tesmalo-cli -d y nombra la rejilla que falla."
exit $((fallos > 0))
