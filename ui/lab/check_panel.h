// The check panel: the settings a record is checked with (band, windows,
// velocity change, spectrum range) and how the record is conditioned first;
// read strictly, as korvex-cli reads its options, and remembered once they pass.
#pragma once

#include <QWidget>

#include <optional>

#include "analysis/tolerance_check.h"
#include "ui/widgets/condition_settings.h"

class QLabel;
class QLineEdit;
class QTimer;

namespace korvex {

class CheckPanel : public QWidget {
    Q_OBJECT

  public:
    explicit CheckPanel(QWidget* parent = nullptr);

    // The settings typed, empty edits at CheckSettings{}'s values; none
    // while one does not read as a number (said under the edits). The
    // spectrum's own settings are the caller's.
    std::optional<CheckSettings> settings();
    // The conditioning as last read by settings().
    const ConditionSettings& condition() const { return m_condition; }
    // A setting the check refused, marked, with the check's reason.
    void showRefusal(CheckField field, const QString& reason);
    QString message() const;
    // A test plan's settings, as texts that read back as the same numbers;
    // applied at once.
    void setSettings(const CheckSettings& settings);

  signals:
    void changed();

  private:
    void apply();
    QLineEdit* editOf(CheckField field) const;

    QLineEdit* m_band = nullptr;
    QLineEdit* m_timeTolerance = nullptr;
    QLineEdit* m_windowBefore = nullptr;
    QLineEdit* m_windowAfter = nullptr;
    QLineEdit* m_velocityTolerance = nullptr;
    QLineEdit* m_velocityBefore = nullptr;
    QLineEdit* m_velocityAfter = nullptr;
    QLineEdit* m_dbLow = nullptr;
    QLineEdit* m_dbHigh = nullptr;
    ConditionEdits m_conditionEdits;
    ConditionSettings m_condition;
    QLabel* m_message = nullptr;
    QLabel* m_kept = nullptr;
    QTimer* m_timer = nullptr;
};

}  // namespace korvex
