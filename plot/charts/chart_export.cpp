#include "plot/charts/chart_export.h"

#include <QApplication>
#include <QBuffer>
#include <QChart>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QImageWriter>
#include <QInputDialog>
#include <QMessageBox>
#include <QPainter>
#include <QSvgGenerator>

#include <algorithm>

#include "plot/charts/chart_view.h"
#include "plot/plot_text.h"
#include "pulse/file_sink.h"

namespace korvex {

QByteArray renderChart(ChartView* view, bool svg, int width, const QString& title,
                       const std::function<void()>& relayout) {
    QChart* chart = view->chart();
    // Laid out at a fixed size and scaled to the width asked for, so that a
    // large image has text in proportion.
    const QSizeF logical(800, 500);
    const double scale = svg ? 1.0 : std::max(width, 16) / logical.width();
    const QSizeF oldSize = chart->size();
    const QString oldTitle = chart->title();
    const qreal oldOpacity = chart->opacity();
    view->setMarker(std::nullopt);
    chart->setOpacity(1.0);
    chart->setTitle(title);
    chart->resize(logical);
    if (chart->layout() != nullptr) chart->layout()->activate();
    relayout();

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QRectF source = chart->sceneBoundingRect();
    if (svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(logical.toSize());
        generator.setViewBox(QRectF(QPointF(), logical));
        generator.setTitle(title);
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
    relayout();
    return bytes;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    FileSink sink(QFile::encodeName(path).toStdString());
    sink.write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    sink.close();
}

QString withSuffix(QString path, const QString& filter) {
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        const int star = filter.indexOf(QStringLiteral("*."));
        if (star >= 0) path += filter.mid(star + 1, filter.indexOf(QLatin1Char(')')) - star - 1);
    }
    return path;
}

QString askSaveName(QWidget* parent, const QString& caption, const QString& suggested,
                    const QString& filter) {
    return withSuffix(QFileDialog::getSaveFileName(
                          parent, caption, suggested,
                          filter + QStringLiteral(";;") +
                              QApplication::translate("korvex::PreviewPane", "All files (*)")),
                      filter);
}

std::optional<PlotFile> askPlotFile(QWidget* parent, const QString& suggested) {
    const auto tr = [](const char* s) { return QApplication::translate("korvex::PreviewPane", s); };
    const QString png = tr("PNG image (*.png)"), svg = tr("SVG drawing (*.svg)");
    QString filter = png;
    PlotFile file;
    file.path = withSuffix(QFileDialog::getSaveFileName(parent, tr("Save Plot As"), suggested,
                                                        png + ";;" + svg, &filter),
                           filter);
    if (file.path.isEmpty()) return std::nullopt;
    if (!file.path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSettings settings = userSettings();
        bool ok = false;
        file.width = QInputDialog::getInt(
            parent, tr("Save Plot As"), tr("Image width in pixels:"),
            settings.value(QStringLiteral("plot/width"), 1600).toInt(), 200, 10000, 100, &ok);
        if (!ok) return std::nullopt;
        settings.setValue(QStringLiteral("plot/width"), file.width);
    }
    return file;
}

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

}  // namespace korvex
