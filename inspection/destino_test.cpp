#include "inspection/destino.h"

#include <QTest>

using tesmalo::Proponer_destino;
using namespace Qt::StringLiterals;

class Destino_test : public QObject {
    Q_OBJECT
  private slots:
    void proponer_data() {
        QTest::addColumn<QString>("origen");
        QTest::addColumn<QString>("carpeta");
        QTest::addColumn<QString>("propuesta");
        QTest::newRow(".asc") << "/datos/mdt/zona1.asc"
                              << "/datos/mdt/"
                              << "/datos/mdt/zona1_reestruct.txt";
        QTest::newRow(".txt también cambia") << "/datos/mdt/zona1.txt"
                                             << "/datos/mdt/"
                                             << "/datos/mdt/zona1_reestruct.txt";
        QTest::newRow(".gz, sin él") << "/datos/zona1.asc.gz"
                                     << "/datos/"
                                     << "/datos/zona1_reestruct.txt";
        QTest::newRow("nombre corto con .GZ") << "/datos/dem.GZ"
                                              << "/datos/"
                                              << "/datos/dem_reestruct.txt";
        QTest::newRow(".gz sin extensión debajo") << "/datos/zona1.gz"
                                                  << "/datos/"
                                                  << "/datos/zona1_reestruct.txt";
        QTest::newRow("en la raíz") << "/zona.dtm"
                                    << "/"
                                    << "/zona_reestruct.txt";
        QTest::newRow("puntos en la carpeta") << "/datos.mdt/zona.grd"
                                              << "/datos.mdt/"
                                              << "/datos.mdt/zona_reestruct.txt";
        QTest::newRow("sin extensión pierde cuatro") << "/datos/terreno"
                                                     << "/datos/"
                                                     << "/datos/ter_reestruct.txt";
        QTest::newRow("extensión de cuatro letras") << "/datos/zona.xyzw"
                                                    << "/datos/"
                                                    << "/datos/zona._reestruct.txt";
        QTest::newRow("nombre de cuatro") << "/datos/a.gr"
                                          << "/datos/"
                                          << "/datos/_reestruct.txt";
        QTest::newRow("sin carpeta") << "zona.asc"
                                     << ""
                                     << "zona_reestruct.txt";
        QTest::newRow("doble barra inicial") << "//servidor/mdt/zona.asc"
                                             << "//servidor/mdt/"
                                             << "//servidor/mdt/zona_reestruct.txt";
        QTest::newRow("caracteres no ASCII") << "/mapas/señal/ñandú.asc"
                                             << "/mapas/señal/"
                                             << "/mapas/señal/ñandú_reestruct.txt";
        // Los caracteres fuera del plano básico cuentan uno, y ninguno se corta por la mitad.
        QTest::newRow("cuatro emojis y letras") << u"/d/ab😀😀"_s << "/d/"
                                                << "/d/_reestruct.txt";
        QTest::newRow("emoji antes de la extensión") << u"/d/ab😀cde"_s << "/d/"
                                                     << "/d/ab_reestruct.txt";
#ifndef Q_OS_WIN
        QTest::newRow("la barra invertida es parte del nombre") << "/datos/a\\zona.asc"
                                                                << "/datos/"
                                                                << "/datos/a\\zona_reestruct.txt";
#endif
    }
    void proponer() {
        QFETCH(QString, origen);
        QFETCH(QString, carpeta);
        QFETCH(QString, propuesta);
        const auto p = Proponer_destino(origen);
        QCOMPARE(p.Carpeta_origen, carpeta);
        QCOMPARE(p.Ruta_destino, propuesta);
    }

    void nombre_corto_data() {
        QTest::addColumn<QString>("origen");
        QTest::newRow("tres caracteres") << "/datos/a.b";
        QTest::newRow("carpeta sola") << "/datos/";
        QTest::newRow("vacío") << "";
    }
    void nombre_corto() {
        QFETCH(QString, origen);
        try {
            Proponer_destino(origen);
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains("menos de cuatro caracteres"), e.what());
        }
    }
};

QTEST_APPLESS_MAIN(Destino_test)
#include "destino_test.moc"
