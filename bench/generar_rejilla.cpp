// Genera en la salida estándar una rejilla de prueba para las medidas: la cabecera de seis
// líneas y COLUMNAS × FILAS valores, POR_LINEA en cada línea (la última quizá con menos), con
// fin de línea LF. Los valores son de tres clases, deterministas:
//   cifra    una cifra (0 a 9);
//   entero   de 100 a 2999;
//   decimal  como «-12.345», con tres decimales y signo menos (de «-1.000» a «-999.999»).
//
// Uso: generar_rejilla CLASE COLUMNAS FILAS POR_LINEA
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
    if (argc != 5) {
        std::fprintf(stderr,
                     "uso: generar_rejilla cifra|entero|decimal COLUMNAS FILAS POR_LINEA\n");
        return 2;
    }
    const std::string clase = argv[1];
    const std::uint64_t columnas = std::strtoull(argv[2], nullptr, 10);
    const std::uint64_t filas = std::strtoull(argv[3], nullptr, 10);
    const std::uint64_t por_linea = std::strtoull(argv[4], nullptr, 10);
    if ((clase != "cifra" && clase != "entero" && clase != "decimal") || columnas == 0 ||
        filas == 0 || por_linea == 0) {
        std::fprintf(stderr, "generar_rejilla: argumentos no válidos\n");
        return 2;
    }
    std::printf(
        "ncols %llu\nnrows %llu\nxllcorner 258.000\nyllcorner 448.500\n"
        "cellsize 15.000\nnodata_value -999.000\n",
        static_cast<unsigned long long>(columnas), static_cast<unsigned long long>(filas));

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
        *p++ = (i % por_linea == 0 || i == n) ? '\n' : ' ';
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
