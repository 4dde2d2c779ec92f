#include "pulse/time_history.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

// The batch formatter's four-lines-at-a-time path, chosen at run time.
#if defined(__x86_64__) && defined(__GNUC__)
#define KORVEX_WIDE_FORMATTER 1
#include <immintrin.h>
#endif

// The batch formatter's first pass must not pay a call per number.
#if defined(__GNUC__)
#define KORVEX_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define KORVEX_ALWAYS_INLINE inline
#endif

namespace korvex {
namespace {

// 10^0 .. 10^22 are exact doubles, so scaling by one of them rounds once.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPow10 = 22;

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Decade thresholds 1e-20 .. 1e30 for picking the decimal exponent; the
// negative ones are the nearest doubles, and that is close enough: a value
// put in the wrong decade by it rounds to the same digits either way.
constexpr int kThresholdMin = -20;
constexpr double kThreshold[] = {
    1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8,
    1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,  1e5,
    1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17, 1e18,
    1e19,  1e20,  1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30};

// "e+ddd": always three exponent digits, which covers every double.
char* putExponent(char* p, int e) {
    *p++ = 'e';
    *p++ = e < 0 ? '-' : '+';
    if (e < 0) e = -e;
    *p++ = static_cast<char>('0' + e / 100);
    std::memcpy(p, kDigitPairs + 2 * (e % 100), 2);
    return p + 2;
}

// Correctly rounded fallback: to_chars, with its exponent widened to three digits.
void putScientificSlow(char* p, double x, int digits) {
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, digits - 1);
    const char* ePos = static_cast<const char*>(std::memchr(buf, 'e', res.ptr - buf));
    const std::size_t mantissaLen = static_cast<std::size_t>(ePos - buf);
    std::memcpy(p, buf, mantissaLen);
    int e = 0;
    std::from_chars(ePos + 2, res.ptr, e);
    putExponent(p + mantissaLen, ePos[1] == '-' ? -e : e);
}

// floor(e2 * log10(2)) for the binary exponent e2 of x (finite, positive):
// its decimal exponent or one less than it.
KORVEX_ALWAYS_INLINE int decadeEstimate(double x) {
    const int e2 = static_cast<int>(std::bit_cast<std::uint64_t>(x) >> 52) - 1023;
    return (e2 * 78913) >> 18;
}

// |x| (finite, positive) to `Digits` significant digits: the digits as an
// integer r in [10^(Digits-1), 10^Digits) and the decimal exponent e. Fast
// path: scale by an exact power of ten (one rounding) and round to an
// integer. Returns false, for the exact formatter to take over, outside the
// tables' range and whenever that rounding error could decide the last digit
// (a near tie).
template <int Digits>
KORVEX_ALWAYS_INLINE bool fastDecimal(double x, std::uint32_t& r, int& e) {
    constexpr std::uint32_t lo = Digits == 7 ? 1'000'000 : 10'000;
    constexpr std::uint32_t hi = lo * 10;
    e = decadeEstimate(x);
    const int s = Digits - 1 - e;
    if (e + 1 < kThresholdMin || e + 1 > 30 || s > kMaxExactPow10 || s - 1 < -kMaxExactPow10) {
        return false;
    }
    const bool up = x >= kThreshold[e + 1 - kThresholdMin];
    e += up;
    const int scale = s - up;
    const double y = scale >= 0 ? x * kPow10[scale] : x / kPow10[-scale];

    // y is within half an ulp of the exact scaled value; only a fraction
    // that close to one half leaves the rounding in doubt.
    const std::uint32_t floorY = static_cast<std::uint32_t>(y);
    const double frac = y - static_cast<double>(floorY);  // exact
    if (std::fabs(frac - 0.5) <= y * 0x1p-50) return false;
    r = floorY + (frac > 0.5 ? 1u : 0u);
    if (r >= hi) {  // 9.99..96 rounded up a decade
        r = lo;
        ++e;
    }
    return true;
}

std::uint64_t pairAt(std::uint32_t v) {
    std::uint16_t pair;
    std::memcpy(&pair, kDigitPairs + 2 * v, 2);
    return pair;
}

// The mantissa "d.dd..." of r (Digits significant digits) in the low
// Digits + 1 bytes of a word.
template <int Digits>
KORVEX_ALWAYS_INLINE std::uint64_t mantissaWord(std::uint32_t r) {
    static_assert(std::endian::native == std::endian::little);
    constexpr std::uint32_t lo = Digits == 7 ? 1'000'000 : 10'000;
    const std::uint32_t lead = r / lo;
    const std::uint32_t rest = r - lead * lo;
    std::uint64_t word = ('0' + lead) | (std::uint64_t{'.'} << 8);
    if constexpr (Digits == 7) {
        const std::uint32_t a = rest / 10000, b = rest % 10000;
        word |= pairAt(a) << 16 | pairAt(b / 100) << 32 | pairAt(b % 100) << 48;
    } else {
        word |= pairAt(rest / 100) << 16 | pairAt(rest % 100) << 32;
    }
    return word;
}

// The %e form of r x 10^(e - Digits + 1), r as fastDecimal gives it:
// Digits + 6 bytes.
template <int Digits>
void putDigits(char* p, std::uint32_t r, int e) {
    const std::uint64_t word = mantissaWord<Digits>(r);
    std::memcpy(p, &word, Digits + 1);
    putExponent(p + Digits + 1, e);
}

template <int Digits>
constexpr const char* kZero = Digits == 7 ? "0.000000e+000" : "0.0000e+000";

// Writes |x| (finite, positive or zero) in %e form with `Digits`
// significant digits and a three-digit exponent: Digits + 6 bytes.
template <int Digits>
void putMagnitude(char* p, double x) {
    std::uint32_t r;
    int e;
    if (x == 0.0) {
        std::memcpy(p, kZero<Digits>, Digits + 6);
    } else if (fastDecimal<Digits>(x, r, e)) {
        putDigits<Digits>(p, r, e);
    } else {
        putScientificSlow(p, x, Digits);
    }
}

// Right-aligns x in a field one byte wider than its positive %e form, so
// the first byte is the sign or a blank.
template <int Digits>
void putField(char* field, double x) {
    constexpr int kWidth = Digits + 7;
    if (!std::isfinite(x)) {
        // The sign of a NaN means nothing and differs between processors.
        const char* text = std::isnan(x) ? "nan" : (x < 0 ? "-inf" : "inf");
        const std::size_t len = std::strlen(text);
        std::memset(field, ' ', kWidth - len);
        std::memcpy(field + kWidth - len, text, len);
        return;
    }
    field[0] = std::signbit(x) ? '-' : ' ';
    putMagnitude<Digits>(field + 1, std::fabs(x));
}

}  // namespace

