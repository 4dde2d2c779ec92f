#include "ui/preview_pane.h"

#include <QApplication>
#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QInputDialog>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QStackedWidget>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <span>

#include "analysis/pulse_figures.h"
#include "analysis/series_reduction.h"
#include "analysis/srs_table.h"
#include "pulse/file_sink.h"
#include "pulse/number_text.h"
#include "pulse/pulse_messages.h"

namespace korvex {
namespace {

// Six significant digits, with a decimal point whatever the locale.
QString number(double x, int digits = 6) {
    if (std::isnan(x)) return QStringLiteral("not a number");
    return QString::fromStdString(humanText(x, digits));
}

QSettings userSettings() {
    return QSettings(QSettings::UserScope, QStringLiteral("korvex"), QStringLiteral("korvex"));
}

// 1, 2 or 5 times a power of ten, the nearest at or above `x`.
double niceStep(double x) {
    const double decade = std::pow(10.0, std::floor(std::log10(x)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * decade >= x * 0.999) return m * decade;
    }
    return 10 * decade;
}

// 1, 2 or 5 times a power of ten at or below (or above) `x` > 0.
double nice125(double x, bool up) {
    const double decade = std::pow(10.0, std::floor(std::log10(x)));
    if (up) {
        for (double m : {1.0, 2.0, 5.0, 10.0}) {
            if (m * decade >= x * (1 - 1e-9)) return m * decade;
        }
    }
    for (double m : {5.0, 2.0, 1.0}) {
        if (m * decade <= x * (1 + 1e-9)) return m * decade;
    }
    return decade;
}

// A dynamic axis lays out its ticks as soon as its range or its step
// changes. Passing through the coarser of the old and new steps keeps every
// state in between to a few ticks: the new range at the old step of a short
// record would be tens of thousands.
void setRangeAndStep(QValueAxis* axis, double lo, double hi, double step) {
    axis->setTickInterval(std::max(axis->tickInterval(), step));
    axis->setRange(lo, hi);
    axis->setTickInterval(step);
    // Labels with as many decimals as the step has, and no more.
    const double biggest = std::max(std::fabs(lo), std::fabs(hi));
    if (step >= 1e-4 && biggest < 1e7) {
        const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
        axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
    } else {
        const int digits =
            std::clamp(static_cast<int>(std::ceil(std::log10(biggest / step) + 1e-9)) + 1, 1, 15);
        axis->setLabelFormat(QStringLiteral("%.%1g").arg(digits));
    }
}

// Keeps [lo, hi] inside [allLo, allHi] and at least `least` wide,
// moving rather than shrinking it.
std::pair<double, double> keepInside(double lo, double hi, double allLo, double allHi,
                                     double least) {
    const double all = allHi - allLo;
    double span = hi - lo;
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(span > 0)) return {allLo, allHi};
    const double centre = lo + span / 2;
    span = std::clamp(span, std::min(least, all), all);
    lo = std::clamp(centre - span / 2, allLo, allHi - span);
    return {lo, lo + span};
}

// Ticks for a log axis from 10^lo to 10^hi, at most `most` of them: every
// mantissa 1 to 9, else 1-2-5, else decades (every n-th); within less than
// one step of those, round linear steps.
std::vector<double> logTicks(double lo, double hi, int most) {
    most = std::max(most, 2);
    const auto within = [&](double v) {
        const double l = std::log10(v);
        return l >= lo - 1e-9 && l <= hi + 1e-9;
    };
    const std::vector<std::vector<double>> sets = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 5}, {1}};
    const int first = static_cast<int>(std::floor(lo)), last = static_cast<int>(std::ceil(hi));
    for (std::size_t s = 0; s < sets.size(); ++s) {
        std::vector<double> ticks;
        for (int e = first; e <= last; ++e) {
            for (double m : sets[s]) {
                const double v = m * std::pow(10.0, e);
                if (within(v)) ticks.push_back(v);
            }
        }
        if (s == 0 && ticks.size() < 3) {
            const double a = std::pow(10.0, lo), b = std::pow(10.0, hi);
            const double step = niceStep((b - a) / (most - 1));
            ticks.clear();
            for (double v = std::ceil(a / step) * step; v <= b * (1 + 1e-12); v += step) {
                ticks.push_back(v);
            }
            return ticks;
        }
        if (static_cast<int>(ticks.size()) <= most) return ticks;
        if (s + 1 == sets.size()) {
            const std::size_t every = (ticks.size() + most - 1) / most;
            std::vector<double> thinned;
            for (double v : ticks) {
                if (static_cast<long>(std::lround(std::log10(v))) % static_cast<long>(every) == 0)
                    thinned.push_back(v);
            }
            return thinned;
        }
    }
    return {};
}

void setLogTicks(QCategoryAxis* axis, double lo, double hi, double pixels, double pixelsPerTick) {
    const int most = static_cast<int>(pixels / pixelsPerTick);
    QStringList labels;
    std::vector<double> at;
    for (double v : logTicks(lo, hi, most)) {
        labels << number(v);
        at.push_back(std::log10(v));
    }
    // Unchanged ticks are left alone: a new label width would move the plot
    // area, which asks for ticks again.
    bool same = axis->categoriesLabels() == labels && axis->min() == lo && axis->max() == hi;
    for (int i = 0; same && i < labels.size(); ++i) {
        same = axis->endValue(labels[i]) == at[static_cast<std::size_t>(i)];
    }
    if (same) return;
    for (const QString& label : axis->categoriesLabels()) axis->remove(label);
    // Each category ends at its tick; the first starts just below the axis.
    axis->setStartValue(lo - (hi - lo));
    for (int i = 0; i < labels.size(); ++i)
        axis->append(labels[i], at[static_cast<std::size_t>(i)]);
    axis->setRange(lo, hi);
}

