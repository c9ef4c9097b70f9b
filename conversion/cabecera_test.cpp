#include "conversion/cabecera.h"

#include <QTemporaryDir>
#include <QTest>

#include "pruebas/apoyo.h"

using tesmalo::Cabecera_destino;
using tesmalo::Cabecera_ejemplo;
using tesmalo::Escribir_cabecera;
using tesmalo::Lector_origen;
using tesmalo::Leer_cabecera;

using Lineas = QList<QByteArray>;

namespace {
const Lineas Ejemplo_destino{"ncols         401",    "nrows         301",   "xllcorner     258.00",
                             "yllcorner     448.50", "cellsize      15.00", "nodata_value  -999"};
}  // namespace

class Cabecera_test : public QObject {
    Q_OBJECT
    tesmalo::Carpeta_prueba carpeta_{QStringLiteral("origen.asc")};

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain)); }

    void reescribir_data() {
        QTest::addColumn<QByteArray>("origen");
        QTest::addColumn<int>("lineas_cabecera");
        QTest::addColumn<Lineas>("esperado");
        QTest::addColumn<int>("columnas");
        QTest::addColumn<int>("filas");
        QTest::addColumn<QByteArray>("siguiente");  // primer campo de la línea que sigue
        QTest::newRow("ejemplo") << Cabecera_ejemplo + "1 2" << 6 << Ejemplo_destino << 401 << 301
                                 << QByteArray("1");
        QTest::newRow("otras palabras no se miran")
            << QByteArray("401\nfilas 301\nxllcenter 258.5\ny 1.\nc 1.2.3\nnd -999.000\n") << 6
            << Lineas{"ncols         401", "nrows         301", "xllcenter     258.5",
                      "yllcorner     1.",  "cellsize      1.2", "nodata_value  -999"}
            << 401 << 301 << QByteArray();
        QTest::newRow("se corta, no se redondea")
            << QByteArray("a 3\nb 2\nx 258.567\ny 0.999\nc 25.000\nnd -999\n") << 6
            << Lineas{"ncols         3",    "nrows         2",     "xllcorner     258.56",
                      "yllcorner     0.99", "cellsize      25.00", "nodata_value  -999"}
            << 3 << 2 << QByteArray();
        QTest::newRow("ocho líneas: se saltan la 7 y la 8")
            << Cabecera_ejemplo + "comentario libre\nfecha de vuelo\n5 6" << 8 << Ejemplo_destino
            << 401 << 301 << QByteArray("5");
        QTest::newRow("cinco líneas dejan vacía la sexta")
            << Cabecera_ejemplo << 5 << Ejemplo_destino.first(5) + Lineas{""} << 401 << 301
            << QByteArray("nodata_value");
        QTest::newRow("ninguna línea: todo vacío")
            << Cabecera_ejemplo << 0 << Lineas(6) << 0 << 0 << QByteArray("ncols");
        QTest::newRow("negativa: como ninguna")
            << Cabecera_ejemplo << -3 << Lineas(6) << 0 << 0 << QByteArray("ncols");
        QTest::newRow("cuentas redondeadas al par, texto tal cual")
            << QByteArray("ncols 400.5\nnrows 3,5\n") << 2
            << Lineas{"ncols         400.5", "nrows         3,5", "", "", "", ""} << 400 << 4
            << QByteArray();
        QTest::newRow("claves en otro orden, sin nodata_value")
            << QByteArray("nrows 200\ncellsize 30.0\nxllcorner 0.0\nNCOLS 100\nyllcorner 0.0\n1")
            << 5
            << Lineas{"ncols         100", "nrows         200", "xllcorner     0.0",
                      "yllcorner     0.0", "cellsize      30.0"}
            << 100 << 200 << QByteArray("1");
        QTest::newRow("centros")
            << QByteArray("ncols 3\nnrows 2\nxllcenter 3.5\nyllcenter 3.505\ncellsize 1\n") << 5
            << Lineas{"ncols         3", "nrows         2", "xllcenter     3.5",
                      "yllcenter     3.50", "cellsize      1"}
            << 3 << 2 << QByteArray();
        QTest::newRow("celdas no cuadradas: dx y dy; iguales, cellsize")
            << QByteArray(
                   "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ndx 10.236696404107\n"
                   "dy 10.044151671497\nNODATA_value -9999\nDX 5.0\ndy 5\n")
            << 7 << Lineas{"ncols         2",    "nrows         2",     "xllcorner     0",
                           "yllcorner     0",    "dx            10.23", "dy            10.04",
                           "nodata_value  -9999"}
            << 2 << 2 << QByteArray("DX");
        QTest::newRow("GRASS: sin null:, con type:")
            << QByteArray(
                   "north: 10.5\nsouth: 0.5\neast: 20\nWEST: 0\nrows: 2\ncols:2\n"
                   "type: int\nmultiplier: 1\n")
            << 8 << Lineas{"ncols         2",          "nrows         2",  "xllcorner     0",
                           "yllcorner     0.5",        "dx            10", "dy            5",
                           "nodata_value  -2147483648"}
            << 2 << 2 << QByteArray();
        QTest::newRow("GRASS: con null:, celda cuadrada")
            << QByteArray(
                   "north: 4\nsouth: 0\neast: 6\nwest: 0\nrows: 2\ncols: 3\n"
                   "null: -9999.0\n")
            << 7 << Lineas{"ncols         3", "nrows         2", "xllcorner     0",
                           "yllcorner     0", "cellsize      2", "nodata_value  -9999"}
            << 3 << 2 << QByteArray();
        QTest::newRow("celda cortada a lo largo de 100000 columnas: como en el origen")
            << QByteArray(
                   "ncols 100000\nnrows 2\nxllcorner 0.0\nyllcorner 0.0\n"
                   "cellsize 10.236696404107\nnodata_value -9999\n")
            << 6 << Lineas{"ncols         100000",
                           "nrows         2",
                           "xllcorner     0.0",
                           "yllcorner     0.0",
                           "cellsize      10.236696404107",
                           "nodata_value  -9999"}
            << 100000 << 2 << QByteArray();
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
        Lector_origen lector(carpeta_.Escribir(origen));
        const Cabecera_destino cabecera = Leer_cabecera(lector, lineas_cabecera);
        QCOMPARE(Lineas(cabecera.textos.begin(), cabecera.textos.end()), esperado);
        QCOMPARE(cabecera.columnas, columnas);
        QCOMPARE(cabecera.filas, filas);
        QByteArray campo;
        lector.Siguiente_campo([&](const char* d, qsizetype n) { campo.append(d, n); });
        QCOMPARE(campo, siguiente);
    }

    // El corte de las líneas 3 a 6 sólo donde no cambia lo que dice la cabecera; si no, el
    // texto del origen. Las filas «metros» son rejillas que ya se convertían bien: sus bytes
    // no cambian.
    void corte_inofensivo_data() {
        QTest::addColumn<QByteArray>("lineas");  // las líneas 3 a 6 del origen
        QTest::addColumn<Lineas>("esperado");    // las líneas 3 a 6 del destino
        const auto fila = [](const char* nombre, const char* x, const char* y, const char* c,
                             const char* nd, Lineas esperado) {
            QTest::newRow(nombre) << QByteArray("xllcorner ") + x + "\nyllcorner " + y +
                                         "\ncellsize " + c + "\nnodata_value " + nd + "\n"
                                  << esperado;
        };
        fila("grados: el tamaño de celda no se queda en 0.00", "-3.5", "40.25", "0.000833333",
             "-9999",
             {"xllcorner     -3.5", "yllcorner     40.25", "cellsize      0.000833333",
              "nodata_value  -9999"});
        fila("grados: la esquina no se mueve cuatro celdas", "-3.123456", "40.000416",
             "0.000833333", "-9999",
             {"xllcorner     -3.123456", "yllcorner     40.000416", "cellsize      0.000833333",
              "nodata_value  -9999"});
        fila("sin datos: el mínimo de float no pasa a ser -3", "258.000", "448.500", "15.000",
             "-3.4028234663852886e+38",
             {"xllcorner     258.00", "yllcorner     448.50", "cellsize      15.00",
              "nodata_value  -3.4028234663852886e+38"});
        fila("sin datos: -999.9 no pasa a ser -999", "258.000", "448.500", "15.000", "-999.9",
             {"xllcorner     258.00", "yllcorner     448.50", "cellsize      15.00",
              "nodata_value  -999.9"});
        fila("números sin punto, tal cual", "431250", "4471250", "25", "-9999",
             {"xllcorner     431250", "yllcorner     4471250", "cellsize      25",
              "nodata_value  -9999"});
        fila("un punto sin nada delante, tal cual", ".5", "0.25", ".5", ".0",
             {"xllcorner     .5", "yllcorner     0.25", "cellsize      .5", "nodata_value  0"});
        fila("metros: se corta como siempre", "258.567", "0.999", "25.000", "-999.000",
             {"xllcorner     258.56", "yllcorner     0.99", "cellsize      25.00",
              "nodata_value  -999"});
        fila("metros: celda de medio metro y esquina al milímetro", "431250.004", "4471250.0049",
             "0.5000", "-9999.0",
             {"xllcorner     431250.00", "yllcorner     4471250.00", "cellsize      0.50",
              "nodata_value  -9999"});
        fila("metros: celda casi entera", "0.0", "0.0", "2.0004", "0",
             {"xllcorner     0.0", "yllcorner     0.0", "cellsize      2.00", "nodata_value  0"});
        fila("una esquina que se movería más de una centésima de celda", "100.128", "100.12", "0.5",
             "0",
             {"xllcorner     100.128", "yllcorner     100.12", "cellsize      0.5",
              "nodata_value  0"});
        fila("exponente: el corte no sería un número", "4.3125e5", "4.5e6", "2.5E1", "-1e4",
             {"xllcorner     4.3125e5", "yllcorner     4.5e6", "cellsize      2.5E1",
              "nodata_value  -1e4"});
    }
    void corte_inofensivo() {
        QFETCH(QByteArray, lineas);
        QFETCH(Lineas, esperado);
        Lector_origen lector(carpeta_.Escribir("ncols 3\nnrows 2\n" + lineas));
        const Cabecera_destino cabecera = Leer_cabecera(lector, 6);
        QCOMPARE(Lineas(cabecera.textos.begin() + 2, cabecera.textos.end()), esperado);
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
        QTest::newRow("xllcorner que no es un número")
            << QByteArray("1\n2\nx 258m\n") << 3
            << "La línea 3 de «%1» debe terminar en un "
               "número (xllcorner), pero termina en «258m»";
        QTest::newRow("yllcorner que es sólo un punto")
            << QByteArray("1\n2\nx 1.0\ny .\n") << 4 << "termina en «.»";
        QTest::newRow("ncols no numérico") << QByteArray("ncols cuatro\n") << 1 << "La línea 1 de";
        QTest::newRow("nrows fuera de 32 bits")
            << QByteArray("1\n3000000000\n") << 2 << "La línea 2 de";
        QTest::newRow("menos líneas que la cabecera")
            << QByteArray("1\n2\n") << 6 << "se acaba en la línea 2";
        QTest::newRow("vacío") << QByteArray() << 1 << "se acaba en la línea 0";
        QTest::newRow("más de 32766 líneas")
            << QByteArray("1\n") << 32767 << "no puede pasar de 32766";
        QTest::newRow("la misma clave dos veces")
            << QByteArray("ncols 3\nnrows 2\nxllcorner 0\nNcols 4\n") << 4
            << "Las líneas 1 y 4 de «%1» dan las dos ncols";
        QTest::newRow("con claves, falta yllcorner")
            << QByteArray("nCols 2\nnRows 4\nxllcorner 0.00\ncellsize 1\nnodata_value 9999.00\n")
            << 5 << "A la cabecera de «%1» le falta la línea de yllcorner";
        QTest::newRow("GRASS: multiplier: que no es 1")
            << QByteArray(
                   "north: 1\nsouth: 0\neast: 1\nwest: 0\nrows: 1\ncols: 1\n"
                   "multiplier: 0.1\n")
            << 7 << "La línea 7 de «%1» pide multiplicar los valores por «0.1»";
        QTest::newRow("valor enorme en la línea 6")
            << QByteArray("1\n2\nx 1.0\ny 1.0\nc 1.0\nnd ") + QByteArray(100000, '9') << 6
            << "demasiado largo";
    }
    void errores() {
        QFETCH(QByteArray, origen);
        QFETCH(int, lineas_cabecera);
        QFETCH(QString, causa);
        Lector_origen lector(carpeta_.Escribir(origen));
        try {
            Leer_cabecera(lector, lineas_cabecera);
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(causa.replace("%1", lector.Ruta())),
                     e.what());
        }
    }
};

QTEST_MAIN(Cabecera_test)
#include "cabecera_test.moc"
