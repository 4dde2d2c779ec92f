// The batch formatter: many lines at once, the same bytes as the one-line
// formatter, several times faster; the AVX2 path where the processor has it.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "pulse/decimal_digits.h"
#include "pulse/time_history.h"

namespace korvex {

using namespace digits;

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

void formatTimeHistoryLines(char* out, const double* times, const double* amplitudes,
                            std::size_t count) {
    if (cpuHasAvx2()) {
        detail::formatTimeHistoryLinesAvx2(out, times, amplitudes, count);
    } else {
        detail::formatTimeHistoryLinesPortable(out, times, amplitudes, count);
    }
}

}  // namespace korvex
