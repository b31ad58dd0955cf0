// What the form core asks of a view (the Qt window, the Win32 window, or a test's fake). The core
// decides; the view shows and reports. Every call is made on the user-interface thread; calls
// that show a modal box return when the user has closed it.
#pragma once

#include "control_table.h"
#include "masked_text.h"

#include <string>

// The message box flag for the error icon and a single OK button.
inline constexpr int kMessageBoxError = 16;

class FormView {
public:
    virtual ~FormView() = default;

    // Edit fields: the text with cursor and selection as the control holds them now, and showing
    // a new state.
    virtual EditState GetEditState(ControlId field) = 0;
    virtual void ShowEditState(ControlId field, const EditState &state) = 0;

    // Check boxes.
    virtual bool IsChecked(ControlId box) = 0;
    virtual void SetChecked(ControlId box, bool checked) = 0;

    // Buttons (and any control).
    virtual void SetEnabled(ControlId control, bool enabled) = 0;
    virtual bool IsEnabled(ControlId control) = 0;

    // Moves the focus to a control (not counted as an entry by mouse).
    virtual void Focus(ControlId control) = 0;

    // The port list (ComboCOMPort): its current text (typed or chosen), the selected entry (-1:
    // none), appending an entry, selecting one (which also makes it the text).
    virtual std::string PortText() = 0;
    virtual int PortIndex() = 0;
    virtual void AddPortEntry(const std::string &entry) = 0;
    virtual void SelectPortEntry(int index) = 0;

    // The clipboard's text (8-bit), and putting text on it.
    virtual std::string ClipboardText() = 0;
    virtual void SetClipboardText(const std::string &text) = 0;

    // The warning sound of a refused key or field.
    virtual void Beep() = 0;

    // A modal message box; the window takes no input while it is shown.
    virtual void ShowMessageBox(const std::string &text, const std::string &caption, int flags) = 0;
    // The application's exception display: a modal box with the error icon and one OK button. The
    // core has already formed the text (full stop rule) and the caption (application title).
    virtual void ShowExceptionDisplay(const std::string &text, const std::string &caption) = 0;

    // The busy cursor over the application, on and off (calls are paired).
    virtual void SetBusy(bool busy) = 0;
    // Drops the user's input that waits in the toolkit's queue, made while a transfer blocked the
    // event loop: mouse buttons and wheel, keys and typed characters, and a request to close the
    // window. The system's own events (painting, timers, focus changes) are handled as usual.
    // Called while the busy cursor still shows; must not throw.
    virtual void DropQueuedInput() = 0;

    // Asks the window to close, as its close button does (the view then calls FormCore::Closing).
    virtual void CloseWindow() = 0;
};
