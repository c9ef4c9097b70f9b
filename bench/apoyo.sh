# Lo común a los guiones de bench/, que lo cargan con «source». Deja en $raiz la raíz del
# repositorio y fija LC_ALL=C (punto decimal en $EPOCHREALTIME y en awk).
export LC_ALL=C
raiz="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# compilar CARPETA OBJETIVO...: configura CARPETA (sin pruebas) si aún no lo está y compila los
# objetivos pedidos, que se compilan por su nombre aunque no estén en «all».
compilar() {
    local carpeta=$1
    shift
    [ -f "$carpeta/build.ninja" ] || cmake -S "$raiz" -B "$carpeta" -G Ninja >/dev/null
    [ $# -eq 0 ] || cmake --build "$carpeta" --target "$@" >/dev/null
}

# Falla si no está /usr/bin/time (paquete time), que da la memoria residente máxima.
necesitar_time() {
    [ -x /usr/bin/time ] && return
    echo "$(basename "$0"): falta /usr/bin/time (paquete time; lo instala scripts/instalar-dependencias)" >&2
    exit 1
}

# segundos INICIO FIN: la diferencia de dos $EPOCHREALTIME, con milésimas.
segundos() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# mediana: la mediana de los números de la entrada, uno por línea (la menor de las dos centrales
# si son pares).
mediana() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# rejilla CLASE DISPOSICION: una de las doce rejillas de medida; deja en $lado sus filas y
# columnas, en $por_linea los valores de cada línea y en $nombre la disposición en palabras.
#
#   clase     rejilla          origen   valores
#   cifra     10000 × 10000    200 MB   una cifra (0 a 9)
#   entero     6000 × 6000     180 MB   de 100 a 2999
#   decimal    4000 × 4000     140 MB   como «-12.345» (de «-1.000» a «-999.999»)
#
#   disposiciones: fila (una fila por línea), diez (10 por línea), uno (uno por línea), todo
#   (toda la rejilla en una línea)
rejilla() {
    case $1 in
        cifra) lado=10000 ;;
        entero) lado=6000 ;;
        decimal) lado=4000 ;;
        *) echo "$(basename "$0"): clase desconocida: $1" >&2; exit 2 ;;
    esac
    case $2 in
        fila) por_linea=$lado nombre="una fila por línea" ;;
        diez) por_linea=10 nombre="10 por línea" ;;
        uno) por_linea=1 nombre="uno por línea" ;;
        todo) por_linea=$((lado * lado)) nombre="todo en una línea" ;;
        *) echo "$(basename "$0"): disposición desconocida: $2" >&2; exit 2 ;;
    esac
}
