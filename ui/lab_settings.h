// The pane's two settings panels: the shaker (compensation, amplitude unit,
// stroke and velocity limits) and the check of a record (band, windows,
// velocity change, spectrum). Both read their edits strictly, as korvex-cli
// reads its options, and remember what passes.
#pragma once

#include <QWidget>

#include <optional>

#include "analysis/motion.h"
#include "analysis/tolerance_check.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace korvex {

class ShakerPanel : public QWidget {
    Q_OBJECT

  public:
    explicit ShakerPanel(QWidget* parent = nullptr);

    // None with compensation off; the ratio typed with it on, NaN when the
    // text is not a number (the compensation then says why).
    std::optional<double> ratio() const;
    std::optional<AccelerationUnit> unit() const;
    // Limits that do not pass are left out (infinite), and said so.
    ShakerLimits limits() const;
    // A short summary for the pane's bar: "P 0.2" or "".
    QString summary() const;
    // Shown under the panel's edits until the next change.
    void showProblem(const QString& text);

  signals:
    // A setting changed and passes (after a moment's pause in typing).
    void changed();

  private:
    void apply();
    // Marks the edits that do not pass and says why, or "".
    QString validate();

    QCheckBox* m_on = nullptr;
    QLineEdit* m_ratio = nullptr;
    QComboBox* m_unit = nullptr;
    QLineEdit* m_stroke = nullptr;
    QLineEdit* m_velocity = nullptr;
    QLabel* m_message = nullptr;
    QTimer* m_timer = nullptr;
};

class CheckPanel : public QWidget {
    Q_OBJECT

  public:
    explicit CheckPanel(QWidget* parent = nullptr);

    // The settings typed, empty edits at CheckSettings{}'s values; none
    // while one does not read as a number (said under the edits). The
    // spectrum's own settings are the caller's.
    std::optional<CheckSettings> settings();
    // A setting the check refused, marked, with the check's reason.
    void showRefusal(CheckField field, const QString& reason);
    QString message() const;

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
    QLabel* m_message = nullptr;
    QTimer* m_timer = nullptr;
};

}  // namespace korvex
