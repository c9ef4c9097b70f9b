#!/usr/bin/env bash
# La ventana de verdad en un servidor X virtual: se lanza el programa, se maneja con el teclado y
# xdotool el selector de ficheros y la caja del destino de Qt, se arranca la conversión y se
# comprueba el fichero escrito. Guarda una captura de cada estado en CARPETA_CAPTURAS:
#   inicio.png      la ventana recién abierta
#   selector.png    el selector de ficheros, con la entrada de *.txt elegida
#   destino.png     la caja del destino con la propuesta
#   elegido.png     los números leídos de la cabecera y el botón de arranque
#   en_marcha.png   la conversión en marcha, con el mensaje de un campo rechazado
#   mensaje.png     ese mensaje
#   limite.png      el error al pasar el límite de tamaño de fichero
#
# Por el camino, lo que hace el teclado: Intro en un campo no pulsa nada y sobre el botón que
# tiene el foco lo pulsa; una letra con Alt no se escribe en un campo aunque ningún control que
# se vea la lleve (el rechazo del campo lo delataría); Alt+N lleva al botón de arranque.
#
# Para ver la ventana en marcha, justo tras arrancar se escribe una letra en TextBox1 (que
# recibe el foco al ocultarse el botón) y se pulsa Tab: el mensaje del campo sale enseguida,
# porque la conversión corre en otro hilo, y el destino no toma su nombre hasta que se cierra.
#
# Después, cerrar la ventana durante una conversión que espera una lectura lenta (strace,
# enganchado tras elegir el origen, retrasa 2,5 s cada lectura de la conversión tras las dos
# primeras): con letras en un campo, y con el mensaje de un campo rechazado abierto. El proceso
# debe acabar en menos de un segundo, sin mensaje, sin destino y sin temporal. Lo mismo con
# SIGTERM y SIGHUP (el fin de la sesión) y un temporal con nombre, que la señal debe retirar.
#
# Con la configuración española, además, una cabecera con «ncols 1.000» da filas de mil valores.
#
# Uso: ventana_real_test.sh PROGRAMA CARPETA_CAPTURAS CERRAR_VENTANA [LOCAL]
# CERRAR_VENTANA es tesmalo-cerrar-ventana; LOCAL, la configuración regional (LANG), C.UTF-8 si
# no se da. Sale con 77 (prueba omitida) si faltan Xvfb, xdotool, import o strace, o la
# configuración regional pedida.
set -euo pipefail
shopt -s inherit_errexit  # un fallo dentro de $(...) también acaba la prueba

programa="$1"
capturas="$2"
cerrar_ventana="$3"
local="${4:-C.UTF-8}"
# Que la conversión dure varias veces lo que tarda xdotool en mandar las teclas (~0,1 s).
filas=10000000

for orden in Xvfb xdotool import strace; do
    command -v "$orden" >/dev/null || { echo "falta $orden: prueba omitida"; exit 77; }
done
locale -a | grep -qix "$(echo "$local" | sed 's/UTF-8/utf8/I')" ||
    { echo "falta la configuración regional $local: prueba omitida"; exit 77; }

