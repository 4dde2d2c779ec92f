// The preview pane on its own under the offscreen platform: zooming and
// panning its charts, and the files it saves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCategoryAxis>
#include <QImage>
#include <QLineEdit>
#include <QLineSeries>
#include <QProcess>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>

#include "analysis/series_reduction.h"
#include "pulse/file_target.h"
#include "ui/preview/preview_pane.h"

namespace korvex {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void wheel(QWidget* viewport, QPoint at, int notches) {
    QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
}

// A view pixel of the plot area at fractions (fx, fy) of its width and height.
QPoint plotPixel(ChartView* view, double fx, double fy) {
    const QRectF area = view->chart()->plotArea();
    const QPointF chart(area.left() + fx * area.width(), area.top() + fy * area.height());
    return view->mapFromScene(view->chart()->mapToScene(chart));
}

class PreviewTest : public testing::Test {
  protected:
    void SetUp() override {
        pane.resize(700, 560);
        pane.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    }
    void show(const PulseParameters& p) {
        computePulseSeries(p);
        QSignalSpy ready(&pane, &PreviewPane::spectrumReady);
        pane.showPulse(p, pulseSeries);
        ASSERT_TRUE(ready.wait(20000));
        QApplication::processEvents();
    }
    PreviewPane pane;
};

// 50 g, 11 ms in a 2,000,000-sample record (200 s).
const PulseParameters kLong{50, 11, 200000, 10, PulseType::HalfSine, TimeUnit::Milliseconds};

TEST_F(PreviewTest, ZoomAndPanKeepTicksBoundedAndDrawTheVisibleSamples) {
    show(kLong);
    ChartView* view = pane.timeHistoryView();
    QWidget* port = view->viewport();
    auto* x = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Horizontal).front());
    auto* y = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Vertical).front());
    auto* line = qobject_cast<QLineSeries*>(view->chart()->series().front());
    // The most ticks either axis had at any moment, while each step happened.
    double most = 0.0;
    for (QValueAxis* a : {x, y}) {
        const auto count = [a, &most] {
            if (a->tickInterval() > 0)
                most = std::max(most, (a->max() - a->min()) / a->tickInterval());
        };
        QObject::connect(a, &QValueAxis::rangeChanged, count);
        QObject::connect(a, &QValueAxis::tickIntervalChanged, count);
    }
    const std::span<const double> t(pulseSeries.time.data(), kMaxSamples),
        a(pulseSeries.amplitude.data(), kMaxSamples);

    struct Step {
        const char* what;
        std::function<void()> act;
        double xlo, xhi;  // the view expected after it, in ms (NaN: not checked)
    };
    const double any = NAN;
    const Step steps[] = {
        {"wheel in about the pulse, 40 notches",
         [&] { wheel(port, plotPixel(view, 0.0, 0.5), 40); }, 0, 200000 * std::pow(0.8, 40)},
        {"drag a rectangle over the first 11 ms",
         [&] {
             const double f = 11 / x->max();
             QTest::mousePress(port, Qt::LeftButton, {}, plotPixel(view, 0, 0.05));
             QTest::mouseMove(port, plotPixel(view, f / 2, 0.5));
             QTest::mouseRelease(port, Qt::LeftButton, {}, plotPixel(view, f, 0.95));
         },
         0, 11},
        {"Shift+drag pans right by half a view",
         [&] {
             QTest::mousePress(port, Qt::LeftButton, Qt::ShiftModifier, plotPixel(view, 0.75, 0.5));
             QTest::mouseMove(port, plotPixel(view, 0.5, 0.5));
             QTest::mouseRelease(port, Qt::LeftButton, Qt::ShiftModifier,
                                 plotPixel(view, 0.25, 0.5));
         },
         5.5, 16.5},
        {"wheel out past the whole record", [&] { wheel(port, plotPixel(view, 0.3, 0.5), -200); },
         0, 199999.9},
        {"wheel in by the middle", [&] { wheel(port, plotPixel(view, 0.5, 0.5), 30); }, any, any},
        {"Home", [&] { QTest::keyClick(view, Qt::Key_Home); }, 0, 199999.9},
        {"wheel in, then double-click",
         [&] {
             wheel(port, plotPixel(view, 0.5, 0.5), 30);
             QTest::mouseDClick(port, Qt::LeftButton, {}, plotPixel(view, 0.5, 0.5));
         },
         0, 199999.9},
    };
    for (const Step& s : steps) {
        s.act();
        if (!std::isnan(s.xlo)) {
            EXPECT_NEAR(x->min(), s.xlo, (s.xhi - s.xlo) * 0.01) << s.what;
            EXPECT_NEAR(x->max(), s.xhi, (s.xhi - s.xlo) * 0.01) << s.what;
        }
        for (QValueAxis* axis : {x, y}) {
            EXPECT_GE((axis->max() - axis->min()) / axis->tickInterval(), 2.0) << s.what;
        }
        // What is drawn is the reduction of exactly the samples in view.
        const std::vector<ChartPoint> expected =
            minMaxReduceRange(t, a, x->min() / 1000, x->max() / 1000,
                              static_cast<int>(view->chart()->plotArea().width()));
        const QList<QPointF> drawn = line->points();
        ASSERT_EQ(drawn.size(), static_cast<qsizetype>(expected.size())) << s.what;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(drawn[static_cast<qsizetype>(i)],
                      QPointF(expected[i].x * 1000, expected[i].y))
                << s.what << " " << i;
        }
    }
    EXPECT_LE(most, 10.0);
}

