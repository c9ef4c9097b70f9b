#!/usr/bin/env bash
# Las dos recetas de GNU parallel del README, sacadas del README (los bloques de código que
# empiezan por «cd hojas») y ejecutadas tal cual sobre rejillas con nombres difíciles:
#   1. en esta máquina;
#   2. repartida entre «servidor1» y «servidor2», que ven la carpeta en la misma ruta (aquí, la
#      misma máquina), por un sshd de verdad que esta prueba arranca en 127.0.0.1
#      (cli/apoyo_sshd.sh): puerto libre, clave de anfitrión, configuración y clave autorizada
#      propias en una carpeta temporal. Los dos nombres llevan a ese sshd por una configuración
#      de ssh propia (PARALLEL_SSH="ssh -F ..."), sin multiplexar: la receta ha de hacerlo por
#      su cuenta, y no ha de entrar más de una vez por servidor y tanda más la conexión
#      maestra, contado en el registro del sshd. No se toca el sshd del sistema ni ~/.ssh, y el
#      sshd se para por su PID.
# Cada destino ha de ser igual, byte a byte, al de una llamada suelta a tesmalo-cli, y llamarse
# como lo propone: el origen sin sus cuatro últimos caracteres, más "_reestruct.txt". Además,
# una carpeta en el lugar de una rejilla hace fallar cada receta con esa rejilla nombrada en
# stderr.
# Necesita root, como en la integración continua (sshd sólo deja entrar a otro usuario así).
# Uso: parallel_test.sh RUTA/tesmalo-cli CARPETA_DE_MUESTRAS README.md
set -euo pipefail
cli="$(realpath "$1")"
muestras="$(realpath "$2")"
readme="$(realpath "$3")"
if [ "$(id -u)" -ne 0 ]; then
  echo "parallel_test: se salta: el sshd propio necesita root" >&2
  exit 77
fi
source "$(dirname "$(realpath "$0")")/apoyo_sshd.sh"

