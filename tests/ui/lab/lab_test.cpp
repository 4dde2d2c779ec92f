// The window in the lab, under the offscreen platform: measured records opened
// and checked, and shaker-ready pulses, each held to what korvex-cli does
// with the same file and numbers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "analysis/record/record_error.h"
#include "plot/charts/trace_chart.h"
#include "pulse/file_sink.h"
#include "pulse/number_text.h"
#include "pulse/pulse_series.h"
#include "ui/app/main_window.h"
#include "ui/app/side_pane.h"
#include "ui/form/pulse_dialog.h"
#include "ui/form/qt_template.h"
#include "ui/lab/check_panel.h"
#include "ui/lab/read_questions.h"
#include "ui/lab/record_lab.h"
#include "ui/lab/record_pane.h"
#include "ui/lab/record_trust.h"
#include "ui/lab/shaker_panel.h"
#include "ui/lab/trust_strip.h"
#include "ui/preview/preview_pane.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct CliRun {
    int status = -1;
    QString err;
};

CliRun cli(const QStringList& args) {
    QProcess p;
    p.start(KORVEX_CLI, args);
    EXPECT_TRUE(p.waitForFinished(20000)) << args.join(' ').toStdString();
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
}

// korvex-cli's one line about a record, without its name.
QString cliLine(const CliRun& run) {
    return run.err.section('\n', 0, 0).remove(QRegularExpression("^korvex-cli: "));
}

// The same line with the settings it names worded as the window words them:
// the dialog's labels where korvex-cli gives its flags.
QString windowLine(const CliRun& run) {
    QString line = cliLine(run);
    const struct {
        const char* flag;
        ReadSetting setting;
    } flags[] = {{"--time-column", ReadSetting::TimeColumn},
                 {"--time-unit", ReadSetting::TimeUnit},
                 {"--column", ReadSetting::ValueColumn},
                 {"--rate-variable", ReadSetting::RateVariable},
                 {"--rate", ReadSetting::Rate},
                 {"--segment", ReadSetting::Segment}};
    for (const auto& f : flags) {
        line.replace(QRegularExpression(QStringLiteral("%1\\b(?!-)").arg(f.flag)),
                     QString::fromStdString(windowSettingLabel(f.setting)));
    }
    return line;
}

// A shock as a recorder gives it: 12 ms before the pulse, a 50-unit, 11 ms
// pulse, a little ripple, at 20 kHz; a spike added at `spikeAt` s after the
// start of the pulse when `spike` is not 0.
void writeRecord(const fs::path& path, PulseType shape, double spikeAt = 0, double spike = 0,
                 std::size_t samples = 1200) {
    std::string text = "time_s,accel\n";
    char buf[64];
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / 20000, s = t - 0.012;
        double v = 0.3 * std::sin(2 * kPi * 900 * t);
        if (s >= 0 && s <= 0.011) {
            v += shape == PulseType::HalfSine ? 50 * std::sin(kPi * s / 0.011) : 50 * s / 0.011;
        }
        if (spike != 0 && std::fabs(s - spikeAt) < 1e-7) v += spike;
        text.append(buf, std::to_chars(buf, buf + sizeof buf, t).ptr);
        text += ',';
        text.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
        text += '\n';
    }
    std::ofstream(path, std::ios::binary) << text;
}

// korvex-cli's verdict as the window words it for a form in milliseconds:
// the same words, the band's worst sample's time in ms.
QString inMilliseconds(QString verdict) {
    const QRegularExpression seconds(" at ([-0-9.e]+) s\\b");
    const QRegularExpressionMatch m = seconds.match(verdict);
    if (!m.hasMatch()) return verdict;
    const double t = m.captured(1).toDouble() * 1000;
    return verdict.replace(m.capturedStart(), m.capturedLength(),
                           " at " + QString::fromStdString(humanText(t, 6)) + " ms");
}

class FakePlatform : public PulsePlatform {
  public:
    void messageBox(const std::string& text) override { messages.push_back(text); }
    std::optional<std::string> askSaveFileName() override {
        ++asked;
        return path;
    }
    std::unique_ptr<OutputFile> openOutputFile(const std::string& p) override {
        return std::make_unique<FileSink>(p);
    }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}

    std::optional<std::string> path;
    std::vector<std::string> messages;
    int asked = 0;
};

class LabTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        dlg = std::make_unique<CPulseDlg>(platform);
        pane = attachSidePane(*dlg);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }
    void TearDown() override { fs::remove_all(dir); }

    QLineEdit* edit(int id) { return dlg->findChild<QLineEdit*>(controlName(id)); }
    QListWidget* list(int id) { return dlg->findChild<QListWidget*>(controlName(id)); }
    template <typename T = QLineEdit>
    T* paneChild(const char* name) {
        T* w = dlg->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Types into a setting of the pane and presses Enter, which applies it.
    void setSetting(const char* name, const QString& text) {
        QLineEdit* e = paneChild(name);
        e->setText(text);
        QTest::keyClick(e, Qt::Key_Return);
    }
    void form(const char* amplitude, const char* duration, int unit, int shape) {
        list(IDC_TIME_UNIT)->setCurrentRow(unit);
        list(IDC_PULSE_TYPE)->setCurrentRow(shape);
        edit(IDC_AMPLITUDE)->setText(amplitude);
        edit(IDC_PULSE_DURATION)->setText(duration);
    }
    // Opens the file as the window does and waits for its verdict.
    bool open(const fs::path& path) {
        QSignalSpy checked(pane, &SidePane::recordChecked);
        QSignalSpy failed(pane, &SidePane::recordFailed);
        pane->openRecordFile(QString::fromStdString(path.string()));
        return QTest::qWaitFor([&] { return !checked.isEmpty() || !failed.isEmpty(); }, 20000) &&
               !checked.isEmpty();
    }
    void waitIdle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !pane->isBusy(); }, 20000));
    }

    const fs::path dir = fs::temp_directory_path() / "korvex_lab_test";
    FakePlatform platform;
    std::unique_ptr<CPulseDlg> dlg;
    SidePane* pane = nullptr;
};

