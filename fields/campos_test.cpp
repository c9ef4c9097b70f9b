#include "fields/campos.h"

#include <QTest>

using tesmalo::Rellenar_texto;
using tesmalo::Separar_campos;
using tesmalo::Unir_campos;

using Campos = QList<QByteArray>;

class Campos_test : public QObject {
    Q_OBJECT
  private slots:
    void separar_data() {
        QTest::addColumn<QByteArray>("texto");
        QTest::addColumn<char>("delimitador");
        QTest::addColumn<Campos>("esperado");
        QTest::newRow("espacios de sobra no dan campos vacíos")
            << QByteArray("  1  2   3 ") << ' ' << Campos{"1", "2", "3"};
        QTest::newRow("clave y valor") << QByteArray("ncols 401") << ' ' << Campos{"ncols", "401"};
        QTest::newRow("vacío da un campo vacío") << QByteArray("") << ' ' << Campos{""};
        QTest::newRow("sólo espacios da un campo vacío") << QByteArray("   ") << ' ' << Campos{""};
        QTest::newRow("tabuladores y espacios separan y se recortan")
            << QByteArray("\ta\tb \t c\t") << ' ' << Campos{"a", "b", "c"};
        QTest::newRow("punto decimal") << QByteArray("258.5") << '.' << Campos{"258", "5"};
        QTest::newRow("sin punto") << QByteArray("258") << '.' << Campos{"258"};
        QTest::newRow("punto final deja un campo vacío")
            << QByteArray("258.") << '.' << Campos{"258", ""};
        QTest::newRow("punto inicial no da campo") << QByteArray(".5") << '.' << Campos{"5"};
        QTest::newRow("negativo") << QByteArray("-999.000") << '.' << Campos{"-999", "000"};
        QTest::newRow("dos puntos") << QByteArray("1.2.3") << '.' << Campos{"1", "2", "3"};
        QTest::newRow("espacios dentro de un campo con punto")
            << QByteArray(" a b.c ") << '.' << Campos{"a b", "c"};
        QTest::newRow("bytes no ASCII se conservan") << QByteArray(
                                                            "\xf1"
                                                            "a \xff\x00z",
                                                            6)
                                                     << ' '
                                                     << Campos{
                                                            "\xf1"
                                                            "a",
                                                            QByteArray("\xff\x00z", 3)};
    }
    void separar() {
        QFETCH(QByteArray, texto);
        QFETCH(char, delimitador);
        QFETCH(Campos, esperado);
        QCOMPARE(Separar_campos(texto, delimitador), esperado);
    }

    void rellenar_data() {
        QTest::addColumn<QByteArray>("texto");
        QTest::addColumn<QByteArray>("esperado");
        QTest::newRow("ncols") << QByteArray("ncols") << QByteArray("ncols         ");
        QTest::newRow("nodata_value") << QByteArray("nodata_value") << QByteArray("nodata_value  ");
        QTest::newRow("xllcorner") << QByteArray("xllcorner") << QByteArray("xllcorner     ");
        QTest::newRow("cellsize") << QByteArray("cellsize") << QByteArray("cellsize      ");
        QTest::newRow("justo 14") << QByteArray("abcdefghijklmn") << QByteArray("abcdefghijklmn");
        QTest::newRow("más largo no se corta")
            << QByteArray("abcdefghijklmnop") << QByteArray("abcdefghijklmnop");
        QTest::newRow("vacío") << QByteArray() << QByteArray(14, ' ');
    }
    void rellenar() {
        QFETCH(QByteArray, texto);
        QFETCH(QByteArray, esperado);
        QCOMPARE(Rellenar_texto(texto, 14, " "), esperado);
    }

    void unir_data() {
        QTest::addColumn<Campos>("campos");
        QTest::addColumn<QByteArray>("esperado");
        QTest::newRow("tres") << Campos{"1", "2", "3"} << QByteArray("1 2 3");
        QTest::newRow("uno") << Campos{"7"} << QByteArray("7");
        QTest::newRow("vacío en medio da dos espacios")
            << Campos{"1", "", "3"} << QByteArray("1  3");
        QTest::newRow("no recorta") << Campos{" 1", "2 "} << QByteArray(" 1 2 ");
        QTest::newRow("ninguno") << Campos{} << QByteArray();
    }
    void unir() {
        QFETCH(Campos, campos);
        QFETCH(QByteArray, esperado);
        QCOMPARE(Unir_campos(campos, " "), esperado);
    }
};

QTEST_APPLESS_MAIN(Campos_test)
#include "campos_test.moc"
