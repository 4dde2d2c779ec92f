// The main dialog under the offscreen platform, with the platform's dialogs
// replaced by fakes so that nothing modal waits for a user.
#include <gtest/gtest.h>

#include <QApplication>
#include <QChartView>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "../../small_tmpfs.h"
#include "pulse/file_sink.h"
#include "ui/app/main_window.h"
#include "ui/app/side_pane.h"
#include "ui/form/pulse_dialog.h"
#include "ui/form/qt_template.h"
#include "ui/preview/preview_pane.h"

namespace korvex {
namespace {

class FakePlatform : public PulsePlatform {
  public:
    void messageBox(const std::string& text) override { messages.push_back(text); }
    std::optional<std::string> askSaveFileName() override { return path; }
    std::unique_ptr<OutputFile> openOutputFile(const std::string& p) override {
        return std::make_unique<FileSink>(p);
    }
    void beginWaitCursor() override { ++cursorDepth; }
    void endWaitCursor() override { --cursorDepth; }

    std::optional<std::string> path;
    std::vector<std::string> messages;
    int cursorDepth = 0;
};

class DialogTest : public testing::Test {
  protected:
    void SetUp() override {
        dlg = std::make_unique<CPulseDlg>(platform);
        side = attachSidePane(*dlg);
        dlg->show();
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    }

    template <typename T>
    T* get(int id) {
        T* w = dlg->findChild<T*>(controlName(id));
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    QLineEdit* edit(int id) { return get<QLineEdit>(id); }
    QListWidget* list(int id) { return get<QListWidget>(id); }
    QString rateUnit() { return get<QLabel>(IDC_SAMPLE_RATE_UNIT)->text(); }

    void pressEnterIn(QWidget* w) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Return);
    }

