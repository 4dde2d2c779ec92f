#include "ui/form/calculate_command.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "pulse/pulse_series.h"
#include "pulse/time_history.h"

namespace korvex {
namespace {

using Log = std::vector<std::string>;

// The form and the desktop in one, logging every call in order. The file
// keeps its bytes and, on line `failLine`, takes 5 bytes and then fails.
struct Fakes : PulseForm, PulsePlatform {
    int unit = 0, type = 0;
    std::string rate, amplitude, pulse, total;
    std::optional<std::string> chosenPath = "/home/eng/runs/pulse.txt";
    int failLine = -1;

    Log log;
    std::vector<std::string> messages;
    std::string bytes;

    int timeUnitIndex() override { return note("read unit"), unit; }
    int pulseTypeIndex() override { return note("read type"), type; }
    std::string sampleRateText() override { return note("read rate"), rate; }
    std::string amplitudeText() override { return note("read amplitude"), amplitude; }
    std::string pulseDurationText() override { return note("read pulse"), pulse; }
    std::string totalDurationText() override { return note("read total"), total; }

    void messageBox(const std::string& text) override {
        messages.push_back(text);
        note("message");
    }
    std::optional<std::string> askSaveFileName() override { return note("ask file"), chosenPath; }
    std::unique_ptr<OutputFile> openOutputFile(const std::string& path) override {
        note("open " + path);
        return std::make_unique<File>(*this);
    }
    void beginWaitCursor() override { note("wait"); }
    void endWaitCursor() override { note("end wait"); }
    void showPulse(const PulseParameters&, const PulseSeries& series) override {
        note("show " + std::to_string(series.count));
    }
    void clearPulse() override { note("clear"); }

    struct File : OutputFile {
        explicit File(Fakes& f) : fakes(f) {}
        void write(const char* data, std::size_t size) override {
            if (lines++ == fakes.failLine) {
                fakes.bytes.append(data, 5);
                fakes.note("write failed");
                throw std::runtime_error("disk full");
            }
            fakes.bytes.append(data, size);
        }
        void close() override { fakes.note("close"); }
        Fakes& fakes;
        int lines = 0;
    };

    void note(std::string what) { log.push_back(std::move(what)); }
    void run() { OnCalculate(*this, *this); }
};

Fakes form(int unit, int type, std::string rate, std::string amplitude, std::string pulse,
           std::string total) {
    Fakes f;
    f.unit = unit;
    f.type = type;
    f.rate = std::move(rate);
    f.amplitude = std::move(amplitude);
    f.pulse = std::move(pulse);
    f.total = std::move(total);
    return f;
}

Log withReads(const Log& rest) {
    Log all = {"read unit", "read type", "read rate", "read amplitude", "read pulse", "read total"};
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

const std::string kDone =
    "Calculation complete.\n\n Please call the ouput file: pulse.txt \n into your own graphics "
    "program.\n\n The output file has two columns:\n\n time(sec)  amplitude(units)";

TEST(CalculateCommandTest, WritesTheFileAndNamesItWithoutFolder) {
    Fakes f = form(0, 1, " 10", "2", "11", "100");
    f.run();
    EXPECT_EQ(f.log, withReads({"show 1000", "ask file", "open /home/eng/runs/pulse.txt", "wait",
                                "close", "message", "end wait"}));
    ASSERT_EQ(f.messages, std::vector<std::string>{kDone});
    // The same bytes as the core makes from the same numbers.
    ASSERT_EQ(
        computePulseSeries({2, 11, 100, 10, PulseType::TerminalSawtooth, TimeUnit::Milliseconds}),
        1000);
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        expected += formatTimeHistoryLine(pulseSeries.time[i], pulseSeries.amplitude[i]);
    }
    EXPECT_EQ(f.bytes, expected);
}

TEST(CalculateCommandTest, TooFewSamplesWarnAndTouchNoFile) {
    // Rate empty, not a number, negative, too slow for two steps, inf (not a number either).
    for (const char* rate : {"", "abc", "-10000", "15000", "inf"}) {
        Fakes f = form(1, 0, rate, "1", "0.0001", "0.0001");
        f.run();
        EXPECT_EQ(f.log, withReads({"clear", "message"})) << rate;
        EXPECT_EQ(f.messages, std::vector<std::string>{"Warning:  increase the sample rate."});
    }
}

TEST(CalculateCommandTest, EmptyAmplitudeStillWritesZeros) {
    Fakes f = form(1, 0, "10000", "", "0.011", "0.1");
    f.run();
    ASSERT_EQ(f.bytes.size(), 1000u * 33);
    for (std::size_t line = 0; line < 1000; ++line) {
        ASSERT_EQ(f.bytes.substr(line * 33 + 18, 12), " 0.0000e+000") << line;
    }
}

TEST(CalculateCommandTest, CancelEndsSilently) {
    Fakes f = form(0, 0, "10", "1", "11", "100");
    f.chosenPath.reset();
    f.run();
    EXPECT_EQ(f.log, withReads({"show 1000", "ask file"}));
    EXPECT_TRUE(f.messages.empty());
}

TEST(CalculateCommandTest, FailureLeavesWithCursorEndedAndNoMessage) {
    Fakes f = form(0, 0, "10", "1", "11", "100");
    f.failLine = 3;
    EXPECT_THROW(f.run(), std::runtime_error);
    EXPECT_EQ(f.log, withReads({"show 1000", "ask file", "open /home/eng/runs/pulse.txt", "wait",
                                "write failed", "end wait"}));
    EXPECT_TRUE(f.messages.empty());
    EXPECT_EQ(f.bytes.size(), 3u * 33 + 5);
}

TEST(CalculateCommandTest, CutRecordIsNotedAndOnlyThen) {
    const std::string note =
        "\n\n Note: the record was cut to 2000000 samples; it covers only the first ";
    struct {
        int unit;
        const char* rate;
        const char* total;
        std::string message;
    } cases[] = {
        {1, "10000", "200", kDone},  // exactly 2,000,000 steps: nothing was cut
        {1, "10000", "1000", kDone + note + "200 sec."},
        {0, "10", "1e300", kDone + note + "200 sec."},  // rate per ms, times in seconds
        {1, "0.3", "1e999", kDone + note + "6.66667e+06 sec."},
    };
    for (const auto& c : cases) {
        Fakes f = form(c.unit, 0, c.rate, "1", "0.011", c.total);
        f.run();
        EXPECT_EQ(f.bytes.size(), std::size_t{kMaxSamples} * 33) << c.total;
        EXPECT_EQ(f.messages, std::vector<std::string>{c.message}) << c.total;
    }
}

}  // namespace
}  // namespace korvex
