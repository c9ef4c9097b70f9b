// La única ventana del programa: tres campos con los números de la rejilla, el botón que elige
// el origen y, en su sitio, el que arranca la conversión, el marco con el progreso y la etiqueta
// con el destino.
//
// Quién corre dónde. Todo lo de la ventana (los controles, las cajas, los clics) corre en el hilo
// de la interfaz, y ninguna de sus funciones espera allí a un fichero ni atiende eventos por su
// cuenta: vuelve enseguida al bucle de eventos de Qt. Lo que lee o escribe ficheros (explorar la
// cabecera del origen, convertir) corre en un único hilo de trabajo de la ventana
// (Trabajo_en_hilo, un QThread), una tarea tras otra. De allí vuelven a la ventana, como llamadas
// en su cola de eventos y en el orden en que se dieron, los avisos de la conversión (inicio,
// progreso, fin) y el final de cada tarea, con su resultado o su error; la ventana los atiende
// cuando le llegan. Al acabar de escribir, la conversión espera en su hilo a que la ventana haya
// mostrado la última fracción antes de dar al destino su nombre, y «Finalizado» se pone cuando la
// tarea ha acabado. Cerrar la ventana acaba el proceso desde el hilo de la interfaz sin esperar
// al de trabajo (Herramientas_ventana::Terminar_proceso).
#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>

#include "dialog/tarea_conversion.h"
#include "dialog/trabajo_en_hilo.h"
#include "toolkit/herramientas.h"
#include "toolkit/marco.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tesmalo {

struct Resumen_conversion;

// La ventana sigue estos estados: inicio (elegir origen), origen elegido (revisar los números y
// arrancar), en marcha (progreso) y finalizado, tras el cual se cierra sola. El usuario puede
// cerrarla en cualquier momento, sin confirmación.
//
// Todo error que salga de una acción del usuario se muestra en una caja titulada "Tesmalo" con
// su causa y, al cerrarla, la ventana se cierra con estado de salida 1.
//
// Cerrar la ventana (el control de la barra de título o el cierre del gestor de ventanas) acaba
// el proceso en el acto con Herramientas_ventana::Terminar_proceso(0), en cualquier estado,
// también con una caja abierta o con la conversión esperando una lectura: sin aviso y sin
// destino (quien da Terminar_proceso retira los temporales de la conversión).
class UserForm1 : public QWidget {
    Q_OBJECT

  public:
    // Las cajas y el fin del proceso salen de `herramientas`, que deben vivir lo que la
    // ventana. La ventana se crea con la disposición de diseño; UserForm_Activate la deja en el
    // estado de inicio al mostrarse por primera vez.
    explicit UserForm1(Herramientas_ventana herramientas, QWidget* padre = nullptr);
    // Detiene la conversión en marcha y espera a que acabe la tarea del hilo de trabajo.
    ~UserForm1() override;

    // Los controles, con su nombre también como objectName.
    QLabel* Label1;
    QLineEdit* TextBox1;  // líneas de cabecera del origen
    QLabel* Label2;
    QLineEdit* TextBox2;  // columnas
    QLabel* Label3;
    QLineEdit* TextBox3;  // filas
    QLabel* Label4;       // el destino, durante la conversión
    QPushButton* CommandButton1;
    QPushButton* CommandButton2;
    Marco* FrameProgress;
    QLabel* LabelProgress;  // la barra, dentro del marco

    // Vacíos al empezar; los fija la única selección de origen.
    QString Ruta_origen;
    QString Carpeta_origen;
    QString Ruta_destino;

    // Rutina de inicio: título, fuentes, títulos, orden de tabulación, campos a "0", marco,
    // etiqueta y segundo botón ocultos, y el foco en CommandButton1. Corre una vez, al
    // mostrarse la ventana por primera vez.
    void UserForm_Activate();

    // Elige el origen, pide el destino y manda explorar la cabecera al hilo de trabajo; cuando
    // acaba, pone sus números en los campos. Si el selector se cancela no cambia nada.
    void CommandButton1_Click();
    // Convierte los tres campos, muestra el destino y el progreso y manda la conversión al hilo
    // de trabajo; cuando acaba, cierra la ventana.
    void CommandButton2_Click();

