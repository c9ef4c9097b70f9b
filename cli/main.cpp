// tesmalo-cli: convierte una rejilla de texto en una rejilla ASCII de Esri desde la línea de
// órdenes. Sólo lee los argumentos (con getopt_long), llama a la biblioteca e informa (la barra
// de progreso, los avisos, los errores y el código de salida); todo lo demás vive en la
// biblioteca: explorar y proponer el destino (inspection/), atender el pedido de conversión,
// planear y correr un lote y los textos de los avisos (ejecucion/).
//
// Salida: 0 si la conversión (o la exploración) terminó, aunque haya avisos; 1 si falló, con el
// mensaje del error en stderr; 2 si los argumentos no valen. La forma por lotes (-d) está en
// cli/lote.h.

#include <getopt.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <vector>

#include "cli/barra.h"
#include "cli/lote.h"
#include "conversion/escaner.h"
#include "conversion/transformar.h"
#include "ejecucion/pedido.h"
#include "fields/numero.h"
#include "inspection/destino.h"
#include "inspection/explorar.h"
#include "sistema/razones.h"
#include "sistema/senales.h"
#include "sistema/sin_lector.h"

namespace {

const char* const Texto_ayuda =
    "Modo de empleo: tesmalo-cli [opciones] ORIGEN [DESTINO]\n"
    "  o:  tesmalo-cli [opciones] -d CARPETA ORIGEN...\n"
    "\n"
    "Convierte la rejilla de texto ORIGEN en una rejilla ASCII de Esri: su cabecera reescrita y\n"
    "una fila de la rejilla por línea, con los valores copiados tal cual. Espacios y tabuladores\n"
    "separan los campos.\n"
    "La cabecera se lee por sus claves, estén donde estén y en mayúsculas o minúsculas: ncols,\n"
    "nrows, xllcorner y yllcorner o xllcenter y yllcenter, cellsize o dx y dy, y nodata_value.\n"
    "Una clave repetida es un error. Una línea sin clave vale por su posición: columnas,\n"
    "filas, x, y, celda y valor sin datos. Con las claves fuera de esas líneas, que falte\n"
    "ncols, nrows, la esquina o la celda es un error.\n"
    "Con celdas que no son cuadradas se escriben dx y dy. Una rejilla GRASS (north:, south:,\n"
    "east:, west:, rows:, cols:, null:, type:) da la misma rejilla, con cada \"*\" como el\n"
    "valor sin datos: el de null:, o -2147483648 si no hay null:. Si los valores se acaban\n"
    "antes de las filas que anuncia la cabecera, la conversión falla.\n"
    "\n"
    "DESTINO es, por omisión, ORIGEN sin sus cuatro últimos caracteres, más \"_reestruct.txt\";\n"
    "si ORIGEN acaba en \".gz\", se quita antes, y después sólo una extensión de punto y tres\n"
    "caracteres. Un ORIGEN comprimido con gzip se lee descomprimiéndolo al vuelo. Si ORIGEN\n"
    "tiene al lado su sistema de coordenadas (zona1.prj para zona1.asc o zona1.asc.gz), se\n"
    "copia junto a DESTINO con su nombre (z.txt da z.prj), en el mismo guardado; un DESTINO\n"
    "que es un flujo no lo lleva.\n"
    "ORIGEN \"-\" es la entrada estándar y DESTINO \"-\", la salida estándar; con ORIGEN \"-\"\n"
    "hay que dar DESTINO. Un origen que sólo se puede leer una vez (una tubería, un FIFO) se\n"
    "lee una sola vez: lo que consume la exploración de su cabecera se guarda (hasta 16 MiB)\n"
    "para la conversión.\n"
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
    "  -q, --silencio       no muestra el progreso ni, con -d, el resumen final\n"
    "  -h, --ayuda          muestra esta ayuda\n"
    "  --version            muestra la versión del programa\n"
    "\n"
    "N es un número entero: sólo cifras, con un signo delante si acaso.\n"
    "Con --cabecera N (N de 2 o más) no se explora: las columnas y las filas que no se den\n"
    "salen de esas líneas.\n"
    "Las opciones se escriben como en las demás órdenes: -qj2, -dsalida, --filas=3 y\n"
    "cualquier prefijo de una sola opción larga (--cab).\n"
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

// Las opciones largas; las que no tienen forma corta, con valores por encima de los de un byte.
enum { Op_cabecera = 256, Op_columnas, Op_filas, Op_explorar, Op_version };
const option Opciones_largas[] = {{"cabecera", required_argument, nullptr, Op_cabecera},
                                  {"columnas", required_argument, nullptr, Op_columnas},
                                  {"filas", required_argument, nullptr, Op_filas},
                                  {"explorar", no_argument, nullptr, Op_explorar},
                                  {"carpeta-destino", required_argument, nullptr, 'd'},
                                  {"trabajos", required_argument, nullptr, 'j'},
                                  {"silencio", no_argument, nullptr, 'q'},
                                  {"ayuda", no_argument, nullptr, 'h'},
                                  {"help", no_argument, nullptr, 'h'},
                                  {"version", no_argument, nullptr, Op_version},
                                  {nullptr, 0, nullptr, 0}};
// ':' delante: getopt no escribe nada y distingue el valor que falta (':') de la opción que
// no existe ('?').
const char Opciones_cortas[] = ":d:j:qh";

// El nombre de la opción `valor` como se escribe: "-d" o "--cabecera".
QString Nombre_opcion(int valor) {
    if (valor < 256) return QStringLiteral("-%1").arg(QChar(valor));
    for (const option* o = Opciones_largas; o->name != nullptr; ++o)
        if (o->val == valor) return QStringLiteral("--%1").arg(QString::fromLatin1(o->name));
    return {};
}

// El error de una opción que getopt no acepta: `valor` es su optopt y `escrita`, el argumento
// en que venía. Una larga desconocida o prefijo de varias (optopt 0), una que no lleva valor y
// lo trae (--explorar=1), o una corta desconocida.
QString Error_opcion(const QString& escrita, int valor) {
    if (valor == 0) {
        const QString nombre = escrita.mid(2).section('=', 0, 0);
        QStringList posibles;
        for (const option* o = Opciones_largas; o->name != nullptr; ++o)
            if (QString::fromLatin1(o->name).startsWith(nombre))
                posibles << QStringLiteral("--%1").arg(QString::fromLatin1(o->name));
        if (posibles.size() > 1)
            return QStringLiteral("la opción --%1 es ambigua: puede ser %2")
                .arg(nombre, posibles.join(QStringLiteral(", ")));
        return QStringLiteral("opción desconocida: --%1").arg(nombre);
    }
    if (valor >= 256 || std::strchr(Opciones_cortas + 1, valor) != nullptr)
        return QStringLiteral("la opción %1 no admite ningún valor")
            .arg(escrita.section('=', 0, 0));
    return QStringLiteral("opción desconocida: -%1").arg(QChar(valor));
}

// Lee los argumentos de la línea de órdenes en `a`, como getopt_long: opciones cortas juntas
// (-qj2), valores pegados (-j2, -dsalida, --filas=3) o aparte, prefijos de una sola opción
// larga (--vers), opciones tras las rutas y, tras "--", todo ruta; "-" es una ruta (la
// entrada o la salida estándar). Devuelve el texto del error de uso, o un texto vacío si los
// argumentos valen.
QString Leer_argumentos(int argc, char** argv, Argumentos& a) {
    // getopt reordena los argumentos: trabaja sobre una copia de la lista.
    std::vector<char*> lista(argv, argv + argc);
    lista.push_back(nullptr);
    opterr = 0;
    optind = 1;
    for (;;) {
        const int valor =
            getopt_long(argc, lista.data(), Opciones_cortas, Opciones_largas, nullptr);
        if (valor == -1) break;
        const QString texto = optarg != nullptr ? QFile::decodeName(optarg) : QString();
        std::optional<qint32>* numero = nullptr;
        // clang-format off
        switch (valor) {
            case Op_cabecera: numero = &a.cabecera; break;
            case Op_columnas: numero = &a.columnas; break;
            case Op_filas: numero = &a.filas; break;
            case 'j': numero = &a.trabajos; break;
            case Op_explorar: a.explorar = true; break;
            case Op_version: a.version = true; break;
            case 'q': a.silencio = true; break;
            case 'h': a.ayuda = true; break;
            case 'd': a.carpeta = texto; break;
            case ':':
                return QStringLiteral("a %1 le falta %2")
                    .arg(Nombre_opcion(optopt), optopt == 'd' ? QStringLiteral("la carpeta")
                                                              : QStringLiteral("el número"));
            default:
                return Error_opcion(QFile::decodeName(lista[static_cast<std::size_t>(optind - 1)]),
                                    optopt);
        }
        // clang-format on
        if (numero == nullptr) continue;
        *numero = tesmalo::Leer_entero_llano(texto);
        if (!*numero)
            return QStringLiteral(
                       "%1 necesita un número entero de 32 bits, sólo cifras y quizá "
                       "un signo, no «%2»")
                .arg(Nombre_opcion(valor), texto);
        if (numero == &a.trabajos && *a.trabajos < 1)
            return QStringLiteral("--trabajos necesita al menos 1, no «%1»").arg(texto);
    }
    for (int i = optind; i < argc; ++i)
        a.rutas << QFile::decodeName(lista[static_cast<std::size_t>(i)]);

    if (a.ayuda || a.version) return {};
    if (a.rutas.isEmpty()) return "falta el fichero de origen";
    if (a.carpeta) {
        if (a.explorar) return "--explorar no admite -d";
        if (a.rutas.contains(QStringLiteral("-")))
            return "«-» (la entrada estándar) no vale como origen con -d: cada origen se "
                   "convierte con el nombre propuesto a partir del suyo";
        return {};
    }
    if (a.trabajos) return "-j y --trabajos sólo valen con -d";
    if (a.rutas.size() > 2) return QString("sobra el argumento «%1»").arg(a.rutas[2]);
    if (a.explorar && (a.rutas.size() > 1 || a.cabecera || a.columnas || a.filas)) {
        return "--explorar sólo admite el fichero de origen";
    }
    if (!a.explorar && a.rutas.size() == 1 && a.rutas[0] == QStringLiteral("-"))
        return "con «-» (la entrada estándar) como origen hay que dar el DESTINO: no hay nombre "
               "del que proponerlo";
    return {};
}

void Escribir(FILE* salida, const QString& texto) {
    std::fputs(texto.toLocal8Bit().constData(), salida);
}

// La barra de progreso en stderr: se redibuja en su sitio con '\r', y sólo cuando cambia el
// porcentaje entero que muestra, porque la conversión informa tras cada fila.
struct Barra_progreso {
    bool activa = false;
    int mostrado = -1;  // porcentaje dibujado; -1 si aún no se dibujó nada
};

void Avanzar_barra(Barra_progreso& barra, double fraccion) {
    if (!barra.activa) return;
    // La fracción no se limita a [0, 1] si las cuentas dadas no son las de la cabecera.
    const int porcentaje = static_cast<int>(std::clamp(fraccion * 100.0, 0.0, 999.0));
    if (porcentaje == barra.mostrado) return;
    barra.mostrado = porcentaje;
    tesmalo_cli::Dibujar_barra(porcentaje);
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
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return;
    if (errno == EPIPE) tesmalo::Terminar_sin_lector();
    throw std::runtime_error(QString("no se puede escribir en la salida estándar: %1")
                                 .arg(tesmalo::Razon_del_sistema(errno))
                                 .toStdString());
}

int Ejecutar(const Argumentos& a) {
    const QString& origen = a.rutas[0];
    if (a.explorar) {
        const tesmalo::Datos_cabecera d =
            tesmalo::Explorar_cabecera(*tesmalo::Abrir_origen(origen));
        std::printf("%d %d %d\n", int(d.lineas_cabecera), int(d.columnas), int(d.filas));
        Terminar_salida();
        return 0;
    }

    tesmalo::Pedido_conversion pedido;
    pedido.origen = origen;
    pedido.destino =
        a.rutas.size() > 1 ? a.rutas[1] : tesmalo::Proponer_destino(origen).Ruta_destino;
    pedido.cabecera = a.cabecera;
    pedido.columnas = a.columnas;
    pedido.filas = a.filas;

    Barra_progreso barra;
    barra.activa = !a.silencio && isatty(STDERR_FILENO);
    tesmalo::Operaciones_progreso progreso;
    progreso.Indicar_inicio = [] {};
    progreso.Indicar_progreso = [&barra](double fraccion) { Avanzar_barra(barra, fraccion); };
    progreso.Indicar_fin = [] {};

    tesmalo::Resumen_conversion r;
    try {
        r = tesmalo::Convertir_pedido(pedido, progreso);
    } catch (const std::exception& e) {
        Cerrar_barra(barra);
        tesmalo::Terminar_si_sin_lector(e);
        throw;
    }
    Cerrar_barra(barra);
    if (barra.activa) Escribir(stderr, QString("Destino escrito: %1\n").arg(pedido.destino));
    for (const QString& aviso : tesmalo::Textos_avisos(r))
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
    const QString error = Leer_argumentos(argc, argv, a);
    if (!error.isEmpty()) return error_de_uso(error);
    // TESMALO_SIMD (avx2, sse2 o portable) impone una versión del escáner, para compararlas.
    if (const std::string simd = tesmalo::Forzar_escaner_del_entorno(); !simd.empty())
        return error_de_uso(QString("TESMALO_SIMD: este procesador no tiene el escáner «%1»")
                                .arg(QString::fromLocal8Bit(simd)));
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
            pedido.comun.cabecera = a.cabecera;
            pedido.comun.columnas = a.columnas;
            pedido.comun.filas = a.filas;
            pedido.trabajos = a.trabajos.value_or(0);
            pedido.barra = !a.silencio && isatty(STDERR_FILENO);
            pedido.resumen = !a.silencio;
            return tesmalo_cli::Convertir_lote(pedido);
        }
        return Ejecutar(a);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tesmalo-cli: error: %s\n", e.what());
        return 1;
    }
}
