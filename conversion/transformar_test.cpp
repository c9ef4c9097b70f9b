#include "conversion/transformar.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <limits>

#include "pruebas/apoyo.h"

using tesmalo::Operaciones_progreso;
using tesmalo::Resumen_conversion;
using tesmalo::Transfromar_cab;

using Lineas = QList<QByteArray>;

namespace {

const QByteArray Cabecera_3x2 =
    "ncols 3\r\nnrows 2\r\nxllcorner 258.000\r\nyllcorner 448.500\r\ncellsize 15.000\r\n"
    "nodata_value -999.000\r\n";
const Lineas Destino_3x2{"ncols         3",      "nrows         2",     "xllcorner     258.00",
                         "yllcorner     448.50", "cellsize      15.00", "nodata_value  -999"};

// Anota las llamadas de progreso: "inicio", cada fracción y "fin".
struct Registro {
    QStringList llamadas;
    QList<double> fracciones;
    Operaciones_progreso Operaciones() {
        return {[this] { llamadas << "inicio"; },
                [this](double f) {
                    llamadas << "progreso";
                    fracciones << f;
                },
                [this] { llamadas << "fin"; }};
    }
};

using tesmalo::Leer;
// Prepara un fichero, o detiene la prueba.
const auto Escribir = tesmalo::Escribir_fichero_prueba;

}  // namespace

