#include "ui/lab_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <functional>

#include "pulse/number_text.h"
#include "ui/chart_parts.h"

namespace korvex {
namespace {

const QString kBadBorder = QStringLiteral("border: 1px solid #b00020");

QLineEdit* settingEdit(const char* name, const QString& placeholder, const QString& tip,
                       int width = 44) {
    auto* e = new QLineEdit;
    e->setObjectName(QLatin1String(name));
    e->setPlaceholderText(placeholder);
    e->setToolTip(tip);
    e->setFixedWidth(width);
    return e;
}

QLabel* messageLabel() {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #b00020"));
    label->hide();
    return label;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets) {
    auto* line = new QHBoxLayout;
    line->setSpacing(3);
    for (QWidget* w : widgets) line->addWidget(w);
    line->addStretch(1);
    return line;
}

QLabel* text(const QString& s) {
    return new QLabel(s);
}

// Enter applies a setting and goes no further: in the dialog it would
// press Calculate.
class EnterApplies : public QObject {
  public:
    EnterApplies(QObject* parent, std::function<void()> apply)
        : QObject(parent), m_apply(std::move(apply)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_apply();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> m_apply;
};

// Typing waits a moment, so that "1" on the way to "12" starts nothing.
QTimer* pause(QObject* owner) {
    auto* timer = new QTimer(owner);
    timer->setSingleShot(true);
    timer->setInterval(400);
    return timer;
}

// The edit's number, or none when empty; `problem` names it when it does
// not read as one, in korvex-cli's words.
std::optional<double> strict(QLineEdit* e, const QString& name, QString& problem) {
    const std::string t = plain(e);
    if (t.empty()) return std::nullopt;
    const std::optional<double> v = parseStrictNumber(t);
    if (!v && problem.isEmpty()) {
        problem = name + QStringLiteral(": ") + QString::fromStdString(quotedText(t)) +
                  QStringLiteral(" is not a finite decimal number");
        e->setStyleSheet(kBadBorder);
    }
    return v;
}

}  // namespace

ShakerPanel::ShakerPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("shakerPanel"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#shakerPanel { border: 1px solid #c4c4c4; border-radius: 3px }"));
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
    layout->addLayout(row({m_on, m_ratio, text(tr("  amplitude in")), m_unit}));
    layout->addLayout(row({text(tr("Limits: stroke")), m_stroke, text(tr("mm peak to peak,")),
                           text(tr("velocity")), m_velocity, text(tr("m/s"))}));
    layout->addWidget(m_message);

    QSettings s = userSettings();
    m_on->setChecked(s.value(QStringLiteral("shaker/compensation"), false).toBool());
    m_ratio->setText(s.value(QStringLiteral("shaker/ratio"), QStringLiteral("0.2")).toString());
    m_unit->setCurrentIndex(std::clamp(s.value(QStringLiteral("shaker/unit"), 0).toInt(), 0, 2));
    m_stroke->setText(s.value(QStringLiteral("shaker/stroke"), QString()).toString());
    m_velocity->setText(s.value(QStringLiteral("shaker/velocity"), QString()).toString());

    m_timer = pause(this);
    connect(m_timer, &QTimer::timeout, this, &ShakerPanel::apply);
    auto* enter = new EnterApplies(this, [this] { apply(); });
    for (QLineEdit* e : {m_ratio, m_stroke, m_velocity}) {
        connect(e, &QLineEdit::textEdited, m_timer, qOverload<>(&QTimer::start));
        e->installEventFilter(enter);
    }
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
    if (const auto p = strict(m_ratio, tr("Ratio"), problem); p && !(*p > 0 && *p <= 1)) {
        m_ratio->setStyleSheet(kBadBorder);
        problem = tr("Ratio: the ratio must be greater than 0 and at most 1, got %1")
                      .arg(m_ratio->text().trimmed());
    }
    if (!physical) return problem;
    const std::pair<QLineEdit*, QString> limits[] = {{m_stroke, tr("Stroke")},
                                                     {m_velocity, tr("Velocity")}};
    for (const auto& [e, name] : limits) {
        if (const auto v = strict(e, name, problem); v && !(*v > 0) && problem.isEmpty()) {
            e->setStyleSheet(kBadBorder);
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

CheckPanel::CheckPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("checkPanel"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#checkPanel { border: 1px solid #c4c4c4; border-radius: 3px }"));
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
    m_message = messageLabel();

    auto* note =
        new QLabel(tr("This program's starting values, not a standard's: set them "
                      "from your test's requirements."));
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("color: #5a5a5a; font-style: italic"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(2);
    layout->addWidget(note);
    layout->addLayout(row({text(tr("Band B")), m_band, text(tr("\u00d7 |A|,  time F")),
                           m_timeTolerance, text(tr("\u00d7 D"))}));
    layout->addLayout(row({text(tr("Window W1")), m_windowBefore, text(tr("before, W2")),
                           m_windowAfter, text(tr("after, \u00d7 D"))}));
    layout->addLayout(row({text(tr("Velocity change V")), m_velocityTolerance, text(tr("from V1")),
                           m_velocityBefore, text(tr("to V2")), m_velocityAfter}));
    layout->addLayout(row({text(tr("Spectrum within")), m_dbLow, text(tr("to")), m_dbHigh,
                           text(tr("dB")), defaults}));
    layout->addWidget(m_message);

    QSettings s = userSettings();
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        e->setText(s.value(QStringLiteral("check/") + e->objectName(), QString()).toString());
    }
    m_timer = pause(this);
    connect(m_timer, &QTimer::timeout, this, &CheckPanel::apply);
    auto* enter = new EnterApplies(this, [this] { apply(); });
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        connect(e, &QLineEdit::textEdited, m_timer, qOverload<>(&QTimer::start));
        e->installEventFilter(enter);
    }
    connect(defaults, &QPushButton::clicked, this, [this] {
        for (QLineEdit* e : findChildren<QLineEdit*>()) e->clear();
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
        if (const auto v = strict(f.edit, f.name, problem)) s.*f.member = *v;
    }
    const std::optional<double> low = strict(m_dbLow, tr("Spectrum"), problem);
    const std::optional<double> high = strict(m_dbHigh, tr("Spectrum"), problem);
    if (low && high) {
        s.spectrum = SpectrumTolerance{*low, *high};
    } else if ((low || high) && problem.isEmpty()) {
        (low ? m_dbHigh : m_dbLow)->setStyleSheet(kBadBorder);
        problem = tr("Spectrum: give both ends in dB, or neither");
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
    if (QLineEdit* e = editOf(field)) e->setStyleSheet(kBadBorder);
    m_message->setText(reason);
    m_message->setVisible(true);
}

QString CheckPanel::message() const {
    return m_message->isHidden() ? QString() : m_message->text();
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
    }
    emit changed();
}

}  // namespace korvex