// The same verdict line and the same report bytes as korvex-cli check, with
// the worst sample marked where the report puts it.
TEST_F(LabTest, RecordsShowKorvexCliChecksVerdictAndReport) {
    const fs::path pass = dir / "pass.csv", spiked = dir / "spiked.csv", saw = dir / "saw.csv";
    writeRecord(pass, PulseType::HalfSine);
    writeRecord(spiked, PulseType::HalfSine, 0.0035, 22);
    writeRecord(saw, PulseType::TerminalSawtooth);
    const struct {
        const char* what;
        fs::path file;
        const char *amplitude, *duration;
        int unit, shape;  // the form's lists
        const char *dbLow, *dbHigh;
        QStringList nominal;  // korvex-cli's options for the same pulse and settings
        int status;           // korvex-cli check's
    } cases[] = {
        {"passes",
         pass,
         "50",
         "11",
         0,
         0,
         "",
         "",
         {"--amplitude", "50", "--pulse-duration", "11"},
         0},
        {"a spike leaves the band",
         spiked,
         "50",
         "11",
         0,
         0,
         "",
         "",
         {"--amplitude", "50", "--pulse-duration", "11"},
         3},
        {"the form's amplitude is too low",
         pass,
         "40,5",
         "11",
         0,
         0,
         "",
         "",
         {"--amplitude", "40", "--pulse-duration", "11"},
         3},
        {"sawtooth, seconds",
         saw,
         "50",
         "0.011",
         1,
         1,
         "",
         "",
         {"--amplitude", "50", "--pulse-duration", "0.011", "--unit", "s", "--shape",
          "terminal-sawtooth"},
         0},
        {"spectrum within a range",
         pass,
         "50",
         "11",
         0,
         0,
         "-1",
         "1",
         {"--amplitude", "50", "--pulse-duration", "11", "--srs-tolerance", "-1,1"},
         0},
        {"spectrum outside a narrow range",
         spiked,
         "50",
         "11",
         0,
         0,
         "-0.01",
         "0.01",
         {"--amplitude", "50", "--pulse-duration", "11", "--band", "0.5", "--srs-tolerance",
          "-0.01,0.01"},
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        form(c.amplitude, c.duration, c.unit, c.shape);
        setSetting("checkDbLow", c.dbLow);
        setSetting("checkDbHigh", c.dbHigh);
        setSetting("checkBand", c.nominal.contains("--band") ? "0.5" : "");
        ASSERT_TRUE(open(c.file)) << pane->openMessage().toStdString();
        ASSERT_TRUE(pane->isShowingRecord());
        RecordPane* record = pane->recordPane();

        const fs::path report = dir / "report.json", cliReport = dir / "cli-report.json";
        const CliRun run = cli(QStringList{"check", QString::fromStdString(c.file.string()),
                                           "--report", QString::fromStdString(cliReport.string())} +
                               c.nominal);
        EXPECT_EQ(run.status, c.status);
        const QString cliVerdict = c.unit == 0 ? inMilliseconds(cliLine(run)) : cliLine(run);
        EXPECT_EQ(record->verdictText().toStdString(), cliVerdict.toStdString());
        record->saveReport(QString::fromStdString(report.string()));
        EXPECT_EQ(readFile(report), readFile(cliReport));

        const CheckReport& r = *record->outcome().report;
        EXPECT_EQ(r.pass, c.status == 0);
        QScatterSeries* mark = nullptr;
        for (QAbstractSeries* s : record->timeChart()->chart()->series()) {
            if (auto* scatter = qobject_cast<QScatterSeries*>(s)) mark = scatter;
        }
        ASSERT_NE(mark, nullptr);
        ASSERT_EQ(mark->count(), 1);
        EXPECT_EQ(mark->at(0),
                  QPointF(r.band.worstTimeS * (c.unit == 0 ? 1000 : 1), r.band.worstValue));
    }
    // The form's new values are checked again by themselves.
    for (const char* name : {"checkDbLow", "checkDbHigh", "checkBand"}) setSetting(name, "");
    waitIdle();
    QSignalSpy checked(pane, &SidePane::recordChecked);
    edit(IDC_AMPLITUDE)->setText("-50");
    ASSERT_TRUE(checked.wait(5000));
    const CliRun run = cli({"check", QString::fromStdString(spiked.string()), "--amplitude", "-50",
                            "--pulse-duration", "11", "--report", "/dev/null"});
    EXPECT_EQ(pane->recordPane()->verdictText().toStdString(),
              inMilliseconds(cliLine(run)).toStdString());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(platform.asked, 0);  // Enter in the pane's settings never pressed Calculate
}

// A file that cannot be read, or not as asked, leaves the record shown as it
// was and says why in korvex-cli's words; a read cancelled leaves it too.
TEST_F(LabTest, BadFilesAndCancelKeepThePaneAsItWas) {
    const fs::path good = dir / "good.csv";
    writeRecord(good, PulseType::HalfSine);
    form("50", "11", 0, 0);
    // Dropped on an edit of the form: opened, and not typed into it.
    QSignalSpy checked(pane, &SidePane::recordChecked);
    QMimeData data;
    // As a file manager drags it: the address, and the path as text.
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(good.string()))});
    data.setText(QString::fromStdString(good.string()));
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit(IDC_AMPLITUDE), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit(IDC_AMPLITUDE), &drop);
    ASSERT_TRUE(checked.wait(5000));
    EXPECT_EQ(edit(IDC_AMPLITUDE)->text(), "50");
    const QString verdict = pane->recordPane()->verdictText();
    const auto write = [&](const char* name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return dir / name;
    };
    const fs::path files[] = {
        dir / "missing.csv",
        write("empty.csv", ""),
        write("word.csv", "time_s,accel\n0,1\n0.001,x\n0.002,3\n"),
        write("one.csv", "time_s,accel\n0,1\n"),
        write("step.csv", "time_s,accel\n0,1\n0.001,2\n0.0025,3\n0.003,4\n"),
        write("fields.csv", "time_s,accel\n0,1\n0.001\n"),
        fs::path("/"),
    };
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        EXPECT_FALSE(open(file));
        const CliRun run =
            cli({"analyse", QString::fromStdString(file.string()), "--summary", "-"});
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(pane->openMessage().toStdString(),
                  "Not opened: " + windowLine(run).toStdString());
        EXPECT_TRUE(pane->isShowingRecord());
        EXPECT_EQ(pane->recordPane()->source(), QString::fromStdString(good.string()));
        EXPECT_EQ(pane->recordPane()->verdictText(), verdict);
        waitIdle();
    }

    // Cancelled at once: nothing read is shown, nothing is said.
    const fs::path big = dir / "big.csv";
    writeRecord(big, PulseType::HalfSine, 0, 0, 400'000);
    pane->openRecordFile(QString::fromStdString(big.string()));
    ASSERT_TRUE(pane->isBusy());
    paneChild<QToolButton>("cancelWork")->click();
    EXPECT_FALSE(pane->isBusy());
    QTest::qWait(300);
    EXPECT_EQ(pane->recordPane()->source(), QString::fromStdString(good.string()));
    EXPECT_EQ(pane->recordPane()->verdictText(), verdict);
    EXPECT_TRUE(pane->openMessage().isEmpty());
}

