// La forma por lotes de tesmalo-cli (-d CARPETA ORIGEN...), lanzada con QProcess: orígenes
// buenos y malos a la vez, los rechazos antes de empezar y Ctrl+C o SIGTERM a mitad del lote.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <optional>

#include "pruebas/apoyo.h"

namespace {

using Resultado = tesmalo::Resultado_proceso;
using tesmalo::Escribir_fichero_prueba;
using tesmalo::Lanzar;
using tesmalo::Leer;

// Todo lo que hay en `carpeta`, ocultos incluidos (un temporal olvidado se vería).
QStringList Contenido(const QString& carpeta) {
    return QDir(carpeta).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Copia las rejillas de muestra a `carpeta` y devuelve sus nombres. Son las cuatro del
// repositorio, por su nombre: en samples/ puede haber más, como el destino que deja allí una
// conversión con el nombre propuesto.
QStringList Copiar_muestras(const QString& carpeta) {
    const QDir muestras(tesmalo::Muestras());
    const QStringList nombres = {"fila_por_linea.dtm", "irregular.grd", "uno_por_linea.txt",
                                 "zona1.asc"};
    for (const QString& n : nombres)
        if (!QFile::copy(muestras.filePath(n), carpeta + '/' + n))
            qFatal("no se pudo copiar %s", qPrintable(n));
    return nombres;
}

// Una rejilla de 3 × 2 a la que le falta un valor: su conversión falla.
const QByteArray Rejilla_corta = tesmalo::Cabecera_3x2 + "1 2 3\n4 5\n";
// Una rejilla de 3 × 2 con un valor de más: su conversión termina con un aviso.
const QByteArray Rejilla_con_aviso = tesmalo::Cabecera_3x2 + "1 2 3\n4 5 6 7\n";

}  // namespace

class Lote_test : public QObject {
    Q_OBJECT
  private slots:
    // Orígenes buenos, uno con aviso y malos, con -j 2: cada destino es el de la llamada
    // suelta, cada fallo y cada aviso tiene su línea con su origen, y el resumen los cuenta.
    // Las opciones se escriben de cualquiera de las formas de getopt; -q quita el resumen.
    void buenos_y_malos_data() {
        QTest::addColumn<QStringList>("opciones");
        QTest::addColumn<bool>("resumen");
        QTest::newRow("-j 2 -d ../salida") << QStringList{"-j", "2", "-d", "../salida"} << true;
        QTest::newRow("-j2 -d../salida") << QStringList{"-j2", "-d../salida"} << true;
        QTest::newRow("--trab=2 --carp ../salida")
            << QStringList{"--trab=2", "--carp", "../salida"} << true;
        QTest::newRow("-qj2 -d ../salida") << QStringList{"-qj2", "-d", "../salida"} << false;
    }
    void buenos_y_malos() {
        QFETCH(QStringList, opciones);
        QFETCH(bool, resumen);
        QTemporaryDir tmp;
        const QString t = tmp.path();
        QVERIFY(QDir(t).mkpath("origen/carpeta.asc") && QDir(t).mkpath("salida") &&
                QDir(t).mkpath("sueltos"));
        QStringList buenos = Copiar_muestras(t + "/origen");
        Escribir_fichero_prueba(t + "/origen/aviso.asc", Rejilla_con_aviso);
        Escribir_fichero_prueba(t + "/origen/hola.asc", "hola\n");
        Escribir_fichero_prueba(t + "/origen/x.a", Rejilla_con_aviso);
        Escribir_fichero_prueba(t + "/origen/corta.asc", Rejilla_corta);
        const QStringList malos{"falta.asc", "carpeta.asc", "hola.asc", "x.a", "corta.asc"};
        QStringList argumentos = opciones;
        for (const QString& o : buenos + QStringList{"aviso.asc"} + malos) argumentos << o;

        const Resultado r = Lanzar(argumentos, t + "/origen");
        QCOMPARE(r.codigo, 1);
        const QList<QByteArray> lineas = r.errores.trimmed().split('\n');
        // Los fallos, el aviso y, sin -q, el resumen.
        QCOMPARE(lineas.size(), malos.size() + 1 + (resumen ? 1 : 0));
        QCOMPARE(lineas.last() == "tesmalo-cli: convertidos: 5 de 10 (con avisos: 1); fallidos: 5",
                 resumen);
        for (const QString& m : malos)
            QVERIFY2(std::ranges::count_if(lineas,
                                           [&](const QByteArray& l) {
                                               return l.startsWith(
                                                   "tesmalo-cli: error: " + m.toUtf8() + ": ");
                                           }) == 1,
                     qPrintable(m));
        const Resultado suelto =
            Lanzar({"aviso.asc", "../sueltos/aviso_reestruct.txt"}, t + "/origen");
        QCOMPARE(suelto.errores, QByteArray("aviso: se descartaron 1 valores (sobrantes al final "
                                            "de un bloque de filas o de una fila incompleta)\n"));
        QVERIFY(lineas.contains("aviso: aviso.asc: " + suelto.errores.mid(7).trimmed()));

        buenos << "aviso.asc";
        QStringList esperados;
        for (const QString& o : buenos) {
            const QString d = o.chopped(4) + "_reestruct.txt";
            esperados << d;
            if (o != "aviso.asc") QCOMPARE(Lanzar({o, "../sueltos/" + d}, t + "/origen").codigo, 0);
            QCOMPARE(Leer(t + "/salida/" + d), Leer(t + "/sueltos/" + d));
        }
        esperados.sort();
        QCOMPARE(Contenido(t + "/salida"), esperados);
    }

