#include "ui/preview_pane.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QFileDialog>
#include <QImageWriter>
#include <QLabel>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <span>

#include "analysis/pulse_figures.h"
#include "analysis/series_reduction.h"
#include "pulse/number_text.h"
#include "pulse/pulse_messages.h"

namespace korvex {
namespace {

// Six significant digits, with a decimal point whatever the locale.
QString number(double x) {
    if (std::isnan(x)) return QStringLiteral("not a number");
    return QString::fromStdString(humanText(x, 6));
}

QString figuresOf(const PulseFigures& f, const PulseParameters& params) {
    QStringList lines;
    lines << QStringLiteral("Samples: %1 at intervals of %2 s, covering %3 s")
                 .arg(f.samples)
                 .arg(number(f.sampleInterval), number(f.record))
          << QStringLiteral("Peak: %1 at %2 s").arg(number(f.peakAmplitude), number(f.peakTime))
          << QStringLiteral("Velocity change: %1 (samples), %2 (ideal pulse), amplitude \u00d7 s")
                 .arg(number(f.velocityChange), number(f.velocityChangeIdeal));
    if (const auto covered = cutCoverageSeconds(params)) {
        lines << QString::fromStdString(cutNote(*covered));
    }
    return lines.join(QLatin1Char('\n'));
}

// The decades that enclose [lo, hi], for log axes that always carry labels;
// a hair wider, so that rounding in the axis never drops an end label.
std::pair<double, double> decades(double lo, double hi) {
    return {std::pow(10.0, std::floor(std::log10(lo))) * 0.999,
            std::pow(10.0, std::ceil(std::log10(hi))) * 1.001};
}

// 1, 2 or 5 times a power of ten, the nearest at or above `x`.
double niceStep(double x) {
    const double decade = std::pow(10.0, std::floor(std::log10(x)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * decade >= x * 0.999) return m * decade;
    }
    return 10 * decade;
}

// A dynamic axis lays out its ticks as soon as its range or its step
// changes. Passing through the coarser of the old and new steps keeps every
// state in between to a few ticks: the new range at the old step of a short
// record would be tens of thousands.
void setRangeAndStep(QValueAxis* axis, double lo, double hi, double step) {
    axis->setTickInterval(std::max(axis->tickInterval(), step));
    axis->setRange(lo, hi);
    axis->setTickInterval(step);
}

QLineSeries* line(const QString& name, QColor color, qreal width) {
    auto* series = new QLineSeries;
    series->setName(name);
    QPen pen(color);
    pen.setWidthF(width);
    series->setPen(pen);
    return series;
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
    m_timeChart->addAxis(m_timeX, Qt::AlignBottom);
    m_timeChart->addAxis(m_timeY, Qt::AlignLeft);
    m_timeLine->attachAxis(m_timeX);
    m_timeLine->attachAxis(m_timeY);
    m_timeChart->legend()->hide();
    m_timeView = makeView(m_timeChart);
    // A new width needs a new reduction, one point pair per pixel column.
    connect(m_timeChart, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        const int columns = static_cast<int>(area.width() * devicePixelRatioF());
        if (m_series != nullptr && columns > 0 && columns != m_columns) {
            QMetaObject::invokeMethod(
                this, [this] { drawTimeHistory(); }, Qt::QueuedConnection);
        }
    });

    m_srsChart = new QChart;
    m_maximax = line(tr("maximax"), QColor(0x1f, 0x4e, 0x9a), 2.0);
    m_positive = line(tr("positive"), QColor(0x8f, 0xb5, 0xe8), 1.0);
    m_negative = line(tr("negative"), QColor(0xf0, 0xa8, 0x78), 1.0);
    m_srsX = new QLogValueAxis;
    m_srsX->setTitleText(QStringLiteral("natural frequency (Hz)"));
    m_srsX->setLabelFormat(QStringLiteral("%g"));
    m_srsX->setMinorTickCount(8);
    m_srsY = new QLogValueAxis;
    m_srsY->setTitleText(QStringLiteral("peak absolute acceleration"));
    m_srsY->setLabelFormat(QStringLiteral("%g"));
    m_srsY->setMinorTickCount(8);
    m_srsChart->addAxis(m_srsX, Qt::AlignBottom);
    m_srsChart->addAxis(m_srsY, Qt::AlignLeft);
    for (QLineSeries* s : {m_positive, m_negative, m_maximax}) {
        m_srsChart->addSeries(s);
        s->attachAxis(m_srsX);
        s->attachAxis(m_srsY);
    }
    m_srsChart->legend()->setAlignment(Qt::AlignBottom);
    m_srsView = makeView(m_srsChart);

    m_tabs = new QTabWidget;
    m_tabs->addTab(m_timeView, tr("Time history"));
    m_tabs->addTab(m_srsView, tr("Shock response spectrum"));
    m_figures = new QLabel;
    m_figures->setTextFormat(Qt::PlainText);
    m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_figures->setWordWrap(true);
    m_figures->setContentsMargins(6, 2, 6, 6);
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(m_tabs, 1);
    pageLayout->addWidget(m_figures);
    m_stack->addWidget(page);

    // Out of the form's Tab chain: a click still gives the focus.
    setFocusPolicy(Qt::NoFocus);
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->focusPolicy() & Qt::TabFocus) w->setFocusPolicy(Qt::ClickFocus);
    }
}

PreviewPane::~PreviewPane() {
    for (const Job& job : m_jobs) job.cancel->store(true);
    for (const Job& job : m_jobs) job.watcher->waitForFinished();
}

QChartView* PreviewPane::makeView(QChart* chart) {
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](QPoint pos) { contextMenu(view, pos); });
    return view;
}

