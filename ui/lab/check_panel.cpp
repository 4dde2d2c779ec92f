#include "ui/lab/check_panel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "plot/plot_text.h"
#include "pulse/number_text.h"
#include "ui/widgets/setting_rows.h"

namespace korvex {

CheckPanel::CheckPanel(QWidget* parent) : QWidget(parent) {
    framePanel(this, QStringLiteral("checkPanel"));
    const CheckSettings d;
    const auto edit = [](const char* name, double value, const QString& tip) {
        return settingEdit(name, number(value), tip);
    };
    m_band = edit("checkBand", d.band, tr("Band half-width B, a fraction of |A|"));
    m_timeTolerance =
        edit("checkTimeTolerance", d.timeTolerance,
             tr("Time tolerance F, a fraction of the pulse duration: the band is widened in "
                "time by \u00b1F D"));
    m_windowBefore = edit("checkWindowBefore", d.windowBefore,
                          tr("The band is checked from W1 pulse durations before the pulse"));
    m_windowAfter =
        edit("checkWindowAfter", d.windowAfter, tr("... to W2 pulse durations after its end"));
    m_velocityTolerance =
        edit("checkVelocityTolerance", d.velocityTolerance,
             tr("Velocity change tolerance V, a fraction of the nominal velocity change"));
    m_velocityBefore = edit("checkVelocityBefore", d.velocityBefore,
                            tr("The velocity change is summed from V1 pulse durations before"));
    m_velocityAfter =
        edit("checkVelocityAfter", d.velocityAfter, tr("... to V2 pulse durations after the end"));
    m_dbLow = settingEdit("checkDbLow", tr("off"),
                          tr("The record's maximax spectrum at least this many dB from the "
                             "nominal's; empty: the spectrum is not checked"));
    m_dbHigh = settingEdit("checkDbHigh", tr("off"),
                           tr("... and at most this many dB; empty: not checked"));
    auto* defaults = new QPushButton(tr("Defaults"));
    defaults->setObjectName(QStringLiteral("checkDefaults"));
    defaults->setToolTip(tr("Empty every setting: this program's starting values"));
    m_conditionEdits = conditionEdits();
    m_message = messageLabel();

    auto* note =
        new QLabel(tr("This program's starting values, not a standard's: set them "
                      "from your test's requirements."));
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("color: #5a5a5a; font-style: italic"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(2);
    m_kept = carriedOverNote();
    layout->addWidget(note);
    layout->addLayout(settingRow({rowText(tr("Band B")), m_band, rowText(tr("\u00d7 |A|,  time F")),
                                  m_timeTolerance, rowText(tr("\u00d7 D"))}));
    layout->addLayout(
        settingRow({rowText(tr("Window W1")), m_windowBefore, rowText(tr("before, W2")),
                    m_windowAfter, rowText(tr("after, \u00d7 D"))}));
    layout->addLayout(
        settingRow({rowText(tr("Velocity change V")), m_velocityTolerance, rowText(tr("from V1")),
                    m_velocityBefore, rowText(tr("to V2")), m_velocityAfter}));
    layout->addLayout(settingRow({rowText(tr("Spectrum within")), m_dbLow, rowText(tr("to")),
                                  m_dbHigh, rowText(tr("dB")), defaults, m_kept}));
    layout->addLayout(conditionRow(m_conditionEdits));
    layout->addWidget(m_message);

    QSettings s = userSettings();
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        e->setText(s.value(QStringLiteral("check/") + e->objectName(), QString()).toString());
    }
    QComboBox* offset = m_conditionEdits.offset;
    offset->setCurrentIndex(std::max(
        0, offset->findData(s.value(QStringLiteral("check/checkOffset"), QString()).toString())));
    m_timer = typingPause(this);
    connect(m_timer, &QTimer::timeout, this, &CheckPanel::apply);
    bool kept = false;
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        connect(e, &QLineEdit::textEdited, m_timer, qOverload<>(&QTimer::start));
        enterApplies(e, this, [this] { apply(); });
        kept = kept || !e->text().isEmpty();
    }
    m_kept->setVisible(kept || offset->currentIndex() > 0);
    connect(offset, &QComboBox::activated, this, [this] { apply(); });
    connect(m_conditionEdits.lowPass, &QComboBox::activated, this, [this] { apply(); });
    connect(defaults, &QPushButton::clicked, this, [this] {
        for (QLineEdit* e : findChildren<QLineEdit*>()) e->clear();
        m_conditionEdits.offset->setCurrentIndex(0);
        m_kept->hide();
        apply();
    });
    settings();
}

