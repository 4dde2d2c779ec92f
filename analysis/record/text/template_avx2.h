// Reading a line by its template with 32-byte vectors (AVX2), two numbers
// at a time; the functions carry the AVX2 attribute, and only code chosen
// by cpuHasAvx2() calls them.
#pragma once

#include "pulse/simd.h"

#if KORVEX_HAVE_AVX2
#include <immintrin.h>

#include <array>

#include "analysis/record/text/line_template.h"

namespace korvex::text {

KORVEX_AVX2 inline __m256i load32(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// Powers of ten that scale a mantissa m with decimal exponent e (-22 to
// 22) to m x 10^e: {10^e, 1} or {1, 10^-e}, so that m x first / second is
// one correctly rounded operation, as in finishNumber.
struct ScalePair {
    alignas(16) double factor[2];
};
inline constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr auto kScales = [] {
    std::array<ScalePair, 45> s{};
    for (int e = -22; e <= 22; ++e) {
        s[static_cast<std::size_t>(e + 22)] =
            e >= 0 ? ScalePair{{kExactPow10[e], 1.0}} : ScalePair{{1.0, kExactPow10[-e]}};
    }
    return s;
}();
// The same as two tables, for gathering four at a time.
inline constexpr auto kScaleUp = [] {
    std::array<double, 45> s{};
    for (std::size_t i = 0; i < 45; ++i) s[i] = kScales[i].factor[0];
    return s;
}();
inline constexpr auto kScaleDown = [] {
    std::array<double, 45> s{};
    for (std::size_t i = 0; i < 45; ++i) s[i] = kScales[i].factor[1];
    return s;
}();

// Bytes [32 i, 32 i + 32) of the line: the bits of those that fit the
// template, and of those that hold a minus, in place.
KORVEX_AVX2 inline void matchBlockWide(const LineTemplate& t, const char* line, unsigned i,
                                       std::uint64_t& fit, std::uint64_t& minus) {
    const __m256i v = load32(line + 32 * i);
    const __m256i d = _mm256_sub_epi8(v, _mm256_set1_epi8('0'));
    const __m256i digit = _mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(9)), d);
    const __m256i isMinus = _mm256_cmpeq_epi8(v, _mm256_set1_epi8('-'));
    const __m256i sign = _mm256_or_si256(isMinus, _mm256_cmpeq_epi8(v, _mm256_set1_epi8('+')));
    const __m256i ok =
        _mm256_or_si256(_mm256_cmpeq_epi8(v, load32(t.bytes + 32 * i)),
                        _mm256_or_si256(_mm256_and_si256(digit, load32(t.digits + 32 * i)),
                                        _mm256_and_si256(sign, load32(t.signs + 32 * i))));
    fit |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(ok))} << (32 * i);
    minus |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(isMinus))} << (32 * i);
}

// matchTemplate with 32-byte vectors, two numbers at a time: each number's
// digits gathered into a 16-byte half, the mantissa's right-aligned in
// bytes 0-7 and the exponent's in bytes 8-15, then summed with weights
// 10 and 1, 100 and 1, 10000 and 1; both numbers then scaled by one
// multiplication and one division of two lanes.
KORVEX_AVX2 inline bool matchTemplateWide(const LineTemplate& t, const char* line, double* out) {
    const __m256i zero = _mm256_set1_epi8('0');
    std::uint64_t fit = 0, minus = 0;
    matchBlockWide(t, line, 0, fit, minus);
    if (t.size > 32) matchBlockWide(t, line, 1, fit, minus);
    if ((fit & t.all) != t.all) return false;
    for (std::size_t f = 0; f < t.count; f += 2) {
        const NumberPattern& a = t.numbers[f];
        const NumberPattern& b = t.numbers[f + 1 < t.count ? f + 1 : f];
        __m256i x = _mm256_loadu2_m128i(reinterpret_cast<const __m128i_u*>(line + b.mantissa),
                                        reinterpret_cast<const __m128i_u*>(line + a.mantissa));
        x = _mm256_shuffle_epi8(_mm256_sub_epi8(x, zero), load32(t.gather[f / 2]));
        x = _mm256_maddubs_epi16(x, _mm256_set1_epi16(0x010A));   // 10 d0 + d1
        x = _mm256_madd_epi16(x, _mm256_set1_epi32(0x00010064));  // 100 p0 + p1
        x = _mm256_packus_epi32(x, x);                            // fit in 16 bits
        x = _mm256_madd_epi16(x, _mm256_set1_epi32(0x00012710));  // 10000 q0 + q1
        // {mantissa a, mantissa b, exponent a, exponent b}
        const __m128i parts = _mm256_castsi256_si128(
            _mm256_permutevar8x32_epi32(x, _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0)));
        const int digitsA = _mm_extract_epi32(parts, 2), digitsB = _mm_extract_epi32(parts, 3);
        const int ea = ((minus & a.expSignBit) != 0 ? -digitsA : digitsA) - a.fracDigits;
        const int eb = ((minus & b.expSignBit) != 0 ? -digitsB : digitsB) - b.fracDigits;
        if (static_cast<unsigned>(ea + 22) > 44 || static_cast<unsigned>(eb + 22) > 44) {
            // Beyond the exact powers of ten: the plain reading of each.
            if (!finishNumber(a, line, static_cast<std::uint32_t>(_mm_cvtsi128_si32(parts)),
                              digitsA, out[f]))
                return false;
            if (f + 1 < t.count &&
                !finishNumber(b, line, static_cast<std::uint32_t>(_mm_extract_epi32(parts, 1)),
                              digitsB, out[f + 1]))
                return false;
            continue;
        }
        const __m128d sa = _mm_load_pd(kScales[static_cast<std::size_t>(ea + 22)].factor);
        const __m128d sb = _mm_load_pd(kScales[static_cast<std::size_t>(eb + 22)].factor);
        __m128d v = _mm_mul_pd(_mm_cvtepi32_pd(parts), _mm_unpacklo_pd(sa, sb));
        v = _mm_div_pd(v, _mm_unpackhi_pd(sa, sb));
        const __m128i negative =
            _mm_set_epi64x((minus & b.signBit) != 0 ? std::int64_t{1} << 63 : 0,
                           (minus & a.signBit) != 0 ? std::int64_t{1} << 63 : 0);
        v = _mm_xor_pd(v, _mm_castsi128_pd(negative));
        _mm_storeu_pd(out + f, v);  // out holds kTemplateFields, an even number
    }
    return true;
}

}  // namespace korvex::text

#endif
