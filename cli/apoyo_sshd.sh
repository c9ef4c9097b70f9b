# Un sshd propio en 127.0.0.1 que hace de «servidor1» y «servidor2», para las pruebas y las
# medidas (se carga con «source»): puerto libre, clave de anfitrión, configuración y clave
# autorizada propias en una carpeta. No toca el sshd del sistema ni ~/.ssh; Parar_sshd lo para
# por su PID. Necesita root (sshd sólo deja entrar a otro usuario así).
#
# Arrancar_sshd CARPETA BIN: arranca el sshd con todo en CARPETA (que no ha de existir); cada
# orden remota corre en CARPETA/servidor, con esa carpeta como casa y BIN delante en el PATH,
# como en un servidor con el paquete instalado. Deja en $sshd_config la configuración de ssh
# con la que entran los dos nombres (para «ssh -F»), sin multiplexar, y en $sshd_pid el PID;
# devuelve 1 si no arrancó, con su registro en stderr.
# Entradas_sshd: cuántas entradas ha aceptado hasta ahora (las sesiones que pasan por una
# conexión maestra no entran de nuevo y no cuentan).
# Cerrar_maestras RECETA: cierra las conexiones maestras a los dos nombres que la receta abrió
# con el ControlPath que da a ssh, si quedan; así la siguiente entra de nuevo.
sshd_pid=
sshd_config=
sshd_carpeta=

Arrancar_sshd() {
  local s="$1" bin="$2" intento
  local sshd_bin=/usr/sbin/sshd
  [ -x "$sshd_bin" ] || { echo "falta $sshd_bin (paquete openssh-server)" >&2; return 1; }
  sshd_carpeta="$s"
  sshd_config="$s/ssh_config"
  mkdir -m 700 "$s" "$s/servidor" || return 1
  ssh-keygen -q -t ed25519 -N '' -C anfitrion -f "$s/clave_anfitrion" &&
    ssh-keygen -q -t ed25519 -N '' -C cliente -f "$s/clave" || return 1
  cp "$s/clave.pub" "$s/autorizadas"
  # /run/sshd es la carpeta vacía que sshd exige para separar privilegios; la crea el servicio
  # del sistema al arrancar, y aquí se crea si falta.
  [ -d /run/sshd ] || mkdir -m 755 /run/sshd
  # Otro proceso puede quedarse el puerto entre la elección y el arranque: se prueba otro.
  for intento in 1 2 3; do
    Probar_sshd "$sshd_bin" "$bin" "$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')" && return 0
  done
  echo "el sshd propio no arrancó:" >&2
  cat "$s/sshd.log" >&2
  return 1
}

# Probar_sshd SSHD BIN PUERTO: escribe las dos configuraciones, arranca el sshd y espera a que
# acepte una entrada, con un plazo.
Probar_sshd() {
  local s="$sshd_carpeta" puerto="$3" limite
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
ForceCommand cd $s/servidor && PATH=$2:\$PATH exec /bin/bash -c "\$SSH_ORIGINAL_COMMAND"
FIN
  cat > "$sshd_config" <<FIN
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
  "$1" -D -f "$s/sshd_config" -E "$s/sshd.log" </dev/null &
  sshd_pid=$!
  limite=$((SECONDS + 20))
  while [ $SECONDS -lt $limite ]; do
    kill -0 "$sshd_pid" 2>/dev/null || break
    [ "$(ssh -F "$sshd_config" servidor1 echo listo 2>/dev/null)" = listo ] && return 0
    sleep 0.2
  done
  Parar_sshd
  return 1
}

Entradas_sshd() { grep -c 'Accepted publickey' "$sshd_carpeta/sshd.log" || true; }

Cerrar_maestras() {
  local h ruta
  ruta="$(grep -o 'ControlPath=[^ "]*' <<<"$1" | head -n 1)"
  [ -n "$ruta" ] || return 0
  for h in servidor1 servidor2; do
    ssh -F "$sshd_config" -o "$ruta" -O exit "$h" 2>/dev/null || true
  done
}

Parar_sshd() {
  [ -n "$sshd_pid" ] || return 0
  kill "$sshd_pid" 2>/dev/null || true
  wait "$sshd_pid" 2>/dev/null || true
  sshd_pid=
}
