// Which columns of a text record to read, and in what time unit: decided by
// the file's first lines where they can, else asked in a small dialog.
#pragma once

#include <QDialog>
#include <QStringList>

#include <optional>
#include <string_view>

#include "analysis/record_reader.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvex {

// The first line that is not blank or a comment, as the reader splits it.
struct RecordLayout {
    int columns = 0;                           // 0: nothing the reader could use
    QStringList names;                         // the header's, empty without a header line
    bool ownFormat = false;                    // korvex's own time-history lines: seconds
    std::optional<RecordTimeUnit> headerUnit;  // what the time column's name says
    QString firstLine;                         // for the dialog
};

RecordLayout peekRecordLayout(std::string_view head);

// The options when the layout leaves nothing open: two columns, time and
// value, whose time unit the format or the header's name gives; else none.
std::optional<ReadOptions> decidedOptions(const RecordLayout& layout);

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
