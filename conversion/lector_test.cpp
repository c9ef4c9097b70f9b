#include "conversion/lector.h"

#include <QTemporaryDir>
#include <QTest>

#include "conversion/ficheros_prueba.h"

using tesmalo::Extremos;
using tesmalo::Lector_origen;

namespace {

// Lee todo el fichero como lista de líneas, cada una como lista de campos.
QList<QList<QByteArray>> Leer_todo(const QString& ruta, qsizetype bloque) {
    Lector_origen lector(ruta, bloque);
    QList<QList<QByteArray>> lineas;
    while (!lector.Al_final()) {
        QList<QByteArray> campos;
        QByteArray campo;
        while (lector.Siguiente_campo([&](const char* d, qsizetype n) { campo.append(d, n); })) {
            campos.append(campo);
            campo.clear();
        }
        lineas.append(campos);
    }
    return lineas;
}

}  // namespace

using Lineas = QList<QList<QByteArray>>;

class Lector_test : public QObject {
    Q_OBJECT
    QTemporaryDir carpeta_;

    QString Escribir(const QByteArray& contenido) {
        const QString ruta = carpeta_.filePath(QStringLiteral("origen.txt"));
        tesmalo::Escribir_fichero_prueba(ruta, contenido);
        return ruta;
    }

  private slots:
    void lineas_data() {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<Lineas>("esperado");
        QTest::newRow("LF") << QByteArray("1 2\n3\n") << Lineas{{"1", "2"}, {"3"}};
        QTest::newRow("CRLF") << QByteArray("1 2\r\n3\r\n") << Lineas{{"1", "2"}, {"3"}};
        QTest::newRow("CR suelto") << QByteArray("1 2\r3\r") << Lineas{{"1", "2"}, {"3"}};
        QTest::newRow("mezcla") << QByteArray("1\r\n2\r3\n4") << Lineas{{"1"}, {"2"}, {"3"}, {"4"}};
        QTest::newRow("sin fin de línea al final") << QByteArray("1 2") << Lineas{{"1", "2"}};
        QTest::newRow("fin de línea al final no abre otra") << QByteArray("1\n") << Lineas{{"1"}};
        QTest::newRow("CRLF al final no abre otra") << QByteArray("1\r\n") << Lineas{{"1"}};
        QTest::newRow("LF CR son dos fines") << QByteArray("1\n\r2") << Lineas{{"1"}, {}, {"2"}};
        QTest::newRow("líneas en blanco") << QByteArray("\n  \n\r\n") << Lineas{{}, {}, {}};
        QTest::newRow("vacío") << QByteArray() << Lineas{};
        QTest::newRow("espacios sueltos") << QByteArray("  7   8  \n") << Lineas{{"7", "8"}};
        QTest::newRow("tabulador es parte del campo")
            << QByteArray("a\tb c\n") << Lineas{{"a\tb", "c"}};
        QTest::newRow("NUL y bytes altos")
            << QByteArray("\x00\xff \xf1\n", 5) << Lineas{{QByteArray("\x00\xff", 2), "\xf1"}};
    }
    // Cada caso, con bloques de lectura de 1, 2, 3 y 1 MiB bytes: los campos y los CRLF
    // partidos entre dos bloques deben leerse igual.
    void lineas() {
        QFETCH(QByteArray, contenido);
        QFETCH(Lineas, esperado);
        const QString ruta = Escribir(contenido);
        for (qsizetype bloque : {1, 2, 3, 1 << 20}) QCOMPARE(Leer_todo(ruta, bloque), esperado);
    }

    void extremos_data() {
        QTest::addColumn<QByteArray>("linea");
        QTest::addColumn<QByteArray>("primero");
        QTest::addColumn<QByteArray>("ultimo");
        QTest::newRow("clave y valor")
            << QByteArray("ncols 401\r\n") << QByteArray("ncols") << QByteArray("401");
        QTest::newRow("con igual")
            << QByteArray("  ncols = 401  \n") << QByteArray("ncols") << QByteArray("401");
        QTest::newRow("un campo, CR suelto")
            << QByteArray("401\r") << QByteArray("401") << QByteArray("401");
        QTest::newRow("vacía") << QByteArray("\n") << QByteArray() << QByteArray();
        QTest::newRow("sólo espacios") << QByteArray("    \n") << QByteArray() << QByteArray();
    }
    void extremos() {
        QFETCH(QByteArray, linea);
        QFETCH(QByteArray, primero);
        QFETCH(QByteArray, ultimo);
        for (qsizetype bloque : {1, 4, 1 << 20}) {
            Lector_origen lector(Escribir(linea + "siguiente"), bloque);
            Extremos e;
            lector.Leer_extremos(e);
            QCOMPARE(QByteArray::fromStdString(e.primero), primero);
            QCOMPARE(QByteArray::fromStdString(e.ultimo), ultimo);
            QCOMPARE(lector.Linea(), 2);
            lector.Leer_extremos(e);
            QCOMPARE(e.primero, "siguiente");
            QVERIFY(lector.Al_final());
        }
    }

