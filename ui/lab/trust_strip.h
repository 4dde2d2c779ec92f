// The strip under the verdict: the warnings on the data, the pulse the
// record achieved with a button that makes it the nominal, and the stepper
// through the shocks of a record that holds several.
#pragma once

#include <QWidget>

#include <cstddef>

#include "pulse/pulse_series.h"
#include "ui/lab/record_trust.h"

class QLabel;
class QPushButton;

namespace korvex {

class TrustStrip : public QWidget {
    Q_OBJECT

  public:
    explicit TrustStrip(QWidget* parent = nullptr);
    void showTrust(const RecordTrust& trust, const TimeUnitText& time);
    void clear();
    QString warnings() const;
    QString achieved() const;
    QString eventText() const;

  signals:
    // The better fit: its shape, amplitude and duration in seconds.
    void useAsNominal(PulseType shape, double amplitude, double durationS);
    void eventChosen(std::size_t event);

  private:
    // The better fit, for Use as Nominal.
    PulseType m_shape = PulseType::HalfSine;
    double m_amplitude = 0.0, m_durationS = 0.0;
    std::size_t m_index = 0, m_count = 0;  // of the shocks, 0 for one
    QLabel *m_warnings = nullptr, *m_achieved = nullptr, *m_event = nullptr;
    QPushButton *m_use = nullptr, *m_previous = nullptr, *m_next = nullptr;
    QWidget* m_stepper = nullptr;
};

}  // namespace korvex
