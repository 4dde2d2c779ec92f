#include "pulse/time_history.h"
#include "pulse/simd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvex {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct LineCase {
    double time;
    double amplitude;
    const char* line;
};

class LineFormat : public testing::TestWithParam<LineCase> {};

TEST_P(LineFormat, MatchesByteForByte) {
    const LineCase& c = GetParam();
    EXPECT_EQ(formatTimeHistoryLine(c.time, c.amplitude), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineFormat,
    testing::Values(
        LineCase{0.0001, 0.018182, "  1.000000e-004 \t  1.8182e-002 \r\n"},
        LineCase{0.0, 0.0, "  0.000000e+000 \t  0.0000e+000 \r\n"},
        LineCase{-1.0, -1.0, " -1.000000e+000 \t -1.0000e+000 \r\n"},
        LineCase{0.0, -0.0, "  0.000000e+000 \t -0.0000e+000 \r\n"},
        LineCase{0.011, 5.66553889764798e-16, "  1.100000e-002 \t  5.6655e-016 \r\n"},
        LineCase{0.0055, 1.0000000000000002, "  5.500000e-003 \t  1.0000e+000 \r\n"},
        // Carries into the next decade.
        LineCase{9.9999996e-5, 99999.5, "  1.000000e-004 \t  1.0000e+005 \r\n"},
        // Exact ties (2^-11 and 123445) round half to even.
        LineCase{0.00048828125, 123445.0, "  4.882812e-004 \t  1.2344e+005 \r\n"},
        LineCase{0.0, 123455.0, "  0.000000e+000 \t  1.2346e+005 \r\n"},
        LineCase{1e300, -1.5e-300, "  1.000000e+300 \t -1.5000e-300 \r\n"},
        LineCase{5e-324, 2.2250738585072014e-308, "  4.940656e-324 \t  2.2251e-308 \r\n"},
        LineCase{199.9999, 1.7976931348623157e308, "  1.999999e+002 \t  1.7977e+308 \r\n"},
        LineCase{0.0, kNaN, "  0.000000e+000 \t          nan \r\n"},
        LineCase{0.0, -kNaN, "  0.000000e+000 \t          nan \r\n"},
        LineCase{kInf, -kInf, "            inf \t         -inf \r\n"}));

// Reference: glibc's printf in the C locale, with the exponent widened to
// three digits, right-aligned in `width`.
void appendReference(std::string& out, const char* format, double x, std::size_t width) {
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, format, x);
    const char* e = std::strchr(buf, 'e');
    const bool twoDigits = (buf + n) - e == 4;
    out.append(width - static_cast<std::size_t>(n) - (twoDigits ? 1 : 0), ' ');
    out.append(buf, static_cast<std::size_t>(e + 2 - buf));
    if (twoDigits) out.push_back('0');  // e+05 -> e+005
    out.append(e + 2);
}

std::string expectedLine(double t, double a) {
    std::string line(1, ' ');
    appendReference(line, "%.6e", t, 14);
    line.append(" \t ");
    appendReference(line, "%.4e", a, 12);
    line.append(" \r\n");
    return line;
}

TEST(LineFormatTest, AgreesWithPrintfOverManyValues) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-320, 300);
    std::uniform_int_distribution<std::uint64_t> bits;
    // The batch formatter gets every value too, and a few without digits.
    std::vector<double> ts = {0.0, -0.0, kNaN, 1.0}, as = {-0.0, 0.0, 1.0, kInf};
    std::string expected;
    for (std::size_t i = 0; i < ts.size(); ++i) expected += formatTimeHistoryLine(ts[i], as[i]);
    for (int n = 0; n < 200000; ++n) {
        double t = mantissa(rng) * std::pow(10.0, exponent(rng));
        double a = std::bit_cast<double>(bits(rng));
        if (!std::isfinite(a)) a = 1.0;
        if (n % 3 == 0) a = n % 2 ? 0.0 : -0.0;  // as most of a long record
        const std::string line = expectedLine(t, a);
        ASSERT_EQ(formatTimeHistoryLine(t, a), line) << t << " " << a;
        ts.push_back(t), as.push_back(a), expected += line;
    }
    // The values a real record holds: i * dt, scaled to seconds, and sines.
    for (double dt : {0.0001, 0.1, 1.0 / 3, 1.0 / 44100, 1e-7}) {
        for (int i = 0; i < 20000; ++i) {
            const double t = i * dt * 0.001;
            const double a = 123.456 * std::sin(i * dt * 3.141592653589793 / 0.7);
            const std::string line = expectedLine(t, a);
            ASSERT_EQ(formatTimeHistoryLine(t, a), line) << t;
            ts.push_back(t), as.push_back(a), expected += line;
        }
    }
    // Long runs of +0 amplitudes, which the batch formatter takes four
    // lines at a time: times across decades, at and next to every power of
    // ten it handles, and next to the ties of the seventh digit.
    std::vector<double> runs;
    for (double dt : {0.0001, 1.0 / 3, 1.0 / 44100, 1e-7, 0.00048828125}) {
        for (int i = 0; i < 30000; ++i) runs.push_back(i * dt);
    }
    for (int k = -17; k <= 8; ++k) {
        double x = std::pow(10.0, k);
        for (int j = 0; j < 20; ++j) x = std::nextafter(x, 0.0);
        for (int j = 0; j < 40; ++j, x = std::nextafter(x, 1e300)) runs.push_back(x);
    }
    for (int k = 0; k < 20000; ++k) {
        double x = (1000000 + (k * 7919) % 9000000 + 0.5) * 1e-9;
        for (int j = 0; j < k % 5; ++j) x = std::nextafter(x, k % 2 ? 1.0 : 0.0);
        runs.push_back(x);
    }
    for (const double t : runs) {
        ts.push_back(t), as.push_back(0.0), expected += expectedLine(t, 0.0);
    }
    std::string batch(ts.size() * kTimeHistoryLineSize, '?');
    std::string portable = batch, wide = batch;
    formatTimeHistoryLines(batch.data(), ts.data(), as.data(), ts.size());
    detail::formatTimeHistoryLinesPortable(portable.data(), ts.data(), as.data(), ts.size());
    // The AVX2 path on its own, where this processor can run it.
    const bool avx2 = cpuHasAvx2();
    if (avx2) detail::formatTimeHistoryLinesAvx2(wide.data(), ts.data(), as.data(), ts.size());
    std::cout << "[ paths    ] one-line, portable batch, "
              << (avx2 ? "AVX2 batch" : "no AVX2 batch (not on this processor)") << '\n';
    for (std::size_t i = 0; i < ts.size(); ++i) {
        ASSERT_EQ(batch.substr(i * 33, 33), expected.substr(i * 33, 33)) << ts[i] << " " << as[i];
        ASSERT_EQ(portable.substr(i * 33, 33), expected.substr(i * 33, 33))
            << ts[i] << " " << as[i];
        if (avx2) {
            ASSERT_EQ(wide.substr(i * 33, 33), expected.substr(i * 33, 33))
                << ts[i] << " " << as[i];
        }
    }
}