    // Lo que impide empezar: sale con 2, nombra los ficheros y no escribe nada.
    void rechazos_data() {
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<QStringList>("textos");
        QTest::newRow("mismo destino")
            << QStringList{"-d", "salida", "a/zona1.asc", "b/zona1.asc"}
            << QStringList{"«a/zona1.asc» y «b/zona1.asc»", "«salida/zona1_reestruct.txt»"};
        QTest::newRow("el mismo origen dos veces")
            << QStringList{"-d", "salida", "a/zona1.asc", "b/otra.asc", "a/zona1.asc"}
            << QStringList{"«a/zona1.asc» y «a/zona1.asc»"};
        QTest::newRow("destino que es un origen")
            << QStringList{"-d", "salida/", "salida/zona1_reestruct.txt", "a/zona1.asc"}
            << QStringList{
                   "el destino de «a/zona1.asc», «salida/zona1_reestruct.txt», es uno "
                   "de los orígenes"};
        QTest::newRow("destino que es un origen por un enlace")
            << QStringList{"-d", "salida", "a/zona1.asc", "enlace.asc"}
            << QStringList{"«a/zona1.asc», «salida/zona1_reestruct.txt», es uno de los orígenes"};
        QTest::newRow("dos destinos que son el mismo fichero por un enlace")
            << QStringList{"-d", "salida", "a/zona1.asc", "b/otra.asc"}
            << QStringList{"«a/zona1.asc» y «b/otra.asc» escribirían el mismo fichero",
                           "«salida/otra_reestruct.txt»"};
        QTest::newRow("destino que es un enlace colgado al de otro origen")
            << QStringList{"-j", "1", "-d", "salida", "c/b.asc", "c/a.asc"}
            << QStringList{"«c/a.asc» y «c/b.asc» escribirían el mismo fichero",
                           "«salida/a_reestruct.txt» es un enlace simbólico"};
        QTest::newRow("destino que es un enlace colgado a otro sitio")
            << QStringList{"-d", "salida", "c/c.asc"}
            << QStringList{
                   "el destino de «c/c.asc», «salida/c_reestruct.txt», es un enlace "
                   "simbólico a «"};
        QTest::newRow("carpeta FAT: dos nombres que sólo difieren en mayúsculas")
            << QStringList{"-d", "fat", "a/zona1.asc", "c/ZONA1.asc"}
            << QStringList{"«a/zona1.asc» y «c/ZONA1.asc» escribirían el mismo fichero",
                           "no distingue mayúsculas de minúsculas"};
        QTest::newRow("destino que es un origen visto por un montaje overlay")
            << QStringList{"-d", "ov/arriba", "a/zona1.asc", "ov/unido/zona1_reestruct.txt"}
            << QStringList{
                   "el destino de «a/zona1.asc», «ov/arriba/zona1_reestruct.txt», es uno "
                   "de los orígenes"};
        QTest::newRow("destino que es un origen visto por sshfs")
            << QStringList{"-d", "red", "a/zona1.asc", "srv/zona1_reestruct.txt"}
            << QStringList{
                   "el destino de «a/zona1.asc», «red/zona1_reestruct.txt», es uno de los "
                   "orígenes, «srv/zona1_reestruct.txt», al que se llega por otro nombre"};
        // El .prj que una conversión escribe al lado de su destino, como su rejilla.
        QTest::newRow(".prj de destino que es el de otro origen por un enlace")
            << QStringList{"-d", "salida", "c/l1.asc", "c/l2.asc"}
            << QStringList{"«c/l1.asc» y «c/l2.asc» escribirían el mismo fichero",
                           "«salida/l2_reestruct.prj» llevan a él"};
        QTest::newRow(".prj de destino que es un origen")
            << QStringList{"-d", "salida", "c/q.asc", "salida/q_reestruct.prj"}
            << QStringList{
                   "el destino de «c/q.asc», «salida/q_reestruct.prj», es uno de los "
                   "orígenes"};
        QTest::newRow(".prj de destino que es el .prj de un origen")
            << QStringList{"-d", "salida", "c/q.asc", "salida/q_reestruct.asc"}
            << QStringList{
                   "el destino de «c/q.asc», «salida/q_reestruct.prj», es el sistema de "
                   "coordenadas (.prj) de uno de los orígenes"};
        QTest::newRow("carpeta que falta")
            << QStringList{"-d", "no-hay", "a/zona1.asc"}
            << QStringList{"la carpeta de destino «no-hay» no existe"};
        QTest::newRow("carpeta que es un fichero")
            << QStringList{"--carpeta-destino=a/zona1.asc", "b/otra.asc"}
            << QStringList{"«a/zona1.asc» no es una carpeta"};
        QTest::newRow("-j 0") << QStringList{"-j", "0", "-d", "salida", "a/zona1.asc"}
                              << QStringList{"--trabajos necesita al menos 1"};
        QTest::newRow("- (la entrada estándar) con -d")
            << QStringList{"-d", "salida", "a/zona1.asc", "-"} << QStringList{"«-»", "-d"};
        QTest::newRow("-j sin -d")
            << QStringList{"-j", "2", "a/zona1.asc"} << QStringList{"sólo valen con -d"};
    }
    void rechazos() {
        QFETCH(QStringList, argumentos);
        QFETCH(QStringList, textos);
        QTemporaryDir tmp;
        const QString t = tmp.path();
        QVERIFY(QDir(t).mkpath("a") && QDir(t).mkpath("b") && QDir(t).mkpath("c") &&
                QDir(t).mkpath("salida"));
        Copiar_muestras(t + "/a");
        QVERIFY(QFile::copy(t + "/a/zona1.asc", t + "/b/zona1.asc"));
        QVERIFY(QFile::copy(t + "/a/zona1.asc", t + "/b/otra.asc"));
        for (const char* nombre : {"a.asc", "b.asc", "c.asc", "ZONA1.asc"})
            QVERIFY(QFile::copy(t + "/a/zona1.asc", t + "/c/" + nombre));
        Escribir_fichero_prueba(t + "/salida/zona1_reestruct.txt", "anterior\n");
        QVERIFY(QFile::link("salida/zona1_reestruct.txt", t + "/enlace.asc"));
        QVERIFY(QFile::link("zona1_reestruct.txt", t + "/salida/otra_reestruct.txt"));
        // Enlaces colgados: a lo que escribirá otro origen del lote, y a ninguna parte.
        QVERIFY(QFile::link("b_reestruct.txt", t + "/salida/a_reestruct.txt"));
        QVERIFY(QFile::link("no-hay/c.txt", t + "/salida/c_reestruct.txt"));
        // Orígenes con su .prj, y los .prj que ya hay donde irían los suyos.
        for (const char* nombre : {"l1", "l2", "q"}) {
            QVERIFY(QFile::copy(t + "/a/zona1.asc", t + "/c/" + nombre + ".asc"));
            Escribir_fichero_prueba(t + "/c/" + nombre + ".prj", "PROJCS[\"x\"]");
        }
        Escribir_fichero_prueba(t + "/salida/l2_reestruct.prj", "anterior\n");
        QVERIFY(QFile::link("l2_reestruct.prj", t + "/salida/l1_reestruct.prj"));
        QVERIFY(QFile::copy(t + "/a/zona1.asc", t + "/salida/q_reestruct.asc"));
        Escribir_fichero_prueba(t + "/salida/q_reestruct.prj", "PROJCS[\"q\"]");
        // Las carpetas montadas se montan sólo para su fila.
        const QString carpeta = argumentos.at(argumentos.indexOf("-d") + 1);
        std::optional<tesmalo::Montaje_fat> fat;
        std::optional<tesmalo::Montaje_overlay> overlay;
        if (carpeta == "fat") {
            fat.emplace(t + "/fat");
            if (!fat->Disponible()) QSKIP("sin FUSE (/dev/fuse) no se monta una memoria FAT");
            QVERIFY2(fat->Montado(), "no se pudo montar la imagen FAT con fusefat");
        }
        if (carpeta.startsWith("ov/")) {
            overlay.emplace(t + "/ov");
            if (!overlay->Montado())
                QSKIP("no se puede montar un overlay aquí (hace falta ser root)");
            Escribir_fichero_prueba(t + "/ov/unido/zona1_reestruct.txt", "origen\n");
        }
        std::optional<tesmalo::Montaje_sshfs> red;
        if (carpeta == "red") {
            QVERIFY(QDir(t).mkpath("srv"));
            Escribir_fichero_prueba(t + "/srv/zona1_reestruct.txt", "origen\n");
            red.emplace(t + "/srv", t + "/red", t + "/ssh");
            if (!red->Disponible())
                QSKIP("sin root, /dev/fuse, sshd o sshfs no se monta una carpeta de red");
            QVERIFY2(red->Montado(), "no se pudo montar la carpeta por sshfs");
        }
        const QStringList antes = Contenido(t + "/salida"),
                          antes_carpeta = Contenido(t + '/' + carpeta);

        const Resultado r = Lanzar(argumentos, t);
        QCOMPARE(r.codigo, 2);
        for (const QString& texto : textos)
            QVERIFY2(QString::fromUtf8(r.errores).contains(texto), r.errores.constData());
        QCOMPARE(Contenido(t + "/salida"), antes);
        QCOMPARE(Contenido(t + '/' + carpeta), antes_carpeta);
        if (overlay) QCOMPARE(Leer(t + "/ov/unido/zona1_reestruct.txt"), QByteArray("origen\n"));
        if (red) QCOMPARE(Leer(t + "/srv/zona1_reestruct.txt"), QByteArray("origen\n"));
        QCOMPARE(Leer(t + "/salida/zona1_reestruct.txt"), QByteArray("anterior\n"));
        QCOMPARE(Contenido(t + "/b"), (QStringList{"otra.asc", "zona1.asc"}));
    }

