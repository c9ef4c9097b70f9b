// Las cajas modales en las que se apoyan la ventana y la petición del destino, y el fin del
// proceso. Van juntas en una estructura de funciones para que el programa use las de Qt y las
// pruebas pongan unas con guion: nadie fuera de toolkit/ nombra QMessageBox, QInputDialog ni
// QFileDialog.
#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace tesmalo {

// Una entrada de la lista de filtros del selector de ficheros: la descripción tal como se ve y
// su patrón («*.asc»; «*.*» quiere decir todos los ficheros, también los que no llevan punto).
struct Filtro_fichero {
    QString descripcion;
    QString patron;
};

// Todas se llaman desde el hilo de la interfaz. `padre` es la ventana sobre la que se abre la
// caja (puede ser nulo); las cajas son modales y procesan eventos mientras están abiertas.
struct Herramientas_ventana {
    // Caja de mensaje con `texto`, `titulo`, un solo botón Aceptar y sin icono. Vuelve cuando
    // el usuario la cierra.
    std::function<void(QWidget* padre, const QString& texto, const QString& titulo)>
        Mostrar_mensaje;

    // Caja de una línea con `indicacion`, `titulo` y `predeterminado` listo para editar (todo
    // elegido, en un campo en el que cabe entero si la pantalla da para ello y, si no, visto por
    // su final). Devuelve el texto tal como lo dejó el usuario, o el texto vacío si canceló.
    std::function<QString(QWidget* padre, const QString& indicacion, const QString& titulo,
                          const QString& predeterminado)>
        Pedir_texto;

    // Selector para abrir un fichero con `filtros` en ese orden y la entrada `entrada`
    // (contada desde 1) elegida al abrirse. Devuelve la ruta completa del fichero elegido, o el
    // texto vacío si el usuario canceló.
    std::function<QString(QWidget* padre, const QList<Filtro_fichero>& filtros, int entrada)>
        Elegir_fichero;

    // Termina el proceso en el acto con `estado`, sin volver: no espera a otros hilos ni a
    // lecturas en curso, y no corre destructores ni manejadores de salida.
    std::function<void(int estado)> Terminar_proceso;
};

// Las de Qt: QMessageBox, QInputDialog y QFileDialog (el de Qt, no el del escritorio, para que
// la lista de filtros se vea igual en todas partes) y std::_Exit. El selector enseña los tipos de
// fichero y las fechas en español, sea cual sea la configuración regional, y no guarda nada (ni su
// última carpeta ni su vista) entre ejecuciones.
Herramientas_ventana Herramientas_qt();

// Pone en español los textos propios de Qt (los botones de las cajas, el selector de ficheros)
// con la traducción de Qt instalada en el sistema, sea cual sea la configuración regional, más
// los textos del selector que esa traducción no trae. Se llama una vez, con la aplicación ya
// creada; devuelve falso si la traducción no está.
bool Cargar_traduccion_qt();

}  // namespace tesmalo