TEST(LineFormatTest, IgnoresACommaDecimalLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    const std::string line = formatTimeHistoryLine(0.0001, -2.5);
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_STREQ(probe, "1,5");  // the locale is really in force
    EXPECT_EQ(line, "  1.000000e-004 \t -2.5000e+000 \r\n");
}

// Records every write; fails on line `failLine` after accepting `accepted` bytes.
class RecordingSink : public OutputSink {
  public:
    explicit RecordingSink(int failLine = -1, std::size_t accepted = 0)
        : failLine_(failLine), accepted_(accepted) {}
    void write(const char* data, std::size_t size) override {
        if (writes == failLine_) {
            bytes.append(data, accepted_);
            throw std::runtime_error("disk full");
        }
        ++writes;
        sizes.push_back(size);
        bytes.append(data, size);
    }
    int writes = 0;
    std::vector<std::size_t> sizes;
    std::string bytes;

  private:
    int failLine_;
    std::size_t accepted_;
};

std::unique_ptr<PulseSeries> rampSeries(int count) {
    auto series = std::make_unique<PulseSeries>();
    series->count = count;
    for (int i = 0; i < count; ++i) {
        series->time[i] = i * 0.5;
        series->amplitude[i] = -i;
    }
    return series;
}

TEST(WriteTimeHistoryTest, OneWritePerLineInOrder) {
    const auto series = rampSeries(2);
    RecordingSink sink;
    writeTimeHistory(sink, *series);
    EXPECT_EQ(sink.bytes,
              "  0.000000e+000 \t  0.0000e+000 \r\n"
              "  5.000000e-001 \t -1.0000e+000 \r\n");
    EXPECT_EQ(sink.sizes, (std::vector<std::size_t>{33, 33}));
}

TEST(WriteTimeHistoryTest, StreamingGivesTheBytesOfTheStoredSeries) {
    // Sinks that take one line, or many (enough to be shared between two
    // threads), per reservation.
    struct BigSink : RecordingSink {
        std::size_t maxReserve() const override { return buffer.size(); }
        char* reserve(std::size_t) override { return buffer.data(); }
        void commit(std::size_t size) override { write(buffer.data(), size); }
        std::vector<char> buffer = std::vector<char>(33 * 10001);
    };
    const PulseParameters cases[] = {
        {1, 11, 100, 10, PulseType::HalfSine, TimeUnit::Milliseconds},
        {-2, 0.011, 0.3, 10000, PulseType::TerminalSawtooth, TimeUnit::Seconds},
        {1, 0, 0.25, 10000, PulseType::HalfSine, TimeUnit::Seconds},  // NaN at t = 0
        {3, 0.05, 0.05, 44100, PulseType::HalfSine, TimeUnit::Seconds},
        {-7, 0.6, 1, 45000, PulseType::TerminalSawtooth, TimeUnit::Seconds},
    };
    for (const PulseParameters& p : cases) {
        computePulseSeries(p);
        RecordingSink stored, small;
        BigSink big;
        writeTimeHistory(stored, pulseSeries);
        writePulseTimeHistory(small, p);
        writePulseTimeHistory(big, p);
        for (const std::string* bytes : {&small.bytes, &big.bytes}) {
            // The first line that differs, not megabytes of both.
            ASSERT_EQ(bytes->size(), stored.bytes.size()) << p.sampleRate;
            const auto at = std::mismatch(bytes->begin(), bytes->end(), stored.bytes.begin());
            const std::size_t line = static_cast<std::size_t>(at.first - bytes->begin()) / 33;
            EXPECT_EQ(bytes->substr(line * 33, 33), stored.bytes.substr(line * 33, 33))
                << "line " << line << " of " << p.sampleRate;
        }
    }
}

TEST(WriteTimeHistoryTest, FailureStopsAtTheLineAndLeavesAPrefix) {
    const auto series = rampSeries(10);
    RecordingSink full;
    writeTimeHistory(full, *series);

    RecordingSink failing(4, 7);
    EXPECT_THROW(writeTimeHistory(failing, *series), std::runtime_error);
    EXPECT_EQ(failing.writes, 4);
    EXPECT_EQ(failing.bytes, full.bytes.substr(0, 4 * 33 + 7));
}

}  // namespace
}  // namespace korvex
