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
class QFontMetrics;
class QLabel;
class QWidget;

namespace tesmalo {

// Píxeles de `puntos` en horizontal y en vertical con la resolución lógica de `control`.
int Convertir_puntos_x(double puntos, const QWidget* control);
int Convertir_puntos_y(double puntos, const QWidget* control);

// Coloca el control: izquierda, arriba, ancho y alto en puntos. Un ancho o alto negativo se
// toma como 0. Dentro de un Marco (toolkit/marco.h) el control se corta en el borde. No reajusta el
// alto de una etiqueta con autoajuste: un tamaño puesto a mano vale hasta que cambie el título.
void Colocar_control(QWidget* control, const QRectF& puntos);
void Poner_ancho(QWidget* control, double puntos);
void Poner_alto(QWidget* control, double puntos);

// La posición y el tamaño en puntos, tal como se pusieron (el alto, como lo dejó el autoajuste).
QRectF Leer_posicion(const QWidget* control);
inline double Leer_ancho(const QWidget* control) {
    return Leer_posicion(control).width();
}

// La letra que, con Alt, actúa sobre el control: se subraya su primera aparición en el título
// (sin distinguir mayúsculas). Se fija antes de poner el título. La de un botón lo pulsa; la de
// una etiqueta lleva el foco al siguiente control del orden de tabulación (Poner_indice_tabulacion)
// que lo puede tomar, dando la vuelta al final. Un control oculto no atiende su tecla. Si varios
// controles que se ven comparten letra, actúa el primero de ellos en el orden de tabulación.
void Poner_tecla_acceso(QWidget* control, QChar letra);

// El control sobre el que actúa la tecla de acceso que Qt entregó a `control`: el propio control
// si es un botón, el que recibirá el foco si es una etiqueta (con tecla puesta por
// Poner_tecla_acceso o, si no, con compañero de QLabel::setBuddy); nulo si no lleva a ninguno.
QWidget* Destino_tecla_acceso(QWidget* control);

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

// Da el foco a `control` como lo da el teclado: el anillo de foco se ve desde el primer pintado
// de la ventana, sin esperar a que el usuario pulse Tab.
void Dar_foco_con_teclado(QWidget* control);

// `ruta` partida en líneas de `ancho` píxeles como mucho con la fuente de `medida`, unidas con
// saltos de línea: cada línea lleva lo que quepa, cortada tras una '/' si la hay en su segunda
// mitad. Si hacen falta más de `lineas` líneas, se quita el final de la carpeta y en su lugar
// va «…»: el principio de la carpeta y el nombre entero del fichero siguen a la vista. Si ni el
// nombre cabe, se ve «…» y el final del nombre.
QString Acortar_ruta(const QString& ruta, const QFontMetrics& medida, int ancho, int lineas);

// Lleva `control` al lugar `posicion` (desde 0) de `orden` y corre una plaza los que van detrás,
// y aplica el orden resultante a la tecla Tab y a las teclas de acceso de las etiquetas. `orden`
// lista todos los controles de la ventana (también los que no toman el foco); Tab y Mayús+Tab lo
// siguen entre los que se ven y toman el foco, y dan la vuelta al llegar al final.
void Poner_indice_tabulacion(QList<QWidget*>& orden, QWidget* control, qsizetype posicion);

// Lo que el teclado hace en todas las ventanas del programa, como en cualquier escritorio: una
// letra con Alt nunca se escribe en un campo de texto (actúa la tecla de acceso que la lleve, si
// hay alguna que se vea, y si no, nada), e Intro o Entrar sobre un botón que tiene el foco lo
// pulsan, como la barra espaciadora. Se llama una vez con la aplicación ya creada; repetirlo no
// hace nada.
void Usar_teclado_de_escritorio();

}  // namespace tesmalo
