// La ventana entera, sin pantalla y con cajas de guion: del inicio a la conversión y al cierre.
// Los clics pasan por la QWindow, como los del sistema de ventanas.
#define QTEST_QPA_MOUSE_HANDLING
#include "dialog/userform1.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

#include "conversion/transformar.h"
#include "pruebas/apoyo.h"
#include "pruebas/filtros_origen.h"
#include "toolkit/controles.h"
#include "toolkit/herramientas_guion.h"

using namespace tesmalo;
using namespace Qt::StringLiterals;

namespace {

// 6 líneas de cabecera y 4 × 2 valores repartidos en líneas de otra manera.
const QByteArray Rejilla_4x2 =
    "ncols 4\nnrows 2\nxllcorner 258.000\nyllcorner 448.500\ncellsize 15.000\n"
    "nodata_value -999.000\n1 2 3 4 5 6\n7 8\n";
// La cabecera anuncia 3 filas y sólo hay 2 y media.
const QByteArray Rejilla_corta =
    "ncols 4\nnrows 3\nxllcorner 258.000\nyllcorner 448.500\ncellsize 15.000\n"
    "nodata_value -999.000\n"
    "1 2 3 4\n5 6 7 8\n9 10\n";
// La cabecera anuncia 2 filas y hay 3 y media: las 2 y otro bloque con una fila y media.
const QByteArray Rejilla_larga =
    "ncols 4\nnrows 2\nxllcorner 258.000\nyllcorner 448.500\ncellsize 15.000\n"
    "nodata_value -999.000\n"
    "1 2 3 4\n5 6 7 8\n9 10 11 12\n13 14\n";
const QString Mensaje_campo = u"este campo no puede quedar vacío y debe ser un número entero"_s;

// Lo que se ve en un momento de la conversión.
struct Vista {
    QString titulo_ventana, titulo_marco, etiqueta;
    double barra = -1;
    bool etiqueta_visible = false, marco_visible = false, boton_visible = false;
};

// La ventana con sus cajas de guion y una carpeta para las rejillas.
struct Banco {
    QTemporaryDir carpeta;
    Guion_cajas guion;
    std::unique_ptr<UserForm1> ventana;

    QString Ruta(const QString& nombre) const { return carpeta.filePath(nombre); }

    bool Abrir() {
        ventana = std::make_unique<UserForm1>(guion.Herramientas());
        ventana->show();
        ventana->activateWindow();
        return QTest::qWaitForWindowActive(ventana.get());
    }

    // Elige `origen` en el selector y responde a la caja del destino con `respuesta`.
    void Elegir(const QString& origen,
                std::function<QString(const QString&)> respuesta = Aceptar_propuesta) {
        guion.ficheros << origen;
        guion.textos << respuesta;
        QTest::mouseClick(ventana->CommandButton1, Qt::LeftButton);
        Esperar_accion();
    }

    // Pulsa el botón que arranca la conversión.
    void Arrancar() {
        QTest::mouseClick(ventana->CommandButton2, Qt::LeftButton);
        Esperar_accion();
    }

    // La acción en curso acaba cuando su tarea del hilo de trabajo ha vuelto a la ventana.
    void Esperar_accion() { QTRY_VERIFY(!ventana->Accion_en_curso()); }

    Vista Ver() const {
        return {ventana->windowTitle(),
                Leer_titulo(ventana->FrameProgress),
                Leer_titulo(ventana->Label4),
                Leer_ancho(ventana->LabelProgress),
                ventana->Label4->isVisible(),
                ventana->FrameProgress->isVisible(),
                ventana->CommandButton2->isVisible()};
    }
};

QWidget* Foco() {
    return QApplication::focusWidget();
}

}  // namespace

