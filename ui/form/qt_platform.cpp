#include "ui/form/qt_platform.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "pulse/file_sink.h"

namespace korvex {

void QtPulsePlatform::messageBox(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    QString::fromLocal8Bit(text), QMessageBox::Ok, m_parent);
    box.setTextFormat(Qt::PlainText);  // a file name is not markup
    box.exec();
}

std::optional<std::string> QtPulsePlatform::askSaveFileName() {
    // Overwrite confirmation is on by default; no filter, no default suffix.
    const QString path = QFileDialog::getSaveFileName(m_parent);
    if (path.isEmpty()) return std::nullopt;
    return QFile::encodeName(path).toStdString();
}

std::unique_ptr<OutputFile> QtPulsePlatform::openOutputFile(const std::string& path) {
    return std::make_unique<FileSink>(path);
}

void QtPulsePlatform::beginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtPulsePlatform::endWaitCursor() {
    QApplication::restoreOverrideCursor();
}

}  // namespace korvex