QLineSeries* line(const QString& name, QColor color, qreal width) {
    auto* series = new QLineSeries;
    series->setName(name);
    QPen pen(color);
    pen.setWidthF(width);
    series->setPen(pen);
    return series;
}

QLabel* statusLine() {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setContentsMargins(6, 0, 6, 0);
    label->setWordWrap(true);  // never cut, never widens the window
    return label;
}

QString hintText() {
    return QApplication::translate(
        "korvex::PreviewPane",
        "Wheel or drag: zoom \u00b7 Shift+drag: pan \u00b7 double\u2011click: all");
}

std::string plain(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

}  // namespace

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
    m_stack = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 8, 8, 8);
    layout->addWidget(m_stack);

    m_hint =
        new QLabel(tr("Calculate shows the pulse here: its time history, its shock "
                      "response spectrum and its figures."));
    m_hint->setAlignment(Qt::AlignCenter);
    m_hint->setWordWrap(true);
    m_stack->addWidget(m_hint);

    m_timeChart = new QChart;
    m_timeChart->setMargins(QMargins(4, 4, 4, 4));
    m_timeLine = line(tr("amplitude"), QColor(0x1f, 0x4e, 0x9a), 1.5);
    m_timeChart->addSeries(m_timeLine);
    m_timeX = new QValueAxis;
    m_timeX->setTitleText(QStringLiteral("time (s)"));
    m_timeX->setLabelFormat(QStringLiteral("%g"));
    m_timeX->setTickType(QValueAxis::TicksDynamic);
    m_timeX->setTickAnchor(0.0);
    m_timeX->setRange(0.0, 1.0);
    m_timeX->setTickInterval(0.2);  // a few ticks from the start: see setRangeAndStep
    m_timeY = new QValueAxis;
    m_timeY->setTitleText(QStringLiteral("amplitude"));
    m_timeY->setLabelFormat(QStringLiteral("%g"));
    m_timeY->setTickType(QValueAxis::TicksDynamic);
    m_timeY->setTickAnchor(0.0);
    m_timeY->setRange(-1.0, 1.0);
    m_timeY->setTickInterval(0.5);
    m_timeChart->addAxis(m_timeX, Qt::AlignBottom);
    m_timeChart->addAxis(m_timeY, Qt::AlignLeft);
    m_timeLine->attachAxis(m_timeX);
    m_timeLine->attachAxis(m_timeY);
    m_timeChart->legend()->hide();
    m_timeView = new ChartView(m_timeChart);
    m_timeView->setWheelZoomsY(false);  // the whole height is in view already
    m_timeReadout = statusLine();
    // A new width needs a new reduction, one point pair per pixel column.
    connect(m_timeChart, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        const int columns = static_cast<int>(area.width() * devicePixelRatioF());
        if (m_series != nullptr && columns > 0 && columns != m_columns) {
            QMetaObject::invokeMethod(
                this, [this] { drawTimeHistory(); }, Qt::QueuedConnection);
        }
    });

    // The three curves on log-log axes, drawn as log10 of the values on
    // linear axes: a log axis labels only its decades.
    m_srsChart = new QChart;
    m_srsChart->setMargins(QMargins(4, 4, 4, 4));
    m_positive = line(tr("positive"), QColor(0x1f, 0x4e, 0x9a), 1.2);
    m_negative = line(tr("negative"), QColor(0xd0, 0x60, 0x10), 1.2);
    // Drawn last and see-through, so that either peak shows under it.
    m_maximax = line(tr("maximax"), QColor(0x30, 0xa0, 0x50, 0x60), 5.0);
    m_srsX = new QCategoryAxis;
    m_srsX->setTitleText(QStringLiteral("natural frequency (Hz)"));
    m_srsY = new QCategoryAxis;
    m_srsY->setTitleText(QStringLiteral("peak acceleration"));
    for (QCategoryAxis* a : {m_srsX, m_srsY}) {
        a->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        a->setRange(0, 1);
    }
    m_srsChart->addAxis(m_srsX, Qt::AlignBottom);
    m_srsChart->addAxis(m_srsY, Qt::AlignLeft);
    for (QLineSeries* s : {m_positive, m_negative, m_maximax}) {
        m_srsChart->addSeries(s);
        s->attachAxis(m_srsX);
        s->attachAxis(m_srsY);
    }
    m_srsChart->legend()->setAlignment(Qt::AlignBottom);
    // A click on a legend entry hides its curve or shows it again.
    for (QLegendMarker* marker : m_srsChart->legend()->markers()) {
        connect(marker, &QLegendMarker::clicked, this, [marker] {
            QAbstractSeries* s = marker->series();
            s->setVisible(!s->isVisible());
            marker->setVisible(true);
            QBrush label = marker->labelBrush();
            QColor c = label.color();
            c.setAlphaF(s->isVisible() ? 1.0 : 0.4);
            label.setColor(c);
            marker->setLabelBrush(label);
        });
    }
    m_srsView = new ChartView(m_srsChart);
    m_srsReadout = statusLine();
    // How many labels fit depends on the plot's size, known once laid out.
    connect(m_srsChart, &QChart::plotAreaChanged, this, [this] {
        if (!m_points.empty()) {
            QMetaObject::invokeMethod(
                this, [this] { setSpectrumRange(m_srsView->range()); }, Qt::QueuedConnection);
        }
    });

    for (ChartView* view : {m_timeView, m_srsView}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](QPoint pos) { contextMenu(view, pos); });
        connect(view, &ChartView::viewRequested, this,
                [this, view](ChartRange r) { setView(view, r); });
        connect(view, &ChartView::fullViewRequested, this, [this, view] { showAll(view); });
        connect(view, &ChartView::hoverEnded, this, [this, view] { endReadout(view); });
    }
    connect(m_timeView, &ChartView::hovered, this, [this](QPointF v) { readTimeHistory(v); });
    connect(m_srsView, &ChartView::hovered, this, [this](QPointF v) { readSpectrum(v); });

    auto* timePage = new QWidget;
    auto* timeLayout = new QVBoxLayout(timePage);
    timeLayout->setContentsMargins(0, 0, 0, 2);
    timeLayout->setSpacing(0);
    timeLayout->addWidget(m_timeView, 1);
    timeLayout->addWidget(m_timeReadout);
    auto* srsPage = new QWidget;
    auto* srsLayout = new QVBoxLayout(srsPage);
    srsLayout->setContentsMargins(0, 0, 0, 2);
    srsLayout->setSpacing(2);
    srsLayout->addWidget(m_srsView, 1);
    srsLayout->addWidget(m_srsReadout);
    srsLayout->addWidget(makeSettingsRow());
    m_tabs = new QTabWidget;
    m_tabs->addTab(timePage, tr("Time history"));
    m_tabs->addTab(srsPage, tr("Shock response spectrum"));

    m_stale = new QLabel(tr("Inputs changed: press Calculate to update"));
    m_stale->setAlignment(Qt::AlignCenter);
    m_stale->setStyleSheet(
        QStringLiteral("background: #fff3c4; color: #5a4500; padding: 3px; border-radius: 3px"));
    m_stale->hide();
    m_figures = new QLabel;
    m_figures->setTextFormat(Qt::PlainText);
    m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_figures->setWordWrap(true);
    m_figures->setContentsMargins(6, 2, 6, 0);
    m_notes = new QLabel;
    m_notes->setTextFormat(Qt::PlainText);
    m_notes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_notes->setWordWrap(true);
    m_notes->setContentsMargins(6, 2, 6, 4);
    m_notes->setStyleSheet(
        QStringLiteral("QLabel { color: #8a3a00 } QLabel:disabled { color: #c8b4a4 }"));
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(2);
    pageLayout->addWidget(m_stale);
    pageLayout->addWidget(m_tabs, 1);
    pageLayout->addWidget(m_figures);
    pageLayout->addWidget(m_notes);
    m_stack->addWidget(page);

    m_timeReadout->setText(hintText());
    m_srsReadout->setText(hintText());

    // Out of the form's Tab chain: a click still gives the focus.
    setFocusPolicy(Qt::NoFocus);
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->focusPolicy() & Qt::TabFocus) w->setFocusPolicy(Qt::ClickFocus);
    }
}

