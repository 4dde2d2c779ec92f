#include "ui/preview_pane.h"

#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
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
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QStackedWidget>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <span>
#include <tuple>

#include "analysis/motion.h"
#include "analysis/pulse_figures.h"
#include "analysis/series_reduction.h"
#include "analysis/srs_table.h"
#include "pulse/file_sink.h"
#include "pulse/number_text.h"
#include "pulse/pulse_messages.h"
#include "ui/calculate_command.h"
#include "ui/chart_parts.h"
#include "ui/lab_settings.h"
#include "ui/record_dialog.h"
#include "ui/record_pane.h"
#include "ui/trace_chart.h"

namespace korvex {

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
    m_stack = new QStackedWidget(this);
    m_shaker = new ShakerPanel;
    m_shaker->hide();
    m_check = new CheckPanel;
    m_check->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 8, 8);
    layout->setSpacing(2);
    layout->addWidget(makeBar());
    layout->addWidget(m_openMessage);
    layout->addWidget(m_shaker);
    layout->addWidget(m_check);
    layout->addWidget(m_stack, 1);

    m_hint =
        new QLabel(tr("Calculate shows the pulse here: its time history, its shock "
                      "response spectrum and its figures.\n\nOpen Record\u2026 (or a file "
                      "dropped on the window) checks a measured shock against it."));
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
    std::tie(m_srsX, m_srsY) = addSpectrumAxes(m_srsChart);
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
    m_srsRow = makeSettingsRow();
    srsLayout->addWidget(m_srsRow);
    m_srsRowHome = srsLayout;
    m_tabs = new QTabWidget;
    m_tabs->addTab(timePage, tr("Time history"));
    m_tabs->addTab(srsPage, tr("Shock response spectrum"));
    m_motionPage = makeMotionPage();
    m_tabs->addTab(m_motionPage, tr("Motion"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        if (m_tabs->currentWidget() == m_motionPage) drawMotionCharts();
    });

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
    m_limits = new QLabel;
    m_limits->setObjectName(QStringLiteral("shakerLimits"));
    m_limits->setTextFormat(Qt::PlainText);
    m_limits->setWordWrap(true);
    m_limits->setContentsMargins(6, 0, 6, 0);
    m_limits->setStyleSheet(
        QStringLiteral("QLabel { color: #b00020 } QLabel:disabled { color: #d8a0a8 }"));
    m_limits->hide();
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
    pageLayout->addWidget(m_limits);
    pageLayout->addWidget(m_notes);
    m_stack->addWidget(page);
    // After the pulse page, whose tabs are the pane's first.
    m_record = new RecordPane;
    m_stack->addWidget(m_record);

    m_timeReadout->setText(hintText());
    m_srsReadout->setText(hintText());

    // The shaker's unit and limits redraw the motion at once; a new ratio
    // is the next Calculate's, so the pulse shown no longer is.
    connect(m_shaker, &ShakerPanel::changed, this, [this] {
        const QString summary = m_shaker->summary();
        m_shakerButton->setText(summary.isEmpty() ? tr("Shaker") : tr("Shaker: %1").arg(summary));
        QFont font = m_shakerButton->font();
        font.setBold(!summary.isEmpty());
        m_shakerButton->setFont(font);
        if (m_series == nullptr) return;
        const std::optional<double> ratio = compensationRatio();
        const std::optional<double> shown =
            m_compensation ? std::optional<double>(m_compensation->ratio) : std::nullopt;
        if (ratio != shown) markStale();
        drawMotion();
    });
    emit m_shaker->changed();
    connect(m_check, &CheckPanel::changed, this, &PreviewPane::recheckRecord);
    m_recheckTimer = new QTimer(this);
    m_recheckTimer->setSingleShot(true);
    m_recheckTimer->setInterval(400);
    connect(m_recheckTimer, &QTimer::timeout, this, &PreviewPane::recheckRecord);

    connect(m_record, &RecordPane::progress, this, [this](const QString& what, int percent) {
        m_busyText->setText(what);
        m_progress->setRange(0, percent < 0 ? 0 : 100);
        if (percent >= 0) m_progress->setValue(percent);
        m_busy->show();
    });
    connect(m_record, &RecordPane::idle, this, [this] {
        m_busy->hide();
        emit recordIdle();
    });
    connect(m_record, &RecordPane::openFailed, this, [this](const QString& reason) {
        m_openMessage->setText(tr("Not opened: %1").arg(reason));
        m_openMessage->show();
        emit recordFailed();
    });
    connect(m_record, &RecordPane::checked, this, [this](bool opened) {
        m_openMessage->hide();
        m_viewPulse->setVisible(true);
        m_viewRecord->setVisible(true);
        // A setting the check refused is marked where it is typed.
        const CheckOutcome& o = m_record->outcome();
        if (o.field && *o.field >= CheckField::Band && o.refusal != m_check->message()) {
            m_check->showRefusal(*o.field, o.refusal);
        }
        if (opened) showView(2);
        emit recordChecked();
    });
    connect(m_record, &RecordPane::closeRequested, this, [this] {
        m_record->close();
        m_viewPulse->setVisible(false);
        m_viewRecord->setVisible(false);
        showView(m_series != nullptr ? 1 : 0);
    });
    connect(m_record, &RecordPane::saveReportRequested, this, &PreviewPane::askSaveReport);
    auto* open = new QShortcut(QKeySequence::Open, this);
    open->setContext(Qt::WindowShortcut);
    connect(open, &QShortcut::activated, this, &PreviewPane::askOpenRecord);

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
    return m_series != nullptr && !m_stale->isHidden();
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
    // Also behind a record shown: the pulse is dimmed when it comes back.
    if (m_series == nullptr || isStale()) return;
    m_stale->show();
    for (QChart* c :
         {m_timeChart, m_srsChart, m_velocityChart->chart(), m_displacementChart->chart()}) {
        c->setOpacity(0.35);
    }
    m_figures->setEnabled(false);
    m_limits->setEnabled(false);
    m_notes->setEnabled(false);
}

