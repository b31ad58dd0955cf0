// The program's window as a native Win32 window: the controls of the window description made
// with CreateWindowEx at their designed pixels, the user's messages handed to the form core, and
// what the core asks shown through the controls. The window decides no rule of its own.
#pragma once

#include "form_core.h"
#include "form_view.h"

#include <windows.h>

#include <array>
#include <memory>
#include <string>

class SystemServices;

// Private messages of the window.
enum : UINT {
    WM_RELAY_LEAVE = WM_APP + 1,   // wParam: the control left, lParam: the one focused
    WM_RELAY_FOCUS,                // wParam: the control to focus again
};

class FormWindow : public FormView {
public:
    // Creates the window and its controls (not shown yet) and the core behind them.
    FormWindow(HINSTANCE instance, SystemServices &system);
    ~FormWindow() override;
    FormWindow(const FormWindow &) = delete;
    FormWindow &operator=(const FormWindow &) = delete;

    HWND Handle() const { return window_; }
    // The control's window (for a combo box: the box itself, not its edit field).
    HWND Control(ControlId id) const { return controls_[static_cast<size_t>(id)]; }
    // The control a window belongs to (a combo box's edit field counts as the box), or None.
    ControlId ControlOf(HWND window) const;
    FormCore &Core() { return *core_; }

    // --- FormView
    EditState GetEditState(ControlId field) override;
    void ShowEditState(ControlId field, const EditState &state) override;
    bool IsChecked(ControlId box) override;
    void SetChecked(ControlId box, bool checked) override;
    void SetEnabled(ControlId control, bool enabled) override;
    bool IsEnabled(ControlId control) override;
    void Focus(ControlId control) override;
    std::string PortText() override;
    int PortIndex() override;
    void AddPortEntry(const std::string &entry) override;
    void SelectPortEntry(int index) override;
    std::string ClipboardText() override;
    void SetClipboardText(const std::string &text) override;
    void Beep() override;
    void ShowMessageBox(const std::string &text, const std::string &caption, int flags) override;
    void ShowExceptionDisplay(const std::string &text, const std::string &caption) override;
    void SetBusy(bool busy) override;
    void DropQueuedInput() override;
    void CloseWindow() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Controls are subclassed the classic way (their window procedure replaced), which every
    // version of the common controls allows.
    static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CallOriginal(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Subclass(HWND control, ControlId id);
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnControlMessage(HWND window, ControlId id, UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    void CreateControl(const ControlSpec &spec);
    void FitPortListHeight();
    void AddTooltips();
    HFONT FontFor(FontRole role);
    HBRUSH ColourControl(HWND control, HDC dc);

    // Moves the focus from the focused control to target as Tab or a click does: the core checks
    // and commits the control being left first. False when the focus stays (refused, or a message
    // came up on the way).
    bool MoveFocus(ControlId target);
    void TabFrom(ControlId from, bool backwards);
    ControlId FocusedControl() const;
    void RestoreFocus();
    bool ConsumeKey(ControlId id, char ch, bool alt);
    bool IsEditField(ControlId id) const;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    HWND tooltip_ = nullptr;
    HWND portEdit_ = nullptr;  // the combo box's edit field
    std::array<HWND, kControlCount> controls_{};
    std::array<HFONT, 4> fonts_{};
    HBRUSH readOnlyBrush_ = nullptr;
    std::array<EditState, kControlCount> shown_{};  // what each edit field was last shown with
    std::unique_ptr<FormCore> core_;

    int busy_ = 0;
    int inMessageBox_ = 0;
    bool focusMoveChecked_ = false;  // the next focus change was already checked by MoveFocus
    bool enteringByMouse_ = false;
    bool restoringFocus_ = false;
    // The control that had the focus last: it gets it back when the window is active again, or
    // when it is enabled again after a transfer disabled it (a disabled control loses the focus).
    HWND lastFocus_ = nullptr;
};
