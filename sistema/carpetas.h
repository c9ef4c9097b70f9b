// Lo que el lote necesita saber de las rutas y las carpetas de sus destinos antes de empezar:
// cómo compara los nombres una carpeta, adónde lleva una ruta y si un enlace se puede seguir.
#pragma once

#include <sys/stat.h>

#include <QString>
#include <optional>

namespace tesmalo {

// Cómo compara los nombres una carpeta: la de una memoria FAT o exFAT, o una carpeta con
// plegado de mayúsculas, ve un mismo fichero en «X.txt» y «x.txt», y quizá también en «É» y
// «é» o en las dos formas Unicode de «é».
struct Nombres_carpeta {
    bool pliega_ascii = false, pliega_unicode = false, normaliza = false;

    // La forma de `nombre` que la carpeta ve igual en todos los nombres que tiene por iguales.
    QString Clave(const QString& nombre) const {
        QString clave = normaliza ? nombre.normalized(QString::NormalizationForm_C) : nombre;
        if (pliega_unicode) return clave.toCaseFolded();
        if (pliega_ascii)
            for (QChar& c : clave)
                if (c.unicode() < 0x80) c = c.toLower();
        return clave;
    }
};

// Se averigua probando: crea un fichero oculto con un nombre y lo busca con otro que sólo
// difiere en mayúsculas (o en la forma Unicode); después lo borra. Una carpeta donde no se
// puede crear nada se toma por una que distingue (de todos modos no se podrá escribir en ella).
// Un nombre con «é» que la carpeta no admite (FAT por FUSE) deja el plegado Unicode supuesto:
// comparar de más sólo puede rechazar un lote, nunca perder un destino.
Nombres_carpeta Sondear_nombres(const QString& carpeta);

// Lo que el sistema dice del fichero al que lleva `ruta`, siguiendo enlaces, si existe.
std::optional<struct stat> Estado(const QString& ruta);

// `ruta` desde la carpeta actual del proceso, si es relativa (sin resolver enlaces ni «..»).
QString Ruta_absoluta(const QString& ruta);

// Adónde lleva el enlace simbólico `ruta`, como ruta absoluta y limpia (un destino relativo,
// desde la carpeta del enlace), exista o no; vacío si `ruta` no es un enlace o no se puede leer.
QString Destino_del_enlace(const QString& ruta);

// Si `ruta` es un enlace simbólico que el sistema no puede seguir (colgado, en bucle), la razón
// (errno) por la que no puede; si no, 0.
int Enlace_que_no_se_sigue(const QString& ruta);

}  // namespace tesmalo
