// Las entradas del selector de origen de la ventana, tal como deben verse, para las pruebas: la
// de la ventana comprueba que las pide así y la de las cajas de Qt abre con ellas el selector de
// verdad. Los blancos de las descripciones son parte de lo que se ve.
#pragma once

#include <QList>
#include <QString>

#include "toolkit/herramientas.h"

namespace tesmalo {

inline const QList<Filtro_fichero> Filtros_origen_prueba = {
    {QStringLiteral(" All Files (*.*)"), QStringLiteral("*.*")},
    {QStringLiteral("Archivos de texto DTM (*.dtm) "), QStringLiteral("*.dtm")},
    {QStringLiteral("Archivos de texto DTM (*.txt) "), QStringLiteral("*.txt")},
    {QStringLiteral("Archivos de texto DTM (*.asc) "), QStringLiteral("*.asc")},
    {QStringLiteral("Archivos de texto DTM (*.grd) "), QStringLiteral("*.grd")},
};

}  // namespace tesmalo
