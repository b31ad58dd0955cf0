// The window and its controls: creation from the control table, and the FormView services the
// core uses to read and show the controls' state.
#include "form_window.h"

#include "control_table.h"
#include "panel_class.h"
#include "resource_ids.h"

#include <commctrl.h>

#include <cstring>
#include <stdexcept>
#include <string_view>

namespace {

constexpr const char *kWindowClass = "TFormMain";
// A window with a fixed dialog frame: caption, system menu and close button, nothing to resize,
// minimise or maximise.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME;
constexpr int kControlIdBase = 1000;

size_t Index(ControlId id) { return static_cast<size_t>(id); }

int PictureResource(std::string_view picture) {
    if (picture == "repeater.bmp") return IDB_REPEATER;
    if (picture == "product_strip.bmp") return IDB_PRODUCT_STRIP;
    return 0;
}

void RegisterWindowClass(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_RELAYTOOL));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    WNDCLASSEXA existing{};
    if (!GetClassInfoExA(instance, kWindowClass, &existing) && !RegisterClassExA(&wc))
        throw std::runtime_error("cannot register the window class");
}

}  // namespace

FormWindow::FormWindow(HINSTANCE instance, SystemServices &system) : instance_(instance) {
    INITCOMMONCONTROLSEX common{sizeof common, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&common);
    RegisterWindowClass(instance, WindowProc);
    RegisterPanelClass(instance);

    // The description gives the client area and the window's top-left corner.
    const WindowSpec &spec = Window();
    RECT frame{0, 0, spec.clientWidth, spec.clientHeight};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    window_ = CreateWindowExA(kWindowExStyle, kWindowClass, spec.caption, kWindowStyle, spec.left, spec.top,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                              this);
    if (window_ == nullptr) throw std::runtime_error("cannot create the window");
    CreateControls();
    core_ = std::make_unique<FormCore>(*this, system);
}

FormWindow::~FormWindow() {
    if (window_ != nullptr && IsWindow(window_)) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    for (HFONT font : fonts_)
        if (font != nullptr) DeleteObject(font);
}

HFONT FormWindow::FontFor(FontRole role) {
    HFONT &font = fonts_[static_cast<size_t>(role)];
    if (font == nullptr) {
        const FontSpec spec = FontOf(role);
        // A negative height asks for the character height (the cell without its internal leading).
        font = CreateFontA(-spec.pixels, 0, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, kFontFace);
    }
    return font;
}

void FormWindow::CreateControls() {
    for (const ControlSpec &spec : Controls()) CreateControl(spec);
    // Stacking: a later control lies above an earlier one of the same parent.
    for (const ControlSpec &spec : Controls())
        SetWindowPos(Control(spec.id), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    FitPortListHeight();
    AddTooltips();
}

void FormWindow::CreateControl(const ControlSpec &spec) {
    const HWND parent = spec.parent == ControlId::None ? window_ : Control(spec.parent);
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const char *windowClass = "STATIC";
    const char *text = spec.text;
    int height = spec.height;
    switch (spec.kind) {
    case ControlKind::Picture:
        style |= SS_BITMAP;
        text = "";
        break;
    case ControlKind::Label:
        style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX | (*spec.hint ? SS_NOTIFY : 0);
        break;
    case ControlKind::Panel:
        windowClass = kPanelClass;
        style |= WS_CLIPCHILDREN;
        break;
    case ControlKind::MaskedEdit:
        // A one-pixel frame: the eleven PARK digits fill their 82-pixel field.
        windowClass = "EDIT";
        style |= WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP | (spec.readOnly ? ES_READONLY : 0);
        break;
    case ControlKind::CheckBox:
        windowClass = "BUTTON";
        style |= BS_AUTOCHECKBOX | WS_TABSTOP;
        break;
    case ControlKind::ComboBox:
        windowClass = "COMBOBOX";
        style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
        height += 8 * Window().portListRowHeight + 2;  // room for the list of COM1 to COM8
        break;
    case ControlKind::PushButton:
        windowClass = "BUTTON";
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
    }
    const HWND control =
        CreateWindowExA(exStyle, windowClass, text, style, spec.left, spec.top, spec.width, height, parent,
                        reinterpret_cast<HMENU>(INT_PTR(kControlIdBase + int(spec.id))), instance_, nullptr);
    if (control == nullptr) throw std::runtime_error(std::string("cannot create ") + spec.name);
    controls_[Index(spec.id)] = control;
    SendMessageA(control, WM_SETFONT, WPARAM(FontFor(spec.font)), FALSE);

    switch (spec.kind) {
    case ControlKind::Picture:
        // Drawn unscaled at the box's top-left corner.
        if (const int resource = PictureResource(spec.picture))
            SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP,
                         LPARAM(LoadImageA(instance_, MAKEINTRESOURCEA(resource), IMAGE_BITMAP, 0, 0, 0)));
        break;
    case ControlKind::MaskedEdit:
        SendMessageA(control, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(1, 0));
        shown_[Index(spec.id)] = EditState{spec.text, 0, 0};
        Subclass(control, spec.id);
        break;
    case ControlKind::ComboBox: {
        SendMessageA(control, CB_SETITEMHEIGHT, 0, Window().portListRowHeight);
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(control, &info);
        portEdit_ = info.hwndItem;
        Subclass(control, spec.id);
        Subclass(portEdit_, spec.id);
        break;
    }
    case ControlKind::CheckBox:
    case ControlKind::PushButton:
        Subclass(control, spec.id);
        break;
    case ControlKind::Label:
    case ControlKind::Panel:
        break;
    }
}

