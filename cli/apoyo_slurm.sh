# Un cluster de Slurm de un solo nodo, propio, para las pruebas y las medidas (se carga con
# «source»): munged con su clave, su socket y su pid, slurmctld y slurmd con un slurm.conf
# propio, todo en la carpeta $1. No toca la configuración de munge ni de Slurm del sistema;
# Parar_slurm para cada demonio por su PID.
# munged exige que todos puedan atravesar las carpetas que llevan a su socket: CARPETA y las de
# encima han de tener el permiso x para todos (la de mktemp -d no lo tiene).
# Arrancar_slurm CARPETA: deja SLURM_CONF exportada; devuelve 1 si algo no arrancó (con el
# registro que lo dice en stderr).
slurm_pids=()

Slurm_instalado() {
  command -v slurmctld >/dev/null && command -v slurmd >/dev/null && command -v munged >/dev/null &&
    command -v sbatch >/dev/null && command -v mungekey >/dev/null
}

Puerto_libre() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

Arrancar_slurm() {
  local d="$1" nodo cpus limite
  mkdir -p "$d/munge" "$d/estado" "$d/registro"
  chmod 755 "$d" "$d/munge"
  mungekey -c -k "$d/munge/munge.key" && chmod 600 "$d/munge/munge.key" || return 1
  setsid munged -F -S "$d/munge/munge.sock" --key-file="$d/munge/munge.key" \
    --pid-file="$d/munge/munged.pid" --log-file="$d/munge/munged.log" \
    --seed-file="$d/munge/munge.seed" </dev/null >/dev/null 2>&1 &
  slurm_pids+=($!)
  limite=$((SECONDS + 10))
  until munge -n -S "$d/munge/munge.sock" 2>/dev/null | unmunge -S "$d/munge/munge.sock" >/dev/null 2>&1; do
    [ $SECONDS -lt $limite ] || { echo "munged no arrancó:" >&2; cat "$d/munge/munged.log" >&2; return 1; }
    sleep 0.1
  done
  nodo="$(slurmd -C | sed -n 's/^NodeName=\([^ ]*\).*/\1/p')"
  cpus="$(slurmd -C | sed -n 's/.* CPUs=\([0-9]*\).*/\1/p')"
  mkdir -p "$d/spool/$nodo"
  : > "$d/plugstack.conf"
  cat > "$d/slurm.conf" <<FIN
ClusterName=prueba
SlurmctldHost=$nodo(127.0.0.1)
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$d/munge/munge.sock
SlurmctldPort=$(Puerto_libre)
SlurmdPort=$(Puerto_libre)
SlurmUser=root
StateSaveLocation=$d/estado
SlurmdSpoolDir=$d/spool/%n
SlurmctldPidFile=$d/slurmctld.pid
SlurmdPidFile=$d/slurmd.pid
SlurmctldLogFile=$d/registro/slurmctld.log
SlurmdLogFile=$d/registro/slurmd.log
PlugStackConfig=$d/plugstack.conf
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerType=sched/builtin
SchedulerParameters=batch_sched_delay=0
ReturnToService=2
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MailProg=/bin/true
NodeName=$nodo NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=prueba Nodes=$nodo Default=YES MaxTime=INFINITE State=UP
FIN
  export SLURM_CONF="$d/slurm.conf"
  setsid slurmctld -D -i -f "$SLURM_CONF" </dev/null >"$d/registro/slurmctld.salida" 2>&1 &
  slurm_pids+=($!)
  setsid slurmd -D -f "$SLURM_CONF" </dev/null >"$d/registro/slurmd.salida" 2>&1 &
  slurm_pids+=($!)
  limite=$((SECONDS + 30))
  until [ "$(sinfo -h -n "$nodo" -o %T 2>/dev/null)" = idle ]; do
    [ $SECONDS -lt $limite ] || {
      echo "el nodo $nodo no quedó libre:" >&2
      tail -n 20 "$d"/registro/* >&2
      return 1
    }
    sleep 0.2
  done
}

# Cancela los trabajos que queden, espera a que salgan de la cola y para los demonios por su
# PID, del último al primero (KILL si no paran en 10 s).
Parar_slurm() {
  local pid limite i
  if [ -n "${SLURM_CONF-}" ] && [ ${#slurm_pids[@]} -ge 3 ]; then
    scancel --user="$(id -un)" 2>/dev/null || true
    limite=$((SECONDS + 15))
    while [ -n "$(squeue -h 2>/dev/null)" ] && [ $SECONDS -lt $limite ]; do sleep 0.2; done
  fi
  for ((i = ${#slurm_pids[@]} - 1; i >= 0; i--)); do
    pid="${slurm_pids[i]}"
    kill "$pid" 2>/dev/null || continue
    limite=$((SECONDS + 10))
    while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $limite ]; do sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  slurm_pids=()
}
