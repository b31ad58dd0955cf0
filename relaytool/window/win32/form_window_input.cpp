// The window's messages handed to the core: activation and close, clicks, typed keys, Tab and
// access keys, and the focus moving between controls. Every control that takes the focus is
// subclassed, so that keys and clicks reach the core before the control acts on them.
#include "form_window.h"

#include "guarded_call.h"

#include <string>

namespace {

bool ShiftHeld() { return GetKeyState(VK_SHIFT) < 0; }
bool ControlHeld() { return GetKeyState(VK_CONTROL) < 0; }

// The edit commands of keys without a character.
bool EditCommandOf(WPARAM key, EditCommand &command) {
    switch (key) {
    case VK_DELETE: command = EditCommand::Delete; return true;
    case VK_LEFT: command = EditCommand::Left; return true;
    case VK_RIGHT: command = EditCommand::Right; return true;
    case VK_HOME: command = EditCommand::Home; return true;
    case VK_END: command = EditCommand::End; return true;
    default: return false;
    }
}

}  // namespace

LRESULT CALLBACK FormWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto *self = static_cast<FormWindow *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, LONG_PTR(self));
    }
    auto *self = reinterpret_cast<FormWindow *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr || !self->core_) return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    RunShowingErrors([&] { result = self->OnWindowMessage(message, wParam, lParam); },
                     [self](const std::string &error) { self->core_->ShowError(error); });
    return result;
}

namespace {

constexpr const char *kFormProperty = "RelayForm";
constexpr const char *kControlProperty = "RelayControl";  // the ControlId plus 1
constexpr const char *kOriginalProperty = "RelayOriginalProc";

}  // namespace

void FormWindow::Subclass(HWND control, ControlId id) {
    SetPropA(control, kFormProperty, this);
    SetPropA(control, kControlProperty, reinterpret_cast<HANDLE>(INT_PTR(id) + 1));
    SetPropA(control, kOriginalProperty,
             reinterpret_cast<HANDLE>(SetWindowLongPtrA(control, GWLP_WNDPROC, LONG_PTR(&ControlProc))));
}

LRESULT FormWindow::CallOriginal(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto original = reinterpret_cast<WNDPROC>(GetPropA(window, kOriginalProperty));
    return CallWindowProcA(original, window, message, wParam, lParam);
}

LRESULT CALLBACK FormWindow::ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto *form = static_cast<FormWindow *>(GetPropA(window, kFormProperty));
    const auto id = static_cast<ControlId>(INT_PTR(GetPropA(window, kControlProperty)) - 1);
    if (message == WM_NCDESTROY) {
        const auto original = reinterpret_cast<WNDPROC>(GetPropA(window, kOriginalProperty));
        SetWindowLongPtrA(window, GWLP_WNDPROC, LONG_PTR(original));
        RemovePropA(window, kFormProperty);
        RemovePropA(window, kControlProperty);
        RemovePropA(window, kOriginalProperty);
        return CallWindowProcA(original, window, message, wParam, lParam);
    }
    if (form == nullptr || !form->core_) return CallOriginal(window, message, wParam, lParam);
    LRESULT result = 0;
    RunShowingErrors([&] { result = form->OnControlMessage(window, id, message, wParam, lParam); },
                     [form](const std::string &error) { form->core_->ShowError(error); });
    return result;
}

