#include "toolkit/cierre.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <cstdlib>
#include <cstring>

namespace tesmalo {
namespace {

xcb_atom_t Atomo(xcb_connection_t* conexion, const char* nombre) {
    const xcb_intern_atom_cookie_t galleta =
        xcb_intern_atom(conexion, 0, static_cast<uint16_t>(std::strlen(nombre)), nombre);
    xcb_intern_atom_reply_t* respuesta = xcb_intern_atom_reply(conexion, galleta, nullptr);
    const xcb_atom_t atomo = respuesta ? respuesta->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(respuesta);
    return atomo;
}

// Mira los mensajes de X antes que Qt: un WM_DELETE_WINDOW para la ventana mientras hay una caja
// modal abierta la cierra.
class Filtro_cierre : public QObject, public QAbstractNativeEventFilter {
  public:
    Filtro_cierre(QWidget* ventana, xcb_atom_t protocolos, xcb_atom_t borrar)
        : QObject(ventana), ventana_(ventana), protocolos_(protocolos), borrar_(borrar) {
        qApp->installNativeEventFilter(this);
    }
    ~Filtro_cierre() override { qApp->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& tipo, void* mensaje, qintptr*) override {
        if (tipo != "xcb_generic_event_t" || !ventana_) return false;
        const auto* evento = static_cast<const xcb_generic_event_t*>(mensaje);
        if ((evento->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
        const auto* cliente = static_cast<const xcb_client_message_event_t*>(mensaje);
        if (cliente->format != 32 || cliente->type != protocolos_ ||
            cliente->data.data32[0] != borrar_ || cliente->window != ventana_->winId())
            return false;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == ventana_) return false;  // Qt lo atiende como siempre
        // Fuera del filtro: el cierre puede abrir o cerrar ventanas.
        QMetaObject::invokeMethod(ventana_, &QWidget::close, Qt::QueuedConnection);
        return true;
    }

  private:
    QPointer<QWidget> ventana_;
    xcb_atom_t protocolos_, borrar_;
};

}  // namespace

void Cerrar_tambien_bloqueada(QWidget* ventana) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return;
    xcb_connection_t* conexion = x11->connection();
    new Filtro_cierre(ventana, Atomo(conexion, "WM_PROTOCOLS"),
                      Atomo(conexion, "WM_DELETE_WINDOW"));
}

}  // namespace tesmalo
