#include "ui/form/qt_template.h"

#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace korvex {

QFont dialogFont(int pointSize) {
    QFont font(QStringLiteral("Sans Serif"), pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

BaseUnits baseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {averageCharWidth(letters), metrics.height()};
}

QString controlName(int id) {
    return QStringLiteral("control%1").arg(id);
}

void fitLabelToText(QLabel& label) {
    // Fonts here are wider than the one the layouts were drawn for: a left-
    // aligned label runs on to the right rather than lose its last letters.
    label.resize(std::max(label.width(), label.sizeHint().width()), label.height());
}

namespace {

QWidget* createControl(QDialog& dialog, const ControlTemplate& c, const QIcon& icon,
                       BaseUnits base) {
    const QString text = QString::fromUtf8(c.text);
    const PixelRect r = toPixels(c, base);
    QWidget* w = nullptr;
    switch (c.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton: {
            auto* button = new QPushButton(text, &dialog);
            button->setAutoDefault(true);
            button->setDefault(c.kind == ControlKind::DefaultPushButton);
            w = button;
            break;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(&dialog);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            w = list;
            break;
        }
        case ControlKind::Edit:
        case ControlKind::ReadOnlyEdit: {
            auto* edit = new QLineEdit(text, &dialog);
            if (c.kind == ControlKind::ReadOnlyEdit) {
                // A read-only edit without a border reads as a label, yet can
                // still take the focus and have its text selected and copied.
                edit->setReadOnly(true);
                edit->setFrame(false);
                QPalette palette = edit->palette();
                palette.setColor(QPalette::Base, Qt::transparent);
                edit->setPalette(palette);
            }
            w = edit;
            break;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(text, &dialog);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            w = label;
            break;
        }
        case ControlKind::GroupBox:
            w = new QGroupBox(text, &dialog);
            break;
        case ControlKind::Icon: {
            auto* label = new QLabel(&dialog);
            w = label;
            label->setPixmap(icon.pixmap(QSize(r.width, r.height)));
            break;
        }
    }
    if (c.id != 0) w->setObjectName(controlName(c.id));
    w->setGeometry(r.x, r.y, r.width, r.height);
    if (c.kind == ControlKind::Label) fitLabelToText(*static_cast<QLabel*>(w));
    return w;
}

}  // namespace

void buildFromTemplate(QDialog& dialog, const DialogTemplate& t, const QIcon& icon) {
    dialog.setWindowTitle(QString::fromUtf8(t.caption));
    dialog.setFont(dialogFont(t.pointSize));
    const BaseUnits base = baseUnits(dialog.font());
    std::vector<QWidget*> frames;
    for (const ControlTemplate& c : t.controls) {
        QWidget* w = createControl(dialog, c, icon, base);
        if (c.kind == ControlKind::GroupBox) frames.push_back(w);
    }
    // Group boxes frame the controls drawn after them: keep them behind.
    for (QWidget* frame : frames) frame->lower();
    const PixelRect size = toPixels(t, base);
    dialog.setFixedSize(size.width, size.height);
}

}  // namespace korvex
