// tesmalo-cli: convierte una rejilla de texto en una rejilla ASCII de Esri desde la línea de
// órdenes. Sólo lee los argumentos, llama a la biblioteca e informa; todo lo demás vive en
// conversion/ e inspection/.
//
// Salida: 0 si la conversión (o la exploración) terminó, aunque haya avisos; 1 si falló, con el
// mensaje del error en stderr; 2 si los argumentos no valen. La forma por lotes (-d) está en
// cli/lote.h.

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>

#include "cli/lote.h"
#include "conversion/lector.h"
#include "conversion/temporales.h"
#include "conversion/transformar.h"
#include "fields/numero.h"
#include "inspection/destino.h"
#include "inspection/explorar.h"

namespace {

const char* const Texto_ayuda =
    "Modo de empleo: tesmalo-cli [opciones] ORIGEN [DESTINO]\n"
    "  o:  tesmalo-cli [opciones] -d CARPETA ORIGEN...\n"
    "\n"
    "Convierte la rejilla de texto ORIGEN en una rejilla ASCII de Esri: una cabecera de seis\n"
    "líneas y una fila de la rejilla por línea, con los valores copiados tal cual.\n"
    "DESTINO es, por omisión, ORIGEN sin sus cuatro últimos caracteres, más \"_reestruct.txt\".\n"
    "\n"
    "Con -d, cada ORIGEN se convierte en CARPETA, con ese mismo nombre, varios a la vez. Un\n"
    "origen que falla no detiene a los demás: su error va a stderr como\n"
    "\"tesmalo-cli: error: ORIGEN: causa\", y al final una línea resume cuántos se convirtieron,\n"
    "cuántos con avisos y cuántos fallaron. No se empieza (y sale con 2) si dos orígenes\n"
    "escribirían el mismo destino, si un destino es uno de los orígenes o si CARPETA no es una\n"
    "carpeta. Ctrl+C detiene todas las conversiones: las terminadas se quedan y las demás no\n"
    "dejan nada.\n"
    "\n"
    "Opciones:\n"
    "  --cabecera N         líneas de cabecera del origen (por omisión, las que halla la\n"
    "                       exploración)\n"
    "  --columnas N         columnas de la rejilla, para el progreso (por omisión, de la\n"
    "                       cabecera)\n"
    "  --filas N            filas de la rejilla, para el progreso (por omisión, de la cabecera)\n"
    "  --explorar           sólo explora la cabecera y escribe \"LÍNEAS COLUMNAS FILAS\"\n"
    "  -d, --carpeta-destino CARPETA\n"
    "                       convierte cada ORIGEN en CARPETA, con el nombre propuesto\n"
    "  -j, --trabajos N     conversiones a la vez con -d (por omisión, tantas como\n"
    "                       procesadores)\n"
    "  -q, --silencio       no muestra el progreso\n"
    "  -h, --ayuda          muestra esta ayuda\n"
    "  --version            muestra la versión del programa\n"
    "\n"
    "N es un número; si tiene decimales se redondea al entero más próximo.\n"
    "Salida: 0 si todo fue bien (los avisos empiezan por \"aviso:\"), 1 si la conversión falló\n"
    "(con -d, si falló alguna), 2 si los argumentos no valen.\n";

struct Argumentos {
    std::optional<qint32> cabecera, columnas, filas;
    bool explorar = false;
    bool silencio = false;
    bool ayuda = false;
    bool version = false;
    std::optional<QString> carpeta;  // -d: la forma por lotes
    std::optional<qint32> trabajos;
    QStringList rutas;  // ORIGEN y, si lo hay, DESTINO; con -d, los orígenes
};

// Lee `lista` (sin el nombre del programa) en `a`. Devuelve el texto del error de uso, o un
// texto vacío si los argumentos valen. Tras "--" todo es ruta.
QString Leer_argumentos(const QStringList& lista, Argumentos& a) {
    bool opciones = true;
    for (qsizetype i = 0; i < lista.size(); ++i) {
        const QString& arg = lista[i];
        if (!opciones || arg == "-" || !arg.startsWith('-')) {
            a.rutas << arg;
            continue;
        }
        if (arg == "--") {
            opciones = false;
        } else if (arg == "--explorar") {
            a.explorar = true;
        } else if (arg == "-q" || arg == "--silencio") {
            a.silencio = true;
        } else if (arg == "-h" || arg == "--ayuda" || arg == "--help") {
            a.ayuda = true;
        } else if (arg == "--version") {
            a.version = true;
        } else {
            // Las opciones con valor: "--filas N" o "--filas=N"; las cortas, "-j N".
            const qsizetype igual = arg.startsWith("--") ? arg.indexOf('=') : -1;
            QString nombre = igual < 0 ? arg : arg.left(igual);
            if (nombre == "-d") nombre = "--carpeta-destino";
            if (nombre == "-j") nombre = "--trabajos";
            std::optional<qint32>* destino = nombre == "--cabecera"   ? &a.cabecera
                                             : nombre == "--columnas" ? &a.columnas
                                             : nombre == "--filas"    ? &a.filas
                                             : nombre == "--trabajos" ? &a.trabajos
                                                                      : nullptr;
            if (destino == nullptr && nombre != "--carpeta-destino")
                return QString("opción desconocida: %1").arg(arg);
            QString valor;
            if (igual >= 0) {
                valor = arg.mid(igual + 1);
            } else if (i + 1 < lista.size()) {
                valor = lista[++i];
            } else {
                return QString("a %1 le falta %2").arg(arg, destino ? "el número" : "la carpeta");
            }
            if (destino == nullptr) {
                a.carpeta = valor;
                continue;
            }
            *destino = tesmalo::Leer_entero(QStringView(valor));
            if (!*destino) {
                return QString("%1 necesita un número entero de 32 bits, no «%2»")
                    .arg(nombre, valor);
            }
            if (destino == &a.trabajos && *a.trabajos < 1)
                return QString("--trabajos necesita al menos 1, no «%1»").arg(valor);
        }
    }
    if (a.ayuda || a.version) return {};
    if (a.rutas.isEmpty()) return "falta el fichero de origen";
    if (a.carpeta) {
        if (a.explorar) return "--explorar no admite -d";
        return {};
    }
    if (a.trabajos) return "-j y --trabajos sólo valen con -d";
    if (a.rutas.size() > 2) return QString("sobra el argumento «%1»").arg(a.rutas[2]);
    if (a.explorar && (a.rutas.size() > 1 || a.cabecera || a.columnas || a.filas)) {
        return "--explorar sólo admite el fichero de origen";
    }
    return {};
}

// Un error que es de la llamada, no de la conversión: sale con 2.
struct Error_de_uso : std::runtime_error {
    explicit Error_de_uso(const QString& texto) : std::runtime_error(texto.toStdString()) {}
};

void Escribir(FILE* salida, const QString& texto) {
    std::fputs(texto.toLocal8Bit().constData(), salida);
}

// La barra de progreso en stderr: se redibuja en su sitio con '\r', y sólo cuando cambia el
// porcentaje entero que muestra, porque la conversión informa tras cada fila.
struct Barra_progreso {
    bool activa = false;
    int mostrado = -1;  // porcentaje dibujado; -1 si aún no se dibujó nada
};

void Dibujar_barra(Barra_progreso& barra, double fraccion) {
    if (!barra.activa) return;
    // La fracción no se limita a [0, 1] si las cuentas dadas no son las de la cabecera.
    const int porcentaje = static_cast<int>(std::clamp(fraccion * 100.0, 0.0, 999.0));
    if (porcentaje == barra.mostrado) return;
    barra.mostrado = porcentaje;
    constexpr int ancho = 40;
    const int llenas = std::min(ancho, porcentaje * ancho / 100);
    char linea[ancho + 16];
    int n = std::snprintf(linea, sizeof linea, "\r[");
    for (int i = 0; i < ancho; ++i) linea[n++] = i < llenas ? '#' : '-';
    std::snprintf(linea + n, sizeof linea - n, "] %3d%%", porcentaje);
    std::fputs(linea, stderr);
}

// Acaba la línea de la barra, si se dibujó, para que lo siguiente empiece en su propia línea.
void Cerrar_barra(Barra_progreso& barra) {
    if (barra.activa && barra.mostrado >= 0) std::fputs("\n", stderr);
    barra.mostrado = -1;
}

// Un argumento cuyos bytes no son texto válido en la codificación del sistema llega cambiado
// (con U+FFFD) y nombraría otro fichero. Devuelve el primero de ésos, con sus bytes a la vista
// como \xNN, o un texto vacío si todos valen.
QString Argumento_ilegible(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        if (QFile::encodeName(QFile::decodeName(bytes)) == bytes) continue;
        QString visible;
        for (const char c : bytes) {
            const auto u = static_cast<unsigned char>(c);
            visible += u >= 0x20 && u < 0x7f ? QString(QChar(u))
                                             : QStringLiteral("\\x%1").arg(u, 2, 16, QChar('0'));
        }
        return visible;
    }
    return {};
}

