// Fuzzing de la conversión entera (conversion/transformar.h), con el escáner que diga
// TESMALO_SIMD (fuzz/apoyo.h).
//
// Entrada: un byte para el número de líneas de cabecera, uno para cada cuenta del diálogo, uno
// de opciones (si ya hay un destino, y en qué llamada de progreso se lanza una excepción para
// detener la conversión) y el fichero de origen. Propiedades, frente al modelo (fuzz/modelo.h):
// - si el modelo termina, la conversión escribe exactamente el mismo destino (la cabecera
//   que dan las claves y filas de tantos valores como columnas diga la cabecera, cada valor un
//   campo del origen en su orden), con el mismo resumen y las mismas fracciones de progreso, entre
//   un Indicar_inicio y un Indicar_fin;
// - si el modelo falla, o si el progreso lanza, la conversión lanza std::runtime_error con un
//   mensaje no vacío en UTF-8 válido que dice la causa esperada, no llama a Indicar_fin, no deja
//   destino y el que ya había queda como estaba;
// - el origen nunca cambia, y en la carpeta no queda ningún temporal.
#include <QLocale>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "conversion/transformar.h"
#include "fuzz/apoyo.h"
#include "fuzz/modelo.h"

using tesmalo::fuzz::Exigir;

namespace {

constexpr qint32 Minimo = std::numeric_limits<qint32>::min();
constexpr qint32 Maximo = std::numeric_limits<qint32>::max();

qint32 Cuenta_dialogo(std::uint8_t b) {
    constexpr qint32 cuentas[] = {1, 2, 3, 0, 7, -1, Maximo, Minimo, 100000, 4};
    return cuentas[b % 10];
}

qint32 Lineas_cabecera(std::uint8_t b) {
    if (b >= 250) {
        constexpr qint32 raras[] = {32766, 32767, Maximo, Minimo, -100000, 65536};
        return raras[b - 250];
    }
    return qint32(b % 12) - 2;
}

// La excepción con que el progreso detiene la conversión.
struct Detenida : std::runtime_error {
    Detenida() : std::runtime_error("detenida por la prueba") {}
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tesmalo::fuzz::Elegir_escaner();
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    if (largo < 4) return 0;
    const qint32 H = Lineas_cabecera(datos[0]);
    const qint32 columnas = Cuenta_dialogo(datos[1]);
    const qint32 filas = Cuenta_dialogo(datos[2]);
    const bool habia_destino = datos[3] & 1;
    const int parar_en = (datos[3] >> 1) % 8;  // 0: nunca; n: en la n-ésima llamada de progreso
    const std::string_view fichero(reinterpret_cast<const char*>(datos + 4), largo - 4);
    if (tesmalo::fuzz::Empieza_como_gzip(fichero)) return 0;
    const QByteArray contenido(fichero.data(), qsizetype(fichero.size()));
    const QString detalle = QStringLiteral(
                                "cabecera %1, cuentas %2 × %3, destino previo %4, "
                                "parar en %5, fichero hex %6")
                                .arg(H)
                                .arg(columnas)
                                .arg(filas)
                                .arg(habia_destino)
                                .arg(parar_en)
                                .arg(QString::fromLatin1(contenido.toHex()));

    tesmalo::fuzz::Vaciar_carpeta();
    const QString origen = tesmalo::fuzz::Ruta(QStringLiteral("origen.asc"));
    const QString destino = tesmalo::fuzz::Ruta(QStringLiteral("destino.txt"));
    tesmalo::fuzz::Escribir_fichero(origen, fichero);
    const QByteArray anterior = "destino anterior\r\n";
    if (habia_destino) tesmalo::fuzz::Escribir_fichero(destino, anterior.toStdString());

    const tesmalo::modelo::Conversion esperado =
        tesmalo::modelo::Convertir(tesmalo::modelo::Partir_lineas(fichero), H, columnas, filas);
    // La parada sólo ocurre si la conversión llega a esa llamada de progreso.
    const bool parada = parar_en > 0 && std::size_t(parar_en) <= esperado.fracciones.size();

