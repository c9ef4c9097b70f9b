#!/usr/bin/env bash
# La ventana de verdad en un servidor X virtual: se lanza el programa, se maneja con xdotool el
# selector de ficheros y la caja del destino de Qt, se arranca la conversión y se comprueba el
# fichero escrito. Guarda una captura de cada estado en CARPETA_CAPTURAS:
#   inicio.png      la ventana recién abierta
#   selector.png    el selector de ficheros, con la entrada de *.txt elegida
#   destino.png     la caja del destino con la propuesta
#   elegido.png     los números leídos de la cabecera y el botón de arranque
#   en_marcha.png   la conversión en marcha, detenida por el mensaje de un campo rechazado
#   mensaje.png     ese mensaje
#
# Para ver la ventana en marcha, justo tras el clic en el botón de arranque se escribe una letra
# en TextBox1 (que recibe el foco al ocultarse el botón) y se pulsa Tab: el primer aviso de
# progreso atiende esas teclas y el mensaje del campo retiene la conversión hasta que se cierra.
#
# Uso: ventana_real_test.sh PROGRAMA CARPETA_CAPTURAS
# Sale con 77 (prueba omitida) si faltan Xvfb, xdotool o import.
set -euo pipefail

programa="$1"
capturas="$2"
# Que la conversión dure varias veces lo que tarda xdotool en mandar las teclas (~0,1 s).
filas=10000000

for orden in Xvfb xdotool import; do
    command -v "$orden" >/dev/null || { echo "falta $orden: prueba omitida"; exit 77; }
done

carpeta="$(mktemp -d)"
pid_x="" pid_programa=""
limpiar() {
    if [ -n "$pid_programa" ]; then kill "$pid_programa" 2>/dev/null || true; fi
    if [ -n "$pid_x" ]; then kill "$pid_x" 2>/dev/null || true; fi
    rm -rf "$carpeta"
}
trap limpiar EXIT
fallar() {
    echo "FALLO: $*" >&2
    exit 1
}

# Un servidor X en el primer número de pantalla libre, a 96 ppp.
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$carpeta/pantalla" \
    >"$carpeta/xvfb.log" 2>&1 &
pid_x=$!
for _ in $(seq 100); do
    [ -s "$carpeta/pantalla" ] && break
    sleep 0.05
done
[ -s "$carpeta/pantalla" ] || fallar "Xvfb no arrancó: $(cat "$carpeta/xvfb.log")"
export DISPLAY=":$(head -n 1 "$carpeta/pantalla")"
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
mkdir -p "$capturas"

{
    printf 'ncols 3\nnrows %d\nxllcorner 258.000\nyllcorner 448.500\n' "$filas"
    printf 'cellsize 15.000\nnodata_value -999.000\n'
    (yes '1.5 2.25 -999' || true) | head -n "$filas"  # yes acaba por SIGPIPE
} >"$carpeta/zona.asc"

# esperar_ventana TÍTULO: espera a que se vea una ventana con ese título y escribe su número.
esperar_ventana() {
    timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1 ||
        fallar "no apareció la ventana «$1»"
}
# esperar_cierre NÚMERO: espera a que la ventana deje de verse.
esperar_cierre() {
    for _ in $(seq 200); do
        xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.05
    done
    fallar "la ventana $1 no se cerró"
}
# capturar NÚMERO FICHERO: captura la ventana cuando ya se ha pintado.
capturar() {
    sleep 0.3
    import -window "$1" "$capturas/$2"
}
# pulsar NÚMERO X_PUNTOS Y_PUNTOS: clic en ese punto del área de cliente (96 ppp: 4/3 px por pt).
pulsar() {
    xdotool mousemove --window "$1" "$(($2 * 4 / 3))" "$(($3 * 4 / 3))" click 1
}

(cd "$carpeta" && exec "$programa") &
pid_programa=$!

ventana=$(esperar_ventana "Tranformar fichero DTM")
capturar "$ventana" inicio.png
geometria=$(xdotool getwindowgeometry "$ventana" | sed -n 's/.*Geometry: //p')
[ "$geometria" = "287x241" ] || fallar "el área de cliente mide $geometria, no 287x241"

pulsar "$ventana" 108 152  # CommandButton1, en 6..210 × 138..166 puntos
selector=$(esperar_ventana "Abrir")
capturar "$selector" selector.png
xdotool windowfocus --sync "$selector" type --delay 10 "zona.asc"
xdotool key Return

caja=$(esperar_ventana "Fichero_destino")
capturar "$caja" destino.png
xdotool windowfocus --sync "$caja" key Return
esperar_cierre "$caja"
capturar "$ventana" elegido.png

# Arranque y, en la misma orden para que lleguen juntas, una letra en TextBox1 y Tab.
xdotool windowfocus --sync "$ventana"
xdotool mousemove --window "$ventana" 144 203 click 1 key --delay 0 ctrl+a x Tab
mensaje=$(esperar_ventana "Tesmalo")
titulo=$(xdotool getwindowname "$ventana")
[ "$titulo" = "Reestructurando" ] || fallar "la ventana se titula «$titulo» en marcha"
# Sin gestor de ventanas la caja se abre encima de la ventana: se aparta para la captura.
xdotool windowmove --sync "$mensaje" 400 300
capturar "$ventana" en_marcha.png
capturar "$mensaje" mensaje.png
xdotool windowfocus --sync "$mensaje" key Return

estado=0
wait "$pid_programa" || estado=$?
pid_programa=""
[ "$estado" -eq 0 ] || fallar "el programa salió con $estado"

destino="$carpeta/zona_reestruct.txt"
[ -f "$destino" ] || fallar "no se escribió $destino"
lineas=$(wc -l <"$destino")
[ "$lineas" -eq $((filas + 6)) ] || fallar "el destino tiene $lineas líneas, no $((filas + 6))"
[ "$(head -n 1 "$destino")" = $'ncols         3\r' ] || fallar "primera línea: $(head -n 1 "$destino")"
[ "$(sed -n 7p "$destino")" = $'1.5 2.25 -999\r' ] || fallar "primera fila: $(sed -n 7p "$destino")"
echo "ventana real: bien; capturas en $capturas"
