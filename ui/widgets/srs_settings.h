// The spectrum's settings row (Q, from, to, per octave), under whichever
// spectrum is shown: read as korvex-cli reads them, remembered once they pass.
#pragma once

#include <QWidget>

#include <optional>

#include "analysis/srs.h"

class QLabel;
class QLineEdit;
class QTimer;

namespace korvex {

class SpectrumSettingsRow : public QWidget {
    Q_OBJECT

  public:
    explicit SpectrumSettingsRow(QWidget* parent = nullptr);

    // The texts as settings, or none with `problem` and the edit at fault.
    std::optional<SrsSettings> parse(QString& problem, QLineEdit*& bad) const;
    // As parse, and planned for `intervalS` when given; the edit at fault is
    // marked and the reason shown under the row.
    std::optional<SrsSettings> read(std::optional<double> intervalS);
    // Stores the texts as the next session's.
    void remember();
    // A test plan's settings, as texts that read back as the same numbers.
    void setSettings(const SrsSettings& settings);
    QString message() const;

  signals:
    // Enter, or a pause in typing: the owner applies the settings.
    void applyRequested();

  private:
    QLineEdit* m_q = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QLineEdit* m_perOctave = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_kept = nullptr;
    QTimer* m_timer = nullptr;
};

}  // namespace korvex
