// La única ventana del programa: tres campos con los números de la rejilla, el botón que elige
// el origen y, en su sitio, el que arranca la conversión, el marco con el progreso y la etiqueta
// con el destino.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QWidget>

#include "toolkit/herramientas.h"

class QGroupBox;
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
class UserForm1 : public QWidget {
    Q_OBJECT

  public:
    // Las cajas y el proceso de eventos salen de `herramientas`, que deben vivir lo que la
    // ventana. La ventana se crea con la disposición de diseño; UserForm_Activate la deja en el
    // estado de inicio al mostrarse por primera vez.
    explicit UserForm1(Herramientas_ventana herramientas, QWidget* padre = nullptr);

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
    QGroupBox* FrameProgress;
    QLabel* LabelProgress;  // la barra, dentro del marco

    // Vacíos al empezar; los fija la única selección de origen.
    QString Ruta_origen;
    QString Carpeta_origen;
    QString Ruta_destino;

    // Rutina de inicio: título, fuentes, títulos, orden de tabulación, campos a "0", marco,
    // etiqueta y segundo botón ocultos, y el foco en CommandButton1. Corre una vez, al
    // mostrarse la ventana por primera vez.
    void UserForm_Activate();

    // Elige el origen, pide el destino, explora la cabecera y pone sus números en los campos.
    // Si el selector se cancela no cambia nada.
    void CommandButton1_Click();
    // Convierte los tres campos, muestra el destino y el progreso, convierte y cierra la ventana.
    void CommandButton2_Click();

    // Antes de que el foco salga de un campo: un texto que no es un número se rechaza con un
    // mensaje, el campo pasa a "0" y se queda con el foco (Cancel).
    void TextBox1_Exit(bool& Cancel);
    void TextBox2_Exit(bool& Cancel);
    void TextBox3_Exit(bool& Cancel);

    // Las operaciones de progreso de la conversión. Indicar_progreso se llama una vez por fila
    // y es barata: guarda la fracción y sólo cada Intervalo_eventos_ms (y la primera vez) la
    // muestra y atiende los eventos. Si entretanto se cerró la ventana, lanza una excepción que
    // detiene la conversión. Indicar_fin muestra la última fracción recibida.
    void Indicar_inicio();
    void Indicar_progreso(double fraccion);
    void Indicar_fin();

    // Muestra `fraccion` en el título del marco («50.000%», con el separador decimal del
    // usuario) y en la barra: (ancho del marco − 10) × fraccion puntos, nunca negativa.
    void Mostrar_progreso(double fraccion);

    // 0 si el programa acaba bien o porque el usuario cerró la ventana; 1 si acabó por un error.
    int Leer_estado_salida() const { return estado_salida_; }

    static constexpr int Intervalo_eventos_ms = 20;

  protected:
    void showEvent(QShowEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;

  private:
    void Validar_campo(QLineEdit* campo, bool& Cancel);
    // Corre una acción del usuario; si lanza, muestra la causa y termina con estado 1.
    void Ejecutar_accion(void (UserForm1::*accion)());
    void Avisar_rejilla_descuadrada(const Resumen_conversion& resumen);
    void Terminar_programa(int estado);

    Herramientas_ventana herramientas_;
    QList<QWidget*> orden_tabulacion_;
    bool activada_ = false;
    bool en_marcha_ = false;
    bool cierre_pedido_ = false;
    int estado_salida_ = 0;
    double ultima_fraccion_ = 0;
    QElapsedTimer reloj_eventos_;  // desde la última atención de eventos
    qint64 ultima_mirada_ns_ = 0;  // cuándo se miró el reloj por última vez
    qint64 paso_avisos_ = 1;       // cada cuántos avisos se mira el reloj
    qint64 avisos_hasta_mirar_ = 0;
};

}  // namespace tesmalo
