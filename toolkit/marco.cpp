#include "toolkit/marco.h"

#include <qdrawutil.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace tesmalo {
namespace {

constexpr int Ancho_borde = 2;     // el borde hundido de qDrawWinPanel
constexpr int Sangria_titulo = 6;  // del borde izquierdo al fondo del título
constexpr int Holgura_titulo = 2;  // fondo a cada lado del texto del título
constexpr char Propiedad_valor[] = "tesmalo_valor_accesible";

// Lo que un lector de pantalla ve de un Marco: un grupo y, con un valor puesto, una barra de
// progreso con ese valor. El nombre es el título, sin la marca de la tecla de acceso.
class Marco_accesible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit Marco_accesible(QWidget* marco) : QAccessibleWidget(marco, QAccessible::Grouping) {}

    QAccessible::Role role() const override {
        return Valor().isValid() ? QAccessible::ProgressBar : QAccessible::Grouping;
    }
    QString text(QAccessible::Text tipo) const override {
        if (tipo == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const QGroupBox*>(widget())->title().replace(u"&&"_s, u"&"_s);
        return QAccessibleWidget::text(tipo);
    }
    void* interface_cast(QAccessible::InterfaceType tipo) override {
        if (tipo == QAccessible::ValueInterface && Valor().isValid())
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(tipo);
    }

    QVariant currentValue() const override { return Valor(); }
    void setCurrentValue(const QVariant&) override {}  // sólo se lee
    QVariant maximumValue() const override { return 100.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.0; }

  private:
    QVariant Valor() const { return widget()->property(Propiedad_valor); }
};

QAccessibleInterface* Fabrica_accesible(const QString& clase, QObject* objeto) {
    if (clase == QLatin1StringView(Marco::staticMetaObject.className()) && objeto &&
        objeto->isWidgetType())
        return new Marco_accesible(static_cast<QWidget*>(objeto));
    return nullptr;
}

}  // namespace

Marco::Marco(QWidget* padre) : QGroupBox(padre) {
    static const bool fabrica_puesta = (QAccessible::installFactory(Fabrica_accesible), true);
    Q_UNUSED(fabrica_puesta);
}

QRect Marco::Borde() const {
    const int arriba = fontMetrics().height() / 2;
    return QRect(0, arriba, width(), height() - arriba);
}

QRect Marco::Interior() const {
    return Borde().adjusted(Ancho_borde, Ancho_borde, -Ancho_borde, -Ancho_borde);
}

void Marco::Poner_valor_accesible(double porcentaje) {
    if (property(Propiedad_valor) == QVariant(porcentaje)) return;
    setProperty(Propiedad_valor, porcentaje);
    QAccessibleValueChangeEvent cambio(this, porcentaje);
    QAccessible::updateAccessibility(&cambio);
}

void Marco::paintEvent(QPaintEvent*) {
    QPainter pintor(this);
    qDrawWinPanel(&pintor, Borde(), palette(), true);
    if (title().isEmpty()) return;
    const QSize texto = fontMetrics().size(Qt::TextShowMnemonic, title());
    const QRect sitio(Sangria_titulo, 0, texto.width() + 2 * Holgura_titulo,
                      fontMetrics().height());
    pintor.fillRect(sitio, palette().color(backgroundRole()));
    style()->drawItemText(&pintor, sitio, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), title(), foregroundRole());
}

}  // namespace tesmalo