void PreviewPane::showPulse(const PulseParameters& params, const PulseSeries& series,
                            const PulseTexts* typed, std::optional<double> compensation) {
    m_series = &series;
    m_params = params;
    m_compensation.reset();
    if (compensation) {
        try {
            m_compensation = planCompensation(params, *compensation);
        } catch (const CompensationError&) {
            // The command laid the same record out already; never here.
        }
    }
    m_stale->hide();
    for (QChart* c :
         {m_timeChart, m_srsChart, m_velocityChart->chart(), m_displacementChart->chart()}) {
        c->setOpacity(1.0);
    }
    m_figures->setEnabled(true);
    m_limits->setEnabled(true);
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
    if (m_compensation) {
        const CompensationPlan& c = *m_compensation;
        lines
            << tr("Compensation P %1: pre-pulse %2 %6 of peak %3, post-pulse %4 %6 of peak %5; %7")
                   .arg(number(c.ratio), number(c.preDuration), number(c.prePeak),
                        number(c.postDuration), number(c.postPeak),
                        ms ? QStringLiteral("ms") : QStringLiteral("s"),
                        c.endsAtRest ? tr("ends at rest")
                                     : tr("does not end at rest: the record is cut short"));
        if (c.cut) {
            lines << QString::fromStdString(cutNote(kMaxSamples * sampleIntervalSeconds(params)));
        }
    } else if (const auto covered = cutCoverageSeconds(params)) {
        lines << QString::fromStdString(cutNote(*covered));
    }
    m_pulseFigures = lines.join(QLatin1Char('\n'));
    m_figures->setText(m_pulseFigures);
    QStringList notes;
    for (const std::string& note : inputNotes(typed, params)) {
        notes << QStringLiteral("\u2022 ") + QString::fromLocal8Bit(note);
    }
    m_notes->setText(notes.join(QLatin1Char('\n')));
    m_notes->setVisible(!notes.isEmpty());
    showView(1);

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
    drawMotion();

    startSpectrum();
}

