// The fast paths (line templates, eight digits at a time, the AVX2 reading,
// threads, the newline counts) proven equal to the plain parser and loops.
#include <gtest/gtest.h>

#include <charconv>
#include <random>
#include <string>
#include <vector>

#include "analysis/record_reader.h"
#include "pulse/time_history.h"
#include "tests/record_test_text.h"

namespace korvex {
namespace {

using test::options;
using test::outcome;

// A random file of one of many layouts. A rough one is long or short and
// has now and then a fault, a comment or a blank line; a clean one has 24
// lines of one layout.
std::string randomFile(std::mt19937_64& rng, bool timed, bool rough) {
    const auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char separators[] = {' ', '\t', ',', ';'};
    const char sep = separators[pick(4)];
    const bool comma = sep == ';' && pick(2) == 0;
    const int columns = (timed ? 2 : 1) + pick(3);
    const std::chars_format format = pick(5) == 0   ? std::chars_format::fixed
                                     : pick(4) == 0 ? std::chars_format::general
                                                    : std::chars_format::scientific;
    const int precision = pick(4) == 0 ? 8 + pick(10) : pick(8);
    const int width = pick(rough ? 4 : 2) == 0 ? 0 : precision + 9 + pick(3);
    const double scale = std::pow(10.0, pick(50) - 30);
    const int exponentZeros = pick(6) == 0 ? 1 + pick(3) : 0;  // e+0012
    const char* newline = pick(2) == 0 ? "\r\n" : "\n";
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const auto number = [&](double x, int digits) {
        char buf[64];
        std::string s(buf, std::to_chars(buf, buf + sizeof buf, x, format, digits).ptr);
        if (comma) std::replace(s.begin(), s.end(), '.', ',');
        if (const std::size_t e = s.find('e'); e != std::string::npos)
            s.insert(e + 2, exponentZeros, '0');
        if (s[0] != '-' && pick(40) == 0) s.insert(0, 1, '+');
        if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), ' ');
        return s;
    };
    std::string text = rough && pick(4) == 0 ? "# random\n" : "";
    if (rough && pick(3) == 0) {
        for (int c = 0; c < columns; ++c)
            text += (c ? std::string(1, sep) : "") + "c" + char('0' + c);
        text += newline;
    }
    const int lines = rough ? 1 + pick(pick(4) == 0 ? 3000 : 200) : 24;
    const int odd = rough && pick(4) == 0 ? pick(lines) : -1;  // a line with an odd field
    const double dt = std::pow(2.0, -pick(12)) * (pick(2) ? 1.0 : 0.1);
    for (int i = 0; i < lines; ++i) {
        if (rough && pick(200) == 0) text += pick(2) ? "% note" + std::string(newline) : "  ";
        if (rough && pick(200) == 0) text += newline;
        for (int c = 0; c < columns; ++c) {
            if (c > 0) text += sep;
            text += c == 0 ? number(i * dt, std::max(precision, 7))
                           : number(uniform(rng) * scale, precision);
        }
        if (i == odd) text += pick(2) ? " 1e999" : std::string(1, sep) + "1";
        text += newline;
    }
    // A rough file now and then has a byte changed: a digit, a sign, a
    // mark, a separator.
    const char nasty[] = "0123456789+-., ;\t\neE#x";
    for (int k = rough && pick(4) == 0 ? 1 + pick(3) : 0; k > 0; --k)
        text[rng() % text.size()] = nasty[pick(sizeof nasty - 1)];
    return text;
}

