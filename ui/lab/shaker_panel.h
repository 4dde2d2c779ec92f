// The shaker panel: compensation, the amplitude's unit, and the shaker's
// stroke and velocity limits; read strictly, as korvex-cli reads its options,
// and remembered once they pass.
#pragma once

#include <QWidget>

#include <optional>

#include "analysis/motion.h"

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
    QLabel* m_kept = nullptr;
    QTimer* m_timer = nullptr;
};

}  // namespace korvex
