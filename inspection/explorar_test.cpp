#include "inspection/explorar.h"

#include <QTemporaryDir>
#include <QTest>

#include "pruebas/apoyo.h"

using tesmalo::Cabecera_ejemplo;
using tesmalo::Explorar_cabecera;

class Explorar_test : public QObject {
    Q_OBJECT
    tesmalo::Carpeta_prueba carpeta_{QStringLiteral("origen.asc")};

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain)); }

    void explorar_data() {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<int>("lineas");
        QTest::addColumn<int>("columnas");
        QTest::addColumn<int>("filas");
        QTest::newRow("cabecera de seis") << Cabecera_ejemplo + "1.5 2.5 3.5\r\n"
                                          << 6 << 401 << 301;
        QTest::newRow("claves en mayúsculas y con igual")
            << QByteArray("NCOLS 401\nNrows = 301\nx 1\n7\n") << 3 << 401 << 301;
        QTest::newRow("comentarios tras la cabecera")
            << Cabecera_ejemplo + "comentario libre\nfecha de vuelo 15 de junio\n1 2\n"
            << 8 << 401 << 301;
        QTest::newRow("línea vacía en la cabecera")
            << QByteArray("ncols 3\nnrows 2\n\n   \n1 2 3\n") << 4 << 3 << 2;
        QTest::newRow("una línea de cabecera que empieza por número")
            << QByteArray("ncols 3\nnrows 2\n401 columnas\n") << 2 << 3 << 2;
        QTest::newRow("sin cabecera") << QByteArray("12.5 13.0 14.2\n1 2 3\n") << 0 << 14 << 0;
        QTest::newRow("una línea de cabecera")
            << QByteArray("ncols 401\n12.5 13.0 14.5\n") << 1 << 401 << 14;
        QTest::newRow("mitades al par") << QByteArray("a 400.5\nb 401.5\n1\n") << 2 << 400 << 402;
        QTest::newRow("CR suelto") << QByteArray("ncols 5\rnrows 6\r1\r") << 2 << 5 << 6;
        QTest::newRow("coma decimal española") << QByteArray("a 3,5\nb 4\n1\n") << 2 << 4 << 4;
        QTest::newRow("tabulador delante de un número")
            << QByteArray("a 3\nb 4\n\t1 2\n") << 2 << 3 << 4;
        QTest::newRow("valores separados por tabuladores")
            << QByteArray("ncols 3\nnrows 2\ncomentario\n1\t2\t3\n4\t5\t6\n") << 3 << 3 << 2;
        QTest::newRow("cabecera y valores separados por tabuladores")
            << QByteArray("ncols\t3\r\nnrows\t\t2\t\r\n1\t2\t3\r\n") << 2 << 3 << 2;
        QTest::newRow("líneas vacías seguidas antes de los valores")
            << QByteArray("a 3\nb 4\n\n\n\ncomentario\n1\n") << 6 << 3 << 4;
        QTest::newRow("primeras filas con nan e inf")
            << Cabecera_ejemplo + "nan nan 3\r\n-nan NaN 2\r\ninf 1 2\r\n"
            << 6 << 401 << 301;
        QTest::newRow("claves en otro orden")
            << QByteArray("NROWS 55\ncellsize 30.0\nxllcorner 0.0\nNcols 76\nyllcorner 0\n1\n") << 5
            << 76 << 55;
        QTest::newRow("GRASS")
            << QByteArray("north: 10\nsouth: 0\neast: 20\nwest: 0\nrows: 2\ncols:3\n* 2 3\n") << 6
            << 3 << 2;
        QTest::newRow("no lee los valores")
            << QByteArray("a 3\nb 4\n1\n") + QByteArray("\xff\x00 x", 4) << 2 << 3 << 4;
    }
    void explorar() {
        QFETCH(QByteArray, contenido);
        QFETCH(int, lineas);
        QFETCH(int, columnas);
        QFETCH(int, filas);
        const auto datos = Explorar_cabecera(carpeta_.Escribir(contenido));
        QCOMPARE(datos.lineas_cabecera, lineas);
        QCOMPARE(datos.columnas, columnas);
        QCOMPARE(datos.filas, filas);
    }

    void errores_data() {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<QString>("causa");
        QTest::newRow("vacío") << QByteArray() << "se acaba sin llegar a ninguna línea de valores";
        QTest::newRow("sólo cabecera")
            << Cabecera_ejemplo << "se acaba sin llegar a ninguna línea de valores";
        QTest::newRow("línea 1 sin número") << QByteArray("ncols\nnrows 3\n1\n") << "La línea 1 de";
        QTest::newRow("línea 2 vacía") << QByteArray("ncols 3\n\n1\n") << "La línea 2 de";
        QTest::newRow("línea 2 con palabra al final")
            << QByteArray("ncols 3\n401 columnas\n") << "La línea 2 de";
        QTest::newRow("cuenta fuera de 32 bits")
            << QByteArray("ncols 1E12\nnrows 3\n1\n") << "un entero de 32 bits";
        QTest::newRow("inf no es número")
            << QByteArray("ncols inf\nnrows 3\n1\n") << "termina en «inf»";
        // Lo que sigue rechazándose dice por qué y qué hacer.
        QTest::newRow("UTF-16 con marca de orden de bytes")
            << QByteArray(
                   "\xff\xfen\0 \0"
                   "3\0\n\0n\0 \0"
                   "2\0\n\0"
                   "1\0\n\0",
                   22)
            << "está en UTF-16 (empieza por una marca de orden de bytes)";
        QTest::newRow("UTF-16 sin marca: bytes nulos") << QByteArray(
                                                              "a 3\nb 2\n\0"
                                                              "1\0 \0"
                                                              "2\0\n",
                                                              16)
                                                       << "su línea 3 tiene bytes nulos";
        QTest::newRow("rejilla de Surfer") << QByteArray("DSAA\n3 2\n0 2\n0 1\n1 6\n1 2 3\n4 5 6\n")
                                           << "es una rejilla de Surfer en texto";
        QTest::newRow("columnas dos veces")
            << QByteArray("a 3\nnrows 2\nx 0\nncols 4\n1\n")
            << "Las líneas 1 y 4 de «%1» dan las dos el número de columnas";
        QByteArray larga = "a 1\nb 2\n";
        for (int i = 0; i < 32770; ++i) larga += "x\n";
        QTest::newRow("cabecera interminable") << larga << "demasiadas líneas";
    }
    void errores() {
        QFETCH(QByteArray, contenido);
        QFETCH(QString, causa);
        const QString ruta = carpeta_.Escribir(contenido);
        try {
            Explorar_cabecera(ruta);
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            const QString mensaje = QString::fromUtf8(e.what());
            QVERIFY2(mensaje.contains(causa.replace("%1", ruta)), qPrintable(mensaje));
            QVERIFY2(mensaje.contains(ruta), qPrintable(mensaje));
        }
    }

    // Con una configuración regional que no lee la coma decimal, unos valores con ella no se
    // toman por cabecera: se dice la línea y qué hacer. Con es_ES son valores.
    void coma_decimal_data() {
        QTest::addColumn<QByteArray>("valores");
        QTest::newRow("todas las líneas con coma") << QByteArray("0,100000E+06 2,5\n3,5 4,5\n");
        QTest::newRow("tras la primera, enteros") << QByteArray("0,100000E+06 2,5\n4 5\n");
    }
    void coma_decimal() {
        QFETCH(QByteArray, valores);
        const QString ruta = carpeta_.Escribir(Cabecera_ejemplo + valores);
        QCOMPARE(Explorar_cabecera(ruta).lineas_cabecera, 6);
        QLocale::setDefault(QLocale::c());
        try {
            Explorar_cabecera(ruta);
            QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
            const QString mensaje = QString::fromUtf8(e.what());
            QVERIFY2(mensaje.contains("La línea 7 de «" + ruta +
                                      "» empieza por «0,100000E+06», un número con coma decimal, "
                                      "y la configuración regional en uso (C)"),
                     qPrintable(mensaje));
        }
    }

    // El contador de 16 bits admite 32 765 líneas de cabecera, y ni una más.
    void limite_del_contador() {
        QByteArray contenido = "a 1\nb 2\n";
        for (int i = 2; i < 32765; ++i) contenido += "x\n";
        contenido += "1\n";
        QCOMPARE(Explorar_cabecera(carpeta_.Escribir(contenido)).lineas_cabecera, 32765);
        contenido.insert(8, "x\n");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 Explorar_cabecera(carpeta_.Escribir(contenido)));
    }

    void no_existe() {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 Explorar_cabecera(carpeta_.filePath("nada.asc")));
    }
};

QTEST_MAIN(Explorar_test)
#include "explorar_test.moc"
