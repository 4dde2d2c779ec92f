#include "ui/app/main_window.h"

#include "ui/app/side_pane.h"
#include "ui/form/pulse_dialog.h"
#include "ui/lab/record_lab.h"
#include "ui/lab/record_pane.h"

namespace korvex {

SidePane* attachSidePane(CPulseDlg& dlg) {
    auto* pane = new SidePane;
    // Made after the form's controls, so that it ends their Tab chain.
    dlg.setPane(pane, pane, pane->panelDock());
    // The achieved pulse made the nominal goes through the form, as typing would.
    QObject::connect(pane->recordPane(), &RecordPane::useAsNominal, &dlg,
                     [&dlg](PulseType shape, double amplitude, double durationS) {
                         dlg.setNominalPulse(shape, amplitude, durationS);
                     });
    // A test plan opened fills the form as typing would; the form pushes
    // its nominal back to the pane.
    QObject::connect(pane->lab(), &RecordLab::planOpened, &dlg, [&dlg](const TestPlan& plan) {
        dlg.setNominal(plan.shape, plan.amplitude, plan.pulseDuration, plan.unit);
    });
    return pane;
}

}  // namespace korvex
