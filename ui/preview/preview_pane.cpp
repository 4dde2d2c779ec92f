#include "ui/preview/preview_pane.h"

#include <QBoxLayout>
#include <QChart>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <span>

#include "analysis/pulse_figures.h"
#include "plot/charts/motion_charts.h"
#include "plot/charts/srs_chart.h"
#include "plot/charts/trace_chart.h"
#include "pulse/number_text.h"
#include "ui/preview/pulse_text.h"
#include "ui/widgets/setting_rows.h"
#include "ui/widgets/srs_settings.h"

namespace korvex {
namespace {

QLabel* textBlock(const QString& style, const QMargins& margins) {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    label->setContentsMargins(margins);
    if (!style.isEmpty()) label->setStyleSheet(style);
    return label;
}

QWidget* chartPage(ChartView* view, QLabel* readout) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 2);
    layout->setSpacing(2);
    layout->addWidget(view, 1);
    layout->addWidget(readout);
    return page;
}

}  // namespace

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
    m_time = new TraceChart(QStringLiteral("amplitude"), this);
    m_time->addTrace(tr("amplitude"), QColor(0x1f, 0x4e, 0x9a), 1.5);
    m_time->chart()->legend()->hide();
    m_time->setDescribe([this](std::size_t i) {
        return tr("    sample %1 of %2").arg(i + 1).arg(m_series != nullptr ? m_series->count : 0);
    });

    // Drawn last and see-through, so that either peak shows under it.
    m_srs = new SpectrumChart(this);
    m_srs->addCurve(tr("positive"), QColor(0x1f, 0x4e, 0x9a), 1.2);
    m_srs->addCurve(tr("negative"), QColor(0xd0, 0x60, 0x10), 1.2);
    m_srs->addCurve(tr("maximax"), QColor(0x30, 0xa0, 0x50, 0x60), 5.0);
    m_srs->setReadout(2, [this](std::size_t i) {
        if (i >= m_points.size()) return QString();
        const SrsPoint& p = m_points[i];
        return tr("%1 Hz:   maximax %2    positive %3    negative %4")
            .arg(number(p.frequencyHz), number(p.maximax), number(p.positive), number(p.negative));
    });
    for (ChartView* view : {timeHistoryView(), spectrumView()}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](QPoint pos) { contextMenu(view, pos); });
    }
    m_srsRow = new SpectrumSettingsRow;
    m_settings = m_srsRow->read(std::nullopt);
    connect(m_srsRow, &SpectrumSettingsRow::applyRequested, this,
            &PreviewPane::applySpectrumSettings);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makePulsePage());
}

QWidget* PreviewPane::makePulsePage() {
    QWidget* srsPage = chartPage(m_srs->view(), m_srs->readout());
    srsPage->layout()->addWidget(m_srsRow);
    m_tabs = new QTabWidget;
    // Zeros before the pulse, as a recorder's pre-trigger keeps: the next
    // Calculate's, so typing marks the pulse shown as stale.
    m_preTime = settingEdit("preTime", QStringLiteral("0"),
                            tr("Zeros before the pulse (or a compensated pulse's pre-pulse), in "
                               "the form's time unit, as korvex-cli --pre-time pads them"),
                            54);
    connect(m_preTime, &QLineEdit::textEdited, this, &PreviewPane::markStale);
    QWidget* timePage = chartPage(m_time->view(), m_time->readout());
    auto* preRow = settingRow({rowText(tr("Pre-time")), m_preTime,
                               rowText(tr("in the form's time unit, before the pulse"))});
    preRow->setContentsMargins(6, 0, 6, 0);
    qobject_cast<QBoxLayout*>(timePage->layout())->addLayout(preRow);
    m_tabs->addTab(timePage, tr("Time history"));
    m_tabs->addTab(srsPage, tr("Shock response spectrum"));
    m_motion = new MotionCharts;
    m_motionPage = m_motion;
    m_tabs->addTab(m_motionPage, tr("Motion"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        if (m_tabs->currentWidget() == m_motionPage) drawMotionCharts();
    });

    m_stale = new QLabel(tr("Inputs changed: press Calculate to update"));
    m_stale->setAlignment(Qt::AlignCenter);
    m_stale->setStyleSheet(
        QStringLiteral("background: #fff3c4; color: #5a4500; padding: 3px; border-radius: 3px"));
    m_stale->hide();
    m_figures = textBlock(QString(), QMargins(6, 2, 6, 0));
    m_limits =
        textBlock(QStringLiteral("QLabel { color: #b00020 } QLabel:disabled { color: #d8a0a8 }"),
                  QMargins(6, 0, 6, 0));
    m_limits->setObjectName(QStringLiteral("shakerLimits"));
    m_limits->hide();
    m_notes =
        textBlock(QStringLiteral("QLabel { color: #8a3a00 } QLabel:disabled { color: #c8b4a4 }"),
                  QMargins(6, 2, 6, 4));
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(2);
    pageLayout->addWidget(m_stale);
    pageLayout->addWidget(m_tabs, 1);
    pageLayout->addWidget(m_figures);
    pageLayout->addWidget(m_limits);
    pageLayout->addWidget(m_notes);
    return page;
}

std::optional<double> PreviewPane::preTime() const {
    const std::string text = plain(m_preTime);
    if (text.empty()) return std::nullopt;
    return parseStrictNumber(text).value_or(std::nan(""));
}

