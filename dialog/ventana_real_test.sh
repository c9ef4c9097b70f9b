#!/usr/bin/env bash
# La ventana de verdad en un servidor X virtual: se lanza el programa, se maneja con el teclado y
# xdotool el selector de ficheros y la caja del destino de Qt, se arranca la conversión y se
# comprueba el fichero escrito. Guarda una captura de cada estado en CARPETA_CAPTURAS:
#   inicio.png       la ventana recién abierta, con el anillo de foco en CommandButton1
#   selector.png     el selector de ficheros, con la entrada de *.txt elegida
#   destino.png      la caja del destino con la propuesta
#   elegido.png      los números leídos de la cabecera y el botón de arranque
#   en_marcha.png    la conversión en marcha, con un destino largo
#   mensaje.png      el mensaje de un campo rechazado durante la conversión
#   en_marcha_x2.png la conversión en marcha con QT_SCALE_FACTOR=2
#   limite.png       el error al pasar el límite de tamaño de fichero
# y el árbol de accesibilidad (AT-SPI) que leería un lector de pantalla, con arbol_accesible.py:
#   accesible-elegido.txt y accesible-en-marcha.txt.
#
# Antes de abrir el servidor X: --help y --version escriben y acaban sin pantalla, y sin pantalla
# el programa lo dice en español y sale con 1.
#
# Por el camino, lo que hace el teclado: el anillo de foco de CommandButton1 se ve desde el
# principio (la captura de inicio es la misma que tras volver a él con Tab); Intro en un campo
# no pulsa nada y sobre el botón que tiene el foco lo pulsa; una letra con Alt no se escribe en
# un campo aunque ningún control que se vea la lleve (el rechazo del campo lo delataría); Alt+N
# lleva al botón de arranque.
#
# La conversión principal se lanza desde otra carpeta que la del origen (datos/), con un destino
# relativo y largo, que debe ir junto al origen. El árbol de accesibilidad da a cada campo el
# nombre de su título y a cada botón el suyo. strace retrasa medio segundo cada lectura de la
# conversión desde la segunda, para verla en marcha con la barra a medias, que queda dentro del
# marco; después, con una letra en TextBox1 (que recibe el foco al ocultarse el botón) y Tab,
# sale el mensaje del campo. Con un fdatasync lento (LD_PRELOAD de FDATASYNC_LENTO), el título
# «Finalizado» no se ve mientras el destino no está en disco y con su nombre; mientras tanto, el
# marco es para AT-SPI una barra de progreso con su porcentaje como valor, y Label4 enseña la ruta
# acortada, entero el nombre del fichero, sin meterse bajo el marco, con la ruta entera como
# descripción.
#
# Después, cerrar la ventana durante una conversión que espera una lectura lenta (strace,
# enganchado tras elegir el origen, retrasa 2,5 s cada lectura de la conversión tras las dos
# primeras): con letras en un campo, y con el mensaje de un campo rechazado abierto; y durante el
# fdatasync lento. El proceso debe acabar en menos de un segundo, sin mensaje, sin destino y sin
# temporal. Lo mismo con SIGTERM (con QT_SCALE_FACTOR=2, donde la barra también queda dentro del
# marco) y SIGHUP (el fin de la sesión) y un temporal con nombre, que la señal debe retirar.
#
# Con la configuración española, además, una cabecera con «ncols 1.000» da filas de mil valores.
# Al final, nada ha guardado ajustes en XDG_CONFIG_HOME.
#
# Uso: ventana_real_test.sh PROGRAMA CARPETA_CAPTURAS CERRAR_VENTANA LOCAL FDATASYNC_LENTO ARBOL
# CERRAR_VENTANA es tesmalo-cerrar-ventana; LOCAL, la configuración regional (LANG);
# FDATASYNC_LENTO, la biblioteca tesmalo-fdatasync-lento; ARBOL, pruebas/arbol_accesible.py.
# Corre en una sesión de D-Bus propia (dbus-run-session), en la que se arranca el bus de
# accesibilidad. Sale con 77 (prueba omitida) si falta alguna herramienta (Xvfb, xdotool,
# ImageMagick, strace, dbus-run-session, python3-gi con Atspi) o la configuración regional pedida.
set -euo pipefail
shopt -s inherit_errexit  # un fallo dentro de $(...) también acaba la prueba

