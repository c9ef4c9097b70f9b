// Para las pruebas: escribe un fichero de origen de una vez, o detiene la prueba si no puede.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

namespace tesmalo {

inline void Escribir_fichero_prueba(const QString& ruta, const QByteArray& contenido) {
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly) || f.write(contenido) != contenido.size())
        qFatal("no se pudo preparar %s", qPrintable(ruta));
}

}  // namespace tesmalo
