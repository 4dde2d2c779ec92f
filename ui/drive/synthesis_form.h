// The Spectrum Test's settings: the required spectrum (typed as
// "f1:A1,f2:A2,..." or opened from a two-column file), Q, frequencies per
// octave, the band, the drive's rate, length and seed, and the shaker's unit
// and limits; read strictly, as korvex-cli synthesize reads its options, and
// remembered once they pass.
#pragma once

#include <QWidget>

#include <optional>

#include "analysis/motion.h"
#include "analysis/synthesis/synthesis.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace korvex {

class SynthesisForm : public QWidget {
    Q_OBJECT

  public:
    explicit SynthesisForm(QWidget* parent = nullptr);

    // The settings, or none with `problem` saying why in korvex-cli's words
    // (the edit at fault marked). Passing settings are remembered.
    std::optional<SynthesisSettings> read(QString& problem);
    // The band alone, for checking a record when the drive's rate is unset.
    std::optional<SpectrumTarget> target(QString& problem);
    std::optional<DbTolerance> tolerance(QString& problem);
    double q() const;
    int perOctave() const;
    std::optional<AccelerationUnit> unit() const;
    ShakerLimits limits() const;

    // Reads a two-column target file into the target edit, or says why not.
    void openTarget(const QString& path);
    void showProblem(const QString& text);

  private:
    void remember();

    QLineEdit* m_target = nullptr;
    QLineEdit* m_q = nullptr;
    QLineEdit* m_perOctave = nullptr;
    QLineEdit* m_tolerance = nullptr;
    QLineEdit* m_rate = nullptr;
    QLineEdit* m_duration = nullptr;
    QLineEdit* m_seed = nullptr;
    QComboBox* m_unit = nullptr;
    QLineEdit* m_stroke = nullptr;
    QLineEdit* m_velocity = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_kept = nullptr;
};

}  // namespace korvex
