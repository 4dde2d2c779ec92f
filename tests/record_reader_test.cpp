#include "analysis/record_reader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "pulse/file_sink.h"
#include "pulse/number_text.h"
#include "pulse/pulse_series.h"
#include "pulse/time_history.h"
#include "tests/record_test_text.h"

namespace korvex {
namespace {

using test::options;
using test::outcome;

struct Case {
    const char* text;
    ReadOptions options;
    const char* expected;
};

TEST(RecordReader, ReadsEachFormatAndNamesEachFault) {
    const Case cases[] = {
        // korvex's own lines.
        {"  0.000000e+000 \t  0.0000e+000 \r\n  1.000000e-004 \t -2.8556e-002 \r\n"
         "  2.000000e-004 \t  5.7089e-002 \r\n",
         {},
         "2 start 0 dt 1e-04 t 0 1e-04 2e-04 v 0 -0.028556 0.057089"},
        {"time,accel\n0,1.5\n0.001, 2.5\n0.002,-3",
         {},
         "accel start 0 dt 0.001 t 0 0.001 0.002 v 1.5 2.5 -3"},
        {"\xEF\xBB\xBF# logger 7\n% channel list\nZeit;Beschl\n\n0,0;0,5\n0,5; 1,25\r\n1;-2\n",
         {},
         "Beschl start 0 dt 0.5 t 0 0.5 1 v 0.5 1.25 -2"},
        {"Time (s)\tAccel (g)\tTemp\n1\t+.5\t20\n2\t1.\t21\n", options("Accel (g)"),
         "Accel (g) start 1 dt 1 t 1 2 v 0.5 1"},
        {"  0  7 9\n\n 0.1\t8   9 \n0.2 9 9", options("2", "", true),
         "2 start 0 dt 1e-04 t 0 1e-04 2e-04 v 7 8 9"},
        {"5 1\n6 2\n7 3\n", options("1", "none", false, 1000.0), "1 start 0 dt 0.001 v 5 6 7"},
        // Tabs and spaces mixed between numbers: any run of blanks separates.
        {"0 \t1\t 7\n1\t\t2 8\n", options("3"), "3 start 0 dt 1 t 0 1 v 7 8"},
        {"v;t\n1;0\n2;2\n", options("v", "t"), "v start 0 dt 2 t 0 2 v 1 2"},
        // Faults in the lines: line and character column of the field.
        {"0 1\n1\n", {}, "t.txt:2:2: field 2 is missing (line 1 has 2 fields)"},
        {"0 1\n1 2 3\n", {}, "t.txt:2:5: extra field 3 (line 1 has 2 fields)"},
        {"0;1\n1;\n", {}, "t.txt:2:3: field 2 is empty"},
        {"0 1\n1 1.5x\n", {}, "t.txt:2:3: field 2: \"1.5x\" is not a number"},
        {"t;v\n0;1\n1;\xC3\xA4x\n", {}, "t.txt:3:3: field 2: \"\xC3\xA4x\" is not a number"},
        {"0 1\n1 2,5\n",
         {},
         "t.txt:2:3: field 2: \"2,5\" is not a number (a decimal comma is read only in "
         "semicolon-separated files)"},
        {"0\t1\n1 2\n",
         {},
         "t.txt:2:1: field 1: \"1 2\" is not a number (fields are separated by tabs)"},
        {"0 1\n1 -nan\n", {}, "t.txt:2:3: field 2: \"-nan\" is not a finite number"},
        {"0 1\n1 1e999\n", {}, "t.txt:2:3: field 2: \"1e999\" is beyond the range of a double"},
        {"0;1,5\n1;2.5\n",
         {},
         "t.txt:2:4: decimal point, but line 1 has a decimal comma: one file, one decimal mark"},
        {"time 0.5\n0 1\n",
         {},
         "t.txt:1:6: field 2: \"0.5\" is a number, but field 1 names a column: a header line "
         "names every column"},
        // Time steps.
        {"0 1\n1 2\n2 2\n2 3\n4 4\n",
         {},
         "t.txt:4:1: time \"2\" does not increase (the line before has \"2\")"},
        {"# x\n0 1\n1 2\n3 3\n",
         {},
         "t.txt:3:1: time step 1 s differs by more than 1 % from the interval 1.5 s = (last time "
         "- first time) / (samples - 1); for values sampled evenly whatever the times say, time "
         "column none sample rate HZ"},
        // Times whose span a double cannot hold pass no step rule.
        {"-1.7e308 1\n-1e308 2\n1.7e308 3\n",
         {},
         "t.txt:3:1: time \"1.7e308\": its distance from the first time \"-1.7e308\" is beyond "
         "the range of a double"},
        // Lines that end in CR alone.
        {"t v\r0 1\r1 2\r",
         {},
         "t.txt:1: the file's lines end in CR only (old Mac text); korvex reads lines that end in "
         "LF or CR LF"},
        // Too little.
        {"", {}, "t.txt: the file is empty"},
        {"\xEF\xBB\xBF", {}, "t.txt: the file is empty"},
        {"# only\n\n \r\n", {}, "t.txt: no samples: only comments and blank lines"},
        {"t v\n", {}, "t.txt: no samples after the header line"},
        {"0 1\n", {}, "t.txt: only one sample: a record needs at least two"},
        // Columns.
        {"time Accel\n0 1\n1 2\n", options("accel"),
         "(value column) t.txt:1: value column: no column is named \"accel\"; the columns are "
         "\"time\", \"Accel\" "
         "(names are matched with their case: \"Accel\"?)"},
        {"0 1\n1 2\n", options("accel"),
         "(value column) t.txt:1: value column \"accel\" names a column, but the file has no "
         "header line (this "
         "first line holds numbers)"},
        {"1\n2\n",
         {},
         "(value column) t.txt:1: value column 2: the first line has only 1 field; a record "
         "without a time column needs time column none sample rate HZ"},
        {"0 1\n1 2\n", options("0"),
         "(value column) t.txt: value column 0: columns are counted from 1"},
        {"0 1\n1 2\n", options("1"),
         "(value column) t.txt:1: value column and time column both pick column 1"},
        {"0 1\n1 2\n", options("", "", false, 5.0),
         "(sample rate) t.txt: sample rate is only for records without a time column (time column "
         "none)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(outcome([&] { return parseRecord(c.text, "t.txt", c.options); }), c.expected);
        EXPECT_EQ(outcome([&] {
                      return detail::parseRecordBy(c.text, "t.txt", c.options,
                                                   detail::ReadPath::Plain);
                  }),
                  c.expected);
    }
}

// Times printed to a microsecond at 51.2 kHz step by 19 or 20 us: read by
// their slope, with a note. A step that strays by more than that rounding
// stays a fault, named at its own line rather than at a rounded step.
TEST(RecordReader, TimesRoundedInPrintAreReadByTheirSlope) {
    std::string text = "time accel\n";
    for (int i = 0; i < 5000; ++i) {
        char line[48];
        const double t = std::round(i * 19.53125) / 1e6;  // to the microsecond
        const auto end = std::to_chars(line, line + sizeof line, t, std::chars_format::fixed, 6);
        text += std::string(line, end.ptr) + " " + std::to_string(i % 3) + "\n";
    }
    for (const detail::ReadPath path : {detail::ReadPath::Plain, detail::ReadPath::WideTemplates}) {
        const Record r = detail::parseRecordBy(text, "t.txt", {}, path);
        EXPECT_NEAR(r.channel().intervalS, 1 / 51200.0, 1e-12);
        EXPECT_EQ(r.notes, std::vector<std::string>{
                               "time column printed to 1e-06 s: interval 1.953125e-05 s from its "
                               "slope"});
    }
    const std::size_t at = text.find("\n0.000098 ");  // the sixth sample, 97.66 us
    ASSERT_NE(at, std::string::npos);
    text.replace(at + 1, 8, "0.000096");
    EXPECT_EQ(outcome([&] { return parseRecord(text, "t.txt", {}); }).substr(0, 21),
              "t.txt:7:1: time step ");
}

// What korvex writes, it reads back as the very numbers its text spells,
// from memory and from a file on disk; a file it cannot open gives the
// system's reason.
TEST(RecordReader, ReadsBackWhatKorvexWrites) {
    const PulseParameters p{
        -3.0, 11.0, 60.0, 20.0, PulseType::TerminalSawtooth, TimeUnit::Milliseconds};
    const int n = computePulseSeries(p);
    std::string text(static_cast<std::size_t>(n) * kTimeHistoryLineSize, '\0');
    formatTimeHistoryLines(text.data(), pulseSeries.time.data(), pulseSeries.amplitude.data(),
                           static_cast<std::size_t>(n));
    const std::string path =
        (std::filesystem::temp_directory_path() / "korvex_record_reader_test.txt").string();
    {
        FileSink sink(path);
        writeTimeHistory(sink, pulseSeries);
        sink.close();
    }
    const Record textRecord = parseRecord(text, "pulse", {});
    const Record fileRecord = readRecord(path, {});
    const Channel& fromText = textRecord.channel();
    const Channel& fromFile = fileRecord.channel();
    std::filesystem::remove(path);
    ASSERT_EQ(fromText.size(), static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const std::string line = text.substr(static_cast<std::size_t>(i) * 33, 33);
        SCOPED_TRACE(line);
        const auto number = [&line](std::size_t from, std::size_t to) {
            from = line.find_first_not_of(' ', from);
            return parseStrictNumber(std::string_view(line).substr(from, to - from));
        };
        const std::optional<double> t = number(0, 15), a = number(17, 30);
        ASSERT_TRUE(t && a);
        EXPECT_EQ(fromText.time[i], *t);
        EXPECT_EQ(fromText.values[i], *a);
    }
    EXPECT_EQ(fromFile.time, fromText.time);
    EXPECT_EQ(fromFile.values, fromText.values);
    EXPECT_EQ(fileRecord.source, path);

    EXPECT_EQ(outcome([] { return readRecord("/nonexistent/korvex.txt", {}); }),
              "unreadable /nonexistent/korvex.txt: No such file or directory");
    EXPECT_EQ(outcome([] { return readRecord("/", {}); }), "unreadable /: Is a directory");
}

}  // namespace
}  // namespace korvex
