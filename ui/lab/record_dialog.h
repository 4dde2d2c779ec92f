// Which columns of a text record to read, and in what time unit: decided by
// the file's first lines where they can, else asked in a small dialog.
#pragma once

#include <QDialog>

#include <optional>

#include "ui/lab/record_layout.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvex {

// Asks for the value column, the time column (or none and a rate) and the
// time unit, starting from the last choices that fit this file.
class RecordDialog : public QDialog {
    Q_OBJECT

  public:
    RecordDialog(const QString& fileName, const RecordLayout& layout, QWidget* parent = nullptr);
    ReadOptions options() const;

  private:
    void update();

    RecordLayout m_layout;
    QComboBox* m_value = nullptr;
    QComboBox* m_time = nullptr;
    QButtonGroup* m_unit = nullptr;
    QLineEdit* m_rate = nullptr;
    QLabel* m_problem = nullptr;
    QPushButton* m_open = nullptr;
};

}  // namespace korvex