carpeta="$(mktemp -d)"
pid_x="" pid_programa="" pid_strace=""
limpiar() {
    if [ -n "$pid_programa" ]; then kill "$pid_programa" 2>/dev/null || true; fi
    if [ -n "$pid_strace" ]; then kill "$pid_strace" 2>/dev/null || true; fi
    if [ -n "$pid_x" ]; then kill "$pid_x" 2>/dev/null || true; fi
    rm -rf "$carpeta"
}
trap limpiar EXIT
fallar() {
    echo "FALLO ($local): $*" >&2
    # Lo que se veía al fallar, para saber por qué.
    [ -n "${DISPLAY:-}" ] && import -window root "$capturas/fallo.png" 2>/dev/null || true
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
unset LC_ALL LC_NUMERIC LC_MESSAGES LANGUAGE
export QT_QPA_PLATFORM=xcb LANG="$local"
mkdir -p "$capturas"
rm -f "$capturas/fallo.png"

{
    printf 'ncols 3\nnrows %d\nxllcorner 258.000\nyllcorner 448.500\n' "$filas"
    printf 'cellsize 15.000\nnodata_value -999.000\n'
    (yes '1.5 2.25 -999' || true) | head -n "$filas"  # yes acaba por SIGPIPE
} >"$carpeta/zona.asc"

# esperar_ventana TÍTULO: espera a que se vea una ventana con ese título y escribe su número.
# Se pregunta una y otra vez, sin --sync: una ventana que desaparece mientras xdotool recorre el
# árbol le da un BadWindow que lo termina, y eso no dice nada de la ventana que se espera.
esperar_ventana() {
    local hallada limite=$((SECONDS + 20))
    while [ "$SECONDS" -lt "$limite" ]; do
        hallada=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
        [ -n "$hallada" ] && { echo "$hallada"; return 0; }
        sleep 0.05
    done
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
# sin_ventana TÍTULO QUÉ: tras dar tiempo a que aparezca, no debe verse ninguna con ese título.
sin_ventana() {
    sleep 0.4
    if xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; then fallar "$2"; fi
}
# elegir_origen VENTANA NOMBRE: Intro sobre CommandButton1, que tiene el foco, abre el selector
# (en la carpeta de trabajo del programa); se escribe NOMBRE y se acepta. Escribe el número de la
# caja del destino.
elegir_origen() {
    xdotool windowfocus --sync "$1" key Return
    local selector
    selector=$(esperar_ventana "Abrir")
    xdotool windowfocus --sync "$selector" type --delay 10 "$2"
    xdotool key Return
    local caja
    caja=$(esperar_ventana "Fichero_destino")
    echo "$caja"
}

# abrir_con_origen CARPETA NOMBRE [LÍMITE]: lanza el programa en CARPETA (con LÍMITE, en bloques
# de KiB, como límite de tamaño de fichero), elige el origen NOMBRE y acepta el destino
# propuesto. Deja el número de la ventana en $ventana.
abrir_con_origen() {
    (cd "$1" && { [ -z "${3:-}" ] || ulimit -f "$3"; } && exec "$programa") &
    pid_programa=$!
    ventana=$(esperar_ventana "Tranformar fichero DTM")
    local caja
    caja=$(elegir_origen "$ventana" "$2")
    xdotool windowfocus --sync "$caja" key Return
    esperar_cierre "$caja"
}

(cd "$carpeta" && exec "$programa") &
pid_programa=$!

ventana=$(esperar_ventana "Tranformar fichero DTM")
capturar "$ventana" inicio.png
geometria=$(xdotool getwindowgeometry "$ventana" | sed -n 's/.*Geometry: //p')
[ "$geometria" = "287x241" ] || fallar "el área de cliente mide $geometria, no 287x241"

# En el inicio: Tab lleva a TextBox1, donde Intro no pulsa nada y Alt+I (CommandButton2, oculto)
# no escribe; Tab sale sin rechazo. Dos Tab más llevan a CommandButton1.
xdotool windowfocus --sync "$ventana" key --delay 20 Tab Return alt+i Tab
sin_ventana "Abrir" "Intro en un campo abrió el selector"
sin_ventana "Tesmalo" "Alt+I escribió en TextBox1, que se rechazó"
xdotool key --delay 20 Tab Tab
xdotool windowfocus --sync "$ventana" key Return
selector=$(esperar_ventana "Abrir")
capturar "$selector" selector.png
xdotool windowfocus --sync "$selector" type --delay 10 "zona.asc"
xdotool key Return

caja=$(esperar_ventana "Fichero_destino")
capturar "$caja" destino.png
xdotool windowfocus --sync "$caja" key Return
esperar_cierre "$caja"
capturar "$ventana" elegido.png

# Con el origen elegido el foco está en TextBox1, con el 6 elegido: Alt+S (CommandButton1, ya
# oculto) y Alt+X (de ningún control) no lo sustituyen, así que Tab sale sin rechazo.
xdotool windowfocus --sync "$ventana" key --delay 20 alt+s alt+x Tab
sin_ventana "Tesmalo" "Alt+S o Alt+X escribieron en TextBox1, que se rechazó"

# Alt+N lleva a CommandButton2, Intro lo pulsa y, en la misma orden para que lleguen juntas, una
# letra en TextBox1 y Tab.
xdotool windowfocus --sync "$ventana" key --delay 0 alt+n Return ctrl+a x Tab
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

# acabar_en_marcha COMO TECLAS...: convierte un origen lento, pulsa TECLAS en la ventana en
# marcha y la acaba: con COMO «cerrar», como el gestor de ventanas (sale con 0); con el nombre de
# una señal, con kill (sale con 128 + la señal). Con una señal el temporal lleva nombre, como
# donde no los hay sin él (FAT, carpetas de red): strace hace fallar el O_TMPFILE.
acabar_en_marcha() {
    local como="$1"
    shift
    local lenta="$carpeta/lenta"
    rm -rf "$lenta"
    mkdir "$lenta"
    # 4 MiB: la conversión lee el origen en bloques de 1 MiB, así que llega a la lectura lenta.
    {
        printf 'ncols 3\nnrows 400000\nxllcorner 258.000\nyllcorner 448.500\n'
        printf 'cellsize 15.000\nnodata_value -999.000\n'
        (yes '1.5 2.25 -999' || true) | head -c 4200000
    } >"$lenta/lenta.asc"
    abrir_con_origen "$lenta" lenta.asc
    # strace se engancha ya elegido el origen, y cuenta las lecturas de cada hilo: la conversión,
    # en el suyo, lee dos bloques y espera 2,5 s en la tercera lectura. strace acaba cuando acaba
    # esa espera, aunque el programa haya acabado antes.
    # El O_TMPFILE es la tercera apertura vigilada: tras la del origen y la que resuelve la
    # carpeta del destino.
    local sin_tmpfile=()
    [ "$como" = cerrar ] ||
        sin_tmpfile=(-P "$lenta" -e inject=openat:error=EOPNOTSUPP:when=3)
    strace -f -p "$pid_programa" -o "$carpeta/strace.trazas" -P "$lenta/lenta.asc" \
        -e trace=read,openat -e inject=read:delay_enter=2500000:when=3+ "${sin_tmpfile[@]}" \
        2>"$carpeta/strace.log" &
    pid_strace=$!
    for _ in $(seq 100); do
        grep -q attached "$carpeta/strace.log" && break
        sleep 0.05
    done
    xdotool windowfocus --sync "$ventana" key --delay 20 alt+n Return
    local titulo=""
    for _ in $(seq 200); do
        titulo=$(xdotool getwindowname "$ventana")
        [ "$titulo" = "Reestructurando" ] && break
        sleep 0.05
    done
    [ "$titulo" = "Reestructurando" ] || fallar "$como ($*): la conversión no arrancó"
    [ $# -eq 0 ] || xdotool key --delay 20 "$@"
    case " $* " in *" Tab "*) esperar_ventana "Tesmalo" >/dev/null ;; esac
    local antes esperado=0
    antes=$(date +%s%N)
    if [ "$como" = cerrar ]; then
        "$cerrar_ventana" "$ventana"
    else
        ls -A "$lenta" | grep -q '^[.]tesmalo-' ||
            fallar "$como ($*): no se ve el temporal con nombre: $(ls -A "$lenta");" \
                "$(grep -v 'read(' "$carpeta/strace.trazas")"
        kill -"$como" "$pid_programa"
        esperado=$((128 + $(kill -l "$como")))
    fi
    # Acabado es que ya no está o que sólo queda por recoger (Z).
    local tardo=""
    for _ in $(seq 200); do
        case "$(ps -o stat= -p "$pid_programa")" in
            "" | Z*)
                tardo=$((($(date +%s%N) - antes) / 1000000))
                break
                ;;
        esac
        sleep 0.01
    done
    [ -n "$tardo" ] || fallar "$como ($*) no acabó el proceso en 2 s"
    [ "$tardo" -lt 1000 ] || fallar "$como ($*) tardó $tardo ms en acabar el proceso"
    local estado=0
    wait "$pid_programa" || estado=$?
    pid_programa=""
    [ "$estado" -eq "$esperado" ] || fallar "$como ($*): el programa salió con $estado"
    wait "$pid_strace" || true
    pid_strace=""
    local quedan
    quedan=$(ls -A "$lenta")
    [ "$quedan" = "lenta.asc" ] || fallar "$como ($*) dejó: $quedan"
}
acabar_en_marcha cerrar a b c
acabar_en_marcha cerrar a Tab
acabar_en_marcha TERM
acabar_en_marcha HUP

# Con un límite de tamaño de fichero (ulimit -f 100) la ventana no muere en silencio al pasarlo:
# da la razón en su caja de error y sale con 1, sin destino ni temporal.
limite="$carpeta/limite"
mkdir "$limite"
head -n 100006 "$carpeta/zona.asc" >"$limite/limite.asc"
abrir_con_origen "$limite" limite.asc 100
xdotool windowfocus --sync "$ventana" key --delay 20 alt+n Return
mensaje=$(esperar_ventana "Tesmalo")
capturar "$mensaje" limite.png
xdotool windowfocus --sync "$mensaje" key Return
estado=0
wait "$pid_programa" || estado=$?
pid_programa=""
[ "$estado" -eq 1 ] || fallar "con ulimit -f el programa salió con $estado"
quedan=$(ls -A "$limite")
[ "$quedan" = "limite.asc" ] || fallar "con ulimit -f quedó: $quedan"

# Con la configuración española «1.000» es mil, aunque Qt sólo agrupe a partir de cinco cifras:
# la cabecera de la conversión (y la exploración) leen mil columnas.
if [[ "$local" == es_* ]]; then
    grupos="$carpeta/grupos"
    mkdir "$grupos"
    {
        printf 'ncols 1.000\nnrows 2\nxllcorner 258.000\nyllcorner 448.500\n'
        printf 'cellsize 15.000\nnodata_value -999.000\n'
        (yes 7 || true) | head -n 2000
    } >"$grupos/grupos.asc"
    abrir_con_origen "$grupos" grupos.asc
    xdotool windowfocus --sync "$ventana" key --delay 20 alt+n Return
    for _ in $(seq 100); do
        kill -0 "$pid_programa" 2>/dev/null || break
        if xdotool search --onlyvisible --name '^Tesmalo$' >/dev/null 2>&1; then
            fallar "«ncols 1.000»: la conversión acabó con un aviso"
        fi
        sleep 0.1
    done
    estado=0
    wait "$pid_programa" || estado=$?
    pid_programa=""
    [ "$estado" -eq 0 ] || fallar "«ncols 1.000»: el programa salió con $estado"
    destino="$grupos/grupos_reestruct.txt"
    lineas=$(wc -l <"$destino")
    valores=$(sed -n 7p "$destino" | wc -w)
    [ "$lineas" -eq 8 ] && [ "$valores" -eq 1000 ] ||
        fallar "«ncols 1.000» dio $lineas líneas con $valores valores en la primera fila"
fi

echo "ventana real ($local): bien; capturas en $capturas"
