// The handlers of the fields and of the form: key filters while typing, the exits that carry a
// field's text into the image and show the result, the display, the port list at start-up and
// the settings file at close.
#include "form_core.h"

#include "image_rules.h"
#include "key_filters.h"
#include "memory_buffers.h"
#include "port_settings.h"
#include "settings_rules.h"
#include "system_services.h"
#include "workflow_state.h"

namespace {

constexpr int kRpnDigits = 3;
constexpr std::size_t kShownRfpiCharacters = 14;  // five pairs and the blanks between them
constexpr uint8_t kHighestListedPort = 8;
constexpr int32_t kBaudRate = 9600;

}  // namespace

void FormCore::KeyPressHandler(ControlId field, char &key) {
    switch (field) {
    case ControlId::RfpiEdit:
    case ControlId::WrsRfpiEdit:
        Observe(Handler::RfpiEditKeyPress, field, &key);
        FilterHexKey(key);
        break;
    case ControlId::ParkEdit:
        Observe(Handler::ParkEditKeyPress, field, &key);
        FilterOctalKey(key);
        break;
    case ControlId::BaseRpnEdit:
        Observe(Handler::BaseRpnEditKeyPress, field, &key);
        FilterDecimalKey(view_.GetEditState(field).text, key, kRpnDigits);
        break;
    case ControlId::RepeaterRbnEdit:
        Observe(Handler::RepeaterRbnEditKeyPress, field, &key);
        FilterDecimalKey(view_.GetEditState(field).text, key, kRpnDigits);
        break;
    default:
        break;  // the read-only PARK fields have no key-press handler
    }
}

namespace {

// An edit that the image rules refused is reported; either way the display then shows the
// image, so a refused field shows its current value again.
template <typename Core>
void ShowOutcome(Core &core, const RuleResult &result) {
    if (!result.ok) core.ShowMessage(result.message);
    core.RefreshDisplay();
}

}  // namespace

// Both RFPI fields convert RfpiEdit: leaving the read-only repeater RFPI only redisplays.
void FormCore::RfpiEditExit(ControlId sender) {
    Observe(Handler::RfpiEditExit, sender);
    ShowOutcome(*this, ApplyRfpiText(ConfigImage, view_.GetEditState(ControlId::RfpiEdit).text));
}

void FormCore::BaseRpnEditExit() {
    Observe(Handler::BaseRpnEditExit, ControlId::BaseRpnEdit);
    ShowOutcome(*this, ApplyBaseRpnText(ConfigImage, view_.GetEditState(ControlId::BaseRpnEdit).text));
}

void FormCore::RepeaterRbnEditExit() {
    Observe(Handler::RepeaterRbnEditExit, ControlId::RepeaterRbnEdit);
    ShowOutcome(*this, ApplyRepeaterRpnText(ConfigImage, view_.GetEditState(ControlId::RepeaterRbnEdit).text));
}

// Only bit 7 of byte 17 changes, and nothing else is shown anew.
void FormCore::MonitorBeepChkBoxExit() {
    Observe(Handler::MonitorBeepChkBoxExit, ControlId::MonitorBeepChkBox);
    ApplyMonitorBeep(ConfigImage, view_.IsChecked(ControlId::MonitorBeepChkBox));
}

// The eleven shown digits and the twelfth, kept aside by the display.
void FormCore::ParkEditExit() {
    Observe(Handler::ParkEditExit, ControlId::ParkEdit);
    ShowOutcome(*this, ApplyParkText(ConfigImage, view_.GetEditState(ControlId::ParkEdit).text, ParkLastDigit));
}

// Shows text as a field's committed content: from now on it is what Escape restores, so Escape
// never brings back a text that the image no longer holds. A field whose whole text was selected
// keeps it selected; otherwise the cursor goes to the end.
void FormCore::ShowCommitted(ControlId id, const std::string &text) {
    Field *field = FieldOf(id);
    EditState state = view_.GetEditState(id);
    const bool wholeSelected = state.HasSelection() && state.SelectionStart() == 0 &&
                               state.SelectionLength() >= static_cast<int>(state.text.size());
    state.text = field->model.Normalised(text);
    state.anchor = state.cursor = static_cast<int>(state.text.size());
    if (wholeSelected) MaskedText::SelectAll(state);
    field->entryText = state.text;
    field->modified = false;
    view_.ShowEditState(id, state);
}

void FormCore::RefreshDisplay() {
    const DisplayFields fields = RefreshImageForDisplay(ConfigImage);
    ParkLastDigit = fields.parkLastDigit;
    ShowCommitted(ControlId::RfpiEdit, fields.rfpiHex.substr(0, kShownRfpiCharacters));
    ShowCommitted(ControlId::ParkEdit, fields.parkDigits);
    ShowCommitted(ControlId::ParkChkEdit, fields.parkCheck);
    ShowCommitted(ControlId::ParkPliEdit, fields.parkPli);
    ShowCommitted(ControlId::BaseRpnEdit, fields.baseRpn);
    ShowCommitted(ControlId::RepeaterRbnEdit, fields.repeaterRpn);
    view_.SetChecked(ControlId::MonitorBeepChkBox, fields.monitorBeep);
    view_.SetChecked(ControlId::HopCtrlChkBox, fields.ignoreHop);
    ShowCommitted(ControlId::WrsRfpiEdit, fields.repeaterRfpiHex.substr(0, kShownRfpiCharacters));
    view_.SetEnabled(ControlId::LoadButton, true);
    view_.SetEnabled(ControlId::SaveButton, true);
    view_.SetEnabled(ControlId::Button1, true);
}

// The port list: COM1 to COM8 as far as they can be opened now, the stored port selected.
void FormCore::FormActivate() {
    Observe(Handler::FormActivate, ControlId::None);
    const auto storedPort = static_cast<uint8_t>(ReadPortSetting(system_, system_.SettingsReadPath()));  // low 8 bits count
    int entries = 0;
    for (uint8_t n = 1; n <= kHighestListedPort; ++n) {
        if (!system_.ProbeComPort(n)) continue;
        view_.AddPortEntry("COM" + std::to_string(n));
        if (n == storedPort) view_.SelectPortEntry(entries);
        ++entries;
    }
    PortSettings.BaudRate = kBaudRate;
}

// The port list's text (typed or chosen) is remembered for the next run.
void FormCore::FormClose() {
    Observe(Handler::FormClose, ControlId::None);
    const std::optional<int32_t> value = PortValueToStore(view_.PortText());
    if (!value) return;
    WritePortSetting(system_, system_.SettingsWritePath(), *value);
}
