// The form core without a toolkit: start-up, the port list, keys with Alt, the access-key commit,
// the refusal of an incomplete field, the Load / Save messages and busy state, and the close.
#include "fake_view.h"
#include "form_core.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "port_settings.h"
#include "workflow_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using enum ControlId;

// What the fake transfers answer, and how often they ran.
WorkflowResult loadResult, saveResult;
int loads = 0, saves = 0;
bool transferThrows = false;
WorkflowResult FakeLoad() {
    ++loads;
    if (transferThrows) throw std::runtime_error("out of memory");
    if (loadResult.outcome == WorkflowOutcome::Done) DataLoaded = true;
    return loadResult;
}
WorkflowResult FakeSave() {
    ++saves;
    return saveResult;
}

class FormCoreTest : public ::testing::Test {
protected:
    FormCoreTest() {
        std::fill(std::begin(ConfigImage), std::end(ConfigImage), uint8_t{0});
        DataLoaded = false;
        ParkLastDigit = '\0';
        PortSettings = PortSettingsRecord{};
        loadResult = saveResult = WorkflowResult{};
        loads = saves = 0;
        transferThrows = false;
        view.core = &core;
        core.SetHandlerObserver([this](Handler handler, ControlId sender, char *key) {
            log.push_back(std::string(HandlerName(handler)) + ":" + NameOf(sender));
            (void)key;
        });
    }

    // Started up with COM1 listed and selected.
    void StartOnCom1() {
        system.ports = {1};
        core.Shown();
        ASSERT_EQ(view.portIndex, 0);
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const FakeView::Box &box : view.boxes) texts.push_back(box.text);
        return texts;
    }
    long Count(const std::string &entry) const { return std::count(log.begin(), log.end(), entry); }

    FakeSystem system;
    FakeView view;
    FormCore core{view, system, Transfers{FakeLoad, FakeSave}};
    std::vector<std::string> log;
};

// The port list comes before any click can reach Load: at the first showing or the first
// activation, whichever comes first, and only once.
TEST_F(FormCoreTest, StartUpRunsOnceAtWhicheverComesFirst) {
    for (const bool shownFirst : {true, false}) {
        SCOPED_TRACE(shownFirst ? "shown first" : "activated first");
        FakeSystem system;
        system.ports = {1};
        FakeView view;
        FormCore core(view, system);
        view.core = &core;
        if (shownFirst) core.Shown();
        else core.Activated();
        EXPECT_EQ(view.portEntries, std::vector<std::string>{"COM1"});
        EXPECT_EQ(view.portIndex, 0);
        core.Activated();
        core.Shown();
        core.Activated();
        EXPECT_EQ(view.portEntries.size(), 1u) << "the list is built once";
        EXPECT_EQ(PortSettings.BaudRate, 9600);
    }
}