void formatTimeHistoryLineTo(char* out, double time, double amplitude) {
    out[0] = ' ';
    putField<7>(out + 1, time);  // 14 bytes
    std::memcpy(out + 15, " \t ", 3);
    putField<5>(out + 18, amplitude);  // 12 bytes
    std::memcpy(out + 30, " \r\n", 3);
}

std::string formatTimeHistoryLine(double time, double amplitude) {
    std::string line(kTimeHistoryLineSize, ' ');
    formatTimeHistoryLineTo(line.data(), time, amplitude);
    return line;
}

void writeTimeHistory(OutputSink& sink, const PulseSeries& series) {
    // Formatted a block ahead by the batch formatter, several times faster
    // than a line at a time, and still handed over one write per line: a
    // failure stops the writer at that line and drops the rest of the block.
    constexpr int kBlock = 256;
    char block[kBlock * kTimeHistoryLineSize];
    for (int first = 0; first < series.count; first += kBlock) {
        const int n = std::min(kBlock, series.count - first);
        formatTimeHistoryLines(block, &series.time[first], &series.amplitude[first],
                               static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) {
            sink.write(block + static_cast<std::size_t>(k) * kTimeHistoryLineSize,
                       kTimeHistoryLineSize);
        }
    }
}

namespace {

// The five exponent bytes "e+ddd" of every exponent the fast path gives,
// each followed by the three bytes that end its field in a line: one
// 8-byte store per number.
constexpr int kWordExpMin = kThresholdMin - 2, kWordExpMax = 32;

constexpr std::uint64_t exponentWord(int e, const char* tail) {
    const int m = e < 0 ? -e : e;
    const char bytes[8] = {'e',
                           e < 0 ? '-' : '+',
                           static_cast<char>('0' + m / 100),
                           static_cast<char>('0' + m / 10 % 10),
                           static_cast<char>('0' + m % 10),
                           tail[0],
                           tail[1],
                           tail[2]};
    std::uint64_t w = 0;
    for (int i = 7; i >= 0; --i) w = w << 8 | static_cast<unsigned char>(bytes[i]);
    return w;
}

struct ExponentWords {
    std::uint64_t time[kWordExpMax - kWordExpMin + 1];       // then " \t "
    std::uint64_t amplitude[kWordExpMax - kWordExpMin + 1];  // then " \r\n"
};

constexpr ExponentWords makeExponentWords() {
    ExponentWords w{};
    for (int e = kWordExpMin; e <= kWordExpMax; ++e) {
        w.time[e - kWordExpMin] = exponentWord(e, " \t ");
        w.amplitude[e - kWordExpMin] = exponentWord(e, " \r\n");
    }
    return w;
}

constexpr ExponentWords kExponentWords = makeExponentWords();

KORVEX_ALWAYS_INLINE void store8(char* p, std::uint64_t w) {
    std::memcpy(p, &w, 8);
}

}  // namespace

