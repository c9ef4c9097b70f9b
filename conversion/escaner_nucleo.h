// El recorrido por bloques de 64 bytes, común a las tres versiones del escáner. Lo incluyen
// escaner_avx2.cpp, escaner_sse2.cpp y escaner_portable.cpp, cada uno compilado con sus propias
// instrucciones y con su forma de clasificar un bloque (`Bloques`).
//
// Todo está en un espacio de nombres anónimo y usa sólo funciones integradas del compilador:
// así ninguna función en línea compilada con AVX2 puede acabar, por la regla de una definición,
// en el camino de un procesador que no la tiene.
#pragma once

#include <cstdint>
#include <cstring>

#include "conversion/escaner.h"

namespace tesmalo {
namespace {

// Cuántos bits de `m` valen 1.
inline int Contar(std::uint64_t m) {
#if defined(__x86_64__) && !defined(__POPCNT__)
    // Sin popcnt (la base de x86-64), __builtin_popcountll es una llamada a la biblioteca del
    // compilador; en línea, por sumas de bits vecinos, cuesta menos que la llamada.
    m -= (m >> 1) & 0x5555555555555555ull;
    m = (m & 0x3333333333333333ull) + ((m >> 2) & 0x3333333333333333ull);
    m = (m + (m >> 4)) & 0x0f0f0f0f0f0f0f0full;
    return static_cast<int>((m * 0x0101010101010101ull) >> 56);
#else
    return __builtin_popcountll(m);
#endif
}
// La posición del bit más bajo que vale 1; `m` no puede ser 0.
inline int Ceros_bajos(std::uint64_t m) {
    return __builtin_ctzll(m);
}

// La posición del bit número `r` (desde 0) de los que valen 1 en `m`, que tiene más de r.
// Búsqueda binaria por mitades contando bits.
inline int Seleccionar_portable(std::uint64_t m, int r) {
    int posicion = 0;
    for (int ancho = 32; ancho >= 1; ancho /= 2) {
        const std::uint64_t bajo = m & ((std::uint64_t{1} << ancho) - 1);
        const int n = Contar(bajo);
        if (r >= n) {
            r -= n;
            m >>= ancho;
            posicion += ancho;
        } else {
            m = bajo;
        }
    }
    return posicion;
}

// Juntar de las versiones que no barajan bytes (B::Juntar, abajo): cada racha de bits de
// `conservar` se copia con una copia fija de 64 bytes, en un búfer aparte para no escribir fuera
// de los 64 bytes de `d`. Cuesta un paso por racha.
template <class B>
inline __attribute__((always_inline)) int Juntar_rachas(const typename B::Bloque& bloque,
                                                        std::uint64_t conservar, char* d) {
    // El bloque cambiado, y sus rachas seguidas; la mitad alta sólo deja copiar 64 bytes desde
    // cualquier posición.
    alignas(64) char cambiado[128];
    alignas(64) char juntado[128];
    B::Guardar(bloque, cambiado);
    int escritos = 0;
    std::uint64_t m = conservar;
    while (m != 0) {
        const int inicio = Ceros_bajos(m);
        const std::uint64_t desde = m >> inicio;
        const int n = ~desde == 0 ? 64 - inicio : Ceros_bajos(~desde);
        // El destino de la copia se calcula: con _FORTIFY_SOURCE se comprueba que cabe en
        // `juntado`. Cuesta una llamada a la biblioteca por racha, sólo en las versiones sin
        // AVX2 (la de AVX2 junta el bloque de otra manera).
        std::memcpy(juntado + escritos, cambiado + inicio, 64);
        escritos += n;
        m = inicio + n >= 64 ? 0 : m & (~std::uint64_t{0} << (inicio + n));
    }
    std::memcpy(d, juntado, 64);
    return escritos;
}

// El recorrido de Copiador_bloques (conversion/escaner.h), con la clasificación de `B`, que da,
// para 64 bytes en p:
//   B::Cargar(p)          un bloque con las máscaras sep (espacio, tabulador, CR o LF), cr y lf,
//                         bit i el byte p[i];
//   B::Guardar(bloque, d) escribe en d los 64 bytes con cada separador cambiado por un espacio;
//   B::Juntar(bloque, conservar, d)
//                         escribe en d, seguidos y en orden, los bytes del bloque cambiado cuyo
//                         bit vale 1 en `conservar`, y devuelve cuántos son; puede escribir
//                         basura detrás, pero nada más allá de d + 64;
//   B::Seleccionar(m, r)  como Seleccionar_portable.
template <class B>
inline __attribute__((always_inline)) void Copiar_bloques(Copia_campos& copia, const char* fin) {
    const char* p = copia.p;
    char* q = copia.q;
    std::int64_t quedan = copia.quedan;
    std::int64_t lineas = copia.lineas;
    std::uint64_t en_campo = copia.en_campo;
    std::uint64_t cr_previo = copia.cr_previo;
    bool espacio = copia.espacio;

    while (quedan > 0 && fin - p >= 64) {
        const auto bloque = B::Cargar(p);
        const std::uint64_t sep = bloque.sep;
        const std::uint64_t campo = ~sep;
        const std::uint64_t tras_campo = (campo << 1) | en_campo;  // el byte anterior es de campo
        const std::uint64_t inicios = campo & ~tras_campo;
        const std::uint64_t finales = sep & tras_campo;  // primer separador tras un campo

        // Si aquí acaba el campo que completa la cuenta, sólo cuenta lo que le precede.
        std::uint64_t validos = ~std::uint64_t{0};
        int largo = 64;
        const int n_finales = Contar(finales);
        if (n_finales >= quedan) {
            largo = B::Seleccionar(finales, static_cast<int>(quedan - 1));
            validos = (std::uint64_t{1} << largo) - 1;
        }

        // Cada campo que empieza lleva un espacio delante, salvo el primero si aún no se debe
        // ninguno. El espacio es el separador que lo precede, cambiado; los demás separadores se
        // quitan. Si el campo empieza en el byte 0, su separador estaba en el bloque anterior
        // (que lo quitó): el espacio se escribe aparte.
        std::uint64_t con_espacio = inicios & validos;
        if (!espacio) con_espacio &= con_espacio - 1;
        const std::uint64_t conservar = validos & ~(sep & ~(con_espacio >> 1));
        if (con_espacio & 1) *q++ = ' ';

        if ((conservar & (conservar + 1)) == 0) {
            // Lo que se conserva es un principio del bloque: se copia tal cual.
            B::Guardar(bloque, q);
            q += Contar(conservar);
        } else {
            // Hay separadores que se quitan (el CR de un CRLF, rachas de espacios): el bloque
            // se junta sin ellos.
            q += B::Juntar(bloque, conservar, q);
        }

        // Un CR es siempre un fin de línea; un LF, salvo detrás de un CR.
        if ((bloque.cr | bloque.lf) != 0)
            lineas += Contar(bloque.cr & validos) +
                      Contar(bloque.lf & validos & ~((bloque.cr << 1) | cr_previo));
        quedan -= Contar(finales & validos);
        if (largo < 64) {
            // El separador en `largo` acaba el último campo pedido; se queda sin leer.
            quedan = 0;
            p += largo;
            break;
        }
        if (inicios != 0) espacio = true;
        en_campo = campo >> 63;
        cr_previo = bloque.cr >> 63;
        p += 64;
    }

    copia.p = p;
    copia.q = q;
    copia.quedan = quedan;
    copia.lineas = lineas;
    copia.en_campo = en_campo != 0;
    copia.cr_previo = cr_previo != 0;
    copia.espacio = espacio;
}

}  // namespace
}  // namespace tesmalo
