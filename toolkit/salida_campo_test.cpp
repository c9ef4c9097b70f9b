// Los clics pasan por la QWindow, como los del sistema de ventanas.
#define QTEST_QPA_MOUSE_HANDLING
#include "toolkit/salida_campo.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

enum class Manera { Tab, Mayus_tab, Clic_campo, Clic_boton, Atajo_boton, Atajo_etiqueta };

// Un campo vigilado entre otro campo y un botón, con una etiqueta para cada campo.
struct Ventana_prueba {
    QWidget ventana;
    QLabel* etiqueta_vigilado = new QLabel(u"&Vigilado"_s, &ventana);
    QLineEdit* vigilado = new QLineEdit(&ventana);
    QLabel* etiqueta_otro = new QLabel(u"&Otro"_s, &ventana);
    QLineEdit* otro = new QLineEdit(&ventana);
    QPushButton* boton = new QPushButton(u"&Botón"_s, &ventana);
    int avisos = 0;
    bool impedir = false;

    Ventana_prueba() {
        etiqueta_vigilado->setGeometry(0, 0, 80, 20);
        vigilado->setGeometry(90, 0, 80, 20);
        etiqueta_otro->setGeometry(0, 30, 80, 20);
        otro->setGeometry(90, 30, 80, 20);
        boton->setGeometry(0, 60, 170, 25);
        etiqueta_vigilado->setBuddy(vigilado);
        etiqueta_otro->setBuddy(otro);
        tesmalo::Vigilar_salida(vigilado, [this](bool& Cancel) {
            ++avisos;
            QVERIFY(!Cancel);
            Cancel = impedir;
        });
    }
};

}  // namespace

Q_DECLARE_METATYPE(Manera)

class Salida_campo_test : public QObject {
    Q_OBJECT
  private slots:
    void salir_del_campo_data() {
        QTest::addColumn<Manera>("manera");
        QTest::addColumn<bool>("impedir");
        QTest::addColumn<QString>("destino");  // nombre del control que acaba con el foco
        const std::pair<const char*, Manera> maneras[] = {
            {"Tab", Manera::Tab},
            {"Mayús+Tab", Manera::Mayus_tab},
            {"clic en otro campo", Manera::Clic_campo},
            {"clic en el botón", Manera::Clic_boton},
            {"Alt+B del botón", Manera::Atajo_boton},
            {"Alt+O de la etiqueta del otro campo", Manera::Atajo_etiqueta},
        };
        // El atajo de un botón lo pulsa sin llevarle el foco (así lo hace Qt).
        const char* destinos[] = {"otro", "boton", "otro", "boton", "vigilado", "otro"};
        int i = 0;
        for (const auto& [nombre, manera] : maneras) {
            QTest::addRow("%s, aceptado", nombre) << manera << false << destinos[i];
            QTest::addRow("%s, impedido", nombre) << manera << true << "vigilado";
            ++i;
        }
    }
    void salir_del_campo() {
        QFETCH(Manera, manera);
        QFETCH(bool, impedir);
        QFETCH(QString, destino);
        Ventana_prueba v;
        v.vigilado->setObjectName("vigilado");
        v.otro->setObjectName("otro");
        v.boton->setObjectName("boton");
        v.impedir = impedir;
        QSignalSpy pulsado(v.boton, &QPushButton::clicked);
        v.ventana.show();
        v.ventana.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.ventana));
        v.vigilado->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), v.vigilado);

        switch (manera) {
            case Manera::Tab:
                QTest::keyClick(v.vigilado, Qt::Key_Tab);
                break;
            case Manera::Mayus_tab:
                QTest::keyClick(v.vigilado, Qt::Key_Backtab, Qt::ShiftModifier);
                break;
            case Manera::Clic_campo:
                QTest::mouseClick(v.otro, Qt::LeftButton);
                break;
            case Manera::Clic_boton:
                QTest::mouseClick(v.boton, Qt::LeftButton);
                break;
            case Manera::Atajo_boton:
                QTest::keyClick(v.vigilado, Qt::Key_B, Qt::AltModifier);
                break;
            case Manera::Atajo_etiqueta:
                QTest::keyClick(v.vigilado, Qt::Key_O, Qt::AltModifier);
                break;
        }
        QCOMPARE(v.avisos, 1);
        QTRY_COMPARE(QApplication::focusWidget()->objectName(), destino);
        // El botón actúa sólo si el foco pudo salir (el atajo lo pulsa con un retardo).
        const bool pulsa = manera == Manera::Clic_boton || manera == Manera::Atajo_boton;
        if (pulsa && !impedir)
            QTRY_COMPARE(pulsado.count(), 1);
        else
            QCOMPARE(pulsado.count(), 0);
    }

    void lo_que_no_saca_el_foco_no_avisa() {
        Ventana_prueba v;
        v.impedir = true;
        v.ventana.show();
        v.ventana.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.ventana));
        v.vigilado->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), v.vigilado);
        QTest::mouseClick(v.vigilado, Qt::LeftButton);
        QTest::mouseClick(v.etiqueta_otro, Qt::LeftButton);       // una etiqueta no toma el foco
        QTest::keyClick(v.vigilado, Qt::Key_V, Qt::AltModifier);  // su etiqueta lleva a él
        QTest::keyClick(v.vigilado, Qt::Key_A);
        QCOMPARE(v.avisos, 0);
        QCOMPARE(QApplication::focusWidget(), v.vigilado);

        // Otra ventana toma el foco, y luego se cierra la vigilada.
        QWidget otra_ventana;
        otra_ventana.show();
        otra_ventana.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&otra_ventana));
        v.ventana.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.ventana));
        v.ventana.close();
        QCOMPARE(v.avisos, 0);
    }
};

QTEST_MAIN(Salida_campo_test)
#include "salida_campo_test.moc"