programa="$1"
capturas="$2"
cerrar_ventana="$3"
local="$4"
fdatasync_lento="$5"
arbol_accesible="$6"
# Unas 5,6 MB: seis lecturas de 1 MiB; la tercera es la lenta.
filas=400000

for orden in Xvfb xdotool import convert compare identify strace dbus-run-session; do
    command -v "$orden" >/dev/null || { echo "falta $orden: prueba omitida"; exit 77; }
done
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" -c 'import gi; gi.require_version("Atspi", "2.0"); from gi.repository import Atspi' \
    2>/dev/null || { echo "falta python3-gi con Atspi: prueba omitida"; exit 77; }
locale -a | grep -qix "$(echo "$local" | sed 's/UTF-8/utf8/I')" ||
    { echo "falta la configuración regional $local: prueba omitida"; exit 77; }

# Una sesión de D-Bus propia: en ella el programa encuentra el bus de accesibilidad. El bus lo
# arranca la sesión con su entorno y deja su zócalo en XDG_RUNTIME_DIR (sin él, en ~/.cache):
# carpetas propias, para que otra prueba con ventana que corra a la vez no lo quite.
if [ -z "${TESMALO_PRUEBA_EN_SESION:-}" ]; then
    sesion="$(mktemp -d)"
    mkdir -m 700 "$sesion/runtime" "$sesion/cache"
    codigo=0
    XDG_RUNTIME_DIR="$sesion/runtime" XDG_CACHE_HOME="$sesion/cache" TESMALO_PRUEBA_EN_SESION=1 \
        dbus-run-session -- bash "$0" "$@" || codigo=$?
    rm -rf "$sesion"
    exit "$codigo"
fi

carpeta="$(mktemp -d)"
pid_x="" pid_programa="" pid_strace=""
limpiar() {
    if [ -n "$pid_programa" ]; then kill "$pid_programa" 2>/dev/null || true; fi
    # Con SIGKILL: strace suelta al programa aunque lo tenga parado en una lectura retrasada.
    if [ -n "$pid_strace" ]; then kill -KILL "$pid_strace" 2>/dev/null || true; fi
    if [ -n "$pid_x" ]; then kill "$pid_x" 2>/dev/null || true; fi
    rm -rf "$carpeta"
}
trap limpiar EXIT
fallar() {
    echo "FALLO ($local): $*" >&2
    # Lo que escribió el último programa lanzado con abrir_con_origen.
    if [ -s "$carpeta/programa.err" ]; then sed 's/^/  programa: /' "$carpeta/programa.err" >&2; fi
    # Lo que se veía al fallar, para saber por qué.
    [ -n "${DISPLAY:-}" ] && import -window root "$capturas/fallo.png" 2>/dev/null || true
    exit 1
}
mkdir -p "$capturas"
rm -f "$capturas/fallo.png"
unset LC_ALL LC_NUMERIC LC_MESSAGES LANGUAGE
export QT_QPA_PLATFORM=xcb LANG="$local"

# Sin pantalla: ARGUMENTOS|ESTADO|TEXTO que debe salir (por stdout o por stderr).
while IFS='|' read -r argumentos esperado texto; do
    estado=0
    # shellcheck disable=SC2086  # los argumentos van separados
    env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$programa" $argumentos \
        >"$carpeta/salida" 2>&1 || estado=$?
    [ "$estado" -eq "$esperado" ] && grep -qF -- "$texto" "$carpeta/salida" &&
        ! grep -q 'Reinstalling' "$carpeta/salida" ||
        fallar "«tesmalo $argumentos» sin pantalla salió con $estado: $(cat "$carpeta/salida")"
done <<'FILAS'
--help|0|Modo de empleo: tesmalo
--version|0|tesmalo 1.
|1|tesmalo: no se encontró una pantalla en la que abrir la ventana
FILAS

