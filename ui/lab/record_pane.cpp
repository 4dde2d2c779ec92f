#include "ui/lab/record_pane.h"

#include <QChart>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "analysis/check_json.h"
#include "plot/charts/motion_charts.h"
#include "plot/charts/srs_chart.h"
#include "plot/charts/trace_chart.h"
#include "pulse/file_sink.h"
#include "ui/lab/read_questions.h"
#include "ui/lab/trust_strip.h"

namespace korvex {

RecordPane::RecordPane(QWidget* parent) : QWidget(parent) {
    m_title = new QLabel;
    m_title->setTextFormat(Qt::PlainText);
    // One line, cut rather than wrapped: the tooltip names the whole source.
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_saveReport = new QPushButton(tr("Save Report As\u2026"));
    m_saveReport->setObjectName(QStringLiteral("saveReport"));
    auto* close = new QPushButton(tr("Close Record"));
    close->setObjectName(QStringLiteral("closeRecord"));
    connect(m_saveReport, &QPushButton::clicked, this, &RecordPane::saveReportRequested);
    connect(close, &QPushButton::clicked, this, &RecordPane::closeRequested);
    auto* head = new QHBoxLayout;
    head->setContentsMargins(6, 0, 0, 0);
    head->addWidget(m_title, 1);
    head->addWidget(m_saveReport);
    head->addWidget(close);

    // The band under the record, the nominal over it.
    m_time = new TraceChart(tr("value"), this);
    m_time->addBand(tr("band"));
    // The record as read, dimmed under the conditioned one when any is set.
    m_time->addTrace(tr("raw record"), QColor(0xa8, 0xb4, 0xc8), 1.0);
    m_time->addTrace(tr("record"), QColor(0x1f, 0x4e, 0x9a), 1.2);
    m_time->addTrace(tr("nominal"), QColor(0xd0, 0x60, 0x10), 1.5, Qt::DashLine);
    m_time->setDescribe([this](std::size_t i) {
        const CheckOutcome& o = m_outcome;
        // The band's rows count from the first sample of the shock checked.
        const std::size_t from =
            m_trust.events.size() > 1 ? m_trust.events[m_trust.event].first : 0;
        if (i < from) return QString();
        i -= from;
        if (!o.report || i < o.bandFirst || i - o.bandFirst >= o.lower.size() ||
            o.lower.size() != o.upper.size()) {
            return QString();
        }
        const std::size_t j = i - o.bandFirst;
        return tr("    band %1 to %2").arg(number(o.lower[j].y()), number(o.upper[j].y()));
    });
    auto* timePage = new QWidget;
    auto* timeLayout = new QVBoxLayout(timePage);
    timeLayout->setContentsMargins(0, 0, 0, 2);
    timeLayout->setSpacing(0);
    timeLayout->addWidget(m_time->view(), 1);
    timeLayout->addWidget(m_time->readout());
    m_motion = new MotionCharts;
    m_motionPage = m_motion;

    // Tabs of a bar and a stack: the pulse's tab widget stays the pane's only one.
    m_tabs = new QTabBar;
    m_tabs->addTab(tr("Record and band"));
    m_tabs->addTab(tr("Spectra"));
    m_tabs->addTab(tr("Motion"));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    auto* pages = new QStackedWidget;
    pages->setFrameShape(QFrame::StyledPanel);
    pages->addWidget(timePage);
    pages->addWidget(makeSpectrumPage());
    pages->addWidget(m_motionPage);
    connect(m_tabs, &QTabBar::currentChanged, pages, &QStackedWidget::setCurrentIndex);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int i) {
        if (i == 2) drawMotion();
    });

    m_verdict = new QLabel;
    m_verdict->setObjectName(QStringLiteral("verdict"));
    m_verdict->setTextFormat(Qt::PlainText);
    m_verdict->setWordWrap(true);
    m_verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_figures = new QLabel;
    m_figures->setTextFormat(Qt::PlainText);
    m_figures->setWordWrap(true);
    m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_figures->setContentsMargins(6, 0, 6, 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(head);
    auto* tabbed = new QVBoxLayout;
    tabbed->setSpacing(0);
    tabbed->addWidget(m_tabs);
    tabbed->addWidget(pages, 1);
    layout->addLayout(tabbed, 1);
    layout->addWidget(m_verdict);
    m_strip = new TrustStrip;
    connect(m_strip, &TrustStrip::useAsNominal, this, &RecordPane::useAsNominal);
    connect(m_strip, &TrustStrip::eventChosen, this, &RecordPane::chooseEvent);
    layout->addWidget(m_strip);
    layout->addWidget(m_figures);

    m_ticker = new QTimer(this);
    m_ticker->setInterval(100);
    connect(m_ticker, &QTimer::timeout, this, &RecordPane::tick);
}

