#include "toolkit/salida_campo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWindow>

#include "toolkit/controles.h"

namespace tesmalo {
namespace {

// El control al que Qt daría el foco por un clic en `tocado`: él o el primero de sus padres que
// está habilitado y toma el foco con el clic (con su delegado de foco, si lo tiene).
QWidget* Control_del_clic(QWidget* tocado) {
    for (QWidget* control = tocado; control; control = control->parentWidget()) {
        if (control->isEnabled() && (control->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus) {
            QWidget* destino = control;
            while (destino->focusProxy()) destino = destino->focusProxy();
            return destino;
        }
        if (control->isWindow()) break;
    }
    return nullptr;
}

// Filtro de la aplicación: ve las teclas, los atajos y los clics antes de que muevan el foco.
class Vigilante_salida : public QObject {
  public:
    Vigilante_salida(QLineEdit* campo, std::function<void(bool&)> manejador)
        : QObject(campo), campo_(campo), manejador_(std::move(manejador)) {}

  protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        switch (evento->type()) {
            case QEvent::KeyPress:
                return objeto == campo_ && Es_tabulacion(static_cast<QKeyEvent*>(evento)) &&
                       !Permitir_salida();
            case QEvent::Shortcut:
                return Tiene_foco() && Sale_por_atajo(objeto) && !Permitir_salida();
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                return Tiene_foco() && Sale_por_clic(objeto, static_cast<QMouseEvent*>(evento)) &&
                       !Permitir_salida();
            default:
                return false;
        }
    }

  private:
    bool Tiene_foco() const { return campo_->window()->focusWidget() == campo_; }

    // Tab y Mayús+Tab mueven el foco salvo con Ctrl o Alt (así lo hace QWidget::event).
    static bool Es_tabulacion(const QKeyEvent* tecla) {
        return (tecla->key() == Qt::Key_Tab || tecla->key() == Qt::Key_Backtab) &&
               !(tecla->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    }

    // Un atajo de otro control de la ventana: un botón toma el foco; una etiqueta lo pasa a otro
    // control, que puede ser el propio campo.
    bool Sale_por_atajo(QObject* objeto) const {
        auto* control = qobject_cast<QWidget*>(objeto);
        if (!control || control == campo_ || control->window() != campo_->window()) return false;
        control = Destino_tecla_acceso(control);
        return control && control != campo_;
    }

    bool Sale_por_clic(QObject* objeto, const QMouseEvent* raton) const {
        QWidget* ventana = campo_->window();
        if (!objeto->isWindowType() || objeto != ventana->windowHandle()) return false;
        QWidget* destino = Control_del_clic(ventana->childAt(raton->position().toPoint()));
        return destino && destino != campo_;
    }

    bool Permitir_salida() {
        bool Cancel = false;
        manejador_(Cancel);
        return !Cancel;
    }

    QLineEdit* campo_;
    std::function<void(bool&)> manejador_;
};

}  // namespace

void Vigilar_salida(QLineEdit* campo, std::function<void(bool& Cancel)> manejador) {
    qApp->installEventFilter(new Vigilante_salida(campo, std::move(manejador)));
}

}  // namespace tesmalo
