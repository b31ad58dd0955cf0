// The window's behaviour without any toolkit: the handlers of the window and what they decide
// (key filters, masked editing, field exits, access keys, Load / Save / Quit with their messages
// and busy state, the port list and the settings file, the exception display). A view (Qt,
// Win32) creates the controls from control_table.h, forwards its events to the entry points
// below and shows what the core asks through FormView.
//
// Changes to this interface are noted here for the views:
//   changed: MessagesShown() and HasExitHandler() added (a view drops a click that led to a
//            message box); a refusal in Leaving() always asks the view to focus `from` again,
//            whether the view reports the move before or after it happened.
//   changed: ReadPortSetting / WritePortSetting over SystemServices are in settings_rules.h.
//   changed: FormView::DropQueuedInput() added: the core calls it when a transfer's busy state
//            ends, so that clicks and keys made meanwhile never act afterwards.
//   changed: a Save first keeps the unit's image as an automatic backup (SaveKeepingBackup, the
//            default of Transfers::save); nothing for the views to do.
#pragma once

#include "control_table.h"
#include "form_messages.h"
#include "form_view.h"
#include "guarded_call.h"
#include "load_save.h"
#include "masked_text.h"

#include <array>
#include <exception>
#include <functional>
#include <string>
#include <utility>

class SystemServices;

// A key that types a character. ch is its 8-bit (ANSI / Latin-1) code; control characters come
// as such (Backspace 8, Enter 13, Escape 27, Ctrl+V 22, ...). alt: Alt is held without AltGr
// (a view reports AltGr, or Ctrl+Alt, as plain typing).
struct KeyPress {
    char ch = 0;
    bool alt = false;
};

// What the view does with a key after the core saw it.
enum class KeyOutcome {
    Consumed,     // the core acted (or discarded it): the control must not see the key
    PassToControl,  // not the core's business (typing into the port list, Space on a button, ...)
};

// What became of a focus move away from a control.
enum class LeaveOutcome {
    Left,             // the focus may move on (the exit handler, if any, ran)
    LeftWithMessage,  // as Left, but a message box came up meanwhile: drop the click that moved it
    Refused,          // a changed masked field with a blank input position keeps the focus
};

// The handlers, each named after the control and the event it handles (the form's own: Form...);
// HandlerName gives the name, which tests use to record the handlers that ran.
enum class Handler {
    FormActivate,
    LoadButtonClick,
    SaveButtonClick,
    RfpiEditKeyPress,
    RfpiEditExit,
    BaseRpnEditExit,
    RepeaterRbnEditKeyPress,
    RepeaterRbnEditExit,
    MonitorBeepChkBoxExit,
    ParkEditExit,
    ParkEditKeyPress,
    BaseRpnEditKeyPress,
    FormClose,
    Button1Click,
};
const char *HandlerName(Handler handler);

// The window's Save: the memory layer's Save that first keeps the image it overwrites, saved as
// an automatic backup where relaycfg keeps its own (backup_folder.h), named after the port of
// PortSettings (COM3-20250131T140509.txt), so that `relaycfg restore` puts it back. A backup that
// cannot be read or saved is passed over unseen: the Save goes on as without it.
WorkflowResult SaveKeepingBackup();

// The Load and Save sequences the core runs (the memory layer's, unless a test replaces them).
struct Transfers {
    WorkflowResult (*load)() = LoadFromRepeater;
    WorkflowResult (*save)() = SaveKeepingBackup;
};

class FormCore {
public:
    FormCore(FormView &view, SystemServices &system, Transfers transfers = {});

    // --- Entry points: the view calls these for the user's and the system's events. None of
    // them lets an error escape: an error is shown by the exception display.

    // The window was shown / became the active window. The one-time start-up work (port list,
    // stored port, baud rate) runs at whichever comes first, once per core.
    void Shown();
    void Activated();

    // The window is about to close (close button, Alt+F4, Quit). Runs FormClose once; answers
    // whether the window may close (always, once FormClose ran: an error writing the settings
    // file is shown and the window closes all the same). Later calls answer true at once.
    bool Closing();

    // A push button was clicked (by mouse, Space, or the view's own means). Only enabled buttons
    // act.
    void Click(ControlId button);