    FakePlatform platform;
    std::unique_ptr<CPulseDlg> dlg;
    SidePane* side = nullptr;
};

TEST_F(DialogTest, StartsWithDefaultsAndFocusOnCalculate) {
    EXPECT_EQ(dlg->windowTitle(), "korvex    ver 1.0");
    EXPECT_EQ(list(IDC_PULSE_TYPE)->item(0)->text(), "Half-sine");
    EXPECT_EQ(list(IDC_PULSE_TYPE)->item(1)->text(), "Terminal Sawtooth");
    EXPECT_EQ(list(IDC_TIME_UNIT)->item(0)->text(), "milliseconds");
    EXPECT_EQ(list(IDC_TIME_UNIT)->item(1)->text(), "seconds");
    EXPECT_EQ(dlg->pulseTypeIndex(), 0);
    EXPECT_EQ(dlg->timeUnitIndex(), 0);
    EXPECT_EQ(edit(IDC_PULSE_DURATION_UNIT)->text(), "msec");
    EXPECT_EQ(edit(IDC_TOTAL_DURATION_UNIT)->text(), "msec");
    EXPECT_EQ(rateUnit(), "samples/msec");
    for (int id : {IDC_AMPLITUDE, IDC_PULSE_DURATION, IDC_TOTAL_DURATION, IDC_SAMPLE_RATE}) {
        EXPECT_TRUE(edit(id)->text().isEmpty()) << id;
    }
    EXPECT_EQ(QApplication::focusWidget(), get<QPushButton>(IDOK));
    EXPECT_TRUE(get<QPushButton>(IDOK)->isDefault());
    EXPECT_FALSE(side->isShowingPulse());
}

TEST_F(DialogTest, UnitLabelsFollowTheTimeUnitAndValuesStay) {
    edit(IDC_PULSE_DURATION)->setText("11");
    list(IDC_TIME_UNIT)->setCurrentRow(1);
    EXPECT_EQ(edit(IDC_PULSE_DURATION_UNIT)->text(), "sec");
    EXPECT_EQ(edit(IDC_TOTAL_DURATION_UNIT)->text(), "sec");
    EXPECT_EQ(rateUnit(), "samples/sec");
    list(IDC_TIME_UNIT)->setCurrentRow(0);
    EXPECT_EQ(edit(IDC_TOTAL_DURATION_UNIT)->text(), "msec");
    EXPECT_EQ(rateUnit(), "samples/msec");
    EXPECT_EQ(edit(IDC_PULSE_DURATION)->text(), "11");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DialogTest, FormReadsTheControls) {
    edit(IDC_SAMPLE_RATE)->setText(" 12abc");
    edit(IDC_AMPLITUDE)->setText("-3");
    edit(IDC_PULSE_DURATION)->setText("0.011");
    edit(IDC_TOTAL_DURATION)->setText("1,5");
    list(IDC_PULSE_TYPE)->setCurrentRow(1);
    list(IDC_TIME_UNIT)->setCurrentRow(1);
    EXPECT_EQ(dlg->sampleRateText(), " 12abc");
    EXPECT_EQ(dlg->amplitudeText(), "-3");
    EXPECT_EQ(dlg->pulseDurationText(), "0.011");
    EXPECT_EQ(dlg->totalDurationText(), "1,5");
    EXPECT_EQ(dlg->pulseTypeIndex(), 1);
    EXPECT_EQ(dlg->timeUnitIndex(), 1);
    list(IDC_PULSE_TYPE)->clearSelection();
    EXPECT_EQ(dlg->pulseTypeIndex(), -1);
}

TEST_F(DialogTest, EnterInEveryEditAndListCalculatesAndStaysOpen) {
    std::size_t expected = 0;
    for (int id : {IDC_PULSE_TYPE, IDC_AMPLITUDE, IDC_PULSE_DURATION, IDC_TOTAL_DURATION,
                   IDC_SAMPLE_RATE, IDC_TIME_UNIT, IDC_PULSE_DURATION_UNIT, IDOK}) {
        pressEnterIn(dlg->findChild<QWidget*>(controlName(id)));
        ASSERT_EQ(platform.messages.size(), ++expected) << "Enter in control " << id;
        EXPECT_EQ(platform.messages.back(), "Warning:  increase the sample rate.");
        EXPECT_TRUE(dlg->isVisible());
    }
    get<QPushButton>(IDOK)->click();
    EXPECT_EQ(platform.messages.size(), expected + 1);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(DialogTest, EnterOnExitClosesTheDialog) {
    pressEnterIn(get<QPushButton>(IDCANCEL));
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DialogTest, EscapeClosesTheDialog) {
    edit(IDC_AMPLITUDE)->setFocus();
    QTest::keyClick(edit(IDC_AMPLITUDE), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(platform.messages.empty());
}

class DialogFileTest : public DialogTest {
  protected:
    void TearDown() override { std::filesystem::remove_all(dir); }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "korvex_dialog_test";
};

TEST_F(DialogFileTest, WholeCalculationWritesTheFileAndConfirms) {
    std::filesystem::create_directories(dir);
    platform.path = (dir / "run1.txt").string();
    list(IDC_TIME_UNIT)->setCurrentRow(1);
    QTest::keyClicks(edit(IDC_AMPLITUDE), "1");
    QTest::keyClicks(edit(IDC_PULSE_DURATION), "0.0002");
    QTest::keyClicks(edit(IDC_TOTAL_DURATION), "0.0002");
    QTest::keyClicks(edit(IDC_SAMPLE_RATE), "10000");
    QTest::keyClick(edit(IDC_SAMPLE_RATE), Qt::Key_Return);

    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], completionMessage("run1.txt"));
    EXPECT_EQ(platform.cursorDepth, 0);
    std::ifstream in(*platform.path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(bytes, "  0.000000e+000 \t  0.0000e+000 \r\n  1.000000e-004 \t  1.0000e+000 \r\n");
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(DialogFileTest, FileFailureIsReportedAndTheDialogStaysUsable) {
    platform.path = (dir / "missing" / "run.txt").string();
    edit(IDC_AMPLITUDE)->setText("1");
    edit(IDC_PULSE_DURATION)->setText("11");
    edit(IDC_SAMPLE_RATE)->setText("10");
    pressEnterIn(edit(IDC_SAMPLE_RATE));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], "The output file could not be written.\n\n" + *platform.path +
                                        "\n\nNo such file or directory");
    EXPECT_EQ(platform.cursorDepth, 0);
    EXPECT_TRUE(dlg->isVisible());

    platform.path.reset();  // cancelled this time: nothing more happens
    pressEnterIn(edit(IDC_SAMPLE_RATE));
    EXPECT_EQ(platform.messages.size(), 1u);
}

TEST_F(DialogTest, FullDiskKeepsTheExistingFileAndSaysSo) {
    SmallTmpfs disk;
    if (!disk.mounted()) GTEST_SKIP() << disk.whyNot();
    const std::filesystem::path file = disk.dir() / "pulse.txt";
    std::ofstream(file) << "good contents";
    platform.path = file.string();
    edit(IDC_AMPLITUDE)->setText("1");
    edit(IDC_PULSE_DURATION)->setText("11");
    edit(IDC_TOTAL_DURATION)->setText("10000");  // 100,000 lines: 3.3 MB into 1 MiB
    edit(IDC_SAMPLE_RATE)->setText("10");
    pressEnterIn(edit(IDC_SAMPLE_RATE));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], "The output file could not be written.\n\n" + file.string() +
                                        "\n\nNo space left on device\n\n"
                                        "The existing file was left unchanged.");
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "good contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.dir()), {}), 1);
}

