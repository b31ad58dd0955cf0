// The form core's entry points: start-up, close, clicks, keys, access keys and focus moves.
#include "form_core.h"

#include "display_rules.h"
#include "settings_rules.h"
#include "system_services.h"

#include <stdexcept>

namespace {

bool IsKind(ControlId id, ControlKind kind) { return id != ControlId::None && Spec(id).kind == kind; }

bool IsLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

const char *HandlerName(Handler handler) {
    switch (handler) {
    case Handler::FormActivate: return "FormActivate";
    case Handler::LoadButtonClick: return "LoadButtonClick";
    case Handler::SaveButtonClick: return "SaveButtonClick";
    case Handler::RfpiEditKeyPress: return "RfpiEditKeyPress";
    case Handler::RfpiEditExit: return "RfpiEditExit";
    case Handler::BaseRpnEditExit: return "BaseRpnEditExit";
    case Handler::RepeaterRbnEditKeyPress: return "RepeaterRbnEditKeyPress";
    case Handler::RepeaterRbnEditExit: return "RepeaterRbnEditExit";
    case Handler::MonitorBeepChkBoxExit: return "MonitorBeepChkBoxExit";
    case Handler::ParkEditExit: return "ParkEditExit";
    case Handler::ParkEditKeyPress: return "ParkEditKeyPress";
    case Handler::BaseRpnEditKeyPress: return "BaseRpnEditKeyPress";
    case Handler::FormClose: return "FormClose";
    case Handler::Button1Click: return "Button1Click";
    }
    return "?";
}

FormCore::FormCore(FormView &view, SystemServices &system, Transfers transfers)
    : view_(view), system_(system), transfers_(transfers) {
    for (const ControlSpec &spec : Controls()) {
        if (spec.kind != ControlKind::MaskedEdit) continue;
        Field &field = fields_[static_cast<std::size_t>(spec.id)];
        field.model = MaskedText(spec.mask, spec.maxLength);
        field.entryText = spec.text;
    }
}

FormCore::Field *FormCore::FieldOf(ControlId id) {
    return IsKind(id, ControlKind::MaskedEdit) ? &fields_[static_cast<std::size_t>(id)] : nullptr;
}

const FormCore::Field *FormCore::FieldOf(ControlId id) const {
    return IsKind(id, ControlKind::MaskedEdit) ? &fields_[static_cast<std::size_t>(id)] : nullptr;
}

const std::string &FormCore::EntryText(ControlId field) const {
    static const std::string none;
    const Field *f = FieldOf(field);
    return f ? f->entryText : none;
}

const MaskedText &FormCore::Model(ControlId field) const {
    static const MaskedText plain;
    const Field *f = FieldOf(field);
    return f ? f->model : plain;
}

void FormCore::Observe(Handler handler, ControlId sender, char *key) {
    if (observer_) observer_(handler, sender, key);
}

std::string FormCore::ApplicationTitle() const { return ApplicationTitleFor(system_.ExecutablePath()); }

void FormCore::ShowError(const std::string &message) {
    ++messagesShown_;
    view_.ShowExceptionDisplay(WithClosingFullStop(message), ApplicationTitle());
}

void FormCore::ShowMessage(const std::string &text) {
    ++messagesShown_;
    view_.ShowMessageBox(text, kMessageCaption, kMessageBoxError);
}

// --- Start-up and close ---------------------------------------------------------------------

// The port list must be there before any click or key can reach Load or Save: a window that
// comes up without being activated (no window manager, focus-stealing prevention) is shown all
// the same, so whichever of the two comes first runs the start-up.
void FormCore::Shown() { StartUpOnce(); }
void FormCore::Activated() { StartUpOnce(); }

void FormCore::StartUpOnce() {
    if (startedUp_) return;
    startedUp_ = true;
    Guarded([this] { FormActivate(); });
}

bool FormCore::Closing() {
    if (closed_) return true;
    closed_ = true;
    // An error from FormClose (the settings file could not be written) is shown once; the window
    // closes all the same, so the user is never trapped in it.
    Guarded([this] { FormClose(); });
    return true;
}

// --- Clicks and access keys ------------------------------------------------------------------

void FormCore::Click(ControlId button) {
    if (!IsKind(button, ControlKind::PushButton) || !view_.IsEnabled(button)) return;
    switch (button) {
    case ControlId::LoadButton: Guarded([this] { LoadButtonClick(); }); break;
    case ControlId::SaveButton: Guarded([this] { SaveButtonClick(); }); break;
    case ControlId::Button1: Guarded([this] { Button1Click(); }); break;
    default: break;
    }
}

void FormCore::Button1Click() {
    Observe(Handler::Button1Click, ControlId::Button1);
    view_.CloseWindow();
}

KeyOutcome FormCore::Key(ControlId focused, KeyPress key) {
    const ControlId accessTarget = ControlForAccessKey(key.ch);
    if (key.alt) {
        // With Alt held only the access keys act. A field's key-press handler still sees the key
        // (handlers see every key), but nothing reaches the field.
        if (accessTarget != ControlId::None) {
            AccessKey(focused, accessTarget);
        } else if (FieldOf(focused)) {
            char ch = key.ch;
            Guarded([&] { KeyPressHandler(focused, ch); });
        }
        return KeyOutcome::Consumed;
    }
    if (Field *field = FieldOf(focused)) return FieldKey(focused, *field, key.ch);
    // A button or check box takes no text: a plain letter there is the access key it names.
    if ((IsKind(focused, ControlKind::PushButton) || IsKind(focused, ControlKind::CheckBox)) &&
        IsLetterOrDigit(key.ch) && accessTarget != ControlId::None) {
        AccessKey(focused, accessTarget);
        return KeyOutcome::Consumed;
    }
    return KeyOutcome::PassToControl;
}

// An access key does not move the focus, so the control that holds it is committed first as
// leaving it would commit it; when that refuses (or shows a message), the key does nothing.
// Without this a value typed into a field would not reach the image before the click acts.
void FormCore::AccessKey(ControlId focused, ControlId target) {
    if (!view_.IsEnabled(target)) return;
    if (!CommitFocused(focused)) return;
    Click(target);
}

bool FormCore::CommitFocused(ControlId focused) { return Leaving(focused, ControlId::None) == LeaveOutcome::Left; }

// --- Focus -------------------------------------------------------------------------------------

bool FormCore::HasExitHandler(ControlId control) {
    switch (control) {
    case ControlId::RfpiEdit:
    case ControlId::WrsRfpiEdit:
    case ControlId::BaseRpnEdit:
    case ControlId::RepeaterRbnEdit:
    case ControlId::ParkEdit:
    case ControlId::MonitorBeepChkBox:
        return true;
    default:
        return false;
    }
}

void FormCore::RunExitHandler(ControlId control) {
    switch (control) {
    case ControlId::RfpiEdit:
    case ControlId::WrsRfpiEdit: RfpiEditExit(control); break;
    case ControlId::BaseRpnEdit: BaseRpnEditExit(); break;
    case ControlId::RepeaterRbnEdit: RepeaterRbnEditExit(); break;
    case ControlId::ParkEdit: ParkEditExit(); break;
    case ControlId::MonitorBeepChkBox: MonitorBeepChkBoxExit(); break;
    default: break;
    }
}

LeaveOutcome FormCore::Leaving(ControlId from, ControlId to) {
    if (bringingBack_ || from == to || from == ControlId::None) return LeaveOutcome::Left;
    if (MustBeRefused(from)) {
        Refuse(from);
        return LeaveOutcome::Refused;
    }
    if (!HasExitHandler(from)) return LeaveOutcome::Left;
    const unsigned before = messagesShown_;
    Guarded([&] { RunExitHandler(from); });
    return messagesShown_ == before ? LeaveOutcome::Left : LeaveOutcome::LeftWithMessage;
}

void FormCore::Entered(ControlId control, bool byMouse) {
    if (bringingBack_) return;  // the refused field gets the focus back: no new entry
    focused_ = control;
    Field *field = FieldOf(control);
    if (!field) return;
    EditState state = view_.GetEditState(control);
    field->entryText = state.text;
    field->modified = false;
    // Entering a field other than by a click selects its whole text.
    if (!byMouse) {
        MaskedText::SelectAll(state);
        view_.ShowEditState(control, state);
    }
}

bool FormCore::MustBeRefused(ControlId field) {
    const Field *f = FieldOf(field);
    if (!f || !f->model.IsMasked() || Spec(field).readOnly || !f->modified) return false;
    return f->model.FirstBlankInputPosition(view_.GetEditState(field).text) >= 0;
}

// Beeps, brings the focus back (when it had moved) with the cursor on the first blank input
// position, and shows the refusal. The text held on entry stays, so Escape still restores it.
void FormCore::Refuse(ControlId field) {
    view_.Beep();
    // The view may already be moving the focus away (it reports the move before or after it
    // happens): bring it back in either case.
    bringingBack_ = true;
    view_.Focus(field);
    bringingBack_ = false;
    focused_ = field;
    EditState state = view_.GetEditState(field);
    const int blank = Model(field).FirstBlankInputPosition(state.text);
    if (blank >= 0) state.anchor = state.cursor = blank;
    else state.anchor = state.cursor;
    view_.ShowEditState(field, state);
    ShowError(kInvalidInputMessage);
}

// --- Keys in the edit fields -------------------------------------------------------------------

// Only a change of the text makes a field changed (and so open to refusal when it is left):
// Backspace or Delete on a blank, or a character typed over the same one, only moves the cursor.
void FormCore::MarkIfChanged(Field &field, const std::string &before, const std::string &after) {
    if (after != before) field.modified = true;
}

KeyOutcome FormCore::FieldKey(ControlId id, Field &field, char typed) {
    char key = typed;
    // The field's key-press handler sees every key first; an error in it drops the key.
    if (!Guarded([&] { KeyPressHandler(id, key); })) key = '\0';
    if (key == '\0') return KeyOutcome::Consumed;

    const bool readOnly = Spec(id).readOnly;
    const MaskedText &model = field.model;
    EditState state = view_.GetEditState(id);
    const std::string before = state.text;
    bool edited = false;
    switch (key) {
    case '\b':
        edited = !readOnly && model.Backspace(state);
        break;
    case '\r':
        if (MustBeRefused(id)) Refuse(id);
        return KeyOutcome::Consumed;
    case '\x1b':
        // Escape gives a changed masked field back the text it had when it took the focus.
        if (model.IsMasked() && field.modified) {
            state.text = field.entryText;
            MaskedText::SelectAll(state);
            field.modified = false;
            view_.ShowEditState(id, state);
        }
        return KeyOutcome::Consumed;
    case '\x01':  // Ctrl+A
        MaskedText::SelectAll(state);
        view_.ShowEditState(id, state);
        return KeyOutcome::Consumed;
    case '\x03':  // Ctrl+C
        if (state.HasSelection())
            view_.SetClipboardText(state.text.substr(std::size_t(state.SelectionStart()), std::size_t(state.SelectionLength())));
        return KeyOutcome::Consumed;
    case '\x18':  // Ctrl+X
        if (readOnly || !state.HasSelection()) return KeyOutcome::Consumed;
        view_.SetClipboardText(model.Cut(state));
        edited = true;
        break;
    case '\x16':  // Ctrl+V: pasted text bypasses the key filters
        edited = !readOnly && model.Paste(state, view_.ClipboardText());
        break;
    default:
        if (static_cast<unsigned char>(key) < 0x20 || readOnly) return KeyOutcome::Consumed;
        if (model.Type(state, key) == MaskedText::Typed::Refused) {
            view_.Beep();
            return KeyOutcome::Consumed;
        }
        edited = true;
        break;
    }
    if (edited) {
        MarkIfChanged(field, before, state.text);
        view_.ShowEditState(id, state);
    }
    return KeyOutcome::Consumed;
}

KeyOutcome FormCore::EditKey(ControlId id, EditCommand command, bool extend) {
    Field *field = FieldOf(id);
    if (!field) return KeyOutcome::PassToControl;
    EditState state = view_.GetEditState(id);
    if (command == EditCommand::Delete) {
        const std::string before = state.text;
        if (Spec(id).readOnly || !field->model.Delete(state)) return KeyOutcome::Consumed;
        MarkIfChanged(*field, before, state.text);
    } else {
        field->model.Move(state, command, extend);
    }
    view_.ShowEditState(id, state);
    return KeyOutcome::Consumed;
}
