#include "ui/record_pane.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "analysis/check_json.h"
#include "analysis/series_reduction.h"
#include "pulse/file_sink.h"
#include "ui/chart_parts.h"
#include "ui/chart_view.h"
#include "ui/trace_chart.h"

namespace korvex {
namespace {

enum Stage { kReading, kChecking };

RecordView viewOf(const LoadedRecord& r) {
    RecordView v = r.record.view();
    // The file's own times, which the reader gave and the check must see.
    if (!r.record.time.empty() || r.time.empty()) return v;
    return {std::span<const double>(), r.record.values, r.record.startS, r.record.intervalS};
}

// More band rows than this are thinned to each curve's extremes per column.
constexpr std::size_t kMostBandPoints = 8000;

std::vector<QPointF> curve(const std::vector<BandRow>& rows, double BandRow::*member) {
    std::vector<double> t(rows.size()), y(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) t[i] = rows[i].timeS, y[i] = rows[i].*member;
    std::vector<QPointF> out;
    if (rows.size() <= kMostBandPoints) {
        for (std::size_t i = 0; i < rows.size(); ++i) out.emplace_back(t[i], y[i]);
        return out;
    }
    for (const ChartPoint& p : minMaxReduce(t, y, static_cast<int>(kMostBandPoints / 2))) {
        out.emplace_back(p.x, p.y);
    }
    return out;
}

CheckOutcome checkOutcome(const LoadedRecord& data, const CheckRequest& request) {
    CheckOutcome o;
    if (!request.problem.isEmpty() && (!request.problemInSpectrum || request.settings.spectrum)) {
        o.refusal = request.problem;
        o.spectrumSettings = request.problemInSpectrum;
        if (!o.spectrumSettings) o.field = CheckField::Band;
        return o;
    }
    const RecordView view = viewOf(data);
    try {
        o.report = checkRecord(view, request.pulse, request.settings);
    } catch (const CheckError& e) {
        o.refusal = QString::fromStdString(e.what());
        o.field = e.field();
        return o;
    } catch (const SrsSettingError& e) {
        o.refusal = QString::fromStdString(e.what());
        o.spectrumSettings = true;
        return o;
    }
    const std::vector<BandRow> rows = bandRows(view, *o.report);
    o.lower = curve(rows, &BandRow::lower);
    o.upper = curve(rows, &BandRow::upper);
    if (!rows.empty()) {
        o.bandFirst = static_cast<std::size_t>(
            std::lower_bound(data.time.begin(), data.time.end(), rows.front().timeS) -
            data.time.begin());
    }
    // The nominal from its shape, not from samples: flat, the pulse, flat.
    const CheckPulse& p = request.pulse;
    const double tau = o.report->offsetS, D = p.durationS;
    const double first = data.time.front(), last = data.time.back();
    const auto add = [&o](double t, double y) {
        o.nominalT.push_back(t);
        o.nominalY.push_back(y);
    };
    if (first < tau) add(first, 0.0);
    constexpr int kSteps = 400;
    for (int k = 0; k <= kSteps; ++k) {
        const double s = D * k / kSteps;
        add(tau + s, nominalAt(p, s));
    }
    if (p.shape == PulseType::TerminalSawtooth) add(tau + D, 0.0);
    if (last > tau + D) add(last, 0.0);
    return o;
}

QString fieldName(const CheckOutcome& o, const QString& source) {
    if (o.spectrumSettings) return RecordPane::tr("Spectrum settings");
    if (!o.field) return QString();
    switch (*o.field) {
        case CheckField::Record:
            return source;
        case CheckField::Shape:
            return RecordPane::tr("Pulse type");
        case CheckField::Amplitude:
            return RecordPane::tr("Amplitude");
        case CheckField::Duration:
            return RecordPane::tr("Pulse duration");
        default:
            return RecordPane::tr("Check settings");
    }
}

}  // namespace

RecordPane::RecordPane(QWidget* parent) : QWidget(parent) {
    m_title = new QLabel;
    m_title->setTextFormat(Qt::PlainText);
    m_title->setWordWrap(true);
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
    m_time->addTrace(tr("record"), QColor(0x1f, 0x4e, 0x9a), 1.2);
    m_time->addTrace(tr("nominal"), QColor(0xd0, 0x60, 0x10), 1.5, Qt::DashLine);
    m_time->setDescribe([this](std::size_t i) {
        const CheckOutcome& o = m_outcome;
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

    // Both spectra on log-log axes, drawn as log10 of the values on linear
    // axes, as the pulse's own.
    m_srsChart = new QChart;
    m_srsChart->setMargins(QMargins(4, 4, 4, 4));
    m_dbLower = new QLineSeries(this);
    m_dbUpper = new QLineSeries(this);
    m_dbBand = new QAreaSeries(m_dbUpper, m_dbLower);
    m_dbBand->setName(tr("dB range"));
    m_dbBand->setBrush(QColor(0x30, 0xa0, 0x50, 0x38));
    m_dbBand->setPen(QPen(QColor(0x30, 0xa0, 0x50, 0xa0), 1.0));
    m_srsNominal = line(tr("nominal maximax"), QColor(0x20, 0x20, 0x20), 1.2);
    QPen dashed = m_srsNominal->pen();
    dashed.setStyle(Qt::DashLine);
    m_srsNominal->setPen(dashed);
    m_srsRecord = line(tr("record maximax"), QColor(0x1f, 0x4e, 0x9a), 1.5);
    m_srsMark = new QScatterSeries;
    m_srsMark->setMarkerSize(11);
    m_srsMark->setColor(Qt::transparent);
    std::tie(m_srsX, m_srsY) = addSpectrumAxes(m_srsChart);
    for (QAbstractSeries* s :
         std::initializer_list<QAbstractSeries*>{m_dbBand, m_srsNominal, m_srsRecord, m_srsMark}) {
        m_srsChart->addSeries(s);
        s->attachAxis(m_srsX);
        s->attachAxis(m_srsY);
    }
    for (QLegendMarker* marker : m_srsChart->legend()->markers(m_srsMark))
        marker->setVisible(false);
    m_srsChart->legend()->setAlignment(Qt::AlignBottom);
    m_srsView = new ChartView(m_srsChart);
    m_srsReadout = statusLine();
    m_srsReadout->setText(hintText());
    connect(m_srsView, &ChartView::viewRequested, this, [this](ChartRange r) {
        if (m_srsPoints.empty()) return;
        std::tie(r.xlo, r.xhi) = keepInside(r.xlo, r.xhi, m_srsAll[0], m_srsAll[1], 0.02);
        std::tie(r.ylo, r.yhi) = keepInside(r.ylo, r.yhi, m_srsAll[2], m_srsAll[3], 0.02);
        setSpectrumRange(r);
    });
    connect(m_srsView, &ChartView::fullViewRequested, this, [this] {
        if (!m_srsPoints.empty())
            setSpectrumRange({m_srsAll[0], m_srsAll[1], m_srsAll[2], m_srsAll[3]});
    });
    connect(m_srsView, &ChartView::hovered, this, [this](QPointF v) { readSpectrum(v); });
    connect(m_srsView, &ChartView::hoverEnded, this, [this] {
        m_srsView->setMarker(std::nullopt);
        m_srsReadout->setText(hintText());
    });
    connect(m_srsChart, &QChart::plotAreaChanged, this, [this] {
        if (!m_srsPoints.empty()) {
            QMetaObject::invokeMethod(
                this, [this] { setSpectrumRange(m_srsView->range()); }, Qt::QueuedConnection);
        }
    });
    auto* srsPage = new QWidget;
    m_srsHost = new QVBoxLayout(srsPage);
    m_srsHost->setContentsMargins(0, 0, 0, 2);
    m_srsHost->setSpacing(2);
    m_srsHost->addWidget(m_srsView, 1);
    m_srsHost->addWidget(m_srsReadout);

    // Tabs of a bar and a stack: the pulse's tab widget stays the pane's only one.
    m_tabs = new QTabBar;
    m_tabs->addTab(tr("Record and band"));
    m_tabs->addTab(tr("Spectra"));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    auto* pages = new QStackedWidget;
    pages->setFrameShape(QFrame::StyledPanel);
    pages->addWidget(timePage);
    pages->addWidget(srsPage);
    connect(m_tabs, &QTabBar::currentChanged, pages, &QStackedWidget::setCurrentIndex);

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
    layout->addWidget(m_figures);

    m_ticker = new QTimer(this);
    m_ticker->setInterval(100);
    connect(m_ticker, &QTimer::timeout, this, &RecordPane::tick);
}

RecordPane::~RecordPane() {
    // The workers own what they use; they are told to stop, not waited for.
    if (m_job.cancel) m_job.cancel->store(true);
    for (const SpectraJob& job : m_spectra) job.cancel->store(true);
}

QString RecordPane::source() const {
    return m_data ? QString::fromStdString(m_data->source) : QString();
}

void RecordPane::open(const std::string& path, const ReadOptions& options,
                      const CheckRequest& request) {
    start(path, options, request);
}

void RecordPane::recheck(const CheckRequest& request) {
    if (m_job.watcher != nullptr && !m_job.path.empty()) {
        const std::string path = m_job.path;
        const ReadOptions options = m_job.options;
        start(path, options, request);
    } else if (m_data) {
        start(std::string(), ReadOptions{}, request);
    }
}

void RecordPane::start(const std::string& path, const ReadOptions& options,
                       const CheckRequest& request) {
    if (m_job.cancel) m_job.cancel->store(true);
    // What is shown stays until the new record is read and checked.
    stopSpectra();
    const bool opening = !path.empty();
    const std::uint64_t generation = ++m_generation;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto stage = std::make_shared<std::atomic<int>>(opening ? kReading : kChecking);
    auto* watcher = new QFutureWatcher<Result>(this);
    m_job = {cancel, stage, watcher, path, options};
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, generation, request, opening] {
                watcher->deleteLater();
                if (generation != m_generation) return;  // cancelled or replaced
                m_job = {};
                finish(watcher->result(), request, opening);
                if (!isBusy()) {
                    m_ticker->stop();
                    emit idle();
                }
            });
    watcher->setFuture(
        QtConcurrent::run([path, options, request, cancel, stage, data = m_data]() -> Result {
            Result r;
            if (!path.empty()) {
                try {
                    auto loaded = std::make_shared<LoadedRecord>();
                    Record read = readRecord(path, options);
                    loaded->source = std::move(read.source);
                    loaded->record = std::move(read.channels.front());
                    const RecordView view = loaded->record.view();
                    loaded->time.resize(view.size());
                    for (std::size_t i = 0; i < view.size(); ++i) loaded->time[i] = view.timeAt(i);
                    r.record = std::move(loaded);
                } catch (const RecordError& e) {
                    r.error = e;
                    return r;
                } catch (const std::exception& e) {  // out of memory, most likely
                    r.error = RecordError(RecordError::Kind::Unreadable, path, 0, 0, e.what());
                    return r;
                }
            } else {
                r.record = data;
            }
            if (cancel->load() || r.record == nullptr) return r;
            stage->store(kChecking);
            try {
                r.check = checkOutcome(*r.record, request);
            } catch (const std::exception& e) {
                r.check = {};
                r.check.refusal = QString::fromLocal8Bit(e.what());
                r.check.field = CheckField::Record;
            }
            return r;
        }));
    if (!m_ticker->isActive()) {
        m_since.start();
        m_ticker->start();
    }
}

void RecordPane::cancel() {
    if (!isBusy()) return;
    ++m_generation;
    if (m_job.cancel) m_job.cancel->store(true);
    m_job = {};
    stopSpectra();
    m_ticker->stop();
    emit idle();
}

void RecordPane::close() {
    cancel();
    m_data.reset();
    m_outcome = {};
    m_time->clear();
    m_srsPoints.clear();
    for (QLineSeries* s : {m_srsRecord, m_srsNominal, m_dbLower, m_dbUpper}) s->clear();
    m_srsMark->clear();
    m_verdict->clear();
    m_figures->clear();
}

void RecordPane::tick() {
    // Work done within a moment is not worth a flicker.
    if (m_since.elapsed() < 250) return;
    QString what;
    int percent = -1;
    if (m_job.watcher != nullptr) {
        what = m_job.stage->load() == kReading
                   ? tr("Reading %1\u2026")
                         .arg(QFileInfo(QString::fromStdString(m_job.path)).fileName())
                   : tr("Checking\u2026");
    } else if (!m_spectra.empty()) {
        const SrsProgress* p = m_spectra.back().progress.get();
        const double total = 2.0 * static_cast<double>(std::max<std::uint64_t>(p[0].total, 1));
        percent = static_cast<int>(
            std::min(99.0, 100.0 * static_cast<double>(p[0].done + p[1].done) / total));
        what = tr("Spectra of the record and the nominal\u2026");
    } else {
        return;
    }
    emit progress(what, percent);
}

void RecordPane::finish(const Result& result, const CheckRequest& request, bool opened) {
    if (result.error) {
        const RecordError& e = *result.error;
        const QString reason = e.kind() == RecordError::Kind::Unreadable
                                   ? tr("cannot read %1").arg(QString::fromLocal8Bit(e.what()))
                                   : QString::fromLocal8Bit(e.what());
        // The record shown stays, with spectra that may have been cut short.
        if (m_data && m_srsPoints.empty()) startSpectra();
        emit openFailed(reason, e);
        return;
    }
    m_request = request;
    m_outcome = result.check;
    const bool fresh = opened || m_data != result.record;
    m_data = result.record;
    const LoadedRecord& d = *m_data;
    const bool rescaled = m_time->timeScale() != request.timeScale;
    m_time->setTimeUnit(request.timeScale, request.timeUnit);
    if (fresh) {
        m_time->setTrace(0, d.time, d.record.values);
        m_title->setText(
            tr("%1, column %2: %3 samples at %4 s, %5 to %6 s")
                .arg(QFileInfo(source()).fileName(), QString::fromStdString(d.record.name))
                .arg(d.record.size())
                .arg(number(d.record.intervalS), number(d.time.front()), number(d.time.back())));
        m_title->setToolTip(source());
        // The column's name, where the file gives one.
        const QString column = QString::fromStdString(d.record.name);
        bool number = false;
        column.toInt(&number);
        m_time->setYTitle(number ? tr("value") : column);
    }
    m_time->setTrace(1, m_outcome.nominalT, m_outcome.nominalY);
    showCheck();

    // The whole record at every height it and its band reach.
    double lo = 0.0, hi = 0.0;
    for (double v : d.record.values) {
        if (v < lo) lo = v;
        if (v > hi) hi = v;
    }
    for (const auto* c : {&m_outcome.lower, &m_outcome.upper}) {
        for (const QPointF& p : *c) lo = std::min(lo, p.y()), hi = std::max(hi, p.y());
    }
    if (!(hi > lo) || !std::isfinite(hi - lo)) lo = -1.0, hi = 1.0;
    const double pad = (hi - lo) * 0.05, s = request.timeScale;
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
    m_time->setView(view);
    emit checked(opened);
    startSpectra();
}

void RecordPane::showCheck() {
    const CheckOutcome& o = m_outcome;
    QStringList figures;
    if (!o.report) {
        m_verdict->setText(tr("Not checked: %1: %2").arg(fieldName(o, source()), o.refusal));
        m_verdict->setStyleSheet(
            QStringLiteral("background: #fff3c4; color: #5a4500; padding: 3px"));
        m_time->setBand(QString(), {}, {});
        m_time->setMark(std::nullopt, QString(), Qt::red);
        m_figures->clear();
        return;
    }
    const CheckReport& r = *o.report;
    m_verdict->setText(QString::fromStdString(checkVerdict(r)));
    m_verdict->setStyleSheet(
        r.pass ? QStringLiteral("background: #dff3e4; color: #0b4a1d; padding: 3px")
               : QStringLiteral("background: #fde2e1; color: #7a0a0a; padding: 3px"));
    m_time->setBand(tr("band"), o.lower, o.upper);
    const BandResult& b = r.band;
    const double s = m_request.timeScale;
    // The band's worst sample: where it failed, or where it came closest.
    m_time->setMark(QPointF(b.worstTimeS, b.worstValue),
                    (b.pass ? tr("closest: %1 at %2 %3") : tr("worst: %1 at %2 %3"))
                        .arg(number(b.worstValue), number(b.worstTimeS * s), m_request.timeUnit),
                    b.pass ? QColor(0x60, 0x60, 0x60) : QColor(0xc0, 0x10, 0x10));

    const QString shape =
        r.pulse.shape == PulseType::TerminalSawtooth ? tr("terminal sawtooth") : tr("half-sine");
    figures << tr("Nominal (the form's values): %1, amplitude %2, %3 s, starting at %4 s")
                   .arg(shape, number(r.pulse.amplitude), number(r.pulse.durationS),
                        number(r.offsetS));
    figures << tr("Band: %1 of %2 samples outside; margin %3 of |A| at %4 s (value %5, limits %6 "
                  "to %7)")
                   .arg(b.samplesOutside)
                   .arg(b.samplesChecked)
                   .arg(number(b.worstMargin), number(b.worstTimeS), number(b.worstValue),
                        number(b.worstLower), number(b.worstUpper));
    figures << tr("Velocity change: %1 against %2, ratio %3 (tolerance %4)")
                   .arg(number(r.velocity.measured), number(r.velocity.nominal),
                        number(r.velocity.ratio), number(r.settings.velocityTolerance));
    if (r.srs) {
        figures << tr("Spectrum: %1 dB at %2 Hz, range %3 to %4 dB")
                       .arg(number(r.srs->worstDb), number(r.srs->worstFrequencyHz),
                            number(r.settings.spectrum->lowDb),
                            number(r.settings.spectrum->highDb));
    } else {
        figures << tr("Spectrum: not checked (no dB range in the check settings)");
    }
    m_figures->setText(figures.join(QLatin1Char('\n')));
}

QString RecordPane::verdictText() const {
    return m_verdict->text();
}

QString RecordPane::figuresText() const {
    return m_figures->text();
}

std::string RecordPane::reportJson() const {
    if (!m_data || !m_outcome.report) return std::string();
    return checkReportJson(*m_outcome.report, m_data->source, m_data->record.name);
}

void RecordPane::saveReport(const QString& path) {
    const std::string json = reportJson();
    if (json.empty()) return;
    FileSink sink(QFile::encodeName(path).toStdString());
    sink.write(json.data(), json.size());
    sink.close();
}

void RecordPane::stopSpectra() {
    for (const SpectraJob& job : m_spectra) job.cancel->store(true);
    if (!m_spectra.empty() && m_srsPoints.empty()) {
        m_srsChart->setTitle(tr("No spectrum: stopped"));
    }
    m_spectra.clear();
}

void RecordPane::abandonSpectra() {
    stopSpectra();
    m_srsPoints.clear();
    for (QLineSeries* s : {m_srsRecord, m_srsNominal, m_dbLower, m_dbUpper}) s->clear();
    m_srsMark->clear();
    m_srsView->setMarker(std::nullopt);
}

void RecordPane::startSpectra() {
    abandonSpectra();
    if (!m_data) return;
    if (m_request.problemInSpectrum) {
        m_srsChart->setTitle(tr("No spectrum: %1").arg(m_request.problem));
        emit spectraReady();
        return;
    }
    SrsPlan plan;
    try {
        plan = planShockSpectrum(m_request.settings.srs, m_data->record.intervalS);
    } catch (const SrsSettingError& e) {
        m_srsChart->setTitle(tr("No spectrum: %1").arg(QString::fromStdString(e.what())));
        emit spectraReady();
        return;
    }
    if (!m_outcome.report) {
        m_srsChart->setTitle(tr("No spectrum: the record is not checked"));
        emit spectraReady();
        return;
    }
    m_srsChart->setTitle(tr("Q %1, %2 Hz to %3 Hz, %4 per octave: computing\u2026")
                             .arg(number(plan.q), number(plan.fromHz), number(plan.toHz))
                             .arg(plan.perOctave));
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<SrsProgress[]> progress(new SrsProgress[2]);
    auto* watcher = new QFutureWatcher<std::vector<SrsPoint>>(this);
    const std::uint64_t generation = m_generation;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation, plan] {
        watcher->deleteLater();
        const bool current =
            !m_spectra.empty() && m_spectra.back().watcher == watcher && generation == m_generation;
        if (!current) return;
        m_spectra.clear();
        std::vector<SrsPoint> both = watcher->result();
        m_srsChart->setTitle(tr("Q %1, %2 Hz to %3 Hz, %4 per octave")
                                 .arg(number(plan.q), number(plan.fromHz), number(plan.toHz))
                                 .arg(plan.perOctave));
        showSpectra(both);
        if (!isBusy()) {
            m_ticker->stop();
            emit idle();
        }
    });
    m_spectra.push_back({cancel, progress, watcher});
    if (!m_ticker->isActive()) {
        m_since.start();
        m_ticker->start();
    }
    // The nominal on the record's own times, started where the check
    // started it, as the check's spectrum compares them.
    watcher->setFuture(
        QtConcurrent::run([data = m_data, plan, cancel, progress, pulse = m_outcome.report->pulse,
                           start = m_outcome.report->offsetIndex] {
            const RecordView view = viewOf(*data);
            std::vector<SrsPoint> got =
                computeShockSpectrum(view.values, plan, 0, cancel.get(), &progress[0]);
            std::vector<double> nominal(view.size());
            const double tau = view.timeAt(start);
            for (std::size_t i = 0; i < nominal.size(); ++i) {
                nominal[i] = nominalAt(pulse, view.timeAt(i) - tau);
            }
            const std::vector<SrsPoint> want =
                computeShockSpectrum(nominal, plan, 0, cancel.get(), &progress[1]);
            got.insert(got.end(), want.begin(), want.end());
            return got;
        }));
}

