// Fallos provocados a tesmalo-cli: ficheros que faltan o no se pueden usar, el disco que se
// llena, el proceso matado a mitad, el origen acortado o borrado mientras se lee, y bytes que
// no son texto, también en líneas de 200 MB. En cada caso: el mensaje que dice la causa, el
// código de salida, ningún destino a medias, el destino que ya había intacto y el origen igual.
//
// El ejecutable se lanza con fork y exec, no con QProcess, para poder ponerle un límite de
// tamaño de fichero, pararlo y matarlo a mitad, y medir su memoria máxima con wait4.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <string>
#include <vector>

#include "pruebas/apoyo.h"

namespace {

// Memoria máxima que puede usar tesmalo-cli con cualquier entrada (en KiB).
constexpr long Memoria_maxima_kib = 40 * 1024;

struct Resultado {
    int codigo = -1;  // código de salida, o -1 si lo terminó una señal
    int senal = 0;    // la señal que lo terminó, o 0
    QByteArray salida, errores;
    long memoria_kib = 0;  // RSS máximo
};

struct Hijo {
    pid_t pid = -1;
    int salida = -1, errores = -1;  // lado de lectura de sus tuberías
};

// Lanza tesmalo-cli con `argumentos` en `carpeta`. Con `limite_fichero` >= 0 no puede escribir
// ficheros de más bytes (como un disco lleno: la escritura falla con EFBIG, sin la señal).
// Con `delante` (por ejemplo, setpriv y sus opciones), se lanza eso con tesmalo-cli detrás.
Hijo Iniciar(const QStringList& argumentos, const QString& carpeta, qint64 limite_fichero = -1,
             const QStringList& delante = {}) {
    std::vector<std::string> textos;
    for (const QString& a : delante) textos.push_back(a.toStdString());
    textos.push_back(TESMALO_CLI);
    for (const QString& a : argumentos) textos.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& t : textos) argv.push_back(t.data());
    argv.push_back(nullptr);
    const std::string dir = carpeta.toStdString();
    int salida[2], errores[2];
    if (pipe(salida) != 0 || pipe(errores) != 0) qFatal("pipe");
    const pid_t pid = fork();
    if (pid == 0) {
        // En el hijo, sólo llamadas seguras tras fork.
        dup2(salida[1], 1);
        dup2(errores[1], 2);
        close(salida[0]), close(salida[1]), close(errores[0]), close(errores[1]);
        if (limite_fichero >= 0) {
            const rlimit limite{rlim_t(limite_fichero), rlim_t(limite_fichero)};
            setrlimit(RLIMIT_FSIZE, &limite);
            signal(SIGXFSZ, SIG_IGN);
        }
        if (chdir(dir.c_str()) != 0) _exit(126);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(salida[1]);
    close(errores[1]);
    return {pid, salida[0], errores[0]};
}

QByteArray Leer_todo(int fd) {
    QByteArray texto;
    char bufer[4096];
    for (ssize_t n; (n = read(fd, bufer, sizeof bufer)) > 0;) texto.append(bufer, n);
    close(fd);
    return texto;
}

// Espera a que acabe y recoge su salida, su código y su memoria máxima. La salida y los
// errores de tesmalo-cli son cortos: caben en la tubería mientras se espera.
Resultado Esperar(const Hijo& hijo) {
    Resultado r;
    int estado = 0;
    rusage uso{};
    if (wait4(hijo.pid, &estado, 0, &uso) != hijo.pid) qFatal("wait4");
    r.salida = Leer_todo(hijo.salida);
    r.errores = Leer_todo(hijo.errores);
    if (WIFEXITED(estado)) r.codigo = WEXITSTATUS(estado);
    if (WIFSIGNALED(estado)) r.senal = WTERMSIG(estado);
    r.memoria_kib = uso.ru_maxrss;
    return r;
}

Resultado Lanzar(const QStringList& argumentos, const QString& carpeta, qint64 limite_fichero = -1,
                 const QStringList& delante = {}) {
    return Esperar(Iniciar(argumentos, carpeta, limite_fichero, delante));
}

// Como root, los casos de permisos se lanzan como un usuario sin privilegios (nobody), para
// que los permisos cuenten; la carpeta del caso tiene que ser suya.
const QStringList Sin_privilegios{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};

// Una orden de bash en `carpeta`, con $CLI (tesmalo-cli) y $MUESTRAS (las rejillas de muestra)
// a mano; para los casos que necesitan enlaces, tuberías, señales o fallos provocados.
Resultado En_bash(const QString& orden, const QString& carpeta) {
    const QString entorno =
        QStringLiteral("export CLI='%1' MUESTRAS='%2'\n").arg(TESMALO_CLI, tesmalo::Muestras());
    return Esperar(Iniciar({}, carpeta, -1, {"bash", "-c", entorno + orden, "bash"}));
}

// Un contador de /proc/PID/io (rchar: bytes leídos; wchar: bytes escritos), o -1.
qint64 Contador_io(pid_t pid, const char* nombre) {
    QFile f(QStringLiteral("/proc/%1/io").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& linea : f.readAll().split('\n'))
        if (linea.startsWith(QByteArray(nombre) + ": "))
            return linea.mid(qstrlen(nombre) + 2).toLongLong();
    return -1;
}

// Espera, sin pasar de un minuto, a que el contador llegue a `minimo`; falso si el proceso
// acabó antes.
bool Esperar_contador(pid_t pid, const char* nombre, qint64 minimo) {
    QElapsedTimer reloj;
    reloj.start();
    while (reloj.elapsed() < 60000) {
        const qint64 valor = Contador_io(pid, nombre);
        if (valor < 0) return false;
        if (valor >= minimo) return true;
        QThread::usleep(500);
    }
    return false;
}

// Verdadero si el hilo principal del proceso está dormido, a la espera, dentro de la llamada al
// sistema número `llamada` (estado S en /proc/PID/stat; número en /proc/PID/syscall).
bool Dormido_en(pid_t pid, int llamada) {
    QFile estado(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile actual(QStringLiteral("/proc/%1/syscall").arg(pid));
    if (!estado.open(QIODevice::ReadOnly) || !actual.open(QIODevice::ReadOnly)) return false;
    const QByteArray stat = estado.readAll();
    const qsizetype parentesis = stat.lastIndexOf(')');  // el nombre puede llevar espacios
    if (parentesis < 0 || stat.mid(parentesis + 2, 1) != "S") return false;
    return actual.readAll().startsWith(QByteArray::number(llamada) + ' ');
}

using tesmalo::Cabecera_3x2;
using tesmalo::Cabecera_escrita_3x2;
using tesmalo::Es_utf8;
using tesmalo::Escribir;
using tesmalo::Leer;
// Monta la memoria FAT en «fat»; cleanup() la desmonta.
using tesmalo::Montar_fat;

bool Como_root() {
    return geteuid() == 0;
}

const QByteArray Cabecera_1x1 =
    "ncols 1\nnrows 1\nxllcorner 1.0\nyllcorner 2.0\ncellsize 5.0\nnodata_value -9\n";
const QByteArray Cabecera_escrita_1x1 =
    "ncols         1\r\nnrows         1\r\nxllcorner     1.0\r\nyllcorner     2.0\r\n"
    "cellsize      5.0\r\nnodata_value  -9\r\n";

// Una rejilla de `filas` filas de 1000 valores, una fila por línea: unos 9 KB por fila.
struct Grande {
    qint64 filas = 0;
    qint64 tamano_destino = 0;  // lo que mide su conversión completa
};

Grande Generar_grande(const QString& ruta, qint64 filas) {
    QByteArray fila;
    for (int i = 0; i < 1000; ++i) fila += QByteArray::number(1000 + (i * 7919) % 9000) + ".5 ";
    fila.chop(1);
    const QByteArray cabecera = "ncols 1000\nnrows " + QByteArray::number(filas) +
                                "\nxllcorner 1.0\nyllcorner 2.0\ncellsize 5.0\nnodata_value -9\n";
    QByteArray bloque;
    for (int i = 0; i < 100; ++i) bloque += fila + '\n';
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly) || f.write(cabecera) != cabecera.size())
        qFatal("no se pudo generar %s", qPrintable(ruta));
    for (qint64 i = 0; i < filas; i += 100)
        if (f.write(bloque) != bloque.size()) qFatal("no se pudo generar %s", qPrintable(ruta));
    const QByteArray escrita = "ncols         1000\r\nnrows         " + QByteArray::number(filas) +
                               "\r\nxllcorner     1.0\r\nyllcorner     2.0\r\ncellsize      5.0\r\n"
                               "nodata_value  -9\r\n";
    return {filas, escrita.size() + filas * (fila.size() + 2)};
}

