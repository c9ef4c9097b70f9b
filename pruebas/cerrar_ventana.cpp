// tesmalo-cerrar-ventana VENTANA: pide a la ventana VENTANA (su número de X, en decimal, como lo
// da xdotool) que se cierre con el mensaje WM_DELETE_WINDOW, lo mismo que manda el gestor de
// ventanas cuando el usuario pulsa el control de cierre de la barra de título. La usa la prueba
// de la ventana real, que corre en un servidor X sin gestor de ventanas.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t Atomo(xcb_connection_t* conexion, const char* nombre) {
    xcb_intern_atom_reply_t* respuesta = xcb_intern_atom_reply(
        conexion, xcb_intern_atom(conexion, 0, static_cast<uint16_t>(std::strlen(nombre)), nombre),
        nullptr);
    if (!respuesta) return XCB_ATOM_NONE;
    const xcb_atom_t atomo = respuesta->atom;
    std::free(respuesta);
    return atomo;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "Uso: tesmalo-cerrar-ventana VENTANA\n");
        return 2;
    }
    xcb_connection_t* conexion = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conexion)) {
        std::fprintf(stderr, "No se puede abrir la pantalla.\n");
        return 1;
    }
    xcb_client_message_event_t mensaje{};
    mensaje.response_type = XCB_CLIENT_MESSAGE;
    mensaje.format = 32;
    mensaje.window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 10));
    mensaje.type = Atomo(conexion, "WM_PROTOCOLS");
    mensaje.data.data32[0] = Atomo(conexion, "WM_DELETE_WINDOW");
    mensaje.data.data32[1] = XCB_CURRENT_TIME;
    xcb_generic_error_t* error = xcb_request_check(
        conexion, xcb_send_event_checked(conexion, 0, mensaje.window, XCB_EVENT_MASK_NO_EVENT,
                                         reinterpret_cast<const char*>(&mensaje)));
    if (error) {
        std::fprintf(stderr, "El servidor X rechazó el mensaje (error %d).\n", error->error_code);
        std::free(error);
    }
    xcb_disconnect(conexion);
    return error ? 1 : 0;
}