TEST_F(DialogTest, SystemMenuEndsWithTheAboutEntryWhichOpensTheAboutBox) {
    const QList<QAction*> actions = dlg->systemMenu()->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    QAction* about = actions.back();
    EXPECT_EQ(about->text(), "&About korvex...");

    QString title, firstLine;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        modal = box != dlg.get() && box->isModal();
        title = box->windowTitle();
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text().startsWith("korvex")) firstLine = label->text();
        }
        QTest::keyClick(box, Qt::Key_Escape);
    });
    about->trigger();
    EXPECT_TRUE(modal);
    EXPECT_EQ(title, "About korvex");
    EXPECT_EQ(firstLine, "korvex Version 1.0");
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(platform.messages.empty());
}

// What the popup shown after `open` offers, closed again with Escape.
QStringList popupEntries(const std::function<void()>& open) {
    QStringList entries;
    QTimer::singleShot(0, [&] {
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        for (QAction* a : popup->actions()) entries << (a->isSeparator() ? "-" : a->text());
        popup->close();
    });
    open();
    return entries;
}

TEST_F(DialogTest, ShiftF10OpensAMenuEndingWithAboutWhereverTheFocusIs) {
    for (int id : {IDOK, IDC_PULSE_TYPE, IDC_AMPLITUDE, IDC_PULSE_DURATION_UNIT}) {
        // The offscreen platform leaves the window inactive after a popup.
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == dlg.get(); }));
        QWidget* w = dlg->findChild<QWidget*>(controlName(id));
        w->setFocus();
        const QStringList entries =
            popupEntries([&] { QTest::keyClick(w, Qt::Key_F10, Qt::ShiftModifier); });
        ASSERT_GE(entries.size(), 2) << id;
        EXPECT_EQ(entries.back(), "&About korvex...") << id;
        EXPECT_EQ(entries[entries.size() - 2], "-") << id;
        // An edit keeps its own editing entries above.
        EXPECT_EQ(entries.size() > 4, id == IDC_AMPLITUDE || id == IDC_PULSE_DURATION_UNIT) << id;
    }
}

