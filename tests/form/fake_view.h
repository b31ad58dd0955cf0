// A view and system services made of plain data, for testing the form core without a toolkit.
// The view records what the core shows; its helpers act as a user does (typing, moving the focus
// with Tab or a click, pressing a button), reporting to the core the way a real view does.
#pragma once

#include "control_table.h"
#include "form_core.h"
#include "form_view.h"
#include "system_services.h"

#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

class FakeSystem : public SystemServices {
public:
    std::set<uint8_t> ports;  // COM numbers the probe finds
    std::string executable = "/opt/relay/relaytool";
    std::map<std::string, std::string> files;  // settings file path -> its "Port" value
    bool writeFails = false;
    std::vector<std::string> writes;  // "path=value"

    bool ProbeComPort(uint8_t n) override { return n >= 1 && n <= 9 && ports.count(n) > 0; }
    std::string ExecutablePath() override { return executable; }
    std::string SettingsReadPath() override { return "/opt/relay/relaytool.ini"; }
    std::string SettingsWritePath() override { return "/opt/relay/relaytool.ini"; }
    std::string ReadProfileString(const std::string &path, const char *, const char *) override {
        const auto found = files.find(path);
        return found == files.end() ? std::string() : found->second;
    }
    bool WriteProfileString(const std::string &path, const char *, const char *, const std::string &value) override {
        if (writeFails) return false;
        files[path] = value;
        writes.push_back(path + "=" + value);
        return true;
    }
};

class FakeView : public FormView {
public:
    struct Box {
        std::string text, caption;
        int flags = 0;
        bool exceptionDisplay = false;
        bool busy = false;            // the busy cursor was on while the box was shown
        bool anyButtonEnabled = false;  // Load, Save or Quit could be pressed meanwhile
        std::size_t dropsBefore = 0;  // how often queued input had been dropped before it
    };
    // A drop of the queued input, and the state it found.
    struct Drop {
        bool busy = false;
        bool anyButtonEnabled = false;
    };

    FakeView() {
        for (const ControlSpec &spec : Controls()) {
            edits[Index(spec.id)].text = spec.text;
            enabled[Index(spec.id)] = true;
        }
    }

    FormCore *core = nullptr;
    std::array<EditState, kControlCount> edits{};
    std::array<bool, kControlCount> checked{};
    std::array<bool, kControlCount> enabled{};
    ControlId focus = ControlId::ComboCOMPort;
    std::vector<std::string> portEntries;
    int portIndex = -1;
    std::string portText;
    std::string clipboard;
    int beeps = 0;
    int busyDepth = 0;
    int closeRequests = 0;
    std::vector<Box> boxes;
    std::vector<Drop> drops;

    static std::size_t Index(ControlId id) { return static_cast<std::size_t>(id); }
    const std::string &Text(ControlId id) const { return edits[Index(id)].text; }

    // --- The user's actions, reported as a view reports them.
    // Moves the focus as Tab or a click does; false when the core kept it where it was.
    bool MoveFocus(ControlId to, bool byMouse = false) {
        if (core->Leaving(focus, to) == LeaveOutcome::Refused) return false;
        focus = to;
        core->Entered(to, byMouse);
        return true;
    }
    void Type(const std::string &keys, bool alt = false) {
        for (char c : keys) core->Key(focus, {c, alt});
    }
    // A click on a button: the focus moves there first; a click that led to a message is lost.
    void ClickButton(ControlId button) {
        const unsigned before = core->MessagesShown();
        if (focus != button && !MoveFocus(button, true)) return;
        if (core->MessagesShown() != before) return;
        core->Click(button);
    }

    // --- FormView.
    EditState GetEditState(ControlId field) override { return edits[Index(field)]; }
    void ShowEditState(ControlId field, const EditState &state) override { edits[Index(field)] = state; }
    bool IsChecked(ControlId box) override { return checked[Index(box)]; }
    void SetChecked(ControlId box, bool on) override { checked[Index(box)] = on; }
    void SetEnabled(ControlId control, bool on) override { enabled[Index(control)] = on; }
    bool IsEnabled(ControlId control) override { return enabled[Index(control)]; }
    void Focus(ControlId control) override {
        const ControlId old = focus;
        focus = control;
        if (old == control) return;
        core->Entered(control, false);
        core->Leaving(old, control);
    }
    std::string PortText() override { return portText; }
    int PortIndex() override { return portIndex; }
    void AddPortEntry(const std::string &entry) override { portEntries.push_back(entry); }
    void SelectPortEntry(int index) override {
        portIndex = index;
        portText = portEntries.at(std::size_t(index));
    }
    std::string ClipboardText() override { return clipboard; }
    void SetClipboardText(const std::string &text) override { clipboard = text; }
    void Beep() override { ++beeps; }
    void ShowMessageBox(const std::string &text, const std::string &caption, int flags) override {
        boxes.push_back({text, caption, flags, false, busyDepth > 0, AnyButtonEnabled(), drops.size()});
    }
    void ShowExceptionDisplay(const std::string &text, const std::string &caption) override {
        boxes.push_back({text, caption, kMessageBoxError, true, busyDepth > 0, AnyButtonEnabled(), drops.size()});
    }
    void SetBusy(bool busy) override { busyDepth += busy ? 1 : -1; }
    void DropQueuedInput() override { drops.push_back({busyDepth > 0, AnyButtonEnabled()}); }
    void CloseWindow() override {
        ++closeRequests;
        core->Closing();
    }

private:
    bool AnyButtonEnabled() const {
        return enabled[Index(ControlId::LoadButton)] || enabled[Index(ControlId::SaveButton)] ||
               enabled[Index(ControlId::Button1)];
    }
};
