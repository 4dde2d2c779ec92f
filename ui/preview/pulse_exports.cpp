// The pulse pane's exports: plots, the spectrum table, the visible data and
// figures for the clipboard, and the charts' context menu.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QValueAxis>

#include <cmath>
#include <span>

#include "analysis/pulse_figures.h"
#include "analysis/series_reduction.h"
#include "analysis/srs_table.h"
#include "plot/charts/chart_export.h"
#include "plot/charts/srs_chart.h"
#include "plot/charts/trace_chart.h"
#include "pulse/file_target.h"
#include "pulse/number_text.h"
#include "ui/preview/preview_pane.h"
#include "ui/preview/pulse_text.h"

namespace korvex {

QString PreviewPane::pulseTitle() const {
    return pulseTitleText(m_params, computePulseFigures(*m_series, m_params), shownCompensation(),
                          m_unit);
}

void PreviewPane::savePlot(ChartView* view, const QString& path, int width) {
    if (m_series == nullptr) return;
    const bool svg = path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
    const bool spectrum = view == spectrumView();
    // One line: not every program that reads SVG breaks a title's lines.
    const QString title =
        spectrum ? pulseTitle() + QStringLiteral("; ") + view->chart()->title() : pulseTitle();
    const QByteArray bytes = renderChart(view, svg, width, title, [this, spectrum] {
        if (spectrum) {
            m_srs->relayout();
        } else {
            m_time->setView(m_time->view()->range());
        }
    });
    writeBytes(path, bytes);
}

void PreviewPane::saveSpectrum(const QString& path) {
    if (m_points.empty()) return;
    const std::string table = formatSrsTable(m_plan, m_points);
    writeBytes(path, QByteArray::fromRawData(table.data(), static_cast<qsizetype>(table.size())));
}

QString PreviewPane::visibleDataText(const ChartView* view) const {
    std::string text;
    const ChartRange r = view->range();
    if (view == timeHistoryView() && m_series != nullptr) {
        const auto n = static_cast<std::size_t>(std::max(m_series->count, 0));
        const std::span<const double> t(m_series->time.data(), n);
        const SampleRange in = visibleSamples(t, r.xlo / m_unit.scale, r.xhi / m_unit.scale);
        text = "time_" + m_unit.name.toStdString() + "\tamplitude\n";
        text.reserve(text.size() + (in.end - in.begin) * 32);
        for (std::size_t i = in.begin; i < in.end; ++i) {
            // Times in the chart's unit to 15 digits: seconds x 1000 is not
            // always the millisecond the rate gave.
            text += humanText(t[i] * m_unit.scale, 15);
            text += '\t';
            text += shortestText(m_series->amplitude[i]);
            text += '\n';
        }
    } else if (view == spectrumView() && !m_points.empty()) {
        const double lo = std::pow(10.0, r.xlo), hi = std::pow(10.0, r.xhi);
        text = "frequency_hz\tpositive\tnegative\tmaximax\n";
        for (const SrsPoint& p : m_points) {
            if (p.frequencyHz < lo * (1 - 1e-9) || p.frequencyHz > hi * (1 + 1e-9)) continue;
            text += shortestText(p.frequencyHz);
            for (double v : {p.positive, p.negative, p.maximax}) {
                text += '\t';
                text += shortestText(v);
            }
            text += '\n';
        }
    }
    return QString::fromStdString(text);
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
        ->setEnabled(view == spectrumView() ? !m_points.empty() : m_series != nullptr);
    menu.addAction(tr("Copy Figures"), this,
                   [this] { QApplication::clipboard()->setText(figuresText()); });
    menu.exec(view->mapToGlobal(pos));
}

void PreviewPane::askSavePlot(ChartView* view) {
    const std::optional<PlotFile> file =
        askPlotFile(this, view == spectrumView() ? QStringLiteral("shock-spectrum.png")
                                                 : QStringLiteral("pulse.png"));
    if (!file) return;
    try {
        savePlot(view, file->path, file->width);
    } catch (const FileError& e) {
        reportUnsaved(this, tr("plot"), e);
    }
}

void PreviewPane::askSaveSpectrum() {
    const QString path = askSaveName(this, tr("Save Spectrum As"), QStringLiteral("srs.txt"),
                                     tr("Text table (*.txt)"));
    if (path.isEmpty()) return;
    try {
        saveSpectrum(path);
    } catch (const FileError& e) {
        reportUnsaved(this, tr("spectrum"), e);
    }
}

}  // namespace korvex
