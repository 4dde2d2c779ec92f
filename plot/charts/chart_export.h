// Saving what a chart shows: the plot as a PNG image or SVG drawing, files
// replaced only once every byte is stored, and the dialogs that ask for them.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace korvex {

class ChartView;
class FileError;

// The chart laid out at a fixed size with `title` and scaled to `width`
// pixels (PNG), or as an SVG drawing; `relayout` redraws it for the size it
// has at each moment, so that a reduction is made for the image's columns.
QByteArray renderChart(ChartView* view, bool svg, int width, const QString& title,
                       const std::function<void()>& relayout);

// Writes `bytes` safely: an existing file is replaced only once every byte
// is stored. Throws FileError.
void writeBytes(const QString& path, const QByteArray& bytes);

// The chosen name, with the suffix of the chosen type when it has none.
QString withSuffix(QString path, const QString& filter);

// A file chosen with Save As, with `filter` (one type); "" when cancelled.
QString askSaveName(QWidget* parent, const QString& caption, const QString& suggested,
                    const QString& filter);

// Asks for an image or drawing name and, for an image, its width in pixels.
struct PlotFile {
    QString path;
    int width = 0;  // 0 for SVG
};
std::optional<PlotFile> askPlotFile(QWidget* parent, const QString& suggested);

// "The <what> could not be saved", with the reason and what was left.
void reportUnsaved(QWidget* parent, const QString& what, const FileError& e);

}  // namespace korvex