// A plan saved by the window, checked by korvex-cli check --plan, gives the
// window's report; opened into a form and panel changed since, it brings
// back the pulse and settings it holds.
TEST_F(LabTest, TestPlansRoundTripThroughKorvexCli) {
    const fs::path record = dir / "saw.csv";
    writeRecord(record, PulseType::TerminalSawtooth, 0.004, 9);
    form("50", "0.011", 1, 1);
    setSetting("checkBand", "0.25");
    setSetting("checkDbLow", "-3");
    setSetting("checkDbHigh", "2.5");
    setSetting("spectrumPerOctave", "6");
    ASSERT_TRUE(open(record)) << pane->openMessage().toStdString();
    waitIdle();
    const fs::path plan = dir / "plan.json", report = dir / "report.json",
                   cliReport = dir / "cli-report.json";
    pane->lab()->saveTestPlan(QString::fromStdString(plan.string()));
    pane->recordPane()->saveReport(QString::fromStdString(report.string()));
    const CliRun run = cli({"check", QString::fromStdString(record.string()), "--plan",
                            QString::fromStdString(plan.string()), "--report",
                            QString::fromStdString(cliReport.string())});
    EXPECT_EQ(run.status, pane->recordPane()->outcome().report->pass ? 0 : 3)
        << run.err.toStdString();
    EXPECT_EQ(readFile(report), readFile(cliReport));

    form("20", "6", 0, 0);
    for (const char* name : {"checkBand", "checkDbLow", "checkDbHigh", "spectrumPerOctave"}) {
        setSetting(name, "");
    }
    EXPECT_EQ(pane->lab()->openTestPlan(QString::fromStdString(plan.string())), QString());
    EXPECT_EQ(edit(IDC_AMPLITUDE)->text(), "50");
    EXPECT_EQ(edit(IDC_PULSE_DURATION)->text(), "0.011");
    EXPECT_EQ(list(IDC_TIME_UNIT)->currentRow(), 1);
    EXPECT_EQ(list(IDC_PULSE_TYPE)->currentRow(), 1);
    EXPECT_EQ(paneChild("checkBand")->text(), "0.25");
    EXPECT_EQ(paneChild("checkDbLow")->text(), "-3");
    EXPECT_EQ(paneChild("spectrumPerOctave")->text(), "6");
    waitIdle();
    pane->lab()->recheckRecord();
    waitIdle();
    pane->recordPane()->saveReport(QString::fromStdString(report.string()));
    EXPECT_EQ(readFile(report), readFile(cliReport));
    // A misspelt key is refused, naming it; nothing is changed.
    std::ofstream(dir / "bad.json") << "{\"nominal\": {\"amplitud\": 3}}";
    EXPECT_FALSE(
        pane->lab()->openTestPlan(QString::fromStdString((dir / "bad.json").string())).isEmpty());
    EXPECT_EQ(edit(IDC_AMPLITUDE)->text(), "50");
}

