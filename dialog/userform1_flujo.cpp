// El trabajo de la ventana: elegir el origen, arrancar la conversión, mostrar su progreso y
// terminar, bien o con un error.
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <new>
#include <stdexcept>

#include "conversion/transformar.h"
#include "dialog/porcentaje.h"
#include "dialog/userform1.h"
#include "fields/numero.h"
#include "inspection/explorar.h"
#include "inspection/obtener_destino.h"
#include "toolkit/controles.h"

using namespace Qt::StringLiterals;

namespace tesmalo {
namespace {

const QString Titulo_mensajes = u"Tesmalo"_s;

// Las entradas del selector de origen, en este orden; al abrirse se elige la tercera.
const QList<Filtro_fichero> Filtros_origen = {
    {u" All Files (*.*)"_s, u"*.*"_s},
    {u"Archivos de texto DTM (*.dtm) "_s, u"*.dtm"_s},
    {u"Archivos de texto DTM (*.txt) "_s, u"*.txt"_s},
    {u"Archivos de texto DTM (*.asc) "_s, u"*.asc"_s},
    {u"Archivos de texto DTM (*.grd) "_s, u"*.grd"_s},
};
constexpr int Entrada_inicial = 3;

// El texto del campo como entero de 32 bits, redondeado al más próximo (mitades al par), con
// la misma noción de número que la validación del campo.
qint32 Convertir_campo(const QLineEdit* campo, const QString& que_es) {
    if (const auto valor = Leer_entero(campo->text())) return *valor;
    throw std::runtime_error(
        QStringLiteral("El número de %1 «%2» no es un número entero de 32 bits.")
            .arg(que_es, campo->text())
            .toStdString());
}

}  // namespace

void UserForm1::CommandButton1_Click() {
    const QString ruta = herramientas_.Elegir_fichero(this, Filtros_origen, Entrada_inicial);
    if (ruta.isEmpty()) return;
    Ruta_origen = ruta;

    const Propuesta_destino destino = Obtener_destino(Ruta_origen, herramientas_, this);
    Carpeta_origen = destino.Carpeta_origen;
    Ruta_destino = destino.Ruta_destino;

    const Datos_cabecera cabecera = Explorar_cabecera(Ruta_origen);
    TextBox2->setText(QString::number(cabecera.columnas));
    TextBox3->setText(QString::number(cabecera.filas));
    TextBox1->setText(QString::number(cabecera.lineas_cabecera));
    // Que un número más largo que el campo se vea por su principio.
    for (QLineEdit* campo : {TextBox1, TextBox2, TextBox3}) campo->setCursorPosition(0);

    CommandButton1->hide();
    CommandButton2->show();
    TextBox1->setFocus();
    TextBox1->selectAll();
}

void UserForm1::CommandButton2_Click() {
    const qint32 Int_filesCap = Convertir_campo(TextBox1, u"líneas de cabecera"_s);
    const qint32 Lng_Soncolumn = Convertir_campo(TextBox2, u"columnas"_s);
    const qint32 Lng_Sonfila = Convertir_campo(TextBox3, u"filas"_s);

    CommandButton2->hide();
    Label4->show();
    Poner_titulo(Label4, u"Generando nuevo fichero en:\n"_s + Ruta_destino);
    FrameProgress->show();

    const Operaciones_progreso progreso{
        .Indicar_inicio = [this] { Indicar_inicio(); },
        .Indicar_progreso = [this](double fraccion) { Indicar_progreso(fraccion); },
        .Indicar_fin = [this] { Indicar_fin(); },
    };
    en_marcha_ = true;
    const Resumen_conversion resumen = Transfromar_cab(Int_filesCap, Lng_Soncolumn, Lng_Sonfila,
                                                       Ruta_origen, Ruta_destino, progreso);
    en_marcha_ = false;
    if (resumen.No_cuadra() && !cierre_pedido_) Avisar_rejilla_descuadrada(resumen);
    Terminar_programa(0);
}

void UserForm1::Indicar_inicio() {
    setWindowTitle(u"Reestructurando"_s);
    reloj_eventos_.invalidate();  // el primer aviso se muestra enseguida
    avisos_hasta_mirar_ = 0;
}

// Se llama una vez por fila, millones de veces: mirar el reloj en cada una ya costaría. Se mira
// cada `paso_avisos_` avisos, un paso que se ajusta para que entre dos miradas pase alrededor
// de un milisegundo; así los eventos se atienden cada Intervalo_eventos_ms y poco más.
void UserForm1::Indicar_progreso(double fraccion) {
    ultima_fraccion_ = fraccion;
    if (--avisos_hasta_mirar_ > 0) return;
    if (reloj_eventos_.isValid()) {
        const qint64 ahora = reloj_eventos_.nsecsElapsed();
        const qint64 desde_la_ultima = ahora - ultima_mirada_ns_;
        ultima_mirada_ns_ = ahora;
        if (desde_la_ultima < 500'000 && paso_avisos_ < (1 << 20))
            paso_avisos_ *= 2;
        else if (desde_la_ultima > 2'000'000 && paso_avisos_ > 1)
            paso_avisos_ /= 2;
        avisos_hasta_mirar_ = paso_avisos_;
        if (ahora < Intervalo_eventos_ms * 1'000'000LL) return;
    }
    Mostrar_progreso(fraccion);
    herramientas_.Procesar_eventos();
    reloj_eventos_.start();
    ultima_mirada_ns_ = 0;
    avisos_hasta_mirar_ = paso_avisos_;
    // La ventana sólo se puede cerrar mientras se atienden eventos: aquí se nota enseguida.
    if (cierre_pedido_)
        throw std::runtime_error("Se cerró la ventana: la conversión se detiene sin destino.");
}

void UserForm1::Indicar_fin() {
    Mostrar_progreso(ultima_fraccion_);
    setWindowTitle(u"Finalizado"_s);
    herramientas_.Procesar_eventos();
}

void UserForm1::Mostrar_progreso(double fraccion) {
    const QString titulo = Formatear_porcentaje(fraccion, 3);
    if (Leer_titulo(FrameProgress) != titulo) Poner_titulo(FrameProgress, titulo);
    // La resta en precisión simple, el producto en doble y el resultado otra vez en simple.
    const float interior = static_cast<float>(Leer_ancho(FrameProgress)) - 10.0f;
    const float ancho = std::max(0.0f, static_cast<float>(interior * fraccion));
    if (Leer_ancho(LabelProgress) != ancho) Poner_ancho(LabelProgress, ancho);
}

void UserForm1::Avisar_rejilla_descuadrada(const Resumen_conversion& resumen) {
    const QLocale local;
    QString texto =
        u"La rejilla no cuadra con su cabecera: la cabecera anuncia %1 filas de %2 "
        u"valores y se han escrito %3 filas completas."_s.arg(
            local.toString(resumen.filas_cabecera), local.toString(resumen.columnas_cabecera),
            local.toString(resumen.filas_escritas));
    if (resumen.valores_descartados != 0)
        texto += u" Se han descartado %1 valores que no completaban una fila."_s.arg(
            local.toString(resumen.valores_descartados));
    texto += u"\n\nEl fichero se ha escrito en:\n"_s + Ruta_destino;
    herramientas_.Mostrar_mensaje(this, texto, Titulo_mensajes);
}

void UserForm1::Ejecutar_accion(void (UserForm1::*accion)()) {
    QString causa;
    try {
        (this->*accion)();
        return;
    } catch (const std::bad_alloc&) {
        causa = u"No hay memoria suficiente."_s;
    } catch (const std::exception& error) {
        causa = QString::fromUtf8(error.what());
    }
    en_marcha_ = false;
    // Si el usuario cerró la ventana durante la conversión, la causa es esa: no hay aviso.
    if (!cierre_pedido_)
        herramientas_.Mostrar_mensaje(this, causa + u"\n\nEl programa se cerrará."_s,
                                      Titulo_mensajes);
    Terminar_programa(cierre_pedido_ ? 0 : 1);
}

void UserForm1::Terminar_programa(int estado) {
    estado_salida_ = estado;
    close();
}

void UserForm1::closeEvent(QCloseEvent* evento) {
    // Sin confirmación. Una conversión en marcha se detiene en su próximo aviso de progreso.
    if (en_marcha_) cierre_pedido_ = true;
    evento->accept();
}

}  // namespace tesmalo
