// tesmalo: la ventana que convierte una rejilla de texto en una rejilla ASCII de Esri.
// Sólo entiende --help y --version, que escriben y acaban sin abrir la ventana; por lo demás
// muestra la ventana y acaba cuando se cierra.
#include <QApplication>
#include <QIcon>
#include <QList>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dialog/userform1.h"
#include "sistema/senales.h"
#include "sistema/temporales.h"
#include "toolkit/herramientas.h"

namespace {

const char* const Texto_ayuda =
    "Modo de empleo: tesmalo [--help | --version]\n"
    "\n"
    "Abre la ventana que convierte una rejilla de texto de un modelo digital del terreno en una\n"
    "rejilla ASCII de Esri: una cabecera de seis líneas y una fila de la rejilla por línea, con\n"
    "los valores copiados tal cual. Para convertir sin ventana, tesmalo-cli.\n"
    "\n"
    "Opciones:\n"
    "  -h, --ayuda, --help  muestra esta ayuda\n"
    "  --version            muestra la versión del programa\n";

// Los avisos de Qt mientras abre la conexión con la pantalla: se guardan y, si la abre, se
// escriben después como siempre. Si no la abre, Qt acaba con un error fatal en inglés y un
// aborto; en su lugar se dice en español que no hay pantalla y se sale con 1.
struct Aviso_retenido {
    QtMsgType tipo;
    QString texto;
};
QList<Aviso_retenido> avisos_retenidos;

void Al_abrir_la_pantalla(QtMsgType tipo, const QMessageLogContext&, const QString& texto) {
    if (tipo != QtFatalMsg) {
        avisos_retenidos.append({tipo, texto});
        return;
    }
    const auto variable = [](const char* nombre) {
        const char* valor = std::getenv(nombre);
        return valor && *valor ? QStringLiteral("«%1»").arg(QString::fromLocal8Bit(valor))
                               : QStringLiteral("sin poner");
    };
    QString mensaje = QStringLiteral(
                          "tesmalo: no se encontró una pantalla en la que abrir la ventana "
                          "(DISPLAY %1, WAYLAND_DISPLAY %2). Para convertir sin pantalla está "
                          "tesmalo-cli.\n")
                          .arg(variable("DISPLAY"), variable("WAYLAND_DISPLAY"));
    // Con una pantalla puesta que no responde, lo que Qt vio, por si ayuda a saber por qué.
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"))
        for (const Aviso_retenido& aviso : std::as_const(avisos_retenidos))
            mensaje += QStringLiteral("tesmalo: Qt: %1\n").arg(aviso.texto);
    std::fputs(mensaje.toLocal8Bit().constData(), stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "--ayuda") ||
            !std::strcmp(argv[i], "-h")) {
            std::fputs(Texto_ayuda, stdout);
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
        }
        if (!std::strcmp(argv[i], "--version")) {
            std::puts("tesmalo " TESMALO_VERSION);
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
        }
    }

    // Ctrl+C en el terminal que la lanzó, SIGTERM o el fin de la sesión (SIGHUP) acaban la
    // ventana sin dejar temporales; un límite de tamaño de fichero da un mensaje de error.
    tesmalo::Atender_senales_de_fin();
    const QtMessageHandler anterior = qInstallMessageHandler(Al_abrir_la_pantalla);
    QApplication aplicacion(argc, argv);
    qInstallMessageHandler(anterior);
    for (const Aviso_retenido& aviso : std::as_const(avisos_retenidos))
        qt_message_output(aviso.tipo, QMessageLogContext(), aviso.texto);
    avisos_retenidos.clear();

    tesmalo::Cargar_traduccion_qt();  // sin ella, los botones de las cajas salen en inglés
    aplicacion.setWindowIcon(QIcon(QStringLiteral(":/tesmalo/tesmalo.png")));
    aplicacion.setDesktopFileName(QStringLiteral("tesmalo"));

    tesmalo::Herramientas_ventana herramientas = tesmalo::Herramientas_qt();
    // Cerrar la ventana acaba el proceso en el acto, aunque la conversión espere una lectura:
    // antes se borran sus temporales, que ya no podrá renombrar.
    herramientas.Terminar_proceso = [](int estado) {
        tesmalo::Abandonar_temporales();
        std::_Exit(estado);
    };
    tesmalo::UserForm1 ventana(std::move(herramientas));
    ventana.show();
    const int estado = aplicacion.exec();
    return estado != 0 ? estado : ventana.Leer_estado_salida();
}
