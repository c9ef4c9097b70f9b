// Genera en la salida estándar una rejilla de prueba para las medidas: la cabecera de seis
// líneas y COLUMNAS × FILAS valores, POR_LINEA en cada línea (la última quizá con menos). Los
// valores son de tres clases, deterministas:
//   cifra    una cifra (0 a 9);
//   entero   de 100 a 2999;
//   decimal  como «-12.345», con tres decimales y signo menos (de «-1.000» a «-999.999»).
// FORMA dice el fin de línea y lo que separa los valores de una línea (y la clave de su valor
// en la cabecera): lf (LF y un espacio, por omisión), crlf (CRLF y un espacio), tab (LF y un
// tabulador) o tabcrlf (CRLF y un tabulador).
//
// Uso: generar_rejilla CLASE COLUMNAS FILAS POR_LINEA [FORMA]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Escribe `v` en decimal al final de `p` y devuelve el nuevo final.
char* Escribir_numero(char* p, std::uint64_t v, int cifras_minimas = 1) {
    char cifras[24];
    int n = 0;
    do {
        cifras[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 || n < cifras_minimas);
    while (n > 0) *p++ = cifras[--n];
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr,
                     "uso: generar_rejilla cifra|entero|decimal COLUMNAS FILAS POR_LINEA "
                     "[lf|crlf|tab|tabcrlf]\n");
        return 2;
    }
    const std::string clase = argv[1];
    const std::string forma = argc == 6 ? argv[5] : "lf";
    const std::uint64_t columnas = std::strtoull(argv[2], nullptr, 10);
    const std::uint64_t filas = std::strtoull(argv[3], nullptr, 10);
    const std::uint64_t por_linea = std::strtoull(argv[4], nullptr, 10);
    if ((clase != "cifra" && clase != "entero" && clase != "decimal") || columnas == 0 ||
        filas == 0 || por_linea == 0 ||
        (forma != "lf" && forma != "crlf" && forma != "tab" && forma != "tabcrlf")) {
        std::fprintf(stderr, "generar_rejilla: argumentos no válidos\n");
        return 2;
    }
    const bool crlf = forma == "crlf" || forma == "tabcrlf";
    const char separador = forma == "tab" || forma == "tabcrlf" ? '\t' : ' ';
    const char* const fin = crlf ? "\r\n" : "\n";
    std::printf(
        "ncols%c%llu%snrows%c%llu%sxllcorner%c258.000%syllcorner%c448.500%s"
        "cellsize%c15.000%snodata_value%c-999.000%s",
        separador, static_cast<unsigned long long>(columnas), fin, separador,
        static_cast<unsigned long long>(filas), fin, separador, fin, separador, fin, separador, fin,
        separador, fin);

    std::vector<char> bufer(1 << 20);
    char* p = bufer.data();
    const std::uint64_t n = columnas * filas;
    for (std::uint64_t i = 1; i <= n; ++i) {
        if (clase == "cifra") {
            *p++ = static_cast<char>('0' + (i * 7 + i / 13 * 3) % 10);
        } else if (clase == "entero") {
            p = Escribir_numero(p, 100 + (i * 7919) % 2900);
        } else {
            *p++ = '-';
            p = Escribir_numero(p, 1 + (i * 7919) % 999);
            *p++ = '.';
            p = Escribir_numero(p, (i * 131) % 1000, 3);
        }
        if (i % por_linea == 0 || i == n) {
            if (crlf) *p++ = '\r';
            *p++ = '\n';
        } else {
            *p++ = separador;
        }
        if (p - bufer.data() > static_cast<std::ptrdiff_t>(bufer.size()) - 64) {
            if (std::fwrite(bufer.data(), 1, p - bufer.data(), stdout) !=
                std::size_t(p - bufer.data()))
                return 1;
            p = bufer.data();
        }
    }
    if (std::fwrite(bufer.data(), 1, p - bufer.data(), stdout) != std::size_t(p - bufer.data()))
        return 1;
    return std::fflush(stdout) == 0 ? 0 : 1;
}
