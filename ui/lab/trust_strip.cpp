#include "ui/lab/trust_strip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvex {

TrustStrip::TrustStrip(QWidget* parent) : QWidget(parent) {
    m_warnings = new QLabel;
    m_warnings->setObjectName(QStringLiteral("dataWarnings"));
    m_warnings->setTextFormat(Qt::PlainText);
    m_warnings->setWordWrap(true);
    m_warnings->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_warnings->setStyleSheet(QStringLiteral("background: #fff3c4; color: #5a4500; padding: 3px"));
    m_achieved = new QLabel;
    m_achieved->setObjectName(QStringLiteral("achievedPulse"));
    m_achieved->setTextFormat(Qt::PlainText);
    m_achieved->setWordWrap(true);
    m_achieved->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_use = new QPushButton(tr("Use as Nominal"));
    m_use->setObjectName(QStringLiteral("useAsNominal"));
    m_use->setToolTip(tr("Put the better fit's shape, amplitude and duration in the form"));
    connect(m_use, &QPushButton::clicked, this,
            [this] { emit useAsNominal(m_shape, m_amplitude, m_durationS); });

    m_previous = new QPushButton(tr("Previous"));
    m_previous->setObjectName(QStringLiteral("previousEvent"));
    m_next = new QPushButton(tr("Next"));
    m_next->setObjectName(QStringLiteral("nextEvent"));
    m_event = new QLabel;
    m_event->setObjectName(QStringLiteral("eventNumber"));
    m_event->setToolTip(
        tr("The record holds several shocks: the check, figures and spectra are "
           "of this one"));
    connect(m_previous, &QPushButton::clicked, this, [this] {
        if (m_index > 0) emit eventChosen(m_index - 1);
    });
    connect(m_next, &QPushButton::clicked, this, [this] {
        if (m_index + 1 < m_count) emit eventChosen(m_index + 1);
    });
    m_stepper = new QWidget;
    auto* step = new QHBoxLayout(m_stepper);
    step->setContentsMargins(6, 0, 6, 0);
    step->addWidget(m_previous);
    step->addWidget(m_event);
    step->addWidget(m_next);
    step->addStretch(1);

    auto* line = new QHBoxLayout;
    line->setContentsMargins(6, 0, 6, 0);
    line->addWidget(m_achieved, 1);
    line->addWidget(m_use);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_stepper);
    layout->addWidget(m_warnings);
    layout->addLayout(line);
    clear();
}

void TrustStrip::showTrust(const RecordTrust& trust, const TimeUnitText& time) {
    const QString warnings = warningsText(trust);
    m_warnings->setText(warnings);
    m_warnings->setVisible(!warnings.isEmpty());
    m_achieved->setText(achievedText(trust, time));
    m_achieved->setToolTip(m_achieved->text());
    const PulseFit* fit = betterFit(trust, &m_shape);
    m_use->setEnabled(fit != nullptr);
    if (fit != nullptr) {
        m_amplitude = fit->amplitude;
        m_durationS = fit->durationS;
    }
    m_count = trust.events.size() > 1 ? trust.events.size() : 0;
    m_index = trust.event;
    m_stepper->setVisible(m_count > 1);
    m_event->setText(tr("Event %1 of %2").arg(m_index + 1).arg(m_count));
    m_previous->setEnabled(m_index > 0);
    m_next->setEnabled(m_index + 1 < m_count);
}

void TrustStrip::clear() {
    m_warnings->clear();
    m_warnings->hide();
    m_achieved->clear();
    m_use->setEnabled(false);
    m_count = m_index = 0;
    m_stepper->hide();
}

QString TrustStrip::warnings() const {
    return m_warnings->text();
}

QString TrustStrip::achieved() const {
    return m_achieved->text();
}

QString TrustStrip::eventText() const {
    return m_stepper->isVisible() || m_count > 1 ? m_event->text() : QString();
}

}  // namespace korvex
