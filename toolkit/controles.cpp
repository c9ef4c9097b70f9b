#include "toolkit/controles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcutEvent>
#include <QStringList>
#include <QVariant>
#include <algorithm>

#include "toolkit/marco.h"

using namespace Qt::StringLiterals;

namespace tesmalo {
namespace {

// Lo que cada control recuerda, en propiedades dinámicas.
constexpr char Propiedad_puntos[] = "tesmalo_puntos";
constexpr char Propiedad_tecla[] = "tesmalo_tecla_acceso";
constexpr char Propiedad_titulo[] = "tesmalo_titulo";
constexpr char Propiedad_autoajuste[] = "tesmalo_autoajuste";
constexpr char Propiedad_orden[] = "tesmalo_orden_tabulacion";  // en la ventana

double Pixeles_por_punto_x(const QWidget* control) {
    return control->logicalDpiX() / 72.0;
}
double Pixeles_por_punto_y(const QWidget* control) {
    return control->logicalDpiY() / 72.0;
}

const Marco* Marco_de(const QWidget* control) {
    return control->isWindow() ? nullptr : qobject_cast<const Marco*>(control->parentWidget());
}

// El origen de las posiciones: el área de cliente de la ventana, el interior de un Marco (dentro
// del borde) o, en otro control, su área de contenido.
QPoint Origen(const QWidget* control) {
    if (const Marco* marco = Marco_de(control)) return marco->Interior().topLeft();
    const QWidget* padre = control->isWindow() ? nullptr : control->parentWidget();
    return padre ? padre->contentsRect().topLeft() : QPoint();
}

void Aplicar_posicion(QWidget* control, const QRectF& puntos) {
    control->setProperty(Propiedad_puntos, puntos);
    const QPoint origen = Origen(control);
    QRect pixeles(origen.x() + Convertir_puntos_x(puntos.left(), control),
                  origen.y() + Convertir_puntos_y(puntos.top(), control),
                  Convertir_puntos_x(std::max(0.0, puntos.width()), control),
                  Convertir_puntos_y(std::max(0.0, puntos.height()), control));
    if (const Marco* marco = Marco_de(control)) {
        // Lo que pasa del interior se corta en el borde, sin taparlo.
        const QRect interior = marco->Interior();
        pixeles.setRight(std::min(pixeles.right(), interior.right()));
        pixeles.setBottom(std::min(pixeles.bottom(), interior.bottom()));
        pixeles.setSize(pixeles.size().expandedTo(QSize(0, 0)));
    }
    if (control->isWindow())
        control->resize(pixeles.size());
    else
        control->setGeometry(pixeles);
}

// Parte `texto` en líneas de `ancho` píxeles como mucho (Acortar_ruta).
QStringList Partir_en_lineas(const QString& texto, const QFontMetrics& medida, int ancho) {
    QStringList lineas;
    qsizetype inicio = 0;
    while (inicio < texto.size()) {
        qsizetype fin = inicio + 1;  // al menos un carácter por línea
        while (fin < texto.size() &&
               (texto[fin].isLowSurrogate() ||
                medida.horizontalAdvance(texto.mid(inicio, fin + 1 - inicio)) <= ancho))
            ++fin;
        if (fin < texto.size()) {
            const qsizetype barra = texto.lastIndexOf(u'/', fin - 1);
            if (barra >= inicio + (fin - inicio) / 2 && barra + 1 < fin) fin = barra + 1;
        }
        lineas << texto.mid(inicio, fin - inicio);
        inicio = fin;
    }
    return lineas;
}

// El mayor n entre 0 y `maximo` con el que `cabe(n)` es verdadero, sabiendo que lo es con 0.
template <typename Prueba>
qsizetype Mayor_que_cabe(qsizetype maximo, Prueba cabe) {
    qsizetype bajo = 0, alto = maximo + 1;
    while (alto - bajo > 1) {
        const qsizetype medio = bajo + (alto - bajo) / 2;
        (cabe(medio) ? bajo : alto) = medio;
    }
    return bajo;
}

void Ajustar_alto(QLabel* etiqueta) {
    if (!etiqueta->property(Propiedad_autoajuste).toBool()) return;
    int alto = etiqueta->heightForWidth(etiqueta->width());
    if (alto < 0) alto = etiqueta->sizeHint().height();
    QRectF puntos = Leer_posicion(etiqueta);
    puntos.setHeight(alto / Pixeles_por_punto_y(etiqueta));
    etiqueta->setProperty(Propiedad_puntos, puntos);
    etiqueta->resize(etiqueta->width(), alto);
}

// El texto para Qt: los '&' del título doblados y un '&' ante la primera aparición de la tecla.
QString Marcar_tecla(const QString& texto, QChar tecla) {
    QString marcado = texto;
    marcado.replace(u"&"_s, u"&&"_s);
    if (tecla.isNull()) return marcado;
    for (qsizetype i = 0; i < marcado.size(); ++i) {
        if (marcado[i] == u'&') {
            ++i;  // un '&' doblado no es la tecla
            continue;
        }
        if (marcado[i].toCaseFolded() == tecla.toCaseFolded()) {
            marcado.insert(i, u'&');
            break;
        }
    }
    return marcado;
}

// El orden de tabulación completo de la ventana de `control`, si se puso con
// Poner_indice_tabulacion.
QList<QWidget*> Orden_de(const QWidget* control) {
    return control->window()->property(Propiedad_orden).value<QList<QWidget*>>();
}

bool Toma_foco_con_teclado(const QWidget* control) {
    return control->isVisible() && control->isEnabled() &&
           (control->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

QChar Tecla_de(const QWidget* control) {
    const QString tecla = control->property(Propiedad_tecla).toString();
    return tecla.isEmpty() ? QChar() : tecla[0].toCaseFolded();
}

// Entre los controles que se ven con la misma letra que `control`, el primero del orden.
QWidget* Control_que_actua(QWidget* control) {
    const QChar tecla = Tecla_de(control);
    if (tecla.isNull()) return control;
    for (QWidget* otro : Orden_de(control))
        if (otro->isVisible() && Tecla_de(otro) == tecla) return otro;
    return control;
}

// El siguiente control del orden de tabulación tras `etiqueta` que toma el foco.
QWidget* Siguiente_con_foco(QWidget* etiqueta) {
    const QList<QWidget*> orden = Orden_de(etiqueta);
    const qsizetype lugar = orden.indexOf(etiqueta);
    if (lugar < 0) return nullptr;
    for (qsizetype i = 1; i <= orden.size(); ++i) {
        QWidget* otro = orden[(lugar + i) % orden.size()];
        if (Toma_foco_con_teclado(otro)) return otro;
    }
    return nullptr;
}

// La tecla de acceso de una etiqueta: Qt la registra sólo si la etiqueta tiene compañero, y con
// él se limitaría a dar el foco a ese control fijo (o a pulsarlo, si es un botón). Así que, si
// no tiene otro, el compañero es la propia etiqueta, y este filtro atiende la tecla. Un
// compañero puesto con QLabel::setBuddy sigue dando su nombre al control para los lectores de
// pantalla; la tecla la atiende igualmente el filtro.
class Tecla_de_etiqueta : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (evento->type() != QEvent::Shortcut) return false;
        if (QWidget* destino = Destino_tecla_acceso(static_cast<QWidget*>(objeto)))
            destino->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
};

// Usar_teclado_de_escritorio: mira todas las teclas de la aplicación antes que los controles.
// Los atajos ya se atendieron antes de que llegue la pulsación, así que lo que aquí llega con
// Alt no tiene atajo que lo atienda.
class Teclado_de_escritorio : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (evento->type() != QEvent::KeyPress || !objeto->isWidgetType()) return false;
        const auto* tecla = static_cast<QKeyEvent*>(evento);
        auto* control = static_cast<QWidget*>(objeto);
        // Con Ctrl+Alt se escriben caracteres en algunos teclados; eso sí se deja pasar.
        const Qt::KeyboardModifiers mods = tecla->modifiers();
        if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !tecla->text().isEmpty() &&
            control->testAttribute(Qt::WA_InputMethodEnabled))
            return true;
        auto* boton = qobject_cast<QPushButton*>(control);
        const bool intro = tecla->key() == Qt::Key_Return || tecla->key() == Qt::Key_Enter;
        // Los botones de una caja de diálogo ya responden a Intro: son los de por omisión.
        if (boton && intro && (mods & ~Qt::KeypadModifier) == Qt::NoModifier &&
            !boton->autoDefault() && !boton->isDefault()) {
            if (!tecla->isAutoRepeat()) boton->click();
            return true;
        }
        return false;
    }
};

}  // namespace

