// What the window asks before reading a file that is not plain text columns
// (a LabVIEW, scope CSV, MAT or WAV file): the questions its format's sniff
// leaves open, worded with the window's own labels, and the Open filter.
#pragma once

#include <QDialog>
#include <QString>

#include <map>
#include <string>
#include <vector>

#include "analysis/record/record_error.h"
#include "analysis/record_reader.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvex {

// The label a setting has in the window's dialogs ("Sample rate (Hz)"); a
// reader's message names settings so (RecordError::messageWith).
std::string windowSettingLabel(ReadSetting setting);

// The Open Record filter: one entry a format, with its patterns; then all
// records, then all files.
QString recordFilter();

// One field a question; blank keeps the reader's default.
class ReadQuestionsDialog : public QDialog {
    Q_OBJECT

  public:
    ReadQuestionsDialog(const QString& fileName, const QString& formatTitle,
                        const std::vector<ReadSetting>& questions, QWidget* parent = nullptr);
    ReadOptions options() const;

  private:
    void update();

    std::map<ReadSetting, QLineEdit*> m_fields;
    QLabel* m_problem = nullptr;
    QPushButton* m_open = nullptr;
};

}  // namespace korvex
