// When exit handlers run: on a focus move inside the window, before the click of the control that
// was clicked, never on window deactivation or a message box; and the access keys.
#include "window_fixture.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

namespace {

using FieldExit = WindowTest;

TEST_F(FieldExit, EachBoundControlRunsItsExitHandlerWhenLeftByTab) {
    RecordingForm &f = Open();
    struct Case {
        QWidget *control;
        const char *expected;
    };
    const Case cases[] = {
        {f.RfpiEdit, "RfpiEditExit:RfpiEdit"},
        {f.WrsRfpiEdit, "RfpiEditExit:WrsRfpiEdit"},
        {f.BaseRpnEdit, "BaseRpnEditExit:BaseRpnEdit"},
        {f.RepeaterRbnEdit, "RepeaterRbnEditExit:RepeaterRbnEdit"},
        {f.ParkEdit, "ParkEditExit:ParkEdit"},
        {f.MonitorBeepChkBox, "MonitorBeepChkBoxExit:MonitorBeepChkBox"},
        {f.ParkPliEdit, nullptr},
        {f.ParkChkEdit, nullptr},
        {f.HopCtrlChkBox, nullptr},
        {f.LoadButton, nullptr},
        {f.ComboCOMPort, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.control->objectName().toStdString());
        c.control->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(WaitUntil([&] { return c.control->hasFocus(); }));
        f.log.clear();
        QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Tab);
        const std::vector<std::string> expected =
            c.expected ? std::vector<std::string>{c.expected} : std::vector<std::string>{};
        EXPECT_EQ(f.log, expected);
    }
}

TEST_F(FieldExit, ExitRunsBeforeTheClickedButtonsHandler) {
    RecordingForm &f = Open();
    f.RepeaterRbnEdit->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(f.RepeaterRbnEdit, "12");
    f.log.clear();
    QTest::mouseClick(f.SaveButton, Qt::LeftButton);
    EXPECT_EQ(f.log, (std::vector<std::string>{"RepeaterRbnEditExit:RepeaterRbnEdit", "SaveButtonClick:SaveButton"}));
    ASSERT_EQ(watchdog.Boxes().size(), 1u) << "Save before a Load is refused with a message";
    ASSERT_TRUE(ShowAndActivate(f));  // the box took the window's activation

    f.MonitorBeepChkBox->setFocus(Qt::TabFocusReason);
    f.log.clear();
    QTest::mouseClick(f.LoadButton, Qt::LeftButton);
    EXPECT_EQ(f.log, (std::vector<std::string>{"MonitorBeepChkBoxExit:MonitorBeepChkBox", "LoadButtonClick:LoadButton"}));
}

// An exit handler that shows a message takes the mouse: the click that moved the focus is lost,
// and the clicked button is not left pressed. (999 is no RPN: the exit handler says so.)
TEST_F(FieldExit, ClickIsLostWhenTheExitHandlerShowsAMessage) {
    RecordingForm &f = Open();
    f.RepeaterRbnEdit->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(f.RepeaterRbnEdit, "999");
    f.log.clear();
    QTest::mouseClick(f.LoadButton, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return watchdog.Boxes().size() == 1; }));
    EXPECT_EQ(watchdog.Boxes()[0].text, "Repeater rpn does not have right format");
    EXPECT_EQ(f.log, (std::vector<std::string>{"RepeaterRbnEditExit:RepeaterRbnEdit"}));
    EXPECT_FALSE(f.LoadButton->isDown());
    // The next click is an ordinary one (Load without a port says so).
    ASSERT_TRUE(ShowAndActivate(f));
    QTest::mouseClick(f.LoadButton, Qt::LeftButton);
    EXPECT_EQ(f.Entries("LoadButtonClick").size(), 1u);
    EXPECT_EQ(watchdog.Boxes().size(), 2u);
}

