// Las cajas de Qt de verdad, abiertas sin pantalla: se manejan desde un temporizador mientras
// la caja espera al usuario.
#include "toolkit/herramientas.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "pruebas/filtros_origen.h"

using namespace tesmalo;
using namespace Qt::StringLiterals;

namespace {

// Llama a `accion` con la caja modal en cuanto se abra.
void Al_abrirse(std::function<void(QWidget*)> accion) {
    auto* reloj = new QTimer;
    QObject::connect(reloj, &QTimer::timeout, [reloj, accion] {
        QWidget* caja = QApplication::activeModalWidget();
        if (!caja) return;
        reloj->deleteLater();
        reloj->stop();
        accion(caja);
        // Una comprobación fallida sale de `accion` antes de cerrar la caja: se cierra aquí.
        if (caja->isVisible()) QMetaObject::invokeMethod(caja, "reject");
    });
    reloj->start(5);
}

QStringList Textos_botones(QWidget* caja) {
    QStringList textos;
    for (QAbstractButton* boton : caja->findChild<QDialogButtonBox*>()->buttons())
        textos << boton->text().remove(u'&');
    return textos;
}

// La columna «Tipo» del fichero `nombre` en la lista del selector.
QString Tipo_listado(QFileDialog* caja, const QString& nombre) {
    auto* lista = caja->findChild<QAbstractItemView*>(u"listView"_s);
    for (int i = 0; i < lista->model()->rowCount(lista->rootIndex()); ++i)
        if (lista->model()->index(i, 0, lista->rootIndex()).data().toString() == nombre)
            return lista->model()->index(i, 2, lista->rootIndex()).data().toString();
    return {};
}

// Los nombres que la lista del selector muestra ahora mismo.
QStringList Nombres_listados(QFileDialog* caja) {
    auto* lista = caja->findChild<QAbstractItemView*>(u"listView"_s);
    QStringList nombres;
    for (int i = 0; i < lista->model()->rowCount(lista->rootIndex()); ++i)
        nombres << lista->model()->index(i, 0, lista->rootIndex()).data().toString();
    nombres.sort();
    return nombres;
}

}  // namespace

