// The handlers of Load, Save, the edit fields and Quit. Load, Save and the field handlers are
// bound to their events and filled in by the Load/Save workflow and the field editing.
#include "form_main.h"

void TFormMain::LoadButtonClick(QObject *) {}

void TFormMain::SaveButtonClick(QObject *) {}

void TFormMain::RfpiEditKeyPress(QObject *, char &) {}

void TFormMain::RfpiEditExit(QObject *) {}

void TFormMain::BaseRpnEditExit(QObject *) {}

void TFormMain::RepeaterRbnEditKeyPress(QObject *, char &) {}

void TFormMain::RepeaterRbnEditExit(QObject *) {}

void TFormMain::MonitorBeepChkBoxExit(QObject *) {}

void TFormMain::ParkEditExit(QObject *) {}

void TFormMain::ParkEditKeyPress(QObject *, char &) {}

void TFormMain::BaseRpnEditKeyPress(QObject *, char &) {}

// Quit: asks the window to close, exactly as its close button does.
void TFormMain::Button1Click(QObject *) { close(); }
