#include "ui/widgets/srs_settings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

#include "plot/plot_text.h"
#include "pulse/number_text.h"
#include "ui/widgets/setting_rows.h"

namespace korvex {
namespace {

struct Key {
    const char* key;
    const char* fallback;
};
constexpr Key kKeys[] = {
    {"spectrum/q", "10"}, {"spectrum/from", ""}, {"spectrum/to", ""}, {"spectrum/perOctave", "12"}};

}  // namespace

SpectrumSettingsRow::SpectrumSettingsRow(QWidget* parent) : QWidget(parent) {
    auto* grid = new QVBoxLayout(this);
    grid->setContentsMargins(6, 0, 6, 0);
    grid->setSpacing(1);
    // Compact enough for the window's smallest width.
    const auto edit = [](const char* name, const QString& placeholder, int width) {
        return settingEdit(name, placeholder, QString(), width);
    };
    m_q = edit("spectrumQ", QStringLiteral("10"), 38);
    m_from = edit("spectrumFrom", QStringLiteral("10"), 50);
    m_to = edit("spectrumTo", tr("rate/10"), 54);
    m_perOctave = edit("spectrumPerOctave", QStringLiteral("12"), 28);
    m_kept = carriedOverNote();
    QHBoxLayout* line =
        settingRow({rowText(tr("Q")), m_q, rowText(tr("from")), m_from, rowText(tr("to")), m_to,
                    rowText(tr("Hz")), m_perOctave, rowText(tr("per octave")), m_kept});
    grid->addLayout(line);
    m_message = messageLabel();
    grid->addWidget(m_message);

    QSettings settings = userSettings();
    QLineEdit* edits[] = {m_q, m_from, m_to, m_perOctave};
    bool kept = false;
    for (int i = 0; i < 4; ++i) {
        const QString fallback = QLatin1String(kKeys[i].fallback);
        const QString text = settings.value(QLatin1String(kKeys[i].key), fallback).toString();
        edits[i]->setText(text);
        kept = kept || text != fallback;
    }
    m_kept->setVisible(kept);
    read(std::nullopt);

    m_timer = typingPause(this);
    connect(m_timer, &QTimer::timeout, this, &SpectrumSettingsRow::applyRequested);
    for (QLineEdit* e : edits) {
        connect(e, &QLineEdit::textEdited, m_timer, qOverload<>(&QTimer::start));
        connect(e, &QLineEdit::returnPressed, this, [this] {
            m_timer->stop();
            emit applyRequested();
        });
    }
}

void SpectrumSettingsRow::setSettings(const SrsSettings& s) {
    const auto text = [](std::optional<double> v) {
        return v ? QString::fromStdString(shortestText(*v)) : QString();
    };
    m_q->setText(text(s.q));
    m_from->setText(text(s.fromHz));
    m_to->setText(text(s.toHz));
    m_perOctave->setText(text(s.perOctave));
    read(std::nullopt);
}

std::optional<SrsSettings> SpectrumSettingsRow::parse(QString& problem, QLineEdit*& bad) const {
    SrsSettings s;
    // The same words as korvex-cli's, for the same settings.
    const auto read = [&](QLineEdit* e, const QString& name) -> std::optional<double> {
        const std::string text = plain(e);
        if (text.empty() || bad != nullptr) return std::nullopt;
        const std::optional<double> v = parseStrictNumber(text);
        if (!v) {
            bad = e;
            problem = notANumberText(name, text);
        }
        return v;
    };
    if (const auto q = read(m_q, tr("Q"))) s.q = *q;
    s.fromHz = read(m_from, tr("From"));
    s.toHz = read(m_to, tr("To"));
    if (const auto n = read(m_perOctave, tr("Per octave"))) s.perOctave = *n;
    if (bad != nullptr) return std::nullopt;
    return s;
}

std::optional<SrsSettings> SpectrumSettingsRow::read(std::optional<double> intervalS) {
    QString problem;
    QLineEdit* bad = nullptr;
    std::optional<SrsSettings> parsed = parse(problem, bad);
    SrsSettings s = parsed.value_or(SrsSettings{});
    if (bad == nullptr && intervalS) {
        try {
            planShockSpectrum(s, *intervalS);
        } catch (const SrsSettingError& e) {
            const std::pair<QString, QLineEdit*> where[] = {{tr("Q"), m_q},
                                                            {tr("From"), m_from},
                                                            {tr("To"), m_to},
                                                            {tr("Per octave"), m_perOctave},
                                                            {tr("Sample rate"), nullptr},
                                                            {tr("From, to, per octave"), m_from}};
            const auto& [name, edit] = where[static_cast<int>(e.setting())];
            problem = name + QStringLiteral(": ") + QString::fromStdString(e.what());
            bad = edit;
        }
    }
    for (QLineEdit* e : {m_q, m_from, m_to, m_perOctave}) {
        e->setStyleSheet(e == bad ? badBorder() : QString());
    }
    m_message->setText(problem);
    m_message->setVisible(!problem.isEmpty());
    if (!problem.isEmpty()) return std::nullopt;
    return s;
}

void SpectrumSettingsRow::remember() {
    QSettings settings = userSettings();
    QLineEdit* edits[] = {m_q, m_from, m_to, m_perOctave};
    for (int i = 0; i < 4; ++i) {
        settings.setValue(QLatin1String(kKeys[i].key), edits[i]->text().trimmed());
    }
}

QString SpectrumSettingsRow::message() const {
    return m_message->isHidden() ? QString() : m_message->text();
}

}  // namespace korvex
