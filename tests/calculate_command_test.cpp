#include "ui/calculate_command.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "pulse/pulse_series.h"
#include "pulse/time_history.h"

namespace korvex {
namespace {

// Everything the command did, in order, as one log.
using Log = std::vector<std::string>;

class FakeForm : public PulseForm {
  public:
    FakeForm(Log& log, int unit, int type, std::string rate, std::string amplitude,
             std::string pulse, std::string total)
        : log_(log),
          unit_(unit),
          type_(type),
          rate_(std::move(rate)),
          amplitude_(std::move(amplitude)),
          pulse_(std::move(pulse)),
          total_(std::move(total)) {}

    int timeUnitIndex() override { return log("read unit"), unit_; }
    int pulseTypeIndex() override { return log("read type"), type_; }
    std::string sampleRateText() override { return log("read rate"), rate_; }
    std::string amplitudeText() override { return log("read amplitude"), amplitude_; }
    std::string pulseDurationText() override { return log("read pulse"), pulse_; }
    std::string totalDurationText() override { return log("read total"), total_; }

  private:
    void log(const char* what) { log_.push_back(what); }
    Log& log_;
    int unit_, type_;
    std::string rate_, amplitude_, pulse_, total_;
};

// Keeps the bytes; fails on line `failLine` after taking 5 of its bytes.
class FakeFile : public OutputFile {
  public:
    FakeFile(Log& log, std::string& bytes, int failLine)
        : log_(log), bytes_(bytes), failLine_(failLine) {}
    void write(const char* data, std::size_t size) override {
        if (lines_++ == failLine_) {
            bytes_.append(data, 5);
            log_.push_back("write failed");
            throw std::runtime_error("disk full");
        }
        bytes_.append(data, size);
    }
    void close() override { log_.push_back("close"); }

  private:
    Log& log_;
    std::string& bytes_;
    int failLine_;
    int lines_ = 0;
};

class FakePlatform : public PulsePlatform {
  public:
    explicit FakePlatform(Log& log) : log_(log) {}
    void messageBox(const std::string& text) override {
        messages.push_back(text);
        log_.push_back("message");
    }
    std::optional<std::string> askSaveFileName() override {
        log_.push_back("ask file");
        return chosenPath;
    }
    std::unique_ptr<OutputFile> openOutputFile(const std::string& path) override {
        log_.push_back("open " + path);
        return std::make_unique<FakeFile>(log_, bytes, failLine);
    }
    void beginWaitCursor() override { log_.push_back("wait"); }
    void endWaitCursor() override { log_.push_back("end wait"); }

    std::optional<std::string> chosenPath = "/home/eng/runs/pulse.txt";
    int failLine = -1;
    std::vector<std::string> messages;
    std::string bytes;