class Transformar_test : public QObject {
    Q_OBJECT
    QTemporaryDir carpeta_;
    QString origen_, destino_;

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain)); }
    void init() {
        origen_ = carpeta_.filePath("origen.asc");
        destino_ = carpeta_.filePath("destino.txt");
        QDir carpeta(carpeta_.path());
        for (const QString& nombre : carpeta.entryList(QDir::Files | QDir::System))
            carpeta.remove(nombre);
    }

    void reparto_data() {
        QTest::addColumn<QByteArray>("valores");
        QTest::addColumn<Lineas>("filas");
        QTest::addColumn<qint64>("descartados");
        QTest::newRow("seis en una línea")
            << QByteArray("1 2 3 4 5 6\r\n") << Lineas{"1 2 3", "4 5 6"} << 0ll;
        QTest::newRow("uno por línea")
            << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n") << Lineas{"1 2 3", "4 5 6"} << 0ll;
        QTest::newRow("dos por línea")
            << QByteArray("1 2\r\n3 4\r\n5 6") << Lineas{"1 2 3", "4 5 6"} << 0ll;
        // Las filas anunciadas están enteras: lo que queda a medias después sólo se descarta.
        QTest::newRow("fila a medias en el segundo bloque")
            << QByteArray("1 2 3 4 5 6\r\n7 8\r\n") << Lineas{"1 2 3", "4 5 6"} << 2ll;
        QTest::newRow("ocho: sobran dos al final del bloque")
            << QByteArray("1 2 3 4 5 6 7 8\r\n") << Lineas{"1 2 3", "4 5 6"} << 2ll;
        QTest::newRow("segundo bloque en la línea siguiente")
            << QByteArray("1 2 3 4 5 6\r\n7 8 9 10 11 12\r\n")
            << Lineas{"1 2 3", "4 5 6", "7 8 9", "10 11 12"} << 0ll;
        QTest::newRow("sobrantes de cada bloque")
            << QByteArray("1 2 3 4 5 6 x\r\n7 8 9 10 11 12 y z\r\n")
            << Lineas{"1 2 3", "4 5 6", "7 8 9", "10 11 12"} << 3ll;
        QTest::newRow("una línea en blanco no aporta valores")
            << QByteArray("1 2 3\r\n\r\n4 5 6\r\n") << Lineas{"1 2 3", "4 5 6"} << 0ll;
        QTest::newRow("líneas de espacios al principio, en medio y al final")
            << QByteArray("   \r\n1 2\r\n  \r\n3 4 5 6\r\n \r\n") << Lineas{"1 2 3", "4 5 6"}
            << 0ll;
        QTest::newRow("valores copiados sin cambios")
            << QByteArray("-999.000 0012.5 1.5E+03\r\n+7 ,5 abc\r\n")
            << Lineas{"-999.000 0012.5 1.5E+03", "+7 ,5 abc"} << 0ll;
        QTest::newRow("los tabuladores separan como los espacios; bytes altos en los valores")
            << QByteArray("a\tb \xf1\t\t c\t\r\n\t1\t2 3\r\n") << Lineas{"a b \xf1", "c 1 2"}
            << 1ll;
        QTest::newRow("LF, CR y CRLF mezclados")
            << QByteArray("1 2\n3\r4\r\n5 6\r") << Lineas{"1 2 3", "4 5 6"} << 0ll;
        QTest::newRow("espacios de sobra")
            << QByteArray("  1    2 3   4\r\n5 6    ") << Lineas{"1 2 3", "4 5 6"} << 0ll;
    }
    // El reparto en filas sigue a las claves de la cabecera, y en una rejilla GRASS «*» pasa a
    // ser el valor sin datos escrito.
    void cabecera_con_claves_data() {
        QTest::addColumn<QByteArray>("origen");
        QTest::addColumn<int>("cabecera");
        QTest::addColumn<QByteArray>("destino");
        QTest::newRow("claves en otro orden")
            << QByteArray("nrows 2\ncellsize 1\nxllcorner 0\nncols 3\nyllcorner 0\n1 2 3 4\n5 6\n")
            << 5
            << QByteArray(
                   "ncols         3\r\nnrows         2\r\nxllcorner     0\r\n"
                   "yllcorner     0\r\ncellsize      1\r\n1 2 3\r\n4 5 6\r\n");
        QTest::newRow("GRASS con null:")
            << QByteArray(
                   "north: 2\nsouth: 0\neast: 3\nwest: 0\nrows: 2\ncols: 3\nnull: -1\n"
                   "1 * 3\n*\n-1 6\n")
            << 7
            << QByteArray(
                   "ncols         3\r\nnrows         2\r\nxllcorner     0\r\n"
                   "yllcorner     0\r\ncellsize      1\r\nnodata_value  -1\r\n"
                   "1 -1 3\r\n-1 -1 6\r\n");
        QTest::newRow("GRASS sin null:")
            << QByteArray("north: 2\nsouth: 0\neast: 3\nwest: 0\nrows: 2\ncols: 3\n1 * 3 * 5 *")
            << 6
            << QByteArray(
                   "ncols         3\r\nnrows         2\r\nxllcorner     0\r\n"
                   "yllcorner     0\r\ncellsize      1\r\nnodata_value  -2147483648\r\n"
                   "1 -2147483648 3\r\n-2147483648 5 -2147483648\r\n");
    }
    void cabecera_con_claves() {
        QFETCH(QByteArray, origen);
        QFETCH(int, cabecera);
        QFETCH(QByteArray, destino);
        Escribir(origen_, origen);
        Registro registro;
        Transfromar_cab(cabecera, 3, 2, origen_, destino_, registro.Operaciones());
        QCOMPARE(Leer(destino_), destino);
    }

    void reparto() {
        QFETCH(QByteArray, valores);
        QFETCH(Lineas, filas);
        QFETCH(qint64, descartados);
        Escribir(origen_, Cabecera_3x2 + valores);
        Registro registro;
        const Resumen_conversion r =
            Transfromar_cab(6, 3, 2, origen_, destino_, registro.Operaciones());

        QByteArray esperado;
        for (const QByteArray& l : Destino_3x2 + filas) esperado += l + "\r\n";
        QCOMPARE(Leer(destino_), esperado);
        QCOMPARE(r.columnas_cabecera, 3);
        QCOMPARE(r.filas_cabecera, 2);
        QCOMPARE(r.filas_escritas, filas.size());
        QCOMPARE(r.valores_colocados, 3 * filas.size());
        QCOMPARE(r.valores_descartados, descartados);
        QCOMPARE(r.No_cuadra(), filas.size() != 2 || descartados != 0);
        QCOMPARE(registro.llamadas.size(), filas.size() + 3);
        QCOMPARE(registro.llamadas.first(), "inicio");
        QCOMPARE(registro.llamadas.last(), "fin");
    }

    // Una cabecera cuyas claves y valores separan tabuladores, solos o con espacios, da la misma
    // cabecera de destino que con espacios.
    void cabecera_con_tabuladores_data() {
        QTest::addColumn<QByteArray>("cabecera");
        QTest::newRow("un tabulador entre clave y valor") << QByteArray(
            "ncols\t3\r\nnrows\t2\r\nxllcorner\t258.000\r\nyllcorner\t448.500\r\n"
            "cellsize\t15.000\r\nnodata_value\t-999.000\r\n");
        QTest::newRow("rachas de tabuladores y espacios, también en los extremos") << QByteArray(
            "\tncols \t 3\t\nnrows\t\t2 \n xllcorner\t258.000\t\t\n"
            "yllcorner \t448.500\ncellsize\t 15.000\nnodata_value\t-999.000 \t\n");
    }
    void cabecera_con_tabuladores() {
        QFETCH(QByteArray, cabecera);
        Escribir(origen_, cabecera + "1\t2\t3\n4\t5\t6\n");
        Registro registro;
        const Resumen_conversion r =
            Transfromar_cab(6, 3, 2, origen_, destino_, registro.Operaciones());
        QByteArray esperado;
        for (const QByteArray& l : Destino_3x2 + Lineas{"1 2 3", "4 5 6"}) esperado += l + "\r\n";
        QCOMPARE(Leer(destino_), esperado);
        QVERIFY(!r.No_cuadra());
    }

    // Con una cuenta de filas 0 en la cabecera, cada bloque da una sola fila.
    void cuenta_de_filas_cero() {
        Escribir(origen_, "ncols 3\n1 2 3 4\n5 6\n7\n");
        Registro registro;
        const auto r = Transfromar_cab(1, 3, 2, origen_, destino_, registro.Operaciones());
        QCOMPARE(Leer(destino_), "ncols         3\r\n\r\n\r\n\r\n\r\n\r\n1 2 3\r\n5 6 7\r\n");
        QCOMPARE(r.filas_escritas, 2);
        QCOMPARE(r.valores_descartados, 1);
        QVERIFY(r.No_cuadra());
    }

    // La cuenta de filas más negativa de 32 bits también da bloques de una fila (antes, al
    // restar una fila, desbordaba).
    void cuenta_de_filas_minima() {
        Escribir(origen_, "ncols 2\nnrows -2147483648\n1 2 x\n3 4\n");
        Registro registro;
        const auto r = Transfromar_cab(2, 2, 2, origen_, destino_, registro.Operaciones());
        QCOMPARE(Leer(destino_),
                 "ncols         2\r\nnrows         -2147483648\r\n\r\n\r\n\r\n\r\n1 2\r\n3 4\r\n");
        QCOMPARE(r.filas_cabecera, std::numeric_limits<qint32>::min());
        QCOMPARE(r.filas_escritas, 2);
        QCOMPARE(r.valores_descartados, 1);
    }

    void fracciones_de_progreso() {
        Escribir(origen_, Cabecera_3x2 + "1 2 3 4 5 6\r\n");
        Registro registro;
        Transfromar_cab(6, 3, 2, origen_, destino_, registro.Operaciones());
        QCOMPARE(registro.llamadas,
                 (QStringList{"inicio", "progreso", "progreso", "progreso", "fin"}));
        QCOMPARE(registro.fracciones, (QList<double>{0.0, 0.5, 1.0}));

        // Las cuentas del diálogo sólo escalan la fracción, que no se limita a 1.
        Registro otro;
        Transfromar_cab(6, 1, 2, origen_, destino_, otro.Operaciones());
        QCOMPARE(otro.fracciones, (QList<double>{0.0, 1.5, 3.0}));

        // Un producto de más de 2^31 celdas se calcula en 64 bits.
        Registro grande;
        Transfromar_cab(6, 100000, 100000, origen_, destino_, grande.Operaciones());
        QCOMPARE(grande.fracciones, (QList<double>{0.0, 3e-10, 6e-10}));
    }

    // Una fila que pasa del búfer de escritura y queda a medias (en un bloque tras el de la fila
    // anunciada) se quita también del fichero.
    void fila_enorme_a_medias() {
        QByteArray valores;
        for (int i = 0; i < 400000; ++i) valores += i == 300000 ? "\n12345 " : "12345 ";
        Escribir(origen_, "ncols 300000\nnrows 1\n" + valores);
        Registro registro;
        const auto r = Transfromar_cab(2, 1, 1, origen_, destino_, registro.Operaciones());
        QCOMPARE(r.filas_escritas, 1);
        QCOMPARE(r.valores_descartados, 100000);
        const QByteArray salida = Leer(destino_);
        // Cabecera de 47 bytes y una fila de 300000 valores de 5 cifras.
        QCOMPARE(salida.size(), 47 + 300000 * 6 - 1 + 2);
        QVERIFY(salida.endsWith("12345 12345\r\n"));
    }

    // Cada fallo deja sin destino nuevo y el que ya hubiera, intacto.
    void fallos_data() {
        QTest::addColumn<QByteArray>("origen");
        QTest::addColumn<int>("lineas_cabecera");
        QTest::addColumn<int>("columnas");
        QTest::addColumn<int>("filas");
        QTest::addColumn<QString>("causa");
        QTest::newRow("cabecera más corta de lo indicado")
            << QByteArray("ncols 3\nnrows 2\n") << 6 << 3 << 2 << "se acaba en la línea 2";
        QTest::newRow("ncols no numérico")
            << QByteArray("ncols x\n1\n") << 1 << 3 << 2 << "La línea 1 de";
        QTest::newRow("xllcorner que no es un número")
            << QByteArray("3\n2\nx258\n1\n") << 3 << 3 << 2 << "La línea 3 de";
        QTest::newRow("GRASS sin null: con el valor elegido como sin datos")
            << QByteArray(
                   "north: 1\nsouth: 0\neast: 2\nwest: 0\nrows: 1\ncols: 2\n"
                   "* -2147483648\n")
            << 6 << 3 << 2
            << "La línea 7 de «" + carpeta_.filePath("origen.asc") + "» tiene el valor -2147483648";
        QTest::newRow("ninguna columna con valores detrás")
            << QByteArray("ncols 0\nnrows 2\n1 2\n") << 2 << 3 << 2 << "al menos una";
        QTest::newRow("sin cabecera: cero columnas")
            << QByteArray("1 2\n") << 0 << 3 << 2 << "Ninguna línea de cabecera";
        QTest::newRow("columnas del diálogo 0") << Cabecera_3x2 + "1 2 3\n"
                                                << 6 << 0 << 2 << "no pueden ser 0";
        QTest::newRow("filas del diálogo 0") << Cabecera_3x2 + "1 2 3\n"
                                             << 6 << 3 << 0 << "no pueden ser 0";
        // Los valores que no llenan las filas anunciadas no dan una rejilla: el mensaje dice las
        // filas enteras, los valores de la que queda a medias, las anunciadas y la línea.
        QTest::newRow("cinco valores: la última fila a medias")
            << Cabecera_3x2 + "1 2 3 4 5\r\n"
            << 6 << 3 << 2
            << "se acaban en la línea 7 y dan 1 filas enteras y 2 valores de otra, y la cabecera "
               "anuncia 2 filas de 3 valores";
        QTest::newRow("valores que se acaban en una fila entera, repartidos en líneas")
            << Cabecera_3x2 + "1 2\r\n3\r\n"
            << 6 << 3 << 2
            << "se acaban en la línea 8 y dan 1 filas enteras, y la cabecera anuncia 2 filas";
        QTest::newRow("sin valores") << Cabecera_3x2 << 6 << 3 << 2
                                     << "no tiene ningún valor tras su cabecera, que acaba en la "
                                        "línea 6, y la cabecera anuncia 2 filas de 3 valores";
        QTest::newRow("sólo líneas en blanco")
            << Cabecera_3x2 + "\r\n\r\n"
            << 6 << 3 << 2 << "no tiene ningún valor tras su cabecera";
        QTest::newRow("cabecera de 32767 líneas")
            << Cabecera_3x2 << 32767 << 3 << 2 << "no puede pasar de 32766";
    }
    void fallos() {
        QFETCH(QByteArray, origen);
        QFETCH(int, lineas_cabecera);
        QFETCH(int, columnas);
        QFETCH(int, filas);
        QFETCH(QString, causa);
        Escribir(origen_, origen);
        for (bool habia_destino : {false, true}) {
            if (habia_destino) Escribir(destino_, "anterior\n");
            Registro registro;
            try {
                Transfromar_cab(lineas_cabecera, columnas, filas, origen_, destino_,
                                registro.Operaciones());
                QFAIL("debía fallar");
            } catch (const std::runtime_error& e) {
                const QString mensaje = QString::fromUtf8(e.what());
                QVERIFY2(mensaje.contains(causa), qPrintable(mensaje));
            }
            QCOMPARE(Leer(destino_),
                     habia_destino ? QByteArray("anterior\n") : QByteArray("<no existe>"));
            QVERIFY(!registro.llamadas.contains("fin"));
            QCOMPARE(QDir(carpeta_.path()).entryList(QDir::Files).size(), habia_destino ? 2 : 1);
        }
    }

    void fallos_de_ficheros_data() {
        QTest::addColumn<QString>("origen");
        QTest::addColumn<QString>("destino");
        QTest::addColumn<QString>("causa");
        const QString o = carpeta_.filePath("origen.asc");
        QTest::newRow("origen inexistente")
            << carpeta_.filePath("nada.asc") << carpeta_.filePath("d.txt")
            << "No se puede abrir el fichero de origen";
        QTest::newRow("origen carpeta")
            << carpeta_.path() << carpeta_.filePath("d.txt") << "es una carpeta";
        QTest::newRow("destino vacío")
            << o << QString() << "No se ha indicado el fichero de destino";
        QTest::newRow("carpeta de destino inexistente")
            << o << carpeta_.filePath("no/hay/d.txt") << "No se puede crear el fichero de destino";
        QTest::newRow("destino igual al origen") << o << o << "es el mismo fichero de origen";
        QTest::newRow("destino igual al origen por otra ruta")
            << o << carpeta_.path() + "/./origen.asc"
            << "es el mismo fichero de origen";
        QTest::newRow("destino enlace simbólico al origen")
            << o << carpeta_.filePath("enlace.txt") << "es el mismo fichero de origen";
        QTest::newRow("destino enlace duro al origen")
            << o << carpeta_.filePath("duro.txt") << "es el mismo fichero de origen";
    }
    void fallos_de_ficheros() {
        QFETCH(QString, origen);
        QFETCH(QString, destino);
        QFETCH(QString, causa);
        const QByteArray contenido = Cabecera_3x2 + "1 2 3 4 5 6\r\n";
        Escribir(origen_, contenido);
        QFile::remove(carpeta_.filePath("enlace.txt"));
        QFile::remove(carpeta_.filePath("duro.txt"));
        QVERIFY(QFile::link(origen_, carpeta_.filePath("enlace.txt")));
        QCOMPARE(::link(qPrintable(origen_), qPrintable(carpeta_.filePath("duro.txt"))), 0);
        Registro registro;
        try {
            Transfromar_cab(6, 3, 2, origen, destino, registro.Operaciones());
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            const QString mensaje = QString::fromUtf8(e.what());
            QVERIFY2(mensaje.contains(causa), qPrintable(mensaje));
        }
        QCOMPARE(Leer(origen_), contenido);
        QCOMPARE(QDir(carpeta_.path()).entryList(QDir::Files).size(), 3);
    }

    // Un nombre de la carpeta que no es texto válido (aquí, UTF-8) se ve con U+FFFD en un
    // selector de ficheros: esa ruta abriría otro fichero, o ninguno. Se rechaza, y el fichero
    // que se ve igual no se toca.
    void nombres_que_no_son_texto_data() {
        QTest::addColumn<QByteArray>("raro");      // el nombre con sus bytes, bajo la carpeta
        QTest::addColumn<QByteArray>("parecido");  // otro que se ve igual, o vacío
        QTest::addColumn<bool>("es_destino");
        QTest::newRow("origen") << QByteArray("v\xfe.asc") << QByteArray() << false;
        QTest::newRow("origen que se ve igual que otro")
            << QByteArray("v\xfe.asc") << QByteArray("v\xef\xbf\xbd.asc") << false;
        QTest::newRow("destino que se ve igual que otro")
            << QByteArray("w\xfe.txt") << QByteArray("w\xef\xbf\xbd.txt") << true;
        QTest::newRow("carpeta del origen") << QByteArray("c\xfe/v.asc") << QByteArray() << false;
    }
    void nombres_que_no_son_texto() {
        QFETCH(QByteArray, raro);
        QFETCH(QByteArray, parecido);
        QFETCH(bool, es_destino);
        QTemporaryDir tmp;
        const QByteArray base = QFile::encodeName(tmp.path()) + '/';
        const QByteArray contenido = Cabecera_3x2 + "1 2 3 4 5 6\r\n";
        if (raro.contains('/')) QCOMPARE(::mkdir(base + raro.left(raro.indexOf('/')), 0755), 0);
        for (const QByteArray& nombre : {raro, parecido}) {
            if (nombre.isEmpty()) continue;
            FILE* c = std::fopen(base + nombre, "wb");
            QVERIFY(c != nullptr);
            std::fwrite(contenido.constData(), 1, contenido.size(), c);
            std::fclose(c);
        }
        const QString visto = QFile::decodeName(base + raro);  // como lo daría el selector
        QVERIFY(visto.contains(QChar::ReplacementCharacter));
        Escribir(origen_, contenido);
        Registro registro;
        try {
            if (es_destino)
                Transfromar_cab(6, 3, 2, origen_, visto, registro.Operaciones());
            else
                Transfromar_cab(6, 3, 2, visto, destino_, registro.Operaciones());
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            const QString mensaje = QString::fromUtf8(e.what());
            QVERIFY2(mensaje.contains("no es texto válido"), qPrintable(mensaje));
        }
        // Por sus bytes: con QFile se abriría el nombre decodificado.
        for (const QByteArray& nombre : {raro, parecido}) {
            if (nombre.isEmpty()) continue;
            FILE* c = std::fopen(base + nombre, "rb");
            QVERIFY(c != nullptr);
            QByteArray leido(contenido.size() + 1, '\0');
            leido.resize(qsizetype(std::fread(leido.data(), 1, leido.size(), c)));
            std::fclose(c);
            QCOMPARE(leido, contenido);
        }
        QVERIFY(!QFile::exists(destino_));
    }

    // Una operación de progreso que lanza (la ventana se cerró) detiene la conversión sin
    // dejar destino y sin tocar el que había.
    void interrumpida_desde_el_progreso() {
        Escribir(origen_, Cabecera_3x2 + "1 2 3 4 5 6\r\n");
        Escribir(destino_, "anterior\n");
        int filas = 0;
        Operaciones_progreso progreso{[] {},
                                      [&](double f) {
                                          if (f > 0 && ++filas == 1)
                                              throw std::runtime_error("cerrada");
                                      },
                                      [] {}};
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 Transfromar_cab(6, 3, 2, origen_, destino_, progreso));
        QCOMPARE(Leer(destino_), "anterior\n");
        QCOMPARE(QDir(carpeta_.path()).entryList(QDir::Files).size(), 2);
    }

    // El destino existente se sustituye entero al terminar.
    void sustituye_el_destino() {
        Escribir(origen_, Cabecera_3x2 + "1 2 3 4 5 6\r\n");
        Escribir(destino_, QByteArray(10000, 'x'));
        Registro registro;
        Transfromar_cab(6, 3, 2, origen_, destino_, registro.Operaciones());
        QByteArray esperado;
        for (const QByteArray& l : Destino_3x2 + Lineas{"1 2 3", "4 5 6"}) esperado += l + "\r\n";
        QCOMPARE(Leer(destino_), esperado);
    }
};

QTEST_MAIN(Transformar_test)
#include "transformar_test.moc"
