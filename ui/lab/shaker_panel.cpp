#include "ui/lab/shaker_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "plot/plot_text.h"
#include "pulse/number_text.h"
#include "ui/widgets/setting_rows.h"

namespace korvex {

ShakerPanel::ShakerPanel(QWidget* parent) : QWidget(parent) {
    framePanel(this, QStringLiteral("shakerPanel"));
    m_on = new QCheckBox(tr("Compensation, ratio P"));
    m_on->setObjectName(QStringLiteral("shakerCompensation"));
    m_on->setToolTip(
        tr("Half-sines of P times the peak before and after the pulse, so that the table "
           "ends at rest and in place"));
    m_ratio = settingEdit("shakerRatio", QString(), tr("0 < P <= 1"), 40);
    m_unit = new QComboBox;
    m_unit->setObjectName(QStringLiteral("shakerUnit"));
    m_unit->addItems({tr("own units"), QStringLiteral("g"), QStringLiteral("m/s\u00b2")});
    m_unit->setToolTip(tr("Unit of the amplitude, for velocity in m/s and displacement in mm"));
    m_stroke = settingEdit("shakerStroke", tr("none"), tr("The shaker's stroke, mm peak to peak"));
    m_velocity = settingEdit("shakerVelocity", tr("none"), tr("The shaker's velocity limit, m/s"));
    m_message = messageLabel();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(2);
    m_kept = carriedOverNote();
    layout->addLayout(settingRow({m_on, m_ratio, rowText(tr("  amplitude in")), m_unit, m_kept}));
    layout->addLayout(
        settingRow({rowText(tr("Limits: stroke")), m_stroke, rowText(tr("mm peak to peak,")),
                    rowText(tr("velocity")), m_velocity, rowText(tr("m/s"))}));
    layout->addWidget(m_message);

    QSettings s = userSettings();
    m_on->setChecked(s.value(QStringLiteral("shaker/compensation"), false).toBool());
    m_ratio->setText(s.value(QStringLiteral("shaker/ratio"), QStringLiteral("0.2")).toString());
    m_unit->setCurrentIndex(std::clamp(s.value(QStringLiteral("shaker/unit"), 0).toInt(), 0, 2));
    m_stroke->setText(s.value(QStringLiteral("shaker/stroke"), QString()).toString());
    m_velocity->setText(s.value(QStringLiteral("shaker/velocity"), QString()).toString());

    m_timer = typingPause(this);
    connect(m_timer, &QTimer::timeout, this, &ShakerPanel::apply);
    for (QLineEdit* e : {m_ratio, m_stroke, m_velocity}) {
        connect(e, &QLineEdit::textEdited, m_timer, qOverload<>(&QTimer::start));
        enterApplies(e, this, [this] { apply(); });
    }
    // Anything but the program's own starting values came from the last session.
    m_kept->setVisible(m_on->isChecked() || m_ratio->text() != QStringLiteral("0.2") ||
                       m_unit->currentIndex() != 0 || !m_stroke->text().isEmpty() ||
                       !m_velocity->text().isEmpty());
    connect(m_on, &QCheckBox::toggled, this, &ShakerPanel::apply);
    connect(m_unit, &QComboBox::currentIndexChanged, this, &ShakerPanel::apply);
    showProblem(validate());
}

std::optional<double> ShakerPanel::ratio() const {
    if (!m_on->isChecked()) return std::nullopt;
    return parseStrictNumber(plain(m_ratio)).value_or(NAN);
}

std::optional<AccelerationUnit> ShakerPanel::unit() const {
    switch (m_unit->currentIndex()) {
        case 1:
            return AccelerationUnit::G;
        case 2:
            return AccelerationUnit::MetersPerSecond2;
        default:
            return std::nullopt;
    }
}

ShakerLimits ShakerPanel::limits() const {
    ShakerLimits limits;
    if (!unit()) return limits;
    const auto positive = [](QLineEdit* e, double& target) {
        const std::optional<double> v = parseStrictNumber(plain(e));
        if (v && *v > 0) target = *v;
    };
    positive(m_stroke, limits.maxStrokeMm);
    positive(m_velocity, limits.maxVelocityMps);
    return limits;
}

QString ShakerPanel::summary() const {
    const std::optional<double> p = ratio();
    if (!p) return QString();
    return std::isnan(*p) ? tr("P ?") : tr("P %1").arg(number(*p));
}

QString ShakerPanel::validate() {
    QString problem;
    for (QLineEdit* e : {m_ratio, m_stroke, m_velocity}) e->setStyleSheet(QString());
    const bool physical = unit().has_value();
    m_stroke->setEnabled(physical);
    m_velocity->setEnabled(physical);
    if (const auto p = strictNumber(m_ratio, tr("Ratio"), problem); p && !(*p > 0 && *p <= 1)) {
        m_ratio->setStyleSheet(badBorder());
        problem = tr("Ratio: the ratio must be greater than 0 and at most 1, got %1")
                      .arg(m_ratio->text().trimmed());
    }
    if (!physical) return problem;
    const std::pair<QLineEdit*, QString> limits[] = {{m_stroke, tr("Stroke")},
                                                     {m_velocity, tr("Velocity")}};
    for (const auto& [e, name] : limits) {
        if (const auto v = strictNumber(e, name, problem); v && !(*v > 0) && problem.isEmpty()) {
            e->setStyleSheet(badBorder());
            problem = tr("%1: must be greater than 0, got %2").arg(name, e->text().trimmed());
        }
    }
    return problem;
}

void ShakerPanel::showProblem(const QString& text) {
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

void ShakerPanel::apply() {
    m_timer->stop();
    const QString why = validate();
    showProblem(why);
    if (!why.isEmpty()) return;
    QSettings s = userSettings();
    s.setValue(QStringLiteral("shaker/compensation"), m_on->isChecked());
    s.setValue(QStringLiteral("shaker/ratio"), m_ratio->text().trimmed());
    s.setValue(QStringLiteral("shaker/unit"), m_unit->currentIndex());
    s.setValue(QStringLiteral("shaker/stroke"), m_stroke->text().trimmed());
    s.setValue(QStringLiteral("shaker/velocity"), m_velocity->text().trimmed());
    emit changed();
}

}  // namespace korvex