TEST_F(FieldExit, NoExitWhenTheWindowLosesTheFocus) {
    RecordingForm &f = Open();
    f.RfpiEdit->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(f.RfpiEdit, "0");  // changed and incomplete: would be refused on an exit
    f.log.clear();

    // Another window of the program becomes active, then this one again.
    QWidget other;
    other.setObjectName("Other");
    ASSERT_TRUE(ShowAndActivate(other));
    ASSERT_TRUE(ShowAndActivate(f));
    EXPECT_EQ(FocusedControlName(), "RfpiEdit");

    // A message box opens and closes over the window.
    QTimer::singleShot(0, [] { QMessageBox::information(nullptr, "t", "x"); });
    ASSERT_TRUE(WaitUntil([&] { return watchdog.Boxes().size() == 1; }));
    ASSERT_TRUE(ShowAndActivate(f));
    EXPECT_EQ(FocusedControlName(), "RfpiEdit");

    EXPECT_TRUE(f.log.empty()) << f.log.front();
    EXPECT_EQ(f.RfpiEdit->displayText(), "0             ") << "coming back is no new entry: nothing selected or reset";
    EXPECT_FALSE(f.RfpiEdit->hasSelectedText());
    EXPECT_EQ(watchdog.Boxes().size(), 1u) << "no refusal either";
}

// An access key clicks without moving the focus; the control that holds the focus is committed
// first, as leaving it would (here nothing is changed, so no field is refused).
TEST_F(FieldExit, AccessKeysCommitTheFocusedControlThenClickWithoutMovingTheFocus) {
    RecordingForm &f = Open();
    struct Case {
        const char *name;
        QWidget *focus;
        char key;
        bool alt;
        std::vector<std::string> expected;  // exit and click handlers, in order
    };
    const Case cases[] = {
        {"Alt+L in a field", f.RfpiEdit, 'l', true, {"RfpiEditExit:RfpiEdit", "LoadButtonClick:LoadButton"}},
        {"Alt+S in a field", f.BaseRpnEdit, 's', true, {"BaseRpnEditExit:BaseRpnEdit", "SaveButtonClick:SaveButton"}},
        {"plain s on a button", f.Button1, 's', false, {"SaveButtonClick:SaveButton"}},
        {"plain l on a check box", f.MonitorBeepChkBox, 'l', false,
         {"MonitorBeepChkBoxExit:MonitorBeepChkBox", "LoadButtonClick:LoadButton"}},
        {"upper-case L on a button", f.LoadButton, 'L', false, {"LoadButtonClick:LoadButton"}},
        {"Alt+L in the port list", f.ComboCOMPort, 'l', true, {"LoadButtonClick:LoadButton"}},
        {"plain l in a field types", f.BaseRpnEdit, 'l', false, {}},
        {"plain q has no button", f.SaveButton, 'q', false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ShowAndActivate(f));  // a message box of the case before took the activation
        c.focus->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(WaitUntil([&] { return c.focus->hasFocus(); }));
        f.log.clear();
        if (c.alt) QTest::keyClick(c.focus, Qt::Key(QChar(c.key).toUpper().unicode()), Qt::AltModifier);
        else QTest::keyClick(c.focus, c.key);
        std::vector<std::string> handlers;
        for (const std::string &entry : f.log)
            if (entry.find("KeyPress") == std::string::npos) handlers.push_back(entry);
        EXPECT_EQ(handlers, c.expected);
        ASSERT_TRUE(ShowAndActivate(f));
        EXPECT_EQ(QApplication::focusWidget(), c.focus) << "the focus stays where it was";
    }
}

TEST_F(FieldExit, DisabledButtonIgnoresItsAccessKey) {
    RecordingForm &f = Open();
    f.LoadButton->setEnabled(false);
    f.RfpiEdit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.RfpiEdit, Qt::Key_L, Qt::AltModifier);
    f.SaveButton->setFocus(Qt::TabFocusReason);
    f.LoadButton->setEnabled(false);  // again: leaving the field redisplayed, which enables it
    QTest::keyClick(f.SaveButton, Qt::Key_L);  // an access key acts before the key returns
    EXPECT_TRUE(f.Entries("LoadButtonClick").empty());
}

TEST_F(FieldExit, QuitClosesTheWindowThroughFormClose) {
    RecordingForm &f = Open();
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return !f.isVisible(); }));
    EXPECT_EQ(f.Entries("Button1Click").size(), 1u);
    EXPECT_EQ(f.Entries("FormClose").size(), 1u);
    f.close();  // a second close request runs nothing again
    EXPECT_EQ(f.Entries("FormClose").size(), 1u);
}

TEST_F(FieldExit, ActivationHandlerRunsOncePerRun) {
    RecordingForm &f = Open();
    QWidget other;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ShowAndActivate(other));
        ASSERT_TRUE(ShowAndActivate(f));
    }
    EXPECT_EQ(f.Entries("FormActivate").size(), 1u);
}

}  // namespace