// Escribe `prefijo` y después `n` veces el byte `relleno`, sin fin de línea.
void Generar_linea_larga(const QString& ruta, const QByteArray& prefijo, char relleno, qint64 n) {
    QFile f(ruta);
    const QByteArray trozo(1 << 20, relleno);
    if (!f.open(QIODevice::WriteOnly) || f.write(prefijo) != prefijo.size())
        qFatal("no se pudo generar %s", qPrintable(ruta));
    for (qint64 hecho = 0; hecho < n; hecho += trozo.size())
        if (f.write(trozo.constData(), std::min<qint64>(trozo.size(), n - hecho)) < 0)
            qFatal("no se pudo generar %s", qPrintable(ruta));
}

}  // namespace

class Fallos_test : public QObject {
    Q_OBJECT
    QTemporaryDir carpeta_;  // una carpeta nueva por caso, dentro de ésta
    QString caso_;
    // Los ficheros grandes se generan una vez, al primer uso, y se borran al acabar.
    QTemporaryDir grandes_;
    Grande grande_;

    QString Ruta(const QString& nombre) const { return caso_ + "/" + nombre; }

    const QString& Origen_grande() {
        static const QString ruta = grandes_.filePath("grande.asc");
        if (grande_.filas == 0) grande_ = Generar_grande(ruta, 11000);  // unos 100 MB
        return ruta;
    }

    // Comprueba un fallo: código 1, una sola línea «tesmalo-cli: error: ...» con la causa, en
    // UTF-8 válido; nada en stdout.
    static void Comprobar_error(const Resultado& r, const QString& causa) {
        QCOMPARE(r.senal, 0);
        QCOMPARE(r.codigo, 1);
        QCOMPARE(r.salida, QByteArray());
        QVERIFY2(Es_utf8(r.errores), r.errores.toHex().constData());
        const QString errores = QString::fromUtf8(r.errores);
        QVERIFY2(errores.startsWith("tesmalo-cli: error: ") && errores.endsWith("\n") &&
                     errores.count('\n') == 1,
                 qPrintable(errores));
        QVERIFY2(errores.contains(causa), qPrintable(errores));
    }

    // Casos en bash: `preparar` monta el caso (con src.asc, copia de zona1.asc, y ref.txt, su
    // conversión), `orden` lanza tesmalo-cli y su código y sus errores se comprueban, y
    // `comprobar` debe acabar bien después: qué ficheros quedan y qué tienen.
  private:
    static void Columnas_bash() {
        QTest::addColumn<QString>("preparar");
        QTest::addColumn<QString>("orden");
        QTest::addColumn<int>("codigo");
        QTest::addColumn<QString>("causa");  // en stderr; vacío si stderr debe estar vacío
        QTest::addColumn<QString>("comprobar");
    }
    void Caso_bash() {
        QFETCH(QString, preparar);
        QFETCH(QString, orden);
        QFETCH(int, codigo);
        QFETCH(QString, causa);
        QFETCH(QString, comprobar);
        const QString base =
            "cp \"$MUESTRAS/zona1.asc\" src.asc && cp src.asc otro.asc && "
            "\"$CLI\" -q src.asc ref.txt\n";
        const Resultado montado = En_bash("set -e\n" + base + preparar, caso_);
        if (montado.codigo == 77) QSKIP(montado.errores.constData());
        QVERIFY2(montado.codigo == 0, montado.errores.constData());
        const Resultado r = En_bash(orden, caso_);
        QVERIFY2(
            r.codigo == codigo,
            qPrintable(QString("código %1: %2").arg(r.codigo).arg(QString::fromUtf8(r.errores))));
        if (causa.isEmpty())
            QCOMPARE(r.errores, QByteArray());
        else
            QVERIFY2(QString::fromUtf8(r.errores).contains(causa), r.errores.constData());
        const Resultado visto = En_bash("set -e\n" + comprobar, caso_);
        QVERIFY2(visto.codigo == 0,
                 qPrintable("falló: " + comprobar + "\n" + QString::fromUtf8(visto.errores)));
    }
    // Ningún temporal ni fichero nuevo en la carpeta del caso.
    static QString Solo(const QString& ficheros) {
        return QStringLiteral("[ \"$(ls -A | sort | tr '\\n' ' ')\" = \"%1 \" ]").arg(ficheros);
    }
    // strace delante de tesmalo-cli. LeakSanitizer no funciona bajo ptrace: con sanitizadores,
    // ese proceso no busca fugas (sin ellos, la variable no hace nada).
    static QString Strace() {
        return "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" strace ";
    }
    // Los temporales con nombre (ficheros normales) de la carpeta `donde`.
    static QString Temporales(const QString& donde) {
        return QStringLiteral("find %1 -maxdepth 1 -type f -name '.tesmalo-%2'")
            .arg(donde, QStringLiteral("[a-z0-9]").repeated(8));
    }
    // Espera, sin pasar de 20 s, a que aparezca un temporal con nombre en la carpeta `donde`.
    static QString Esperar_temporal(const QString& donde) {
        return QStringLiteral(
                   "for i in $(seq 400); do [ -n \"$(%1)\" ] && break; sleep 0.05; "
                   "done; [ -n \"$(%1)\" ] || "
                   "{ echo 'no apareció el temporal con nombre' >&2; exit 99; }; ")
            .arg(Temporales(donde));
    }

  private slots:
    // El destino es lo que resuelve el sistema, una vez: un enlace que no puede seguir es un
    // error, y nunca se escribe el origen ni otro fichero que el resuelto.
    void destino_resuelto_por_el_sistema_data() {
        Columnas_bash();
        const QString intacto = "cmp src.asc \"$MUESTRAS/zona1.asc\"";
        QTest::newRow("enlace a través de una carpeta que no existe")
            << "ln -s nohay/../src.asc d.txt"
            << "\"$CLI\" -q src.asc d.txt" << 1 << "«d.txt»" << intacto;
        QTest::newRow("enlace relativo dentro de una carpeta enlazada")
            << "mkdir -p real/sub; ln -s real/sub lnk; ln -s ../src.asc real/sub/d.txt"
            << "\"$CLI\" -q otro.asc lnk/d.txt" << 1 << "«lnk/d.txt»"
            << intacto + " && [ ! -e real/src.asc ]";
        QTest::newRow("cadena de 41 enlaces al origen")
            << "ln -s src.asc e1; for i in $(seq 2 41); do ln -s e$((i-1)) e$i; done"
            << "\"$CLI\" -q src.asc e41" << 1 << "«e41»" << intacto;
        QTest::newRow("cadena de 40 enlaces al origen")
            << "ln -s src.asc e1; for i in $(seq 2 40); do ln -s e$((i-1)) e$i; done"
            << "\"$CLI\" -q src.asc e40" << 1 << "es el mismo fichero de origen" << intacto;
        QTest::newRow("enlace a través de una carpeta enlazada, a un fichero")
            << "mkdir -p real/sub; ln -s real/sub lnk; ln -s ../x.txt real/sub/d.txt; "
               "echo viejo > real/x.txt"
            << "\"$CLI\" -q src.asc lnk/d.txt" << 0 << ""
            << "cmp real/x.txt ref.txt && [ -L real/sub/d.txt ] && " + intacto;
    }
    void destino_resuelto_por_el_sistema() { Caso_bash(); }