namespace detail {

void formatTimeHistoryLinesPortable(char* out, const double* times, const double* amplitudes,
                                    std::size_t count) {
    // In two passes over a block: first every number's digits as integers,
    // then the text. The passes have no chain of dependences from one line
    // to the next, so the processor overlaps many lines at once.
    constexpr std::size_t kBlock = 128;
    std::uint32_t tr[kBlock], ar[kBlock];
    int te[kBlock], ae[kBlock];
    bool fast[kBlock];
    // A zero amplitude and the end of the line, from byte 17 on.
    static constexpr char kZeroTail[] = "  0.0000e+000 \r\n";
    static_assert(sizeof kZeroTail - 1 == 2 + 14 && kTimeHistoryLineSize == 33);
    for (std::size_t first = 0; first < count; first += kBlock) {
        const std::size_t n = std::min(kBlock, count - first);
        const double* t = times + first;
        const double* a = amplitudes + first;
        for (std::size_t k = 0; k < n; ++k) {
            // Zero amplitudes (most of a long record) need no digits.
            const double at = std::fabs(t[k]), aa = std::fabs(a[k]);
            ar[k] = 0;
            fast[k] = at != 0.0 && fastDecimal<7>(at, tr[k], te[k]) &&
                      (aa == 0.0 || fastDecimal<5>(aa, ar[k], ae[k]));
        }
        for (std::size_t k = 0; k < n; ++k) {
            char* line = out + (first + k) * kTimeHistoryLineSize;
            if (!fast[k]) {
                formatTimeHistoryLineTo(line, t[k], a[k]);
                continue;
            }
            // Bytes 0-1 blank and sign, 2-9 mantissa, 10-17 exponent and
            // " \t ", 18 sign, 19-24 mantissa, 25-32 exponent and " \r\n".
            line[0] = ' ';
            line[1] = std::signbit(t[k]) ? '-' : ' ';
            store8(line + 2, mantissaWord<7>(tr[k]));
            store8(line + 10, kExponentWords.time[te[k] - kWordExpMin]);
            if (ar[k] == 0) {
                std::memcpy(line + 17, kZeroTail, 16);
            } else {
                store8(line + 19, mantissaWord<5>(ar[k]));
                store8(line + 25, kExponentWords.amplitude[ae[k] - kWordExpMin]);
            }
            line[18] = std::signbit(a[k]) ? '-' : ' ';  // -0 keeps its sign
        }
    }
}

}  // namespace detail

