// The window's layout, once for every view: the window's own properties and every control
// with its kind, parent, place, size, texts, hint, mask, read-only state, font, tab order and
// access key. Views create their controls from this table and never repeat its values.
#pragma once

#include <array>
#include <cstddef>

// The controls in creation order, which is also their stacking order (a later control lies above
// an earlier one of the same parent).
enum class ControlId {
    Image1,
    Label1,
    Label6,
    Image2,
    Panel2,
    Label4,
    Label5,
    Label12,
    WrsRfpiEdit,
    HopCtrlChkBox,
    Panel1,
    Label9,
    Label10,
    Label11,
    Label14,
    ComboCOMPort,
    LoadButton,
    SaveButton,
    MonitorBeepChkBox,
    RepeaterRbnEdit,
    BaseRpnEdit,
    ParkPliEdit,
    ParkEdit,
    ParkChkEdit,
    Button1,
    RfpiEdit,
    None,  // no control: the window itself as a parent, or no focus
};

inline constexpr std::size_t kControlCount = static_cast<std::size_t>(ControlId::None);

enum class ControlKind { Picture, Label, Panel, MaskedEdit, CheckBox, ComboBox, PushButton };

// Text colours by their system colour.
enum class TextColour { MenuText, WindowText };

// The fonts of the window. Every font is "MS Sans Serif" (kFontFace).
enum class FontRole {
    Dialog,          // 14 px regular, menu text colour: the window's font, inherited
    PanelTitle,      // 20 px bold, menu text colour (NETWORK DEVICE)
    RepeaterTitle,   // 20 px bold, window text colour (REPEATER)
    RepeaterLabel,   // 17 px regular, window text colour (Repeater RFPI:)
};

struct FontSpec {
    int pixels;  // character height
    bool bold;
    TextColour colour;
};

inline constexpr const char *kFontFace = "MS Sans Serif";

FontSpec FontOf(FontRole role);

struct ControlSpec {
    ControlId id;
    const char *name;  // the control's name, e.g. "RfpiEdit"
    ControlKind kind;
    ControlId parent;  // ControlId::None: the window's client area
    int left, top;     // relative to the parent
    int width, height;
    const char *text;     // caption or initial text ("" for none); "&" marks the access key
    const char *hint;     // tooltip, "" for none
    const char *mask;     // masked edits: "pattern;saveLiterals;blank" or "" for a plain field
    int maxLength;        // 0: unlimited
    bool readOnly;        // read-only edit: background in the inactive border colour
    FontRole font;
    int tabOrder;         // within the parent; -1: takes no focus
    char accessKey;       // upper-case letter, or 0
    const char *picture;  // pictures: the art file's name ("repeater.bmp"), else ""
};

struct WindowSpec {
    const char *name;     // "FormMain"
    const char *caption;  // "Korvex Repeater config"
    int clientWidth, clientHeight;
    int left, top;        // screen position of the window's top-left corner
    const char *icon;     // the art file of the program icon
    int portListRowHeight;  // pixels per entry of the port list
};

const WindowSpec &Window();

// All controls, in creation order (index = static_cast<size_t>(id)).
const std::array<ControlSpec, kControlCount> &Controls();
const ControlSpec &Spec(ControlId id);

// The controls that take the focus, in the order Tab visits them (the window's own controls
// first, then those of Panel1 and of Panel2); Tab after the last goes back to the first.
const std::array<ControlId, 13> &TabOrder();

// The control whose caption has this access key (any letter case), or ControlId::None.
ControlId ControlForAccessKey(char letter);

// A control's name, "-" for ControlId::None.
const char *NameOf(ControlId id);
// The control with that name, or ControlId::None.
ControlId ControlNamed(const char *name);
