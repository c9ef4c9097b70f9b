// Un modelo de referencia, escrito aparte, sencillo y sin prisa, de lo que el programa hace con
// un fichero de rejilla: partirlo en líneas y campos, explorar su cabecera y convertirlo. Los
// objetivos de fuzzing comparan con él lo que hacen fields/, conversion/ e inspection/.
//
// El modelo lo tiene todo en memoria y trabaja con copias: sólo vale para entradas pequeñas.
// Para saber si un texto es un número usa la noción única del programa (fields/numero.h), que
// tiene su propio objetivo de fuzzing.
#pragma once

#include <QtGlobal>
#include <string>
#include <string_view>
#include <vector>

namespace tesmalo::modelo {

// Las líneas de `bytes`, sin su fin de línea (LF, CRLF o CR suelto). Un fin de línea al final
// no abre otra línea; un fichero vacío no tiene ninguna.
std::vector<std::string> Partir_lineas(std::string_view bytes);

// Los campos de una línea de valores: las rachas de bytes que no son blancos (el espacio 0x20
// y el tabulador 0x09).
std::vector<std::string> Campos(std::string_view linea);

// Separar_campos al pie de la letra: recortar los blancos, buscar el primer delimitador (con
// " ", el primer blanco, espacio o tabulador), guardar lo de delante si no está vacío, seguir
// tras él; lo que queda al final, recortado, es siempre el último campo.
std::vector<std::string> Separar(std::string_view texto, char delimitador);

// Quita los blancos (espacios y tabuladores) de los extremos.
std::string_view Recortar(std::string_view texto);

// Lo que debe dar la exploración de la cabecera de estas líneas.
struct Exploracion {
    std::string error;  // vacío si termina; si no, un trozo del mensaje que se espera
    int lineas_cabecera = 0, columnas = 0, filas = 0;
};
Exploracion Explorar(const std::vector<std::string>& lineas);

// Lo que debe dar la conversión de estas líneas con esos argumentos.
struct Conversion {
    std::string error;    // vacío si termina; si no, un trozo del mensaje que se espera
    std::string destino;  // el fichero de destino entero, si termina
    qint32 columnas_cabecera = 0, filas_cabecera = 0;
    qint64 filas_escritas = 0, valores_colocados = 0, valores_descartados = 0;
    std::vector<double> fracciones;  // las llamadas a Indicar_progreso, en orden
};
Conversion Convertir(const std::vector<std::string>& lineas, qint32 Int_filesCap,
                     qint32 Lng_Soncolumn, qint32 Lng_Sonfila);

}  // namespace tesmalo::modelo
