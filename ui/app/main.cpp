#include "ui/app/pulse_app.h"

int main(int argc, char** argv) {
    korvex::CPulseApp app(argc, argv);
    app.InitInstance();
    return 0;
}
