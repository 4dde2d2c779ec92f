// The About box, built from its dialog template, and the application's icon.
#pragma once

#include <QDialog>
#include <QIcon>

namespace korvex {

// The About box.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// The application's icon, both sizes.
QIcon applicationIcon();

}  // namespace korvex
