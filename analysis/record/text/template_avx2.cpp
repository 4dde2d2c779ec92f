#include "analysis/record/text/template_avx2.h"

#include "analysis/record/text/chunk_reading.h"

#if KORVEX_HAVE_AVX2

namespace korvex::text {

namespace {

struct WideMatch {
    KORVEX_AVX2 static bool match(const LineTemplate& t, const char* line, double* out) {
        return matchTemplateWide(t, line, out);
    }
};

// The numbers whose 16-byte windows start at x and y, one per half:
// {mantissa, exponent digits, sign, exponent sign} each.
KORVEX_AVX2 inline __m256i readHalves(const LineTemplate& t, const char* x, const char* y) {
    const __m256i raw = _mm256_loadu2_m128i(reinterpret_cast<const __m128i_u*>(y),
                                            reinterpret_cast<const __m128i_u*>(x));
    __m256i v = _mm256_sub_epi8(raw, _mm256_set1_epi8('0'));
    v = _mm256_shuffle_epi8(v, load32(t.batchDigits));
    v = _mm256_maddubs_epi16(v, _mm256_set1_epi16(0x010A));   // 10 d0 + d1
    v = _mm256_madd_epi16(v, _mm256_set1_epi32(0x00010064));  // 100 p0 + p1
    v = _mm256_packus_epi32(v, v);                            // fit in 16 bits
    v = _mm256_madd_epi16(v, _mm256_set1_epi32(0x00012710));  // 10000 q0 + q1
    return _mm256_blend_epi32(v, _mm256_shuffle_epi8(raw, load32(t.batchSigns)), 0xCC);
}

// Four numbers of the template, a and b from the 16-byte windows at a and
// b (one 16-byte half each), c and d from those at c and d: each half's
// digits summed as in matchTemplateWide, its signs beside them, then the
// four numbers scaled with four-lane operations. Returns all ones unless a
// sign slot holds something else or an exponent is beyond the exact powers
// of ten (then the line-by-line reading decides, and `out` means nothing).
KORVEX_AVX2 inline __m256i readFour(const LineTemplate& t, const char* a, const char* b,
                                    const char* c, const char* d, __m256d& out) {
    const __m256i x = readHalves(t, a, b), y = readHalves(t, c, d);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    // {mantissas, exponent digits} and {signs, exponent signs}, a b c d each
    const __m256i parts = _mm256_permutevar8x32_epi32(_mm256_unpacklo_epi32(x, y), order);
    const __m256i signs = _mm256_or_si256(
        _mm256_permutevar8x32_epi32(_mm256_unpackhi_epi32(x, y), order), load32(t.fill));
    const __m256i minus = _mm256_cmpeq_epi32(signs, _mm256_set1_epi32('-'));
    const __m256i blankOrPlus = _mm256_setr_epi32(' ', ' ', ' ', ' ', '+', '+', '+', '+');
    const __m256i good =
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi32(signs, blankOrPlus),
                                        _mm256_cmpeq_epi32(signs, _mm256_set1_epi32('+'))),
                        minus);
    const __m128i negativeExponent = _mm256_extracti128_si256(minus, 1);
    __m128i e = _mm256_extracti128_si256(parts, 1);
    e = _mm_sub_epi32(_mm_xor_si128(e, negativeExponent), negativeExponent);
    __m128i index =
        _mm_add_epi32(e, _mm_load_si128(reinterpret_cast<const __m128i*>(t.scaleIndex)));
    const __m128i within = _mm_cmpeq_epi32(_mm_min_epu32(index, _mm_set1_epi32(44)), index);
    index = _mm_and_si128(index, within);  // the gathers stay within the tables
    // The masked form: the plain one leaves GCC 12 warning about its
    // undefined source.
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    __m256d v = _mm256_mul_pd(
        _mm256_cvtepi32_pd(_mm256_castsi256_si128(parts)),
        _mm256_mask_i32gather_pd(_mm256_setzero_pd(), kScaleUp.data(), index, all, 8));
    v = _mm256_div_pd(
        v, _mm256_mask_i32gather_pd(_mm256_setzero_pd(), kScaleDown.data(), index, all, 8));
    const __m256i negative = _mm256_cvtepi32_epi64(_mm256_castsi256_si128(minus));
    out = _mm256_xor_pd(v, _mm256_and_pd(_mm256_castsi256_pd(negative), _mm256_set1_pd(-0.0)));
    return _mm256_and_si256(good, _mm256_broadcastsi128_si256(within));
}

// All ones where the batch of lines at q fits the template's ranges.
KORVEX_AVX2 inline __m256i inRanges(const LineTemplate& t, const char* q) {
    const __m256i d0 = _mm256_sub_epi8(load32(q), load32(t.low));
    const __m256i d1 = _mm256_sub_epi8(load32(q + 32), load32(t.low + 32));
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(d0, load32(t.span)), d0),
                            _mm256_cmpeq_epi8(_mm256_min_epu8(d1, load32(t.span + 32)), d1));
}