TEST_F(FormCoreTest, PortListFromProbeAndStoredPort) {
    struct Case {
        std::set<uint8_t> ports;
        const char *stored;  // nullptr: no settings file
        std::vector<std::string> entries;
        int selected;
    };
    const Case cases[] = {
        {{1, 3}, "3", {"COM1", "COM3"}, 1},
        {{3}, "3", {"COM3"}, 0},
        {{1}, nullptr, {"COM1"}, 0},
        {{2}, nullptr, {"COM2"}, -1},
        {{1, 2}, "257", {"COM1", "COM2"}, 0},  // only the low 8 bits count
        {{1, 2}, "-255", {"COM1", "COM2"}, 0},
        {{1, 3}, "0x3", {"COM1", "COM3"}, 1},
        {{1, 9}, "9", {"COM1"}, -1},  // COM9 is never listed
        {{}, "1", {}, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(none)");
        FakeSystem system;
        system.ports = c.ports;
        if (c.stored) system.files[system.SettingsReadPath()] = c.stored;
        FakeView view;
        FormCore core(view, system);
        view.core = &core;
        core.Shown();
        EXPECT_EQ(view.portEntries, c.entries);
        EXPECT_EQ(view.portIndex, c.selected);
    }
}

// With Alt held no key reaches a field, whatever the field's filter would let through; only the
// access keys act. AltGr (reported as plain typing) still types.
TEST_F(FormCoreTest, AltHeldKeysNeverReachAField) {
    StartOnCom1();
    const ControlId fields[] = {RfpiEdit, WrsRfpiEdit, ParkEdit, BaseRpnEdit, RepeaterRbnEdit, ParkPliEdit, ParkChkEdit};
    for (const ControlId field : fields) {
        SCOPED_TRACE(NameOf(field));
        ASSERT_TRUE(view.MoveFocus(field));
        const EditState before = view.edits[FakeView::Index(field)];
        view.Type("g89x4-/ @", true);
        EXPECT_EQ(view.edits[FakeView::Index(field)], before);
    }
    EXPECT_EQ(view.beeps, 0);
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(loads + saves, 0);

    ASSERT_TRUE(view.MoveFocus(RepeaterRbnEdit));
    view.Type("4");  // AltGr+4 comes as plain "4"
    EXPECT_EQ(view.Text(RepeaterRbnEdit), "4");
    log.clear();
    view.Type("l", true);  // Alt+L: commits the field, then loads
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(Count("RepeaterRbnEditExit:RepeaterRbnEdit"), 1);
}

// An access key does not move the focus: the focused field is committed first, and a refusal or
// a message there stops the key.
TEST_F(FormCoreTest, AccessKeyCommitsTheFocusedFieldFirst) {
    StartOnCom1();
    view.ClickButton(LoadButton);
    ASSERT_TRUE(DataLoaded);
    ASSERT_TRUE(view.MoveFocus(RepeaterRbnEdit));
    view.Type("\b5");
    log.clear();
    view.Type("s", true);
    EXPECT_EQ(log, (std::vector<std::string>{"RepeaterRbnEditExit:RepeaterRbnEdit", "SaveButtonClick:SaveButton"}));
    EXPECT_EQ(ConfigImage[2], 5) << "the saved image holds the typed value";
    EXPECT_EQ(saves, 1);

    struct Case {
        ControlId field;
        const char *typed;
        const char *message;
    };
    const Case refusals[] = {
        {RfpiEdit, "12", "Invalid input value.  Use escape key to abandon changes."},
        {BaseRpnEdit, "\b\b\b", "Base rpn does not have right format"},
    };
    for (const Case &c : refusals) {
        SCOPED_TRACE(NameOf(c.field));
        ASSERT_TRUE(view.MoveFocus(c.field));
        view.Type(c.typed);
        view.boxes.clear();
        log.clear();
        view.Type("s", true);
        ASSERT_EQ(BoxTexts(), std::vector<std::string>{c.message});
        EXPECT_EQ(Count("SaveButtonClick:SaveButton"), 0);
        EXPECT_EQ(view.focus, c.field);
        view.Type("\x1b");
    }
    EXPECT_EQ(saves, 1);
}

// A changed masked field with a blank input position cannot be left; Escape gives back the text
// held on entry. The refusal is shown by the exception display, captioned with the program's
// name as its executable is called.
TEST_F(FormCoreTest, IncompleteChangedFieldIsRefusedUntilEscape) {
    system.executable = "C:\\Tools\\RelayTool.EXE";
    StartOnCom1();
    ASSERT_TRUE(view.MoveFocus(RfpiEdit));
    view.Type("025");
    EXPECT_FALSE(view.MoveFocus(BaseRpnEdit));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Invalid input value.  Use escape key to abandon changes.");
    EXPECT_EQ(view.boxes[0].caption, "Relaytool");
    EXPECT_TRUE(view.boxes[0].exceptionDisplay);
    EXPECT_EQ(view.beeps, 1);
    EXPECT_EQ(view.focus, RfpiEdit);
    EXPECT_EQ(view.edits[FakeView::Index(RfpiEdit)], (EditState{"02 5          ", 4, 4})) << "cursor on the first blank";
    EXPECT_EQ(Count("RfpiEditExit:RfpiEdit"), 0);
    view.Type("\x1b");
    EXPECT_EQ(view.Text(RfpiEdit), std::string(14, ' '));
    EXPECT_TRUE(view.MoveFocus(BaseRpnEdit)) << "unchanged again: it may be left";
    EXPECT_EQ(Count("RfpiEditExit:RfpiEdit"), 1);
}

// Only a change of the text makes a masked field changed: a key that leaves the text as it was
// never gets an untouched incomplete field refused when it is left; a real change does.
TEST_F(FormCoreTest, OnlyAChangeOfTheTextMakesAFieldChanged) {
    struct Case {
        const char *name;
        ControlId field;
        EditState start;  // as the field shows it when the user clicks into it
        std::string keys;  // typed; 0x7F stands for the Delete key
        std::string clipboard;
        bool refused;
    };
    const std::string blankRfpi(14, ' ');
    const Case cases[] = {
        {"backspace over blanks", RfpiEdit, {blankRfpi, 4, 4}, "\b\b", "", false},
        {"delete on a blank", RfpiEdit, {blankRfpi, 0, 0}, "\x7f\x7f", "", false},
        {"cut of blanks", ParkEdit, {std::string(11, ' '), 0, 5}, "\x18", "", false},
        {"typed over itself", RfpiEdit, {"02 5A         ", 0, 0}, "02", "", false},
        {"pasted over itself", RfpiEdit, {"02 5A         ", 0, 0}, "\x16", "02 5A", false},
        {"backspace on a character", RfpiEdit, {"02 5A         ", 5, 5}, "\b", "", true},
        {"delete of a digit", ParkEdit, {"0123       ", 0, 0}, "\x7f", "", true},
        {"typed over another", RfpiEdit, {"02 5A         ", 0, 0}, "1", "", true},
    };
    StartOnCom1();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        view.boxes.clear();
        view.edits[FakeView::Index(c.field)] = c.start;
        view.clipboard = c.clipboard;
        ASSERT_TRUE(view.MoveFocus(c.field, true));
        for (const char key : c.keys) {
            if (key == '\x7f') core.EditKey(c.field, EditCommand::Delete, false);
            else core.Key(c.field, {key, false});
        }
        EXPECT_EQ(view.MoveFocus(LoadButton), !c.refused);
        EXPECT_EQ(BoxTexts().size(), c.refused ? 1u : 0u);
        if (c.refused) {
            view.Type("\x1b");
            ASSERT_TRUE(view.MoveFocus(LoadButton));
        }
    }
}