std::optional<CheckSettings> CheckPanel::settings() {
    CheckSettings s;
    QString problem;
    for (QLineEdit* e : findChildren<QLineEdit*>()) e->setStyleSheet(QString());
    const struct {
        QLineEdit* edit;
        QString name;
        double CheckSettings::*member;
    } fields[] = {{m_band, tr("Band B"), &CheckSettings::band},
                  {m_timeTolerance, tr("Time tolerance F"), &CheckSettings::timeTolerance},
                  {m_windowBefore, tr("Window W1"), &CheckSettings::windowBefore},
                  {m_windowAfter, tr("Window W2"), &CheckSettings::windowAfter},
                  {m_velocityTolerance, tr("Velocity change V"), &CheckSettings::velocityTolerance},
                  {m_velocityBefore, tr("Velocity window V1"), &CheckSettings::velocityBefore},
                  {m_velocityAfter, tr("Velocity window V2"), &CheckSettings::velocityAfter}};
    for (const auto& f : fields) {
        if (const auto v = strictNumber(f.edit, f.name, problem)) s.*f.member = *v;
    }
    const std::optional<double> low = strictNumber(m_dbLow, tr("Spectrum"), problem);
    const std::optional<double> high = strictNumber(m_dbHigh, tr("Spectrum"), problem);
    if (low && high) {
        s.spectrum = SpectrumTolerance{*low, *high};
    } else if ((low || high) && problem.isEmpty()) {
        (low ? m_dbHigh : m_dbLow)->setStyleSheet(badBorder());
        problem = tr("Spectrum: give both ends in dB, or neither");
    }
    if (const std::optional<ConditionSettings> c = readCondition(m_conditionEdits, problem)) {
        m_condition = *c;
    }
    m_message->setText(problem);
    m_message->setVisible(!problem.isEmpty());
    if (!problem.isEmpty()) return std::nullopt;
    return s;
}

QLineEdit* CheckPanel::editOf(CheckField field) const {
    switch (field) {
        case CheckField::Band:
            return m_band;
        case CheckField::TimeTolerance:
            return m_timeTolerance;
        case CheckField::WindowBefore:
            return m_windowBefore;
        case CheckField::WindowAfter:
            return m_windowAfter;
        case CheckField::VelocityTolerance:
            return m_velocityTolerance;
        case CheckField::VelocityBefore:
            return m_velocityBefore;
        case CheckField::VelocityAfter:
            return m_velocityAfter;
        case CheckField::Spectrum:
            return m_dbLow;
        default:
            return nullptr;
    }
}

void CheckPanel::showRefusal(CheckField field, const QString& reason) {
    if (QLineEdit* e = editOf(field)) e->setStyleSheet(badBorder());
    m_message->setText(reason);
    m_message->setVisible(true);
}

QString CheckPanel::message() const {
    return m_message->isHidden() ? QString() : m_message->text();
}

void CheckPanel::setSettings(const CheckSettings& s) {
    const auto text = [](std::optional<double> v) {
        return v ? QString::fromStdString(shortestText(*v)) : QString();
    };
    m_band->setText(text(s.band));
    m_timeTolerance->setText(text(s.timeTolerance));
    m_windowBefore->setText(text(s.windowBefore));
    m_windowAfter->setText(text(s.windowAfter));
    m_velocityTolerance->setText(text(s.velocityTolerance));
    m_velocityBefore->setText(text(s.velocityBefore));
    m_velocityAfter->setText(text(s.velocityAfter));
    m_dbLow->setText(text(s.spectrum ? std::optional(s.spectrum->lowDb) : std::nullopt));
    m_dbHigh->setText(text(s.spectrum ? std::optional(s.spectrum->highDb) : std::nullopt));
    m_kept->hide();  // the plan's, not the last session's
    apply();
}

void CheckPanel::apply() {
    m_timer->stop();
    // Settings that do not pass are not remembered, but a record shown
    // must say it is no longer checked with what the panel shows.
    if (settings()) {
        QSettings s = userSettings();
        for (QLineEdit* e : findChildren<QLineEdit*>()) {
            s.setValue(QStringLiteral("check/") + e->objectName(), e->text().trimmed());
        }
        s.setValue(QStringLiteral("check/checkOffset"), m_conditionEdits.offset->currentData());
    }
    emit changed();
}

}  // namespace korvex
