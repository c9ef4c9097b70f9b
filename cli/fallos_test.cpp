// Fallos provocados a tesmalo-cli: ficheros que faltan o no se pueden usar, el disco que se
// llena, el proceso matado a mitad, el origen acortado o borrado mientras se lee, y bytes que
// no son texto, también en líneas de 200 MB. En cada caso: el mensaje que dice la causa, el
// código de salida, ningún destino a medias, el destino que ya había intacto y el origen igual.
//
// El ejecutable se lanza con fork y exec, no con QProcess, para poder ponerle un límite de
// tamaño de fichero, pararlo y matarlo a mitad, y medir su memoria máxima con wait4.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <string>
#include <vector>

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
Hijo Iniciar(const QStringList& argumentos, const QString& carpeta, qint64 limite_fichero = -1) {
    std::vector<std::string> textos{TESMALO_CLI};
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
        execv(argv[0], argv.data());
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

Resultado Lanzar(const QStringList& argumentos, const QString& carpeta,
                 qint64 limite_fichero = -1) {
    return Esperar(Iniciar(argumentos, carpeta, limite_fichero));
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

bool Es_utf8(const QByteArray& texto) {
    QStringDecoder decodificador(QStringDecoder::Utf8);
    (void)QString(decodificador(texto));
    return !decodificador.hasError();
}

QByteArray Leer(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
}

bool Escribir(const QString& ruta, const QByteArray& texto) {
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly) && f.write(texto) == texto.size();
}

bool Como_root() {
    return geteuid() == 0;
}

const QByteArray Cabecera_3x2 =
    "ncols 3\nnrows 2\nxllcorner 258.000\nyllcorner 448.500\ncellsize 15.000\n"
    "nodata_value -999.000\n";
const QByteArray Cabecera_escrita_3x2 =
    "ncols         3\r\nnrows         2\r\nxllcorner     258.00\r\nyllcorner     448.50\r\n"
    "cellsize      15.00\r\nnodata_value  -999\r\n";

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

  private slots:
    void init() {
        static int n = 0;
        caso_ = carpeta_.filePath(QString::number(++n));
        QVERIFY(QDir().mkpath(caso_));
    }
    void cleanup() {
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
            << "carpeta 555" << QStringList{o, d} << "No se puede crear el fichero de destino";
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
        const bool sin_permisos = preparar == "origen 000" || preparar == "carpeta 555";
        if (sin_permisos && Como_root())
            QSKIP("como root los permisos no impiden leer ni escribir");
        if (preparar == "origen 000") QVERIFY(QFile::setPermissions(Ruta("origen.asc"), {}));
        if (preparar == "carpeta 555")
            QVERIFY(QFile::setPermissions(caso_, QFile::ReadOwner | QFile::ExeOwner));
        const QStringList antes = QDir(caso_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        const Resultado r = Lanzar(argumentos, caso_);
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
        QVERIFY2(r.errores.contains("fichero de destino «destino.txt»: File too large"),
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
        static const char raros_c[] = "\x00\x01 \xff\xfe \xc3\x28 \xed\xa0\x80 \x7f\t\x1b";
        const QByteArray raros(raros_c, sizeof raros_c - 1);
        QTest::newRow("en los valores")
            << Cabecera_3x2 + "1 " + raros + "\n"
            << QByteArray("1 \x00\x01 \xff\xfe\r\n\xc3\x28 \xed\xa0\x80 \x7f\t\x1b\r\n", 21)
            << QString();
        QTest::newRow("NUL en la línea 1")
            << QByteArray("ncols \x00\xff\nnrows 2\n1 2\n", 21) << QByteArray()
            << QString::fromUtf8("termina en «\\x00\uFFFD»");
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
            << ' ' << tres + QStringList{"origen.asc", "destino.txt"} << QString() << cabecera;
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
            if (relleno == ' ')
                QCOMPARE(r.errores, QByteArray("aviso: se escribieron 0 filas y la cabecera "
                                               "anuncia 1\n"));
            else
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
