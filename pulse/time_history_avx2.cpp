// The batch formatter's AVX2 path: four lines of a long run of zero
// amplitudes at a time.
#include <algorithm>
#include <cstring>

#include "pulse/decimal_digits.h"
#include "pulse/time_history.h"

#if KORVEX_HAVE_AVX2
#include <immintrin.h>
#endif

namespace korvex {
namespace {

#if KORVEX_HAVE_AVX2
using namespace digits;

// Division by a constant as a multiply and a shift: floor(x * m / 2^s) is
// floor(x / d) for m = ceil(2^s / d) as long as x * (m d - 2^s) < 2^s
// (write x = q d + r: the product is q + (r + x (m d - 2^s) / 2^s) / d).
struct Divider {
    std::uint64_t multiplier;
    int shift;
    std::uint64_t divisor;
};

constexpr bool exactUpTo(const Divider& d, std::uint64_t largest) {
    const std::uint64_t p = std::uint64_t{1} << d.shift;
    return d.multiplier == (p + d.divisor - 1) / d.divisor &&
           largest * (d.multiplier * d.divisor - p) < p;
}

// The seven rounded digits (below 10^7) split at 10^4 in 64-bit lanes...
constexpr Divider kDiv10000{0xD1B71759, 45, 10000};
static_assert(exactUpTo(kDiv10000, 9'999'999));
static_assert(9'999'999 * kDiv10000.multiplier < (std::uint64_t{1} << 63));
// ... each half (below 10^4) at 100 in 32-bit lanes ...
constexpr Divider kDiv100{10486, 20, 100};
static_assert(exactUpTo(kDiv100, 9'999) && 9'999 * kDiv100.multiplier < (std::uint64_t{1} << 32));
// ... and each quarter (below 100) at 10 in the high half of 16-bit products.
constexpr Divider kDiv10{6554, 16, 10};
static_assert(exactUpTo(kDiv10, 99) && kDiv10.multiplier < (1 << 16));

// The decade fastDecimal gives a positive x before any carry, or kNoRun
// where the run formatter below does not apply.
constexpr int kNoRun = -1000;
int runDecade(double x) {
    if (!(x > 0.0) || !(x < 1e30)) return kNoRun;
    const int e = decadeEstimate(x);
    if (e + 1 < kThresholdMin) return kNoRun;
    const int decade = e + (x >= kThreshold[e + 1 - kThresholdMin]);
    // Scales 10^0 .. 10^21 by multiplication, as fastDecimal<7> does them.
    return decade >= -15 && decade <= 6 ? decade : kNoRun;
}

// Most lines of a long record are a time in the same decade as the line
// before and an amplitude of +0. Four such lines at a time take the same
// steps as fastDecimal<7> (the same scale, product, truncation and tie test,
// so the same digits) and skip the rest: the decade is known, the digits
// come out four numbers at a time, and the line around them is fixed. Any
// other group of four, and any near tie or carry into the next decade, goes
// to the portable formatter.
KORVEX_AVX2 void formatRuns(char* out, const double* times, const double* amplitudes,
                            std::size_t count) {
    const __m256d half = _mm256_set1_pd(0.5), one = _mm256_set1_pd(1.0);
    const __m256d tieScale = _mm256_set1_pd(0x1p-50), digitsEnd = _mm256_set1_pd(1e7);
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    // The mantissa bytes "d.dddddd" of the number in bytes 0-7 (A) or 8-15
    // (B) of each half, moved to bytes 2-9 of a line.
    const __m256i pickA = _mm256_setr_epi8(-1, -1, 1, -1, 2, 3, 4, 5, 6, 7, -1, -1, -1, -1, -1, -1,
                                           -1, -1, 1, -1, 2, 3, 4, 5, 6, 7, -1, -1, -1, -1, -1, -1);
    const __m256i pickB =
        _mm256_setr_epi8(-1, -1, 9, -1, 10, 11, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, 9,
                         -1, 10, 11, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1);
    const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>("\t  0.0000e+000 \r"));
    // The current run: times in (lo, hi) take `scale` and the line head.
    __m256d lo = _mm256_setzero_pd(), hi = _mm256_setzero_pd(), scale = _mm256_setzero_pd();
    __m256i head = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        char* line = out + i * kTimeHistoryLineSize;
        const __m256d t = _mm256_loadu_pd(times + i);
        const __m256i aBits = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(amplitudes + i));
        const bool inRun =
            _mm256_movemask_pd(_mm256_and_pd(_mm256_cmp_pd(t, lo, _CMP_GT_OQ),
                                             _mm256_cmp_pd(t, hi, _CMP_LT_OQ))) == 15;
        const bool zeros = _mm256_testz_si256(aBits, aBits);
        bool fast = inRun && zeros;
        __m256d rounded = _mm256_setzero_pd();
        if (fast) {
            const __m256d y = _mm256_mul_pd(t, scale);
            const __m256d whole = _mm256_cvtepi32_pd(_mm256_cvttpd_epi32(y));
            const __m256d frac = _mm256_sub_pd(y, whole);
            const __m256d tie = _mm256_cmp_pd(_mm256_and_pd(_mm256_sub_pd(frac, half), magnitude),
                                              _mm256_mul_pd(y, tieScale), _CMP_LE_OQ);
            rounded =
                _mm256_add_pd(whole, _mm256_and_pd(_mm256_cmp_pd(frac, half, _CMP_GT_OQ), one));
            const __m256d carry = _mm256_cmp_pd(rounded, digitsEnd, _CMP_GE_OQ);
            fast = _mm256_movemask_pd(_mm256_or_pd(tie, carry)) == 0;
        }
        if (!fast) {
            // Amplitudes with digits come in stretches (the pulse): take
            // a longer piece of them at once.
            const std::size_t n =
                zeros ? 4 : std::min<std::size_t>(32, (count - i) & ~std::size_t{3});
            detail::formatTimeHistoryLinesPortable(line, times + i, amplitudes + i, n);
            i += n - 4;
            if (!inRun) {
                const int e = runDecade(times[i + 3]);
                lo = hi = scale = _mm256_setzero_pd();
                if (e != kNoRun) {
                    lo = _mm256_set1_pd(kThreshold[e - kThresholdMin]);
                    hi = _mm256_set1_pd(kThreshold[e + 1 - kThresholdMin]);
                    scale = _mm256_set1_pd(kPow10[6 - e]);
                    alignas(16) char bytes[16] = {' ', ' '};
                    bytes[3] = '.';
                    const std::uint64_t exponent = kExponentWords.time[e - kWordExpMin];
                    std::memcpy(bytes + 10, &exponent, 6);  // "e+ddd "
                    head = _mm256_broadcastsi128_si256(
                        _mm_load_si128(reinterpret_cast<const __m128i*>(bytes)));
                }
            }
            continue;
        }
        // Eight digits (the first a zero) of each of the four integers,
        // first digit first: split at 10^4 into 32-bit halves, each at 100
        // into 16-bit quarters, each at 10 into bytes.
        const __m256i r = _mm256_cvtepu32_epi64(_mm256_cvttpd_epi32(rounded));
        const __m256i high = _mm256_srli_epi64(
            _mm256_mul_epu32(r, _mm256_set1_epi64x(static_cast<long long>(kDiv10000.multiplier))),
            kDiv10000.shift);
        const __m256i low = _mm256_sub_epi64(r, _mm256_mul_epu32(high, _mm256_set1_epi64x(10000)));
        __m256i v = _mm256_or_si256(high, _mm256_slli_epi64(low, 32));
        const __m256i hundreds = _mm256_srli_epi32(
            _mm256_mullo_epi32(v, _mm256_set1_epi32(static_cast<int>(kDiv100.multiplier))),
            kDiv100.shift);
        v = _mm256_or_si256(
            hundreds,
            _mm256_slli_epi32(
                _mm256_sub_epi32(v, _mm256_mullo_epi32(hundreds, _mm256_set1_epi32(100))), 16));
        const __m256i tens =
            _mm256_mulhi_epu16(v, _mm256_set1_epi16(static_cast<short>(kDiv10.multiplier)));
        v = _mm256_or_si256(
            tens, _mm256_slli_epi16(
                      _mm256_sub_epi16(v, _mm256_mullo_epi16(tens, _mm256_set1_epi16(10))), 8));
        v = _mm256_or_si256(v, _mm256_set1_epi8('0'));
        const __m256i a = _mm256_or_si256(_mm256_shuffle_epi8(v, pickA), head);  // lines 0 and 2
        const __m256i b = _mm256_or_si256(_mm256_shuffle_epi8(v, pickB), head);  // lines 1 and 3
        char* const lines[4] = {line, line + kTimeHistoryLineSize, line + 2 * kTimeHistoryLineSize,
                                line + 3 * kTimeHistoryLineSize};
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lines[0]), _mm256_castsi256_si128(a));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lines[1]), _mm256_castsi256_si128(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lines[2]), _mm256_extracti128_si256(a, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lines[3]), _mm256_extracti128_si256(b, 1));
        for (char* l : lines) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(l + 16), tail);
            l[32] = '\n';
        }
    }
    detail::formatTimeHistoryLinesPortable(out + i * kTimeHistoryLineSize, times + i,
                                           amplitudes + i, count - i);
}
#endif

}  // namespace

namespace detail {

void formatTimeHistoryLinesAvx2(char* out, const double* times, const double* amplitudes,
                                std::size_t count) {
#if KORVEX_HAVE_AVX2
    formatRuns(out, times, amplitudes, count);
#else
    formatTimeHistoryLinesPortable(out, times, amplitudes, count);
#endif
}

}  // namespace detail
}  // namespace korvex