// Lo escrito en stdout llega entero o es un error (un disco lleno, /dev/full).
void Terminar_salida() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw std::runtime_error(QString("no se puede escribir en la salida estándar: %1")
                                     .arg(tesmalo::Razon_del_sistema(errno))
                                     .toStdString());
}

int Ejecutar(const Argumentos& a) {
    const QString& origen = a.rutas[0];
    if (a.explorar) {
        const tesmalo::Datos_cabecera d = tesmalo::Explorar_cabecera(origen);
        std::printf("%d %d %d\n", int(d.lineas_cabecera), int(d.columnas), int(d.filas));
        Terminar_salida();
        return 0;
    }

    const QString destino =
        a.rutas.size() > 1 ? a.rutas[1] : tesmalo::Proponer_destino(origen).Ruta_destino;
    qint32 cabecera = a.cabecera.value_or(0);
    qint32 columnas = a.columnas.value_or(0);
    qint32 filas = a.filas.value_or(0);
    if (!a.cabecera || !a.columnas || !a.filas) {
        if (tesmalo::Se_lee_una_vez(origen))
            throw Error_de_uso(
                QString("«%1» no es un fichero normal y sólo se puede leer una vez: sin "
                        "--cabecera, --columnas y --filas habría que leerlo dos veces, una para "
                        "explorar su cabecera y otra para convertirlo; indique las tres")
                    .arg(origen));
        const tesmalo::Datos_cabecera d = tesmalo::Explorar_cabecera(origen);
        cabecera = a.cabecera.value_or(d.lineas_cabecera);
        columnas = a.columnas.value_or(d.columnas);
        filas = a.filas.value_or(d.filas);
    }

    Barra_progreso barra;
    barra.activa = !a.silencio && isatty(STDERR_FILENO);
    tesmalo::Operaciones_progreso progreso;
    progreso.Indicar_inicio = [] {};
    progreso.Indicar_progreso = [&barra](double fraccion) { Dibujar_barra(barra, fraccion); };
    progreso.Indicar_fin = [] {};

    tesmalo::Resumen_conversion r;
    try {
        r = tesmalo::Transfromar_cab(cabecera, columnas, filas, origen, destino, progreso);
    } catch (...) {
        Cerrar_barra(barra);
        throw;
    }
    Cerrar_barra(barra);
    if (barra.activa) Escribir(stderr, QString("Destino escrito: %1\n").arg(destino));
    for (const QString& aviso : tesmalo_cli::Textos_avisos(r))
        Escribir(stderr, "aviso: " + aviso + "\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Con Ctrl+C, SIGTERM o SIGHUP no queda ningún temporal, y la barra de progreso, si la
    // hay, no deja la línea a medias.
    tesmalo::Atender_senales_de_fin([] {
        if (isatty(STDERR_FILENO)) (void)!write(STDERR_FILENO, "\n", 1);
    });
    QCoreApplication aplicacion(argc, argv);
    // Las razones que da Qt, en español como el resto de los mensajes.
    auto* traduccion = new QTranslator(&aplicacion);
    if (traduccion->load("qtbase_es", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(traduccion);

    const auto error_de_uso = [](const QString& error) {
        Escribir(stderr, QString("tesmalo-cli: %1\nPrueba «tesmalo-cli --ayuda».\n").arg(error));
        return 2;
    };
    Argumentos a;
    const QString ilegible = Argumento_ilegible(argc, argv);
    if (!ilegible.isEmpty())
        return error_de_uso(QString("el argumento «%1» no es texto válido en la codificación del "
                                    "sistema; no se puede usar ese nombre sin cambiarlo")
                                .arg(ilegible));
    const QString error = Leer_argumentos(aplicacion.arguments().mid(1), a);
    if (!error.isEmpty()) return error_de_uso(error);
    try {
        if (a.ayuda) {
            std::fputs(Texto_ayuda, stdout);
            Terminar_salida();
            return 0;
        }
        if (a.version) {
            std::puts("tesmalo-cli " TESMALO_VERSION);
            Terminar_salida();
            return 0;
        }
        if (a.carpeta) {
            tesmalo_cli::Pedido_lote pedido;
            pedido.carpeta = *a.carpeta;
            pedido.origenes = a.rutas;
            pedido.cabecera = a.cabecera;
            pedido.columnas = a.columnas;
            pedido.filas = a.filas;
            pedido.trabajos = a.trabajos.value_or(0);
            pedido.barra = !a.silencio && isatty(STDERR_FILENO);
            return tesmalo_cli::Convertir_lote(pedido);
        }
        return Ejecutar(a);
    } catch (const Error_de_uso& e) {
        return error_de_uso(QString::fromUtf8(e.what()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tesmalo-cli: error: %s\n", e.what());
        return 1;
    }
}
