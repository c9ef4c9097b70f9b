// tesmalo-ventana-guion ORIGEN DESTINO: hace una conversión por la ventana, sin pantalla y con
// cajas de guion (el selector da ORIGEN, la caja del destino da DESTINO), como quien pulsa los
// dos botones. Escribe en la salida estándar el tiempo de la conversión (desde el botón de
// arranque hasta el cierre de la ventana), cuántos avances de la conversión mostró la ventana,
// el mayor hueco entre dos durante las filas, el hueco hasta Indicar_fin (que incluye confirmar
// el destino en disco) y el porcentaje que quedó a la vista. Sale con el estado de la
// ventana. La usa bench/medir-ventana para compararla con tesmalo-cli.
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "dialog/userform1.h"
#include "toolkit/controles.h"
#include "toolkit/herramientas_guion.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacion(argc, argv);
    const QStringList argumentos = aplicacion.arguments();
    if (argumentos.size() != 3) {
        std::fprintf(stderr, "Uso: tesmalo-ventana-guion ORIGEN DESTINO\n");
        return 2;
    }

    tesmalo::Guion_cajas guion;
    guion.ficheros << argumentos[1];
    guion.textos << [destino = argumentos[2]](const QString&) { return destino; };
    guion.al_mostrar_mensaje = [](const tesmalo::Guion_cajas::Mensaje& mensaje) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(mensaje.titulo), qPrintable(mensaje.texto));
    };
    tesmalo::UserForm1 ventana(guion.Herramientas());
    // Los huecos entre avances mostrados; el último acaba en Indicar_fin, tras confirmar el
    // destino en disco.
    QElapsedTimer desde_la_ultima;
    QList<qint64> huecos;
    int avances = 0;
    QObject::connect(&ventana, &tesmalo::UserForm1::Avance_mostrado, [&] {
        ++avances;
        if (desde_la_ultima.isValid()) huecos << desde_la_ultima.nsecsElapsed();
        desde_la_ultima.start();
    });

    ventana.show();
    QElapsedTimer reloj;
    // El primer botón explora la cabecera en el hilo de trabajo; el segundo se pulsa cuando
    // esa acción ha acabado.
    QTimer espera;
    QObject::connect(&espera, &QTimer::timeout, &ventana, [&] {
        if (ventana.Accion_en_curso()) return;
        espera.stop();
        reloj.start();
        ventana.CommandButton2->click();
    });
    QTimer::singleShot(0, &ventana, [&] {
        ventana.CommandButton1->click();
        espera.start(1);
    });
    aplicacion.exec();
    const qint64 duracion = reloj.isValid() ? reloj.nsecsElapsed() : 0;
    const QString ultimo_titulo = tesmalo::Leer_titulo(ventana.FrameProgress);

    const qint64 final = huecos.isEmpty() ? 0 : huecos.takeLast();
    const qint64 maximo = huecos.isEmpty() ? 0 : *std::max_element(huecos.begin(), huecos.end());
    std::printf(
        "conversión %.3f s; avances mostrados %d; hueco máximo entre filas %.1f ms, "
        "hasta Indicar_fin %.1f ms; marco %s\n",
        duracion / 1e9, avances, maximo / 1e6, final / 1e6, qPrintable(ultimo_titulo));
    return ventana.Leer_estado_salida();
}