trabajo="$(mktemp -d)"
recetas=()
terminar() {
  [ ${#recetas[@]} -lt 2 ] || [ -z "$sshd_pid" ] || Cerrar_maestras "${recetas[1]}"
  Parar_sshd
  rm -rf "$trabajo"
}
trap terminar EXIT
fallos=0
falla() { echo "FALLO: $*" >&2; fallos=$((fallos + 1)); }

# tesmalo-cli en una carpeta propia del PATH, aquí y en los «servidores». HOME es temporal para
# que parallel deje su ~/.parallel allí y no en la casa de root.
mkdir "$trabajo/bin" "$trabajo/casa"
ln -s "$cli" "$trabajo/bin/tesmalo-cli"
export PATH="$trabajo/bin:$PATH" HOME="$trabajo/casa"

# Las recetas, tal como están en el README.
while IFS= read -r -d '' receta; do recetas+=("$receta"); done < <(awk '
  /^```/ { if (dentro) { if (primera == "cd hojas") printf "%s%c", bloque, 0; dentro = 0 }
           else { dentro = 1; bloque = ""; primera = "" } next }
  dentro { if (bloque == "") primera = $0; bloque = bloque $0 "\n" }' "$readme")
[ ${#recetas[@]} -eq 2 ] || { echo "FALLO: se esperaban 2 recetas «cd hojas» en el README, hay ${#recetas[@]}" >&2; exit 1; }

# Las rejillas: copias de las muestras con nombres que una shell, ssh o rsync podrían tomar por
# otra cosa, todas con la extensión .asc de las recetas.
nombres=(normal "con espacio" "dos  espacios" " espacio delante" "espacio detrás " año ñandú
  Ávila "comilla'simple" 'comilla"doble' -guion --doble-guion 'dólar$HOME' 'barra\inv'
  'estrella*' 'interrogación?' 'corchete[1]' 'punto y coma;' 'y&más' 'tubería|' '#almohadilla'
  '~tilde' 'paréntesis(1)' 'llaves{}' 'acento`grave')
rejillas=(uno_por_linea.txt irregular.grd fila_por_linea.dtm zona1.asc)
mkdir "$trabajo/originales" "$trabajo/referencia"
origenes=()
for i in "${!nombres[@]}"; do
  o="${nombres[$i]}.asc"
  cp "$muestras/${rejillas[$((i % ${#rejillas[@]}))]}" "$trabajo/originales/$o"
  origenes+=("$o")
done
cp "$trabajo/originales"/* "$trabajo/referencia/"
for o in "${origenes[@]}"; do (cd "$trabajo/referencia" && tesmalo-cli -q -- "$o"); done

# Compara la carpeta $1 con la referencia: los orígenes intactos y un destino por origen, con
# los bytes de la llamada suelta; nada más.
comprobar() {
  local carpeta="$1" o d n
  for o in "${origenes[@]}"; do
    d="${o:0:${#o}-4}_reestruct.txt"
    cmp -s "$trabajo/originales/$o" "$carpeta/$o" || falla "$carpeta: origen «$o» cambiado o borrado"
    cmp -s "$trabajo/referencia/$d" "$carpeta/$d" || falla "$carpeta: destino «$d» distinto o ausente"
  done
  n="$(find "$carpeta" -mindepth 1 | wc -l)"
  [ "$n" -eq $((2 * ${#origenes[@]})) ] || falla "$carpeta: $n ficheros, se esperaban $((2 * ${#origenes[@]}))"
}

# Ejecuta la receta $1 en una copia nueva de los orígenes, $2/hojas; deja su salida de error en
# $2/stderr y devuelve su estado de salida.
ejecutar() {
  local receta="$1" base="$2"
  mkdir -p "$base/hojas"
  cp "$trabajo/originales"/* "$base/hojas/"
  (cd "$base" && bash -c "$receta") 2>"$base/stderr"
}

echo "== Receta 1, en esta máquina"
estado=0
ejecutar "${recetas[0]}" "$trabajo/local" || estado=$?
[ "$estado" -eq 0 ] || { falla "receta 1: salió con $estado"; cat "$trabajo/local/stderr" >&2; }
comprobar "$trabajo/local/hojas"

# El sshd propio (cli/apoyo_sshd.sh): cada orden remota corre en su carpeta de servidor, con
# tesmalo-cli en el PATH.
Arrancar_sshd "$trabajo/ssh" "$trabajo/bin" || { echo "FALLO: el sshd propio no arrancó" >&2; exit 1; }
export PARALLEL_SSH="ssh -F $sshd_config"

echo "== Receta 2, repartida entre servidor1 y servidor2 (sshd propio en 127.0.0.1)"
antes="$(Entradas_sshd)"
estado=0
ejecutar "${recetas[1]}" "$trabajo/remota" || estado=$?
[ "$estado" -eq 0 ] || { falla "receta 2: salió con $estado"; cat "$trabajo/remota/stderr" >&2; }
comprobar "$trabajo/remota/hojas"
n=$(($(Entradas_sshd) - antes))
[ "$n" -le 2 ] || falla "receta 2: $n entradas por ssh en 2 servidores; se esperaba una por servidor"
echo "receta 2: $n entradas por ssh para ${#origenes[@]} rejillas"

# Una carpeta con el nombre de una rejilla: tesmalo-cli no la puede leer, en cualquier receta.
for r in 0 1; do
  echo "== Receta $((r + 1)) con una carpeta en el lugar de una rejilla"
  base="$trabajo/mal$r"
  mkdir -p "$base/hojas/no es rejilla.asc"
  estado=0
  ejecutar "${recetas[$r]}" "$base" || estado=$?
  [ "$estado" -ne 0 ] || falla "receta $((r + 1)): con una rejilla que falla salió con 0"
  grep -q '^tesmalo-cli: error: \(\./\)\?no es rejilla\.asc: .*es una carpeta' "$base/stderr" ||
    { falla "receta $((r + 1)): stderr no nombra la rejilla que falló"; cat "$base/stderr" >&2; }
done

Cerrar_maestras "${recetas[1]}"
Parar_sshd
[ "$fallos" -eq 0 ] && echo "Las dos recetas dan los destinos de las llamadas sueltas, con ${#origenes[@]} nombres difíciles."
exit $((fallos > 0))
