// Access keys commit the field being edited before they click: a value typed and not yet
// committed reaches the image (and the device) instead of being dropped, and a field that cannot
// be left stops the access key as it stops a click.
#include "workflow_fixture.h"

#include <QCheckBox>
#include <QPushButton>

namespace {

using AccessKeyCommit = WorkflowTest;

TEST_F(AccessKeyCommit, AltSSavesTheValueJustTyped) {
    RecordingForm &f = OpenOnCom1();
    Load();
    ASSERT_EQ(f.RepeaterRbnEdit->text(), "5");
    Enter(f.RepeaterRbnEdit);
    Type("7");
    sim.SetFault({});
    f.log.clear();
    AccessKey(Qt::Key_S);

    EXPECT_EQ((std::vector<std::string>{f.log.begin(), f.log.end()}),
              (std::vector<std::string>{"RepeaterRbnEditExit:RepeaterRbnEdit", "SaveButtonClick:SaveButton"}));
    EXPECT_TRUE(watchdog.Boxes().empty());
    EXPECT_EQ(sim.MailCount(), kSaveMails);
    EXPECT_EQ(sim.Config()[2], 7) << "the typed repeater RPN is written";
    EXPECT_EQ(f.RepeaterRbnEdit->text(), "7") << "and still shown after the Save";
    EXPECT_EQ(FocusedControlName(), "RepeaterRbnEdit");
}

// The plain letter on a check box commits the box first.
TEST_F(AccessKeyCommit, PlainLetterOnACheckBoxSavesItsNewState) {
    RecordingForm &f = OpenOnCom1();
    Load();
    ASSERT_TRUE(f.MonitorBeepChkBox->isChecked());
    const uint8_t before = sim.Config()[17];
    Enter(f.MonitorBeepChkBox);
    Press(Qt::Key_Space);
    sim.SetFault({});
    QTest::keyClick(f.MonitorBeepChkBox, Qt::Key_S);  // the Save runs before the key returns
    EXPECT_TRUE(watchdog.Boxes().empty());
    EXPECT_EQ(sim.Config()[17], before & 0x7F);
}

// Access keys stop where leaving the field would stop: a refused field, or an exit that reports
// a rejected text. Nothing is transferred.
TEST_F(AccessKeyCommit, RefusedOrRejectedFieldStopsTheAccessKey) {
    struct Case {
        const char *name;
        MaskedEdit *TFormMain::*field;
        QString typed;
        Qt::Key key;
        QString message;
    };
    const Case cases[] = {
        {"incomplete RFPI, Alt+S", &TFormMain::RfpiEdit, "12", Qt::Key_S,
         "Invalid input value.  Use escape key to abandon changes."},
        {"incomplete PARK, Alt+L", &TFormMain::ParkEdit, "0", Qt::Key_L,
         "Invalid input value.  Use escape key to abandon changes."},
        {"base RPN 256, Alt+S", &TFormMain::BaseRpnEdit, "256", Qt::Key_S, "Base rpn does not have right format"},
        {"repeater RPN empty, Alt+L", &TFormMain::RepeaterRbnEdit, "\b", Qt::Key_L,
         "Repeater rpn does not have right format"},
    };
    RecordingForm &f = OpenOnCom1();
    Load();
    const Bytes loaded = Image();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MaskedEdit *field = f.*c.field;
        Enter(field);
        Type(c.typed);
        watchdog.Clear();
        sim.SetFault({});
        f.log.clear();
        AccessKey(c.key);
        EXPECT_EQ(BoxTexts(), std::vector<QString>{c.message});
        EXPECT_TRUE(f.Entries("LoadButtonClick").empty());
        EXPECT_TRUE(f.Entries("SaveButtonClick").empty());
        EXPECT_EQ(sim.MailCount(), 0u);
        EXPECT_EQ(Image(), loaded);
        Reactivate();
        EXPECT_EQ(QApplication::focusWidget(), field) << "the focus stays in the field";
        Press(Qt::Key_Escape);  // the masked fields get their text back; the others show it again
        Press(Qt::Key_Tab);
    }
}

}  // namespace
