#include "conversion/cabecera.h"

#include <QTemporaryDir>
#include <QTest>

#include "conversion/ficheros_prueba.h"

using tesmalo::Cabecera_destino;
using tesmalo::Escribir_cabecera;
using tesmalo::Lector_origen;
using tesmalo::Leer_cabecera;

using Lineas = QList<QByteArray>;

namespace {
const QByteArray Ejemplo =
    "ncols 401\r\nnrows 301\r\nxllcorner 258.000\r\nyllcorner 448.500\r\ncellsize 15.000\r\n"
    "nodata_value -999.000\r\n";
const Lineas Ejemplo_destino{"ncols         401",    "nrows         301",   "xllcorner     258.00",
                             "yllcorner     448.50", "cellsize      15.00", "nodata_value  -999"};
}  // namespace

class Cabecera_test : public QObject {
    Q_OBJECT
    QTemporaryDir carpeta_;

    QString Escribir(const QByteArray& contenido) {
        const QString ruta = carpeta_.filePath(QStringLiteral("origen.asc"));
        tesmalo::Escribir_fichero_prueba(ruta, contenido);
        return ruta;
    }

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain)); }

    void reescribir_data() {
        QTest::addColumn<QByteArray>("origen");
        QTest::addColumn<int>("lineas_cabecera");
        QTest::addColumn<Lineas>("esperado");
        QTest::addColumn<int>("columnas");
        QTest::addColumn<int>("filas");
        QTest::addColumn<QByteArray>("siguiente");  // primer campo de la línea que sigue
        QTest::newRow("ejemplo") << Ejemplo + "1 2" << 6 << Ejemplo_destino << 401 << 301
                                 << QByteArray("1");
        QTest::newRow("las claves no se miran")
            << QByteArray("401\nfilas 301\nxllcenter 258.5\ny 1.\nc 1.2.3\nnd -999.9\n") << 6
            << Lineas{"ncols         401", "nrows         301", "xllcorner     258.5",
                      "yllcorner     1.",  "cellsize      1.2", "nodata_value  -999"}
            << 401 << 301 << QByteArray();
        QTest::newRow("se corta, no se redondea")
            << QByteArray("a 3\nb 2\nx 258.567\ny 0.999\nc 25.000\nnd -999\n") << 6
            << Lineas{"ncols         3",    "nrows         2",     "xllcorner     258.56",
                      "yllcorner     0.99", "cellsize      25.00", "nodata_value  -999"}
            << 3 << 2 << QByteArray();
        QTest::newRow("ocho líneas: se saltan la 7 y la 8")
            << Ejemplo + "comentario libre\nfecha de vuelo\n5 6" << 8 << Ejemplo_destino << 401
            << 301 << QByteArray("5");
        QTest::newRow("cinco líneas dejan vacía la sexta")
            << Ejemplo << 5 << Ejemplo_destino.first(5) + Lineas{""} << 401 << 301
            << QByteArray("nodata_value");
        QTest::newRow("ninguna línea: todo vacío")
            << Ejemplo << 0 << Lineas(6) << 0 << 0 << QByteArray("ncols");
        QTest::newRow("negativa: como ninguna")
            << Ejemplo << -3 << Lineas(6) << 0 << 0 << QByteArray("ncols");
        QTest::newRow("cuentas redondeadas al par, texto tal cual")
            << QByteArray("ncols 400.5\nnrows 3,5\n") << 2
            << Lineas{"ncols         400.5", "nrows         3,5", "", "", "", ""} << 400 << 4
            << QByteArray();
        QTest::newRow("sexta línea vacía")
            << QByteArray("1\n2\nx 1.5\ny 2.5\nc 3.5\n\n") << 6
            << Lineas{"ncols         1",   "nrows         2",   "xllcorner     1.5",
                      "yllcorner     2.5", "cellsize      3.5", "nodata_value"}
            << 1 << 2 << QByteArray();
    }
    void reescribir() {
        QFETCH(QByteArray, origen);
        QFETCH(int, lineas_cabecera);
        QFETCH(Lineas, esperado);
        QFETCH(int, columnas);
        QFETCH(int, filas);
        QFETCH(QByteArray, siguiente);
        Lector_origen lector(Escribir(origen));
        const Cabecera_destino cabecera = Leer_cabecera(lector, lineas_cabecera);
        QCOMPARE(Lineas(cabecera.textos.begin(), cabecera.textos.end()), esperado);
        QCOMPARE(cabecera.columnas, columnas);
        QCOMPARE(cabecera.filas, filas);
        QByteArray campo;
        lector.Siguiente_campo([&](const char* d, qsizetype n) { campo.append(d, n); });
        QCOMPARE(campo, siguiente);
    }

    void escribir_con_crlf() {
        Cabecera_destino c;
        c.textos = {"ncols         3", "nrows         2", "", "", "", "nodata_value  -1"};
        QCOMPARE(Escribir_cabecera(c),
                 "ncols         3\r\nnrows         2\r\n\r\n\r\n\r\nnodata_value  -1\r\n");
    }

    void errores_data() {
        QTest::addColumn<QByteArray>("origen");
        QTest::addColumn<int>("lineas_cabecera");
        QTest::addColumn<QString>("causa");
        QTest::newRow("xllcorner sin punto") << QByteArray("1\n2\nx 258\n") << 3 << "La línea 3 de";
        QTest::newRow("yllcorner con punto sólo al principio")
            << QByteArray("1\n2\nx 1.0\ny .5\n") << 4 << "La línea 4 de";
        QTest::newRow("ncols no numérico") << QByteArray("ncols cuatro\n") << 1 << "La línea 1 de";
        QTest::newRow("nrows fuera de 32 bits")
            << QByteArray("1\n3000000000\n") << 2 << "La línea 2 de";
        QTest::newRow("menos líneas que la cabecera")
            << QByteArray("1\n2\n") << 6 << "se acaba en la línea 2";
        QTest::newRow("vacío") << QByteArray() << 1 << "se acaba en la línea 0";
        QTest::newRow("más de 32766 líneas")
            << QByteArray("1\n") << 32767 << "no puede pasar de 32766";
        QTest::newRow("valor enorme en la línea 6")
            << QByteArray("1\n2\nx 1.0\ny 1.0\nc 1.0\nnd ") + QByteArray(100000, '9') << 6
            << "demasiado largo";
    }
    void errores() {
        QFETCH(QByteArray, origen);
        QFETCH(int, lineas_cabecera);
        QFETCH(QString, causa);
        Lector_origen lector(Escribir(origen));
        try {
            Leer_cabecera(lector, lineas_cabecera);
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(causa), e.what());
        }
    }
};

QTEST_MAIN(Cabecera_test)
#include "cabecera_test.moc"