// Every message of Load and Save, in the message box form; the buttons stay disabled and the busy
// cursor is off while a transfer's message is read, and are enabled again after it. Input queued
// while a transfer blocked the event loop is dropped once, as its busy state ends: before its
// message (an error escaping it included) and before the buttons are enabled again.
TEST_F(FormCoreTest, LoadAndSaveMessages) {
    struct Case {
        const char *name;
        ControlId button;
        bool portSelected, loadedBefore;
        WorkflowResult result;
        std::string message;  // "" for none
        bool transferMessage;
        bool throws = false;
    };
    const Case cases[] = {
        {"load without port", LoadButton, false, false, {}, "First choose com port!", false},
        {"save before load", SaveButton, true, false, {}, "First load data!", false},
        {"save without port", SaveButton, false, true, {}, "First choose com port!", false},
        {"load", LoadButton, true, false, {}, "", false},
        {"save", SaveButton, true, true, {}, "", false},
        {"unsupported load", LoadButton, true, false, {WorkflowOutcome::UnsupportedDevice, 0}, "Unsupported repeater device", true},
        {"unsupported save", SaveButton, true, true, {WorkflowOutcome::UnsupportedDevice, 0}, "Unsupported repeater device", true},
        {"load fails", LoadButton, true, false, {WorkflowOutcome::TransferFailed, 8},
         "An error occured while reading from target: " + TransferErrorText(8), true},
        {"save fails", SaveButton, true, true, {WorkflowOutcome::TransferFailed, 3},
         "An error occured while writing to target: " + TransferErrorText(3), true},
        {"load throws", LoadButton, true, false, {}, "out of memory.", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem system;
        system.ports = {1};
        FakeView view;
        FormCore core(view, system, Transfers{FakeLoad, FakeSave});
        view.core = &core;
        core.Shown();
        if (!c.portSelected) view.portIndex = -1;
        view.edits[FakeView::Index(RepeaterRbnEdit)].text = "1";  // differs from the base RPN
        DataLoaded = c.loadedBefore;
        loadResult = saveResult = c.result;
        transferThrows = c.throws;
        loads = saves = 0;
        view.ClickButton(c.button);
        ASSERT_EQ(view.drops.size(), std::size_t(loads + saves));
        for (const FakeView::Drop &drop : view.drops) EXPECT_TRUE(drop.busy && !drop.anyButtonEnabled);
        if (c.message.empty()) {
            EXPECT_TRUE(view.boxes.empty());
        } else {
            ASSERT_EQ(view.boxes.size(), 1u);
            EXPECT_EQ(view.boxes[0].text, c.message);
            EXPECT_EQ(view.boxes[0].dropsBefore, view.drops.size()) << "the queued input went first";
            EXPECT_EQ(view.boxes[0].caption, c.throws ? "relaytool" : "Repeater configuration");
            EXPECT_EQ(view.boxes[0].flags, 16);
            EXPECT_FALSE(view.boxes[0].busy) << "read with the normal cursor";
            EXPECT_EQ(view.boxes[0].anyButtonEnabled, !c.transferMessage);
        }
        EXPECT_EQ(view.busyDepth, 0);
        EXPECT_TRUE(view.enabled[FakeView::Index(LoadButton)] && view.enabled[FakeView::Index(SaveButton)] &&
                    view.enabled[FakeView::Index(Button1)]);
        EXPECT_EQ(view.focus, c.button) << "the focus is back on the clicked button";
    }
}

// The close writes the port list's text once; a write that fails is shown once and the window
// closes all the same.
TEST_F(FormCoreTest, CloseStoresThePortOnceAndNeverTrapsTheUser) {
    StartOnCom1();
    view.portText = "COM7";
    view.ClickButton(Button1);
    EXPECT_EQ(view.closeRequests, 1);
    EXPECT_EQ(system.writes, std::vector<std::string>{"/opt/relay/relaytool.ini=7"});
    EXPECT_TRUE(core.Closing());
    EXPECT_EQ(system.writes.size(), 1u);

    FakeSystem failing;
    failing.writeFails = true;
    FakeView view2;
    FormCore core2(view2, failing);
    view2.core = &core2;
    view2.portText = "COM3";
    EXPECT_TRUE(core2.Closing());
    EXPECT_TRUE(core2.Closing());
    ASSERT_EQ(view2.boxes.size(), 1u);
    EXPECT_EQ(view2.boxes[0].text, "Unable to write to /opt/relay/relaytool.ini.");
    EXPECT_EQ(view2.boxes[0].caption, "relaytool");
}

}  // namespace