    // Un destino que existe y no es un fichero normal nunca se reemplaza: un dispositivo de
    // caracteres o una tubería se escribe en su sitio, lo demás se rechaza antes de leer.
    void destino_que_no_es_un_fichero_data() {
        Columnas_bash();
        QTest::newRow("dispositivo nulo")
            << "[ $(id -u) = 0 ] || { echo 'mknod necesita root' >&2; exit 77; }; mknod nulo c 1 3"
            << "\"$CLI\" -q src.asc nulo" << 0 << ""
            << "[ -c nulo ]";
        QTest::newRow("tubería con nombre")
            << "mkfifo fifo"
            << "cat fifo > leido.txt & \"$CLI\" -q src.asc fifo; c=$?; wait; exit $c" << 0 << ""
            << "[ -p fifo ] && cmp leido.txt ref.txt";
        QTest::newRow("/dev/stdout en una tubería")
            << ""
            << "\"$CLI\" -q src.asc /dev/stdout | cat > leido.txt; exit ${PIPESTATUS[0]}" << 0 << ""
            << "cmp leido.txt ref.txt";
        // Un fichero normal abierto por quien llama (/dev/stdout, /dev/fd/N) se escribe por
        // ese descriptor, donde está y como está abierto (>> añade), no se reemplaza.
        QTest::newRow("/dev/stdout añadiendo a un fichero")
            << "echo viejo > d.txt"
            << "\"$CLI\" -q src.asc /dev/stdout >> d.txt" << 0 << ""
            << "{ echo viejo; cat ref.txt; } | cmp - d.txt";
        QTest::newRow("/dev/stdout entre otras salidas a un fichero")
            << ""
            << "{ echo antes; \"$CLI\" -q src.asc /dev/stdout; echo despues; } > d.txt" << 0 << ""
            << "{ echo antes; cat ref.txt; echo despues; } | cmp - d.txt";
        QTest::newRow("/dev/fd/3 añadiendo a un fichero")
            << "echo viejo > d.txt"
            << "exec 3>>d.txt; \"$CLI\" -q src.asc /dev/fd/3" << 0 << ""
            << "{ echo viejo; cat ref.txt; } | cmp - d.txt";
        QTest::newRow("zócalo")
            << "python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind(\"zocalo\")'"
            << "\"$CLI\" -q src.asc zocalo" << 1 << "zócalo"
            << "[ -S zocalo ]";
    }
    void destino_que_no_es_un_fichero() { Caso_bash(); }

    // Un nombre cuyos bytes no son texto del sistema no se cambia por otro: se rechaza.
    void nombres_que_no_son_texto_data() {
        Columnas_bash();
        const QString raro = "$'v\\xfe.txt'", cambiado = "$'v\\xef\\xbf\\xbd.txt'";
        QTest::newRow("destino") << "echo viejo > " + cambiado << "\"$CLI\" -q src.asc " + raro << 2
                                 << "no es texto válido"
                                 << "[ \"$(cat " + cambiado + ")\" = viejo ] && [ ! -e " + raro +
                                        " ] && rm " + cambiado;
        QTest::newRow("origen") << "cp src.asc " + raro << "\"$CLI\" -q " + raro + " d.txt" << 2
                                << "no es texto válido"
                                << "[ ! -e d.txt ] && rm " + raro;
    }
    void nombres_que_no_son_texto() { Caso_bash(); }

    // Un origen que sólo se puede leer una vez (una tubería, «-», un FIFO) se lee una sola vez:
    // la exploración guarda lo que consume de él y la conversión lo lee después, seguido del
    // resto. «-» como destino es la salida estándar.
    void origen_que_solo_se_lee_una_vez_data() {
        Columnas_bash();
        const QString tres = " --cabecera 6 --columnas 401 --filas 301 ";
        QTest::newRow("tubería sin las tres opciones")
            << ""
            << "cat src.asc | timeout -s KILL 20 \"$CLI\" -q /dev/stdin d.txt" << 0 << ""
            << "cmp d.txt ref.txt";
        QTest::newRow("- como origen")
            << ""
            << "gzip -c src.asc | zcat | timeout -s KILL 20 \"$CLI\" -q - d.txt" << 0 << ""
            << "cmp d.txt ref.txt";
        QTest::newRow("- como destino")
            << ""
            << "\"$CLI\" -q src.asc - | cat > leido.txt; exit ${PIPESTATUS[0]}" << 0 << ""
            << "cmp leido.txt ref.txt && " + Solo("leido.txt otro.asc ref.txt src.asc");
        QTest::newRow("- a -") << ""
                               << "timeout -s KILL 20 \"$CLI\" -q - - < src.asc > leido.txt" << 0
                               << ""
                               << "cmp leido.txt ref.txt && " +
                                      Solo("leido.txt otro.asc ref.txt src.asc");
        QTest::newRow("--explorar -")
            << ""
            << "cat src.asc | \"$CLI\" --explorar - > leido.txt" << 0 << ""
            << "[ \"$(cat leido.txt)\" = '6 401 301' ]";
        QTest::newRow("FIFO sin las tres opciones")
            << "mkfifo fifo"
            << "cat src.asc > fifo & timeout -s KILL 20 \"$CLI\" -q fifo d.txt; c=$?; "
               "kill $! 2>/dev/null; wait; exit $c"
            << 0 << ""
            << "cmp d.txt ref.txt";
        // Lo que se guarda tiene un límite: una cabecera que no cabe pide las tres opciones.
        QTest::newRow("tubería con una cabecera de 20 MB")
            << ""
            << "{ head -c 20000000 /dev/zero | tr '\\0' ' '; cat src.asc; } | "
               "timeout -s KILL 20 \"$CLI\" -q - d.txt"
            << 1 << "--cabecera, --columnas y --filas"
            << "[ ! -e d.txt ]";
        QTest::newRow("tubería con las tres opciones")
            << ""
            << "cat src.asc | \"$CLI\" -q" + tres + "/dev/stdin d.txt" << 0 << ""
            << "cmp d.txt ref.txt";
    }
    void origen_que_solo_se_lee_una_vez() { Caso_bash(); }