class Herramientas_test : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QVERIFY(Cargar_traduccion_qt()); }

    void mensaje_con_un_solo_boton_y_sin_icono() {
        QString titulo, texto;
        QStringList botones;
        QMessageBox::Icon icono = QMessageBox::Warning;
        Al_abrirse([&](QWidget* caja) {
            auto* mensaje = qobject_cast<QMessageBox*>(caja);
            QVERIFY(mensaje);
            titulo = mensaje->windowTitle();
            texto = mensaje->text();
            icono = mensaje->icon();
            botones = Textos_botones(mensaje);
            mensaje->button(QMessageBox::Ok)->click();
        });
        Herramientas_qt().Mostrar_mensaje(nullptr, u"a <b>\ny"_s, u"Tesmalo"_s);
        QCOMPARE(titulo, u"Tesmalo"_s);
        QCOMPARE(texto, u"a <b>\ny"_s);
        QCOMPARE(icono, QMessageBox::NoIcon);
        QCOMPARE(botones, QStringList{u"Aceptar"_s});
    }

    void caja_de_texto_data() {
        QTest::addColumn<QString>("tecleado");  // lo que el usuario pone; nulo: no toca nada
        QTest::addColumn<bool>("acepta");
        QTest::addColumn<QString>("resultado");
        QTest::newRow("acepta la propuesta") << QString() << true << "/datos/zona1_reestruct.txt";
        QTest::newRow("la cambia, con blancos") << " /otra/z.dat " << true << " /otra/z.dat ";
        QTest::newRow("la vacía y acepta") << "" << true << "";
        QTest::newRow("cancela") << "/otra/z.dat" << false << "";
    }
    void caja_de_texto() {
        QFETCH(QString, tecleado);
        QFETCH(bool, acepta);
        QFETCH(QString, resultado);
        QString titulo, indicacion, mostrado;
        QStringList botones;
        Al_abrirse([&](QWidget* caja) {
            titulo = caja->windowTitle();
            indicacion = caja->findChild<QLabel*>()->text();
            auto* linea = caja->findChild<QLineEdit*>();
            mostrado = linea->text();
            QCOMPARE(linea->selectedText(), mostrado);  // lista para escribir encima
            botones = Textos_botones(caja);
            if (!tecleado.isNull()) linea->setText(tecleado);
            if (acepta)
                QTest::keyClick(linea, Qt::Key_Return);
            else
                QTest::keyClick(linea, Qt::Key_Escape);
        });
        const QString respuesta =
            Herramientas_qt().Pedir_texto(nullptr, u"Modificar aquello que corresponda"_s,
                                          u"Fichero_destino"_s, u"/datos/zona1_reestruct.txt"_s);
        QCOMPARE(respuesta, resultado);
        QCOMPARE(titulo, u"Fichero_destino"_s);
        QCOMPARE(indicacion, u"Modificar aquello que corresponda"_s);
        QCOMPARE(mostrado, u"/datos/zona1_reestruct.txt"_s);
        QCOMPARE(botones, (QStringList{u"Aceptar"_s, u"Cancelar"_s}));
    }

    // El campo de la caja deja leer la ruta propuesta entera: al menos 80 caracteres de ancho y,
    // para una ruta más larga, lo que haga falta sin salirse de la pantalla. La que ni así cabe
    // se ve por su final, el nombre del fichero.
    void caja_de_texto_ancha_data() {
        QTest::addColumn<int>("largo");
        QTest::newRow("corta") << 30;
        QTest::newRow("de una carpeta honda") << 95;
        QTest::newRow("más larga que la pantalla") << 400;
    }
    void caja_de_texto_ancha() {
        QFETCH(int, largo);
        QString ruta = u"/datos/"_s;
        while (ruta.size() < largo - 19) ruta += u"proyecto_mdt/"_s;
        ruta = ruta.left(largo - 19) + u"/zona_reestruct.txt"_s;
        int ancho_campo = 0, cursor = -1, ancho_caja = 0;
        QString elegido;
        QFontMetrics medida(QApplication::font());
        Al_abrirse([&](QWidget* caja) {
            auto* linea = caja->findChild<QLineEdit*>();
            medida = QFontMetrics(linea->font());
            ancho_campo = linea->contentsRect().width();
            ancho_caja = caja->frameGeometry().width();
            QVERIFY(QTest::qWaitForWindowActive(caja));
            cursor = linea->cursorPosition();
            elegido = linea->selectedText();
            QTest::keyClick(linea, Qt::Key_Escape);
        });
        Herramientas_qt().Pedir_texto(nullptr, u"Modificar aquello que corresponda"_s,
                                      u"Fichero_destino"_s, ruta);
        const int pantalla = QGuiApplication::primaryScreen()->availableGeometry().width();
        QVERIFY2(ancho_caja <= pantalla, qPrintable(QString::number(ancho_caja)));
        const int necesario =
            std::max(medida.horizontalAdvance(ruta), 80 * medida.averageCharWidth());
        if (necesario < pantalla * 8 / 10)
            QVERIFY2(ancho_campo >= necesario,
                     qPrintable(u"%1 < %2"_s.arg(ancho_campo).arg(necesario)));
        else
            QVERIFY(ancho_caja >= pantalla * 8 / 10);
        QCOMPARE(cursor, ruta.size());
        QCOMPARE(elegido, ruta);
    }

    // «*.*» lista todos los ficheros, también los que no llevan punto. Con la configuración
    // regional C, los tipos se ven en español, y al cerrarse el selector vuelve la C.
    void selector_de_ficheros() {
        QTemporaryDir carpeta;
        for (const char* nombre : {"sinpunto", "zona1.asc", "a.txt"}) {
            QFile fichero(carpeta.filePath(QString::fromLatin1(nombre)));
            QVERIFY(fichero.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir(carpeta.path()).mkdir(u"sub"_s));
        QLocale::setDefault(QLocale::c());
        const QString anterior = QDir::currentPath();
        QDir::setCurrent(carpeta.path());  // el selector abre en la carpeta actual

        QStringList entradas, con_txt, con_todos, tipos_vistos;
        QString elegida;
        Al_abrirse([&](QWidget* caja) {
            auto* selector = qobject_cast<QFileDialog*>(caja);
            QVERIFY(selector);
            auto* tipos = selector->findChild<QComboBox*>(u"fileTypeCombo"_s);
            for (int i = 0; i < tipos->count(); ++i) entradas << tipos->itemText(i);
            elegida = tipos->currentText();
            QTRY_COMPARE(Nombres_listados(selector).size(), 2);
            con_txt = Nombres_listados(selector);
            QTRY_VERIFY(!Tipo_listado(selector, u"a.txt"_s).isEmpty());
            tipos_vistos << Tipo_listado(selector, u"a.txt"_s) << Tipo_listado(selector, u"sub"_s);
            selector->selectNameFilter(selector->nameFilters().first());
            QTRY_COMPARE(Nombres_listados(selector).size(), 4);
            con_todos = Nombres_listados(selector);
            // Como quien escribe el nombre y pulsa Intro.
            auto* nombre = selector->findChild<QLineEdit*>(u"fileNameEdit"_s);
            nombre->setText(u"sinpunto"_s);
            QTest::keyClick(nombre, Qt::Key_Return);
        });
        const QString ruta = Herramientas_qt().Elegir_fichero(nullptr, Filtros_origen_prueba, 3);
        QDir::setCurrent(anterior);

        QCOMPARE(entradas, (QStringList{u"All Files (*.*)"_s, u"Archivos de texto DTM (*.dtm)"_s,
                                        u"Archivos de texto DTM (*.txt)"_s,
                                        u"Archivos de texto DTM (*.asc)"_s,
                                        u"Archivos de texto DTM (*.grd)"_s}));
        QCOMPARE(elegida, u"Archivos de texto DTM (*.txt)"_s);
        QCOMPARE(con_txt, (QStringList{u"a.txt"_s, u"sub"_s}));
        QCOMPARE(con_todos, (QStringList{u"a.txt"_s, u"sinpunto"_s, u"sub"_s, u"zona1.asc"_s}));
        QCOMPARE(tipos_vistos, (QStringList{u"documento de texto sencillo"_s, u"Carpeta"_s}));
        QCOMPARE(QLocale(), QLocale::c());
        QCOMPARE(ruta, carpeta.filePath(u"sinpunto"_s));
    }

    void selector_cancelado_da_texto_vacio() {
        Al_abrirse([](QWidget* caja) { QTest::keyClick(caja, Qt::Key_Escape); });
        const QString ruta = Herramientas_qt().Elegir_fichero(nullptr, Filtros_origen_prueba, 3);
        QVERIFY(ruta.isEmpty());
    }
};

QTEST_MAIN(Herramientas_test)
#include "herramientas_test.moc"
