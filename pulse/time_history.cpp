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
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const int e2 = static_cast<int>(bits >> 52) - 1023;
    // floor(e2 * log10(2)) is the decimal exponent or one less than it.
    e = (e2 * 78913) >> 18;
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
    for (int i = 0; i < series.count; ++i) {
        char* line = sink.reserve(kTimeHistoryLineSize);
        formatTimeHistoryLineTo(line, series.time[i], series.amplitude[i]);
        sink.commit(kTimeHistoryLineSize);
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

void formatTimeHistoryLines(char* out, const double* times, const double* amplitudes,
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
            if (ar[k] == 0) {
                std::memcpy(line + 17, kZeroTail, 16);
                store8(line + 10, kExponentWords.time[te[k] - kWordExpMin]);
                line[18] = std::signbit(a[k]) ? '-' : ' ';  // -0 keeps its sign
            } else {
                store8(line + 10, kExponentWords.time[te[k] - kWordExpMin]);
                line[18] = std::signbit(a[k]) ? '-' : ' ';
                store8(line + 19, mantissaWord<5>(ar[k]));
                store8(line + 25, kExponentWords.amplitude[ae[k] - kWordExpMin]);
            }
        }
    }
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
