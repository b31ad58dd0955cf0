// Load and Save: the port choice, the transfers under the busy cursor, the messages, and the
// display of the image that ends every transfer.
#include "form_core.h"

#include "backup_folder.h"
#include "display_rules.h"
#include "image_rules.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "port_settings.h"
#include "workflow_state.h"

#include <ctime>

namespace {

// The busy state of a transfer, which blocks the event loop. Whatever the user clicked or typed
// meanwhile waits in the toolkit's queue and would act once the buttons are enabled again (a
// second Save, keys in a field): it is dropped as the busy state ends, on every way out, before
// any message of the transfer can take it and before the buttons are enabled.
class BusyCursor {
public:
    explicit BusyCursor(FormView &view) : view_(view) { view_.SetBusy(true); }
    ~BusyCursor() {
        view_.DropQueuedInput();
        view_.SetBusy(false);
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    FormView &view_;
};

}  // namespace

WorkflowResult SaveKeepingBackup() {
    return SaveToRepeaterKeepingPrevious([](const RepeaterMemory &previous) {
        const std::string port = "COM" + std::to_string(PortSettings.PortNumber);
        std::string path, error;
        SaveAutomaticBackup(previous, port, port, std::time(nullptr), path, error);
    });
}

bool FormCore::ChoosePort() {
    if (view_.PortIndex() == -1) {
        ShowMessage(kChoosePortMessage);
        return false;
    }
    view_.SetEnabled(ControlId::LoadButton, false);
    view_.SetEnabled(ControlId::SaveButton, false);
    view_.SetEnabled(ControlId::Button1, false);
    PortSettings.PortNumber = PortNumberFromText(view_.PortText(), PortSettings.PortNumber);
    return true;
}

bool FormCore::ValidateBeforeSave() {
    const RuleResult prepared =
        PrepareImageForSave(ConfigImage, view_.IsChecked(ControlId::HopCtrlChkBox),
                            view_.GetEditState(ControlId::RepeaterRbnEdit).text,
                            view_.GetEditState(ControlId::BaseRpnEdit).text);
    if (!prepared.ok) ShowMessage(prepared.message);
    return prepared.ok;
}

void FormCore::ReportOutcome(const WorkflowResult &result, const char *errorPrefix) {
    switch (result.outcome) {
    case WorkflowOutcome::Done:
        break;
    case WorkflowOutcome::UnsupportedDevice:
        ShowMessage(kUnsupportedDeviceText);
        break;
    case WorkflowOutcome::TransferFailed:
        ShowMessage(errorPrefix + TransferErrorText(result.code));
        break;
    case WorkflowOutcome::SaveNotTaken:
        // The edited image stays in ConfigImage, so the user can press Save again.
        ShowMessage(SaveCheckMessage(result));
        break;
    }
}

// Runs a transfer sequence after a successful port choice, and ends in RefreshDisplay on every
// path (an error included), which enables the buttons again after any message box has closed.
// Disabling the focused button may have moved the focus on; it goes back to where it was
// (focusBefore: the focus before the port choice).
void FormCore::RunTransfer(WorkflowResult (*sequence)(), const char *errorPrefix, ControlId focusBefore) {
    const auto end = [&] {
        RefreshDisplay();
        if (focusBefore != ControlId::None && focused_ != focusBefore && view_.IsEnabled(focusBefore))
            view_.Focus(focusBefore);
    };
    try {
        WorkflowResult result;
        {
            BusyCursor busy(view_);
            result = sequence();
        }
        ReportOutcome(result, errorPrefix);
    } catch (...) {
        end();
        throw;
    }
    end();
}

void FormCore::LoadButtonClick() {
    Observe(Handler::LoadButtonClick, ControlId::LoadButton);
    const ControlId focus = focused_;
    if (!ChoosePort()) return;
    // A Load that fails leaves the image as it was before it (the memory layer restores it).
    RunTransfer(transfers_.load, kReadFailureText, focus);
}

void FormCore::SaveButtonClick() {
    Observe(Handler::SaveButtonClick, ControlId::SaveButton);
    if (!DataLoaded) {
        ShowMessage(kLoadFirstMessage);
        return;
    }
    if (!ValidateBeforeSave()) return;
    const ControlId focus = focused_;
    if (!ChoosePort()) return;
    RunTransfer(transfers_.save, kWriteFailureText, focus);
}
