// Editing the fields after a Load: how each exit changes the image and the display, the texts an
// exit refuses (typed or pasted), the refusal of an incomplete masked field, and the key filters
// as the user meets them.
#include "workflow_fixture.h"

#include <QCheckBox>
#include <QPushButton>

namespace {

using WindowEditing = WorkflowTest;

const QString kRefusalText = "Invalid input value.  Use escape key to abandon changes.";

TEST_F(WindowEditing, RejectedTextsShowTheirMessageAndLeaveTheImage) {
    struct Case {
        const char *name;
        MaskedEdit *TFormMain::*field;
        bool paste;  // typing cannot produce the text
        QString text;
        QString message;
    };
    const Case cases[] = {
        {"base RPN 256", &TFormMain::BaseRpnEdit, false, "256", "Base rpn does not have right format"},
        {"base RPN empty", &TFormMain::BaseRpnEdit, false, "\b", "Base rpn does not have right format"},
        {"base RPN pasted minus", &TFormMain::BaseRpnEdit, true, "-1", "Base rpn does not have right format"},
        {"repeater RPN 999", &TFormMain::RepeaterRbnEdit, false, "999", "Repeater rpn does not have right format"},
        {"repeater RPN empty", &TFormMain::RepeaterRbnEdit, false, "\b", "Repeater rpn does not have right format"},
        {"repeater RPN pasted blank", &TFormMain::RepeaterRbnEdit, true, " 4", "Repeater rpn does not have right format"},
        // Pasting passes the key filters; the masks take any letter and any digit.
        {"RFPI with G", &TFormMain::RfpiEdit, true, "0G 5A 3C 81 43", "Rfpi does not have right format"},
        {"RFPI with z", &TFormMain::RfpiEdit, true, "02 5A 3C 81 4z", "Rfpi does not have right format"},
        {"PARK with 8", &TFormMain::ParkEdit, true, "01132171085", "Park does not have right format"},
        {"PARK with 9", &TFormMain::ParkEdit, true, "91132171005", "Park does not have right format"},
    };
    RecordingForm &f = OpenOnCom1();
    Load();
    const Bytes loaded = Image();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MaskedEdit *field = f.*c.field;
        const QString shownBefore = field->displayText();
        watchdog.Clear();
        if (c.paste) Paste(field, c.text);
        else Edit(field, c.text);
        EXPECT_EQ(BoxTexts(), std::vector<QString>{c.message});
        ASSERT_FALSE(watchdog.Boxes().empty());
        EXPECT_EQ(watchdog.Boxes()[0].title, "Repeater configuration");
        EXPECT_EQ(watchdog.Boxes()[0].icon, QMessageBox::Critical);
        EXPECT_EQ(watchdog.Boxes()[0].buttons, 1);
        EXPECT_EQ(Image(), loaded);
        EXPECT_EQ(field->displayText(), shownBefore) << "the field shows the current value again";
    }
}

// What reached the field is what the exit converts: pasted texts within the alphabet work.
TEST_F(WindowEditing, PastedTextsInTheAlphabetAreTaken) {
    RecordingForm &f = OpenOnCom1();
    Load();
    Paste(f.RfpiEdit, "12 34 56 78 9a");
    EXPECT_EQ(f.RfpiEdit->displayText(), "12 34 56 78 9A");
    Paste(f.BaseRpnEdit, "+17");  // the clipboard passes the key filter; "+" is a number's sign
    EXPECT_EQ(Image()[72], 17) << "class B: the whole byte is the RPN";
    EXPECT_EQ(ParkLastDigit, '2');
    Paste(f.ParkEdit, "01132171005");
    EXPECT_EQ(f.RfpiEdit->displayText(), "02 5A 3C 81 51") << "the E bit and the last three bits stay";
    EXPECT_TRUE(watchdog.Boxes().empty());
}

TEST_F(WindowEditing, RpnWidthFollowsTheParentsClass) {
    RecordingForm &f = OpenOnCom1();
    Load();  // class A: 3-bit RPNs
    Edit(f.BaseRpnEdit, "9");
    EXPECT_EQ(f.BaseRpnEdit->text(), "1");
    EXPECT_EQ(Image()[72], 0x41);
    Edit(f.RepeaterRbnEdit, "14");
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "6");
    EXPECT_EQ(Image()[2], 6);

    // The first PARK digit carries the class: 1 makes the RPNs 8 bits wide.
    Edit(f.ParkEdit, "11132171005");
    EXPECT_EQ(f.RfpiEdit->displayText(), "12 5A 3C 81 41");
    EXPECT_EQ(f.BaseRpnEdit->text(), "65");
    EXPECT_EQ(f.ParkChkEdit->text(), "8");
    Edit(f.RepeaterRbnEdit, "250");
    EXPECT_EQ(f.WrsRfpiEdit->displayText(), "12 5A 3C 81 FA");
    // Back to class A: byte 2 is cut to three bits by the next display.
    Edit(f.ParkEdit, "01132171005");
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "2");
    EXPECT_EQ(Image()[2], 2);
    EXPECT_TRUE(watchdog.Boxes().empty());
}

TEST_F(WindowEditing, MonitorBeepExitChangesOnlyItsBitAndRedisplaysNothing) {
    RecordingForm &f = OpenOnCom1();  // before any Load: the image is all zero
    Enter(f.MonitorBeepChkBox);
    Press(Qt::Key_Space);
    Press(Qt::Key_Tab);
    EXPECT_EQ(Image()[17], 0x80);
    EXPECT_EQ(Image()[67], 0x00) << "a display would have set byte 67";
    EXPECT_EQ(f.ParkEdit->displayText(), QString(11, u' '));
}