class Userform1_test : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // Cerrar la ventana no debe mandar salir a la aplicación de pruebas.
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void estado_inicial() {
        Banco b;
        QVERIFY(b.Abrir());
        UserForm1& v = *b.ventana;
        QCOMPARE(v.windowTitle(), u"Tranformar fichero DTM"_s);
        QCOMPARE(v.size(), QSize(Convertir_puntos_x(215.4, &v), Convertir_puntos_y(180.6, &v)));
        QCOMPARE(v.minimumSize(), v.maximumSize());
        QVERIFY(!v.windowIcon().isNull());
        for (QLineEdit* campo : {v.TextBox1, v.TextBox2, v.TextBox3}) {
            QCOMPARE(campo->text(), u"0"_s);
            QCOMPARE(campo->font().family(), u"Arial"_s);
            QCOMPARE(campo->font().pointSizeF(), 14.0);
        }
        for (QLabel* etiqueta : v.findChildren<QLabel*>()) {
            QCOMPARE(etiqueta->font().family(), u"Arial"_s);
            QCOMPARE(etiqueta->font().pointSizeF(), 8.0);
        }
        QCOMPARE(Foco(), v.CommandButton1);
        QVERIFY(v.CommandButton1->isVisible());
        QVERIFY(!v.CommandButton2->isVisible());
        QVERIFY(!v.FrameProgress->isVisible());
        QVERIFY(!v.Label4->isVisible());
        for (QWidget* abajo :
             {static_cast<QWidget*>(v.CommandButton1), static_cast<QWidget*>(v.CommandButton2),
              static_cast<QWidget*>(v.FrameProgress)})
            QCOMPARE(Leer_posicion(abajo), QRectF(6, 138, 204, 28));
        QCOMPARE(Leer_posicion(v.Label4), QRectF(6, 108, 204, 28));
        QCOMPARE(Leer_titulo(v.FrameProgress), u"0.0%"_s);
        QCOMPARE(v.LabelProgress->width(), 0);
        // Label1 conserva su ancho y se parte en dos líneas.
        const QRectF etiqueta1 = Leer_posicion(v.Label1);
        QCOMPARE(etiqueta1.width(), 120.0);
        QVERIFY(v.Label1->height() >= 2 * QFontMetrics(v.Label1->font()).lineSpacing());
        QVERIFY(Leer_posicion(v.Label2).height() < 24);  // una línea de Arial 8

        QList<QWidget*> adelante, atras;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(Foco(), Qt::Key_Tab);
            adelante << Foco();
        }
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(Foco(), Qt::Key_Backtab, Qt::ShiftModifier);
            atras << Foco();
        }
        QCOMPARE(adelante, (QList<QWidget*>{v.TextBox1, v.TextBox2, v.TextBox3, v.CommandButton1,
                                            v.TextBox1}));
        QCOMPARE(atras, (QList<QWidget*>{v.CommandButton1, v.TextBox3, v.TextBox2, v.TextBox1,
                                         v.CommandButton1}));
        QVERIFY(b.guion.mensajes.isEmpty());
    }

    void selector_cancelado() {
        Banco b;
        QVERIFY(b.Abrir());
        QTest::mouseClick(b.ventana->CommandButton1, Qt::LeftButton);
        QCOMPARE(b.guion.elecciones.size(), 1);
        const Guion_cajas::Eleccion& eleccion = b.guion.elecciones[0];
        QCOMPARE(eleccion.entrada, 3);
        QStringList descripciones, patrones, esperadas, esperados;
        for (const Filtro_fichero& filtro : eleccion.filtros)
            descripciones << filtro.descripcion, patrones << filtro.patron;
        for (const Filtro_fichero& filtro : Filtros_origen_prueba)
            esperadas << filtro.descripcion, esperados << filtro.patron;
        QCOMPARE(descripciones, esperadas);
        QCOMPARE(patrones, esperados);
        QVERIFY(b.ventana->CommandButton1->isVisible());
        QVERIFY(!b.ventana->CommandButton2->isVisible());
        QVERIFY(b.ventana->Ruta_origen.isEmpty());
        QVERIFY(b.guion.peticiones.isEmpty());
        QCOMPARE(b.ventana->TextBox1->text(), u"0"_s);
        QTest::keyClick(Foco(), Qt::Key_S, Qt::AltModifier);  // y otra vez, con su tecla
        QTRY_COMPARE(b.guion.elecciones.size(), 2);
    }

    void seleccion_data() {
        QTest::addColumn<QString>("respuesta");  // nulo: acepta la propuesta; «=…»: tal cual
        QTest::addColumn<QString>("destino");    // relativo a la carpeta; nulo: vacío
        QTest::newRow("propuesta aceptada") << QString() << "zona_reestruct.txt";
        QTest::newRow("propuesta cambiada") << "otra.dat"
                                            << "otra.dat";
        QTest::newRow("relativa: junto al origen") << "=sub/otra.dat"
                                                   << "sub/otra.dat";
        QTest::newRow("caja cancelada") << "" << QString();
    }
    void seleccion() {
        QFETCH(QString, respuesta);
        QFETCH(QString, destino);
        Banco b;
        QVERIFY(b.Abrir());
        const QString origen = b.Ruta(u"zona.asc"_s);
        QVERIFY(Escribir(origen, Rejilla_4x2));
        QStringList campos_con_la_caja;
        b.Elegir(origen, [&](const QString& propuesta) {
            for (QLineEdit* campo : {b.ventana->TextBox1, b.ventana->TextBox2, b.ventana->TextBox3})
                campos_con_la_caja << campo->text();
            return respuesta.isNull()           ? propuesta
                   : respuesta.isEmpty()        ? QString()
                   : respuesta.startsWith(u'=') ? respuesta.mid(1)
                                                : b.Ruta(respuesta);
        });
        UserForm1& v = *b.ventana;
        QCOMPARE(b.guion.peticiones.size(), 1);
        QCOMPARE(b.guion.peticiones[0].predeterminado, b.Ruta(u"zona_reestruct.txt"_s));
        QCOMPARE(campos_con_la_caja, (QStringList{u"0"_s, u"0"_s, u"0"_s}));
        QCOMPARE(v.Ruta_origen, origen);
        QCOMPARE(v.Carpeta_origen, b.carpeta.path() + u'/');
        QCOMPARE(v.Ruta_destino, destino.isNull() ? QString() : b.Ruta(destino));
        QCOMPARE(v.TextBox1->text(), u"6"_s);
        QCOMPARE(v.TextBox2->text(), u"4"_s);
        QCOMPARE(v.TextBox3->text(), u"2"_s);
        QVERIFY(!v.CommandButton1->isVisible());
        QVERIFY(v.CommandButton2->isVisible());
        QCOMPARE(Foco(), v.TextBox1);
        QVERIFY(b.guion.mensajes.isEmpty());
    }

    void validacion_data() {
        QTest::addColumn<int>("campo");  // 1, 2 o 3
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("manera");  // "Tab", "Mayús+Tab" o "clic"
        QTest::addColumn<bool>("aceptado");
        QTest::newRow("vacío, Tab") << 1 << ""
                                    << "Tab" << false;
        QTest::newRow("palabra, Mayús+Tab") << 2 << "abc"
                                            << "Mayús+Tab" << false;
        QTest::newRow("palabra, clic") << 3 << "doce"
                                       << "clic" << false;
        QTest::newRow("número con palabra, clic") << 1 << "12 filas"
                                                  << "clic" << false;
        QTest::newRow("entero, Tab") << 2 << "12"
                                     << "Tab" << true;
        QTest::newRow("blancos alrededor, Mayús+Tab") << 3 << " 7 "
                                                      << "Mayús+Tab" << true;
        QTest::newRow("negativo, clic") << 1 << "-5"
                                        << "clic" << true;
        QTest::newRow("decimal, Tab") << 3 << "12.5"
                                      << "Tab" << true;
        QTest::newRow("más de 32 bits, clic") << 2 << "1E12"
                                              << "clic" << true;
    }
    void validacion() {
        QFETCH(int, campo);
        QFETCH(QString, texto);
        QFETCH(QString, manera);
        QFETCH(bool, aceptado);
        Banco b;
        QVERIFY(b.Abrir());
        UserForm1& v = *b.ventana;
        QLineEdit* campos[] = {v.TextBox1, v.TextBox2, v.TextBox3};
        QLineEdit* este = campos[campo - 1];
        QLineEdit* otro = campos[campo % 3];
        QString visto_con_el_mensaje;
        b.guion.al_mostrar_mensaje = [&](const auto&) { visto_con_el_mensaje = este->text(); };
        este->setFocus();
        QTRY_COMPARE(Foco(), este);
        este->setText(texto);

        if (manera == u"Tab")
            QTest::keyClick(este, Qt::Key_Tab);
        else if (manera == u"Mayús+Tab")
            QTest::keyClick(este, Qt::Key_Backtab, Qt::ShiftModifier);
        else
            QTest::mouseClick(otro, Qt::LeftButton);

        if (aceptado) {
            QVERIFY(b.guion.mensajes.isEmpty());
            QCOMPARE(este->text(), texto);
            QVERIFY(Foco() != este);
            return;
        }
        QCOMPARE(b.guion.mensajes.size(), 1);
        QCOMPARE(b.guion.mensajes[0].texto, Mensaje_campo);
        QCOMPARE(b.guion.mensajes[0].titulo, u"Tesmalo"_s);
        QCOMPARE(visto_con_el_mensaje, texto);
        QCOMPARE(este->text(), u"0"_s);
        QCOMPARE(Foco(), este);
        for (QLineEdit* resto : campos)
            if (resto != este) QCOMPARE(resto->text(), u"0"_s);
        // El "0" queda elegido: la cifra que se escribe lo sustituye, y el foco ya sale.
        QTest::keyClick(este, Qt::Key_7);
        QCOMPARE(este->text(), u"7"_s);
        QTest::keyClick(este, Qt::Key_Tab);
        QCOMPARE(b.guion.mensajes.size(), 1);
        QVERIFY(Foco() != este);
    }

    // Una letra con Alt no se escribe nunca en un campo: la de un botón oculto no hace nada, ni
    // la que no es de ningún control.
    void alt_con_letra_no_escribe() {
        Banco b;
        QVERIFY(b.Abrir());
        UserForm1& v = *b.ventana;
        QTest::keyClick(Foco(), Qt::Key_Tab);
        QCOMPARE(Foco(), v.TextBox1);
        QTest::keyClick(v.TextBox1, Qt::Key_I, Qt::AltModifier);  // CommandButton2, oculto
        QCOMPARE(v.TextBox1->text(), u"0"_s);

        const QString origen = b.Ruta(u"zona.asc"_s);
        QVERIFY(Escribir(origen, Rejilla_4x2));
        b.Elegir(origen);
        QCOMPARE(Foco(), v.TextBox1);
        QTest::keyClick(v.TextBox1, Qt::Key_S, Qt::AltModifier);  // CommandButton1, ya oculto
        QTest::keyClick(v.TextBox1, Qt::Key_X, Qt::AltModifier);  // de ningún control
        // Un atajo pulsa su botón con animateClick: lo deja hundido y lo suelta al actuar. Ningún
        // botón hundido: ningún clic pendiente.
        QVERIFY(!v.CommandButton1->isDown() && !v.CommandButton2->isDown());
        QCOMPARE(v.TextBox1->text(), u"6"_s);
        QCOMPARE(b.guion.elecciones.size(), 1);
        QTest::keyClick(v.TextBox1, Qt::Key_Tab);
        QVERIFY(b.guion.mensajes.isEmpty());
        QCOMPARE(Foco(), v.TextBox2);
    }

    // Alt+N lleva al siguiente control de la tabulación que toma el foco tras Label1:
    // CommandButton2 si se ve y, si no, da la vuelta hasta TextBox1.
    void alt_n_lleva_al_siguiente_control_data() {
        QTest::addColumn<bool>("elegido");
        QTest::addColumn<QString>("destino");
        QTest::newRow("inicio: CommandButton2 oculto") << false << "TextBox1";
        QTest::newRow("origen elegido: CommandButton2") << true << "CommandButton2";
    }
    void alt_n_lleva_al_siguiente_control() {
        QFETCH(bool, elegido);
        QFETCH(QString, destino);
        Banco b;
        QVERIFY(b.Abrir());
        UserForm1& v = *b.ventana;
        if (elegido) {
            QVERIFY(Escribir(b.Ruta(u"zona.asc"_s), Rejilla_4x2));
            b.Elegir(b.Ruta(u"zona.asc"_s));
        }
        v.TextBox3->setFocus();
        QTRY_COMPARE(Foco(), v.TextBox3);
        QTest::keyClick(v.TextBox3, Qt::Key_N, Qt::AltModifier);
        QCOMPARE(Foco()->objectName(), destino);
        QVERIFY(!v.CommandButton2->isDown());  // la etiqueta sólo mueve el foco: no lo pulsa
        QVERIFY(v.isVisible());
        QVERIFY(b.guion.elecciones.size() == (elegido ? 1 : 0) && b.guion.mensajes.isEmpty());
    }

    // Intro sobre el botón que tiene el foco lo pulsa; en un campo no pulsa nada.
    void intro_pulsa_el_boton_con_foco() {
        Banco b;
        QVERIFY(b.Abrir());
        UserForm1& v = *b.ventana;
        const QString origen = b.Ruta(u"zona.asc"_s);
        QVERIFY(Escribir(origen, Rejilla_4x2));
        QTest::keyClick(v.TextBox1, Qt::Key_Return);
        QTest::keyClick(v.TextBox2, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(b.guion.elecciones.isEmpty());
        QCOMPARE(Foco(), v.CommandButton1);
        b.guion.ficheros << origen;
        b.guion.textos << Aceptar_propuesta;
        QTest::keyClick(v.CommandButton1, Qt::Key_Return);
        b.Esperar_accion();
        QCOMPARE(b.guion.elecciones.size(), 1);
        QVERIFY(v.CommandButton2->isVisible());
        QTest::keyClick(v.TextBox1, Qt::Key_Return);
        QVERIFY(v.isVisible());
        v.CommandButton2->setFocus();
        QTRY_COMPARE(Foco(), v.CommandButton2);
        QTest::keyClick(v.CommandButton2, Qt::Key_Enter, Qt::KeypadModifier);
        b.Esperar_accion();
        QVERIFY(!v.isVisible());
        QVERIFY(QFile::exists(b.Ruta(u"zona_reestruct.txt"_s)));
        QVERIFY(b.guion.mensajes.isEmpty());
    }

    // El botón pulsado con un campo rechazado no actúa, ni con el ratón ni con su tecla.
    void boton_tras_un_campo_rechazado() {
        Banco b;
        QVERIFY(b.Abrir());
        b.ventana->TextBox2->setFocus();
        QTRY_COMPARE(Foco(), b.ventana->TextBox2);
        b.ventana->TextBox2->setText(u"x"_s);
        QTest::mouseClick(b.ventana->CommandButton1, Qt::LeftButton);
        b.ventana->TextBox2->setText(u"y"_s);
        QTest::keyClick(b.ventana->TextBox2, Qt::Key_S, Qt::AltModifier);
        QVERIFY(!b.ventana->CommandButton1->isDown());  // ningún clic pendiente (animateClick)
        QCOMPARE(b.guion.mensajes.size(), 2);
        QVERIFY(b.guion.elecciones.isEmpty());
        QCOMPARE(Foco(), b.ventana->TextBox2);
    }

    void cerrar_con_un_campo_rechazable_no_avisa() {
        Banco b;
        QVERIFY(b.Abrir());
        b.ventana->TextBox3->setFocus();
        QTRY_COMPARE(Foco(), b.ventana->TextBox3);
        b.ventana->TextBox3->setText(u"abc"_s);
        b.ventana->close();
        QVERIFY(b.guion.mensajes.isEmpty());
        QCOMPARE(b.guion.terminaciones, QList<int>{0});
    }

    // Los textos con decimales se redondean con las mitades al par: 6.5 → 6, 4.5 → 4, 1.5 → 2.
    void conversion_completa() {
        Banco b;
        QVERIFY(b.Abrir());
        const QString origen = b.Ruta(u"zona.asc"_s);
        QVERIFY(Escribir(origen, Rejilla_4x2));
        b.Elegir(origen);
        UserForm1& v = *b.ventana;
        v.TextBox1->setText(u"6.5"_s);
        v.TextBox2->setText(u"4.5"_s);
        v.TextBox3->setText(u"1.5"_s);
        QList<Vista> vistas;
        QList<bool> destino_con_finalizado;  // si existía cada vez que se vio «Finalizado»
        QObject::connect(&v, &UserForm1::Avance_mostrado, [&] {
            vistas << b.Ver();
            if (v.windowTitle() == u"Finalizado")
                destino_con_finalizado << QFile::exists(b.Ruta(u"zona_reestruct.txt"_s));
        });
        b.Arrancar();
        // «Finalizado» sólo con el destino ya en disco y con su nombre.
        QCOMPARE(destino_con_finalizado, QList<bool>{true});

        QVERIFY(b.guion.mensajes.isEmpty());
        QVERIFY(!v.isVisible());
        QCOMPARE(v.Leer_estado_salida(), 0);
        QVERIFY(vistas.size() >= 2);
        const Vista& primera = vistas.first();
        QCOMPARE(primera.titulo_ventana, u"Reestructurando"_s);
        QCOMPARE(primera.titulo_marco, u"0.000%"_s);
        QCOMPARE(primera.barra, 0.0);
        QCOMPARE(primera.etiqueta, u"Generando nuevo fichero en:\n"_s + v.Ruta_destino);
        QVERIFY(primera.etiqueta_visible && primera.marco_visible && !primera.boton_visible);
        const Vista& ultima = vistas.last();
        QCOMPARE(ultima.titulo_ventana, u"Finalizado"_s);
        QCOMPARE(ultima.titulo_marco, u"100.000%"_s);
        QCOMPARE(ultima.barra, 194.0);
        // Label4 conserva su sitio y su ancho y toma el alto de sus dos líneas.
        QCOMPARE(Leer_posicion(v.Label4).topLeft(), QPointF(6, 108));
        QCOMPARE(Leer_ancho(v.Label4), 204.0);
        QVERIFY(v.Label4->height() >= 2 * QFontMetrics(v.Label4->font()).lineSpacing());

        // El destino es el que la conversión escribe con 6, 4 y 2.
        const QString referencia = b.Ruta(u"referencia.txt"_s);
        Transfromar_cab(6, 4, 2, origen, referencia, {[] {}, [](double) {}, [] {}});
        const QByteArray escrito = Leer(b.Ruta(u"zona_reestruct.txt"_s));
        QCOMPARE(escrito, Leer(referencia));
        QVERIFY(escrito.endsWith("1 2 3 4\r\n5 6 7 8\r\n"));
    }

    // Label4 enseña el destino en el sitio que hay hasta el marco, sin salirse por la derecha:
    // uno largo, sin el final de la carpeta, con el nombre del fichero entero. La ruta entera
    // queda en la ayuda emergente y en la descripción accesible.
    void destino_en_label4_data() {
        QTest::addColumn<int>("largo");  // de la ruta del destino; 0: la propuesta
        QTest::addColumn<bool>("acortado");
        QTest::newRow("propuesto") << 0 << false;
        QTest::newRow("de 267 caracteres") << 267 << true;
    }
    void destino_en_label4() {
        QFETCH(int, largo);
        QFETCH(bool, acortado);
        Banco b;
        QVERIFY(b.Abrir());
        UserForm1& v = *b.ventana;
        const QString origen = b.Ruta(u"zona.asc"_s);
        QVERIFY(Escribir(origen, Rejilla_4x2));
        QString carpeta = b.carpeta.path();
        for (int hoja = 1; carpeta.size() + 19 < largo; ++hoja)
            carpeta += u"/hoja-%1-del-modelo-digital-del-terreno"_s.arg(hoja);
        QVERIFY(QDir().mkpath(carpeta));
        const QString destino = carpeta + u"/zona_reestruct.txt"_s;
        b.Elegir(origen, [&](const QString&) { return destino; });
        b.Arrancar();
        QVERIFY(QFile::exists(destino));
        QString texto = v.Label4->text();

        const QStringList lineas = texto.remove(u'&').split(u'\n');
        QCOMPARE(lineas.first(), u"Generando nuevo fichero en:"_s);
        const QString mostrada = lineas.mid(1).join(QString());
        if (acortado) {
            QVERIFY2(mostrada.startsWith(b.carpeta.path()) &&
                         mostrada.endsWith(u"…/zona_reestruct.txt"_s),
                     qPrintable(mostrada));
        } else {
            QCOMPARE(mostrada, destino);
        }
        const QFontMetrics medida(v.Label4->font());
        for (const QString& linea : lineas)
            QVERIFY2(medida.horizontalAdvance(linea) <= v.Label4->width(), qPrintable(linea));
        QVERIFY2(v.Label4->geometry().bottom() < v.FrameProgress->geometry().top(),
                 qPrintable(texto));
        QCOMPARE(v.Label4->toolTip(), destino);
        QCOMPARE(v.Label4->accessibleDescription(), destino);
    }

    void progreso_data() {
        QTest::addColumn<QString>("local");
        QTest::addColumn<double>("fraccion");
        QTest::addColumn<QString>("titulo");
        QTest::addColumn<double>("barra");
        QTest::newRow("cero") << "C" << 0.0 << "0.000%" << 0.0;
        QTest::newRow("mitad") << "C" << 0.5 << "50.000%" << 97.0;
        QTest::newRow("entera") << "C" << 1.0 << "100.000%" << 194.0;
        QTest::newRow("tres decimales")
            << "C" << 0.123456 << "12.346%" << double(float(194.0 * 0.123456));
        QTest::newRow("más de 1") << "C" << 1.25 << "125.000%" << 242.5;
        QTest::newRow("sin separador de miles") << "en_US" << 12.0 << "1200.000%" << 2328.0;
        QTest::newRow("negativa: barra vacía") << "C" << -0.1 << "-10.000%" << 0.0;
        QTest::newRow("casi cero negativa") << "C" << -1e-9 << "0.000%" << 0.0;
        QTest::newRow("coma decimal") << "es_ES" << 0.5 << "50,000%" << 97.0;
    }
    void progreso() {
        QFETCH(QString, local);
        QFETCH(double, fraccion);
        QFETCH(QString, titulo);
        QFETCH(double, barra);
        QLocale::setDefault(QLocale(local));
        Banco b;
        QVERIFY(b.Abrir());
        b.ventana->Mostrar_progreso(fraccion);
        QCOMPARE(Leer_titulo(b.ventana->FrameProgress), titulo);
        QCOMPARE(Leer_ancho(b.ventana->LabelProgress), barra);
    }

    void errores_data() {
        QTest::addColumn<QByteArray>("rejilla");  // vacía: el origen no existe
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QString>("destino");  // nulo: acepta la propuesta
        QTest::addColumn<QString>("filas");    // texto de TextBox3; nulo: el leído
        QTest::addColumn<QString>("causa");    // parte del mensaje
        QTest::addColumn<bool>("en_marcha");   // el error llega con la conversión ya en marcha
        QTest::newRow("nombre de menos de cuatro caracteres")
            << Rejilla_4x2 << "abc" << QString() << QString() << "cuatro" << false;
        QTest::newRow("origen que no existe")
            << QByteArray() << "falta.asc" << QString() << QString() << "falta.asc" << false;
        QTest::newRow("filas fuera de 32 bits") << Rejilla_4x2 << "zona.asc" << QString() << "1E12"
                                                << "1E12" << false;
        QTest::newRow("destino que es el propio origen")
            << Rejilla_4x2 << "zona.asc"
            << "zona.asc" << QString()
            << "es el mismo fichero de origen.\n\nEl programa se cerrará." << true;
        QTest::newRow("destino que es el origen con otro nombre en una memoria FAT")
            << Rejilla_4x2 << "fat/Zona.asc"
            << "fat/ZONA.ASC" << QString() << "al que se llega por otro nombre" << true;
        QTest::newRow("destino en una carpeta que no existe")
            << Rejilla_4x2 << "zona.asc"
            << "no/existe/z.txt" << QString() << "no/existe" << true;
        QTest::newRow("valores que no llenan las filas anunciadas")
            << Rejilla_corta << "corta.asc" << QString() << QString()
            << "dan 2 filas enteras y 2 valores de otra, y la cabecera anuncia 3 filas de 4"
            << true;
    }
    void errores() {
        QFETCH(QByteArray, rejilla);
        QFETCH(QString, nombre);
        QFETCH(QString, destino);
        QFETCH(QString, filas);
        QFETCH(QString, causa);
        QFETCH(bool, en_marcha);
        Banco b;
        QVERIFY(b.Abrir());
        std::optional<tesmalo::Montaje_fat> fat;
        if (nombre.startsWith(u"fat/"_s)) {
            fat.emplace(b.Ruta(u"fat"_s));
            if (!fat->Disponible()) QSKIP("sin FUSE (/dev/fuse) no se monta una memoria FAT");
            QVERIFY2(fat->Montado(), "no se pudo montar la imagen FAT con fusefat");
        }
        const QString origen = b.Ruta(nombre);
        if (!rejilla.isEmpty()) QVERIFY(Escribir(origen, rejilla));
        Vista con_el_mensaje;
        b.guion.al_mostrar_mensaje = [&](const auto&) { con_el_mensaje = b.Ver(); };
        b.Elegir(origen, [&](const QString& propuesta) {
            return destino.isNull() ? propuesta : b.Ruta(destino);
        });
        if (b.ventana->isVisible()) {  // la selección fue bien: se arranca
            if (!filas.isNull()) b.ventana->TextBox3->setText(filas);
            b.Arrancar();
        }
        QCOMPARE(b.guion.mensajes.size(), 1);
        QCOMPARE(b.guion.mensajes[0].titulo, u"Tesmalo"_s);
        QVERIFY2(b.guion.mensajes[0].texto.contains(causa), qPrintable(b.guion.mensajes[0].texto));
        // La ventana sigue como estaba hasta que se cierra el mensaje.
        QCOMPARE(con_el_mensaje.marco_visible, en_marcha);
        QCOMPARE(con_el_mensaje.etiqueta_visible, en_marcha);
        if (en_marcha) QCOMPARE(con_el_mensaje.titulo_ventana, u"Reestructurando"_s);
        // Una conversión que falla no deja el destino propuesto.
        if (en_marcha && destino.isNull())
            QVERIFY(!QFile::exists(b.Ruta(nombre.chopped(4) + u"_reestruct.txt"_s)));
        QVERIFY(!b.ventana->isVisible());
        QCOMPARE(b.ventana->Leer_estado_salida(), 1);
        if (nombre == u"abc") QVERIFY(b.guion.peticiones.isEmpty());
        if (!rejilla.isEmpty()) QCOMPARE(Leer(origen), rejilla);
    }

    void rejilla_que_no_cuadra_avisa_antes_de_cerrar() {
        Banco b;
        QVERIFY(b.Abrir());
        const QString origen = b.Ruta(u"larga.asc"_s);
        QVERIFY(Escribir(origen, Rejilla_larga));
        bool visible_con_el_mensaje = false;
        b.guion.al_mostrar_mensaje = [&](const auto&) {
            visible_con_el_mensaje = b.ventana->isVisible();
        };
        b.Elegir(origen);
        b.Arrancar();
        QCOMPARE(b.guion.mensajes.size(), 1);
        const QString& texto = b.guion.mensajes[0].texto;
        QCOMPARE(b.guion.mensajes[0].titulo, u"Tesmalo"_s);
        QVERIFY2(texto.contains(u"no cuadra"_s) && texto.contains(u"3 filas"_s) &&
                     texto.contains(u"2 filas"_s) && texto.contains(u"2 valores"_s),
                 qPrintable(texto));
        QVERIFY(visible_con_el_mensaje);
        QVERIFY(!b.ventana->isVisible());
        QCOMPARE(b.ventana->Leer_estado_salida(), 0);
        QVERIFY(QFile::exists(b.Ruta(u"larga_reestruct.txt"_s)));
    }

    // Cerrar durante la conversión termina el proceso; con las herramientas de guion, que no lo
    // terminan, la conversión se detiene en su siguiente aviso: el destino que ya había queda
    // como estaba y no aparece ningún mensaje.
    void cerrar_durante_la_conversion() {
        Banco b;
        QVERIFY(b.Abrir());
        const QString origen = b.Ruta(u"zona.asc"_s);
        const QString destino = b.Ruta(u"zona_reestruct.txt"_s);
        QVERIFY(Escribir(origen, Rejilla_4x2));
        QVERIFY(Escribir(destino, "previo\n"));
        b.Elegir(origen);
        int avances = 0;
        QObject::connect(b.ventana.get(), &UserForm1::Avance_mostrado, [&] {
            ++avances;
            b.ventana->close();
        });
        b.Arrancar();
        QCOMPARE(avances, 1);
        QVERIFY(b.guion.mensajes.isEmpty());
        QVERIFY(!b.ventana->isVisible());
        QCOMPARE(b.guion.terminaciones, QList<int>{0});
        QCOMPARE(Leer(destino), QByteArray("previo\n"));
        QCOMPARE(QDir(b.carpeta.path()).entryList(QDir::Files),
                 (QStringList{u"zona.asc"_s, u"zona_reestruct.txt"_s}));
    }
};

QTEST_MAIN(Userform1_test)
#include "userform1_test.moc"
