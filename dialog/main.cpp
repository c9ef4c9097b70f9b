// tesmalo: la ventana que convierte una rejilla de texto en una rejilla ASCII de Esri.
// No lee argumentos ni ajustes: muestra la ventana y acaba cuando se cierra.
#include <QApplication>
#include <QIcon>
#include <cstdlib>

#include "conversion/temporales.h"
#include "dialog/userform1.h"
#include "toolkit/herramientas.h"

int main(int argc, char* argv[]) {
    // Ctrl+C en el terminal que la lanzó, SIGTERM o el fin de la sesión (SIGHUP) acaban la
    // ventana sin dejar temporales; un límite de tamaño de fichero da un mensaje de error.
    tesmalo::Atender_senales_de_fin();
    QApplication aplicacion(argc, argv);
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