// With the shaker's compensation on, Calculate writes korvex-cli's
// --compensation bytes; the limits exceeded are in the figures in its
// words; a compensation that cannot be laid out says so in the pane only.
TEST_F(LabTest, CompensatedCalculateWritesKorvexCliBytes) {
    paneChild<QComboBox>("shakerUnit")->setCurrentIndex(1);  // g
    paneChild<QCheckBox>("shakerCompensation")->setChecked(true);
    const struct {
        int unit, shape;
        const char *ratio, *amplitude, *pulse, *total, *rate;
        const char *stroke, *velocity;  // mm, m/s
        const char* preTime;            // the pulse pane's
        QStringList args;
    } cases[] = {
        {0, 0, "0.2", "50", "11", "100", "10", "25", "1", "", {}},
        {1,
         1,
         "0.5",
         "-30",
         "0.006",
         "0.05",
         "20000",
         "1.5",
         "0.4",
         "0.0035",
         {"--unit", "s", "--shape", "terminal-sawtooth", "--pre-time", "0.0035"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ratio);
        list(IDC_TIME_UNIT)->setCurrentRow(c.unit);
        list(IDC_PULSE_TYPE)->setCurrentRow(c.shape);
        setSetting("shakerRatio", c.ratio);
        setSetting("shakerStroke", c.stroke);
        setSetting("shakerVelocity", c.velocity);
        setSetting("preTime", c.preTime);
        edit(IDC_AMPLITUDE)->setText(c.amplitude);
        edit(IDC_PULSE_DURATION)->setText(c.pulse);
        edit(IDC_TOTAL_DURATION)->setText(c.total);
        edit(IDC_SAMPLE_RATE)->setText(c.rate);
        const fs::path mine = dir / "mine.txt", theirs = dir / "theirs.txt";
        platform.path = mine.string();
        platform.messages.clear();
        dlg->findChild<QPushButton*>(controlName(IDOK))->click();
        EXPECT_EQ(platform.messages, std::vector<std::string>{completionMessage("mine.txt")});
        const CliRun run =
            cli(QStringList{"--amplitude",      c.amplitude,
                            "--pulse-duration", c.pulse,
                            "--total-duration", c.total,
                            "--sample-rate",    c.rate,
                            "--compensation",   c.ratio,
                            "--amplitude-unit", "g",
                            "--max-stroke",     c.stroke,
                            "--max-velocity",   c.velocity,
                            "--summary",        "/dev/null",
                            "--output",         QString::fromStdString(theirs.string())} +
                c.args);
        ASSERT_EQ(run.status, 0);
        EXPECT_EQ(readFile(mine), readFile(theirs));
        EXPECT_GT(readFile(mine).size(), 1000u);
        // korvex-cli's warnings, one line each, as the figures say them.
        QStringList warned;
        for (QString line : run.err.split('\n')) {
            if (!line.startsWith("korvex-cli: warning: the ")) continue;
            line.remove("korvex-cli: warning: t").prepend('T');
            warned << line.replace(QRegularExpression("--max-\\w+ "), "the limit ");
        }
        EXPECT_FALSE(warned.isEmpty());
        EXPECT_EQ(pane->limitsText().toStdString(), warned.join('\n').toStdString());
        EXPECT_TRUE(pane->motionText().startsWith("Motion: peak velocity "));
    }

    // Sampled too coarsely to end at rest: no file, no original message.
    const std::size_t asked = static_cast<std::size_t>(platform.asked);
    platform.messages.clear();
    edit(IDC_SAMPLE_RATE)->setText("200");
    dlg->findChild<QPushButton*>(controlName(IDOK))->click();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(static_cast<std::size_t>(platform.asked), asked);
    EXPECT_FALSE(pane->isShowingPulse());
    const CliRun run =
        cli({"--unit", "s", "--shape", "terminal-sawtooth", "--amplitude", "-30",
             "--pulse-duration", "0.006", "--total-duration", "0.05", "--sample-rate", "200",
             "--compensation", "0.5", "--output", "/dev/null"});
    EXPECT_EQ(run.status, 2);
    const QString why = cliLine(run).remove("--sample-rate: ");
    EXPECT_TRUE(why.endsWith("raise the sample rate")) << why.toStdString();
    EXPECT_TRUE(paneChild<QWidget>("shakerPanel")->isVisible());
    bool said = false;
    for (QLabel* label : paneChild<QWidget>("shakerPanel")->findChildren<QLabel*>()) {
        said |= label->isVisible() && label->text() == "Compensation: " + why;
    }
    EXPECT_TRUE(said);
}

// `count` 50-unit, 11 ms half-sines 60 ms apart on an offset, at 20 kHz,
// the recorder stopping at `clip`.
void writeShocks(const fs::path& path, int count, double offset, double clip = 1e9) {
    std::string text = "time_s,accel\n";
    char buf[64];
    const auto samples = static_cast<std::size_t>(count * 1200 + 400);
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / 20000;
        double v = offset + 0.3 * std::sin(2 * kPi * 900 * t);
        const double s = std::fmod(t - 0.012, 0.06);
        if (t >= 0.012 && t < 0.012 + 0.06 * count && s <= 0.011) {
            v += 50 * std::sin(kPi * s / 0.011);
        }
        v = std::min(v, clip);
        text.append(buf, std::to_chars(buf, buf + sizeof buf, t).ptr);
        text += ',';
        text.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
        text += '\n';
    }
    std::ofstream(path, std::ios::binary) << text;
}

