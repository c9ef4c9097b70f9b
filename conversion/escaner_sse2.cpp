// El escáner con SSE2, la base de x86-64: cuatro cargas de 16 bytes por bloque; sin popcnt ni
// BMI2, que la base no tiene, la cuenta y la selección de bits son las portables.
#include "conversion/escaner.h"

#if defined(__x86_64__) && defined(__SSE2__)
#include <emmintrin.h>

#include "conversion/escaner_nucleo.h"

namespace tesmalo {
namespace {

// La clasificación de bloques que pide Copiar_bloques (conversion/escaner_nucleo.h).
struct Bloques_sse2 {
    struct Bloque {
        __m128i v[4], s[4];
        std::uint64_t sep, cr, lf;
    };
    static Bloque Cargar(const char* p) {
        Bloque b;
        b.sep = b.cr = b.lf = 0;
        const __m128i espacio = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t'),
                      cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
        for (int i = 0; i < 4; ++i) {
            b.v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            const __m128i es_cr = _mm_cmpeq_epi8(b.v[i], cr), es_lf = _mm_cmpeq_epi8(b.v[i], lf);
            const __m128i blanco =
                _mm_or_si128(_mm_cmpeq_epi8(b.v[i], espacio), _mm_cmpeq_epi8(b.v[i], tab));
            b.s[i] = _mm_or_si128(blanco, _mm_or_si128(es_cr, es_lf));
            b.sep |=
                static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(b.s[i])))
                << (16 * i);
            b.cr |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(es_cr)))
                    << (16 * i);
            b.lf |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(es_lf)))
                    << (16 * i);
        }
        return b;
    }
    static void Guardar(const Bloque& b, char* d) {
        const __m128i espacio = _mm_set1_epi8(' ');
        for (int i = 0; i < 4; ++i)
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(d + 16 * i),
                _mm_or_si128(_mm_andnot_si128(b.s[i], b.v[i]), _mm_and_si128(b.s[i], espacio)));
    }
    // SSE2 no tiene barajado de bytes (pshufb es de SSSE3): las rachas se copian una a una.
    static int Juntar(const Bloque& b, std::uint64_t conservar, char* d) {
        return Juntar_rachas<Bloques_sse2>(b, conservar, d);
    }
    static int Seleccionar(std::uint64_t m, int r) { return Seleccionar_portable(m, r); }
};

// El Copiador_bloques de esta versión.
void Copiar_sse2(Copia_campos& copia, const char* fin) {
    Copiar_bloques<Bloques_sse2>(copia, fin);
}

}  // namespace

Copiador_bloques Copiador_sse2() {
    return &Copiar_sse2;
}

}  // namespace tesmalo

#else

namespace tesmalo {
Copiador_bloques Copiador_sse2() {
    return nullptr;
}
}  // namespace tesmalo

#endif