LRESULT FormWindow::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam) core_->Shown();
        break;
    case WM_ACTIVATE:
        // A message box or another program takes over: the focused control keeps its place.
        if (LOWORD(wParam) == WA_INACTIVE) return 0;
        core_->Activated();
        if (lastFocus_ == nullptr)
            Focus(TabOrder().front());  // at start-up: the first control of the tab order
        else
            RestoreFocus();
        return 0;
    case WM_CLOSE:
        if (core_->Closing()) DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            const ControlId id = ControlOf(reinterpret_cast<HWND>(lParam));
            if (id != ControlId::None && Spec(id).kind == ControlKind::PushButton) core_->Click(id);
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return LRESULT(ColourControl(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)));
    case WM_SETCURSOR:
        if (busy_ > 0) {
            SetCursor(LoadCursorA(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_SYSCHAR:
        // No control has the focus: an access key still acts.
        if (wParam != ' ' && ConsumeKey(ControlId::None, char(wParam), true)) return 0;
        break;
    case WM_RELAY_LEAVE:
        // A focus move that no Tab or click of ours made (the system moved it): checked late.
        core_->Leaving(static_cast<ControlId>(wParam), static_cast<ControlId>(lParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

HBRUSH FormWindow::ColourControl(HWND control, HDC dc) {
    const ControlId id = ControlOf(control);
    if (id == ControlId::None) return GetSysColorBrush(COLOR_WINDOW);
    const ControlSpec &spec = Spec(id);
    if (spec.kind == ControlKind::MaskedEdit) {
        const int background = spec.readOnly ? COLOR_INACTIVEBORDER : COLOR_WINDOW;
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(background));
        return GetSysColorBrush(background);
    }
    const FontSpec font = FontOf(spec.font);
    SetTextColor(dc, GetSysColor(font.colour == TextColour::MenuText ? COLOR_MENUTEXT : COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

LRESULT FormWindow::OnControlMessage(HWND window, ControlId id, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool edit = IsEditField(id);
    switch (message) {
    case WM_KEYDOWN: {
        if (wParam == VK_TAB) {
            TabFrom(id, ShiftHeld());
            return 0;
        }
        // The edit control's own clipboard keys would bypass the core: they come as the keys
        // that do the same (Shift+Insert paste, Ctrl+Insert copy, Shift+Delete cut).
        if (edit && (wParam == VK_INSERT || (wParam == VK_DELETE && ShiftHeld()))) {
            const char key = wParam == VK_DELETE ? 'X' - '@' : ShiftHeld() ? 'V' - '@' : ControlHeld() ? 'C' - '@' : 0;
            if (key != 0) ConsumeKey(id, key, false);
            return 0;
        }
        EditCommand command;
        if (edit && EditCommandOf(wParam, command) &&
            core_->EditKey(id, command, ShiftHeld()) == KeyOutcome::Consumed)
            return 0;
        break;
    }
    case WM_CHAR:
        if (wParam == '\t') return 0;  // Tab moved the focus on its key-down
        if (ConsumeKey(id, char(wParam), false)) return 0;
        break;
    case WM_SYSCHAR:
        // Alt+Space opens the system menu; every other Alt key is the core's.
        if (wParam != ' ' && ConsumeKey(id, char(wParam), true)) return 0;
        break;
    // The edit menu's commands come as the keys that do the same.
    case WM_PASTE:
        if (edit) return ConsumeKey(id, 'V' - '@', false), 0;
        break;
    case WM_CUT:
        if (edit) return ConsumeKey(id, 'X' - '@', false), 0;
        break;
    case WM_CLEAR:
        if (edit) return core_->EditKey(id, EditCommand::Delete, false), 0;
        break;
    // An input method's text would go straight into the edit control: the system's default
    // handling turns it into the WM_CHAR messages above, so it meets the key filters and masks.
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_CHAR:
        if (edit) return DefWindowProcA(window, message, wParam, lParam);
        break;
    case WM_UNDO:
    case EM_UNDO:
        if (edit) return 0;  // no undo but Escape's
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        const ControlId from = FocusedControl();
        if (from == id || from == ControlId::None) {
            enteringByMouse_ = true;
            const LRESULT result = CallOriginal(window, message, wParam, lParam);
            enteringByMouse_ = false;
            return result;
        }
        // The control being left is checked and committed before the click lands.
        const LeaveOutcome outcome = core_->Leaving(from, id);
        if (outcome == LeaveOutcome::Refused) return 0;
        focusMoveChecked_ = true;
        if (outcome == LeaveOutcome::LeftWithMessage) {
            // The message box took the mouse: the focus moves on, the click is lost.
            SetFocus(id == ControlId::ComboCOMPort ? portEdit_ : Control(id));
            focusMoveChecked_ = false;
            return 0;
        }
        enteringByMouse_ = true;
        const LRESULT result = CallOriginal(window, message, wParam, lParam);
        enteringByMouse_ = false;
        focusMoveChecked_ = false;
        return result;
    }
    case WM_SETFOCUS: {
        lastFocus_ = window;
        const LRESULT result = CallOriginal(window, message, wParam, lParam);
        // Within the combo box the focus passes from the box to its edit field: no entry.
        if (!restoringFocus_ && ControlOf(reinterpret_cast<HWND>(wParam)) != id)
            core_->Entered(id, enteringByMouse_);
        return result;
    }
    case WM_KILLFOCUS: {
        const LRESULT result = CallOriginal(window, message, wParam, lParam);
        const ControlId to = ControlOf(reinterpret_cast<HWND>(wParam));
        // Focus to a message box or another program is no move between controls.
        if (!focusMoveChecked_ && to != ControlId::None && to != id)
            PostMessageA(window_, WM_RELAY_LEAVE, WPARAM(id), LPARAM(to));
        return result;
    }
    default:
        break;
    }
    return CallOriginal(window, message, wParam, lParam);
}

bool FormWindow::ConsumeKey(ControlId id, char ch, bool alt) {
    return core_->Key(id, KeyPress{ch, alt}) == KeyOutcome::Consumed;
}

ControlId FormWindow::FocusedControl() const { return ControlOf(GetFocus()); }

void FormWindow::RestoreFocus() {
    if (FocusedControl() != ControlId::None || GetActiveWindow() != window_) return;
    if (lastFocus_ == nullptr || !IsWindow(lastFocus_) || !IsWindowEnabled(lastFocus_)) return;
    // Coming back is no entry into the control, and no move away from another.
    restoringFocus_ = true;
    focusMoveChecked_ = true;
    SetFocus(lastFocus_);
    focusMoveChecked_ = false;
    restoringFocus_ = false;
}

bool FormWindow::MoveFocus(ControlId target) {
    const ControlId from = FocusedControl();
    if (from == target) return true;
    const LeaveOutcome outcome = from == ControlId::None ? LeaveOutcome::Left : core_->Leaving(from, target);
    if (outcome == LeaveOutcome::Refused) return false;
    focusMoveChecked_ = true;
    SetFocus(target == ControlId::ComboCOMPort ? portEdit_ : Control(target));
    focusMoveChecked_ = false;
    return outcome == LeaveOutcome::Left;
}

void FormWindow::TabFrom(ControlId from, bool backwards) {
    const auto &order = TabOrder();
    const int count = int(order.size());
    int at = 0;
    while (at < count && order[size_t(at)] != from) ++at;
    for (int step = 1; step <= count; ++step) {
        const int next = ((at + (backwards ? -step : step)) % count + count) % count;
        const ControlId candidate = order[size_t(next)];
        const HWND control = Control(candidate);
        if (IsWindowVisible(control) && IsWindowEnabled(control)) {
            MoveFocus(candidate);
            return;
        }
    }
}

// The user's input that waits in the thread's queue since the transfer held it: keys and typed
// characters, mouse buttons and wheel (moves too, which matter to nobody), clicks on the frame,
// and the system commands (close, minimise) that a taskbar or a window manager posts. Each range
// is emptied with PeekMessage, which first takes in what the system has not queued yet (under
// Wine: the X events) and leaves every other message (paint, timers, the window's own) queued.
void FormWindow::DropQueuedInput() {
    static constexpr UINT kInputRanges[][2] = {
        {WM_KEYFIRST, WM_KEYLAST},
        {WM_MOUSEFIRST, WM_MOUSELAST},
        {WM_NCLBUTTONDOWN, WM_NCXBUTTONDBLCLK},
        {WM_SYSCOMMAND, WM_SYSCOMMAND},
    };
    MSG message;
    for (const auto &range : kInputRanges)
        while (PeekMessageA(&message, nullptr, range[0], range[1], PM_REMOVE)) {
        }
}