// The Check panel's conditioning gives what korvex-cli analyse gives with the
// same options: the processing, the achieved pulse and its fits, the
// warnings and the shocks; the stepper walks the shocks.
TEST_F(LabTest, ConditionedRecordsShowKorvexCliAnalyseTrust) {
    const fs::path one = dir / "one.csv", clipped = dir / "clipped.csv", five = dir / "five.csv";
    writeShocks(one, 1, 2.0);
    writeShocks(clipped, 1, 0.5, 40);
    writeShocks(five, 5, 0.0);
    form("50", "11", 0, 0);
    const struct {
        fs::path file;
        int offset;  // the panel's list: none, pre, mean
        const char* lowPass;
        QStringList options;  // korvex-cli's for the same
        std::vector<std::string> warnings;
        int events;
    } cases[] = {
        {one, 1, "CFC1000", {"--offset", "pre", "--lowpass", "CFC1000"}, {}, 1},
        {clipped, 2, "2000", {"--offset", "mean", "--lowpass", "2000"}, {"clipped", "drift"}, 1},
        {five, 0, "", {}, {}, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.string());
        paneChild<QComboBox>("checkOffset")->setCurrentIndex(c.offset);
        setSetting("checkLowPass", c.lowPass);
        ASSERT_TRUE(open(c.file));
        waitIdle();
        const fs::path summary = dir / "summary.json";
        const CliRun run =
            cli(QStringList{"analyse", QString::fromStdString(c.file.string()), "--summary",
                            QString::fromStdString(summary.string()), "--pulse", "--events"} +
                c.options);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const QJsonObject j =
            QJsonDocument::fromJson(QByteArray::fromStdString(readFile(summary))).object();
        const RecordTrust& t = pane->recordPane()->trust();
        if (c.offset > 0) {
            EXPECT_DOUBLE_EQ(t.processing.offsetValue,
                             j["processing"]["offset"]["value"].toDouble());
        }
        std::vector<std::string> codes;
        for (const DataWarning& w : t.warnings) codes.push_back(w.code);
        EXPECT_EQ(codes, c.warnings);
        EXPECT_EQ(static_cast<qsizetype>(t.warnings.size()), j["warnings"].toArray().size());
        const QJsonArray events = j["events"].toArray();
        ASSERT_EQ(static_cast<int>(t.events.size()), c.events);
        ASSERT_EQ(events.size(), c.events);
        TrustStrip* strip = pane->recordPane()->trustStrip();
        if (c.events == 1) {
            const QJsonObject p = j["pulse"].toObject();
            EXPECT_DOUBLE_EQ(t.pulse.peak, p["peak"].toDouble());
            EXPECT_DOUBLE_EQ(t.pulse.durationS, p["duration_s"].toDouble());
            EXPECT_DOUBLE_EQ(t.pulse.riseTimeS, p["rise_time_s"].toDouble());
            EXPECT_DOUBLE_EQ(t.halfSine.amplitude, p["half_sine"]["amplitude"].toDouble());
            EXPECT_DOUBLE_EQ(t.sawtooth.residual, p["terminal_sawtooth"]["residual"].toDouble());
            EXPECT_EQ(strip->eventText(), QString());
            continue;
        }
        // Each shock in turn: its own pulse, the check of its own slice.
        for (int k = 0; k < c.events; ++k) {
            EXPECT_EQ(strip->eventText(), QString("Event %1 of %2").arg(k + 1).arg(c.events));
            EXPECT_DOUBLE_EQ(pane->recordPane()->trust().pulse.peakTimeS,
                             events[k]["peak_time_s"].toDouble());
            ASSERT_TRUE(pane->recordPane()->outcome().report);
            const double tau = pane->recordPane()->outcome().report->offsetS;
            EXPECT_NEAR(tau, events[k]["start_s"].toDouble(), 0.002);
            if (k + 1 == c.events) break;
            QSignalSpy checked(pane, &SidePane::recordChecked);
            QTest::mouseClick(paneChild<QPushButton>("nextEvent"), Qt::LeftButton);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !checked.isEmpty(); }, 20000));
            waitIdle();
        }
        EXPECT_FALSE(paneChild<QPushButton>("nextEvent")->isEnabled());
    }
    QTest::mouseClick(paneChild<QPushButton>("checkDefaults"), Qt::LeftButton);
    EXPECT_EQ(paneChild<QComboBox>("checkOffset")->currentIndex(), 0);
}