QWidget* PreviewPane::makeSettingsRow() {
    auto* row = new QWidget;
    auto* grid = new QVBoxLayout(row);
    grid->setContentsMargins(6, 0, 6, 0);
    grid->setSpacing(1);
    auto* line = new QHBoxLayout;
    line->setSpacing(3);
    const auto edit = [&](const char* name, const QString& label, const QString& placeholder,
                          int width) {
        if (!label.isEmpty()) line->addWidget(new QLabel(label));
        auto* e = new QLineEdit;
        e->setObjectName(QLatin1String(name));
        e->setPlaceholderText(placeholder);
        e->setFixedWidth(width);
        line->addWidget(e);
        return e;
    };
    // Compact enough for the window's smallest width.
    m_srsQ = edit("spectrumQ", tr("Q"), QStringLiteral("10"), 38);
    m_srsFrom = edit("spectrumFrom", tr("from"), QStringLiteral("10"), 50);
    m_srsTo = edit("spectrumTo", tr("to"), tr("rate/10"), 54);
    line->addWidget(new QLabel(tr("Hz")));
    m_srsPerOctave = edit("spectrumPerOctave", QString(), QStringLiteral("12"), 28);
    line->addWidget(new QLabel(tr("per octave")));
    line->addStretch(1);
    grid->addLayout(line);
    m_srsMessage = new QLabel;
    m_srsMessage->setTextFormat(Qt::PlainText);
    m_srsMessage->setWordWrap(true);
    m_srsMessage->setStyleSheet(QStringLiteral("color: #b00020"));
    m_srsMessage->hide();
    grid->addWidget(m_srsMessage);

    QSettings settings = userSettings();
    m_srsQ->setText(settings.value(QStringLiteral("spectrum/q"), QStringLiteral("10")).toString());
    m_srsFrom->setText(settings.value(QStringLiteral("spectrum/from"), QString()).toString());
    m_srsTo->setText(settings.value(QStringLiteral("spectrum/to"), QString()).toString());
    m_srsPerOctave->setText(
        settings.value(QStringLiteral("spectrum/perOctave"), QStringLiteral("12")).toString());
    m_settings = readSpectrumSettings();

    // Typing waits a moment, so that "1" on the way to "12" starts nothing.
    m_settingsTimer = new QTimer(this);
    m_settingsTimer->setSingleShot(true);
    m_settingsTimer->setInterval(400);
    connect(m_settingsTimer, &QTimer::timeout, this, &PreviewPane::applySpectrumSettings);
    for (QLineEdit* e : {m_srsQ, m_srsFrom, m_srsTo, m_srsPerOctave}) {
        connect(e, &QLineEdit::textEdited, m_settingsTimer, qOverload<>(&QTimer::start));
        connect(e, &QLineEdit::returnPressed, this, &PreviewPane::applySpectrumSettings);
    }
    return row;
}