    // Ctrl+C y SIGTERM actúan esté donde esté el programa: sin destino, sin temporal, con el
    // código que esperan los intérpretes de órdenes. (El tope de 20 s sólo evita colgarse.)
    void senales_en_una_espera_data() {
        Columnas_bash();
        // Donde no hay temporales sin nombre (FAT, algunas carpetas de red), queda uno con
        // nombre a la vista mientras se escribe: strace hace fallar el O_TMPFILE (la primera
        // apertura relativa a la carpeta ya abierta). El temporal se crea al llegar el primer
        // bloque entero, así que la tubería lleva más de uno. También cerrar el terminal
        // (SIGHUP) lo retira.
        for (const auto& [senal, codigo] : {std::pair{"TERM", 143}, std::pair{"HUP", 129}}) {
            QTest::newRow(qPrintable(QStringLiteral("SIG%1 con un temporal con nombre").arg(senal)))
                << "command -v strace >/dev/null || { echo 'falta strace' >&2; exit 77; }; "
                   "mkfifo fifo"
                << QString(
                       "strace -qq -f -o /dev/null -P \"$PWD\" -e trace=openat "
                       "-e inject=openat:error=EOPNOTSUPP:when=1 timeout -s KILL 20 \"$CLI\" "
                       "-q --cabecera 6 --columnas 401 --filas 3001 fifo d.txt & s=$!; "
                       "exec 3>fifo; cat src.asc src.asc src.asc | head -c 2500000 >&3; " +
                       Esperar_temporal(".") + "kill -%1 $(pgrep -P $s); wait $s")
                       .arg(senal)
                << codigo << "" << Solo("fifo otro.asc ref.txt src.asc");
        }
        // Una señal que llega cuando el destino ya tiene su nombre no interrumpe nada: la
        // conversión está hecha. strace retiene el fsync de la carpeta, que va tras el rename.
        for (const char* senal : {"INT", "TERM"})
            QTest::newRow(
                qPrintable(QStringLiteral("SIG%1 con el destino ya en su sitio").arg(senal)))
                << "command -v strace >/dev/null || { echo 'falta strace' >&2; exit 77; }"
                << QString(
                       "strace -qq -f -o /dev/null -e trace=fsync "
                       "-e inject=fsync:delay_enter=5000000 \"$CLI\" -q src.asc d.txt "
                       "2>errores.txt & s=$!; for i in $(seq 400); do cmp -s d.txt ref.txt "
                       "&& break; sleep 0.05; done; kill -%1 $(pgrep -P $s); wait $s; c=$?; "
                       "grep -v '^strace:' errores.txt >&2; rm errores.txt; exit $c")
                       .arg(senal)
                << 0 << ""
                << "cmp d.txt ref.txt && " + Solo("d.txt otro.asc ref.txt src.asc");
        // Con su .prj, el trabajo sigue siendo un destino: hecho cuando los dos tienen nombre.
        QTest::newRow("SIGTERM con el destino y su .prj ya en su sitio")
            << "command -v strace >/dev/null || { echo 'falta strace' >&2; exit 77; }; "
               "printf 'PROJCS[\"x\"]' > src.prj"
            << QString(
                   "strace -qq -f -o /dev/null -e trace=fsync "
                   "-e inject=fsync:delay_enter=5000000 \"$CLI\" -q src.asc d.txt "
                   "2>errores.txt & s=$!; for i in $(seq 400); do cmp -s d.txt ref.txt "
                   "&& break; sleep 0.05; done; kill -TERM $(pgrep -P $s); wait $s; c=$?; "
                   "grep -v '^strace:' errores.txt >&2; rm errores.txt; exit $c")
            << 0 << ""
            << "cmp d.txt ref.txt && cmp d.prj src.prj && " +
                   Solo("d.prj d.txt otro.asc ref.txt src.asc src.prj");
        // Y sale con 0 sólo con el nombre nuevo en disco: si la señal llega mientras su fsync
        // de la carpeta espera (retenido 5 s), la carpeta va a disco antes de salir, y ese
        // fsync acaba con 0 en la traza.
        QTest::newRow("SIGTERM con el destino en su sitio: la carpeta va a disco antes de salir")
            << "command -v strace >/dev/null || { echo 'falta strace' >&2; exit 77; }"
            << QString(
                   "strace -qq -f -o traza.txt -e trace=fsync "
                   "-e inject=fsync:delay_enter=5000000:when=1 \"$CLI\" -q src.asc d.txt & "
                   "s=$!; for i in $(seq 400); do cmp -s d.txt ref.txt && break; sleep 0.05; "
                   "done; kill -TERM $(pgrep -P $s); wait $s; c=$?; "
                   "grep -q 'fsync.*= 0' traza.txt || { cat traza.txt >&2; c=99; }; "
                   "rm traza.txt; exit $c")
            << 0 << ""
            << "cmp d.txt ref.txt && " + Solo("d.txt otro.asc ref.txt src.asc");
    }
    void senales_en_una_espera() { Caso_bash(); }

