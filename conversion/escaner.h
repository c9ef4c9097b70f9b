// El recorrido rápido de los valores: copia campos por bloques de 64 bytes, con un coste que no
// crece con el número de campos por byte.
//
// Cada bloque se clasifica de una vez en máscaras de bits (separadores: espacio, tabulador, CR y
// LF; y aparte CR y LF, para contar líneas); de ellas salen los principios y finales de los
// campos, la cuenta de campos (por popcount) y, con una selección de bit, el byte donde acaba el
// campo que completa la cuenta pedida. Un bloque cuyos separadores son sueltos y están entre dos
// campos se copia tal cual, con cada separador cambiado por un espacio; si tiene rachas de
// separadores (un CRLF, espacios de alineación), cada racha se queda en un espacio y el bloque se
// junta sin huecos de una vez, sin un paso por racha.
//
// Hay tres versiones del mismo recorrido: AVX2 (si el procesador la tiene), SSE2 (la base de
// x86-64) y una portable en C++ sin instrucciones vectoriales. Se elige la mejor que tenga el
// procesador; Forzar_escaner impone otra, para probarlas todas y compararlas.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tesmalo {

// El estado de una copia de campos que puede cruzar fines de línea.
struct Copia_campos {
    const char* p = nullptr;  // siguiente byte por leer
    char* q = nullptr;        // siguiente byte por escribir
    std::int64_t quedan = 0;  // campos por completar; al llegar a 0, p queda en el separador
    std::int64_t lineas = 0;  // fines de línea consumidos (CRLF cuenta uno)
    bool en_campo = false;    // el último byte leído es de un campo, ya empezado en la salida
    bool espacio = false;     // el siguiente campo que empiece lleva un espacio delante
    bool cr_previo = false;   // el último byte leído es un CR (un LF detrás no es otro fin)
};

// Avanza `copia` por bloques enteros de 64 bytes mientras queden al menos 64 antes de `fin` y
// campos por completar. Escribe en copia.q cada campo, con un espacio delante si copia.espacio
// (y tras el primero, siempre), sin los separadores. Escribe bloques enteros y deja basura tras
// copia.q, pero la salida nunca va por delante de lo leído en más de un byte (cada espacio,
// salvo quizá el primero, sale de un separador leído): con (fin − p) + 1 bytes reservados al
// empezar un bloque de lectura en p, nunca escribe fuera de ellos.
using Copiador_bloques = void (*)(Copia_campos& copia, const char* fin);

// Las versiones, por nombre: "avx2", "sse2", "portable".
Copiador_bloques Copiador_avx2();  // nullptr si no se compiló (fuera de x86-64)
Copiador_bloques Copiador_sse2();  // nullptr si no se compiló (fuera de x86-64)
Copiador_bloques Copiador_portable();

// La versión en uso; al empezar, la mejor que tenga el procesador.
Copiador_bloques Copiador_en_uso();
// El nombre de la versión en uso.
std::string_view Nombre_escaner();
// Impone la versión `nombre`; devuelve falso (y no cambia nada) si no existe o si el procesador
// no la tiene.
bool Forzar_escaner(std::string_view nombre);
// Impone la versión que nombra la variable de entorno TESMALO_SIMD, si la tiene y no está vacía:
// así las pruebas, el fuzzing, las medidas y tesmalo-cli usan y comparan cualquiera de las tres.
// Devuelve el nombre pedido si no se pudo imponer (no existe o el procesador no la tiene; nada
// cambia), y vacío si se impuso o no se pidió ninguna.
std::string Forzar_escaner_del_entorno();

}  // namespace tesmalo