PreviewPane::~PreviewPane() {
    for (const Job& job : m_jobs) job.cancel->store(true);
    for (const Job& job : m_jobs) job.watcher->waitForFinished();
}

bool PreviewPane::isShowingPulse() const {
    return m_stack->currentIndex() == 1;
}

bool PreviewPane::isStale() const {
    return isShowingPulse() && !m_stale->isHidden();
}

QString PreviewPane::figuresText() const {
    return isShowingPulse() ? m_figures->text() : QString();
}

QString PreviewPane::notesText() const {
    return isShowingPulse() ? m_notes->text() : QString();
}

QString PreviewPane::readoutText(const ChartView* view) const {
    return (view == m_srsView ? m_srsReadout : m_timeReadout)->text();
}

QString PreviewPane::spectrumSettingsMessage() const {
    return m_srsMessage->isHidden() ? QString() : m_srsMessage->text();
}

void PreviewPane::markStale() {
    if (!isShowingPulse() || isStale()) return;
    m_stale->show();
    for (QChart* c : {m_timeChart, m_srsChart}) c->setOpacity(0.35);
    m_figures->setEnabled(false);
    m_notes->setEnabled(false);
}

void PreviewPane::showPulse(const PulseParameters& params, const PulseSeries& series,
                            const PulseTexts* typed) {
    m_series = &series;
    m_params = params;
    m_stale->hide();
    for (QChart* c : {m_timeChart, m_srsChart}) c->setOpacity(1.0);
    m_figures->setEnabled(true);
    m_notes->setEnabled(true);

    // The pane speaks the form's unit; the file keeps seconds.
    const bool ms = params.timeUnit == TimeUnit::Milliseconds;
    m_timeScale = ms ? 1000.0 : 1.0;
    m_timeUnit = ms ? QStringLiteral("ms") : QStringLiteral("s");
    m_timeX->setTitleText(QStringLiteral("time (%1)").arg(m_timeUnit));
    const PulseFigures f = computePulseFigures(series, params);
    QStringList lines;
    lines << QStringLiteral("Samples: %1 at intervals of %2 %4, covering %3 %4")
                 .arg(f.samples)
                 .arg(number(f.sampleInterval * m_timeScale), number(f.record * m_timeScale),
                      m_timeUnit)
          << QStringLiteral("Peak: %1 at %2 %3")
                 .arg(number(f.peakAmplitude), number(f.peakTime * m_timeScale), m_timeUnit)
          << QStringLiteral("Velocity change: %1 (samples), %2 (ideal pulse), amplitude \u00d7 s")
                 .arg(number(f.velocityChange), number(f.velocityChangeIdeal));
    if (const auto covered = cutCoverageSeconds(params)) {
        lines << QString::fromStdString(cutNote(*covered));
    }
    m_figures->setText(lines.join(QLatin1Char('\n')));
    QStringList notes;
    for (const std::string& note : inputNotes(typed, params)) {
        notes << QStringLiteral("\u2022 ") + QString::fromLocal8Bit(note);
    }
    m_notes->setText(notes.join(QLatin1Char('\n')));
    m_notes->setVisible(!notes.isEmpty());
    m_stack->setCurrentIndex(1);

    // The whole view: every sample's extremes, and the record's length.
    double lo = 0.0, hi = 0.0;
    const auto n = static_cast<std::size_t>(std::max(series.count, 0));
    for (std::size_t i = 0; i < n; ++i) {
        const double a = series.amplitude[i];
        if (a < lo) lo = a;
        if (a > hi) hi = a;
    }
    if (!(hi > lo) || !std::isfinite(hi - lo)) lo = -1.0, hi = 1.0;  // a flat record
    const double pad = (hi - lo) * 0.05;
    double last = n > 0 ? series.time[n - 1] * m_timeScale : 1.0;
    if (!(last > 0.0 && std::isfinite(last))) last = 1.0;
    m_timeAll = {0.0, last, lo - pad, hi + pad};
    m_timeView->setMarker(std::nullopt);
    m_timeReadout->setText(hintText());
    setTimeRange(m_timeAll);

    startSpectrum();
}

