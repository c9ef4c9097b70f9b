// El marco de la ventana: un borde hundido con el título dibujado sobre su borde de arriba, y
// los controles de dentro colocados desde la esquina de su interior, dentro del borde.
#pragma once

#include <QGroupBox>

namespace tesmalo {

// Un QGroupBox que se dibuja a sí mismo, igual con cualquier estilo: el borde hundido, de dos
// píxeles, empieza a media altura del título, y el título (la fuente del marco, en el color de
// texto de su paleta, sobre el color de fondo) lo tapa a la izquierda. Colocar_control mide la
// posición de un control hijo desde Interior() y no deja que se salga de él: lo que no cabe se
// corta en el borde.
class Marco : public QGroupBox {
    Q_OBJECT

  public:
    explicit Marco(QWidget* padre = nullptr);

    // La parte de dentro del borde, en píxeles del marco.
    QRect Interior() const;

    // Hace que los lectores de pantalla lean el marco como una barra de progreso que va de 0 a
    // 100 y está en `porcentaje` (que puede salirse de ese intervalo), con el título como
    // nombre. Avisa del cambio a quien esté escuchando.
    void Poner_valor_accesible(double porcentaje);

  protected:
    void paintEvent(QPaintEvent* evento) override;

  private:
    QRect Borde() const;
};

}  // namespace tesmalo
