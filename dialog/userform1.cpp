// La disposición de la ventana, su rutina de inicio y la validación de los tres campos.
#include "dialog/userform1.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <limits>

#include "dialog/porcentaje.h"
#include "fields/numero.h"
#include "toolkit/cierre.h"
#include "toolkit/controles.h"
#include "toolkit/marco.h"
#include "toolkit/salida_campo.h"

using namespace Qt::StringLiterals;

namespace tesmalo {
namespace {

const QString Titulo_ventana = u"Tranformar fichero DTM"_s;

QFont Fuente(const QString& nombre, double puntos, bool negrita = false) {
    QFont fuente(nombre);
    fuente.setPointSizeF(puntos);
    fuente.setBold(negrita);
    return fuente;
}

QLabel* Crear_etiqueta(QWidget* padre, const char* nombre, const QRectF& puntos,
                       const QString& titulo, QChar tecla = QChar()) {
    auto* etiqueta = new QLabel(padre);
    etiqueta->setObjectName(QString::fromLatin1(nombre));
    etiqueta->setTextFormat(Qt::PlainText);
    etiqueta->setWordWrap(true);
    etiqueta->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    etiqueta->setAutoFillBackground(true);  // fondo opaco del color del diálogo, sin borde
    Poner_fuente(etiqueta, Fuente(u"Tahoma"_s, 8.25));
    Colocar_control(etiqueta, puntos);
    if (!tecla.isNull()) Poner_tecla_acceso(etiqueta, tecla);
    Poner_titulo(etiqueta, titulo);
    return etiqueta;
}

QLineEdit* Crear_campo(QWidget* padre, const char* nombre, const QRectF& puntos) {
    auto* campo = new QLineEdit(padre);
    campo->setObjectName(QString::fromLatin1(nombre));
    campo->setMaxLength(std::numeric_limits<int>::max());
    campo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    campo->setFont(Fuente(u"Arial"_s, 24));
    Colocar_control(campo, puntos);
    return campo;
}

QPushButton* Crear_boton(QWidget* padre, const char* nombre, const QRectF& puntos,
                         const QString& titulo, QChar tecla) {
    auto* boton = new QPushButton(padre);
    boton->setObjectName(QString::fromLatin1(nombre));
    // Ni botón por omisión (Intro) ni de cancelar (Escape); toma el foco al pulsarlo.
    boton->setAutoDefault(false);
    boton->setDefault(false);
    boton->setFocusPolicy(Qt::StrongFocus);
    boton->setFont(Fuente(u"Tahoma"_s, 8.25));
    Colocar_control(boton, puntos);
    Poner_tecla_acceso(boton, tecla);
    Poner_titulo(boton, titulo);
    return boton;
}

}  // namespace

UserForm1::UserForm1(Herramientas_ventana herramientas, QWidget* padre)
    : QWidget(padre, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                         Qt::WindowCloseButtonHint),
      herramientas_(std::move(herramientas)) {
    setObjectName(u"UserForm1"_s);
    setWindowTitle(Titulo_ventana);
    setWindowIcon(QIcon(u":/tesmalo/tesmalo.png"_s));
    // El área de cliente no cambia nunca de tamaño.
    Colocar_control(this, QRectF(0, 0, 215.4, 180.6));
    setFixedSize(size());

    // En el orden de diseño, que es también el de tabulación antes de la rutina de inicio.
    Label1 = Crear_etiqueta(this, "Label1", {12, 12, 120, 24},
                            u"NÚM. de líneas que definen la cabecera:"_s, u'N');
    TextBox1 = Crear_campo(this, "TextBox1", {138, 12, 36, 24});
    Label2 = Crear_etiqueta(this, "Label2", {66, 48, 60, 24}, u"COLUMNAS"_s);
    TextBox2 = Crear_campo(this, "TextBox2", {138, 48, 54, 24});
    Label3 = Crear_etiqueta(this, "Label3", {66, 78, 60, 24}, u"FILAS"_s);
    TextBox3 = Crear_campo(this, "TextBox3", {138, 78, 54, 24});
    Label4 = Crear_etiqueta(this, "Label4", {6, 108, 10.8, 10.8}, QString(), u'N');
    CommandButton1 = Crear_boton(this, "CommandButton1", {6, 138, 204, 30},
                                 u"Seleccionar fichero origen"_s, u'S');
    CommandButton2 =
        Crear_boton(this, "CommandButton2", {6, 138, 204, 28}, u"Iniciar transformación"_s, u'I');
    CommandButton2->hide();

    FrameProgress = new Marco(this);
    FrameProgress->setObjectName(u"FrameProgress"_s);
    FrameProgress->setFont(Fuente(u"Tahoma"_s, 8.4, true));
    QPalette colores = FrameProgress->palette();
    colores.setColor(QPalette::Window, QApplication::palette("QMenu").color(QPalette::Window));
    colores.setColor(QPalette::WindowText, Qt::black);
    FrameProgress->setPalette(colores);
    FrameProgress->setAutoFillBackground(true);
    FrameProgress->setCursor(Qt::WaitCursor);
    Colocar_control(FrameProgress, {6, 138, 204, 28});
    Poner_titulo(FrameProgress, u"0%"_s);

    LabelProgress = Crear_etiqueta(FrameProgress, "LabelProgress", {2.3, 5, 20, 13}, QString());
    LabelProgress->setAlignment(Qt::AlignCenter);
    LabelProgress->setFrameStyle(QFrame::Panel | QFrame::Raised);
    colores = LabelProgress->palette();
    colores.setColor(QPalette::Window, QColor(255, 192, 192));
    LabelProgress->setPalette(colores);

    // Cada campo lleva el nombre de su título para los lectores de pantalla.
    Label1->setBuddy(TextBox1);
    Label2->setBuddy(TextBox2);
    Label3->setBuddy(TextBox3);

    // Alt+N (Label1 y Label4) lleva al siguiente control de la tabulación que toma el foco:
    // CommandButton2 mientras se ve y, si no, TextBox1. Cuando se ven las dos etiquetas actúa
    // Label1, la primera en la tabulación.
    Usar_teclado_de_escritorio();
    Cerrar_tambien_bloqueada(this);

    orden_tabulacion_ = {Label1,   TextBox1,      Label2, TextBox2,       Label3,
                         TextBox3, FrameProgress, Label4, CommandButton1, CommandButton2};
    Poner_indice_tabulacion(orden_tabulacion_, Label1, 0);  // aplica el orden de diseño

    connect(CommandButton1, &QPushButton::clicked, this,
            [this] { Ejecutar_accion(&UserForm1::CommandButton1_Click); });
    connect(CommandButton2, &QPushButton::clicked, this,
            [this] { Ejecutar_accion(&UserForm1::CommandButton2_Click); });
    Vigilar_salida(TextBox1, [this](bool& Cancel) { TextBox1_Exit(Cancel); });
    Vigilar_salida(TextBox2, [this](bool& Cancel) { TextBox2_Exit(Cancel); });
    Vigilar_salida(TextBox3, [this](bool& Cancel) { TextBox3_Exit(Cancel); });
}

void UserForm1::showEvent(QShowEvent* evento) {
    if (!activada_ && !evento->spontaneous()) {
        activada_ = true;
        UserForm_Activate();
    }
    QWidget::showEvent(evento);
}

void UserForm1::UserForm_Activate() {
    setWindowTitle(Titulo_ventana);

    // Las etiquetas, también la barra del marco: Arial 8 y alto según el texto. Va antes de los
    // títulos para que cada título dé su alto a su etiqueta.
    for (QLabel* etiqueta : findChildren<QLabel*>()) {
        Poner_fuente(etiqueta, Fuente(u"Arial"_s, 8));
        Poner_autoajuste(etiqueta, true);
    }
    Poner_titulo(Label1, u"NÚM. de líneas que definen la cabecera:"_s);
    Poner_titulo(Label2, u"COLUMNAS"_s);
    Poner_titulo(Label3, u"FILAS"_s);
    Poner_titulo(Label4, QString());

    Poner_indice_tabulacion(orden_tabulacion_, TextBox1, 0);
    Poner_indice_tabulacion(orden_tabulacion_, TextBox2, 1);
    Poner_indice_tabulacion(orden_tabulacion_, TextBox3, 2);
    Poner_indice_tabulacion(orden_tabulacion_, CommandButton1, 3);

    for (QLineEdit* campo : {TextBox1, TextBox2, TextBox3}) {
        QFont fuente = campo->font();  // sigue siendo Arial
        fuente.setPointSizeF(14);
        campo->setFont(fuente);
        campo->setText(u"0"_s);
    }

    Poner_titulo(FrameProgress, Formatear_porcentaje(0, 1));
    Poner_ancho(LabelProgress, 0);
    Colocar_control(FrameProgress, {6, 138, 204, 28});
    FrameProgress->hide();
    Colocar_control(CommandButton1, {6, 138, 204, 28});
    CommandButton1->show();
    Dar_foco_con_teclado(CommandButton1);
    Colocar_control(CommandButton2, {6, 138, 204, 28});
    CommandButton2->hide();
    Colocar_control(Label4, {6, 108, 204, 28});
    Label4->hide();
}

void UserForm1::TextBox1_Exit(bool& Cancel) {
    Validar_campo(TextBox1, Cancel);
}
void UserForm1::TextBox2_Exit(bool& Cancel) {
    Validar_campo(TextBox2, Cancel);
}
void UserForm1::TextBox3_Exit(bool& Cancel) {
    Validar_campo(TextBox3, Cancel);
}

// Acepta lo mismo que la conversión de los campos al arrancar: cualquier número, también con
// decimales o negativo; el texto aceptado se queda como está.
void UserForm1::Validar_campo(QLineEdit* campo, bool& Cancel) {
    if (Es_numero(campo->text())) return;
    herramientas_.Mostrar_mensaje(
        this, u"este campo no puede quedar vacío y debe ser un número entero"_s, u"Tesmalo"_s);
    Cancel = true;
    campo->setText(u"0"_s);
    campo->selectAll();  // la siguiente cifra que se escriba lo sustituye
}

}  // namespace tesmalo
