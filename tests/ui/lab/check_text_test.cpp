// The lab's pure parts, reached before only through the window: the check's
// outcome and its words in the form's unit, and the record's layout peek.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/record/record_format.h"
#include "pulse/number_text.h"
#include "ui/lab/check_outcome.h"
#include "ui/lab/read_questions.h"
#include "ui/lab/record_layout.h"

namespace korvex {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A 50-unit, 11 ms half-sine 12 ms into a 20 kHz record, plus `spike` at 15.5 ms.
LoadedRecord record(double spike) {
    LoadedRecord r;
    r.source = "shock.csv";
    r.record.name = "accel";
    r.record.intervalS = 1.0 / 20000;
    for (int i = 0; i < 1200; ++i) {
        const double t = i / 20000.0, s = t - 0.012;
        double v = s >= 0 && s <= 0.011 ? 50 * std::sin(kPi * s / 0.011) : 0.0;
        if (i == 310) v += spike;
        r.record.values.push_back(v);
        r.time.push_back(t);
    }
    return r;
}

CheckRequest request(TimeUnit unit) {
    CheckRequest q;
    q.pulse = {PulseType::HalfSine, 50.0, 0.011};
    q.time = timeUnitText(unit);
    return q;
}

TEST(CheckText, VerdictKeepsKorvexCliWordsWithTimesInTheFormsUnit) {
    for (const double spike : {0.0, 30.0}) {
        const LoadedRecord r = record(spike);
        const CheckOutcome s = checkOutcome(r, request(TimeUnit::Seconds));
        const CheckOutcome ms = checkOutcome(r, request(TimeUnit::Milliseconds));
        ASSERT_TRUE(s.report && ms.report);
        const QString cli = QString::fromStdString(checkVerdict(*s.report));
        // Seconds: korvex-cli's line as it is.
        EXPECT_EQ(verdictText(*s.report, timeUnitText(TimeUnit::Seconds)), cli);
        // Milliseconds: the same line but for the band's time.
        const QString shown = verdictText(*ms.report, timeUnitText(TimeUnit::Milliseconds));
        const double t = ms.report->band.worstTimeS;
        QString expected = cli;
        expected.replace(" at " + QString::fromStdString(humanText(t, 6)) + " s",
                         " at " + QString::fromStdString(humanText(t * 1000, 6)) + " ms");
        EXPECT_NE(shown, cli) << spike;
        EXPECT_EQ(shown, expected) << spike;
        EXPECT_EQ(shown.startsWith("FAIL"), spike != 0.0);
        // The figures speak milliseconds too, and never seconds.
        const QString figures = checkFiguresText(*ms.report, timeUnitText(TimeUnit::Milliseconds));
        EXPECT_TRUE(figures.contains("11 ms, starting at ")) << figures.toStdString();
        EXPECT_FALSE(figures.contains(" s ")) << figures.toStdString();
        EXPECT_FALSE(figures.contains(" s,")) << figures.toStdString();
    }
}

TEST(CheckText, RefusalsNameWhatIsAtFault) {
    const LoadedRecord r = record(0);
    CheckRequest q = request(TimeUnit::Milliseconds);
    q.pulse.durationS = 0;  // the form's duration does not read
    const CheckOutcome o = checkOutcome(r, q);
    ASSERT_FALSE(o.report);
    ASSERT_TRUE(o.field);
    EXPECT_TRUE(refusalText(o, "shock.csv").startsWith("Not checked: Pulse duration: "))
        << refusalText(o, "shock.csv").toStdString();
    // Settings that do not read refuse before the check runs.
    q = request(TimeUnit::Milliseconds);
    q.problem = "Band B: \"x\" is not a finite decimal number";
    const CheckOutcome settings = checkOutcome(r, q);
    EXPECT_EQ(refusalText(settings, "shock.csv"),
              "Not checked: Check settings: Band B: \"x\" is not a finite decimal number");
    // A spectrum setting that does not read refuses only with a dB range to check.
    q.problemInSpectrum = true;
    EXPECT_TRUE(checkOutcome(r, q).report.has_value());
    q.settings.spectrum = SpectrumTolerance{-1, 1};
    EXPECT_TRUE(refusalText(checkOutcome(r, q), "").startsWith("Not checked: Spectrum settings: "));
}

TEST(RecordLayout, FirstLineDecidesColumnsAndTimeUnitOrAsks) {
    const struct {
        const char* head;
        int columns;
        bool decided;
        RecordTimeUnit unit;
    } cases[] = {
        {"# comment\n\ntime_s,accel\n0,1\n", 2, true, RecordTimeUnit::Seconds},
        {"t (ms);a\n0;1\n", 2, true, RecordTimeUnit::Milliseconds},
        {"\xEF\xBB\xBFTime[s]\tg\n", 2, true, RecordTimeUnit::Seconds},
        {"  1.000000e-003 \t  2.0000e+000 \n", 2, true, RecordTimeUnit::Seconds},  // korvex's own
        {"0.001,2\n", 2, false, RecordTimeUnit::Seconds},     // no header: asked
        {"time,accel\n", 2, false, RecordTimeUnit::Seconds},  // no unit in the name: asked
        {"t_s a b\n", 3, false, RecordTimeUnit::Seconds},     // three columns: asked
        {"% only comments\n", 0, false, RecordTimeUnit::Seconds},
    };
    for (const auto& c : cases) {
        const RecordLayout layout = peekRecordLayout(c.head);
        EXPECT_EQ(layout.columns, c.columns) << c.head;
        const std::optional<ReadOptions> o = decidedOptions(layout);
        EXPECT_EQ(o.has_value(), c.decided) << c.head;
        if (o) {
            EXPECT_EQ(o->timeUnit, c.unit) << c.head;
        }
    }
}

// Open's filter names every format with its patterns; a file's questions
// become the options korvex-cli's flags would give, refused as it refuses them.
TEST(ReadQuestions, FilterNamesEveryFormatAndAnswersBecomeOptions) {
    const QStringList filter = recordFilter().split(";;");
    ASSERT_EQ(filter.size(), static_cast<qsizetype>(recordFormats().size()) + 2);
    EXPECT_TRUE(filter.front().startsWith("All records (*."));
    EXPECT_EQ(filter.back(), "All files (*)");
    const auto text = [](std::string_view v) {
        return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
    };
    for (const RecordFormat* f : recordFormats()) {
        const QString entry = text(f->title()) + " (" + text(f->patterns().front());
        EXPECT_EQ(filter.filter(entry).size(), 1) << f->name();
    }

    ReadQuestionsDialog mat("t.mat", "MAT", {ReadSetting::ValueColumn, ReadSetting::RateVariable});
    const auto field = [&](const char* name) { return mat.findChild<QLineEdit*>(name); };
    ASSERT_NE(field("read_sample_rate"), nullptr);  // a rate serves where a variable is asked
    const struct {
        const char *column, *variable, *rate;
        bool open;
        std::string valueColumn, rateVariable, timeColumn;
    } cases[] = {
        {"", "", "", true, "", "", ""},         {"acc:2", "fs", "", true, "acc:2", "fs", ""},
        {"", "", "2000", true, "", "", "none"}, {"", "fs", "2000", false, "", "", ""},
        {"", "", "0", false, "", "", ""},
    };
    for (const auto& c : cases) {
        field("read_value_column")->setText(c.column);
        field("read_rate_variable")->setText(c.variable);
        field("read_sample_rate")->setText(c.rate);
        const bool open = mat.findChild<QPushButton*>("readOpen")->isEnabled();
        EXPECT_EQ(open, c.open) << c.rate;
        if (!open) continue;
        const ReadOptions o = mat.options();
        EXPECT_EQ(o.valueColumn, c.valueColumn);
        EXPECT_EQ(o.rateVariable, c.rateVariable);
        EXPECT_EQ(o.timeColumn, c.timeColumn);
        EXPECT_EQ(o.rateHz.has_value(), c.timeColumn == "none");
    }
}

}  // namespace
}  // namespace korvex