TEST(RecordReader, FastPathsMatchThePlainParserOnRandomFiles) {
    std::mt19937_64 rng(20261208);
    int read = 0;
    // Both template readers, on the given thread counts, against the plain
    // parser on one thread.
    const auto check = [&read](const std::string& text, bool timed,
                               std::initializer_list<unsigned> threadCounts) {
        const ReadOptions base = timed ? options() : options("1", "none", false, 100.0);
        using detail::ReadPath;
        const std::string plain =
            outcome([&] { return detail::parseRecordBy(text, "r.txt", base, ReadPath::Plain); });
        read += plain.rfind("r.txt", 0) != 0;
        for (ReadPath path : {ReadPath::Templates, ReadPath::WideTemplates}) {
            for (unsigned threads : threadCounts) {
                ReadOptions o = base;
                o.threads = threads;
                ASSERT_EQ(outcome([&] { return detail::parseRecordBy(text, "r.txt", o, path); }),
                          plain)
                    << (path == ReadPath::Templates ? "" : "wide, ") << threads << " threads:\n"
                    << text.substr(0, 2000);
            }
        }
    };
    for (int file = 0; file < 300; ++file) {
        const bool timed = rng() % 3 != 0;
        ASSERT_NO_FATAL_FAILURE(check(randomFile(rng, timed, true), timed, {1, 3}));
    }
    EXPECT_GT(read, 120);  // many of the rough files are good ones
    // One byte changed in a line in the middle of a clean file, where the
    // lines before have set up a template: most often a byte that is not a
    // digit, and into a sign, a blank or a separator.
    const char into[] = "+-+- \t,;.eE0x";
    for (int file = 0; file < 3000; ++file) {
        const bool timed = rng() % 3 != 0;
        std::string text = randomFile(rng, timed, false);
        const std::size_t middle = text.size() / 2;
        std::size_t at = middle + rng() % (text.size() / 8);
        for (int tries = 0; tries < 8 && text[at] >= '0' && text[at] <= '9'; ++tries)
            at = middle + rng() % (text.size() / 8);
        text[at] = into[rng() % (sizeof into - 1)];
        ASSERT_NO_FATAL_FAILURE(check(text, timed, {1}));
    }
    // korvex's own lines, and their value column alone, whose pieces are
    // sized without counting and read several lines at a time: one byte
    // changed anywhere, into one next to the digits too; in every third
    // file a line split in two, which may leave a piece more samples than
    // its room.
    const char odd[] = "/:+- \t\r.ex";
    constexpr std::size_t kLines = 240;  // ten to a piece on three threads
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> time(kLines), amplitude(kLines);
    for (int file = 0; file < 300; ++file) {
        // Every scale from 1e-30 to 1e29, across the exact powers of ten.
        const double scale = std::pow(10.0, file / 2 % 60 - 30);
        for (std::size_t i = 0; i < kLines; ++i) {
            time[i] = static_cast<double>(i) * 1e-4;
            amplitude[i] = uniform(rng) * scale;
        }
        std::string text(kLines * kTimeHistoryLineSize, '\0');
        formatTimeHistoryLines(text.data(), time.data(), amplitude.data(), kLines);
        const bool timed = file % 2 == 0;
        if (!timed) {
            std::string values;
            for (std::size_t i = 0; i < kLines; ++i) values += text.substr(33 * i + 17, 16);
            text = values;
        }
        const char changed = file % 3 == 0 ? '\n' : odd[rng() % (sizeof odd - 1)];
        text[rng() % text.size()] = changed;
        ASSERT_NO_FATAL_FAILURE(check(text, timed, {1, 3}));
    }
}

TEST(RecordReader, VectorHelpersMatchTheirPortableForms) {
    std::mt19937_64 rng(7);
    const char alphabet[] = "0123456789+- .e\n\t/:";
    std::string line(64, ' '), pattern(64, ' '), digits(64, '\0'), text(5000, ' ');
    for (int round = 0; round < 2000; ++round) {
        for (std::size_t i = 0; i < 64; ++i) {
            line[i] = alphabet[rng() % (sizeof alphabet - 1)];
            pattern[i] = rng() % 2 ? line[i] : alphabet[rng() % (sizeof alphabet - 1)];
            digits[i] = rng() % 2 ? '\xff' : '\0';
        }
        for (unsigned blocks = 1; blocks <= 4; ++blocks) {
            ASSERT_EQ(
                detail::matchBytes(line.data(), pattern.data(), digits.data(), blocks),
                detail::matchBytesPortable(line.data(), pattern.data(), digits.data(), blocks));
        }
        for (char& c : text) c = rng() % 7 ? 'x' : '\n';
        const std::size_t b = rng() % 100, e = b + rng() % 4900;
        for (auto path : {detail::ReadPath::Templates, detail::ReadPath::WideTemplates}) {
            ASSERT_EQ(detail::countNewlines(text.data() + b, text.data() + e, path),
                      detail::countNewlinesPortable(text.data() + b, text.data() + e));
        }
    }
}

}  // namespace
}  // namespace korvex