TEST_F(DialogTest, ControlsSitWhereTheTemplatePutsThem) {
    const BaseUnits base = baseUnits(dlg->font());
    for (const ControlTemplate& c : mainDialogTemplate().controls) {
        if (c.id == 0) continue;
        const QWidget* w = dlg->findChild<QWidget*>(controlName(c.id));
        ASSERT_NE(w, nullptr) << c.id;
        const PixelRect r = toPixels(c, base);
        EXPECT_EQ(w->pos(), QPoint(r.x, r.y)) << c.id;
        EXPECT_EQ(w->height(), r.height) << c.id;
        EXPECT_GE(w->width(), r.width) << c.id;
    }
    const PixelRect size = toPixels(mainDialogTemplate(), base);
    EXPECT_EQ(dlg->formSize(), QSize(size.width, size.height));
    // The unit labels stand right of their edits, Calculate left of Exit.
    EXPECT_GT(edit(IDC_PULSE_DURATION_UNIT)->x(), edit(IDC_PULSE_DURATION)->geometry().right());
    EXPECT_GT(get<QPushButton>(IDCANCEL)->x(), get<QPushButton>(IDOK)->geometry().right());

    // A larger window moves nothing of the form; the pane takes the room.
    const QRect calculate = get<QPushButton>(IDOK)->geometry();
    dlg->resize(dlg->width() + 300, dlg->height() + 200);
    EXPECT_EQ(get<QPushButton>(IDOK)->geometry(), calculate);
    EXPECT_EQ(side->geometry(), QRect(size.width, 0, dlg->width() - size.width, dlg->height()));
}

