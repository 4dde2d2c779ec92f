// The application object: runs the main dialog and ends with it.
#pragma once

#include <QApplication>

namespace korvex {

class CPulseApp : public QApplication {
    Q_OBJECT

  public:
    CPulseApp(int& argc, char** argv);

    // Runs the main dialog modally; returns false, so there is no event loop
    // of the application's own and the process ends with the dialog.
    bool InitInstance();

    QWidget* m_pMainWnd = nullptr;
};

}  // namespace korvex
