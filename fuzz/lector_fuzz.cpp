// Fuzzing del lector del origen (conversion/lector.h) con bloques de lectura pequeños, para que
// los campos, los CRLF y los bloques de 64 bytes del escáner queden partidos entre dos lecturas,
// lo que la conversión entera, con bloques de 1 MiB, no ve con entradas pequeñas. El escáner es
// el que diga TESMALO_SIMD (fuzz/apoyo.h).
//
// Entrada: un byte con el tamaño del bloque (de 1 a 64 si es menor que 128; si no, de 64 a 572
// de cuatro en cuatro, para que quepan varios bloques del escáner), un byte con cuántas
// operaciones siguen
// como guion, esos bytes de guion y el fichero. Cada operación del guion (Al_final,
// Copiar_campos con un k y con o sin espacio delante, Siguiente_campo, Leer_extremos,
// Leer_primero, Saltar_linea) se compara con un cursor sobre las líneas y campos del modelo
// (fuzz/modelo.h); Copiar_campos sigue por las líneas siguientes hasta tener sus k campos.
// Copiar_campos escribe en una salida que da cada vez un búfer del tamaño justo que pidió, para que
// AddressSanitizer vea cualquier byte escrito de más.
#include <cstdint>
#include <memory>
#include <vector>

#include "conversion/lector.h"
#include "fuzz/apoyo.h"
#include "fuzz/modelo.h"

using tesmalo::fuzz::Exigir;

namespace {

// Una salida para Copiar_campos que comprueba su contrato.
struct Salida_justa {
    qsizetype bloque = 0;
    std::unique_ptr<char[]> bufer;
    qsizetype reservado = -1;
    std::string texto;

    char* Reservar(qsizetype n) {
        Exigir(n >= 1 && n <= bloque + 1, "Copiar_campos reservó más que el bloque más uno");
        bufer.reset(new char[std::size_t(n)]);
        reservado = n;
        return bufer.get();
    }
    void Avanzar(qsizetype n) {
        Exigir(n >= 0 && n <= reservado, "Copiar_campos avanzó más de lo reservado");
        texto.append(bufer.get(), std::size_t(n));
        reservado = -1;
    }
};

// El cursor del modelo: línea y campo siguientes.
struct Cursor {
    const std::vector<std::vector<std::string>>& lineas;
    std::size_t linea = 0, campo = 0;
    bool Al_final() const { return linea >= lineas.size(); }
    std::size_t Quedan() const { return Al_final() ? 0 : lineas[linea].size() - campo; }
    const std::string& Campo(std::size_t i) const { return lineas[linea][campo + i]; }
    void Terminar_linea() {
        if (!Al_final()) ++linea;
        campo = 0;
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tesmalo::fuzz::Elegir_escaner();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    if (largo < 2) return 0;
    const qsizetype bloque = datos[0] < 128 ? 1 + datos[0] % 64 : 64 + (datos[0] - 128) * 4;
    const std::size_t pasos = std::min<std::size_t>(datos[1], largo - 2);
    const std::uint8_t* guion = datos + 2;
    const std::string_view fichero(reinterpret_cast<const char*>(datos + 2 + pasos),
                                   largo - 2 - pasos);
    if (tesmalo::fuzz::Empieza_como_gzip(fichero)) return 0;
    const QString detalle = QStringLiteral("bloque %1, fichero hex %2")
                                .arg(bloque)
                                .arg(QString::fromLatin1(
                                    QByteArray(fichero.data(), qsizetype(fichero.size())).toHex()));

    const QString ruta = tesmalo::fuzz::Ruta(QStringLiteral("lector.txt"));
    tesmalo::fuzz::Escribir_fichero(ruta, fichero);
    std::vector<std::vector<std::string>> lineas;
    for (const std::string& l : tesmalo::modelo::Partir_lineas(fichero))
        lineas.push_back(tesmalo::modelo::Campos(l));
    Cursor cursor{lineas};

    tesmalo::Lector_origen lector(ruta, bloque);
    // Tras el guion, se lee el resto campo a campo, como hace la conversión.
    for (std::size_t i = 0; i < pasos + 100000; ++i) {
        const std::uint8_t op = i < pasos ? guion[i] : 1;
        // A mitad de la última línea, si no le quedan campos ni le sigue un fin de línea, el
        // lector ya está al final: para él no queda nada que leer.
        const bool final = lector.Al_final();
        if (cursor.campo == 0) {
            Exigir(final == cursor.Al_final(), "Al_final no coincide", detalle);
        } else if (final) {
            Exigir(cursor.Quedan() == 0 && cursor.linea + 1 == lineas.size(),
                   "Al_final a mitad de una línea con campos por leer", detalle);
            cursor.Terminar_linea();
        }
        if (i >= pasos && final) break;
        if (!final)
            Exigir(lector.Linea() == qint64(cursor.linea) + 1, "Linea() no coincide", detalle);
        switch (op % 6) {
            case 0:
            case 1: {
                const qint64 k = op % 6 == 0 ? 1 + op / 6 % 20 : 1 + op / 6;
                const bool espacio = op & 0x80;
                Salida_justa salida;
                salida.bloque = bloque;
                const qint64 hechos = lector.Copiar_campos(salida, k, espacio);
                // Los k campos siguientes, pasando a la línea siguiente sólo si faltan campos.
                std::string esperado;
                qint64 copiados = 0;
                while (copiados < k && !cursor.Al_final()) {
                    if (cursor.Quedan() == 0) {
                        cursor.Terminar_linea();
                        continue;
                    }
                    esperado += (copiados > 0 || espacio ? " " : "") + cursor.Campo(0);
                    ++cursor.campo;
                    ++copiados;
                }
                Exigir(hechos == copiados, "Copiar_campos copió otro número de campos", detalle);
                Exigir(salida.texto == esperado, "Copiar_campos copió otros bytes", detalle);
                break;
            }
            case 2: {
                std::string campo;
                const bool hay = lector.Siguiente_campo(
                    [&](const char* d, qsizetype n) { campo.append(d, std::size_t(n)); });
                Exigir(hay == (cursor.Quedan() > 0), "Siguiente_campo no coincide", detalle);
                if (hay) {
                    Exigir(campo == cursor.Campo(0), "Siguiente_campo dio otro campo", detalle);
                    ++cursor.campo;
                } else {
                    cursor.Terminar_linea();
                }
                break;
            }
            case 3: {
                tesmalo::Extremos e;
                lector.Leer_extremos(e);
                const std::size_t quedan = cursor.Quedan();
                Exigir(e.primero == (quedan ? cursor.Campo(0) : std::string()) &&
                           e.ultimo == (quedan ? cursor.Campo(quedan - 1) : std::string()),
                       "Leer_extremos dio otros extremos", detalle);
                cursor.Terminar_linea();
                break;
            }
            case 4: {
                tesmalo::Extremos e;
                const bool hay = lector.Leer_primero(e);
                Exigir(hay == (cursor.Quedan() > 0), "Leer_primero no coincide", detalle);
                if (hay) {
                    Exigir(e.primero == cursor.Campo(0), "Leer_primero dio otro campo", detalle);
                    ++cursor.campo;
                } else {
                    cursor.Terminar_linea();
                }
                break;
            }
            default: {
                const qint64 saltados = lector.Saltar_linea();
                Exigir(saltados == qint64(cursor.Quedan()), "Saltar_linea contó otros campos",
                       detalle);
                cursor.Terminar_linea();
                break;
            }
        }
    }
    return 0;
}
