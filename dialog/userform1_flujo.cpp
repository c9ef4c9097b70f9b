// El trabajo de la ventana: elegir el origen, arrancar la conversión, mostrar su progreso y
// terminar, bien o con un error.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <cmath>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>

#include "conversion/transformar.h"
#include "dialog/obtener_destino.h"
#include "dialog/porcentaje.h"
#include "dialog/tarea_conversion.h"
#include "dialog/userform1.h"
#include "fields/numero.h"
#include "inspection/explorar.h"
#include "toolkit/controles.h"
#include "toolkit/marco.h"

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
    // Un destino relativo va junto al origen, en la carpeta que el usuario acaba de recorrer, y
    // no en la carpeta desde la que se lanzó el programa (la personal, desde el menú).
    if (!Ruta_destino.isEmpty() && QDir::isRelativePath(Ruta_destino))
        Ruta_destino = QDir(Carpeta_origen).filePath(Ruta_destino);

    // La exploración lee el origen: en el hilo de trabajo, y los números, al acabar.
    auto cabecera = std::make_shared<Datos_cabecera>();
    En_hilo([cabecera, ruta] { *cabecera = Explorar_cabecera(ruta); },
            [this, cabecera] {
                TextBox2->setText(QString::number(cabecera->columnas));
                TextBox3->setText(QString::number(cabecera->filas));
                TextBox1->setText(QString::number(cabecera->lineas_cabecera));
                // Que un número más largo que el campo se vea por su principio.
                for (QLineEdit* campo : {TextBox1, TextBox2, TextBox3}) campo->setCursorPosition(0);

                CommandButton1->hide();
                CommandButton2->show();
                TextBox1->setFocus();
                TextBox1->selectAll();
            });
}

void UserForm1::CommandButton2_Click() {
    const qint32 Int_filesCap = Convertir_campo(TextBox1, u"líneas de cabecera"_s);
    const qint32 Lng_Soncolumn = Convertir_campo(TextBox2, u"columnas"_s);
    const qint32 Lng_Sonfila = Convertir_campo(TextBox3, u"filas"_s);

    CommandButton2->hide();
    Label4->show();
    Mostrar_destino();
    FrameProgress->show();

    // La conversión lee y escribe en el hilo de trabajo; este atiende la ventana mientras tanto.
    // El inicio y el progreso se muestran según llegan, también con una caja abierta. Con todo
    // escrito, la última fracción, y entonces la conversión lleva el destino a disco y le da su
    // nombre. «Finalizado» llega cuando la conversión ha vuelto: el destino ya está en disco y
    // con su nombre. Los botones siguen ocultos: no empieza otra acción. Con la ventana ya
    // cerrada no se muestra nada más y la conversión se detiene.
    Tarea_conversion::Avisos avisos;
    avisos.Inicio = [this] {
        if (!cierre_pedido_) Indicar_inicio();
    };
    avisos.Progreso = [this](double fraccion) {
        if (!cierre_pedido_) Indicar_progreso(fraccion);
    };
    avisos.Fin = [this](double fraccion) {
        if (cierre_pedido_) return;
        fraccion_final_ = fraccion;
        Indicar_progreso(fraccion);
        if (!cierre_pedido_ && conversion_) conversion_->Continuar();
    };
    conversion_ = std::make_shared<Tarea_conversion>(hilo_, std::move(avisos));
    auto resumen = std::make_shared<Resumen_conversion>();
    En_hilo(
        [conversion = conversion_, resumen,
         pedido = Pedido_conversion{.origen = Ruta_origen,
                                    .destino = Ruta_destino,
                                    .cabecera = Int_filesCap,
                                    .columnas = Lng_Soncolumn,
                                    .filas = Lng_Sonfila}] {
            *resumen = conversion->Convertir(pedido);
        },
        [this, resumen] {
            Indicar_fin(fraccion_final_);
            if (cierre_pedido_) return;
            if (resumen->No_cuadra()) Avisar_rejilla_descuadrada(*resumen);
            Terminar_programa(0);
        });
}