  private:
    Log& log_;
};

const Log kReads = {"read unit",      "read type",  "read rate",
                    "read amplitude", "read pulse", "read total"};

Log withReads(Log rest) {
    Log all = kReads;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

const std::string kDone =
    "Calculation complete.\n\n Please call the ouput file: pulse.txt \n into your own graphics "
    "program.\n\n The output file has two columns:\n\n time(sec)  amplitude(units)";

TEST(CalculateCommandTest, WritesTheFileAndNamesItWithoutFolder) {
    Log log;
    FakeForm form(log, 0, 1, " 10", "2", "11", "100");
    FakePlatform platform(log);
    OnCalculate(form, platform);

    EXPECT_EQ(log, withReads({"ask file", "open /home/eng/runs/pulse.txt", "wait", "close",
                              "message", "end wait"}));
    ASSERT_EQ(platform.messages, std::vector<std::string>{kDone});
    // The same bytes as the core makes from the same numbers.
    ASSERT_EQ(
        computePulseSeries({2, 11, 100, 10, PulseType::TerminalSawtooth, TimeUnit::Milliseconds}),
        1000);
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        expected += formatTimeHistoryLine(pulseSeries.time[i], pulseSeries.amplitude[i]);
    }
    EXPECT_EQ(platform.bytes, expected);
}

struct FewSamplesCase {
    const char* rate;
    const char* pulse;
    const char* total;
};

class TooFewSamples : public testing::TestWithParam<FewSamplesCase> {};

TEST_P(TooFewSamples, WarnsAndTouchesNoFile) {
    Log log;
    FakeForm form(log, 1, 0, GetParam().rate, "1", GetParam().pulse, GetParam().total);
    FakePlatform platform(log);
    OnCalculate(form, platform);
    EXPECT_EQ(log, withReads({"message"}));
    EXPECT_EQ(platform.messages, std::vector<std::string>{"Warning:  increase the sample rate."});
}

INSTANTIATE_TEST_SUITE_P(Cases, TooFewSamples,
                         testing::Values(FewSamplesCase{"", "0.011", "0.1"},
                                         FewSamplesCase{"abc", "0.011", "0.1"},
                                         FewSamplesCase{"-10000", "0.011", "0.1"},
                                         FewSamplesCase{"10000", "0.0001", "0.0001"},
                                         FewSamplesCase{"inf", "0.011", "0.1"}));

TEST(CalculateCommandTest, EmptyAmplitudeStillWritesZeros) {
    Log log;
    FakeForm form(log, 1, 0, "10000", "", "0.011", "0.1");
    FakePlatform platform(log);
    OnCalculate(form, platform);
    ASSERT_EQ(platform.bytes.size(), 1000u * 33);
    for (std::size_t line = 0; line < 1000; ++line) {
        ASSERT_EQ(platform.bytes.substr(line * 33 + 18, 12), " 0.0000e+000") << line;
    }
}

TEST(CalculateCommandTest, CancelEndsSilently) {
    Log log;
    FakeForm form(log, 0, 0, "10", "1", "11", "100");
    FakePlatform platform(log);
    platform.chosenPath.reset();
    OnCalculate(form, platform);
    EXPECT_EQ(log, withReads({"ask file"}));
    EXPECT_TRUE(platform.messages.empty());
}

TEST(CalculateCommandTest, FailureLeavesWithCursorEndedAndNoMessage) {
    Log log;
    FakeForm form(log, 0, 0, "10", "1", "11", "100");
    FakePlatform platform(log);
    platform.failLine = 3;
    EXPECT_THROW(OnCalculate(form, platform), std::runtime_error);
    EXPECT_EQ(log, withReads({"ask file", "open /home/eng/runs/pulse.txt", "wait", "write failed",
                              "end wait"}));
    EXPECT_TRUE(platform.messages.empty());
    ASSERT_EQ(platform.bytes.size(), 3u * 33 + 5);
    EXPECT_EQ(platform.bytes.substr(0, 33), formatTimeHistoryLine(0, 0));
}

struct CutCase {
    int unit;
    const char* rate;
    const char* total;
    const char* note;  // nullptr: no note
};

class CutRecord : public testing::TestWithParam<CutCase> {};

TEST_P(CutRecord, AddsTheNoteOnlyWhenCut) {
    const CutCase& c = GetParam();
    Log log;
    FakeForm form(log, c.unit, 0, c.rate, "1", "0.011", c.total);
    FakePlatform platform(log);
    OnCalculate(form, platform);
    EXPECT_EQ(platform.bytes.size(), std::size_t{kMaxSamples} * 33);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], c.note ? kDone + "\n\n " + c.note : kDone);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CutRecord,
    testing::Values(
        CutCase{1, "10000", "200", nullptr},
        CutCase{1, "10000", "1000",
                "Note: the record was cut to 2000000 samples; it covers only the first 200 sec."},
        CutCase{0, "10", "1e300",
                "Note: the record was cut to 2000000 samples; it covers only the first 200 sec."},
        CutCase{1, "3", "1e999",
                "Note: the record was cut to 2000000 samples; it covers only the first 666667 "
                "sec."},
        CutCase{1, "0.3", "1e7",
                "Note: the record was cut to 2000000 samples; it covers only the first "
                "6.66667e+06 sec."}));

}  // namespace
}  // namespace korvex
