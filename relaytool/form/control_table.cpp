#include "control_table.h"

#include <cctype>
#include <cstring>

namespace {

using enum ControlId;
using K = ControlKind;
using F = FontRole;
constexpr ControlId W = ControlId::None;  // parent: the window

// clang-format off
constexpr std::array<ControlSpec, kControlCount> kControls{{
    // id, name, kind, parent, left, top, width, height, text, hint, mask, maxLength, readOnly, font, tab, key, picture
    {Image1, "Image1", K::Picture, W, 104, 160, 81, 161, "", "", "", 0, false, F::Dialog, -1, 0, "repeater.bmp"},
    {Label1, "Label1", K::Label, W, 6, 7, 59, 16, "COM port:", "", "", 0, false, F::Dialog, -1, 0, ""},
    {Label6, "Label6", K::Label, W, 4, 510, 274, 16, "Korvex Repeater configuration version: 1.04", "", "", 0, false, F::Dialog, -1, 0, ""},
    {Image2, "Image2", K::Picture, W, 8, 480, 97, 25, "", "", "", 0, false, F::Dialog, -1, 0, "product_strip.bmp"},
    {Panel2, "Panel2", K::Panel, W, 8, 288, 281, 161, "", "", "", 0, false, F::Dialog, 12, 0, ""},
    {Label4, "Label4", K::Label, Panel2, 80, 8, 111, 24, "REPEATER", "The repeater is being configured", "", 0, false, F::RepeaterTitle, -1, 0, ""},
    {Label5, "Label5", K::Label, Panel2, 144, 64, 32, 16, "RPN:", "", "", 0, false, F::Dialog, -1, 0, ""},
    {Label12, "Label12", K::Label, Panel2, 8, 96, 112, 20, "Repeater RFPI:", "RFPI transmitted by the Repeater", "", 0, false, F::RepeaterLabel, -1, 0, ""},
    {WrsRfpiEdit, "WrsRfpiEdit", K::MaskedEdit, Panel2, 126, 89, 99, 24, "              ", "Identity of repeater. 5 hexadecimal numbers are generated.", "AA AA AA AA AA;1; ", 14, true, F::Dialog, 0, 0, ""},
    {HopCtrlChkBox, "HopCtrlChkBox", K::CheckBox, Panel2, 8, 32, 137, 17, "Ignore HOP control", "", "", 0, false, F::Dialog, 1, 0, ""},
    {Panel1, "Panel1", K::Panel, W, 8, 48, 281, 169, "", "", "", 0, false, F::Dialog, 11, 0, ""},
    {Label9, "Label9", K::Label, Panel1, 8, 56, 33, 16, "RFPI:", "", "", 0, false, F::Dialog, -1, 0, ""},
    {Label10, "Label10", K::Label, Panel1, 8, 96, 39, 16, "PARK:", "", "", 0, false, F::Dialog, -1, 0, ""},
    {Label11, "Label11", K::Label, Panel1, 208, 96, 32, 16, "RPN:", "", "", 0, false, F::Dialog, -1, 0, ""},
    {Label14, "Label14", K::Label, Panel1, 40, 8, 186, 24, "NETWORK DEVICE", "Basestation or other repeater", "", 0, false, F::PanelTitle, -1, 0, ""},
    {ComboCOMPort, "ComboCOMPort", K::ComboBox, W, 78, 7, 75, 24, "", "Select serial communication port", "", 0, false, F::Dialog, 0, 0, ""},
    {LoadButton, "LoadButton", K::PushButton, W, 46, 410, 92, 31, "&Load", "Load current repeater configuration", "", 0, false, F::Dialog, 1, 'L', ""},
    {SaveButton, "SaveButton", K::PushButton, W, 146, 410, 92, 31, "&Save", "Save configuration in to Repeater", "", 0, false, F::Dialog, 2, 'S', ""},
    {MonitorBeepChkBox, "MonitorBeepChkBox", K::CheckBox, W, 16, 338, 115, 21, "Monitor beep", "Audio tone for connection verifcation", "", 0, false, F::Dialog, 3, 0, ""},
    {RepeaterRbnEdit, "RepeaterRbnEdit", K::MaskedEdit, W, 190, 345, 41, 24, "", "Repeater RPN value (decimal representation of RFPI last byte)", "", 0, false, F::Dialog, 5, 0, ""},
    {BaseRpnEdit, "BaseRpnEdit", K::MaskedEdit, W, 251, 144, 30, 24, "", "RPN value of parent transmitter (decimal representation of RFPI last byte)", "", 0, false, F::Dialog, 6, 0, ""},
    {ParkPliEdit, "ParkPliEdit", K::MaskedEdit, W, 64, 144, 25, 24, "", "ID length", "", 0, true, F::Dialog, 7, 0, ""},
    {ParkEdit, "ParkEdit", K::MaskedEdit, W, 95, 144, 82, 24, "           ", "Octal representation ", "00000000000;1; ", 11, false, F::Dialog, 8, 0, ""},
    {ParkChkEdit, "ParkChkEdit", K::MaskedEdit, W, 183, 144, 18, 24, "", "ID checksum  field", "", 0, true, F::Dialog, 9, 0, ""},
    {Button1, "Button1", K::PushButton, W, 120, 472, 49, 33, "Quit", "Exit program", "", 0, false, F::Dialog, 10, 0, ""},
    {RfpiEdit, "RfpiEdit", K::MaskedEdit, W, 62, 105, 99, 24, "              ", "Identity of basestation/repeater. Contains 5 hexadecimal numbers.", "AA AA AA AA AA;1; ", 14, false, F::Dialog, 4, 0, ""},
}};
// clang-format on

constexpr WindowSpec kWindow{"FormMain", "Korvex Repeater config", 295, 532, 431, 173, "relaytool.ico", 16};

constexpr std::array<ControlId, 13> kTabOrder{ComboCOMPort, LoadButton,  SaveButton, MonitorBeepChkBox, RfpiEdit,
                                              RepeaterRbnEdit, BaseRpnEdit, ParkPliEdit, ParkEdit, ParkChkEdit,
                                              Button1,      WrsRfpiEdit, HopCtrlChkBox};

constexpr bool TableInCreationOrder() {
    for (std::size_t i = 0; i < kControls.size(); ++i)
        if (static_cast<std::size_t>(kControls[i].id) != i) return false;
    return true;
}
static_assert(TableInCreationOrder(), "the control table must list the controls in ControlId order");

}  // namespace

FontSpec FontOf(FontRole role) {
    switch (role) {
    case FontRole::Dialog: return {14, false, TextColour::MenuText};
    case FontRole::PanelTitle: return {20, true, TextColour::MenuText};
    case FontRole::RepeaterTitle: return {20, true, TextColour::WindowText};
    case FontRole::RepeaterLabel: return {17, false, TextColour::WindowText};
    }
    return {14, false, TextColour::MenuText};
}

const WindowSpec &Window() { return kWindow; }
const std::array<ControlSpec, kControlCount> &Controls() { return kControls; }
const ControlSpec &Spec(ControlId id) { return kControls[static_cast<std::size_t>(id)]; }
const std::array<ControlId, 13> &TabOrder() { return kTabOrder; }

ControlId ControlForAccessKey(char letter) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (upper == 0) return ControlId::None;
    for (const ControlSpec &spec : kControls)
        if (spec.accessKey == upper) return spec.id;
    return ControlId::None;
}

const char *NameOf(ControlId id) { return id == ControlId::None ? "-" : Spec(id).name; }

ControlId ControlNamed(const char *name) {
    for (const ControlSpec &spec : kControls)
        if (std::strcmp(spec.name, name) == 0) return spec.id;
    return ControlId::None;
}