    int inicios = 0, fines = 0;
    std::vector<double> fracciones;
    const tesmalo::Operaciones_progreso progreso{
        [&] {
            Exigir(fracciones.empty() && fines == 0, "Indicar_inicio fuera de orden", detalle);
            ++inicios;
        },
        [&](double f) {
            Exigir(inicios == 1 && fines == 0, "Indicar_progreso fuera de orden", detalle);
            fracciones.push_back(f);
            if (int(fracciones.size()) == parar_en) throw Detenida();
        },
        [&] { ++fines; }};

    const auto Comprobar_fallo = [&](const std::runtime_error& e, const std::string& causa) {
        const std::string_view mensaje = e.what();
        Exigir(!mensaje.empty() && tesmalo::fuzz::Es_utf8(mensaje), "mensaje vacío o no UTF-8",
               detalle);
        Exigir(QString::fromUtf8(e.what()).contains(QString::fromStdString(causa)),
               "el mensaje no dice la causa esperada",
               detalle + QStringLiteral(", mensaje: %1, se esperaba: %2")
                             .arg(QString::fromUtf8(e.what()), QString::fromStdString(causa)));
        Exigir(fines == 0, "Indicar_fin tras un fallo", detalle);
        Exigir(
            tesmalo::fuzz::Ficheros() == (habia_destino ? QStringList{"destino.txt", "origen.asc"}
                                                        : QStringList{"origen.asc"}),
            "un fallo dejó ficheros en la carpeta",
            detalle + QStringLiteral(", hay: ") + tesmalo::fuzz::Ficheros().join(' '));
        if (habia_destino)
            Exigir(tesmalo::fuzz::Leer_fichero(destino) == anterior,
                   "un fallo tocó el destino que había", detalle);
    };

    try {
        const tesmalo::Resumen_conversion r =
            tesmalo::Transfromar_cab(H, columnas, filas, origen, destino, progreso);
        Exigir(!parada, "la conversión siguió tras una excepción del progreso", detalle);
        Exigir(
            esperado.error.empty(), "la conversión terminó y debía fallar",
            detalle + QStringLiteral(", se esperaba: ") + QString::fromStdString(esperado.error));
        const QByteArray escrito = tesmalo::fuzz::Leer_fichero(destino);
        Exigir(escrito.toStdString() == esperado.destino, "el destino no es el esperado",
               detalle + QStringLiteral("\nescrito:  %1\nesperado: %2")
                             .arg(QString::fromLatin1(escrito.toHex()),
                                  QString::fromLatin1(
                                      QByteArray::fromStdString(esperado.destino).toHex())));
        Exigir(r.columnas_cabecera == esperado.columnas_cabecera &&
                   r.filas_cabecera == esperado.filas_cabecera &&
                   r.filas_escritas == esperado.filas_escritas &&
                   r.valores_colocados == esperado.valores_colocados &&
                   r.valores_descartados == esperado.valores_descartados,
               "el resumen no es el esperado", detalle);
        Exigir(fracciones == esperado.fracciones, "las fracciones de progreso no son las esperadas",
               detalle);
        Exigir(inicios == 1 && fines == 1, "Indicar_inicio o Indicar_fin no se llamaron una vez",
               detalle);
        Exigir(tesmalo::fuzz::Ficheros() == QStringList({"destino.txt", "origen.asc"}),
               "la conversión dejó otros ficheros", detalle);
    } catch (const Detenida& e) {
        Exigir(parada, "una parada que no debía ocurrir", detalle);
        Comprobar_fallo(e, "detenida por la prueba");
    } catch (const std::runtime_error& e) {
        Exigir(!parada, "la conversión falló antes de la llamada de progreso que la detenía",
               detalle + QStringLiteral(", mensaje: ") + QString::fromUtf8(e.what()));
        Exigir(!esperado.error.empty(), "la conversión falló y no debía",
               detalle + QStringLiteral(", mensaje: ") + QString::fromUtf8(e.what()));
        Comprobar_fallo(e, esperado.error);
    }
    Exigir(tesmalo::fuzz::Leer_fichero(origen) == contenido, "la conversión cambió el origen",
           detalle);
    return 0;
}