TEST_F(DialogTest, TabVisitsTheFormInTemplateOrderAndNeverThePane) {
    const int chain[] = {IDOK,
                         IDCANCEL,
                         IDC_PULSE_TYPE,
                         IDC_AMPLITUDE,
                         IDC_PULSE_DURATION,
                         IDC_TOTAL_DURATION,
                         IDC_SAMPLE_RATE,
                         IDC_TIME_UNIT,
                         IDC_PULSE_DURATION_UNIT,
                         IDC_TOTAL_DURATION_UNIT,
                         IDOK};
    // With the pane showing a pulse, so that its charts and tabs are visible.
    edit(IDC_AMPLITUDE)->setText("1");
    edit(IDC_PULSE_DURATION)->setText("11");
    edit(IDC_SAMPLE_RATE)->setText("10");
    get<QPushButton>(IDOK)->click();
    ASSERT_TRUE(side->isShowingPulse());
    get<QPushButton>(IDOK)->setFocus();
    for (int id : chain) {
        EXPECT_EQ(QApplication::focusWidget(), dlg->findChild<QWidget*>(controlName(id)))
            << "expected " << id;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(DialogTest, CalculateShowsThePulseCancelKeepsItTooFewSamplesClearIt) {
    list(IDC_TIME_UNIT)->setCurrentRow(1);
    edit(IDC_AMPLITUDE)->setText("1");
    edit(IDC_PULSE_DURATION)->setText("0.011");
    edit(IDC_TOTAL_DURATION)->setText("0.1");
    edit(IDC_SAMPLE_RATE)->setText("10000");
    PreviewPane* pane = side->previewPane();
    QSignalSpy spectrum(pane, &PreviewPane::spectrumReady);
    pressEnterIn(edit(IDC_SAMPLE_RATE));  // the fake's Save As is cancelled
    EXPECT_TRUE(platform.messages.empty());
    ASSERT_TRUE(side->isShowingPulse());
    const QString figures = pane->figuresText();
    for (const char* line :
         {"Samples: 1000 at intervals of 0.0001 s, covering 0.1 s", "Peak: 1 at 0.0055 s",
          "Velocity change: 0.00700234 (samples), 0.00700282 (ideal pulse)"}) {
        EXPECT_TRUE(figures.contains(QString::fromUtf8(line))) << line << "\n"
                                                               << figures.toStdString();
    }
    ASSERT_TRUE(spectrum.wait(5000));
    const QLineSeries* maximax = nullptr;
    for (QAbstractSeries* s : pane->spectrumView()->chart()->series()) {
        if (s->name() == "maximax") maximax = qobject_cast<QLineSeries*>(s);
    }
    ASSERT_NE(maximax, nullptr);
    EXPECT_EQ(maximax->count(), 80);
    EXPECT_TRUE(pane->spectrumView()->chart()->title().startsWith("Q 10, 10 Hz to 1000 Hz, 12"));

    edit(IDC_AMPLITUDE)->setText("7");  // typing changes nothing until Calculate
    EXPECT_EQ(pane->figuresText(), figures);

    edit(IDC_SAMPLE_RATE)->setText("0");
    pressEnterIn(edit(IDC_SAMPLE_RATE));
    EXPECT_EQ(platform.messages, std::vector<std::string>{"Warning:  increase the sample rate."});
    EXPECT_FALSE(side->isShowingPulse());
    EXPECT_TRUE(pane->figuresText().isEmpty());
}

TEST_F(DialogTest, TimeAxisKeepsAFewTicksFromShortRecordToLongAndBack) {
    // Each range or step change lays the ticks out at once. The old step of
    // a short record over the range of a long one was a tick every 10 ms over
    // 200 s: minutes of work before the Save As dialog opened.
    list(IDC_TIME_UNIT)->setCurrentRow(1);
    edit(IDC_AMPLITUDE)->setText("1");
    edit(IDC_PULSE_DURATION)->setText("0.011");
    edit(IDC_SAMPLE_RATE)->setText("10000");
    auto* axis = qobject_cast<QValueAxis*>(
        side->previewPane()->timeHistoryView()->chart()->axes(Qt::Horizontal).front());
    ASSERT_NE(axis, nullptr);
    double most = 0.0;
    const auto count = [&] {
        if (axis->tickInterval() > 0) {
            most = std::max(most, (axis->max() - axis->min()) / axis->tickInterval());
        }
    };
    QObject::connect(axis, &QValueAxis::rangeChanged, count);
    QObject::connect(axis, &QValueAxis::tickIntervalChanged, count);
    for (const char* total : {"0.03", "200", "0.03"}) {
        edit(IDC_TOTAL_DURATION)->setText(total);
        pressEnterIn(edit(IDC_SAMPLE_RATE));
        EXPECT_GE((axis->max() - axis->min()) / axis->tickInterval(), 2.0) << total;
    }
    EXPECT_LE(most, 10.0);
}

TEST_F(DialogTest, AnyInputChangeDimsThePaneUntilTheNextCalculate) {
    PreviewPane* pane = side->previewPane();
    edit(IDC_AMPLITUDE)->setText("50,5");
    edit(IDC_PULSE_DURATION)->setText("11");
    edit(IDC_TOTAL_DURATION)->setText("100");
    edit(IDC_SAMPLE_RATE)->setText("10");
    EXPECT_FALSE(pane->isStale());  // nothing shown yet, nothing to dim
    get<QPushButton>(IDOK)->click();
    ASSERT_TRUE(side->isShowingPulse());
    EXPECT_EQ(pane->notesText().toStdString(), "\u2022 Amplitude: \"50,5\" read as 50");
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"amplitude", [&] { edit(IDC_AMPLITUDE)->setText("50"); }},
        {"pulse", [&] { QTest::keyClick(edit(IDC_PULSE_DURATION), Qt::Key_0); }},
        {"total", [&] { edit(IDC_TOTAL_DURATION)->setText("200"); }},
        {"rate", [&] { edit(IDC_SAMPLE_RATE)->setText("20"); }},
        {"type", [&] { list(IDC_PULSE_TYPE)->setCurrentRow(1); }},
        {"unit", [&] { list(IDC_TIME_UNIT)->setCurrentRow(1); }},
    };
    for (const auto& [what, change] : changes) {
        change();
        EXPECT_TRUE(pane->isStale()) << what;
        EXPECT_LT(pane->timeHistoryView()->chart()->opacity(), 1.0) << what;
        get<QPushButton>(IDOK)->click();
        EXPECT_FALSE(pane->isStale()) << what;
        EXPECT_EQ(pane->timeHistoryView()->chart()->opacity(), 1.0) << what;
    }
    EXPECT_TRUE(pane->notesText().isEmpty());
    EXPECT_TRUE(platform.messages.empty());
}

}  // namespace
}  // namespace korvex
