// Operaciones sobre los controles de la ventana: posiciones y tamaños en puntos, títulos con
// tecla de acceso, etiquetas que ajustan su alto al texto y orden de tabulación.
//
// Las posiciones y los tamaños se dan en puntos (1/72 de pulgada) desde la esquina superior
// izquierda del área de cliente de la ventana o, para un control dentro de un marco, desde la
// del interior del marco. Se pasan a píxeles con la resolución lógica de la pantalla del
// control. Cada control recuerda los puntos que se le dieron, así que leer un ancho devuelve el
// último ancho puesto, sin el redondeo a píxeles.
#pragma once

#include <QList>
#include <QRectF>
#include <QString>

class QFont;
class QLabel;
class QWidget;

namespace tesmalo {

// Píxeles de `puntos` en horizontal y en vertical con la resolución lógica de `control`.
int Convertir_puntos_x(double puntos, const QWidget* control);
int Convertir_puntos_y(double puntos, const QWidget* control);

// Coloca el control: izquierda, arriba, ancho y alto en puntos. Un ancho o alto negativo se
// toma como 0. No reajusta el alto de una etiqueta con autoajuste: un tamaño puesto a mano vale
// hasta que cambie el título.
void Colocar_control(QWidget* control, const QRectF& puntos);
void Poner_ancho(QWidget* control, double puntos);
void Poner_alto(QWidget* control, double puntos);

// La posición y el tamaño en puntos, tal como se pusieron (el alto, como lo dejó el autoajuste).
QRectF Leer_posicion(const QWidget* control);
inline double Leer_ancho(const QWidget* control) {
    return Leer_posicion(control).width();
}

// La letra que, con Alt, actúa sobre el control: se subraya su primera aparición en el título
// (sin distinguir mayúsculas). Se fija antes de poner el título. Una etiqueta con tecla de
// acceso pasa el foco a su compañero (QLabel::setBuddy), que pone quien la crea.
void Poner_tecla_acceso(QWidget* control, QChar letra);

// Pone el título de una etiqueta, un botón o un marco. Un salto de línea empieza otra línea;
// un '&' se ve tal cual. Una etiqueta con autoajuste toma el alto que pide su texto.
void Poner_titulo(QWidget* control, const QString& texto);

// El título tal como se puso, sin la marca de la tecla de acceso.
QString Leer_titulo(const QWidget* control);

// Con el autoajuste, una etiqueta conserva su posición y su ancho y toma el alto que necesita
// su texto partido en palabras a ese ancho. Se recalcula al activarlo, al cambiar el título y
// al cambiar la fuente con Poner_fuente.
void Poner_autoajuste(QLabel* etiqueta, bool activo);

// Pone la fuente del control (nombre, tamaño en puntos, negrita).
void Poner_fuente(QWidget* control, const QFont& fuente);

// Lleva `control` al lugar `posicion` (desde 0) de `orden` y corre una plaza los que van detrás,
// y aplica el orden resultante a la tecla Tab. `orden` lista todos los controles de la ventana
// (también los que no toman el foco); Tab y Mayús+Tab lo siguen entre los que se ven y toman el
// foco, y dan la vuelta al llegar al final.
void Poner_indice_tabulacion(QList<QWidget*>& orden, QWidget* control, qsizetype posicion);

}  // namespace tesmalo
