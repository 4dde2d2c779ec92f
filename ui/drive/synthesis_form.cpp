#include "ui/drive/synthesis_form.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "plot/plot_text.h"
#include "pulse/number_text.h"
#include "ui/widgets/setting_rows.h"

namespace korvex {
namespace {

struct Remembered {
    const char* key;
    const char* start;  // the program's own value
};
// In the order of the edits in SynthesisForm::edits().
constexpr Remembered kKeys[] = {{"target", "10:10,1000:1000,10000:1000"},
                                {"q", "10"},
                                {"perOctave", "12"},
                                {"tolerance", "1,1"},
                                {"sampleRate", ""},
                                {"duration", ""},
                                {"seed", "1"},
                                {"stroke", ""},
                                {"velocity", ""}};

QString key(const char* name) {
    return QStringLiteral("spectrumTest/") + QLatin1String(name);
}

}  // namespace

SynthesisForm::SynthesisForm(QWidget* parent) : QWidget(parent) {
    framePanel(this, QStringLiteral("synthesisForm"));
    m_target = settingEdit("spectrumTarget", tr("f1:A1,f2:A2,..."),
                           tr("Required maximax acceleration spectrum: breakpoints "
                              "FREQUENCY:LEVEL, log-log between them"),
                           260);
    m_q = settingEdit("spectrumTestQ", QString(), tr("Quality factor Q of the spectrum"), 36);
    m_perOctave = settingEdit("spectrumTestPerOctave", QString(),
                              tr("Wavelets and spectrum frequencies per octave, 1 to 48"), 30);
    m_tolerance = settingEdit("spectrumTolerance", QString(),
                              tr("Band around the target, dB below and above as LOW,HIGH"), 44);
    m_rate = settingEdit("driveSampleRate", tr("Hz"), tr("Samples per second of the drive"), 70);
    m_duration = settingEdit("driveDuration", tr("s"), tr("Length of the drive, s"), 50);
    m_seed = settingEdit("driveSeed", QString(), tr("Seed of the wavelets' delays and signs"), 40);
    m_unit = new QComboBox;
    m_unit->setObjectName(QStringLiteral("driveUnit"));
    m_unit->addItems({tr("own units"), QStringLiteral("g"), QStringLiteral("m/s\u00b2")});
    m_unit->setToolTip(tr("Unit of the levels, for velocity in m/s and displacement in mm"));
    m_stroke = settingEdit("driveStroke", tr("none"), tr("The shaker's stroke, mm peak to peak"));
    m_velocity = settingEdit("driveVelocity", tr("none"), tr("The shaker's velocity limit, m/s"));
    m_message = messageLabel();
    m_kept = carriedOverNote();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(2);
    layout->addLayout(settingRow({rowText(tr("Target")), m_target, rowText(tr("  Q")), m_q,
                                  rowText(tr("per octave")), m_perOctave,
                                  rowText(tr("  tolerance")), m_tolerance, rowText(tr("dB"))}));
    layout->addLayout(
        settingRow({rowText(tr("Drive: rate")), m_rate, rowText(tr("Hz, duration")), m_duration,
                    rowText(tr("s, seed")), m_seed, rowText(tr("  levels in")), m_unit,
                    rowText(tr("  limits: stroke")), m_stroke, rowText(tr("mm, velocity")),
                    m_velocity, rowText(tr("m/s")), m_kept}));
    layout->addWidget(m_message);

    QSettings s = userSettings();
    bool kept = false;
    QLineEdit* all[] = {m_target,   m_q,    m_perOctave, m_tolerance, m_rate,
                        m_duration, m_seed, m_stroke,    m_velocity};
    for (std::size_t i = 0; i < std::size(all); ++i) {
        const QString start = QLatin1String(kKeys[i].start);
        all[i]->setText(s.value(key(kKeys[i].key), start).toString());
        kept |= all[i]->text() != start;
    }
    m_unit->setCurrentIndex(std::clamp(s.value(key("unit"), 0).toInt(), 0, 2));
    kept |= m_unit->currentIndex() != 0;
    m_kept->setVisible(kept);
    for (QLineEdit* e : all) {
        connect(e, &QLineEdit::textEdited, this, [e] { e->setStyleSheet(QString()); });
    }
}

void SynthesisForm::remember() {
    QSettings s = userSettings();
    const QLineEdit* all[] = {m_target,   m_q,    m_perOctave, m_tolerance, m_rate,
                              m_duration, m_seed, m_stroke,    m_velocity};
    for (std::size_t i = 0; i < std::size(all); ++i) {
        s.setValue(key(kKeys[i].key), all[i]->text().trimmed());
    }
    s.setValue(key("unit"), m_unit->currentIndex());
}

void SynthesisForm::showProblem(const QString& text) {
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

std::optional<SpectrumTarget> SynthesisForm::target(QString& problem) {
    try {
        return parseTargetList(plain(m_target));
    } catch (const TargetError& e) {
        m_target->setStyleSheet(badBorder());
        problem = tr("Target: %1").arg(QString::fromStdString(e.what()));
        return std::nullopt;
    }
}

std::optional<DbTolerance> SynthesisForm::tolerance(QString& problem) {
    try {
        return parseTolerance(plain(m_tolerance));
    } catch (const TargetError& e) {
        m_tolerance->setStyleSheet(badBorder());
        problem = tr("Tolerance: %1").arg(QString::fromStdString(e.what()));
        return std::nullopt;
    }
}

double SynthesisForm::q() const {
    return parseStrictNumber(plain(m_q)).value_or(10.0);
}

int SynthesisForm::perOctave() const {
    return static_cast<int>(parseStrictNumber(plain(m_perOctave)).value_or(12.0));
}

std::optional<AccelerationUnit> SynthesisForm::unit() const {
    if (m_unit->currentIndex() == 0) return std::nullopt;
    return m_unit->currentIndex() == 1 ? AccelerationUnit::G : AccelerationUnit::MetersPerSecond2;
}

ShakerLimits SynthesisForm::limits() const {
    ShakerLimits limits;
    if (!unit()) return limits;
    const auto positive = [](QLineEdit* e, double& to) {
        const std::optional<double> v = parseStrictNumber(plain(e));
        if (v && *v > 0) to = *v;
    };
    positive(m_stroke, limits.maxStrokeMm);
    positive(m_velocity, limits.maxVelocityMps);
    return limits;
}

std::optional<SynthesisSettings> SynthesisForm::read(QString& problem) {
    problem.clear();
    SynthesisSettings s;
    const auto t = target(problem);
    const auto band = problem.isEmpty() ? tolerance(problem) : std::nullopt;
    if (!problem.isEmpty()) return std::nullopt;
    s.target = *t;
    s.tolerance = *band;
    const auto required = [&](QLineEdit* e, const QString& name) {
        const std::optional<double> v = strictNumber(e, name, problem);
        if (!v && problem.isEmpty()) {
            e->setStyleSheet(badBorder());
            problem = tr("%1: required").arg(name);
        }
        return v.value_or(NAN);
    };
    // Whole numbers from `low` to `high`, as korvex-cli reads its counts.
    const auto whole = [&](QLineEdit* e, const QString& name, double low, double high) {
        const double v = required(e, name);
        if (problem.isEmpty() && !(v >= low && v <= high && v == std::floor(v))) {
            e->setStyleSheet(badBorder());
            problem = tr("%1: must be a whole number from %2 to %3, got %4")
                          .arg(name, QString::fromStdString(humanText(low)),
                               QString::fromStdString(humanText(high)), e->text().trimmed());
        }
        return v;
    };
    s.q = required(m_q, tr("Q"));
    s.perOctave = static_cast<int>(whole(m_perOctave, tr("Per octave"), 1, 48));
    s.sampleRateHz = required(m_rate, tr("Sample rate"));
    s.durationS = required(m_duration, tr("Duration"));
    s.seed = static_cast<std::uint64_t>(whole(m_seed, tr("Seed"), 0, 0x1p53));
    if (unit()) {
        for (auto [e, name] : {std::pair{m_stroke, tr("Stroke")}, {m_velocity, tr("Velocity")}}) {
            const auto v = strictNumber(e, name, problem);
            if (v && !(*v > 0) && problem.isEmpty()) {
                e->setStyleSheet(badBorder());
                problem = tr("%1: must be greater than 0, got %2").arg(name, e->text().trimmed());
            }
        }
    }
    if (!problem.isEmpty()) return std::nullopt;
    remember();
    return s;
}

void SynthesisForm::openTarget(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showProblem(tr("Target: cannot read %1").arg(path));
        return;
    }
    const QByteArray bytes = file.readAll();
    try {
        const SpectrumTarget t = parseTargetTable(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
            QFile::encodeName(path).toStdString());
        // The list keeps every bit of the file's numbers: the same drive.
        QStringList points;
        for (const TargetBreakpoint& p : t.points) {
            points << QString::fromStdString(shortestText(p.frequencyHz) + ":" +
                                             shortestText(p.level));
        }
        m_target->setText(points.join(QLatin1Char(',')));
        m_target->setStyleSheet(QString());
        showProblem(QString());
    } catch (const TargetError& e) {
        showProblem(tr("Target: %1").arg(QString::fromStdString(e.what())));
    }
}

}  // namespace korvex