void PreviewPane::clearPulse() {
    abandonSpectrum();
    m_series = nullptr;
    m_timeLine->clear();
    m_figures->clear();
    m_notes->clear();
    m_stale->hide();
    for (QChart* c : {m_timeChart, m_srsChart}) c->setOpacity(1.0);
    m_stack->setCurrentIndex(0);
}

void PreviewPane::setView(ChartView* view, ChartRange r) {
    if (view == m_timeView) {
        if (m_series == nullptr) return;
        // Down to a few samples across, never past the record.
        const double least = 4 * sampleIntervalSeconds(m_params) * m_timeScale;
        std::tie(r.xlo, r.xhi) = keepInside(r.xlo, r.xhi, m_timeAll.xlo, m_timeAll.xhi, least);
        const double height = m_timeAll.yhi - m_timeAll.ylo;
        std::tie(r.ylo, r.yhi) =
            keepInside(r.ylo, r.yhi, m_timeAll.ylo, m_timeAll.yhi, height * 1e-6);
        setTimeRange(r);
    } else {
        if (m_points.empty()) return;
        std::tie(r.xlo, r.xhi) = keepInside(r.xlo, r.xhi, m_srsAll.xlo, m_srsAll.xhi, 0.02);
        std::tie(r.ylo, r.yhi) = keepInside(r.ylo, r.yhi, m_srsAll.ylo, m_srsAll.yhi, 0.02);
        setSpectrumRange(r);
    }
}

void PreviewPane::showAll(ChartView* view) {
    if (view == m_timeView && m_series != nullptr) setTimeRange(m_timeAll);
    if (view == m_srsView && !m_points.empty()) setSpectrumRange(m_srsAll);
}

void PreviewPane::setTimeRange(ChartRange r) {
    setRangeAndStep(m_timeX, r.xlo, r.xhi, niceStep((r.xhi - r.xlo) / 5));
    setRangeAndStep(m_timeY, r.ylo, r.yhi, niceStep((r.yhi - r.ylo) / 5));
    drawTimeHistory();
    m_timeView->updateMarker();
}

void PreviewPane::setSpectrumRange(ChartRange r) {
    const QRectF area = m_srsChart->plotArea();
    setLogTicks(m_srsX, r.xlo, r.xhi, area.width() > 0 ? area.width() : 400, 44);
    setLogTicks(m_srsY, r.ylo, r.yhi, area.height() > 0 ? area.height() : 250, 22);
    m_srsView->updateMarker();
}

void PreviewPane::drawTimeHistory() {
    if (m_series == nullptr) return;
    const QRectF area = m_timeChart->plotArea();
    int columns = static_cast<int>(area.width() * devicePixelRatioF());
    if (columns <= 0) columns = std::max(256, m_timeView->width());  // not laid out yet
    m_columns = columns;
    const auto n = static_cast<std::size_t>(std::max(m_series->count, 0));
    // Only the samples in view, one min/max pair per pixel column.
    const std::vector<ChartPoint> reduced = minMaxReduceRange(
        std::span(m_series->time.data(), n), std::span(m_series->amplitude.data(), n),
        m_timeX->min() / m_timeScale, m_timeX->max() / m_timeScale, columns);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(reduced.size()));
    for (const ChartPoint& p : reduced) {
        if (std::isfinite(p.y) && std::isfinite(p.x)) points.append({p.x * m_timeScale, p.y});
    }
    m_timeLine->replace(points);
}

void PreviewPane::readTimeHistory(QPointF value) {
    if (m_series == nullptr || m_series->count <= 0) return;
    const QRectF area = m_timeChart->plotArea();
    const ChartRange r = m_timeView->range();
    const double perPixelX = (r.xhi - r.xlo) / area.width();
    const double perPixelY = (r.yhi - r.ylo) / area.height();
    // The sample nearest the pointer on the screen, among those drawn
    // within a few pixel columns of it.
    const auto n = static_cast<std::size_t>(m_series->count);
    const std::span<const double> t(m_series->time.data(), n), a(m_series->amplitude.data(), n);
    const double reach = 6 * perPixelX;
    SampleRange near =
        visibleSamples(t, (value.x() - reach) / m_timeScale, (value.x() + reach) / m_timeScale);
    if (near.end - near.begin > 200'000) {  // more than the eye can tell apart: nearest in time
        const std::size_t i =
            visibleSamples(t, value.x() / m_timeScale, value.x() / m_timeScale).begin;
        near = {i, std::min(n, i + 2)};
    }
    std::size_t best = near.begin;
    double bestDistance = INFINITY;
    for (std::size_t i = near.begin; i < near.end; ++i) {
        const double dx = (t[i] * m_timeScale - value.x()) / perPixelX;
        const double dy = (a[i] - value.y()) / perPixelY;
        const double d = dx * dx + dy * dy;
        if (d < bestDistance) bestDistance = d, best = i;
    }
    m_timeReadout->setText(
        tr("t = %1 %2    amplitude = %3    sample %4 of %5")
            .arg(number(t[best] * m_timeScale, 8), m_timeUnit, number(a[best], 6))
            .arg(best + 1)
            .arg(n));
    m_timeView->setMarker(QPointF(t[best] * m_timeScale, a[best]));
}

