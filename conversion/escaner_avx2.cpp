// El escáner con AVX2 y BMI2: dos cargas de 32 bytes por bloque, la selección de bit con pdep y
// el bloque juntado sin sus separadores de más con pshufb, de ocho en ocho bytes.
// Este fichero se compila con -mavx2 -mbmi -mbmi2 -mpopcnt; sólo se llama si el procesador
// tiene esas instrucciones (escaner.cpp lo comprueba).
#include "conversion/escaner.h"

#if defined(__x86_64__) && defined(__AVX2__) && defined(__BMI2__)
#include <immintrin.h>

#include <array>

#include "conversion/escaner_nucleo.h"

namespace tesmalo {
namespace {

// Para cada máscara m de ocho bits, los índices (0 a 7) de sus bits que valen 1, en orden, uno
// por byte desde el más bajo; los bytes que sobran valen 0x80, que pshufb convierte en 0.
alignas(64) constexpr auto Indices = [] {
    std::array<std::uint64_t, 256> tabla{};
    for (unsigned m = 0; m < 256; ++m) {
        std::uint64_t indices = 0x8080808080808080ull;
        int n = 0;
        for (unsigned j = 0; j < 8; ++j)
            if ((m >> j) & 1) {
                indices =
                    (indices & ~(std::uint64_t{0xff} << (8 * n))) | (std::uint64_t{j} << (8 * n));
                ++n;
            }
        tabla[m] = indices;
    }
    return tabla;
}();

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
        const __m256i espacio = _mm256_set1_epi8(' '), tab = _mm256_set1_epi8('\t'),
                      cr = _mm256_set1_epi8('\r'), lf = _mm256_set1_epi8('\n');
        const __m256i cr_bajo = _mm256_cmpeq_epi8(b.bajo, cr),
                      cr_alto = _mm256_cmpeq_epi8(b.alto, cr);
        const __m256i lf_bajo = _mm256_cmpeq_epi8(b.bajo, lf),
                      lf_alto = _mm256_cmpeq_epi8(b.alto, lf);
        const auto blanco = [&](__m256i v) {
            return _mm256_or_si256(_mm256_cmpeq_epi8(v, espacio), _mm256_cmpeq_epi8(v, tab));
        };
        b.sep_bajo = _mm256_or_si256(blanco(b.bajo), _mm256_or_si256(cr_bajo, lf_bajo));
        b.sep_alto = _mm256_or_si256(blanco(b.alto), _mm256_or_si256(cr_alto, lf_alto));
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
    // De 16 en 16 bytes: un pshufb junta cada mitad de ocho por su lado (la alta con sus índices
    // más 8), y cada mitad se guarda con ocho bytes detrás de lo ya escrito. Sin saltos que
    // dependan de cuántas rachas hay.
    static int Juntar(const Bloque& b, std::uint64_t conservar, char* d) {
        const __m256i espacio = _mm256_set1_epi8(' ');
        const __m256i bajo = _mm256_blendv_epi8(b.bajo, espacio, b.sep_bajo);
        const __m256i alto = _mm256_blendv_epi8(b.alto, espacio, b.sep_alto);
        char* q = d;
        const auto juntar = [&](__m128i parte, unsigned m) {
            const unsigned m_bajo = m & 0xff, m_alto = m >> 8;
            const __m128i indices =
                _mm_set_epi64x(static_cast<long long>(Indices[m_alto] + 0x0808080808080808ull),
                               static_cast<long long>(Indices[m_bajo]));
            const __m128i juntos = _mm_shuffle_epi8(parte, indices);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(q), juntos);
            q += __builtin_popcount(m_bajo);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(q), _mm_unpackhi_epi64(juntos, juntos));
            q += __builtin_popcount(m_alto);
        };
        juntar(_mm256_castsi256_si128(bajo), conservar & 0xffff);
        juntar(_mm256_extracti128_si256(bajo, 1), (conservar >> 16) & 0xffff);
        juntar(_mm256_castsi256_si128(alto), (conservar >> 32) & 0xffff);
        juntar(_mm256_extracti128_si256(alto, 1), conservar >> 48);
        return static_cast<int>(q - d);
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
