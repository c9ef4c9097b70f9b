// Los mensajes de error y lo que dice el sistema en ellos: la razón de un código de error, un
// texto de fichero citado y la comprobación de que un nombre se puede usar tal como se ve.
#pragma once

#include <QString>
#include <QtGlobal>
#include <string_view>

namespace tesmalo {

// Lanza std::runtime_error con el mensaje (en UTF-8).
[[noreturn]] void Fallar(const QString& mensaje);

// La razón del sistema para el código de error `error`, en español: la de Qt si la traduce; si
// no, la de la biblioteca de C en español si el sistema tiene sus textos, aunque el entorno del
// proceso esté en otro idioma o en C, para que el mensaje entero esté en un solo idioma.
QString Razon_del_sistema(int error);

// Un nombre de fichero o de carpeta que no es texto válido en la codificación del sistema se
// ve (en un selector de ficheros, por ejemplo) con U+FFFD en lugar de sus bytes, y esa ruta
// abriría otro fichero o ninguno. Lanza si algún tramo de `ruta` con U+FFFD se ve igual que un
// nombre de su carpeta con otros bytes, o si esa carpeta no se puede leer; `que` dice qué es la
// ruta en el mensaje («fichero de origen», «fichero de destino»).
void Comprobar_nombre_legible(const QString& ruta, const QString& que);

// Un texto de fichero para citarlo en un mensaje: leído en la codificación del sistema, como
// mucho `largo` caracteres y con los de control a la vista como «\xNN».
QString Citar(std::string_view texto, qsizetype largo = 40);

}  // namespace tesmalo
