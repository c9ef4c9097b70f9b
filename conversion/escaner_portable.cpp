// El escáner portable, en C++ sin instrucciones vectoriales: cada bloque se clasifica de ocho en
// ocho bytes dentro de palabras de 64 bits.
#include <bit>

#include "conversion/escaner_nucleo.h"

namespace tesmalo {
namespace {

// La clasificación de bloques que pide Copiar_bloques (conversion/escaner_nucleo.h).
struct Bloques_portable {
    static constexpr std::uint64_t Unos = 0x0101010101010101ull;
    static constexpr std::uint64_t Sietes = 0x7f7f7f7f7f7f7f7full;

    struct Bloque {
        std::uint64_t palabra[8], altos[8];  // altos: 0x80 en cada byte separador
        std::uint64_t sep, cr, lf;
    };
    // 0x80 en cada byte de x que vale 0, y nada más (sin los falsos positivos de la resta).
    static std::uint64_t Ceros(std::uint64_t x) { return ~(((x & Sietes) + Sietes) | x | Sietes); }
    // Los bits altos de los ocho bytes, en orden de memoria, como ocho bits.
    static std::uint64_t Juntar(std::uint64_t altos) {
        return ((altos >> 7) * 0x0102040810204080ull) >> 56;
    }
    static Bloque Cargar(const char* p) {
        Bloque b;
        b.sep = b.cr = b.lf = 0;
        for (int i = 0; i < 8; ++i) {
            std::uint64_t x;
            std::memcpy(&x, p + 8 * i, 8);
            // Que el byte de la posición más baja quede en los bits bajos.
            if constexpr (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
            b.palabra[i] = x;
            const std::uint64_t cr = Ceros(x ^ (Unos * '\r')), lf = Ceros(x ^ (Unos * '\n'));
            b.altos[i] = Ceros(x ^ (Unos * ' ')) | Ceros(x ^ (Unos * '\t')) | cr | lf;
            b.sep |= Juntar(b.altos[i]) << (8 * i);
            b.cr |= Juntar(cr) << (8 * i);
            b.lf |= Juntar(lf) << (8 * i);
        }
        return b;
    }
    static void Guardar(const Bloque& b, char* d) {
        for (int i = 0; i < 8; ++i) {
            const std::uint64_t bytes = (b.altos[i] >> 7) * 0xff;
            std::uint64_t x = (b.palabra[i] & ~bytes) | (Unos * ' ' & bytes);
            if constexpr (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
            std::memcpy(d + 8 * i, &x, 8);
        }
    }
    static int Juntar(const Bloque& b, std::uint64_t conservar, char* d) {
        return Juntar_rachas<Bloques_portable>(b, conservar, d);
    }
    static int Seleccionar(std::uint64_t m, int r) { return Seleccionar_portable(m, r); }
};

// El Copiador_bloques de esta versión.
void Copiar_portable(Copia_campos& copia, const char* fin) {
    Copiar_bloques<Bloques_portable>(copia, fin);
}

}  // namespace

Copiador_bloques Copiador_portable() {
    return &Copiar_portable;
}

}  // namespace tesmalo