PreviewPane::~PreviewPane() {
    for (const Job& job : m_jobs) job.cancel->store(true);
    for (const Job& job : m_jobs) job.watcher->waitForFinished();
}

bool PreviewPane::isStale() const {
    return m_series != nullptr && !m_stale->isHidden();
}

std::optional<double> PreviewPane::shownCompensation() const {
    if (!m_compensation) return std::nullopt;
    return m_compensation->ratio;
}

QString PreviewPane::figuresText() const {
    return m_series != nullptr ? m_figures->text() : QString();
}

QString PreviewPane::notesText() const {
    return m_series != nullptr ? m_notes->text() : QString();
}

QString PreviewPane::readoutText(const ChartView* view) const {
    return (view == spectrumView() ? m_srs->readout() : m_time->readout())->text();
}

ChartView* PreviewPane::timeHistoryView() const {
    return m_time->view();
}

ChartView* PreviewPane::spectrumView() const {
    return m_srs->view();
}

TraceChart* PreviewPane::velocityChart() const {
    return m_motion->velocity();
}

TraceChart* PreviewPane::displacementChart() const {
    return m_motion->displacement();
}

void PreviewPane::setDimmed(bool dimmed) {
    const double opacity = dimmed ? 0.35 : 1.0;
    m_time->chart()->setOpacity(opacity);
    m_srs->chart()->setOpacity(opacity);
    m_motion->setOpacity(opacity);
    for (QLabel* label : {m_figures, m_limits, m_notes}) label->setEnabled(!dimmed);
}

void PreviewPane::markStale() {
    // Also behind a record shown: the pulse is dimmed when it comes back.
    if (m_series == nullptr || isStale()) return;
    m_stale->show();
    setDimmed(true);
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
    setDimmed(false);

    // The pane speaks the form's unit; the file keeps seconds.
    m_unit = timeUnitText(params.timeUnit);
    m_pulseFigures =
        pulseFiguresText(computePulseFigures(series, params), params, m_compensation, m_unit);
    m_figures->setText(m_pulseFigures);
    QStringList notes;
    for (const std::string& note : inputNotes(typed, params)) {
        notes << QStringLiteral("\u2022 ") + QString::fromLocal8Bit(note);
    }
    m_notes->setText(notes.join(QLatin1Char('\n')));
    m_notes->setVisible(!notes.isEmpty());

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
    double last = n > 0 ? series.time[n - 1] * m_unit.scale : 1.0;
    if (!(last > 0.0 && std::isfinite(last))) last = 1.0;
    m_time->setTimeUnit(m_unit.scale, m_unit.name);
    m_time->setTrace(0, std::span(series.time.data(), n), std::span(series.amplitude.data(), n));
    m_time->setWholeView({0.0, last, lo - pad, hi + pad});
    m_time->view()->setMarker(std::nullopt);
    m_time->readout()->setText(hintText());
    m_time->showAll();
    drawMotion();

    startSpectrum();
}

void PreviewPane::clearPulse() {
    abandonSpectrum();
    m_series = nullptr;
    m_compensation.reset();
    m_time->clear();
    m_figures->clear();
    m_pulseFigures.clear();
    drawMotion();
    m_notes->clear();
    m_stale->hide();
    setDimmed(false);
}

void PreviewPane::setView(ChartView* view, ChartRange r) {
    if (view == timeHistoryView() && m_series != nullptr) m_time->setView(r);
    if (view == spectrumView()) m_srs->setView(r);
}

void PreviewPane::showAll(ChartView* view) {
    setView(view, view == spectrumView() ? m_srs->wholeView() : m_time->wholeView());
}

void PreviewPane::setMotionUnits(std::optional<AccelerationUnit> unit, const ShakerLimits& limits) {
    m_motionUnit = unit;
    m_shakerLimits = limits;
    if (m_series != nullptr) drawMotion();
}

void PreviewPane::drawMotion() {
    m_motionText.clear();
    m_limits->clear();
    m_limits->hide();
    // The charts are drawn when their tab is shown: two more reductions of
    // a long record are not worth making for a tab not looked at.
    m_motionDrawn = false;
    m_motion->clear();
    if (m_series == nullptr || m_series->count < 2) return;
    const auto n = static_cast<std::size_t>(m_series->count);
    const std::span<const double> a(m_series->amplitude.data(), n);
    if (m_compensation || m_motionUnit) {
        // One pass, as korvex-cli's summary makes them.
        const MotionFigures f = computeMotion(a, sampleIntervalSeconds(m_params));
        m_motionText =
            motionSummaryText(scaleMotion(f, motionScale(m_motionUnit)), m_motionUnit.has_value());
        if (m_motionUnit) {
            m_limits->setText(exceededLimitsText(
                checkShakerLimits(f, *m_motionUnit, m_shakerLimits), m_shakerLimits));
            m_limits->setVisible(!m_limits->text().isEmpty());
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
    m_motion->draw(std::span(m_series->time.data(), n), std::span(m_series->amplitude.data(), n),
                   sampleIntervalSeconds(m_params), m_motionUnit, m_shakerLimits, m_unit);
}

QString PreviewPane::motionText() const {
    return m_motionText;
}

QString PreviewPane::limitsText() const {
    return m_limits->isHidden() ? QString() : m_limits->text();
}

}  // namespace korvex
