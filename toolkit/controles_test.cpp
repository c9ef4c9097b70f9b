#include "toolkit/controles.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "toolkit/marco.h"

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

    // Dentro de un Marco las posiciones se miden desde el interior, dentro del borde, y lo que
    // no cabe se corta en el borde: la barra queda siempre dentro.
    void dentro_de_un_marco_se_mide_desde_el_interior_data() {
        QTest::addColumn<QRectF>("barra");
        QTest::addColumn<bool>("cortada");
        QTest::newRow("la barra de la ventana") << QRectF(2.3, 5, 194, 13) << false;
        QTest::newRow("más ancha que el interior") << QRectF(2.3, 5, 242.5, 13) << true;
        QTest::newRow("más alta que el interior") << QRectF(2.3, 5, 20, 40) << true;
    }
    void dentro_de_un_marco_se_mide_desde_el_interior() {
        QFETCH(QRectF, barra);
        QFETCH(bool, cortada);
        QWidget ventana;
        auto* marco = new Marco(&ventana);
        QFont fuente(u"Tahoma"_s);
        fuente.setPointSizeF(8.4);
        fuente.setBold(true);
        marco->setFont(fuente);
        Poner_titulo(marco, u"50.000%"_s);
        Colocar_control(marco, QRectF(6, 138, 204, 28));
        auto* etiqueta = new QLabel(marco);
        Colocar_control(etiqueta, barra);
        const QRect interior = marco->Interior();
        // El título va sobre el borde de arriba, que empieza a su media altura.
        QVERIFY(interior.top() > 0 && interior.top() < marco->fontMetrics().height());
        QVERIFY(marco->rect().contains(interior) && interior != marco->rect());
        QCOMPARE(etiqueta->pos(),
                 interior.topLeft() + QPoint(Convertir_puntos_x(barra.left(), etiqueta),
                                             Convertir_puntos_y(barra.top(), etiqueta)));
        QVERIFY2(interior.contains(etiqueta->geometry()),
                 qPrintable(u"%1 fuera de %2"_s.arg(QVariant(etiqueta->geometry()).toString(),
                                                    QVariant(interior).toString())));
        QCOMPARE(etiqueta->width() < Convertir_puntos_x(barra.width(), etiqueta) ||
                     etiqueta->height() < Convertir_puntos_y(barra.height(), etiqueta),
                 cortada);
        QCOMPARE(Leer_posicion(etiqueta), barra);
    }

    // Una ruta que no cabe en sus líneas pierde el final de la carpeta, nunca el nombre.
    void acortar_ruta_data() {
        QTest::addColumn<QString>("ruta");
        QTest::addColumn<int>("lineas");
        QTest::addColumn<QString>("principio");  // con lo que empieza lo mostrado, sin saltos
        QTest::addColumn<QString>("final");      // con lo que acaba
        QString honda = u"/home/usuario/proyectos"_s;
        for (int i = 1; i <= 6; ++i) honda += u"/hoja-%1-del-modelo-digital-del-terreno"_s.arg(i);
        QTest::newRow("cabe en una línea")
            << "/datos/zona1_reestruct.txt" << 2 << "/datos/zona1_reestruct.txt"
            << "/datos/zona1_reestruct.txt";
        QTest::newRow("cabe en dos líneas, entera")
            << "/home/usuario/proyectos/hoja-1-del-modelo-digital-del-terreno/zona.txt" << 2
            << "/home/usuario/proyectos/hoja-1-del-modelo-digital-del-terreno/zona.txt"
            << "/home/usuario/proyectos/hoja-1-del-modelo-digital-del-terreno/zona.txt";
        QTest::newRow("no cabe: sin el final de la carpeta")
            << honda + u"/zona_reestruct.txt"_s << 2 << "/home/usuario/proyectos/"
            << "…/zona_reestruct.txt";
        QTest::newRow("en una sola línea") << honda + u"/zona_reestruct.txt"_s << 1 << "/home/"
                                           << "…/zona_reestruct.txt";
        QTest::newRow("ni el nombre cabe: su final")
            << u"/datos/"_s + QString(300, u'n') + u"_fin.txt"_s << 2 << "…nnn"
            << "nnn_fin.txt";
    }
    void acortar_ruta() {
        QFETCH(QString, ruta);
        QFETCH(int, lineas);
        QFETCH(QString, principio);
        QFETCH(QString, final);
        QFont fuente(u"Arial"_s);
        fuente.setPointSizeF(8);
        const QFontMetrics medida(fuente);
        const int ancho = 271;
        const QString texto = Acortar_ruta(ruta, medida, ancho, lineas);
        const QStringList partes = texto.split(u'\n');
        QVERIFY2(partes.size() <= lineas, qPrintable(texto));
        for (const QString& parte : partes)
            QVERIFY2(medida.horizontalAdvance(parte) <= ancho, qPrintable(parte));
        const QString mostrada = partes.join(QString());
        QVERIFY2(mostrada.startsWith(principio) && mostrada.endsWith(final), qPrintable(texto));
        if (principio == ruta) QCOMPARE(mostrada, ruta);
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
