// The nominal pulse in and out of the form: read by the form's own rules,
// and typed in for a test plan or an achieved pulse, as a person would.
#include <QLineEdit>
#include <QListWidget>

#include "plot/plot_text.h"
#include "pulse/number_text.h"
#include "ui/form/pulse_dialog.h"

namespace korvex {

NominalPulse CPulseDlg::nominalPulse() {
    NominalPulse n;
    n.unit = timeUnitIndex() == 1 ? TimeUnit::Seconds : TimeUnit::Milliseconds;
    n.pulse.shape = static_cast<PulseType>(pulseTypeIndex());
    n.pulse.amplitude = parseLeadingNumber(amplitudeText());
    n.duration = parseLeadingNumber(pulseDurationText());
    n.pulse.durationS = n.duration * (n.unit == TimeUnit::Milliseconds ? 0.001 : 1.0);
    return n;
}

void CPulseDlg::setNominalPulse(PulseType shape, double amplitude, double durationS) {
    m_pulseType->setCurrentRow(static_cast<int>(shape));
    m_amplitude->setText(number(amplitude, 4));
    const double scale = timeUnitIndex() == 1 ? 1.0 : 1000.0;
    m_pulseDuration->setText(number(durationS * scale, 4));
}

void CPulseDlg::setNominal(PulseType shape, std::optional<double> amplitude,
                           std::optional<double> duration, TimeUnit unit) {
    m_pulseType->setCurrentRow(shape == PulseType::HalfSine ? 0 : 1);
    m_timeUnit->setCurrentRow(unit == TimeUnit::Seconds ? 1 : 0);
    if (amplitude) m_amplitude->setText(QString::fromStdString(shortestText(*amplitude)));
    if (duration) m_pulseDuration->setText(QString::fromStdString(shortestText(*duration)));
}

}  // namespace korvex
