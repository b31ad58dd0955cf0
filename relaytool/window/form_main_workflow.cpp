// Load and Save: the port choice, the transfers with the busy cursor, the messages, and the
// display of the image that ends every transfer.
#include "form_main.h"
#include "image_rules.h"
#include "load_save.h"
#include "masked_edit.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "message_box.h"
#include "port_choice.h"
#include "port_settings.h"
#include "workflow.h"
#include "workflow_state.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>

#include <string>

namespace {

constexpr std::size_t kShownRfpiCharacters = 14;  // five pairs and the blanks between them

std::string Latin1(const QString &text) { return text.toLatin1().toStdString(); }

void Show(MaskedEdit *edit, const std::string &text) {
    edit->ShowCommittedText(QString::fromLatin1(text));
}

// Runs a transfer sequence with the busy cursor, restored on every way out.
WorkflowResult WithBusyCursor(WorkflowResult (*sequence)()) {
    struct BusyCursor {
        BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
        ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    } busy;
    return sequence();
}

// Runs work, then RefreshDisplay, also when work throws: the buttons that the port choice
// disabled are enabled again on every path. Disabling the focused button passed the focus on to
// the next control; it goes back to where it was.
template <typename Work>
void EndingInRefresh(TFormMain &window, QWidget *focusBefore, Work &&work) {
    const QPointer<QWidget> focus(focusBefore);
    const auto end = [&] {
        RefreshDisplay(window);
        if (focus && focus->isEnabled() && QApplication::focusWidget() != focus) focus->setFocus(Qt::OtherFocusReason);
    };
    try {
        work();
    } catch (...) {
        end();
        throw;
    }
    end();
}

// Shows the message of an outcome that is not Done; errorPrefix introduces a transfer failure.
void ReportOutcome(TFormMain &window, const WorkflowResult &result, const char *errorPrefix) {
    switch (result.outcome) {
    case WorkflowOutcome::Done:
        break;
    case WorkflowOutcome::UnsupportedDevice:
        ShowMessage(&window, kUnsupportedDeviceMessage);
        break;
    case WorkflowOutcome::TransferFailed:
        ShowMessage(&window, errorPrefix + TransferErrorText(result.code));
        break;
    }
}

}  // namespace

bool ChoosePort(TFormMain &window) {
    if (window.ComboCOMPort->currentIndex() == -1) {
        ShowMessage(&window, kChoosePortMessage);
        return false;
    }
    window.LoadButton->setEnabled(false);
    window.SaveButton->setEnabled(false);
    window.Button1->setEnabled(false);
    PortSettings.PortNumber = PortNumberFromText(Latin1(window.ComboCOMPort->currentText()), PortSettings.PortNumber);
    return true;
}

bool ValidateBeforeSave(TFormMain &window) {
    const RuleResult prepared =
        PrepareImageForSave(ConfigImage, window.HopCtrlChkBox->isChecked(),
                            Latin1(window.RepeaterRbnEdit->text()), Latin1(window.BaseRpnEdit->text()));
    if (!prepared.ok) ShowMessage(&window, prepared.message);
    return prepared.ok;
}

void RefreshDisplay(TFormMain &window) {
    const DisplayFields fields = RefreshImageForDisplay(ConfigImage);
    ParkLastDigit = fields.parkLastDigit;
    Show(window.RfpiEdit, fields.rfpiHex.substr(0, kShownRfpiCharacters));
    Show(window.ParkEdit, fields.parkDigits);
    Show(window.ParkChkEdit, fields.parkCheck);
    Show(window.ParkPliEdit, fields.parkPli);
    Show(window.BaseRpnEdit, fields.baseRpn);
    Show(window.RepeaterRbnEdit, fields.repeaterRpn);
    window.MonitorBeepChkBox->setChecked(fields.monitorBeep);
    window.HopCtrlChkBox->setChecked(fields.ignoreHop);
    Show(window.WrsRfpiEdit, fields.repeaterRfpiHex.substr(0, kShownRfpiCharacters));
    window.LoadButton->setEnabled(true);
    window.SaveButton->setEnabled(true);
    window.Button1->setEnabled(true);
}

void TFormMain::LoadButtonClick(QObject *) {
    QWidget *focus = QApplication::focusWidget();
    if (!ChoosePort(*this)) return;
    EndingInRefresh(*this, focus, [this] {
        // A Load that fails leaves the image as it was before it (the memory layer restores it).
        ReportOutcome(*this, WithBusyCursor(LoadFromRepeater), kReadErrorMessage);
    });
}

void TFormMain::SaveButtonClick(QObject *) {
    if (!DataLoaded) {
        ShowMessage(this, kLoadFirstMessage);
        return;
    }
    if (!ValidateBeforeSave(*this)) return;
    QWidget *focus = QApplication::focusWidget();
    if (!ChoosePort(*this)) return;
    EndingInRefresh(*this, focus, [this] {
        ReportOutcome(*this, WithBusyCursor(SaveToRepeater), kWriteErrorMessage);
    });
}