QWidget* Destino_tecla_acceso(QWidget* control) {
    if (!control) return nullptr;
    if (qobject_cast<QAbstractButton*>(control)) return control;
    auto* etiqueta = qobject_cast<QLabel*>(control);
    if (!etiqueta) return nullptr;
    if (Tecla_de(etiqueta).isNull()) return etiqueta->buddy();
    return Siguiente_con_foco(Control_que_actua(etiqueta));
}

void Dar_foco_con_teclado(QWidget* control) {
    // Qt sólo dibuja el anillo en una ventana cuyo foco ya se movió con el teclado.
    control->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    control->setFocus(Qt::TabFocusReason);
}

QString Acortar_ruta(const QString& ruta, const QFontMetrics& medida, int ancho, int lineas) {
    const auto cabe = [&](const QString& texto) {
        return Partir_en_lineas(texto, medida, ancho).size() <= std::max(1, lineas);
    };
    QString mostrada = ruta;
    if (!cabe(ruta)) {
        const qsizetype barra = ruta.lastIndexOf(u'/');
        const QString carpeta = ruta.left(std::max<qsizetype>(barra, 0));
        const QString nombre = ruta.mid(barra + 1);
        const QString cola = (barra >= 0 ? u"…/"_s : u"…"_s) + nombre;
        const auto sin_medio_surrogado = [](const QString& texto, qsizetype n) {
            return n > 0 && texto[n - 1].isHighSurrogate() ? n - 1 : n;
        };
        if (cabe(cola)) {
            qsizetype n = Mayor_que_cabe(carpeta.size(),
                                         [&](qsizetype n) { return cabe(carpeta.left(n) + cola); });
            mostrada = carpeta.left(sin_medio_surrogado(carpeta, n)) + cola;
        } else {
            qsizetype n = Mayor_que_cabe(
                nombre.size(), [&](qsizetype n) { return cabe(u"…"_s + nombre.right(n)); });
            if (n > 0 && nombre[nombre.size() - n].isLowSurrogate()) --n;
            mostrada = u"…"_s + nombre.right(n);
        }
    }
    return Partir_en_lineas(mostrada, medida, ancho).join(u'\n');
}