# Un servidor X a 96 ppp, en un número de pantalla al azar entre 100 y 999 que esté libre: lejos
# de los primeros, que toman otros servidores de la máquina (y con ellos se cruzarían las
# conexiones si alguien borra sus ficheros de cerrojo).
for _ in $(seq 10); do
    Xvfb ":$((RANDOM % 900 + 100))" -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp \
        3>"$carpeta/pantalla" >"$carpeta/xvfb.log" 2>&1 &
    pid_x=$!
    for _ in $(seq 100); do
        [ -s "$carpeta/pantalla" ] && break
        kill -0 "$pid_x" 2>/dev/null || break
        sleep 0.05
    done
    [ -s "$carpeta/pantalla" ] && break
    kill "$pid_x" 2>/dev/null || true
    pid_x=""
done
[ -s "$carpeta/pantalla" ] || fallar "Xvfb no arrancó: $(cat "$carpeta/xvfb.log")"
export DISPLAY=":$(head -n 1 "$carpeta/pantalla")"
# Accesibilidad siempre activa, como con un lector de pantalla; ajustes y sockets en carpetas de
# la prueba.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export XDG_RUNTIME_DIR="$carpeta/runtime" XDG_CONFIG_HOME="$carpeta/config"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir "$XDG_CONFIG_HOME"
# La biblioteca del fdatasync lento va delante de la de AddressSanitizer, si la hay.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"

datos="$carpeta/datos"
mkdir "$datos"
{
    printf 'ncols 3\nnrows %d\nxllcorner 258.000\nyllcorner 448.500\n' "$filas"
    printf 'cellsize 15.000\nnodata_value -999.000\n'
    (yes '1.5 2.25 -999' || true) | head -n "$filas"  # yes acaba por SIGPIPE
} >"$datos/zona.asc"

