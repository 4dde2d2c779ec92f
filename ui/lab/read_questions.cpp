#include "ui/lab/read_questions.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <optional>

#include "analysis/record/record_format.h"
#include "plot/plot_text.h"
#include "pulse/number_text.h"

namespace korvex {

std::string windowSettingLabel(ReadSetting setting) {
    switch (setting) {
        case ReadSetting::ValueColumn:
            return "Value column";
        case ReadSetting::TimeColumn:
            return "Time column";
        case ReadSetting::TimeUnit:
            return "Time unit";
        case ReadSetting::Rate:
            return "Sample rate (Hz)";
        case ReadSetting::Segment:
            return "Segment";
        case ReadSetting::RateVariable:
            return "Rate variable";
        case ReadSetting::Scale:
            return "Scale";
        case ReadSetting::UnitLabel:
            return "Unit";
        default:
            return settingName(setting);
    }
}

QString recordFilter() {
    QStringList entries;
    QStringList all;
    for (const RecordFormat* f : recordFormats()) {
        QStringList patterns;
        for (std::string_view p : f->patterns()) {
            const QString q = QString::fromUtf8(p.data(), static_cast<qsizetype>(p.size()));
            patterns << q;
            if (!all.contains(q)) all << q;
        }
        if (patterns.isEmpty()) continue;
        const std::string_view title = f->title();
        entries << QStringLiteral("%1 (%2)").arg(
            QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
            patterns.join(QLatin1Char(' ')));
    }
    entries.prepend(QObject::tr("All records (%1)").arg(all.join(QLatin1Char(' '))));
    entries << QObject::tr("All files (*)");
    return entries.join(QStringLiteral(";;"));
}

namespace {

QString hint(ReadSetting s) {
    switch (s) {
        case ReadSetting::ValueColumn:
            return QObject::tr("channel number or name; blank: the first");
        case ReadSetting::Segment:
            return QObject::tr("number from 1; blank: the first");
        case ReadSetting::RateVariable:
            return QObject::tr("variable holding the rate or interval");
        case ReadSetting::Rate:
            return QObject::tr("samples per second");
        case ReadSetting::Scale:
            return QObject::tr("factor on the stored values; blank: 1");
        case ReadSetting::UnitLabel:
            return QObject::tr("the values' unit, e.g. g");
        default:
            return QString();
    }
}

bool isNumberSetting(ReadSetting s) {
    return s == ReadSetting::Rate || s == ReadSetting::Scale;
}

}  // namespace

ReadQuestionsDialog::ReadQuestionsDialog(const QString& fileName, const QString& formatTitle,
                                         const std::vector<ReadSetting>& questions, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Open Record"));
    auto* about = new QLabel(tr("%1 (%2)").arg(fileName, formatTitle));
    about->setWordWrap(true);
    auto* form = new QFormLayout;
    // Where a rate variable is asked, a rate typed in serves as well.
    std::vector<ReadSetting> asked = questions;
    if (std::find(asked.begin(), asked.end(), ReadSetting::RateVariable) != asked.end() &&
        std::find(asked.begin(), asked.end(), ReadSetting::Rate) == asked.end()) {
        asked.push_back(ReadSetting::Rate);
    }
    for (const ReadSetting s : asked) {
        if (m_fields.count(s) != 0) continue;
        auto* field = new QLineEdit;
        // "read_sample_rate": the reader's own name for the setting.
        field->setObjectName(
            QString::fromStdString("read_" + settingName(s)).replace(QLatin1Char(' '), '_'));
        field->setPlaceholderText(hint(s));
        field->setMinimumWidth(280);  // room for the hint
        form->addRow(QString::fromStdString(windowSettingLabel(s)), field);
        m_fields[s] = field;
        connect(field, &QLineEdit::textChanged, this, &ReadQuestionsDialog::update);
    }
    m_problem = new QLabel;
    m_problem->setStyleSheet(QStringLiteral("color: #b00020"));
    m_problem->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
    m_open = buttons->button(QDialogButtonBox::Open);
    m_open->setObjectName(QStringLiteral("readOpen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* box = new QVBoxLayout(this);
    box->addWidget(about);
    box->addLayout(form);
    box->addWidget(m_problem);
    box->addWidget(buttons);
    update();
}

void ReadQuestionsDialog::update() {
    QString problem;
    for (const auto& [s, field] : m_fields) {
        const QString text = field->text().trimmed();
        if (!isNumberSetting(s) || text.isEmpty()) continue;
        const std::optional<double> v = parseStrictNumber(plain(field));
        // As korvex-cli: a rate above 0, a scale other than 0.
        const bool rate = s == ReadSetting::Rate;
        if (!v || !std::isfinite(*v) || (rate ? !(*v > 0) : *v == 0)) {
            problem =
                (rate ? tr("%1: give a number above 0.") : tr("%1: give a number other than 0."))
                    .arg(QString::fromStdString(windowSettingLabel(s)));
            break;
        }
    }
    const auto given = [&](ReadSetting s) {
        const auto it = m_fields.find(s);
        return it != m_fields.end() && !it->second->text().trimmed().isEmpty();
    };
    if (problem.isEmpty() && given(ReadSetting::Rate) && given(ReadSetting::RateVariable)) {
        problem = tr("Give a rate variable or a sample rate, not both.");
    }
    m_problem->setText(problem);
    m_open->setEnabled(problem.isEmpty());
}

ReadOptions ReadQuestionsDialog::options() const {
    ReadOptions o;
    for (const auto& [s, field] : m_fields) {
        const std::string text = plain(field);
        if (text.empty()) continue;
        switch (s) {
            case ReadSetting::ValueColumn:
                o.valueColumn = text;
                break;
            case ReadSetting::Segment:
                o.segment = text;
                break;
            case ReadSetting::RateVariable:
                o.rateVariable = text;
                break;
            case ReadSetting::UnitLabel:
                o.unitLabel = text;
                break;
            case ReadSetting::Rate:
                o.timeColumn = "none";
                o.rateHz = parseStrictNumber(text);
                break;
            case ReadSetting::Scale:
                o.scale = parseStrictNumber(text).value_or(1.0);
                break;
            default:
                break;
        }
    }
    return o;
}

}  // namespace korvex