QWidget* RecordPane::makeSpectrumPage() {
    // Both spectra on log-log axes, the nominal's dashed under the record's.
    m_srs = new SpectrumChart(this);
    m_srs->addBand(tr("dB range"));
    m_srs->addCurve(tr("nominal maximax"), QColor(0x20, 0x20, 0x20), 1.2, Qt::DashLine);
    m_srs->addCurve(tr("record maximax"), QColor(0x1f, 0x4e, 0x9a), 1.5);
    m_srs->setReadout(1, [this](std::size_t i) {
        const std::size_t n = m_srsPoints.size() / 2;
        if (i >= n) return QString();
        const SrsPoint& g = m_srsPoints[i];
        const SrsPoint& w = m_srsPoints[n + i];
        return tr("%1 Hz:   record %2    nominal %3    %4 dB")
            .arg(number(g.frequencyHz), number(g.maximax), number(w.maximax),
                 number(20 * std::log10(g.maximax / w.maximax)));
    });
    auto* page = new QWidget;
    m_srsHost = new QVBoxLayout(page);
    m_srsHost->setContentsMargins(0, 0, 0, 2);
    m_srsHost->setSpacing(2);
    m_srsHost->addWidget(m_srs->view(), 1);
    m_srsHost->addWidget(m_srs->readout());
    return page;
}

ChartView* RecordPane::spectrumView() const {
    return m_srs->view();
}

void RecordPane::finish(const Result& result, const CheckRequest& request, bool opened) {
    if (result.error) {
        const RecordError& e = *result.error;
        // Settings named by the dialog's labels, not korvex-cli's flags.
        const QString message = QString::fromLocal8Bit(e.messageWith(windowSettingLabel).c_str());
        const QString reason =
            e.kind() == RecordError::Kind::Unreadable ? tr("cannot read %1").arg(message) : message;
        // The record shown stays, with spectra that may have been cut short.
        if (m_raw && m_srsPoints.empty()) startSpectra();
        emit openFailed(reason, e);
        return;
    }
    m_request = request;
    m_outcome = result.check;
    const bool fresh = opened || m_raw != result.record;
    // Another shock: the view goes to its window, as for a record just opened.
    const bool stepped = !fresh && m_trust.event != result.trust.event;
    m_raw = result.record;
    m_trust = result.trust;
    m_event = m_trust.event;
    m_data = m_trust.judged ? m_trust.judged : m_raw;
    const bool rescaled = m_time->timeScale() != request.time.scale || stepped;
    showRecord(fresh, rescaled);
    emit checked(opened);
    startSpectra();
}

void RecordPane::showRecord(bool fresh, bool rescaled) {
    const LoadedRecord& d = *m_raw;
    const TimeUnitText& time = m_request.time;
    m_time->setTimeUnit(time.scale, time.name);
    if (fresh || rescaled) {
        m_title->setText(
            tr("%1, column %2: %3 samples at %4 %7, %5 to %6 %7")
                .arg(QFileInfo(source()).fileName(), QString::fromStdString(d.record.name))
                .arg(d.record.size())
                .arg(time.of(d.record.intervalS), time.of(d.time.front()), time.of(d.time.back()),
                     time.name));
        m_title->setToolTip(source());
    }
    const bool conditioned = m_trust.processing.any();
    for (QAbstractSeries* series : m_time->chart()->series()) {
        if (series->name() == tr("raw record")) series->setVisible(conditioned);
    }
    const LoadedRecord& c = m_trust.conditioned ? *m_trust.conditioned : d;
    m_time->setTrace(1, c.time, c.record.values);
    if (fresh) {
        m_time->setTrace(0, d.time, d.record.values);
        // The column's name, where the file gives one.
        const QString column = QString::fromStdString(d.record.name);
        bool number = false;
        column.toInt(&number);
        m_time->setYTitle(number ? tr("value") : column);
    }
    m_time->setTrace(2, m_outcome.nominalT, m_outcome.nominalY);
    showCheck();
    m_strip->showTrust(m_trust, time);
    m_motionDrawn = false;
    if (m_tabs->currentIndex() == 2) drawMotion();

    // The whole record at every height it, its band and the nominal reach.
    double lo = 0.0, hi = 0.0;
    const auto extend = [&lo, &hi](double v) {
        if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    };
    for (double v : d.record.values) extend(v);
    for (double v : c.record.values) extend(v);
    for (double v : m_outcome.nominalY) extend(v);
    for (const auto* c : {&m_outcome.lower, &m_outcome.upper}) {
        for (const QPointF& p : *c) extend(p.y());
    }
    if (!(hi > lo) || !std::isfinite(hi - lo)) lo = -1.0, hi = 1.0;
    const double pad = (hi - lo) * 0.05, s = time.scale;
    double last = d.time.back() * s, first = d.time.front() * s;
    if (!(last > first)) last = first + 1.0;
    m_time->setWholeView({first, last, lo - pad, hi + pad});
    const bool anew = fresh || rescaled;
    ChartRange view = anew ? m_time->wholeView() : m_time->view()->range();
    if (anew && m_outcome.report) {
        // First the monitoring window, with a little of the record around it.
        const CheckSettings& cs = m_outcome.report->settings;
        const double D = m_outcome.report->pulse.durationS, tau = m_outcome.report->offsetS;
        view.xlo = (tau - (cs.windowBefore + 0.5) * D) * s;
        view.xhi = (tau + (1 + cs.windowAfter + 0.5) * D) * s;
    }
    // The whole height always: a band or record cut at the top says nothing.
    view.ylo = lo - pad;
    view.yhi = hi + pad;
    m_time->setView(view);
}