// The closed port list is as high as designed. Its height follows its edit field's, which the
// box sets from the font whenever it is moved: set the field after the last move.
void FormWindow::FitPortListHeight() {
    const HWND combo = Control(ControlId::ComboCOMPort);
    const int designed = Spec(ControlId::ComboCOMPort).height;
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT box{};
        GetWindowRect(combo, &box);
        if (box.bottom - box.top == designed) return;
        const int field = int(SendMessageA(combo, CB_GETITEMHEIGHT, WPARAM(-1), 0));
        SendMessageA(combo, CB_SETITEMHEIGHT, WPARAM(-1), field + designed - (box.bottom - box.top));
    }
}

void FormWindow::AddTooltips() {
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                               instance_, nullptr);
    if (tooltip_ == nullptr) return;  // hints are a comfort, not a function
    auto add = [this](HWND tool, const char *hint) {
        TTTOOLINFOA info{};
        info.cbSize = TTTOOLINFOA_V2_SIZE;  // also understood by the older common controls
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = window_;
        info.uId = UINT_PTR(tool);
        info.lpszText = const_cast<char *>(hint);
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, LPARAM(&info));
    };
    for (const ControlSpec &spec : Controls()) {
        if (*spec.hint == '\0') continue;
        add(Control(spec.id), spec.hint);
        if (spec.kind == ControlKind::ComboBox) add(portEdit_, spec.hint);
    }
}

ControlId FormWindow::ControlOf(HWND window) const {
    if (window == nullptr) return ControlId::None;
    if (window == portEdit_) return ControlId::ComboCOMPort;
    for (size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i] == window) return static_cast<ControlId>(i);
    return ControlId::None;
}

bool FormWindow::IsEditField(ControlId id) const {
    return id != ControlId::None && Spec(id).kind == ControlKind::MaskedEdit;
}

// --- FormView

EditState FormWindow::GetEditState(ControlId field) {
    const HWND edit = Control(field);
    EditState state;
    state.text.resize(size_t(GetWindowTextLengthA(edit)) + 1);
    state.text.resize(size_t(GetWindowTextA(edit, state.text.data(), int(state.text.size()))));
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    // The control tells the selection's range, not its direction: keep the direction last shown.
    const EditState &last = shown_[Index(field)];
    if (int(start) == last.SelectionStart() && int(end) == last.SelectionStart() + last.SelectionLength() &&
        last.HasSelection()) {
        state.anchor = last.anchor;
        state.cursor = last.cursor;
    } else {
        state.anchor = int(start);
        state.cursor = int(end);
    }
    return state;
}

void FormWindow::ShowEditState(ControlId field, const EditState &state) {
    const HWND edit = Control(field);
    if (GetEditState(field).text != state.text) SetWindowTextA(edit, state.text.c_str());
    // The caret goes to the second position given.
    SendMessageA(edit, EM_SETSEL, WPARAM(state.anchor), LPARAM(state.cursor));
    shown_[Index(field)] = state;
}

bool FormWindow::IsChecked(ControlId box) {
    return SendMessageA(Control(box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void FormWindow::SetChecked(ControlId box, bool checked) {
    SendMessageA(Control(box), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void FormWindow::SetEnabled(ControlId control, bool enabled) {
    EnableWindow(Control(control), enabled);
    if (enabled) RestoreFocus();
}

bool FormWindow::IsEnabled(ControlId control) { return IsWindowEnabled(Control(control)) != FALSE; }

void FormWindow::Focus(ControlId control) {
    // The core moves the focus itself (back to a refused field): nothing to check or enter.
    focusMoveChecked_ = true;
    restoringFocus_ = true;
    SetFocus(control == ControlId::ComboCOMPort ? portEdit_ : Control(control));
    restoringFocus_ = false;
    focusMoveChecked_ = false;
}

std::string FormWindow::PortText() {
    char text[256] = {};
    GetWindowTextA(Control(ControlId::ComboCOMPort), text, sizeof text);
    return text;
}

int FormWindow::PortIndex() {
    return int(SendMessageA(Control(ControlId::ComboCOMPort), CB_GETCURSEL, 0, 0));
}

void FormWindow::AddPortEntry(const std::string &entry) {
    SendMessageA(Control(ControlId::ComboCOMPort), CB_ADDSTRING, 0, LPARAM(entry.c_str()));
}

void FormWindow::SelectPortEntry(int index) {
    SendMessageA(Control(ControlId::ComboCOMPort), CB_SETCURSEL, WPARAM(index), 0);
}

std::string FormWindow::ClipboardText() {
    std::string text;
    if (!OpenClipboard(window_)) return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char *chars = static_cast<const char *>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void FormWindow::SetClipboardText(const std::string &text) {
    if (!OpenClipboard(window_)) return;
    EmptyClipboard();
    if (HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        std::memcpy(GlobalLock(data), text.c_str(), text.size() + 1);
        GlobalUnlock(data);
        if (!SetClipboardData(CF_TEXT, data)) GlobalFree(data);
    }
    CloseClipboard();
}

void FormWindow::Beep() { MessageBeep(MB_OK); }

void FormWindow::ShowMessageBox(const std::string &text, const std::string &caption, int flags) {
    ++inMessageBox_;
    MessageBoxA(window_, text.c_str(), caption.c_str(), UINT(flags));
    --inMessageBox_;
}

void FormWindow::ShowExceptionDisplay(const std::string &text, const std::string &caption) {
    ShowMessageBox(text, caption, MB_OK | MB_ICONERROR);
}

void FormWindow::SetBusy(bool busy) {
    busy_ += busy ? 1 : -1;
    SetCursor(LoadCursorA(nullptr, busy_ > 0 ? IDC_WAIT : IDC_ARROW));
}

void FormWindow::CloseWindow() { PostMessageA(window_, WM_CLOSE, 0, 0); }
