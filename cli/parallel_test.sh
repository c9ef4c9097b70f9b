#!/usr/bin/env bash
# Las dos recetas de GNU parallel del README, sacadas del README (los bloques de código que
# empiezan por «cd hojas») y ejecutadas tal cual sobre rejillas con nombres difíciles:
#   1. en esta máquina;
#   2. repartida entre «servidor1» y «servidor2», que ven la carpeta en la misma ruta (aquí, la
#      misma máquina), por un sshd de verdad que esta prueba arranca en 127.0.0.1: puerto libre,
#      clave de anfitrión, configuración y clave autorizada propias en una carpeta temporal. Los
#      dos nombres llevan a ese sshd por una configuración de ssh propia (PARALLEL_SSH="ssh -F
#      ..."), sin multiplexar: la receta ha de hacerlo por su cuenta, y no ha de entrar más de
#      una vez por servidor y tanda más la conexión maestra, contado en el registro del sshd. No
#      se toca el sshd del sistema ni ~/.ssh, y el sshd se para por su PID.
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
sshd_bin=/usr/sbin/sshd
[ -x "$sshd_bin" ] || { echo "FALLO: falta $sshd_bin (paquete openssh-server)" >&2; exit 1; }

trabajo="$(mktemp -d)"
sshd_pid=
terminar() {
  if [ -n "$sshd_pid" ]; then
    ssh -F "$trabajo/ssh/ssh_config" -O exit servidor1 2>/dev/null || true
    kill "$sshd_pid" 2>/dev/null || true
    wait "$sshd_pid" 2>/dev/null || true
  fi
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
recetas=()
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

# El sshd propio. /run/sshd es la carpeta vacía que sshd exige para separar privilegios; la
# crea el servicio del sistema al arrancar, y aquí se crea si falta.
s="$trabajo/ssh"
mkdir -m 700 "$s" "$s/servidor"
ssh-keygen -q -t ed25519 -N '' -C anfitrion -f "$s/clave_anfitrion"
ssh-keygen -q -t ed25519 -N '' -C cliente -f "$s/clave"
cp "$s/clave.pub" "$s/autorizadas"
[ -d /run/sshd ] || mkdir -m 755 /run/sshd
puerto_libre() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# Cada orden remota corre en $s/servidor, con esa carpeta como casa y tesmalo-cli en el PATH,
# como la de un servidor con el paquete instalado.
arrancar_sshd() {
  local puerto="$1"
  cat > "$s/sshd_config" <<FIN
ListenAddress 127.0.0.1
Port $puerto
HostKey $s/clave_anfitrion
PidFile none
AuthorizedKeysFile $s/autorizadas
AuthenticationMethods publickey
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
PermitRootLogin prohibit-password
MaxStartups 100
MaxSessions 100
SetEnv HOME=$s/servidor
ForceCommand cd $s/servidor && PATH=$trabajo/bin:\$PATH exec /bin/bash -c "\$SSH_ORIGINAL_COMMAND"
FIN
  cat > "$s/ssh_config" <<FIN
Host servidor1 servidor2
  HostName 127.0.0.1
  Port $puerto
  User root
  IdentityFile $s/clave
  IdentitiesOnly yes
  UserKnownHostsFile $s/conocidos
  StrictHostKeyChecking accept-new
  BatchMode yes
  ConnectTimeout 10
FIN
  "$sshd_bin" -D -f "$s/sshd_config" -E "$s/sshd.log" &
  sshd_pid=$!
  # Espera a que acepte conexiones, con un plazo.
  local limite=$((SECONDS + 20))
  while [ $SECONDS -lt $limite ]; do
    kill -0 "$sshd_pid" 2>/dev/null || break
    [ "$(ssh -F "$s/ssh_config" servidor1 echo listo 2>/dev/null)" = listo ] && return 0
    sleep 0.2
  done
  kill "$sshd_pid" 2>/dev/null || true
  wait "$sshd_pid" 2>/dev/null || true
  sshd_pid=
  return 1
}
# Otro proceso puede quedarse el puerto entre la elección y el arranque: se prueba otro.
for intento in 1 2 3; do
  arrancar_sshd "$(puerto_libre)" && break
done
[ -n "$sshd_pid" ] || { echo "FALLO: el sshd propio no arrancó:" >&2; cat "$s/sshd.log" >&2; exit 1; }
export PARALLEL_SSH="ssh -F $s/ssh_config"

entradas() { grep -c 'Accepted publickey' "$s/sshd.log" || true; }

echo "== Receta 2, repartida entre servidor1 y servidor2 (sshd propio en 127.0.0.1)"
antes="$(entradas)"
estado=0
ejecutar "${recetas[1]}" "$trabajo/remota" || estado=$?
[ "$estado" -eq 0 ] || { falla "receta 2: salió con $estado"; cat "$trabajo/remota/stderr" >&2; }
comprobar "$trabajo/remota/hojas"
n=$(($(entradas) - antes))
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

ssh -F "$s/ssh_config" -O exit servidor1 2>/dev/null || true
ssh -F "$s/ssh_config" -O exit servidor2 2>/dev/null || true
kill "$sshd_pid"
wait "$sshd_pid" 2>/dev/null || true
sshd_pid=
[ "$fallos" -eq 0 ] && echo "Las dos recetas dan los destinos de las llamadas sueltas, con ${#origenes[@]} nombres difíciles."
exit $((fallos > 0))