namespace {

#if defined(KORVEX_WIDE_FORMATTER)

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
__attribute__((target("avx2"))) void formatLinesWide(char* out, const double* times,
                                                     const double* amplitudes, std::size_t count) {
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
        const __m256i high =
            _mm256_srli_epi64(_mm256_mul_epu32(r, _mm256_set1_epi64x(0xD1B71759)), 45);
        const __m256i low = _mm256_sub_epi64(r, _mm256_mul_epu32(high, _mm256_set1_epi64x(10000)));
        __m256i v = _mm256_or_si256(high, _mm256_slli_epi64(low, 32));
        const __m256i hundreds =
            _mm256_srli_epi32(_mm256_mullo_epi32(v, _mm256_set1_epi32(10486)), 20);
        v = _mm256_or_si256(
            hundreds,
            _mm256_slli_epi32(
                _mm256_sub_epi32(v, _mm256_mullo_epi32(hundreds, _mm256_set1_epi32(100))), 16));
        const __m256i tens = _mm256_mulhi_epu16(v, _mm256_set1_epi16(6554));
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

void formatTimeHistoryLines(char* out, const double* times, const double* amplitudes,
                            std::size_t count) {
#if defined(KORVEX_WIDE_FORMATTER)
    static const bool wide = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    if (wide) {
        formatLinesWide(out, times, amplitudes, count);
        return;
    }
#endif
    detail::formatTimeHistoryLinesPortable(out, times, amplitudes, count);
}

namespace {

// Lines [first, end) of the plan's series into out, the samples computed a
// piece at a time in arrays that stay in the first-level cache.
void formatPulseLines(char* out, const PulseParameters& params, const SamplePlan& plan, int first,
                      int end) {
    constexpr int kPiece = 1024;
    double times[kPiece], amplitudes[kPiece];
    for (int i = first; i < end; i += kPiece) {
        const int stop = std::min(end, i + kPiece);
        computePulseSamples(params, plan, i, stop, times, amplitudes);
        formatTimeHistoryLines(out + static_cast<std::size_t>(i - first) * kTimeHistoryLineSize,
                               times, amplitudes, static_cast<std::size_t>(stop - i));
    }
}

// A second thread that formats the back half of each batch while the
// caller formats the front half.
class HalfFormatter {
  public:
    HalfFormatter(const PulseParameters& params, const SamplePlan& plan)
        : params_(params), plan_(plan), thread_([this] { run(); }) {}
    ~HalfFormatter() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    HalfFormatter(const HalfFormatter&) = delete;
    HalfFormatter& operator=(const HalfFormatter&) = delete;

    void format(char* out, int first, int end) {
        const int mid = first + (end - first) / 2;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            out_ = out + static_cast<std::size_t>(mid - first) * kTimeHistoryLineSize;
            first_ = mid;
            end_ = end;
            busy_ = true;
        }
        wake_.notify_one();
        formatPulseLines(out, params_, plan_, first, mid);
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return !busy_; });
    }

  private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return busy_ || stop_; });
            if (stop_) return;
            lock.unlock();
            formatPulseLines(out_, params_, plan_, first_, end_);
            lock.lock();
            busy_ = false;
            done_.notify_one();
        }
    }

    const PulseParameters& params_;
    const SamplePlan& plan_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    char* out_ = nullptr;
    int first_ = 0, end_ = 0;
    bool busy_ = false, stop_ = false;
    std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace

void writePulseTimeHistory(OutputSink& sink, const PulseParameters& params) {
    const SamplePlan plan = planSamples(params);
    const int perReserve = static_cast<int>(
        std::min<std::size_t>(kMaxSamples, sink.maxReserve() / kTimeHistoryLineSize));
    // Halving a batch pays for the hand-over only when batches are large
    // and there is a second processor to take the other half.
    constexpr int kHalvedBatch = 8192;
    std::optional<HalfFormatter> helper;
    if (perReserve >= kHalvedBatch && plan.count >= 2 * kHalvedBatch &&
        std::thread::hardware_concurrency() > 1) {
        helper.emplace(params, plan);
    }
    for (int first = 0; first < plan.count; first += perReserve) {
        const int end = std::min(plan.count, first + perReserve);
        const auto size = static_cast<std::size_t>(end - first) * kTimeHistoryLineSize;
        char* out = sink.reserve(size);
        if (helper && end - first >= kHalvedBatch) {
            helper->format(out, first, end);
        } else {
            formatPulseLines(out, params, plan, first, end);
        }
        sink.commit(size);
    }
}

}  // namespace korvex
