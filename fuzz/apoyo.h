// Lo que comparten los objetivos de fuzzing: una carpeta temporal propia del proceso (en
// /dev/shm si se puede, para no gastar disco), ficheros que se escriben y se leen enteros, y
// la comprobación que aborta con un mensaje cuando una propiedad no se cumple.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string_view>

namespace tesmalo::fuzz {

// La carpeta temporal del proceso, creada en la primera llamada y borrada al salir.
const QString& Carpeta();
// Una ruta dentro de esa carpeta.
QString Ruta(const QString& nombre);
// Deja la carpeta vacía.
void Vaciar_carpeta();
// Los nombres de los ficheros de la carpeta, en orden.
QStringList Ficheros();

void Escribir_fichero(const QString& ruta, std::string_view bytes);
// El contenido del fichero, o "<no existe>" si no se puede abrir.
QByteArray Leer_fichero(const QString& ruta);

// Si `condicion` es falsa, escribe `que` y `detalle` en stderr y aborta: libFuzzer guarda
// entonces la entrada que lo provocó.
void Exigir(bool condicion, const char* que, const QString& detalle = {});

// Impone la versión del escáner que diga TESMALO_SIMD (avx2, sse2 o portable), si la dice, y
// escribe en stderr la que se usa. Si el procesador no la tiene, sale con el código 200, que
// CTest toma por prueba saltada (no 77, que es el de los hallazgos de libFuzzer).
void Elegir_escaner();

// Verdadero si `fichero` empieza como un flujo gzip (1f 8b): el lector lo descomprime, y el
// modelo sólo sabe de texto; esos ficheros los prueban las pruebas del lector.
inline bool Empieza_como_gzip(std::string_view fichero) {
    return fichero.size() >= 2 && fichero[0] == '\x1f' && fichero[1] == '\x8b';
}

// Verdadero si `texto` es UTF-8 válido.
bool Es_utf8(std::string_view texto);

}  // namespace tesmalo::fuzz