    // Ctrl+C o SIGTERM con una conversión terminada y otra esperando datos de una tubería: el
    // destino terminado se queda, del otro no queda nada (ni temporal) y sale con 128 + señal.
    void interrupcion_data() {
        QTest::addColumn<int>("senal");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void interrupcion() {
        QFETCH(int, senal);
        QTemporaryDir tmp;
        const QString t = tmp.path();
        QVERIFY(QDir(t).mkpath("salida"));
        Copiar_muestras(t);
        const QByteArray tuberia = QFile::encodeName(t + "/tuberia.asc");
        QCOMPARE(mkfifo(tuberia.constData(), 0600), 0);
        QVERIFY(QDir(t).mkpath("suelto"));
        QCOMPARE(Lanzar({"zona1.asc", "suelto/zona1_reestruct.txt"}, t).codigo, 0);

        QProcess p;
        p.setWorkingDirectory(t);
        p.start(TESMALO_CLI, {"-j", "2", "-d", "salida", "--cabecera", "6", "--columnas", "3",
                              "--filas", "2", "zona1.asc", "tuberia.asc"});
        QVERIFY(p.waitForStarted());
        // La conversión de la tubería la abre y se queda esperando la segunda fila.
        int escritor = -1;
        QElapsedTimer reloj;
        reloj.start();
        while ((escritor = open(tuberia.constData(), O_WRONLY | O_NONBLOCK)) < 0 &&
               reloj.elapsed() < 20000)
            QThread::msleep(10);
        QVERIFY(escritor >= 0);
        const QByteArray principio = Rejilla_con_aviso.left(Rejilla_con_aviso.indexOf("4 5"));
        QCOMPARE(write(escritor, principio.constData(), principio.size()), principio.size());
        // La otra conversión ya tiene su destino y ésta ya leyó lo que había en la tubería.
        int pendientes = -1;
        while ((!QFile::exists(t + "/salida/zona1_reestruct.txt") ||
                ioctl(escritor, FIONREAD, &pendientes) != 0 || pendientes > 0) &&
               reloj.elapsed() < 20000)
            QThread::msleep(10);
        QCOMPARE(pendientes, 0);
        QCOMPARE(kill(pid_t(p.processId()), senal), 0);
        QVERIFY(p.waitForFinished(20000));
        close(escritor);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + senal);
        QCOMPARE(Contenido(t + "/salida"), QStringList{"zona1_reestruct.txt"});
        QCOMPARE(Leer(t + "/salida/zona1_reestruct.txt"), Leer(t + "/suelto/zona1_reestruct.txt"));
    }
};

QTEST_GUILESS_MAIN(Lote_test)
#include "lote_test.moc"