# esperar_ventana TÍTULO: espera a que se vea una ventana con ese título y escribe su número.
# Sin --sync: xdotool muere si una ventana desaparece mientras busca.
esperar_ventana() {
    local numero
    for _ in $(seq 400); do
        numero=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
        [ -n "$numero" ] && { echo "$numero"; return 0; }
        sleep 0.05
    done
    fallar "no apareció la ventana «$1»"
}
# enganchar_strace OPCIONES...: engancha strace al programa con esas opciones (sus trazas en
# strace.trazas) y espera a que esté enganchado; su número queda en pid_strace.
enganchar_strace() {
    strace -f -p "$pid_programa" -o "$carpeta/strace.trazas" "$@" 2>"$carpeta/strace.log" &
    pid_strace=$!
    for _ in $(seq 100); do
        grep -q attached "$carpeta/strace.log" && break
        sleep 0.05
    done
}
# esperar_cierre NÚMERO: espera a que la ventana deje de verse.
esperar_cierre() {
    for _ in $(seq 200); do
        xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.05
    done
    fallar "la ventana $1 no se cerró"
}
# esperar_titulo NÚMERO TÍTULO: espera a que la ventana tenga ese título.
esperar_titulo() {
    local titulo=""
    for _ in $(seq 200); do
        titulo=$(xdotool getwindowname "$1" 2>/dev/null) || true
        [ "$titulo" = "$2" ] && return 0
        sleep 0.05
    done
    fallar "la ventana se titula «$titulo», no «$2»"
}
# capturar NÚMERO FICHERO: captura la ventana cuando ya se ha pintado: cuando tiene más de un
# color (una recién mostrada es de un solo color hasta que Qt la pinta, de una vez) y dos
# capturas seguidas son iguales.
capturar() {
    local previa="$carpeta/captura-previa.png"
    import -window "$1" "$previa"
    for _ in $(seq 100); do
        import -window "$1" "$capturas/$2"
        if [ "$(identify -format '%k' "$capturas/$2")" -gt 1 ] &&
            compare -metric AE "$previa" "$capturas/$2" null: 2>/dev/null; then
            return 0
        fi
        mv "$capturas/$2" "$previa"
        sleep 0.05
    done
    fallar "la ventana $1 no acabó de pintarse para $2"
}
# sin_ventana TÍTULO QUÉ FOCO: las teclas mandadas ya se atendieron sin abrir ninguna ventana con
# ese título. Se espera a que el foco esté en el elemento de FOCO (su línea del árbol de
# accesibilidad; la última tecla lo lleva allí) sin ningún botón hundido (un atajo hunde su
# botón en el acto y actúa después): el programa atiende las teclas en orden, y una caja abierta
# por una de ellas se habría quedado el foco.
sin_ventana() {
    local estado=""
    for _ in $(seq 40); do
        if xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; then fallar "$2"; fi
        estado=$("$python" "$arbol_accesible" --estado "$pid_programa" 10 2>"$carpeta/arbol.log") ||
            fallar "no se leyó el árbol de accesibilidad: $(cat "$carpeta/arbol.log")"
        if grep -qF -- "foco: $3" <<<"$estado" && ! grep -q '^hundido: ' <<<"$estado"; then
            if xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; then fallar "$2"; fi
            return 0
        fi
        sleep 0.05
    done
    fallar "el foco no llegó a «$3» (${estado:-sin foco}): $2"
}
# arbol FICHERO: el árbol de accesibilidad del programa en marcha, en CARPETA_CAPTURAS/FICHERO.
arbol() {
    "$python" "$arbol_accesible" "$pid_programa" 10 >"$capturas/$1" 2>"$carpeta/arbol.log" ||
        fallar "no se leyó el árbol de accesibilidad: $(cat "$carpeta/arbol.log")"
}
# tiene FICHERO TEXTO: el árbol FICHERO tiene una línea con TEXTO.
tiene() {
    grep -qF -- "$2" "$capturas/$1" || fallar "en $1 no hay «$2»: $(cat "$capturas/$1")"
}
# sitio FICHERO TEXTO: «izquierda arriba ancho alto» del primer elemento de FICHERO con TEXTO.
sitio() {
    grep -F -- "$2" "$capturas/$1" | head -n 1 |
        sed -n 's/.*@\(-\?[0-9]*\),\(-\?[0-9]*\),\([0-9]*\)x\([0-9]*\)$/\1 \2 \3 \4/p'
}
# barra_dentro_del_marco CAPTURA: la barra (rosa: 255, 192, 192) se ve entera dentro del marco.
# Bajando desde su pie por su columna central hay, quizá, su propio borde; después el fondo del
# interior, el borde de abajo del marco y el fondo de la ventana (el fondo del marco y el de la
# ventana son del mismo color en los estilos de Qt; se toma del pie de la captura). Una barra
# que tapa el borde del marco sólo tiene debajo el fondo de la ventana.
barra_dentro_del_marco() {
    local imagen="$capturas/$1" caja
    caja=$(caja_de_la_barra "$1")
    [[ "$caja" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fallar "$1: no se ve la barra"
    local ancho=${BASH_REMATCH[1]} alto=${BASH_REMATCH[2]} x=${BASH_REMATCH[3]}
    local desde=$((BASH_REMATCH[4] + alto)) alto_imagen colores fondo clases=""
    alto_imagen=$(identify -format '%h' "$imagen")
    colores=$(convert "$imagen" -crop "1x$((alto_imagen - desde))+$((x + ancho / 2))+$desde" \
        +repage -depth 8 txt:- | sed -n 's/.* \(#[0-9A-F]\{6\}\).*/\1/p')
    fondo=$(tail -n 1 <<<"$colores")
    while read -r color; do
        if [ "$color" = "$fondo" ]; then clases+=F; else clases+=X; fi
    done <<<"$colores"
    [[ "$clases" =~ ^X*F+X+F+$ ]] ||
        fallar "$1: la barra ($caja) no queda dentro del marco; bajo ella (F fondo, X otro):" \
            "$(sed -E 's/(F+|X+)/\1 /g' <<<"$clases" | awk '{ for (i = 1; i <= NF; i++)
                printf "%s%d ", substr($i, 1, 1), length($i) }')"
}
# caja_de_la_barra CAPTURA: ANCHOxALTO+IZQUIERDA+ARRIBA de lo rosa de la barra, o nada.
caja_de_la_barra() {
    local caja
    caja=$(convert "$capturas/$1" -alpha off -fill black +opaque '#FFC0C0' -format '%@' info: \
        2>/dev/null)
    [[ "$caja" == 0x* ]] || echo "$caja"
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
# de KiB, como límite de tamaño de fichero, y con las variables VAR=VALOR de la lista
# $entorno_programa), elige el origen NOMBRE y acepta el destino propuesto. Deja el número de la
# ventana en $ventana.
entorno_programa=()
abrir_con_origen() {
    # A veces, con la máquina cargada, el servidor X rechaza la conexión de un programa nuevo
    # («could not connect to display»): el programa lo dice y sale con 1, y se lanza otra vez.
    for _ in 1 2 3; do
        (cd "$1" && { [ -z "${3:-}" ] || ulimit -f "$3"; } &&
            exec env "${entorno_programa[@]}" "$programa" 2>"$carpeta/programa.err") &
        pid_programa=$!
        ventana=""
        for _ in $(seq 400); do
            ventana=$(xdotool search --onlyvisible --name '^Tranformar fichero DTM$' 2>/dev/null |
                head -n 1) || true
            [ -n "$ventana" ] && break
            case "$(ps -o stat= -p "$pid_programa")" in "" | Z*) break ;; esac
            sleep 0.05
        done
        [ -n "$ventana" ] && break
        wait "$pid_programa" || true
        pid_programa=""
        grep -q "no se encontró una pantalla" "$carpeta/programa.err" ||
            fallar "no apareció la ventana: $(cat "$carpeta/programa.err")"
    done
    [ -n "$ventana" ] || fallar "el servidor X rechazó tres veces la conexión del programa"
    local caja
    caja=$(elegir_origen "$ventana" "$2")
    xdotool windowfocus --sync "$caja" key Return
    esperar_cierre "$caja"
}

# La conversión principal, lanzada en $carpeta con un fdatasync que tarda 3 s y deja una marca.
marca="$carpeta/volcando"
(cd "$carpeta" && exec env LD_PRELOAD="$fdatasync_lento" TESMALO_PRUEBA_RETRASO_FDATASYNC_MS=3000 \
    TESMALO_PRUEBA_MARCA_FDATASYNC="$marca" "$programa") &
pid_programa=$!

ventana=$(esperar_ventana "Tranformar fichero DTM")
xdotool windowfocus --sync "$ventana"
capturar "$ventana" inicio.png
geometria=$(xdotool getwindowgeometry "$ventana" | sed -n 's/.*Geometry: //p')
[ "$geometria" = "287x241" ] || fallar "el área de cliente mide $geometria, no 287x241"

# En el inicio: Tab lleva a TextBox1, donde Intro no pulsa nada y Alt+I (CommandButton2, oculto)
# no escribe; Tab sale sin rechazo. Dos Tab más llevan a CommandButton1, que se ve igual que al
# empezar: con su anillo de foco.
xdotool windowfocus --sync "$ventana" key --delay 20 Tab Return alt+i Tab
sin_ventana "Abrir" "Intro en un campo abrió el selector" "text «COLUMNAS»"
sin_ventana "Tesmalo" "Alt+I escribió en TextBox1, que se rechazó" "text «COLUMNAS»"
xdotool key --delay 20 Tab Tab
capturar "$ventana" inicio-tras-tab.png
compare -metric AE "$capturas/inicio.png" "$capturas/inicio-tras-tab.png" null: 2>/dev/null ||
    fallar "CommandButton1 no se ve igual al empezar que tras llegar a él con Tab (su anillo" \
        "de foco): compárense inicio.png e inicio-tras-tab.png"
xdotool windowfocus --sync "$ventana" key Return
selector=$(esperar_ventana "Abrir")
capturar "$selector" selector.png
xdotool windowfocus --sync "$selector" type --delay 10 "datos/zona.asc"
xdotool key Return

# Un destino relativo de unos 267 caracteres una vez junto al origen: sus carpetas sólo existen
# en datos/, no en la carpeta desde la que se lanzó el programa.
relativo="" hoja=0
while [ $((${#datos} + 1 + ${#relativo} + 19)) -lt 267 ]; do
    relativo+="hoja-$((hoja += 1))-del-modelo-digital-del-terreno/"
done
relativo+="zona_reestruct.txt"
destino="$datos/$relativo"
mkdir -p "$(dirname "$destino")"
caja=$(esperar_ventana "Fichero_destino")
capturar "$caja" destino.png
xdotool windowfocus --sync "$caja" type --delay 2 "$relativo"
xdotool key Return
esperar_cierre "$caja"
capturar "$ventana" elegido.png

# Cada campo se lee con el título que tiene a su izquierda; los botones, con el suyo.
arbol accesible-elegido.txt
tiene accesible-elegido.txt "text «NÚM. de líneas que definen la cabecera:» texto=«6»"
tiene accesible-elegido.txt "text «COLUMNAS» texto=«3»"
tiene accesible-elegido.txt "text «FILAS» texto=«$filas»"
tiene accesible-elegido.txt "push button «Seleccionar fichero origen»"
tiene accesible-elegido.txt "push button «Iniciar transformación»"
if grep -E '(push button|text) «»' "$capturas/accesible-elegido.txt"; then
    fallar "un campo o un botón no tiene nombre para un lector de pantalla"
fi

# Con el origen elegido el foco está en TextBox1, con el 6 elegido: Alt+S (CommandButton1, ya
# oculto) y Alt+X (de ningún control) no lo sustituyen, así que Tab sale sin rechazo.
xdotool windowfocus --sync "$ventana" key --delay 20 alt+s alt+x Tab
sin_ventana "Tesmalo" "Alt+S o Alt+X escribieron en TextBox1, que se rechazó" "text «COLUMNAS»"

# strace, enganchado ya elegido el origen, retrasa medio segundo cada lectura de la conversión
# desde la segunda: la ventana avisa del progreso tras cada pausa y se ve la barra a medias.
enganchar_strace -P "$datos/zona.asc" -e trace=read -e inject=read:delay_enter=500000:when=2+
# Alt+N lleva a CommandButton2 e Intro lo pulsa.
xdotool windowfocus --sync "$ventana" key --delay 20 alt+n Return
esperar_titulo "$ventana" "Reestructurando"
for _ in $(seq 50); do
    capturar "$ventana" en_marcha.png
    [ -z "$(caja_de_la_barra en_marcha.png)" ] || break
done
barra_dentro_del_marco en_marcha.png

# Una letra en TextBox1 (que recibe el foco al ocultarse el botón) y Tab: el mensaje del campo
# sale con la conversión en marcha.
xdotool windowfocus --sync "$ventana" key --delay 0 ctrl+a x Tab
mensaje=$(esperar_ventana "Tesmalo")
titulo=$(xdotool getwindowname "$ventana")
[ "$titulo" = "Reestructurando" ] || fallar "la ventana se titula «$titulo» en marcha"
capturar "$mensaje" mensaje.png
xdotool windowfocus --sync "$mensaje" key Return

# Con todo escrito, mientras dura el fdatasync lento (desde que aparece la marca): el destino no
# tiene aún su nombre y la ventana sigue «Reestructurando», con la barra entera. El árbol de
# accesibilidad se lee ahora, con el porcentaje quieto.
for _ in $(seq 200); do
    [ -e "$marca" ] && break
    sleep 0.05
done
[ -e "$marca" ] || fallar "la conversión no llegó al fdatasync"
# Leído ya todo el origen, strace suelta al programa: con él enganchado, LeakSanitizer (en la
# compilación con sanitizadores) no podría revisar la memoria al salir.
kill -INT "$pid_strace"
wait "$pid_strace" || true
pid_strace=""
arbol accesible-en-marcha.txt
[ ! -e "$destino" ] || fallar "el fdatasync lento no retrasó el nombre del destino"
porcentaje="" valor=""
read -r porcentaje valor < <(sed -n \
    's/.*progress bar «\([0-9]*[.,][0-9]\{3\}\)%» valor=\([0-9.e+-]*\) \[0\.\.100\].*/\1 \2/p' \
    "$capturas/accesible-en-marcha.txt") || true
[ -n "$valor" ] && awk -v a="${porcentaje/,/.}" -v b="$valor" \
    'BEGIN { exit !(a > 0 && (a - b) ^ 2 < 1e-6) }' ||
    fallar "el marco no es una barra de progreso con su porcentaje como valor:" \
        "$(grep -F 'progress bar' "$capturas/accesible-en-marcha.txt")"
tiene accesible-en-marcha.txt "/zona_reestruct.txt» descripción=«$destino»"
etiqueta=$(grep -F "label «Ge" "$capturas/accesible-en-marcha.txt")
[[ "$etiqueta" == *"label «Generando nuevo fichero en:\\n${carpeta:0:8}"*…* ]] ||
    fallar "Label4 no enseña el principio de la carpeta y «…»: $etiqueta"
read -r _ arriba_etiqueta _ alto_etiqueta < <(sitio accesible-en-marcha.txt "label «Ge") || true
read -r _ arriba_marco _ _ < <(sitio accesible-en-marcha.txt "progress bar «") || true
[ $((arriba_etiqueta + alto_etiqueta)) -le "$arriba_marco" ] ||
    fallar "Label4 (arriba $arriba_etiqueta, alto $alto_etiqueta) se mete bajo el marco" \
        "(arriba $arriba_marco)"

# «Finalizado» sólo se ve con el destino ya en disco y con su nombre.
visto_volcando=""
while kill -0 "$pid_programa" 2>/dev/null; do
    titulo=$(xdotool getwindowname "$ventana" 2>/dev/null) || break
    if [ "$titulo" = "Finalizado" ]; then
        [ -f "$destino" ] || fallar "«Finalizado» con el destino aún sin nombre"
    elif [ ! -e "$destino" ]; then
        [ "$titulo" = "Reestructurando" ] || fallar "durante el volcado el título es «$titulo»"
        visto_volcando=1
    fi
    sleep 0.05
done
estado=0
wait "$pid_programa" || estado=$?
pid_programa=""
[ "$estado" -eq 0 ] || fallar "el programa salió con $estado"
[ -n "$visto_volcando" ] || fallar "no se vio la ventana durante el fdatasync lento"

[ -f "$destino" ] || fallar "no se escribió $destino"
lineas=$(wc -l <"$destino")
[ "$lineas" -eq $((filas + 6)) ] || fallar "el destino tiene $lineas líneas, no $((filas + 6))"
[ "$(head -n 1 "$destino")" = $'ncols         3\r' ] || fallar "primera línea: $(head -n 1 "$destino")"
[ "$(sed -n 7p "$destino")" = $'1.5 2.25 -999\r' ] || fallar "primera fila: $(sed -n 7p "$destino")"

# acabar_en_marcha COMO LENTO ESCALA TECLAS...: convierte un origen lento (LENTO «lectura»: una
# lectura de 2,5 s, con strace; «volcado»: un fdatasync que no acaba, con LD_PRELOAD), con
# QT_SCALE_FACTOR=ESCALA, pulsa TECLAS en la ventana en marcha y la acaba: con COMO «cerrar»,
# como el gestor de ventanas (sale con 0); con el nombre de una señal, con kill (sale con 128 +
# la señal). Con una señal el temporal lleva nombre, como donde no los hay sin él (FAT, carpetas
# de red): strace hace fallar el O_TMPFILE. Con ESCALA 2 se captura la ventana en marcha.
acabar_en_marcha() {
    local como="$1" lento="$2" escala="$3"
    shift 3
    local lenta="$carpeta/lenta"
    rm -rf "$lenta" "$marca"
    mkdir "$lenta"
    # 4 MiB: la conversión lee el origen en bloques de 1 MiB, así que llega a la lectura lenta.
    # Las filas son justo las de la cabecera: si faltaran, la conversión fallaría al final.
    {
        printf 'ncols 3\nnrows 300000\nxllcorner 258.000\nyllcorner 448.500\n'
        printf 'cellsize 15.000\nnodata_value -999.000\n'
        (yes '1.5 2.25 -999' || true) | head -n 300000
    } >"$lenta/lenta.asc"
    entorno_programa=(QT_SCALE_FACTOR="$escala")
    if [ "$lento" = volcado ]; then
        entorno_programa+=(LD_PRELOAD="$fdatasync_lento" TESMALO_PRUEBA_RETRASO_FDATASYNC_MS=60000
            TESMALO_PRUEBA_MARCA_FDATASYNC="$marca")
        abrir_con_origen "$lenta" lenta.asc
    else
        abrir_con_origen "$lenta" lenta.asc
        # strace se engancha ya elegido el origen, y cuenta las lecturas de cada hilo: la
        # conversión, en el suyo, lee dos bloques y espera 2,5 s en la tercera lectura. strace
        # acaba cuando acaba esa espera, aunque el programa haya acabado antes.
        # El O_TMPFILE es la tercera apertura vigilada: tras la del origen y la que resuelve la
        # carpeta del destino.
        local sin_tmpfile=()
        [ "$como" = cerrar ] ||
            sin_tmpfile=(-P "$lenta" -e inject=openat:error=EOPNOTSUPP:when=3)
        enganchar_strace -P "$lenta/lenta.asc" -e trace=read,openat \
            -e inject=read:delay_enter=2500000:when=3+ "${sin_tmpfile[@]}"
    fi
    xdotool windowfocus --sync "$ventana" key --delay 20 alt+n Return
    esperar_titulo "$ventana" "Reestructurando"
    if [ "$lento" = volcado ]; then
        for _ in $(seq 200); do
            [ -e "$marca" ] && break
            sleep 0.05
        done
        [ -e "$marca" ] || fallar "$como $lento: el volcado no empezó"
    fi
    if [ "$escala" != 1 ]; then
        capturar "$ventana" en_marcha_x$escala.png
        barra_dentro_del_marco en_marcha_x$escala.png
    fi
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
    [ -n "$tardo" ] || fallar "$como $lento ($*) no acabó el proceso en 2 s"
    [ "$tardo" -lt 1000 ] || fallar "$como $lento ($*) tardó $tardo ms en acabar el proceso"
    local estado=0
    wait "$pid_programa" || estado=$?
    pid_programa=""
    [ "$estado" -eq "$esperado" ] || fallar "$como $lento ($*): el programa salió con $estado"
    if [ -n "$pid_strace" ]; then
        wait "$pid_strace" || true
        pid_strace=""
    fi
    local quedan
    quedan=$(ls -A "$lenta")
    [ "$quedan" = "lenta.asc" ] || fallar "$como $lento ($*) dejó: $quedan"
    entorno_programa=()
}
acabar_en_marcha cerrar lectura 1 a b c
acabar_en_marcha cerrar lectura 1 a Tab
acabar_en_marcha cerrar volcado 2
acabar_en_marcha TERM lectura 1
acabar_en_marcha HUP lectura 1

# Con un límite de tamaño de fichero (ulimit -f 100) la ventana no muere en silencio al pasarlo:
# da la razón en su caja de error y sale con 1, sin destino ni temporal.
limite="$carpeta/limite"
mkdir "$limite"
head -n 100006 "$datos/zona.asc" >"$limite/limite.asc"
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

# El selector de ficheros no ha dejado sus ajustes (QtProject.conf) entre ejecuciones.
guardado=$(cd "$XDG_CONFIG_HOME" && find . -mindepth 1)
[ -z "$guardado" ] || fallar "se guardaron ajustes en XDG_CONFIG_HOME: $guardado"

echo "ventana real ($local): bien; capturas en $capturas"
