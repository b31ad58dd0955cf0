// The real Win32 window, created in the test's thread and driven with the messages a user's
// mouse and keyboard cause, against the simulated repeaters that the Wine driver
// (tests/wine/run-window-suite.sh) starts: COM2 the sample repeater, COM3 one with a parent of
// another ARI class, COM4 another device type, COM5 one whose replies are all damaged, COM7 the
// sample repeater again (for the one Save that succeeds with edits). The automatic backups of the
// Saves go to a private %LOCALAPPDATA% of each test.
#pragma once

#include "form_window.h"
#include "message_box_watcher.h"
#include "win32_services.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class WindowTest : public ::testing::Test {
protected:
    // The settings file's contents before the window starts (nullopt: no file).
    virtual std::optional<std::string> Settings() const { return "[Com settings]\r\nPort=2\r\n"; }

    void SetUp() override;
    void TearDown() override;

public:
    // Opens the window as the program does; the start-up work runs when it is shown.
    void OpenWindow();
    FormWindow &Window() { return *window_; }
    HWND Control(ControlId id) { return window_->Control(id); }

    // What the user sees.
    std::string Text(ControlId id);
    bool Checked(ControlId id);
    bool Enabled(ControlId id);
    ControlId Focused();
    std::vector<std::string> PortEntries();

    // What the user does. Clicks go to the middle of the control.
    void Click(ControlId id);
    void Type(const std::string &chars);         // WM_CHAR to the focused control
    // WM_KEYDOWN and WM_KEYUP to the focused control, with Shift held when asked.
    void PressKey(WPARAM virtualKey, bool shift = false);
    void PressAltKey(char letter);               // WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP
    void ChoosePort(const std::string &entry);   // picks an entry of the port list
    // Clicks into a field and selects its whole text, as a double click and drag would.
    void ClickAndSelectAll(ControlId field);
    // Handles the posted messages (as the program's message loop would).
    void Pump();

    // The boxes shown since the last call.
    std::vector<SeenBox> Boxes() { return boxes_->Take(); }
    // The texts of the boxes shown since the last call.
    std::vector<std::string> BoxTexts();

    // The settings file beside the test program, and what a simulated repeater holds.
    static std::string SettingsPath();
    static std::string ReadSettings();
    static std::vector<uint8_t> RepeaterConfig(const char *memoryFileVariable);
    // The files in the test's automatic backups folder (%LOCALAPPDATA%\relaycfg\backups), by path.
    std::vector<std::string> AutomaticBackups() const;

protected:
    Win32Services system_;
    std::unique_ptr<FormWindow> window_;
    std::unique_ptr<MessageBoxWatcher> boxes_;
    std::string localAppData_;
};

// The configuration bytes of the sample repeater (COM2) as the run starts.
std::vector<uint8_t> SampleConfig();