void PreviewPane::clearPulse() {
    abandonSpectrum();
    m_series = nullptr;
    m_compensation.reset();
    m_timeLine->clear();
    m_figures->clear();
    m_pulseFigures.clear();
    drawMotion();
    m_notes->clear();
    m_stale->hide();
    for (QChart* c : {m_timeChart, m_srsChart}) c->setOpacity(1.0);
    showView(0);
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
    const auto n = static_cast<std::size_t>(m_series->count);
    const std::span<const double> t(m_series->time.data(), n), a(m_series->amplitude.data(), n);
    const std::size_t best = nearestSample(t, a, m_timeScale, value, perPixelX, perPixelY);
    if (best >= n) return;
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

std::optional<SrsSettings> PreviewPane::parseSpectrumTexts(QString& problem,
                                                           QLineEdit*& bad) const {
    SrsSettings s;
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
    if (bad != nullptr) return std::nullopt;
    return s;
}

std::optional<SrsSettings> PreviewPane::readSpectrumSettings() {
    QString problem;
    QLineEdit* bad = nullptr;
    std::optional<SrsSettings> parsed = parseSpectrumTexts(problem, bad);
    SrsSettings s = parsed.value_or(SrsSettings{});
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
        recheckRecord();
        return;
    }
    QSettings settings = userSettings();
    settings.setValue(QStringLiteral("spectrum/q"), m_srsQ->text().trimmed());
    settings.setValue(QStringLiteral("spectrum/from"), m_srsFrom->text().trimmed());
    settings.setValue(QStringLiteral("spectrum/to"), m_srsTo->text().trimmed());
    settings.setValue(QStringLiteral("spectrum/perOctave"), m_srsPerOctave->text().trimmed());
    if (m_series != nullptr) startSpectrum();
    recheckRecord();
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
    watcher->setFuture(QtConcurrent::run(
        [params = m_params, plan = m_plan, compensation = m_compensation, cancel] {
            if (!compensation) {
                return computeShockSpectrum(pulseAmplitudes(params), plan, 0, cancel.get());
            }
            const auto n = static_cast<std::size_t>(std::max(compensation->count, 0));
            std::vector<double> times(n), samples(n);
            computeCompensatedSamples(params, *compensation, 0, compensation->count, times.data(),
                                      samples.data());
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
    QString title =
        tr("%1: amplitude %2, duration %3 %6, record %4 %6, %5 samples/%6")
            .arg(shape, number(m_params.amplitude), number(m_params.pulseDuration),
                 number(f.record * m_timeScale), number(m_params.sampleRate), m_timeUnit);
    if (m_compensation) title += tr(", compensated, P %1").arg(number(m_compensation->ratio));
    return title;
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

QWidget* PreviewPane::makeBar() {
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    const auto button = [&](const char* name, const QString& text, bool checkable) {
        auto* b = new QToolButton;
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setCheckable(checkable);
        row->addWidget(b);
        return b;
    };
    QToolButton* open = button("openRecord", tr("Open Record\u2026"), false);
    open->setToolTip(
        tr("Read a measured record and check it against the form's pulse "
           "(Ctrl+O, or drop the file on the window)"));
    connect(open, &QToolButton::clicked, this, &PreviewPane::askOpenRecord);
    m_viewPulse = button("viewPulse", tr("Pulse"), true);
    m_viewRecord = button("viewRecord", tr("Record"), true);
    auto* views = new QButtonGroup(bar);
    views->addButton(m_viewPulse);
    views->addButton(m_viewRecord);
    connect(m_viewPulse, &QToolButton::clicked, this,
            [this] { showView(m_series != nullptr ? 1 : 0); });
    connect(m_viewRecord, &QToolButton::clicked, this, [this] { showView(2); });
    m_viewPulse->hide();
    m_viewRecord->hide();

    // Work on a record: what, how far, and Cancel, in the bar so that
    // nothing below it moves.
    m_busy = new QWidget;
    auto* busy = new QHBoxLayout(m_busy);
    busy->setContentsMargins(4, 0, 4, 0);
    busy->setSpacing(3);
    m_busyText = new QLabel;
    m_busyText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_progress = new QProgressBar;
    m_progress->setFixedWidth(80);
    m_progress->setMaximumHeight(12);
    m_progress->setTextVisible(false);
    auto* cancel = new QToolButton;
    cancel->setText(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("cancelWork"));
    connect(cancel, &QToolButton::clicked, this, &PreviewPane::cancelWork);
    busy->addWidget(m_busyText, 1);
    busy->addWidget(m_progress);
    busy->addWidget(cancel);
    m_busy->hide();
    row->addWidget(m_busy, 10);
    row->addStretch(1);
    QToolButton* check = button("checkSettings", tr("Check"), true);
    check->setToolTip(tr("The settings a record is checked with"));
    connect(check, &QToolButton::toggled, m_check, &QWidget::setVisible);
    m_shakerButton = button("shaker", tr("Shaker"), true);
    m_shakerButton->setToolTip(tr("Compensation, amplitude unit and the shaker's limits"));
    connect(m_shakerButton, &QToolButton::toggled, m_shaker, &QWidget::setVisible);

    m_openMessage = new QLabel;
    m_openMessage->setObjectName(QStringLiteral("openMessage"));
    m_openMessage->setTextFormat(Qt::PlainText);
    m_openMessage->setWordWrap(true);
    m_openMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_openMessage->setContentsMargins(6, 0, 6, 0);
    m_openMessage->setStyleSheet(QStringLiteral("color: #b00020"));
    m_openMessage->hide();
    return bar;
}

QWidget* PreviewPane::makeMotionPage() {
    m_velocityChart = new TraceChart(tr("velocity"), this);
    m_velocityChart->addTrace(tr("velocity"), QColor(0x1f, 0x4e, 0x9a), 1.5);
    m_displacementChart = new TraceChart(tr("displacement"), this);
    m_displacementChart->addTrace(tr("displacement"), QColor(0x7a, 0x3a, 0x9a), 1.5);
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 2);
    layout->setSpacing(0);
    for (TraceChart* c : {m_velocityChart, m_displacementChart}) {
        c->chart()->legend()->hide();
        layout->addWidget(c->view(), 1);
        layout->addWidget(c->readout());
    }
    return page;
}

void PreviewPane::drawMotion() {
    m_motionText.clear();
    m_limits->clear();
    m_limits->hide();
    // The charts are drawn when their tab is shown: two more reductions of
    // a long record are not worth making for a tab not looked at.
    m_motionDrawn = false;
    m_velocityChart->clear();
    m_displacementChart->clear();
    if (m_series == nullptr || m_series->count < 2) {
        m_velocity.clear();
        m_displacement.clear();
        return;
    }
    const auto n = static_cast<std::size_t>(m_series->count);
    const std::span<const double> a(m_series->amplitude.data(), n);
    const std::optional<AccelerationUnit> unit = m_shaker->unit();
    if (m_compensation || unit) {
        // One pass, as korvex-cli's summary makes them.
        const MotionFigures f = computeMotion(a, sampleIntervalSeconds(m_params));
        const MotionFigures p = scaleMotion(f, motionScale(unit));
        const QString vUnit = unit ? QStringLiteral("m/s") : tr("amplitude \u00d7 s");
        const QString xUnit = unit ? QStringLiteral("mm") : tr("amplitude \u00d7 s\u00b2");
        m_motionText =
            tr("Motion: peak velocity %1 %3, final %2 %3; displacement %4 %6 peak "
               "to peak, final %5 %6")
                .arg(number(p.peakVelocity), number(p.finalVelocity), vUnit,
                     number(p.displacementPeakToPeak), number(p.finalDisplacement), xUnit);
        if (unit) {
            // The same words as korvex-cli's warnings.
            const ShakerLimits limits = m_shaker->limits();
            const ShakerCheck check = checkShakerLimits(f, *unit, limits);
            QStringList exceeded;
            if (check.strokeExceeded) {
                exceeded << tr("The stroke, %1 mm peak to peak, exceeds the limit %2 mm by %3 mm")
                                .arg(QString::fromStdString(humanText(check.strokeMm, 4)),
                                     QString::fromStdString(humanText(limits.maxStrokeMm)),
                                     QString::fromStdString(humanText(-check.strokeMarginMm, 4)));
            }
            if (check.velocityExceeded) {
                exceeded << tr("The peak velocity, %1 m/s, exceeds the limit %2 m/s by %3 m/s")
                                .arg(
                                    QString::fromStdString(humanText(check.velocityMps, 4)),
                                    QString::fromStdString(humanText(limits.maxVelocityMps)),
                                    QString::fromStdString(humanText(-check.velocityMarginMps, 4)));
            }
            m_limits->setText(exceeded.join(QLatin1Char('\n')));
            m_limits->setVisible(!exceeded.isEmpty());
        }
    }
    m_figures->setText(m_motionText.isEmpty() ? m_pulseFigures
                                              : m_pulseFigures + QLatin1Char('\n') + m_motionText);
    if (m_tabs->currentWidget() == m_motionPage) drawMotionCharts();
}

void PreviewPane::drawMotionCharts() {
    if (m_motionDrawn || m_series == nullptr || m_series->count < 2) return;
    m_motionDrawn = true;
    const auto n = static_cast<std::size_t>(m_series->count);
    const std::span<const double> t(m_series->time.data(), n), a(m_series->amplitude.data(), n);
    m_velocity.resize(n);
    m_displacement.resize(n);
    integrateMotion(a, sampleIntervalSeconds(m_params), m_velocity, m_displacement);
    const std::optional<AccelerationUnit> unit = m_shaker->unit();
    const MotionScale scale = motionScale(unit);
    for (double& v : m_velocity) v *= scale.velocity;
    for (double& x : m_displacement) x *= scale.displacement;
    m_velocityChart->setYTitle(unit ? tr("velocity (m/s)") : tr("velocity"));
    m_displacementChart->setYTitle(unit ? tr("displ. (mm)") : tr("displacement"));

    // Velocity within \u00b1 its limit; the stroke, peak to peak, drawn about
    // the middle of the motion, where a table centred on it would have it.
    const ShakerLimits limits = m_shaker->limits();
    const double xlo =
        std::min(0.0, *std::min_element(m_displacement.begin(), m_displacement.end()));
    const double xhi =
        std::max(0.0, *std::max_element(m_displacement.begin(), m_displacement.end()));
    std::vector<double> vLevels, xLevels;
    if (unit && std::isfinite(limits.maxVelocityMps)) {
        vLevels = {-limits.maxVelocityMps, limits.maxVelocityMps};
    }
    if (unit && std::isfinite(limits.maxStrokeMm)) {
        const double mid = (xlo + xhi) / 2;
        xLevels = {mid - limits.maxStrokeMm / 2, mid + limits.maxStrokeMm / 2};
    }
    const struct {
        TraceChart* chart;
        const std::vector<double>& data;
        const std::vector<double>& levels;
    } charts[] = {{m_velocityChart, m_velocity, vLevels},
                  {m_displacementChart, m_displacement, xLevels}};
    for (const auto& c : charts) {
        c.chart->setTimeUnit(m_timeScale, m_timeUnit);
        c.chart->setTrace(0, t, c.data);
        double lo = 0.0, hi = 0.0;
        for (double v : c.data) lo = std::min(lo, v), hi = std::max(hi, v);
        for (double v : c.levels) lo = std::min(lo, v), hi = std::max(hi, v);
        if (!(hi > lo) || !std::isfinite(hi - lo)) lo = -1.0, hi = 1.0;
        const double pad = (hi - lo) * 0.05;
        c.chart->setWholeView({m_timeAll.xlo, m_timeAll.xhi, lo - pad, hi + pad});
        c.chart->setLevels(tr("limit"), c.levels);
        c.chart->showAll();
    }
}

QString PreviewPane::motionText() const {
    return m_motionText;
}

QString PreviewPane::limitsText() const {
    return m_limits->isHidden() ? QString() : m_limits->text();
}

std::optional<double> PreviewPane::compensationRatio() const {
    return m_shaker->ratio();
}

void PreviewPane::showCompensationError(const CompensationError& error) {
    m_shaker->showProblem(tr("Compensation: %1").arg(QString::fromStdString(error.what())));
    m_shakerButton->setChecked(true);
}

void PreviewPane::showView(int page) {
    // One row of spectrum settings, under the spectrum in view.
    QLayout* host = page == 2 ? m_record->spectrumSettingsHost() : m_srsRowHome;
    if (host->indexOf(m_srsRow) < 0) host->addWidget(m_srsRow);
    m_stack->setCurrentIndex(page);
    m_viewPulse->setChecked(page != 2);
    m_viewRecord->setChecked(page == 2);
}

bool PreviewPane::isShowingRecord() const {
    return m_stack->currentIndex() == 2;
}

QString PreviewPane::openMessage() const {
    return m_openMessage->isHidden() ? QString() : m_openMessage->text();
}

bool PreviewPane::isBusy() const {
    return m_record->isBusy();
}

void PreviewPane::cancelWork() {
    m_record->cancel();
}

CheckRequest PreviewPane::checkRequest() {
    CheckRequest r;
    // The form's texts, read by the form's own rules, as Calculate reads them.
    if (m_form != nullptr) {
        const bool ms = static_cast<TimeUnit>(m_form->timeUnitIndex()) == TimeUnit::Milliseconds;
        r.pulse.shape = static_cast<PulseType>(m_form->pulseTypeIndex());
        r.pulse.amplitude = parseLeadingNumber(m_form->amplitudeText());
        r.pulse.durationS = parseLeadingNumber(m_form->pulseDurationText()) * (ms ? 0.001 : 1.0);
        r.timeScale = ms ? 1000.0 : 1.0;
        r.timeUnit = ms ? QStringLiteral("ms") : QStringLiteral("s");
    }
    if (const std::optional<CheckSettings> settings = m_check->settings()) {
        r.settings = *settings;
    } else {
        r.problem = m_check->message();
    }
    QString problem;
    QLineEdit* bad = nullptr;
    if (const std::optional<SrsSettings> srs = parseSpectrumTexts(problem, bad)) {
        r.settings.srs = *srs;
    } else if (r.problem.isEmpty()) {
        r.problem = problem;
        r.problemInSpectrum = true;
    }
    return r;
}

void PreviewPane::askOpenRecord() {
    QSettings settings = userSettings();
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open Record"), settings.value(QStringLiteral("record/folder")).toString(),
        tr("Records (*.txt *.csv *.tsv *.dat);;All files (*)"));
    if (path.isEmpty()) return;
    settings.setValue(QStringLiteral("record/folder"), QFileInfo(path).absolutePath());
    openRecordFile(path);
}

void PreviewPane::openRecordFile(const QString& path) {
    // The first lines only; a file that cannot be read is the reader's to report.
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly)) head = file.read(64 * 1024);
    const RecordLayout layout =
        peekRecordLayout(std::string_view(head.constData(), static_cast<std::size_t>(head.size())));
    std::optional<ReadOptions> options = decidedOptions(layout);
    if (!options && layout.columns > 0) {
        RecordDialog dialog(QFileInfo(path).fileName(), layout, this);
        if (dialog.exec() != QDialog::Accepted) return;
        options = dialog.options();
    }
    openRecord(path, options.value_or(ReadOptions{}));
}

void PreviewPane::openRecord(const QString& path, const ReadOptions& options) {
    m_recheckTimer->stop();  // the record opened is checked with the values of now
    m_openMessage->hide();
    m_record->open(QFile::encodeName(path).toStdString(), options, checkRequest());
}

void PreviewPane::recheckSoon() {
    if (m_record->hasRecord() || m_record->isBusy()) m_recheckTimer->start();
}

void PreviewPane::recheckRecord() {
    m_recheckTimer->stop();
    if (m_record->hasRecord() || m_record->isBusy()) m_record->recheck(checkRequest());
}

void PreviewPane::askSaveReport() {
    if (m_record->reportJson().empty()) return;
    const QString filter = tr("JSON (*.json)");
    QString suggested =
        QFileInfo(m_record->source()).completeBaseName() + QStringLiteral("-check.json");
    const QString path = withSuffix(
        QFileDialog::getSaveFileName(this, tr("Save Report As"), suggested,
                                     filter + QStringLiteral(";;") + tr("All files (*)")),
        filter);
    if (path.isEmpty()) return;
    try {
        m_record->saveReport(path);
    } catch (const FileError& e) {
        reportUnsaved(this, tr("report"), e);
    }
}

}  // namespace korvex