    // A typed character in the control that has the focus (ControlId::None: none).
    KeyOutcome Key(ControlId focused, KeyPress key);
    // A key without a character in an edit field (Delete, cursor moves); extend: Shift held.
    KeyOutcome EditKey(ControlId field, EditCommand command, bool extend);

    // The focus is about to move (or has just moved) from one control to another of the window.
    // Refused: the core has beeped, shown the refusal and asked the view to focus `from` again.
    LeaveOutcome Leaving(ControlId from, ControlId to);
    // The focus arrived in a control; byMouse: by a click into it.
    void Entered(ControlId control, bool byMouse);

    // --- State a view may ask about.
    bool StartedUp() const { return startedUp_; }
    // A masked field that the user changed and that still has a blank input position.
    bool MustBeRefused(ControlId field);
    // The text a field held when the user entered it (what Escape restores).
    const std::string &EntryText(ControlId field) const;
    const MaskedText &Model(ControlId field) const;
    // The application title (caption of the exception display).
    std::string ApplicationTitle() const;
    // Message boxes and exception displays shown so far: a change across a piece of work tells
    // that it showed one (a view drops a click that led to a message box).
    unsigned MessagesShown() const { return messagesShown_; }
    // Whether leaving this control runs an exit handler.
    static bool HasExitHandler(ControlId control);

    // --- The handlers, run by the entry points above; public for views and tests.
    void FormActivate();
    void LoadButtonClick();
    void SaveButtonClick();
    void Button1Click();
    void FormClose();
    void RfpiEditExit(ControlId sender);
    void BaseRpnEditExit();
    void RepeaterRbnEditExit();
    void MonitorBeepChkBoxExit();
    void ParkEditExit();
    // The key-press handlers may replace key or set it to 0 (dropped).
    void KeyPressHandler(ControlId field, char &key);

    // Fills every field from ConfigImage and enables Load, Save and Quit.
    void RefreshDisplay();
    // Prepares ConfigImage for a write; false (after its message) when it must not be written.
    bool ValidateBeforeSave();
    // The port choice of Load and Save; false (after its message) when no port is selected.
    bool ChoosePort();

    // Shows message in the exception display (full stop rule, application title).
    void ShowError(const std::string &message);
    // Shows text in the window's message box form (caption "Repeater configuration", flags 16).
    void ShowMessage(const std::string &text);

    // Tests watch the handlers: called at the start of each, with the control that raised it
    // (None for the form) and, for key-press handlers, the key (which the observer may change).
    // An exception thrown by the observer counts as the handler's.
    using HandlerObserver = std::function<void(Handler, ControlId sender, char *key)>;
    void SetHandlerObserver(HandlerObserver observer) { observer_ = std::move(observer); }

private:
    struct Field {
        MaskedText model;
        std::string entryText;
        bool modified = false;
    };
    Field *FieldOf(ControlId id);
    const Field *FieldOf(ControlId id) const;
    void Observe(Handler handler, ControlId sender, char *key = nullptr);
    template <typename Fn> bool Guarded(Fn &&fn);
    void StartUpOnce();
    void Refuse(ControlId field);
    // Commits the focused control as leaving it would, without moving the focus; false when the
    // work that asked (an access key) must not go on.
    bool CommitFocused(ControlId focused);
    void AccessKey(ControlId focused, ControlId target);
    void RunExitHandler(ControlId control);
    KeyOutcome FieldKey(ControlId field, Field &f, char ch);
    static void MarkIfChanged(Field &field, const std::string &before, const std::string &after);
    void ShowCommitted(ControlId field, const std::string &text);
    void ReportOutcome(const WorkflowResult &result, const char *errorPrefix);
    void RunTransfer(WorkflowResult (*sequence)(), const char *errorPrefix, ControlId focusBefore);

    FormView &view_;
    SystemServices &system_;
    Transfers transfers_;
    std::array<Field, kControlCount> fields_;
    HandlerObserver observer_;
    ControlId focused_ = ControlId::None;
    unsigned messagesShown_ = 0;  // message boxes and exception displays shown so far
    bool startedUp_ = false;
    bool closed_ = false;
    bool bringingBack_ = false;  // the focus is being put back into a refused field
};

template <typename Fn>
bool FormCore::Guarded(Fn &&fn) {
    return RunShowingErrors(std::forward<Fn>(fn), [this](const std::string &message) { ShowError(message); });
}
