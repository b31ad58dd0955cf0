// The handlers of the edit fields: key filters while typing, and the exits that carry a field's
// text into the image and show the result. Quit closes the window.
#include "form_main.h"
#include "image_rules.h"
#include "key_filters.h"
#include "masked_edit.h"
#include "memory_buffers.h"
#include "message_box.h"
#include "workflow.h"
#include "workflow_state.h"

#include <QCheckBox>

#include <string>

namespace {

constexpr int kRpnDigits = 3;

std::string Latin1(const QString &text) { return text.toLatin1().toStdString(); }

// The full text of a field: with a mask, blanks in the input positions not yet filled included.
std::string FieldText(const MaskedEdit *edit) { return Latin1(edit->displayText()); }

// An edit that the image rules refused is reported; either way the display then shows the
// image, so a refused field shows its current value again.
void ShowOutcome(TFormMain &window, const RuleResult &result) {
    if (!result.ok) ShowMessage(&window, result.message);
    RefreshDisplay(window);
}

}  // namespace

void TFormMain::RfpiEditKeyPress(QObject *, char &Key) { FilterHexKey(Key); }

// Both RFPI fields convert RfpiEdit: leaving the read-only repeater RFPI only redisplays.
void TFormMain::RfpiEditExit(QObject *) { ShowOutcome(*this, ApplyRfpiText(ConfigImage, FieldText(RfpiEdit))); }

void TFormMain::BaseRpnEditExit(QObject *) {
    ShowOutcome(*this, ApplyBaseRpnText(ConfigImage, FieldText(BaseRpnEdit)));
}

void TFormMain::RepeaterRbnEditKeyPress(QObject *, char &Key) {
    FilterDecimalKey(FieldText(RepeaterRbnEdit), Key, kRpnDigits);
}

void TFormMain::RepeaterRbnEditExit(QObject *) {
    ShowOutcome(*this, ApplyRepeaterRpnText(ConfigImage, FieldText(RepeaterRbnEdit)));
}

// Only bit 7 of byte 17 changes, and nothing else is shown anew.
void TFormMain::MonitorBeepChkBoxExit(QObject *) { ApplyMonitorBeep(ConfigImage, MonitorBeepChkBox->isChecked()); }

// The eleven shown digits and the twelfth, kept aside by the display.
void TFormMain::ParkEditExit(QObject *) {
    ShowOutcome(*this, ApplyParkText(ConfigImage, FieldText(ParkEdit), ParkLastDigit));
}

void TFormMain::ParkEditKeyPress(QObject *, char &Key) { FilterOctalKey(Key); }

void TFormMain::BaseRpnEditKeyPress(QObject *, char &Key) {
    FilterDecimalKey(FieldText(BaseRpnEdit), Key, kRpnDigits);
}

// Quit: asks the window to close, exactly as its close button does.
void TFormMain::Button1Click(QObject *) { close(); }