void RecordPane::showCheck() {
    const CheckOutcome& o = m_outcome;
    if (!o.report) {
        m_verdict->setText(refusalText(o, source()));
        m_verdict->setStyleSheet(
            QStringLiteral("background: #fff3c4; color: #5a4500; padding: 3px"));
        m_time->setBand(QString(), {}, {});
        m_time->setMark(std::nullopt, QString(), Qt::red);
        m_figures->clear();
        m_verdict->setToolTip(QString());
        return;
    }
    const CheckReport& r = *o.report;
    const TimeUnitText& time = m_request.time;
    m_verdict->setText(korvex::verdictText(r, time));
    m_verdict->setStyleSheet(
        r.pass ? QStringLiteral("background: #dff3e4; color: #0b4a1d; padding: 3px")
               : QStringLiteral("background: #fde2e1; color: #7a0a0a; padding: 3px"));
    m_time->setBand(tr("band"), o.lower, o.upper);
    const BandResult& b = r.band;
    // The band's worst sample: where it failed, or where it came closest.
    m_time->setMark(QPointF(b.worstTimeS, b.worstValue),
                    (b.pass ? tr("closest: %1 at %2 %3") : tr("worst: %1 at %2 %3"))
                        .arg(number(b.worstValue), time.of(b.worstTimeS), time.name),
                    b.pass ? QColor(0x60, 0x60, 0x60) : QColor(0xc0, 0x10, 0x10));
    m_figures->setText(checkFiguresText(r, time));
    m_verdict->setToolTip(m_figures->text());
}

void RecordPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_figures->setVisible(height() >= 560);
}

void RecordPane::setMotionUnits(std::optional<AccelerationUnit> unit, const ShakerLimits& limits) {
    m_unit = unit;
    m_limits = limits;
    m_motionDrawn = false;
    if (m_tabs->currentIndex() == 2) drawMotion();
}

void RecordPane::drawMotion() {
    // Drawn when its tab is shown: two more reductions of a long record are
    // not worth making for a tab not looked at.
    if (m_motionDrawn || !m_data) return;
    m_motionDrawn = true;
    const LoadedRecord& d = *m_data;
    const std::span<const double> accel = d.motion.empty()
                                              ? std::span<const double>(d.record.values)
                                              : std::span<const double>(d.motion);
    m_motion->draw(d.time, accel, d.record.intervalS, m_unit, m_limits, m_request.time);
}

QString RecordPane::verdictText() const {
    return m_verdict->text();
}

QString RecordPane::figuresText() const {
    return m_figures->text();
}

std::string RecordPane::reportJson() const {
    if (!m_data || !m_outcome.report) return std::string();
    return checkReportJson(*m_outcome.report, m_data->source, m_data->record.name, &m_request.plan);
}

void RecordPane::saveReport(const QString& path) {
    const std::string json = reportJson();
    if (json.empty()) return;
    FileSink sink(QFile::encodeName(path).toStdString());
    sink.write(json.data(), json.size());
    sink.close();
}

void RecordPane::showTab(int index) {
    m_tabs->setCurrentIndex(index);
}

QString RecordPane::spectrumTitle() const {
    return m_srs->chart()->title();
}

}  // namespace korvex