bool PreviewPane::isShowingPulse() const {
    return m_stack->currentIndex() == 1;
}

QString PreviewPane::figuresText() const {
    return isShowingPulse() ? m_figures->text() : QString();
}

void PreviewPane::showPulse(const PulseParameters& params, const PulseSeries& series) {
    m_series = &series;
    m_figures->setText(figuresOf(computePulseFigures(series, params), params));
    m_stack->setCurrentIndex(1);

    // Axes from the extremes, which the reduction keeps whatever its width.
    drawTimeHistory();
    double lo = 0.0, hi = 0.0;
    for (const QPointF& p : m_timeLine->points()) {
        lo = std::min(lo, p.y());
        hi = std::max(hi, p.y());
    }
    if (!(hi > lo)) lo = -1.0, hi = 1.0;  // a flat record
    const double pad = (hi - lo) * 0.05;
    m_timeY->setRange(lo - pad, hi + pad);
    m_timeY->applyNiceNumbers();
    // The axis ends where the record does, with ticks at round times.
    double last = series.time[series.count - 1];
    if (!(last > 0.0 && std::isfinite(last))) last = 1.0;
    setRangeAndStep(m_timeX, 0.0, last, niceStep(last / 5));

    startSpectrum(params);
}

void PreviewPane::clearPulse() {
    abandonSpectrum();
    m_series = nullptr;
    m_timeLine->clear();
    m_figures->clear();
    m_stack->setCurrentIndex(0);
}

void PreviewPane::drawTimeHistory() {
    if (m_series == nullptr) return;
    const QRectF area = m_timeChart->plotArea();
    int columns = static_cast<int>(area.width() * devicePixelRatioF());
    if (columns <= 0) columns = std::max(256, m_timeView->width());  // not laid out yet
    m_columns = columns;
    const auto n = static_cast<std::size_t>(m_series->count);
    const std::vector<ChartPoint> reduced = minMaxReduce(
        std::span(m_series->time.data(), n), std::span(m_series->amplitude.data(), n), columns);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(reduced.size()));
    for (const ChartPoint& p : reduced) {
        if (std::isfinite(p.y) && std::isfinite(p.x)) points.append({p.x, p.y});
    }
    m_timeLine->replace(points);
}

void PreviewPane::abandonSpectrum() {
    for (const Job& job : m_jobs) job.cancel->store(true);
    for (QLineSeries* s : {m_maximax, m_positive, m_negative}) s->clear();
}

void PreviewPane::startSpectrum(const PulseParameters& params) {
    abandonSpectrum();
    try {
        m_plan = planShockSpectrum({}, sampleIntervalSeconds(params));
    } catch (const SrsSettingError& e) {
        spectrumUnavailable(QString::fromStdString(e.what()));
        return;
    }
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
    watcher->setFuture(QtConcurrent::run([params, plan = m_plan, cancel] {
        const std::vector<double> samples = pulseAmplitudes(params);
        return computeShockSpectrum(samples, plan, 0, cancel.get());
    }));
}

void PreviewPane::showSpectrum(const std::vector<SrsPoint>& points) {
    QList<QPointF> maximax, positive, negative;
    double lo = INFINITY, hi = 0.0;
    // Log axes cannot show zero or below; such points are left out.
    auto add = [](QList<QPointF>& to, double f, double v) {
        if (v > 0.0 && std::isfinite(v)) to.append({f, v});
    };
    for (const SrsPoint& p : points) {
        add(maximax, p.frequencyHz, p.maximax);
        add(positive, p.frequencyHz, p.positive);
        add(negative, p.frequencyHz, p.negative);
        if (p.maximax > 0.0 && std::isfinite(p.maximax)) {
            lo = std::min(lo, p.maximax);
            hi = std::max(hi, p.maximax);
        }
    }
    if (maximax.isEmpty()) {
        spectrumUnavailable(points.empty() || std::isnan(points.front().maximax)
                                ? tr("a sample of the record is not a number")
                                : tr("no system responds: the record is all zeros"));
        return;
    }
    const auto [xlo, xhi] = decades(m_plan.frequencies.front(), m_plan.frequencies.back());
    m_srsX->setRange(xlo, xhi);
    const auto [ylo, yhi] = decades(lo, hi);
    m_srsY->setRange(ylo, yhi);
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

void PreviewPane::contextMenu(QChartView* view, QPoint pos) {
    QMenu menu(view);
    menu.addAction(tr("Save Plot As\u2026"), this, [this, view] { savePlot(view); });
    menu.addAction(tr("Copy Figures"), this,
                   [this] { QApplication::clipboard()->setText(figuresText()); });
    menu.exec(view->mapToGlobal(pos));
}

void PreviewPane::savePlot(QChartView* view) {
    const QString suggested =
        view == m_srsView ? QStringLiteral("shock-spectrum.png") : QStringLiteral("pulse.png");
    QString path =
        QFileDialog::getSaveFileName(this, tr("Save Plot As"), suggested, tr("PNG images (*.png)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
    // Through a temporary file, so a failure leaves an existing file as it was.
    QSaveFile file(path);
    QImageWriter writer(&file, "png");
    const bool ok =
        file.open(QIODevice::WriteOnly) && writer.write(view->grab().toImage()) && file.commit();
    if (!ok) {
        const QString reason = writer.error() != QImageWriter::UnknownError ? writer.errorString()
                                                                            : file.errorString();
        QMessageBox::warning(this, QApplication::applicationName(),
                             tr("The plot could not be saved.\n\n%1\n\n%2").arg(path, reason));
    }
}

}  // namespace korvex