    // Un campo enorme se guarda cortado y marcado, sin que la memoria crezca con él.
    void extremo_demasiado_largo() {
        Lector_origen lector(Escribir("a " + QByteArray(Extremos::Largo_maximo + 10, '7') + "\n"));
        Extremos e;
        lector.Leer_extremos(e);
        QCOMPARE(e.primero, "a");
        QVERIFY(!e.primero_largo);
        QVERIFY(e.ultimo_largo);
        QCOMPARE(e.ultimo.size(), Extremos::Largo_maximo);
    }

    void saltar_cuenta_campos() {
        Lector_origen lector(Escribir("1 2 3\n4\n"));
        QVERIFY(lector.Siguiente_campo([](const char*, qsizetype) {}));
        QCOMPARE(lector.Saltar_linea(), 2);
        QCOMPARE(lector.Saltar_linea(), 1);
        QVERIFY(lector.Al_final());
    }

    void citar_data() {
        QTest::addColumn<QByteArray>("texto");
        QTest::addColumn<QString>("cita");
        QTest::newRow("tal cual") << QByteArray("ncols") << "ncols";
        QTest::newRow("UTF-8") << QByteArray(
                                      "se\xc3\xb1"
                                      "al")
                               << QString::fromUtf8("señal");
        QTest::newRow("controles a la vista") << QByteArray("a\tb\x00", 4) << "a\\x09b\\x00";
        QTest::newRow("cortado a 40")
            << QByteArray(50, '7') << QString(40, '7') + QString::fromUtf8("…");
    }
    void citar() {
        QFETCH(QByteArray, texto);
        QFETCH(QString, cita);
        QCOMPARE(tesmalo::Citar(std::string_view(texto.constData(), texto.size())), cita);
    }

    // Un origen que alguien acorta mientras se lee no se da por leído entero: se acaba antes
    // del tamaño que tenía al abrirlo, y eso es un error, no el final del fichero.
    void acortado_mientras_se_lee() {
        const QString ruta = Escribir("1 2 3 4 5 6 7 8 9 10\n11 12 13 14 15 16 17 18 19 20\n");
        Lector_origen lector(ruta, 8);
        QVERIFY(lector.Siguiente_campo([](const char*, qsizetype) {}));
        QVERIFY(QFile::resize(ruta, 20));
        try {
            while (!lector.Al_final()) lector.Saltar_linea();
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            const QString mensaje = QString::fromUtf8(e.what());
            QVERIFY2(mensaje.contains("se ha acortado mientras se leía: tenía 51 bytes y se acaba "
                                      "en el byte 20"),
                     qPrintable(mensaje));
            QVERIFY2(mensaje.contains(ruta), qPrintable(mensaje));
        }
    }

    // Lo que crece mientras se lee, en cambio, se lee también.
    void alargado_mientras_se_lee() {
        const QString ruta = Escribir("1 2\n");
        Lector_origen lector(ruta, 2);
        QVERIFY(lector.Siguiente_campo([](const char*, qsizetype) {}));
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::Append) && f.write("3 4\n") == 4);
        f.close();
        QCOMPARE(lector.Saltar_linea(), 1);
        QCOMPARE(lector.Saltar_linea(), 2);
        QVERIFY(lector.Al_final());
    }

    void errores_de_apertura_data() {
        QTest::addColumn<QString>("ruta");
        QTest::addColumn<QString>("causa");
        QTest::newRow("no existe")
            << carpeta_.filePath("no_existe.asc") << "No se puede abrir el fichero de origen";
        QTest::newRow("carpeta") << carpeta_.path() << "es una carpeta";
        QTest::newRow("vacía") << QString() << "No se ha indicado el fichero de origen";
    }
    void errores_de_apertura() {
        QFETCH(QString, ruta);
        QFETCH(QString, causa);
        try {
            Lector_origen lector(ruta);
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            const QString mensaje = QString::fromUtf8(e.what());
            QVERIFY2(mensaje.contains(causa), qPrintable(mensaje));
            QVERIFY2(mensaje.contains(ruta), qPrintable(mensaje));
        }
    }
};

QTEST_APPLESS_MAIN(Lector_test)
#include "lector_test.moc"