void RecordPane::showSpectra(const std::vector<SrsPoint>& both) {
    const std::size_t n = both.size() / 2;
    const std::optional<SpectrumTolerance> tolerance = m_request.settings.spectrum;
    QList<QPointF> got, want, lower, upper;
    double lo = INFINITY, hi = 0.0;
    const auto extend = [&](double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    for (std::size_t i = 0; i < n; ++i) {
        const double f = std::log10(both[i].frequencyHz);
        const double g = both[i].maximax, w = both[n + i].maximax;
        if (g > 0 && std::isfinite(g)) got.append({f, std::log10(g)}), extend(g);
        if (w > 0 && std::isfinite(w)) {
            want.append({f, std::log10(w)});
            extend(w);
            if (tolerance) {
                lower.append({f, std::log10(w) + tolerance->lowDb / 20});
                upper.append({f, std::log10(w) + tolerance->highDb / 20});
                extend(w * std::pow(10.0, tolerance->lowDb / 20));
                extend(w * std::pow(10.0, tolerance->highDb / 20));
            }
        }
    }
    if (got.isEmpty() && want.isEmpty()) {
        m_srsChart->setTitle(tr("No spectrum: no system responds"));
        emit spectraReady();
        return;
    }
    m_srsPoints = both;
    m_srsAll[0] = std::log10(both.front().frequencyHz);
    m_srsAll[1] = std::log10(both[n - 1].frequencyHz);
    m_srsAll[2] = std::log10(nice125(lo, false));
    m_srsAll[3] = std::log10(nice125(hi, true));
    if (!(m_srsAll[1] > m_srsAll[0])) m_srsAll[0] -= 0.05, m_srsAll[1] += 0.05;
    if (!(m_srsAll[3] > m_srsAll[2])) m_srsAll[2] -= 0.3, m_srsAll[3] += 0.3;
    setSpectrumRange({m_srsAll[0], m_srsAll[1], m_srsAll[2], m_srsAll[3]});
    m_srsRecord->replace(got);
    m_srsNominal->replace(want);
    m_dbLower->replace(lower);
    m_dbUpper->replace(upper);
    m_dbBand->setVisible(tolerance.has_value());
    for (QLegendMarker* marker : m_srsChart->legend()->markers(m_dbBand)) {
        marker->setVisible(tolerance.has_value());
    }
    // The spectrum check's worst frequency, on the record's curve.
    m_srsMark->clear();
    const CheckReport& r = *m_outcome.report;
    if (r.srs) {
        const QColor c = r.srs->pass ? QColor(0x60, 0x60, 0x60) : QColor(0xc0, 0x10, 0x10);
        QPen pen(c);
        pen.setWidthF(2.0);
        m_srsMark->setPen(pen);
        m_srsMark->setBorderColor(c);
        // Said in the title: the worst frequency is often the last, where a
        // label at the point would be cut off.
        m_srsChart->setTitle(m_srsChart->title() + tr("; marked: %1 dB at %2 Hz")
                                                       .arg(number(r.srs->worstDb, 3),
                                                            number(r.srs->worstFrequencyHz, 4)));
        for (std::size_t i = 0; i < n; ++i) {
            if (both[i].frequencyHz == r.srs->worstFrequencyHz && both[i].maximax > 0) {
                m_srsMark->append(std::log10(both[i].frequencyHz), std::log10(both[i].maximax));
            }
        }
    }
    emit spectraReady();
}

void RecordPane::setSpectrumRange(const ChartRange& r) {
    const QRectF area = m_srsChart->plotArea();
    setLogTicks(m_srsX, r.xlo, r.xhi, area.width() > 0 ? area.width() : 400, 44);
    setLogTicks(m_srsY, r.ylo, r.yhi, area.height() > 0 ? area.height() : 250, 22);
    m_srsView->updateMarker();
}

void RecordPane::readSpectrum(QPointF value) {
    const std::size_t n = m_srsPoints.size() / 2;
    if (n == 0) return;
    const double f = std::pow(10.0, value.x());
    std::size_t best = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (std::fabs(std::log(m_srsPoints[i].frequencyHz / f)) <
            std::fabs(std::log(m_srsPoints[best].frequencyHz / f)))
            best = i;
    }
    const SrsPoint& g = m_srsPoints[best];
    const SrsPoint& w = m_srsPoints[n + best];
    m_srsReadout->setText(tr("%1 Hz:   record %2    nominal %3    %4 dB")
                              .arg(number(g.frequencyHz), number(g.maximax), number(w.maximax),
                                   number(20 * std::log10(g.maximax / w.maximax))));
    if (g.maximax > 0 && std::isfinite(g.maximax)) {
        m_srsView->setMarker(QPointF(std::log10(g.frequencyHz), std::log10(g.maximax)));
    }
}

void RecordPane::showTab(int index) {
    m_tabs->setCurrentIndex(index);
}

QString RecordPane::spectrumTitle() const {
    return m_srsChart->title();
}

}  // namespace korvex