// Lines by the template, kLines at a time (two of two numbers or four of
// one), while they match it and their numbers take the four-lane reading;
// returns where it stopped.
template <unsigned kLines>
KORVEX_AVX2 inline const char* readBatches(const LineTemplate& t, const Layout& layout,
                                           const char* p, const char* stop, ChunkSamples& s) {
    const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(t.size);
    const std::ptrdiff_t wa = t.window[0], wb = t.window[kLines == 2 ? 1 : 0];
    // Two lines of a b: the times and the values, doubles {tf, 2 + tf} and
    // {vf, 2 + vf}, as pairs of floats.
    const int tf = layout.timeField == 1 ? 2 : 0, vf = layout.valueField == 1 ? 2 : 0;
    const __m256i arrange =
        _mm256_setr_epi32(tf, tf + 1, tf + 4, tf + 5, vf, vf + 1, vf + 4, vf + 5);
    const __m128d scale = _mm_set1_pd(layout.timeScale);
    __m128d last = _mm_set1_pd(s.previous);
    __m128d lowest = _mm_set1_pd(s.minStep), highest = _mm_set1_pd(s.maxStep);
    // In locals: stores through the sample pointers could otherwise alias s.
    double* const times = s.times;
    double* const values = s.values;
    std::size_t n = s.n;
    const char* q = p;
    // Batches whose lines all start before stop and whose samples fit.
    const std::ptrdiff_t starts = stop - p > 0 ? (stop - p - 1) / size + 1 : 0;
    std::size_t batches = std::min(static_cast<std::size_t>(starts), s.room - s.n) / kLines;
    for (; batches > 0; --batches) {
        // The processor's own prefetching leaves this loop waiting for the
        // text; asking for it 2 KB ahead takes an eighth off.
        _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(q) + 2048),
                     _MM_HINT_T0);
        __m256d v;
        const __m256i fit =
            kLines == 2
                ? readFour(t, q + wa, q + wb, q + size + wa, q + size + wb, v)
                : readFour(t, q + wa, q + size + wa, q + 2 * size + wa, q + 3 * size + wa, v);
        if (_mm256_movemask_epi8(_mm256_and_si256(fit, inRanges(t, q))) != -1 ||
            (load8(q + 64) & t.tailMask) != t.tail)
            break;
        if constexpr (kLines == 2) {
            const __m256d r =
                _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(v), arrange));
            if (times != nullptr) {
                const __m128d time = _mm_mul_pd(_mm256_castpd256_pd128(r), scale);
                const __m128d d = _mm_sub_pd(time, _mm_shuffle_pd(last, time, 1));
                lowest = _mm_min_pd(d, lowest);
                highest = _mm_max_pd(d, highest);
                last = time;
                _mm_storeu_pd(times + n, time);
            }
            _mm_storeu_pd(values + n, _mm256_extractf128_pd(r, 1));
        } else {
            _mm256_storeu_pd(values + n, v);
        }
        n += kLines;
        q += static_cast<std::ptrdiff_t>(kLines) * size;
    }
    if (n != s.n) {
        s.n = n;
        s.previous = _mm_cvtsd_f64(_mm_unpackhi_pd(last, last));
        s.minStep = std::min(_mm_cvtsd_f64(lowest), _mm_cvtsd_f64(_mm_unpackhi_pd(lowest, lowest)));
        s.maxStep =
            std::max(_mm_cvtsd_f64(highest), _mm_cvtsd_f64(_mm_unpackhi_pd(highest, highest)));
    }
    return q;
}

struct WideReading {
    KORVEX_AVX2 __attribute__((noinline)) static const char* run(const LineTemplate& t,
                                                                 const Layout& layout,
                                                                 const char* p, const char* stop,
                                                                 ChunkSamples& samples) {
        if (!t.wide) return readRunWith<NarrowMatch>(t, layout, p, stop, samples);
        if (t.batchLines == 0) return readRunWith<WideMatch>(t, layout, p, stop, samples);
        double fields[kTemplateFields];
        for (;;) {
            // The first sample of a piece has no step before it.
            if (samples.n > 0 || samples.times == nullptr) {
                p = t.batchLines == 2 ? readBatches<2>(t, layout, p, stop, samples)
                                      : readBatches<4>(t, layout, p, stop, samples);
            }
            if (p >= stop || samples.n == samples.room || !matchTemplateWide(t, p, fields))
                return p;
            storeSample(layout, fields, samples);
            p += t.size;
        }
    }
};

}  // namespace

// Inlined whole, so that the chunk loop is compiled for the wide vectors.
KORVEX_AVX2 void parseChunkWide(const Body& body, Chunk& c) {
    parseChunkWith<WideReading>(body, c);
}

}  // namespace korvex::text

#endif