    // Verdadero mientras corre una acción del usuario, también la parte que espera al hilo de
    // trabajo: entonces otra no empieza.
    bool Accion_en_curso() const { return accion_en_curso_; }

    // Antes de que el foco salga de un campo: un texto que no es un número se rechaza con un
    // mensaje, el campo pasa a "0" y se queda con el foco (Cancel).
    void TextBox1_Exit(bool& Cancel);
    void TextBox2_Exit(bool& Cancel);
    void TextBox3_Exit(bool& Cancel);

    // Las operaciones de progreso, en el hilo de la interfaz. La conversión corre en el hilo de
    // trabajo (Tarea_conversion) y sus avisos llegan aquí en orden: Indicar_inicio pone el
    // título "Reestructurando"; Indicar_progreso muestra la fracción, con 0 al empezar y luego
    // cada Tarea_conversion::Intervalo_avisos_ms como mucho; Indicar_fin muestra `fraccion`,
    // la última, pone el título "Finalizado" y dibuja la ventana. Indicar_fin llega cuando la
    // conversión ya ha vuelto: el destino está en disco y con su nombre, y cerrar la ventana
    // desde entonces no lo quita. Antes, cerrarla abandona la conversión. Las dos últimas
    // emiten Avance_mostrado al acabar.
    void Indicar_inicio();
    void Indicar_progreso(double fraccion);
    void Indicar_fin(double fraccion);

    // Muestra `fraccion` en el título del marco («50.000%», con el separador decimal del
    // usuario) y en la barra: (ancho del marco − 10) × fraccion puntos, nunca negativa. Los
    // lectores de pantalla leen el marco como una barra de progreso con ese porcentaje.
    void Mostrar_progreso(double fraccion);

    // 0 si el programa acaba bien; 1 si acabó por un error.
    int Leer_estado_salida() const { return estado_salida_; }

  signals:
    // Se acaba de mostrar un avance de la conversión (Indicar_progreso o Indicar_fin).
    void Avance_mostrado();

  protected:
    void showEvent(QShowEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;

  private:
    void Validar_campo(QLineEdit* campo, bool& Cancel);
    // Pone en Label4 "Generando nuevo fichero en:" y, debajo, Ruta_destino, en el sitio que hay
    // hasta el marco: si no cabe, sin el final de la carpeta (Acortar_ruta). La ruta entera
    // queda en la ayuda emergente y en la descripción accesible de la etiqueta.
    void Mostrar_destino();
    // Corre una acción del usuario; si lanza, o lanza la tarea que mandó al hilo de trabajo,
    // muestra la causa y termina con estado 1. Mientras corre una, otra no empieza.
    void Ejecutar_accion(void (UserForm1::*accion)());
    // Desde una acción: corre `tarea` en el hilo de trabajo y después, en este, `despues` (si la
    // tarea no lanzó y la ventana no se cerró); la acción acaba entonces.
    void En_hilo(std::function<void()> tarea, std::function<void()> despues);
    // La acción en curso acabó, con `error` si lanzó.
    void Acabar_accion(std::exception_ptr error);
    void Avisar_rejilla_descuadrada(const Resumen_conversion& resumen);
    void Terminar_programa(int estado);

    Herramientas_ventana herramientas_;
    QList<QWidget*> orden_tabulacion_;
    bool activada_ = false;
    bool accion_en_curso_ = false;
    bool tarea_en_curso_ = false;  // la acción espera a su tarea del hilo de trabajo
    bool terminando_ = false;      // el propio programa cierra la ventana
    bool cierre_pedido_ = false;   // el usuario la cerró
    int estado_salida_ = 0;
    double fraccion_final_ = 0;                     // la del aviso de fin de la conversión
    std::shared_ptr<Tarea_conversion> conversion_;  // la que está en marcha
    Trabajo_en_hilo hilo_{this};  // el último: se destruye antes que lo que usan sus tareas
};

}  // namespace tesmalo
