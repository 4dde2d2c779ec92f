// Counting newlines, which sizes each chunk's share of the sample arrays:
// 16-byte vectors everywhere, 32-byte ones where the processor has AVX2.
#include "analysis/record_reader.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pulse/simd.h"
#if KORVEX_HAVE_AVX2
#include <immintrin.h>
#endif

namespace korvex {

namespace {

// Newlines in [begin, end): per-byte counts of four 16-byte blocks at a
// time (four loads in flight), summed every 255 rounds before they wrap.
std::size_t countNewlinesNarrow(const char* begin, const char* end) {
#if defined(__SSE2__)
    std::size_t n = 0;
    const __m128i newline = _mm_set1_epi8('\n'), zero = _mm_setzero_si128();
    while (end - begin >= 64) {
        const std::size_t rounds =
            std::min<std::size_t>(static_cast<std::size_t>(end - begin) / 64, 255);
        __m128i c[4] = {zero, zero, zero, zero};
        for (std::size_t i = 0; i < rounds; ++i, begin += 64) {
            for (int j = 0; j < 4; ++j) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + 16 * j));
                c[j] = _mm_sub_epi8(c[j], _mm_cmpeq_epi8(v, newline));
            }
        }
        const __m128i sums =
            _mm_add_epi64(_mm_add_epi64(_mm_sad_epu8(c[0], zero), _mm_sad_epu8(c[1], zero)),
                          _mm_add_epi64(_mm_sad_epu8(c[2], zero), _mm_sad_epu8(c[3], zero)));
        n += static_cast<std::size_t>(_mm_extract_epi16(sums, 0) + _mm_extract_epi16(sums, 4));
    }
    return n + detail::countNewlinesPortable(begin, end);
#else
    return detail::countNewlinesPortable(begin, end);
#endif
}

#if KORVEX_HAVE_AVX2
// countNewlinesNarrow with 32-byte blocks, two at a time.
KORVEX_AVX2 std::size_t countNewlinesWide(const char* begin, const char* end) {
    std::size_t n = 0;
    const __m256i newline = _mm256_set1_epi8('\n'), zero = _mm256_setzero_si256();
    while (end - begin >= 64) {
        const std::size_t rounds =
            std::min<std::size_t>(static_cast<std::size_t>(end - begin) / 64, 255);
        __m256i c0 = zero, c1 = zero;
        for (std::size_t i = 0; i < rounds; ++i, begin += 64) {
            c0 = _mm256_sub_epi8(
                c0, _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(begin)),
                                      newline));
            c1 = _mm256_sub_epi8(
                c1, _mm256_cmpeq_epi8(
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(begin + 32)), newline));
        }
        const __m256i sums = _mm256_add_epi64(_mm256_sad_epu8(c0, zero), _mm256_sad_epu8(c1, zero));
        n +=
            static_cast<std::size_t>(_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                                     _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3));
    }
    return n + detail::countNewlinesPortable(begin, end);
}
#endif

}  // namespace

namespace detail {

std::size_t countNewlines(const char* begin, const char* end, ReadPath path) {
#if KORVEX_HAVE_AVX2
    if (path == ReadPath::WideTemplates && cpuHasAvx2()) return countNewlinesWide(begin, end);
#endif
    if (path != ReadPath::Plain) return countNewlinesNarrow(begin, end);
    return countNewlinesPortable(begin, end);
}

std::size_t countNewlinesPortable(const char* begin, const char* end) {
    return static_cast<std::size_t>(std::count(begin, end, '\n'));
}

}  // namespace detail

}  // namespace korvex