void PreviewPane::readSpectrum(QPointF value) {
    if (m_points.empty()) return;
    // The frequency nearest the pointer along the (logarithmic) axis.
    const double f = std::pow(10.0, value.x());
    const auto it = std::lower_bound(m_points.begin(), m_points.end(), f,
                                     [](const SrsPoint& p, double x) { return p.frequencyHz < x; });
    std::size_t i = static_cast<std::size_t>(it - m_points.begin());
    if (i == m_points.size() || (i > 0 && std::log(f / m_points[i - 1].frequencyHz) <
                                              std::log(m_points[i].frequencyHz / f)))
        i = i == 0 ? 0 : i - 1;
    const SrsPoint& p = m_points[i];
    m_srsReadout->setText(
        tr("%1 Hz:   maximax %2    positive %3    negative %4")
            .arg(number(p.frequencyHz), number(p.maximax), number(p.positive), number(p.negative)));
    if (p.maximax > 0 && std::isfinite(p.maximax)) {
        m_srsView->setMarker(QPointF(std::log10(p.frequencyHz), std::log10(p.maximax)));
    }
}

void PreviewPane::endReadout(ChartView* view) {
    view->setMarker(std::nullopt);
    (view == m_srsView ? m_srsReadout : m_timeReadout)->setText(hintText());
}

void PreviewPane::abandonSpectrum() {
    for (const Job& job : m_jobs) job.cancel->store(true);
    for (QLineSeries* s : {m_maximax, m_positive, m_negative}) s->clear();
    m_points.clear();
    m_srsView->setMarker(std::nullopt);
}

std::optional<SrsSettings> PreviewPane::readSpectrumSettings() {
    SrsSettings s;
    QString problem;
    QLineEdit* bad = nullptr;
    // The same words as korvex-cli's, for the same settings.
    const auto read = [&](QLineEdit* e, const QString& name) -> std::optional<double> {
        const std::string text = plain(e);
        if (text.empty() || bad != nullptr) return std::nullopt;
        const std::optional<double> v = parseStrictNumber(text);
        if (!v) {
            bad = e;
            problem = name + QStringLiteral(": ") + QString::fromStdString(quotedText(text)) +
                      QStringLiteral(" is not a finite decimal number");
        }
        return v;
    };
    if (const auto q = read(m_srsQ, tr("Q"))) s.q = *q;
    s.fromHz = read(m_srsFrom, tr("From"));
    s.toHz = read(m_srsTo, tr("To"));
    if (const auto n = read(m_srsPerOctave, tr("Per octave"))) s.perOctave = *n;
    if (bad == nullptr && m_series != nullptr) {
        try {
            planShockSpectrum(s, sampleIntervalSeconds(m_params));
        } catch (const SrsSettingError& e) {
            const std::pair<QString, QLineEdit*> where[] = {
                {tr("Q"), m_srsQ},
                {tr("From"), m_srsFrom},
                {tr("To"), m_srsTo},
                {tr("Per octave"), m_srsPerOctave},
                {tr("Sample rate"), nullptr},
                {tr("From, to, per octave"), m_srsFrom}};
            const auto& [name, edit] = where[static_cast<int>(e.setting())];
            problem = name + QStringLiteral(": ") + QString::fromStdString(e.what());
            bad = edit;
        }
    }
    for (QLineEdit* e : {m_srsQ, m_srsFrom, m_srsTo, m_srsPerOctave}) {
        e->setStyleSheet(e == bad ? QStringLiteral("border: 1px solid #b00020") : QString());
    }
    m_srsMessage->setText(problem);
    m_srsMessage->setVisible(!problem.isEmpty());
    if (!problem.isEmpty()) return std::nullopt;
    return s;
}

void PreviewPane::applySpectrumSettings() {
    m_settingsTimer->stop();
    m_settings = readSpectrumSettings();
    if (!m_settings) {
        if (m_series != nullptr) {
            abandonSpectrum();
            spectrumUnavailable(tr("the settings below do not pass"));
        }
        return;
    }
    QSettings settings = userSettings();
    settings.setValue(QStringLiteral("spectrum/q"), m_srsQ->text().trimmed());
    settings.setValue(QStringLiteral("spectrum/from"), m_srsFrom->text().trimmed());
    settings.setValue(QStringLiteral("spectrum/to"), m_srsTo->text().trimmed());
    settings.setValue(QStringLiteral("spectrum/perOctave"), m_srsPerOctave->text().trimmed());
    if (m_series != nullptr) startSpectrum();
}

void PreviewPane::startSpectrum() {
    abandonSpectrum();
    m_settings = readSpectrumSettings();
    if (!m_settings) {
        spectrumUnavailable(spectrumSettingsMessage());
        return;
    }
    m_plan = planShockSpectrum(*m_settings, sampleIntervalSeconds(m_params));
    m_srsChart->setTitle(tr("Q %1, %2 Hz to %3 Hz, %4 per octave: computing\u2026")
                             .arg(number(m_plan.q), number(m_plan.fromHz), number(m_plan.toHz))
                             .arg(m_plan.perOctave));

    // The worker makes its own copy of the samples: the next Calculate may
    // overwrite the series while it runs.
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto* watcher = new QFutureWatcher<std::vector<SrsPoint>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, cancel] {
        const bool current = !m_jobs.empty() && m_jobs.back().watcher == watcher;
        if (current && !cancel->load()) showSpectrum(watcher->result());
        std::erase_if(m_jobs, [watcher](const Job& j) { return j.watcher == watcher; });
        watcher->deleteLater();
    });
    m_jobs.push_back({cancel, watcher});
    watcher->setFuture(QtConcurrent::run([params = m_params, plan = m_plan, cancel] {
        const std::vector<double> samples = pulseAmplitudes(params);
        return computeShockSpectrum(samples, plan, 0, cancel.get());
    }));
}

