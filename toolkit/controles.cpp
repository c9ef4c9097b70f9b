#include "toolkit/controles.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QVariant>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace tesmalo {
namespace {

// Lo que cada control recuerda, en propiedades dinámicas.
constexpr char Propiedad_puntos[] = "tesmalo_puntos";
constexpr char Propiedad_tecla[] = "tesmalo_tecla_acceso";
constexpr char Propiedad_titulo[] = "tesmalo_titulo";
constexpr char Propiedad_autoajuste[] = "tesmalo_autoajuste";

double Pixeles_por_punto_x(const QWidget* control) {
    return control->logicalDpiX() / 72.0;
}
double Pixeles_por_punto_y(const QWidget* control) {
    return control->logicalDpiY() / 72.0;
}

// El origen de las posiciones: el área de cliente de la ventana o el interior del marco (un
// QGroupBox deja en sus márgenes el borde y el título).
QPoint Origen(const QWidget* control) {
    const QWidget* padre = control->isWindow() ? nullptr : control->parentWidget();
    return padre ? padre->contentsRect().topLeft() : QPoint();
}

void Aplicar_posicion(QWidget* control, const QRectF& puntos) {
    control->setProperty(Propiedad_puntos, puntos);
    const QPoint origen = Origen(control);
    const QRect pixeles(origen.x() + Convertir_puntos_x(puntos.left(), control),
                        origen.y() + Convertir_puntos_y(puntos.top(), control),
                        Convertir_puntos_x(std::max(0.0, puntos.width()), control),
                        Convertir_puntos_y(std::max(0.0, puntos.height()), control));
    if (control->isWindow())
        control->resize(pixeles.size());
    else
        control->setGeometry(pixeles);
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

}  // namespace

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
}

}  // namespace tesmalo