// Use as Nominal puts the better fit in the form, which checks the record
// against it.
TEST_F(LabTest, UseAsNominalFillsTheFormWithTheBetterFit) {
    const fs::path saw = dir / "saw.csv";
    writeRecord(saw, PulseType::TerminalSawtooth);
    form("20", "5", 0, 0);
    ASSERT_TRUE(open(saw));
    waitIdle();
    const RecordTrust& t = pane->recordPane()->trust();
    PulseType shape = PulseType::HalfSine;
    const PulseFit* fit = betterFit(t, &shape);
    ASSERT_NE(fit, nullptr);
    EXPECT_EQ(shape, PulseType::TerminalSawtooth);
    QSignalSpy checked(pane, &SidePane::recordChecked);
    QTest::mouseClick(paneChild<QPushButton>("useAsNominal"), Qt::LeftButton);
    EXPECT_EQ(list(IDC_PULSE_TYPE)->currentRow(), 1);
    EXPECT_EQ(edit(IDC_AMPLITUDE)->text(), number(fit->amplitude, 4));
    EXPECT_EQ(edit(IDC_PULSE_DURATION)->text(), number(fit->durationS * 1000, 4));
    EXPECT_NEAR(edit(IDC_AMPLITUDE)->text().toDouble(), 50, 2.5);
    EXPECT_NEAR(edit(IDC_PULSE_DURATION)->text().toDouble(), 11, 0.5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !checked.isEmpty(); }, 20000));
    waitIdle();
    EXPECT_TRUE(pane->recordPane()->outcome().report->pass);
}

// The pulse pane's Pre-time pads Calculate's file with korvex-cli
// --pre-time's zeros; one it refuses is refused in its words, nothing written.
TEST_F(LabTest, PreTimePadsAsKorvexCliDoes) {
    paneChild<QCheckBox>("shakerCompensation")->setChecked(false);  // as a session may leave it
    form("50", "11", 0, 0);
    edit(IDC_TOTAL_DURATION)->setText("40");
    edit(IDC_SAMPLE_RATE)->setText("10");
    const fs::path mine = dir / "mine.txt", theirs = dir / "theirs.txt";
    const QStringList pulse{"--amplitude",      "50", "--pulse-duration", "11",
                            "--total-duration", "40", "--sample-rate",    "10"};
    for (const char* preTime : {"", "0", "5.05", "-1"}) {
        SCOPED_TRACE(preTime);
        setSetting("preTime", preTime);
        std::filesystem::remove(mine);
        platform.path = mine.string();
        platform.messages.clear();
        dlg->findChild<QPushButton*>(controlName(IDOK))->click();
        QStringList args = pulse + QStringList{"--output", QString::fromStdString(theirs.string())};
        if (*preTime != 0) args << "--pre-time" << preTime;
        const CliRun run = cli(args);
        if (run.status == 0) {
            EXPECT_EQ(readFile(mine), readFile(theirs));
        } else {
            EXPECT_EQ(run.status, 2);
            EXPECT_FALSE(fs::exists(mine));
            ASSERT_EQ(platform.messages.size(), 1u);
            EXPECT_EQ(platform.messages[0],
                      cliLine(run).replace("--pre-time: ", "Pre-time: ").toStdString());
        }
    }
}

}  // namespace
}  // namespace korvex