void UserForm1::Mostrar_destino() {
    const QString primera = u"Generando nuevo fichero en:\n"_s;
    // Lo que hay desde el borde de arriba de la etiqueta hasta el marco.
    const int alto = Convertir_puntos_y(
        Leer_posicion(FrameProgress).top() - Leer_posicion(Label4).top(), Label4);
    const QFontMetrics medida(Label4->font());
    // Se mide con un píxel de margen, para que la etiqueta no vuelva a partir una línea.
    const int ancho = Label4->contentsRect().width() - 1;
    for (int lineas = std::max(1, alto / medida.lineSpacing() - 1);; --lineas) {
        Poner_titulo(Label4, primera + Acortar_ruta(Ruta_destino, medida, ancho, lineas));
        if (Label4->height() <= alto || lineas <= 1) break;
    }
    Label4->setToolTip(Ruta_destino);
    Label4->setAccessibleDescription(Ruta_destino);
}

void UserForm1::Indicar_inicio() {
    setWindowTitle(u"Reestructurando"_s);
}

void UserForm1::Indicar_progreso(double fraccion) {
    Mostrar_progreso(fraccion);
    emit Avance_mostrado();
}

void UserForm1::Indicar_fin(double fraccion) {
    Mostrar_progreso(fraccion);
    setWindowTitle(u"Finalizado"_s);
    // Se ve antes de que la ventana se cierre o se abra el aviso de una rejilla descuadrada.
    repaint();
    emit Avance_mostrado();
}

void UserForm1::Mostrar_progreso(double fraccion) {
    const QString titulo = Formatear_porcentaje(fraccion, 3);
    if (Leer_titulo(FrameProgress) != titulo) Poner_titulo(FrameProgress, titulo);
    // La resta en precisión simple, el producto en doble y el resultado otra vez en simple.
    const float interior = static_cast<float>(Leer_ancho(FrameProgress)) - 10.0f;
    const float ancho = std::max(0.0f, static_cast<float>(interior * fraccion));
    if (Leer_ancho(LabelProgress) != ancho) Poner_ancho(LabelProgress, ancho);
    // El porcentaje del título, con sus tres decimales.
    FrameProgress->Poner_valor_accesible(std::round(fraccion * 100'000) / 1000);
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
    if (accion_en_curso_) return;
    accion_en_curso_ = true;
    std::exception_ptr error;
    try {
        (this->*accion)();
    } catch (...) {
        error = std::current_exception();
    }
    // Una acción que mandó una tarea al hilo de trabajo acaba con ella.
    if (error || !tarea_en_curso_) Acabar_accion(error);
}

void UserForm1::En_hilo(std::function<void()> tarea, std::function<void()> despues) {
    tarea_en_curso_ = true;
    hilo_.Correr(std::move(tarea), [this, despues = std::move(despues)](std::exception_ptr error) {
        tarea_en_curso_ = false;
        if (!error && !cierre_pedido_) {
            try {
                despues();
            } catch (...) {
                error = std::current_exception();
            }
        }
        Acabar_accion(error);
    });
}

void UserForm1::Acabar_accion(std::exception_ptr error) {
    accion_en_curso_ = false;
    conversion_.reset();
    if (!error) return;
    QString causa;
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        causa = u"No hay memoria suficiente."_s;
    } catch (const std::exception& e) {
        causa = QString::fromUtf8(e.what());
    }
    // Si el usuario cerró la ventana, la causa es esa: no hay aviso.
    if (cierre_pedido_) return;
    herramientas_.Mostrar_mensaje(this, causa + u"\n\nEl programa se cerrará."_s, Titulo_mensajes);
    Terminar_programa(1);
}

UserForm1::~UserForm1() {
    if (conversion_) conversion_->Detener();
}

void UserForm1::Terminar_programa(int estado) {
    estado_salida_ = estado;
    terminando_ = true;
    close();
    // No basta con que se cierre la última ventana: el bucle de eventos acaba aquí.
    QCoreApplication::exit(estado);
}

void UserForm1::closeEvent(QCloseEvent* evento) {
    evento->accept();
    if (terminando_ || cierre_pedido_) return;
    // Lo cerró el usuario: sin confirmación, el proceso acaba ya. Con unas herramientas que no
    // terminan el proceso (las de guion), la conversión en marcha se detiene en su próximo aviso.
    cierre_pedido_ = true;
    if (conversion_) conversion_->Detener();
    herramientas_.Terminar_proceso(0);
}

}  // namespace tesmalo