void PreviewPane::showSpectrum(const std::vector<SrsPoint>& points) {
    QList<QPointF> maximax, positive, negative;
    double lo = INFINITY, hi = 0.0;
    // Log axes cannot show zero or below; such points are left out.
    auto add = [&](QList<QPointF>& to, double f, double v) {
        if (v > 0.0 && std::isfinite(v)) {
            to.append({std::log10(f), std::log10(v)});
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    };
    for (const SrsPoint& p : points) {
        add(maximax, p.frequencyHz, p.maximax);
        add(positive, p.frequencyHz, p.positive);
        add(negative, p.frequencyHz, p.negative);
    }
    if (maximax.isEmpty()) {
        spectrumUnavailable(points.empty() || std::isnan(points.front().maximax)
                                ? tr("a sample of the record is not a number")
                                : tr("no system responds: the record is all zeros"));
        return;
    }
    m_points = points;
    // The frequency axis ends where the computed range does; the peaks' axis
    // at the 1, 2 or 5 just outside the data.
    m_srsAll = {std::log10(m_plan.frequencies.front()), std::log10(m_plan.frequencies.back()),
                std::log10(nice125(lo, false)), std::log10(nice125(hi, true))};
    if (!(m_srsAll.xhi > m_srsAll.xlo)) m_srsAll.xlo -= 0.05, m_srsAll.xhi += 0.05;
    if (!(m_srsAll.yhi > m_srsAll.ylo)) m_srsAll.ylo -= 0.3, m_srsAll.yhi += 0.3;
    setSpectrumRange(m_srsAll);
    m_positive->replace(positive);
    m_negative->replace(negative);
    m_maximax->replace(maximax);
    m_srsChart->setTitle(tr("Q %1, %2 Hz to %3 Hz, %4 per octave")
                             .arg(number(m_plan.q), number(m_plan.fromHz), number(m_plan.toHz))
                             .arg(m_plan.perOctave));
    emit spectrumReady();
}

void PreviewPane::spectrumUnavailable(const QString& why) {
    m_srsChart->setTitle(tr("No spectrum: %1").arg(why));
    emit spectrumReady();
}

QString PreviewPane::pulseTitle() const {
    const PulseFigures f = computePulseFigures(*m_series, m_params);
    const QString shape = m_params.pulseType == PulseType::HalfSine ? tr("Half-sine")
                          : m_params.pulseType == PulseType::TerminalSawtooth
                              ? tr("Terminal sawtooth")
                              : tr("No shape");
    return tr("%1: amplitude %2, duration %3 %6, record %4 %6, %5 samples/%6")
        .arg(shape, number(m_params.amplitude), number(m_params.pulseDuration),
             number(f.record * m_timeScale), number(m_params.sampleRate), m_timeUnit);
}

void PreviewPane::savePlot(ChartView* view, const QString& path, int width) {
    if (m_series == nullptr) return;
    QChart* chart = view->chart();
    const bool svg = path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
    // Laid out at a fixed size and scaled to the width asked for, so that a
    // large image has text in proportion; the reduction is made again for
    // the image's own pixel columns.
    const QSizeF logical(800, 500);
    const double scale = svg ? 1.0 : std::max(width, 16) / logical.width();
    const QSizeF oldSize = chart->size();
    const QString oldTitle = chart->title();
    const qreal oldOpacity = chart->opacity();
    view->setMarker(std::nullopt);
    chart->setOpacity(1.0);
    // One line: not every program that reads SVG breaks a title's lines.
    chart->setTitle(view == m_srsView ? pulseTitle() + QStringLiteral("; ") + oldTitle
                                      : pulseTitle());
    chart->resize(logical);
    if (chart->layout() != nullptr) chart->layout()->activate();
    if (view == m_timeView) drawTimeHistory();
    if (view == m_srsView) setSpectrumRange(m_srsView->range());

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QRectF source = chart->sceneBoundingRect();
    if (svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(logical.toSize());
        generator.setViewBox(QRectF(QPointF(), logical));
        generator.setTitle(pulseTitle());
        QPainter painter(&generator);
        chart->scene()->render(&painter, QRectF(QPointF(), logical), source);
    } else {
        QImage image((logical * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            chart->scene()->render(&painter, QRectF(QPointF(), logical * scale), source);
        }
        QImageWriter writer(&buffer, "png");
        writer.write(image);
    }

    chart->setTitle(oldTitle);
    chart->setOpacity(oldOpacity);
    chart->resize(oldSize);
    if (chart->layout() != nullptr) chart->layout()->activate();
    if (view == m_timeView) drawTimeHistory();
    if (view == m_srsView) setSpectrumRange(m_srsView->range());
    writeFile(path, bytes);
}

void PreviewPane::saveSpectrum(const QString& path) {
    if (m_points.empty()) return;
    const std::string table = formatSrsTable(m_plan, m_points);
    writeFile(path, QByteArray::fromRawData(table.data(), static_cast<qsizetype>(table.size())));
}

void PreviewPane::writeFile(const QString& path, const QByteArray& bytes) {
    // The same safe replace as the time history: an existing file is
    // replaced only once every byte is stored.
    FileSink sink(QFile::encodeName(path).toStdString());
    sink.write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    sink.close();
}

QString PreviewPane::visibleDataText(const ChartView* view) const {
    QString out;
    if (view == m_timeView && m_series != nullptr) {
        const auto n = static_cast<std::size_t>(std::max(m_series->count, 0));
        const std::span<const double> t(m_series->time.data(), n);
        const SampleRange r =
            visibleSamples(t, m_timeX->min() / m_timeScale, m_timeX->max() / m_timeScale);
        std::string text = "time_" + m_timeUnit.toStdString() + "\tamplitude\n";
        text.reserve(text.size() + (r.end - r.begin) * 32);
        for (std::size_t i = r.begin; i < r.end; ++i) {
            // Times in the chart's unit to 15 digits: seconds x 1000 is not
            // always the millisecond the rate gave.
            text += humanText(t[i] * m_timeScale, 15);
            text += '\t';
            text += shortestText(m_series->amplitude[i]);
            text += '\n';
        }
        out = QString::fromStdString(text);
    } else if (view == m_srsView && !m_points.empty()) {
        const double lo = std::pow(10.0, m_srsX->min()), hi = std::pow(10.0, m_srsX->max());
        std::string text = "frequency_hz\tpositive\tnegative\tmaximax\n";
        for (const SrsPoint& p : m_points) {
            if (p.frequencyHz < lo * (1 - 1e-9) || p.frequencyHz > hi * (1 + 1e-9)) continue;
            text += shortestText(p.frequencyHz);
            for (double v : {p.positive, p.negative, p.maximax}) {
                text += '\t';
                text += shortestText(v);
            }
            text += '\n';
        }
        out = QString::fromStdString(text);
    }
    return out;
}

void PreviewPane::contextMenu(ChartView* view, QPoint pos) {
    QMenu menu(view);
    menu.addAction(tr("Save Plot As\u2026"), this, [this, view] { askSavePlot(view); })
        ->setEnabled(m_series != nullptr);
    menu.addAction(tr("Save Spectrum As\u2026"), this, [this] { askSaveSpectrum(); })
        ->setEnabled(!m_points.empty());
    menu.addSeparator();
    menu.addAction(tr("Copy"), this,
                   [this, view] { QApplication::clipboard()->setText(visibleDataText(view)); })
        ->setEnabled(view == m_srsView ? !m_points.empty() : m_series != nullptr);
    menu.addAction(tr("Copy Figures"), this,
                   [this] { QApplication::clipboard()->setText(figuresText()); });
    menu.exec(view->mapToGlobal(pos));
}

namespace {

void reportUnsaved(QWidget* parent, const QString& what, const FileError& e) {
    QString text =
        QApplication::translate("korvex::PreviewPane", "The %1 could not be saved.").arg(what) +
        QStringLiteral("\n\n%1\n\n%2")
            .arg(QString::fromLocal8Bit(e.path()), QString::fromLocal8Bit(e.reason()));
    if (e.left() == FileError::Left::Unchanged)
        text += QStringLiteral("\n\nThe existing file was left unchanged.");
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// The chosen name, with the suffix of the chosen type when it has none.
QString withSuffix(QString path, const QString& filter) {
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        const int star = filter.indexOf(QStringLiteral("*."));
        if (star >= 0) path += filter.mid(star + 1, filter.indexOf(QLatin1Char(')')) - star - 1);
    }
    return path;
}

}  // namespace

void PreviewPane::askSavePlot(ChartView* view) {
    const QString png = tr("PNG image (*.png)"), svg = tr("SVG drawing (*.svg)");
    QString filter = png;
    const QString suggested =
        view == m_srsView ? QStringLiteral("shock-spectrum.png") : QStringLiteral("pulse.png");
    const QString path =
        withSuffix(QFileDialog::getSaveFileName(this, tr("Save Plot As"), suggested,
                                                png + ";;" + svg, &filter),
                   filter);
    if (path.isEmpty()) return;
    int width = 0;
    if (!path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSettings settings = userSettings();
        bool ok = false;
        width = QInputDialog::getInt(this, tr("Save Plot As"), tr("Image width in pixels:"),
                                     settings.value(QStringLiteral("plot/width"), 1600).toInt(),
                                     200, 10000, 100, &ok);
        if (!ok) return;
        settings.setValue(QStringLiteral("plot/width"), width);
    }
    try {
        savePlot(view, path, width);
    } catch (const FileError& e) {
        reportUnsaved(this, tr("plot"), e);
    }
}

void PreviewPane::askSaveSpectrum() {
    const QString filter = tr("Text table (*.txt)");
    const QString path = withSuffix(
        QFileDialog::getSaveFileName(this, tr("Save Spectrum As"), QStringLiteral("srs.txt"),
                                     filter + QStringLiteral(";;") + tr("All files (*)")),
        filter);
    if (path.isEmpty()) return;
    try {
        saveSpectrum(path);
    } catch (const FileError& e) {
        reportUnsaved(this, tr("spectrum"), e);
    }
}

}  // namespace korvex
