#include "toolkit/controles.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace tesmalo;
using namespace Qt::StringLiterals;

class Controles_test : public QObject {
    Q_OBJECT
  private slots:
    void colocar_en_puntos() {
        QWidget ventana;
        auto* campo = new QLineEdit(&ventana);
        Colocar_control(campo, QRectF(138, 12, 36, 24));
        const double k = ventana.logicalDpiX() / 72.0, m = ventana.logicalDpiY() / 72.0;
        QCOMPARE(campo->geometry(),
                 QRect(qRound(138 * k), qRound(12 * m), qRound(36 * k), qRound(24 * m)));
        // La lectura devuelve lo puesto, no lo que quedó tras redondear a píxeles.
        Poner_ancho(campo, 215.4);
        QCOMPARE(Leer_ancho(campo), 215.4);
        QCOMPARE(campo->width(), qRound(215.4 * k));
        Poner_ancho(campo, -3);
        QCOMPARE(campo->width(), 0);
    }

    void dentro_de_un_marco_se_mide_desde_el_interior() {
        QWidget ventana;
        auto* marco = new QGroupBox(u"50.000%"_s, &ventana);
        Colocar_control(marco, QRectF(6, 138, 204, 28));
        auto* barra = new QLabel(marco);
        Colocar_control(barra, QRectF(2.3, 5, 20, 13));
        QVERIFY(marco->contentsRect().top() > 0);  // el título ocupa el borde de arriba
        QCOMPARE(barra->pos(),
                 marco->contentsRect().topLeft() +
                     QPoint(Convertir_puntos_x(2.3, barra), Convertir_puntos_y(5, barra)));
        QCOMPARE(Leer_posicion(barra), QRectF(2.3, 5, 20, 13));
    }

    void el_autoajuste_sigue_al_texto() {
        QWidget ventana;
        auto* etiqueta = new QLabel(&ventana);
        etiqueta->setWordWrap(true);
        Colocar_control(etiqueta, QRectF(12, 12, 120, 24));
        Poner_autoajuste(etiqueta, true);
        Poner_titulo(etiqueta, u"FILAS"_s);
        const double una_linea = Leer_posicion(etiqueta).height();
        QVERIFY(una_linea > 0);
        Poner_titulo(etiqueta, u"NÚM. de líneas que definen la cabecera:"_s);
        const QRectF partida = Leer_posicion(etiqueta);
        QVERIFY2(partida.height() >= 1.9 * una_linea, "el texto largo se parte en dos líneas");
        QCOMPARE(partida.width(), 120.0);
        QCOMPARE(partida.topLeft(), QPointF(12, 12));
        QCOMPARE(etiqueta->height(), Convertir_puntos_y(partida.height(), etiqueta));
        Poner_titulo(etiqueta, u"Generando nuevo fichero en:\n/tmp/zona1_reestruct.txt"_s);
        QVERIFY(Leer_posicion(etiqueta).height() >= 1.9 * una_linea);

        // Un alto puesto a mano se mantiene hasta el siguiente título.
        Poner_alto(etiqueta, 28);
        QCOMPARE(Leer_posicion(etiqueta).height(), 28.0);
        Poner_titulo(etiqueta, u"FILAS"_s);
        QCOMPARE(Leer_posicion(etiqueta).height(), una_linea);

        // Sin autoajuste el alto no cambia.
        Poner_autoajuste(etiqueta, false);
        Poner_alto(etiqueta, 24);
        Poner_titulo(etiqueta, u"NÚM. de líneas que definen la cabecera:"_s);
        QCOMPARE(Leer_posicion(etiqueta).height(), 24.0);
    }

    void titulos_con_tecla_de_acceso_data() {
        QTest::addColumn<QString>("tecla");
        QTest::addColumn<QString>("titulo");
        QTest::addColumn<QString>("para_qt");
        QTest::newRow("primera letra") << "S"
                                       << "Seleccionar fichero origen"
                                       << "&Seleccionar fichero origen";
        QTest::newRow("minúscula en medio") << "N"
                                            << "Generando nuevo fichero en:\n/a/b"
                                            << "Ge&nerando nuevo fichero en:\n/a/b";
        QTest::newRow("un & se ve tal cual") << "I"
                                             << "R&D Iniciar"
                                             << "R&&D &Iniciar";
        QTest::newRow("sin tecla") << ""
                                   << "a&b"
                                   << "a&&b";
        QTest::newRow("la letra no aparece") << "N"
                                             << ""
                                             << "";
    }
    void titulos_con_tecla_de_acceso() {
        QFETCH(QString, tecla);
        QFETCH(QString, titulo);
        QFETCH(QString, para_qt);
        QLabel etiqueta;
        if (!tecla.isEmpty()) Poner_tecla_acceso(&etiqueta, tecla[0]);
        Poner_titulo(&etiqueta, titulo);
        QCOMPARE(etiqueta.text(), para_qt);
        QCOMPARE(Leer_titulo(&etiqueta), titulo);
    }

    void el_indice_de_tabulacion_corre_a_los_de_detras() {
        QWidget ventana;
        QList<QLineEdit*> campos;
        QList<QWidget*> orden;
        for (int i = 0; i < 4; ++i) {
            campos << new QLineEdit(&ventana);
            campos.last()->setObjectName(QString::number(i));
            orden << campos.last();
        }
        Poner_indice_tabulacion(orden, campos[3], 0);
        Poner_indice_tabulacion(orden, campos[1], 3);
        QCOMPARE(orden, (QList<QWidget*>{campos[3], campos[0], campos[2], campos[1]}));

        ventana.show();
        ventana.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&ventana));
        campos[3]->setFocus();
        QStringList recorrido;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            recorrido << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(recorrido, (QStringList{"0", "2", "1", "3", "0"}));
    }
};

QTEST_MAIN(Controles_test)
#include "controles_test.moc"
