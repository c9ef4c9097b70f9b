// Fuzzing de la exploración de la cabecera (inspection/explorar.h).
//
// Entrada: el fichero de origen entero. Propiedades:
// - la exploración da lo mismo que el modelo (fuzz/modelo.h): las mismas tres cuentas, o un
//   error con la causa que el modelo espera, un mensaje en UTF-8 válido que nombra el fichero;
// - el fichero queda intacto y no aparece ningún otro;
// - la conversión con las líneas de cabecera halladas lee las mismas cuentas: con dos líneas o
//   más, las columnas y filas exploradas; con una, las columnas, y 0 filas (la línea 2 ya es de
//   valores); con ninguna, 0 columnas, y la conversión falla porque hay valores.
#include <QLocale>
#include <cstdint>
#include <stdexcept>

#include "conversion/transformar.h"
#include "fuzz/apoyo.h"
#include "fuzz/modelo.h"
#include "inspection/explorar.h"

using tesmalo::fuzz::Exigir;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Con la configuración española, «1.000» es mil y «1,5» es un número.
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    const std::string_view fichero(reinterpret_cast<const char*>(datos), largo);
    if (tesmalo::fuzz::Empieza_como_gzip(fichero)) return 0;
    const QString detalle = QStringLiteral("fichero hex %1")
                                .arg(QString::fromLatin1(
                                    QByteArray(fichero.data(), qsizetype(fichero.size())).toHex()));
    tesmalo::fuzz::Vaciar_carpeta();
    const QString origen = tesmalo::fuzz::Ruta(QStringLiteral("origen.asc"));
    const QString destino = tesmalo::fuzz::Ruta(QStringLiteral("destino.txt"));
    tesmalo::fuzz::Escribir_fichero(origen, fichero);

    const tesmalo::modelo::Exploracion esperado =
        tesmalo::modelo::Explorar(tesmalo::modelo::Partir_lineas(fichero));
    tesmalo::Datos_cabecera datos_cabecera;
    try {
        datos_cabecera = tesmalo::Explorar_cabecera(origen);
    } catch (const std::runtime_error& e) {
        const std::string_view mensaje = e.what();
        Exigir(!esperado.error.empty(), "la exploración falló y no debía",
               detalle + QStringLiteral(", mensaje: ") + QString::fromUtf8(e.what()));
        Exigir(tesmalo::fuzz::Es_utf8(mensaje), "mensaje que no es UTF-8", detalle);
        const QString texto = QString::fromUtf8(e.what());
        Exigir(texto.contains(QString::fromStdString(esperado.error)) && texto.contains(origen),
               "el mensaje no dice la causa esperada o no nombra el fichero",
               detalle + QStringLiteral(", mensaje: %1, se esperaba: %2")
                             .arg(texto, QString::fromStdString(esperado.error)));
        Exigir(tesmalo::fuzz::Ficheros() == QStringList{"origen.asc"},
               "la exploración dejó ficheros", detalle);
        return 0;
    }
    Exigir(esperado.error.empty(), "la exploración terminó y debía fallar",
           detalle + QStringLiteral(", se esperaba: ") + QString::fromStdString(esperado.error));
    Exigir(datos_cabecera.lineas_cabecera == esperado.lineas_cabecera &&
               datos_cabecera.columnas == esperado.columnas &&
               datos_cabecera.filas == esperado.filas,
           "la exploración da otras cuentas",
           detalle + QStringLiteral(", dio %1 %2 %3, se esperaba %4 %5 %6")
                         .arg(datos_cabecera.lineas_cabecera)
                         .arg(datos_cabecera.columnas)
                         .arg(datos_cabecera.filas)
                         .arg(esperado.lineas_cabecera)
                         .arg(esperado.columnas)
                         .arg(esperado.filas));
    Exigir(tesmalo::fuzz::Leer_fichero(origen) ==
               QByteArray(fichero.data(), qsizetype(fichero.size())),
           "la exploración cambió el origen", detalle);

    // La conversión con lo explorado.
    const tesmalo::Operaciones_progreso progreso{[] {}, [](double) {}, [] {}};
    try {
        const tesmalo::Resumen_conversion r = tesmalo::Transfromar_cab(
            datos_cabecera.lineas_cabecera, 1, 1, origen, destino, progreso);
        Exigir(datos_cabecera.lineas_cabecera >= 1,
               "sin cabecera la conversión debía fallar por las columnas", detalle);
        Exigir(r.columnas_cabecera == datos_cabecera.columnas,
               "la conversión lee otras columnas que la exploración", detalle);
        Exigir(r.filas_cabecera == (datos_cabecera.lineas_cabecera >= 2 ? datos_cabecera.filas : 0),
               "la conversión lee otras filas que la exploración", detalle);
    } catch (const std::runtime_error& e) {
        // Puede fallar por otras líneas de la cabecera (una esquina sin punto), pero nunca por
        // las cuentas que la exploración ya leyó bien, salvo la de 0 columnas sin cabecera.
        const QString texto = QString::fromUtf8(e.what());
        Exigir(!texto.contains(QStringLiteral("debe terminar en el número de")),
               "la conversión rechaza una cuenta que la exploración aceptó",
               detalle + QStringLiteral(", mensaje: ") + texto);
        if (datos_cabecera.lineas_cabecera == 0)
            Exigir(texto.contains(QStringLiteral("Ninguna línea de cabecera")),
                   "sin cabecera, la conversión falla por otra causa",
                   detalle + QStringLiteral(", mensaje: ") + texto);
        Exigir(tesmalo::fuzz::Ficheros() == QStringList{"origen.asc"},
               "la conversión fallida dejó ficheros", detalle);
    }
    return 0;
}