void Usar_teclado_de_escritorio() {
    static bool puesto = false;
    if (puesto) return;
    puesto = true;
    qApp->installEventFilter(new Teclado_de_escritorio(qApp));
}

int Convertir_puntos_x(double puntos, const QWidget* control) {
    return qRound(puntos * Pixeles_por_punto_x(control));
}

int Convertir_puntos_y(double puntos, const QWidget* control) {
    return qRound(puntos * Pixeles_por_punto_y(control));
}

void Colocar_control(QWidget* control, const QRectF& puntos) {
    Aplicar_posicion(control, puntos);
}

void Poner_ancho(QWidget* control, double puntos) {
    QRectF posicion = Leer_posicion(control);
    posicion.setWidth(puntos);
    Aplicar_posicion(control, posicion);
}

void Poner_alto(QWidget* control, double puntos) {
    QRectF posicion = Leer_posicion(control);
    posicion.setHeight(puntos);
    Aplicar_posicion(control, posicion);
}

QRectF Leer_posicion(const QWidget* control) {
    const QVariant puntos = control->property(Propiedad_puntos);
    if (puntos.isValid()) return puntos.toRectF();
    // Un control que nunca se colocó en puntos: su geometría en píxeles, pasada a puntos.
    const QRect pixeles = control->geometry().translated(-Origen(control));
    const double x = Pixeles_por_punto_x(control), y = Pixeles_por_punto_y(control);
    return QRectF(pixeles.x() / x, pixeles.y() / y, pixeles.width() / x, pixeles.height() / y);
}

void Poner_tecla_acceso(QWidget* control, QChar letra) {
    control->setProperty(Propiedad_tecla, QString(letra));
    if (auto* etiqueta = qobject_cast<QLabel*>(control)) {
        if (!etiqueta->buddy()) etiqueta->setBuddy(etiqueta);
        etiqueta->installEventFilter(new Tecla_de_etiqueta(etiqueta));
    }
}

void Poner_titulo(QWidget* control, const QString& texto) {
    control->setProperty(Propiedad_titulo, texto);
    const QString tecla = control->property(Propiedad_tecla).toString();
    const QString marcado = Marcar_tecla(texto, tecla.isEmpty() ? QChar() : tecla[0]);
    if (auto* etiqueta = qobject_cast<QLabel*>(control)) {
        etiqueta->setText(marcado);
        Ajustar_alto(etiqueta);
    } else if (auto* boton = qobject_cast<QAbstractButton*>(control)) {
        boton->setText(marcado);
    } else if (auto* marco = qobject_cast<QGroupBox*>(control)) {
        marco->setTitle(marcado);
    }
}

QString Leer_titulo(const QWidget* control) {
    return control->property(Propiedad_titulo).toString();
}

void Poner_autoajuste(QLabel* etiqueta, bool activo) {
    etiqueta->setProperty(Propiedad_autoajuste, activo);
    Ajustar_alto(etiqueta);
}

void Poner_fuente(QWidget* control, const QFont& fuente) {
    control->setFont(fuente);
    if (auto* etiqueta = qobject_cast<QLabel*>(control)) Ajustar_alto(etiqueta);
}

void Poner_indice_tabulacion(QList<QWidget*>& orden, QWidget* control, qsizetype posicion) {
    if (!orden.removeOne(control)) return;
    orden.insert(std::clamp<qsizetype>(posicion, 0, orden.size()), control);
    for (qsizetype i = 1; i < orden.size(); ++i) QWidget::setTabOrder(orden[i - 1], orden[i]);
    control->window()->setProperty(Propiedad_orden, QVariant::fromValue(orden));
}

}  // namespace tesmalo