    // Ctrl+C y SIGTERM con el programa parado en un FIFO: abriéndolo sin escritor, o leyéndolo
    // cuando el escritor ya no manda nada. El programa atiende la señal y sale él, con 128 + la
    // señal, sin destino ni temporal. Uno que no la atendiera moriría por ella: en bash, el mismo
    // código, pero aquí se ve la diferencia. La señal va cuando el programa está dormido en esa
    // llamada (openat o read, según /proc), no tras una espera fija.
    void senales_parado_en_un_fifo_data() {
        QTest::addColumn<int>("senal");
        QTest::addColumn<bool>("escritor");
        for (const auto& [nombre, senal] :
             {std::pair{"SIGINT", SIGINT}, std::pair{"SIGTERM", SIGTERM}}) {
            QTest::newRow(
                qPrintable(QStringLiteral("%1 abriendo un FIFO sin escritor").arg(nombre)))
                << senal << false;
            QTest::newRow(qPrintable(QStringLiteral("%1 leyendo una tubería parada").arg(nombre)))
                << senal << true;
        }
    }
    void senales_parado_en_un_fifo() {
        QFETCH(int, senal);
        QFETCH(bool, escritor);
        QCOMPARE(mkfifo(qPrintable(Ruta("fifo")), 0600), 0);
        const Hijo hijo = Iniciar(
            {"-q", "--cabecera", "6", "--columnas", "401", "--filas", "301", "fifo", "d.txt"},
            caso_);
        int fifo = -1;
        bool parado = false;
        QElapsedTimer reloj;
        reloj.start();
        if (escritor) {
            // 300 000 bytes de la muestra, sin cerrar: el programa los lee y espera más.
            QFile muestra(tesmalo::Muestras() + "/zona1.asc");
            QVERIFY(muestra.open(QIODevice::ReadOnly));
            const QByteArray datos = muestra.read(300000);
            QCOMPARE(datos.size(), 300000);
            while (fifo < 0 && reloj.elapsed() < 20000) {
                fifo = open(qPrintable(Ruta("fifo")), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fifo < 0) QThread::msleep(1);  // ENXIO: el programa aún no lo abrió
            }
            QVERIFY(fifo >= 0);
            // Si el programa muere, EPIPE y no la muerte de la prueba; los hijos de los casos
            // siguientes no deben heredar la señal ignorada.
            const auto anterior = signal(SIGPIPE, SIG_IGN);
            for (qsizetype hecho = 0; hecho < datos.size() && reloj.elapsed() < 20000;) {
                const ssize_t n = write(fifo, datos.constData() + hecho, datos.size() - hecho);
                if (n > 0)
                    hecho += n;
                else if (errno == EAGAIN)
                    QThread::msleep(1);
                else
                    break;
            }
            signal(SIGPIPE, anterior);
        }
        while (!parado && reloj.elapsed() < 20000) {
            parado = Dormido_en(hijo.pid, escritor ? 0 : 257);  // read u openat
            int pendientes = 0;
            if (parado && fifo >= 0 && ioctl(fifo, FIONREAD, &pendientes) == 0 && pendientes > 0)
                parado = false;  // aún le queda por leer
            if (!parado) QThread::msleep(2);
        }
        kill(hijo.pid, parado ? senal : SIGKILL);
        const Resultado r = Esperar(hijo);
        if (fifo >= 0) close(fifo);
        QVERIFY2(parado, "el programa no llegó a quedarse esperando en el FIFO");
        QCOMPARE(r.senal, 0);  // salió él, no lo mató la señal
        QCOMPARE(r.codigo, 128 + senal);
        QCOMPARE(r.errores, QByteArray());
        QCOMPARE(QDir(caso_).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                       QDir::NoDotAndDotDot),
                 QStringList{"fifo"});
    }

    // Un proceso matado sin aviso deja su temporal con nombre donde no hay O_TMPFILE (FAT, que
    // tampoco tiene enlaces duros; o strace, que hace fallar el O_TMPFILE). La conversión
    // siguiente en esa carpeta lo retira; el de una conversión en marcha, que lo tiene
    // bloqueado, y lo que no es un temporal, se quedan.
    void temporales_abandonados_data() {
        Columnas_bash();
        const QString sin_o_tmpfile = Strace() +
                                      "-qq -f -o /dev/null -P \"$PWD\" -e trace=openat "
                                      "-e inject=openat:error=EOPNOTSUPP:when=1 ";
        const QString con_strace =
            "command -v strace >/dev/null || { echo 'falta strace' >&2; exit 77; }\n";
        // Lanza una conversión que espera datos de una tubería, le da unos 2,5 MB y espera a que
        // tenga su temporal con nombre en `carpeta`.
        const auto lanzar = [](const QString& delante, const QString& destino,
                               const QString& carpeta) {
            return delante + "\"$CLI\" -q --cabecera 6 --columnas 401 --filas 3001 fifo " +
                   destino +
                   " & s=$!; exec 3>fifo; cat src.asc src.asc src.asc | "
                   "head -c 2500000 >&3; " +
                   Esperar_temporal(carpeta);
        };
        const QString quedo = "[ -n \"$(%1)\" ] || { echo 'no quedó temporal' >&2; exit 98; }; ";
        QTest::newRow("matado con SIGKILL sin O_TMPFILE: lo retira la siguiente")
            << con_strace + "mkfifo fifo"
            << lanzar(sin_o_tmpfile, "d.txt", ".") +
                   "kill -KILL $(pgrep -P $s); wait $s 2>/dev/null; "
                   "exec 3>&-; " +
                   quedo.arg(Temporales(".")) + "\"$CLI\" -q src.asc d.txt"
            << 0 << ""
            << "cmp d.txt ref.txt && " + Solo("d.txt fifo otro.asc ref.txt src.asc");
        QTest::newRow("matado con SIGKILL en FAT: lo retira la siguiente")
            << Montar_fat() + "mkfifo fifo"
            << lanzar("", "fat/d.txt", "fat") + "kill -KILL $s; wait $s 2>/dev/null; exec 3>&-; " +
                   quedo.arg(Temporales("fat")) + "\"$CLI\" -q src.asc fat/d.txt"
            << 0 << ""
            << "cmp fat/d.txt ref.txt && [ \"$(ls -A fat)\" = d.txt ]";
        QTest::newRow("el de una conversión en marcha y lo que no es un temporal se quedan")
            << con_strace +
                   "mkfifo fifo; mkdir .tesmalo-abcd1234; ln -s src.asc .tesmalo-enlace12; "
                   "echo x > .tesmalo-abc; echo x > .tesmalo-abcdefgh.txt"
            << lanzar(sin_o_tmpfile, "d.txt", ".") + "vivo=$(" + Temporales(".") +
                   "); "
                   "\"$CLI\" -q otro.asc d2.txt || exit 97; [ -f \"$vivo\" ] || { echo 'se retiró "
                   "el temporal de una conversión en marcha' >&2; exit 96; }; exec 3>&-; wait $s"
            << 0 << "aviso: "
            << "[ -s d.txt ] && cmp d2.txt ref.txt && [ -d .tesmalo-abcd1234 ] && "
               "[ -L .tesmalo-enlace12 ] && [ -f .tesmalo-abc ] && [ -f .tesmalo-abcdefgh.txt ] && "
               "[ -z \"$(" +
                   Temporales(".") + ")\" ]";
    }
    void temporales_abandonados() { Caso_bash(); }

    // En un sistema de ficheros que no guarda permisos ni dueños (FAT por FUSE) se reemplaza
    // un fichero como en cualquier otro, y ningún fallo deja su temporal.
    void sin_permisos_ni_duenos_data() {
        Columnas_bash();
        const QString solo_d = "[ \"$(ls -A fat)\" = d.txt ]";
        QTest::newRow("reemplazar un fichero en FAT") << Montar_fat() + "echo viejo > fat/d.txt"
                                                      << "\"$CLI\" -q src.asc fat/d.txt" << 0 << ""
                                                      << "cmp fat/d.txt ref.txt && " + solo_d;
        // La lectura que debía dar el fin del origen falla, ya con el temporal creado.
        QTest::newRow("fallo al leer el origen, en FAT")
            << Montar_fat() + "echo viejo > fat/d.txt; command -v strace >/dev/null || exit 77"
            << "strace -f -o /dev/null -P \"$PWD/src.asc\" -e trace=read "
               "-e inject=read:error=EIO:when=2 \"$CLI\" -q --cabecera 6 --columnas 401 "
               "--filas 301 \"$PWD/src.asc\" fat/d.txt"
            << 1 << "Error al leer el fichero de origen"
            << "[ \"$(cat fat/d.txt)\" = viejo ] && " + solo_d;
        QTest::newRow("fallo al llevar a disco, en FAT")
            << Montar_fat() + "echo viejo > fat/d.txt; command -v strace >/dev/null || exit 77"
            << "strace -f -o /dev/null -e inject=fdatasync:error=EIO \"$CLI\" -q src.asc fat/d.txt"
            << 1 << "«fat/d.txt»"
            << "[ \"$(cat fat/d.txt)\" = viejo ] && " + solo_d;
    }
    void sin_permisos_ni_duenos() { Caso_bash(); }

    // Los límites del sistema dan mensajes, no señales ni «Unknown error».
    void limites_data() {
        Columnas_bash();
        QTest::newRow("ulimit -f") << ""
                                   << "ulimit -f 100; \"$CLI\" -q src.asc d.txt" << 1 << "«d.txt»"
                                   << "[ ! -e d.txt ]";
        const QString largo = "n=$(printf 'a%.0s' $(seq 1 254)); ";
        QTest::newRow("destino existente de 254 bytes de nombre")
            << largo + "echo viejo > $n" << largo + "\"$CLI\" -q src.asc $n" << 0 << ""
            << largo + "cmp $n ref.txt";
        // 18 carpetas de 250 bytes: más de PATH_MAX (4096) desde la raíz. La ruta de la carpeta
        // no cabe en una llamada al sistema; su descriptor y el último nombre, sí.
        const QString bajar =
            "n=$(printf 'd%.0s' $(seq 1 250)); cd profundo; "
            "for i in $(seq 1 18); do cd $n; done; ";
        QTest::newRow("carpeta más honda que PATH_MAX")
            << "n=$(printf 'd%.0s' $(seq 1 250)); mkdir profundo; cd profundo; "
               "for i in $(seq 1 18); do mkdir $n; cd $n; done; cp \"$MUESTRAS/zona1.asc\" src.asc"
            << bajar +
                   "\"$CLI\" -q src.asc d.txt && \"$CLI\" -q src.asc d.txt && "
                   "ln -s d.txt enlace && \"$CLI\" -q src.asc enlace"
            << 0 << ""
            << "r=$PWD/ref.txt; " + bajar + "cmp d.txt $r && [ -L enlace ] && " +
                   Solo("d.txt enlace src.asc");
    }
    void limites() { Caso_bash(); }

    // Lo que el usuario tenía se queda: permisos y, como root, dueño del destino reemplazado;
    // y un fallo al escribir en stdout es un fallo.
    void lo_que_el_usuario_tiene_data() {
        Columnas_bash();
        QTest::newRow("permisos y dueño, como root")
            << "[ $(id -u) = 0 ] || { echo 'chown necesita root' >&2; exit 77; }; "
               "echo viejo > d.txt; chown 65534:65534 d.txt; chmod 4751 d.txt"
            << "\"$CLI\" -q src.asc d.txt" << 0 << ""
            << "[ \"$(stat -c '%a %u %g' d.txt)\" = '4751 65534 65534' ] && cmp d.txt ref.txt";
        // Con una ACL, los bits del grupo son su máscara: copiar sólo los permisos daría al
        // grupo lo que la máscara deja a «nobody». Se copian la ACL y los atributos extendidos.
        const QString con_acl =
            "command -v setfacl >/dev/null || { echo 'falta setfacl (paquete acl)' >&2; exit 77; "
            "}\n"
            "echo viejo > d.txt; chmod 640 d.txt\n"
            "setfacl -m u:65534:rw d.txt || { echo 'sin ACL en esta carpeta' >&2; exit 77; }\n"
            "python3 -c \"import os; os.setxattr('d.txt', 'user.tesmalo', b'valor')\" || "
            "{ echo 'sin atributos extendidos en esta carpeta' >&2; exit 77; }\n"
            "getfacl -cn d.txt > acl.txt\n";
        QTest::newRow("ACL y atributos extendidos")
            << con_acl << "\"$CLI\" -q src.asc d.txt" << 0 << ""
            << "cmp d.txt ref.txt && getfacl -cn d.txt | cmp - acl.txt && "
               "python3 -c \"import os, sys; sys.exit(os.getxattr('d.txt', 'user.tesmalo') != "
               "b'valor')\"";
        // Si el sistema de ficheros no acepta la ACL, nadie más que el dueño tiene acceso.
        QTest::newRow("ACL que no se puede poner")
            << con_acl + "command -v strace >/dev/null || exit 77"
            << Strace() +
                   "-f -o /dev/null -e inject=fsetxattr:error=EOPNOTSUPP \"$CLI\" -q "
                   "src.asc d.txt"
            << 0 << ""
            << "cmp d.txt ref.txt && [ \"$(stat -c %a d.txt)\" = 600 ] && "
               "! getfacl -cn d.txt | grep -q 65534";
        // Sin privilegios no se puede dar un grupo del que no se es miembro: los bits del grupo
        // serían para otro grupo, y se quitan.
        QTest::newRow("grupo que no se puede conservar, sin privilegios")
            << "[ $(id -u) = 0 ] || { echo 'setpriv necesita root' >&2; exit 77; }; "
               "mkdir n; chown 65534:65534 n; echo viejo > n/d.txt; chown 65534:0 n/d.txt; "
               "chmod 664 n/d.txt"
            << "setpriv --reuid=65534 --regid=65534 --clear-groups \"$CLI\" -q src.asc n/d.txt" << 0
            << ""
            << "cmp n/d.txt ref.txt && [ \"$(stat -c '%a %u' n/d.txt)\" = '604 65534' ]";
        QTest::newRow("--explorar a /dev/full")
            << ""
            << "\"$CLI\" --explorar src.asc > /dev/full" << 1 << "salida estándar"
            << "true";
        QTest::newRow("--ayuda a /dev/full")
            << ""
            << "\"$CLI\" --ayuda > /dev/full" << 1 << "salida estándar"
            << "true";
    }
    void lo_que_el_usuario_tiene() { Caso_bash(); }

    // Los mensajes dicen dónde está el fallo, en español también con LANG=C.
    void mensajes_data() {
        Columnas_bash();
        QTest::newRow("--cabecera 0")
            << ""
            << "\"$CLI\" -q --cabecera 0 src.asc d.txt" << 1
            << "Ninguna línea de cabecera de «src.asc» da el número de columnas"
            << "[ ! -e d.txt ]";
        QTest::newRow("razón del sistema en español")
            << ""
            << "LANG=C.UTF-8 LC_ALL=C.UTF-8 \"$CLI\" -q nohay.asc d.txt" << 1
            << "No hay ningún fichero o directorio"
            << "[ ! -e d.txt ]";
        // Las razones que Qt no traduce, de la biblioteca de C en español, si el sistema tiene
        // sus textos (la configuración es_ES), aunque el entorno sea C.
        const QString con_es =
            "locale -a | grep -qix es_es.utf8 || "
            "{ echo 'falta la configuración es_ES.UTF-8' >&2; exit 77; }";
        const QString en_c = "export LANG=C.UTF-8 LC_ALL=C.UTF-8; ";
        QTest::newRow("razón en español al escribir, con LANG=C")
            << con_es << en_c + "ulimit -f 100; \"$CLI\" -q src.asc d.txt" << 1
            << "Fichero demasiado grande"
            << "[ ! -e d.txt ]";
        QTest::newRow("razón en español al leer, con LANG=C")
            << con_es + "; command -v strace >/dev/null || exit 77"
            << en_c +
                   "strace -f -o /dev/null -P \"$PWD/src.asc\" -e trace=read "
                   "-e inject=read:error=EIO:when=1 \"$CLI\" -q --cabecera 6 --columnas 401 "
                   "--filas 301 \"$PWD/src.asc\" d.txt"
            << 1 << "Error de entrada/salida"
            << "[ ! -e d.txt ]";
        QTest::newRow("razón en español de un enlace, con LANG=C")
            << con_es + "; ln -s bucle bucle" << en_c + "\"$CLI\" -q src.asc bucle" << 1
            << "Demasiados niveles de enlaces simbólicos"
            << "[ -L bucle ]";
        // Los números de las opciones no cambian con la configuración regional.
        QTest::newRow("--cabecera 6,4 con es_ES")
            << con_es << "LC_ALL=es_ES.UTF-8 \"$CLI\" -q --cabecera 6,4 src.asc d.txt" << 2
            << "«6,4»"
            << "[ ! -e d.txt ]";
        QTest::newRow("enlace colgado")
            << "ln -s resultado.txt d.txt"
            << "\"$CLI\" -q src.asc d.txt" << 1
            << "«d.txt» es un enlace simbólico a «resultado.txt», que no existe"
            << "[ -L d.txt ] && [ ! -e resultado.txt ]";
        // Una carpeta que no deja reemplazar el destino se dice antes de leer los valores: el
        // origen es una tubería que da la cabecera y se queda abierta sin dar ninguno.
        const QString como_nobody =
            "[ $(id -u) = 0 ] || { echo 'setpriv necesita root' >&2; "
            "exit 77; }; mkfifo fifo; chmod 644 fifo; ";
        const QString sin_valores =
            "setpriv --reuid=65534 --regid=65534 --clear-groups timeout -s KILL 20 \"$CLI\" -q "
            "--cabecera 6 --columnas 401 --filas 301 fifo %1/d.txt & p=$!; exec 3>fifo; "
            "head -n 6 src.asc >&3 2>/dev/null; wait $p";
        const QString intacto = "[ \"$(cat %1/d.txt)\" = viejo ] && [ \"$(ls -A %1)\" = d.txt ]";
        QTest::newRow("carpeta de sólo lectura con un destino que se puede escribir")
            << como_nobody +
                   "mkdir ro; echo viejo > ro/d.txt; chmod 666 ro/d.txt; "
                   "chown 65534 ro; chmod 555 ro"
            << sin_valores.arg("ro") << 1 << "su carpeta debe permitir crear y renombrar ficheros"
            << intacto.arg("ro");
        QTest::newRow("carpeta con el bit sticky de otro usuario")
            << como_nobody +
                   "mkdir pub; chmod 1777 pub; echo viejo > pub/d.txt; chmod 666 pub/d.txt"
            << sin_valores.arg("pub") << 1 << "su carpeta debe permitir crear y renombrar ficheros"
            << intacto.arg("pub");
    }
    void mensajes() { Caso_bash(); }

    // Quien lee los mensajes o el destino se va. Un mensaje que no se puede escribir no para
    // nada y el código de salida dice cómo acabó; un destino que es un flujo sin lector acaba
    // callado y con la señal SIGPIPE, como cat. El lector ya se fue antes de empezar: un FIFO
    // abierto para leer y escribir, abierto otra vez para escribir (fd 6) y cerrado para leer.
    void lector_que_se_va_data() {
        Columnas_bash();
        const QString sin_lector = "mkfifo p; exec 5<>p 6>p 5<&-; ";
        const QString ambos =
            "cmp out/src_reestruct.txt ref.txt && cmp out/otro_reestruct.txt ref.txt";
        QTest::newRow("lote con stderr sin lector, un origen falla")
            << "mkdir out" << sin_lector + "\"$CLI\" -j 1 -d out nohay.asc src.asc otro.asc 2>&6"
            << 1 << "" << ambos;
        QTest::newRow("lote con stderr sin lector, -q")
            << "mkdir out" << sin_lector + "\"$CLI\" -q -d out src.asc otro.asc 2>&6" << 0 << ""
            << ambos;
        QTest::newRow("conversión con aviso y stderr sin lector")
            << "{ cat src.asc; echo 7; } > aviso.asc"
            << sin_lector + "\"$CLI\" -q aviso.asc d.txt 2>&6" << 0 << ""
            << "[ -s d.txt ]";
        QTest::newRow("destino - sin lector")
            << "" << sin_lector + "\"$CLI\" -q src.asc - >&6" << 128 + SIGPIPE << ""
            << Solo("otro.asc p ref.txt src.asc");
        QTest::newRow("/dev/stdout sin lector, con head")
            << ""
            << "\"$CLI\" -q src.asc /dev/stdout | head -c 100 >/dev/null; "
               "exit ${PIPESTATUS[0]}"
            << 128 + SIGPIPE << "" << Solo("otro.asc ref.txt src.asc");
        QTest::newRow("--explorar sin lector")
            << "" << sin_lector + "\"$CLI\" --explorar src.asc >&6" << 128 + SIGPIPE << ""
            << "true";
    }
    void lector_que_se_va() { Caso_bash(); }

    void init() {
        static int n = 0;
        caso_ = carpeta_.filePath(QString::number(++n));
        QVERIFY(QDir().mkpath(caso_));
        // Los casos sin privilegios tienen que poder llegar a su carpeta.
        QFile::setPermissions(carpeta_.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ExeOther);
    }
    void cleanup() {
        // Desmonta la imagen FAT de un caso y borra las carpetas más hondas que PATH_MAX, que
        // QDir no alcanza por su ruta.
        if (QFileInfo(Ruta("fat")).isDir())
            En_bash("mountpoint -q fat && fusermount -u -z fat; true", caso_);
        if (QFileInfo::exists(Ruta("profundo"))) En_bash("rm -rf profundo", caso_);
        // Devuelve los permisos que un caso haya quitado, para poder borrar.
        QDir carpeta(caso_);
        for (const QFileInfo& i : carpeta.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
            QFile::setPermissions(i.filePath(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(caso_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        carpeta.removeRecursively();
    }

    // Ficheros que faltan o no se pueden usar. El destino que ya había queda intacto, el origen
    // igual y no aparece ningún fichero nuevo.
    void ficheros_data() {
        QTest::addColumn<QString>("preparar");  // qué se hace antes de lanzar
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<QString>("causa");
        const QString o = "origen.asc", d = "destino.txt";
        QTest::newRow("origen inexistente")
            << "sin origen" << QStringList{o, d} << "No se puede abrir el fichero de origen";
        QTest::newRow("origen sin permiso de lectura")
            << "origen 000" << QStringList{o, d} << "No se puede abrir el fichero de origen";
        QTest::newRow("origen que es una carpeta")
            << "origen carpeta" << QStringList{o, d} << "es una carpeta";
        QTest::newRow("origen que es una carpeta, sin explorar")
            << "origen carpeta"
            << QStringList{"--cabecera", "6", "--columnas", "3", "--filas", "2", o, d}
            << "es una carpeta";
        QTest::newRow("carpeta de destino inexistente")
            << "" << QStringList{o, "no/hay/destino.txt"}
            << "No se puede crear el fichero de destino «no/hay/destino.txt»";
        QTest::newRow("carpeta de destino de sólo lectura")
            << "carpeta 555" << QStringList{o, d}
            << "No se puede reemplazar el fichero de destino «destino.txt»: su carpeta debe "
               "permitir crear y renombrar ficheros";
        QTest::newRow("destino en un sistema de ficheros que no admite ficheros")
            << "" << QStringList{o, "/proc/tesmalo-destino.txt"}
            << "No se puede crear el fichero de destino";
        QTest::newRow("destino vacío")
            << "" << QStringList{o, ""} << "No se ha indicado el fichero de destino";
        QTest::newRow("destino que es una carpeta")
            << "destino carpeta" << QStringList{o, "sub"} << "fichero de destino «sub»";
    }
    void ficheros() {
        QFETCH(QString, preparar);
        QFETCH(QStringList, argumentos);
        QFETCH(QString, causa);
        const QByteArray origen = Cabecera_3x2 + "1 2 3 4 5 6\n";
        if (preparar == "origen carpeta") {
            QVERIFY(QDir(caso_).mkdir("origen.asc"));
        } else if (preparar != "sin origen") {
            QVERIFY(Escribir(Ruta("origen.asc"), origen));
        }
        QVERIFY(Escribir(Ruta("destino.txt"), "anterior\r\n"));
        if (preparar == "destino carpeta") QVERIFY(QDir(caso_).mkdir("sub"));
        // Como root los permisos no impiden leer ni escribir: esos casos van sin privilegios.
        const bool sin_permisos = preparar == "origen 000" || preparar == "carpeta 555";
        const QStringList delante = sin_permisos && Como_root() ? Sin_privilegios : QStringList();
        if (preparar == "origen 000") QVERIFY(QFile::setPermissions(Ruta("origen.asc"), {}));
        if (preparar == "carpeta 555")
            QVERIFY(QFile::setPermissions(caso_, QFile::ReadOwner | QFile::ExeOwner |
                                                     QFile::ReadGroup | QFile::ExeGroup |
                                                     QFile::ReadOther | QFile::ExeOther));
        const QStringList antes = QDir(caso_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        const Resultado r = Lanzar(argumentos, caso_, -1, delante);
        Comprobar_error(r, causa);
        QCOMPARE(QDir(caso_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), antes);
        QCOMPARE(Leer(Ruta("destino.txt")), QByteArray("anterior\r\n"));
        QVERIFY(!QFile::exists("/proc/tesmalo-destino.txt"));
        if (QFileInfo(Ruta("origen.asc")).isFile()) {
            QFile::setPermissions(Ruta("origen.asc"), QFile::ReadOwner | QFile::WriteOwner);
            QCOMPARE(Leer(Ruta("origen.asc")), origen);
        }
    }

    // El disco se llena durante la conversión (un límite de tamaño de fichero hace que la
    // escritura falle como en un disco lleno): error con la razón del sistema, sin destino.
    void disco_lleno_data() {
        QTest::addColumn<qint64>("limite");
        QTest::newRow("lleno desde el principio") << qint64(0);
        QTest::newRow("lleno en la cabecera") << qint64(40);
        QTest::newRow("lleno a mitad") << qint64(3 << 20);
        QTest::newRow("lleno un byte antes del final") << qint64(-1);  // tamaño completo - 1
    }
    void disco_lleno() {
        QFETCH(qint64, limite);
        // Unos 6 MB de valores: se escriben en varios bloques.
        const Grande g = Generar_grande(Ruta("origen.asc"), 700);
        if (limite < 0) limite = g.tamano_destino - 1;
        QVERIFY(Escribir(Ruta("destino.txt"), "anterior\r\n"));
        const QFileInfo antes(Ruta("origen.asc"));

        const Resultado r = Lanzar({"origen.asc", "destino.txt"}, caso_, limite);
        Comprobar_error(r, "No se puede ");
        // La razón, en español si el sistema tiene sus textos (la prueba corre con LC_ALL=C).
        QVERIFY2(r.errores.contains("fichero de destino «destino.txt»: Fichero demasiado grande") ||
                     r.errores.contains("fichero de destino «destino.txt»: File too large"),
                 r.errores.constData());
        QCOMPARE(QDir(caso_).entryList(QDir::Files), (QStringList{"destino.txt", "origen.asc"}));
        QCOMPARE(Leer(Ruta("destino.txt")), QByteArray("anterior\r\n"));
        QCOMPARE(QFileInfo(Ruta("origen.asc")).size(), antes.size());
        QCOMPARE(QFileInfo(Ruta("origen.asc")).lastModified(), antes.lastModified());

        // Con sitio justo, la misma conversión termina.
        const Resultado bien = Lanzar({"origen.asc", "destino.txt"}, caso_, g.tamano_destino);
        QCOMPARE(bien.errores, QByteArray());
        QCOMPARE(bien.codigo, 0);
        QCOMPARE(QFileInfo(Ruta("destino.txt")).size(), g.tamano_destino);
    }

    // Matado con SIGKILL a mitad de una conversión de 100 MB, cuando ya ha escrito: el nombre
    // del destino tiene el fichero anterior o nada, nunca uno a medias, y no queda ningún
    // temporal con nombre en la carpeta.
    void matado_a_mitad_data() {
        QTest::addColumn<bool>("habia_destino");
        QTest::newRow("sin destino anterior") << false;
        QTest::newRow("con destino anterior") << true;
    }
    void matado_a_mitad() {
        QFETCH(bool, habia_destino);
        const QString origen = Origen_grande();
        const QFileInfo antes(origen);
        if (habia_destino) QVERIFY(Escribir(Ruta("destino.txt"), "anterior\r\n"));

        const Hijo hijo = Iniciar({"-q", origen, "destino.txt"}, caso_);
        const bool escribiendo = Esperar_contador(hijo.pid, "wchar", 4 << 20);
        kill(hijo.pid, SIGKILL);
        const Resultado r = Esperar(hijo);
        if (!escribiendo || r.senal != SIGKILL)
            QSKIP("la conversión acabó antes de poder matarla a mitad");

        QCOMPARE(Leer(Ruta("destino.txt")),
                 habia_destino ? QByteArray("anterior\r\n") : QByteArray("<no existe>"));
        QCOMPARE(QDir(caso_).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 habia_destino ? QStringList{"destino.txt"} : QStringList{});
        QCOMPARE(QFileInfo(origen).size(), antes.size());
        QCOMPARE(QFileInfo(origen).lastModified(), antes.lastModified());
    }

    // El origen acortado mientras la conversión lo lee: error, sin destino. Borrado, en
    // cambio, se sigue leyendo entero por el descriptor abierto y la conversión es completa.
    void origen_cambiado_a_mitad_data() {
        QTest::addColumn<bool>("borrar");
        QTest::newRow("acortado") << false;
        QTest::newRow("borrado") << true;
    }
    void origen_cambiado_a_mitad() {
        QFETCH(bool, borrar);
        const QString origen = Ruta("origen.asc");
        QVERIFY(QFile::copy(Origen_grande(), origen));
        QVERIFY(Escribir(Ruta("destino.txt"), "anterior\r\n"));

        const Hijo hijo = Iniciar({"-q", "--cabecera", "6", "origen.asc", "destino.txt"}, caso_);
        const bool leyendo = Esperar_contador(hijo.pid, "rchar", 8 << 20);
        kill(hijo.pid, SIGSTOP);
        if (borrar)
            QVERIFY(QFile::remove(origen));
        else
            QVERIFY(QFile::resize(origen, 5000));
        kill(hijo.pid, SIGCONT);
        const Resultado r = Esperar(hijo);
        if (!leyendo) QSKIP("la conversión acabó antes de poder cambiar el origen");

        if (borrar) {
            QCOMPARE(r.errores, QByteArray());
            QCOMPARE(r.codigo, 0);
            QCOMPARE(QFileInfo(Ruta("destino.txt")).size(), grande_.tamano_destino);
            QCOMPARE(QDir(caso_).entryList(QDir::Files), QStringList{"destino.txt"});
        } else {
            Comprobar_error(r, "se ha acortado mientras se leía");
            QVERIFY2(r.errores.contains("origen.asc"), r.errores.constData());
            QCOMPARE(Leer(Ruta("destino.txt")), QByteArray("anterior\r\n"));
            QCOMPARE(QDir(caso_).entryList(QDir::Files),
                     (QStringList{"destino.txt", "origen.asc"}));
        }
    }

    // Bytes que no son texto: NUL, UTF-8 inválido, bytes altos. En los valores se copian tal
    // cual; en la cabecera, el mensaje los cita en UTF-8 válido y con los de control a la vista.
    void bytes_que_no_son_texto_data() {
        QTest::addColumn<QByteArray>("origen");
        QTest::addColumn<QByteArray>("filas");  // lo escrito tras la cabecera; vacío si falla
        QTest::addColumn<QString>("causa");
        static const char raros_c[] = "\x00\x01 \xff\xfe \xc3\x28 \xed\xa0\x80 \x7f\x0b\x1b";
        const QByteArray raros(raros_c, sizeof raros_c - 1);
        QTest::newRow("en los valores")
            << Cabecera_3x2 + "1 " + raros + "\n"
            << QByteArray("1 \x00\x01 \xff\xfe\r\n\xc3\x28 \xed\xa0\x80 \x7f\x0b\x1b\r\n", 21)
            << QString();
        QTest::newRow("NUL en la línea 1")
            << QByteArray("ncols \x00\xff\nnrows 2\n1 2\n", 21) << QByteArray()
            << QString("no es texto de 8 bits: su línea 1 tiene bytes nulos");
        QTest::newRow("UTF-8 inválido en la línea 2")
            << QByteArray("ncols 3\nnrows \xc3\x28\xa0\n1 2\n") << QByteArray()
            << QString("La línea 2 de «origen.asc»");
        QTest::newRow("NUL en xllcorner")
            << QByteArray(Cabecera_3x2).replace("258.000", QByteArray("\x00\x00", 2)) +
                   "1 2 3 4 5 6\n"
            << QByteArray() << QString("La línea 3 de «origen.asc»");
    }
    void bytes_que_no_son_texto() {
        QFETCH(QByteArray, origen);
        QFETCH(QByteArray, filas);
        QFETCH(QString, causa);
        QVERIFY(Escribir(Ruta("origen.asc"), origen));
        QVERIFY(Escribir(Ruta("destino.txt"), "anterior\r\n"));
        const Resultado r = Lanzar({"origen.asc", "destino.txt"}, caso_);
        if (causa.isEmpty()) {
            QCOMPARE(r.errores, QByteArray());
            QCOMPARE(r.codigo, 0);
            QCOMPARE(Leer(Ruta("destino.txt")), Cabecera_escrita_3x2 + filas);
        } else {
            Comprobar_error(r, causa);
            QCOMPARE(Leer(Ruta("destino.txt")), QByteArray("anterior\r\n"));
        }
        QCOMPARE(Leer(Ruta("origen.asc")), origen);
        QCOMPARE(QDir(caso_).entryList(QDir::Files), (QStringList{"destino.txt", "origen.asc"}));
    }

    // Líneas de 200 MB sin fin de línea: un único valor de 200 MB y una racha de espacios de
    // 200 MB. Explorar y convertir las recorren con memoria constante, sean error o no.
    void lineas_de_200_mb_data() {
        QTest::addColumn<char>("relleno");
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<QString>("causa");  // vacío: termina
        QTest::addColumn<qint64>("tamano_destino");
        const qint64 n = 200ll << 20;
        const QStringList tres{"--cabecera", "6", "--columnas", "1", "--filas", "1"};
        const qint64 cabecera = Cabecera_escrita_1x1.size();
        QTest::newRow("un valor de 200 MB, explorar")
            << '7' << QStringList{"--explorar", "origen.asc"}
            << "se acaba sin llegar a ninguna línea de valores" << qint64(-1);
        QTest::newRow("un valor de 200 MB, convertir")
            << '7' << tres + QStringList{"origen.asc", "destino.txt"} << QString()
            << cabecera + n + 2;
        QTest::newRow("200 MB de espacios, explorar")
            << ' ' << QStringList{"--explorar", "origen.asc"}
            << "se acaba sin llegar a ninguna línea de valores" << qint64(-1);
        QTest::newRow("200 MB de espacios, convertir")
            << ' ' << tres + QStringList{"origen.asc", "destino.txt"}
            << "no tiene ningún valor tras su cabecera" << qint64(-1);
    }
    void lineas_de_200_mb() {
        QFETCH(char, relleno);
        QFETCH(QStringList, argumentos);
        QFETCH(QString, causa);
        QFETCH(qint64, tamano_destino);
        const QString origen = grandes_.filePath(relleno == ' ' ? "espacios.asc" : "valor.asc");
        const qint64 n = 200ll << 20;
        if (!QFile::exists(origen)) Generar_linea_larga(origen, Cabecera_1x1, relleno, n);
        QVERIFY(QFile::link(origen, Ruta("origen.asc")));

        const Resultado r = Lanzar(argumentos, caso_);
        if (causa.isEmpty()) {
            QCOMPARE(r.codigo, 0);
            QCOMPARE(QFileInfo(Ruta("destino.txt")).size(), tamano_destino);
            QCOMPARE(r.errores, QByteArray());
            QFile::remove(Ruta("destino.txt"));
        } else {
            Comprobar_error(r, causa);
        }
        QCOMPARE(QFileInfo(origen).size(), Cabecera_1x1.size() + n);
        qInfo("memoria máxima de tesmalo-cli: %.1f MiB", r.memoria_kib / 1024.0);
#if TESMALO_CON_SANITIZADORES
        qInfo("con sanitizadores la memoria no se acota");
#else
        QVERIFY2(r.memoria_kib < Memoria_maxima_kib,
                 qPrintable(QString("%1 KiB").arg(r.memoria_kib)));
#endif
    }
};

QTEST_GUILESS_MAIN(Fallos_test)
#include "fallos_test.moc"