// A changed masked field with a blank position cannot be left, not even for Save; Escape brings
// back what it held.
TEST_F(WindowEditing, IncompleteMaskedFieldIsRefusedAndStopsTheClick) {
    RecordingForm &f = OpenOnCom1();
    Load();
    const Bytes loaded = Image();
    sim.SetFault({});
    Enter(f.RfpiEdit);
    Type("12");
    f.log.clear();
    Click(f.SaveButton);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{kRefusalText});
    EXPECT_TRUE(f.Entries("SaveButtonClick").empty());
    EXPECT_TRUE(f.Entries("RfpiEditExit").empty());
    EXPECT_EQ(sim.MailCount(), 0u);
    EXPECT_EQ(Image(), loaded);
    Reactivate();
    EXPECT_EQ(FocusedControlName(), "RfpiEdit");
    Press(Qt::Key_Escape);
    EXPECT_EQ(f.RfpiEdit->displayText(), "02 5A 3C 81 43");
}

// After an exit has redisplayed a field that already holds the focus, Escape there restores the
// value the image now has, not the one the field showed when it was entered.
TEST_F(WindowEditing, EscapeNeverBringsBackAValueTheImageNoLongerHolds) {
    RecordingForm &f = OpenOnCom1();
    Load();
    Enter(f.RfpiEdit);
    Type("0a5b3c8141");
    // A click into the PARK field: it takes the focus, then the RFPI exit redisplays it.
    QTest::mouseClick(f.ParkEdit, Qt::LeftButton, {}, QPoint(5, 12));
    ASSERT_EQ(FocusedControlName(), "ParkEdit");
    const QString newDigits = f.ParkEdit->displayText();
    ASSERT_NE(newDigits, "01132171005");
    Type("7");
    Press(Qt::Key_Escape);
    EXPECT_EQ(f.ParkEdit->displayText(), newDigits);
    Press(Qt::Key_Tab);
    EXPECT_EQ(f.RfpiEdit->displayText(), "0A 5B 3C 81 41");
    EXPECT_TRUE(watchdog.Boxes().empty());
}

TEST_F(WindowEditing, KeyFiltersAsTheUserTypes) {
    RecordingForm &f = OpenOnCom1();
    Load();
    struct Case {
        const char *name;
        MaskedEdit *TFormMain::*field;
        int cursor;      // -1: the whole text selected (entered with Tab)
        QString keys;
        QString shown;   // the field's text after the keys, before leaving it
    };
    const Case cases[] = {
        {"G dropped in the RFPI", &TFormMain::RfpiEdit, 0, "Gg", "02 5A 3C 81 43"},
        {"hex letters of either case", &TFormMain::RfpiEdit, 0, "fE", "fE 5A 3C 81 43"},
        {"8 and 9 dropped in the PARK", &TFormMain::ParkEdit, 0, "8976", "76132171005"},
        {"signs and letters dropped in an RPN", &TFormMain::BaseRpnEdit, -1, "x+- ", "3"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MaskedEdit *field = f.*c.field;
        Enter(field);
        if (c.cursor >= 0) field->setCursorPosition(c.cursor);
        Type(c.keys);
        EXPECT_EQ(field->displayText(), c.shown);
        Press(Qt::Key_Escape);  // a changed masked field gets its text back
        Press(Qt::Key_Tab);
    }
    EXPECT_TRUE(watchdog.Boxes().empty());

    // An RPN field holding three characters takes no further digit, not even over a selection;
    // Backspace and the clipboard (control keys) still work.
    Enter(f.RepeaterRbnEdit);
    Type("\b");
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "");
    Type("1234");
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "123");
    f.RepeaterRbnEdit->selectAll();
    Type("7");
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "123");
    Press(Qt::Key_Backspace);
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "") << "Backspace deletes the selection";
    QApplication::clipboard()->setText("45");
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "45");
    Press(Qt::Key_Tab);
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "5") << "45 shown as its class-A RPN bits";
    EXPECT_TRUE(watchdog.Boxes().empty());
}

}  // namespace

namespace {

// However the platform spells Ctrl+V in the key event (its control character, or the plain
// letter with the Ctrl modifier), the key filters let it through and the field pastes.
TEST_F(WindowEditing, ClipboardShortcutPassesEveryKeyFilter) {
    RecordingForm &f = OpenOnCom1();
    struct Case {
        MaskedEdit *TFormMain::*field;
        QString eventText;
        QString clipboard;
        QString shown;
    };
    const Case cases[] = {
        {&TFormMain::RepeaterRbnEdit, "\x16", "45", "45"},
        {&TFormMain::RepeaterRbnEdit, "v", "67", "67"},
        {&TFormMain::RfpiEdit, "\x16", "AB CD EF 01 23", "AB CD EF 01 23"},
        {&TFormMain::ParkEdit, "v", "76543210765", "76543210765"},
    };
    for (const Case &c : cases) {
        MaskedEdit *field = f.*c.field;
        SCOPED_TRACE(field->objectName().toStdString() + " " + std::to_string(c.eventText[0].unicode()));
        Enter(field);
        QApplication::clipboard()->setText(c.clipboard);
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_V, c.eventText, Qt::ControlModifier);
        EXPECT_EQ(field->displayText(), c.shown);
        Press(Qt::Key_Tab);
    }
    EXPECT_TRUE(watchdog.Boxes().empty());
}

}  // namespace