// The spectrum's axes end where its frequencies do and read at 1, 2 and 5;
// zooming keeps the labels few enough to read.
TEST_F(PreviewTest, SpectrumAxesSpanTheDataAndKeepTheirLabelsFew) {
    show({50, 11, 2000, 10, PulseType::HalfSine, TimeUnit::Milliseconds});
    ChartView* view = pane.spectrumView();
    auto* x = qobject_cast<QCategoryAxis*>(view->chart()->axes(Qt::Horizontal).front());
    auto* y = qobject_cast<QCategoryAxis*>(view->chart()->axes(Qt::Vertical).front());
    ASSERT_TRUE(x && y);
    pane.findChild<QTabWidget*>()->setCurrentIndex(1);
    QApplication::processEvents();  // labels laid out for the plot's size
    const SrsPlan plan = planShockSpectrum({}, 1e-4);
    EXPECT_DOUBLE_EQ(x->min(), std::log10(plan.frequencies.front()));
    EXPECT_DOUBLE_EQ(x->max(), std::log10(plan.frequencies.back()));
    EXPECT_EQ(x->categoriesLabels(), QStringList({"10", "20", "50", "100", "200", "500"}));
    EXPECT_EQ(y->categoriesLabels(), QStringList({"2", "5", "10", "20", "50", "100"}));

    const int steps[] = {3, 5, 10, 20, -2, -60};
    for (int notches : steps) {
        wheel(view->viewport(), plotPixel(view, 0.4, 0.3), notches);
        QApplication::processEvents();
        for (QCategoryAxis* axis : {x, y}) {
            const double pixels =
                axis == x ? view->chart()->plotArea().width() : view->chart()->plotArea().height();
            EXPECT_GE(axis->count(), 2) << notches;
            EXPECT_LE(axis->count(), pixels / 20) << notches;
        }
    }
    EXPECT_DOUBLE_EQ(x->max(), std::log10(plan.frequencies.back()));  // all of it again
}

// Saved files go through the same safe replace as the time history, and
// the spectrum table has korvex-cli's bytes for the same settings.
TEST_F(PreviewTest, ExportsWriteWhatKorvexCliWrites) {
    const auto dir = std::filesystem::temp_directory_path() / "korvex_preview_test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const auto cli = [&](QStringList args, QString* err = nullptr) {
        QProcess p;
        p.start(KORVEX_CLI, QStringList{"--amplitude", "50", "--pulse-duration", "11",
                                        "--total-duration", "100", "--sample-rate", "10"} +
                                args);
        EXPECT_TRUE(p.waitForFinished(20000));
        if (err != nullptr) *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    show({50, 11, 100, 10, PulseType::HalfSine, TimeUnit::Milliseconds});
    const auto set = [&](const char* q, const char* perOctave) {
        pane.findChild<QLineEdit*>("spectrumQ")->setText(q);
        pane.findChild<QLineEdit*>("spectrumPerOctave")->setText(perOctave);
        QSignalSpy ready(&pane, &PreviewPane::spectrumReady);
        pane.applySpectrumSettings();
        if (pane.spectrumSettingsMessage().isEmpty()) {
            ASSERT_TRUE(ready.wait(20000));
        }
    };

    // A setting korvex-cli refuses is refused in the same words.
    QString err;
    set("0.5", "6");
    EXPECT_EQ(cli({"--srs", "-", "--srs-q", "0.5"}, &err), 2);
    const QString why = pane.spectrumSettingsMessage();
    ASSERT_TRUE(why.startsWith("Q: ")) << why.toStdString();
    EXPECT_TRUE(err.startsWith("korvex-cli: --srs-q: " + why.mid(3) + "\n")) << err.toStdString();

    set("20", "6");
    const auto table = dir / "srs.txt", cliTable = dir / "srs-cli.txt";
    std::ofstream(table) << "an older file";
    pane.saveSpectrum(QString::fromStdString(table.string()));
    ASSERT_EQ(cli({"--srs", QString::fromStdString(cliTable.string()), "--srs-q", "20",
                   "--srs-per-octave", "6"}),
              0);
    EXPECT_EQ(readFile(table), readFile(cliTable));
    EXPECT_NE(readFile(table).find("# Q 20 (damping ratio 0.025), 6 per octave"),
              std::string::npos);
    // The settings outlive the pane.
    EXPECT_EQ(PreviewPane().findChild<QLineEdit*>("spectrumQ")->text(), "20");

    const auto png = dir / "pulse.png", svg = dir / "pulse.svg";
    pane.savePlot(pane.timeHistoryView(), QString::fromStdString(png.string()), 1600);
    EXPECT_EQ(QImage(QString::fromStdString(png.string())).width(), 1600);
    pane.savePlot(pane.spectrumView(), QString::fromStdString(svg.string()), 0);
    const std::string drawing = readFile(svg);
    EXPECT_EQ(drawing.rfind("<?xml", 0), 0u);
    EXPECT_NE(drawing.find("Half-sine: amplitude 50, duration 11 ms, record 100 ms, 10 samples/ms"),
              std::string::npos);
    EXPECT_THROW(pane.saveSpectrum(QString::fromStdString((dir / "no" / "srs.txt").string())),
                 FileError);

    // Copy: the samples in view, one on each side, in the chart's unit.
    pane.setView(pane.timeHistoryView(), {5.0, 6.0, -10, 60});
    const QStringList rows = pane.visibleDataText(pane.timeHistoryView()).split('\n');
    ASSERT_EQ(rows.size(), 15);  // header, 4.9 to 6.1 ms, and the final newline
    EXPECT_EQ(rows[0], "time_ms\tamplitude");
    EXPECT_EQ(rows[7], "5.5\t50");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace korvex
