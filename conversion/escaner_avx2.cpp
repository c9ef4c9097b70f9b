// El escáner con AVX2 y BMI2: dos cargas de 32 bytes por bloque y la selección de bit con pdep.
// Este fichero se compila con -mavx2 -mbmi -mbmi2 -mpopcnt; sólo se llama si el procesador
// tiene esas instrucciones (escaner.cpp lo comprueba).
#include "conversion/escaner.h"

#if defined(__x86_64__) && defined(__AVX2__) && defined(__BMI2__)
#include <immintrin.h>

#include "conversion/escaner_nucleo.h"

namespace tesmalo {
namespace {

// La clasificación de bloques que pide Copiar_bloques (conversion/escaner_nucleo.h).
struct Bloques_avx2 {
    struct Bloque {
        __m256i bajo, alto, sep_bajo, sep_alto;
        std::uint64_t sep, cr, lf;
    };
    static Bloque Cargar(const char* p) {
        Bloque b;
        b.bajo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        b.alto = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const __m256i espacio = _mm256_set1_epi8(' '), cr = _mm256_set1_epi8('\r'),
                      lf = _mm256_set1_epi8('\n');
        const __m256i cr_bajo = _mm256_cmpeq_epi8(b.bajo, cr),
                      cr_alto = _mm256_cmpeq_epi8(b.alto, cr);
        const __m256i lf_bajo = _mm256_cmpeq_epi8(b.bajo, lf),
                      lf_alto = _mm256_cmpeq_epi8(b.alto, lf);
        b.sep_bajo =
            _mm256_or_si256(_mm256_cmpeq_epi8(b.bajo, espacio), _mm256_or_si256(cr_bajo, lf_bajo));
        b.sep_alto =
            _mm256_or_si256(_mm256_cmpeq_epi8(b.alto, espacio), _mm256_or_si256(cr_alto, lf_alto));
        const auto mascara = [](__m256i bajo, __m256i alto) {
            return static_cast<std::uint32_t>(_mm256_movemask_epi8(bajo)) |
                   static_cast<std::uint64_t>(
                       static_cast<std::uint32_t>(_mm256_movemask_epi8(alto)))
                       << 32;
        };
        b.sep = mascara(b.sep_bajo, b.sep_alto);
        b.cr = mascara(cr_bajo, cr_alto);
        b.lf = mascara(lf_bajo, lf_alto);
        return b;
    }
    static void Guardar(const Bloque& b, char* d) {
        const __m256i espacio = _mm256_set1_epi8(' ');
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d),
                            _mm256_blendv_epi8(b.bajo, espacio, b.sep_bajo));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 32),
                            _mm256_blendv_epi8(b.alto, espacio, b.sep_alto));
    }
    static int Seleccionar(std::uint64_t m, int r) {
        return static_cast<int>(_tzcnt_u64(_pdep_u64(std::uint64_t{1} << r, m)));
    }
};

// El Copiador_bloques de esta versión.
void Copiar_avx2(Copia_campos& copia, const char* fin) {
    Copiar_bloques<Bloques_avx2>(copia, fin);
}

}  // namespace

Copiador_bloques Copiador_avx2() {
    return &Copiar_avx2;
}

}  // namespace tesmalo

#else

namespace tesmalo {
Copiador_bloques Copiador_avx2() {
    return nullptr;
}
}  // namespace tesmalo

#endif
