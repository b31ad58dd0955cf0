// The masked fields: selection on entry, overwrite, literals skipped, refused characters, the
// refusal of a changed incomplete field, Escape, and the key-press handler that sees every key.
#include "exception_display.h"
#include "masked_edit.h"
#include "window_fixture.h"

#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QPushButton>
#include <QTest>

namespace {

const std::string kRefusalText = "Invalid input value.  Use escape key to abandon changes.";

class MaskedField : public WindowTest {
protected:
    // Enters a field the way a user does with the keyboard.
    void TabInto(QWidget *field) {
        field->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(WaitUntil([&] { return field->hasFocus(); }));
    }
    void Type(const char *keys) { QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(keys)); }
    void Press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
};

TEST_F(MaskedField, EnteringOtherThanByClickSelectsEverything) {
    RecordingForm &f = Open();
    f.ParkEdit->setText("01234567012");
    struct Entry {
        Qt::FocusReason reason;
        bool selectsAll;
    };
    for (const Entry entry : {Entry{Qt::TabFocusReason, true}, Entry{Qt::BacktabFocusReason, true},
                              Entry{Qt::OtherFocusReason, true}, Entry{Qt::ShortcutFocusReason, true},
                              Entry{Qt::MouseFocusReason, false}}) {
        SCOPED_TRACE(int(entry.reason));
        f.ComboCOMPort->setFocus(Qt::OtherFocusReason);
        f.ParkEdit->setFocus(entry.reason);
        EXPECT_EQ(f.ParkEdit->selectedText().size() == 11, entry.selectsAll);
    }
    // A plain field too (entered backwards from a field without an exit handler, so that no
    // display refresh rewrites it), and a real mouse click places the cursor instead.
    f.ParkPliEdit->setFocus(Qt::MouseFocusReason);
    f.BaseRpnEdit->setText("123");
    QTest::keyClick(f.ParkPliEdit, Qt::Key_Backtab);
    ASSERT_TRUE(f.BaseRpnEdit->hasFocus());
    EXPECT_EQ(f.BaseRpnEdit->selectedText(), "123");
    f.ComboCOMPort->setFocus();
    QTest::mouseClick(f.RfpiEdit, Qt::LeftButton, {}, QPoint(20, 12));
    ASSERT_TRUE(f.RfpiEdit->hasFocus());
    EXPECT_FALSE(f.RfpiEdit->hasSelectedText());
}

TEST_F(MaskedField, TypingOverwritesAndSkipsLiterals) {
    RecordingForm &f = Open();
    TabInto(f.RfpiEdit);
    Type("025A3C8143");
    EXPECT_EQ(f.RfpiEdit->displayText(), "02 5A 3C 81 43");
    // Overwrite at the cursor: the text keeps its length.
    Press(Qt::Key_Home);
    Type("12");
    EXPECT_EQ(f.RfpiEdit->displayText(), "12 5A 3C 81 43");
    EXPECT_EQ(f.RfpiEdit->cursorPosition(), 3) << "the cursor skips the literal blank";
    // A selection of several characters is cleared to blanks and the typed one goes first.
    f.RfpiEdit->setSelection(3, 5);  // "5A 3C"
    Type("F");
    EXPECT_EQ(f.RfpiEdit->displayText(), "12 F     81 43");
    EXPECT_EQ(BeepCount(), 0);
}

// The key filters come first: a key they drop never reaches the mask and makes no sound; a key
// they pass but the mask does not take is refused with a beep.
TEST_F(MaskedField, RefusedCharactersBeepAndChangeNothing) {
    RecordingForm &f = Open();
    struct Case {
        MaskedEdit *field;
        const char *before;
        int cursor;
        char typed;
        bool refused;
        bool beeps;
    };
    const Case cases[] = {
        {f.ParkEdit, "01234567012", 0, 'a', true, false},     // a letter: dropped by the filter
        {f.ParkEdit, "01234567012", 0, '5', false, false},
        {f.ParkEdit, "01234567012", 11, '1', true, true},     // no input position left
        {f.RfpiEdit, "02 5A 3C 81 43", 0, '-', true, false},  // not a hex digit: dropped
        {f.RfpiEdit, "02 5A 3C 81 43", 0, ' ', true, false},  // the blank is not a character to type
        {f.RfpiEdit, "02 5A 3C 81 43", 2, 'b', false, false}, // at a literal: goes to the next position
        {f.RfpiEdit, "02 5A 3C 81 43", 14, 'b', true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(1, c.typed) + " at " + std::to_string(c.cursor) + " of " + c.before);
        c.field->setFocus(Qt::MouseFocusReason);
        c.field->setText(QString::fromLatin1(c.before));
        c.field->setCursorPosition(c.cursor);
        const int beeps = BeepCount();
        QTest::keyClick(c.field, c.typed);
        EXPECT_EQ(BeepCount() - beeps, c.beeps ? 1 : 0);
        EXPECT_EQ(c.field->displayText() == QString::fromLatin1(c.before), c.refused);
    }
}

TEST_F(MaskedField, ReadOnlyFieldTakesFocusButNoText) {
    RecordingForm &f = Open();
    TabInto(f.WrsRfpiEdit);
    Type("12");
    EXPECT_EQ(f.WrsRfpiEdit->displayText(), QString(14, u' '));
    EXPECT_EQ(f.Entries("RfpiEditKeyPress:WrsRfpiEdit").size(), 2u) << "its key-press handler still runs";
    Press(Qt::Key_Tab);
    EXPECT_EQ(f.Entries("RfpiEditExit:WrsRfpiEdit").size(), 1u) << "and its exit handler";
    EXPECT_TRUE(watchdog.Boxes().empty());
}

// Leaving a changed field with a blank input position, by each way of leaving.
TEST_F(MaskedField, ChangedIncompleteFieldIsRefused) {
    struct Way {
        const char *name;
        std::function<void(RecordingForm &)> leave;
    };
    const Way ways[] = {
        {"Tab", [](RecordingForm &) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); }},
        {"Shift+Tab", [](RecordingForm &) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier); }},
        {"Enter", [](RecordingForm &) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }},
        {"click on Load", [](RecordingForm &f) { QTest::mouseClick(f.LoadButton, Qt::LeftButton); }},
        {"click on a field", [](RecordingForm &f) { QTest::mouseClick(f.BaseRpnEdit, Qt::LeftButton); }},
        {"focus set by code", [](RecordingForm &f) { f.BaseRpnEdit->setFocus(Qt::OtherFocusReason); }},
    };
    for (const Way &way : ways) {
        SCOPED_TRACE(way.name);
        RecordingForm &f = Open();
        TabInto(f.RfpiEdit);
        Type("025");
        const int beeps = BeepCount();
        f.log.clear();
        watchdog.Clear();

        way.leave(f);
        ASSERT_TRUE(WaitUntil([&] { return !watchdog.Boxes().empty(); }));

        ASSERT_EQ(watchdog.Boxes().size(), 1u);
        EXPECT_EQ(watchdog.Boxes()[0].text.toStdString(), kRefusalText);
        EXPECT_EQ(watchdog.Boxes()[0].title, "relaytool");
        EXPECT_EQ(watchdog.Boxes()[0].icon, QMessageBox::Critical);
        EXPECT_EQ(BeepCount() - beeps, 1);
        EXPECT_EQ(f.log.size(), f.Entries("RfpiEditKeyPress").size()) << "no exit or click handler ran";
        ShowAndActivate(f);
        EXPECT_EQ(FocusedControlName(), "RfpiEdit");
        EXPECT_EQ(f.RfpiEdit->cursorPosition(), 4) << "on the first blank input position";
        EXPECT_EQ(f.RfpiEdit->displayText(), "02 5          ") << "the typed text stays";
        form.reset();
    }
}

TEST_F(MaskedField, EscapeRestoresTheTextHeldOnEntry) {
    RecordingForm &f = Open();
    f.ParkEdit->setText("01234567012");
    TabInto(f.ParkEdit);
    Type("777");
    EXPECT_EQ(f.ParkEdit->displayText(), "777        ");
    QTest::keyClick(f.ParkEdit, Qt::Key_Tab);  // refused: incomplete
    ASSERT_TRUE(WaitUntil([&] { return watchdog.Boxes().size() == 1; }));
    ShowAndActivate(f);
    Press(Qt::Key_Escape);
    EXPECT_EQ(f.ParkEdit->displayText(), "01234567012");
    EXPECT_FALSE(f.ParkEdit->isModified());
    Press(Qt::Key_Tab);  // unchanged now: leaves, and the exit handler runs
    EXPECT_EQ(FocusedControlName(), "ParkChkEdit");
    EXPECT_EQ(f.Entries("ParkEditExit").size(), 1u);
    EXPECT_EQ(watchdog.Boxes().size(), 1u);
}

TEST_F(MaskedField, UnchangedOrCompleteFieldIsNeverRefused) {
    RecordingForm &f = Open();
    // All blanks but unchanged: leaves, exit runs.
    TabInto(f.RfpiEdit);
    Press(Qt::Key_Tab);
    EXPECT_EQ(FocusedControlName(), "RepeaterRbnEdit");
    // Changed and complete: leaves, exit runs.
    TabInto(f.RfpiEdit);
    Type("0a5a3c8143");
    Press(Qt::Key_Return);
    EXPECT_EQ(FocusedControlName(), "RfpiEdit") << "Enter checks, it does not move on";
    Press(Qt::Key_Tab);
    EXPECT_EQ(FocusedControlName(), "RepeaterRbnEdit");
    EXPECT_EQ(f.Entries("RfpiEditExit:RfpiEdit").size(), 2u);
    // A field that became incomplete and was put back by Escape is unchanged again.
    EXPECT_TRUE(watchdog.Boxes().empty());
}

TEST_F(MaskedField, KeyPressHandlerSeesEveryKeyFirst) {
    RecordingForm &f = Open();
    f.keyHook = [](QObject *, char &key) {
        if (key == 'x') key = '\0';  // dropped
        if (key == 'a') key = 'B';   // replaced
    };
    TabInto(f.RfpiEdit);
    const int beeps = BeepCount();
    Type("1xa");
    EXPECT_EQ(f.RfpiEdit->displayText(), "1B            ");
    EXPECT_EQ(BeepCount(), beeps) << "a dropped key never reaches the mask";
    Press(Qt::Key_Backspace);
    EXPECT_EQ(f.RfpiEdit->displayText(), "1             ");
    const std::vector<std::string> expected = {"RfpiEditKeyPress:RfpiEdit:49", "RfpiEditKeyPress:RfpiEdit:120",
                                               "RfpiEditKeyPress:RfpiEdit:97", "RfpiEditKeyPress:RfpiEdit:8"};
    EXPECT_EQ(f.Entries("RfpiEditKeyPress"), expected);
    Press(Qt::Key_Escape);  // back to the text held on entry, so the field may be left

    // Each field's own handler; Escape and Enter reach it too.
    f.log.clear();
    TabInto(f.BaseRpnEdit);
    Type("7");
    Press(Qt::Key_Escape);
    TabInto(f.RepeaterRbnEdit);
    Press(Qt::Key_Return);
    TabInto(f.ParkEdit);
    Type("3");
    EXPECT_EQ(f.Entries("BaseRpnEditKeyPress"),
              (std::vector<std::string>{"BaseRpnEditKeyPress:BaseRpnEdit:55", "BaseRpnEditKeyPress:BaseRpnEdit:27"}));
    EXPECT_EQ(f.Entries("RepeaterRbnEditKeyPress"),
              (std::vector<std::string>{"RepeaterRbnEditKeyPress:RepeaterRbnEdit:13"}));
    EXPECT_EQ(f.Entries("ParkEditKeyPress"), (std::vector<std::string>{"ParkEditKeyPress:ParkEdit:51"}));
    EXPECT_EQ(f.BaseRpnEdit->text(), "7") << "Escape does not touch a field without a mask";
}

TEST_F(MaskedField, ReplacingAKeyWithBackspaceDeletes) {
    RecordingForm &f = Open();
    f.keyHook = [](QObject *, char &key) {
        if (key == '#') key = '\b';
    };
    TabInto(f.BaseRpnEdit);
    Type("12#3");
    EXPECT_EQ(f.BaseRpnEdit->text(), "13");
}

// With Alt held nothing reaches a field through Qt either; the access key still clicks.
TEST_F(MaskedField, AltHeldKeysReachNoField) {
    RecordingForm &f = Open();
    for (MaskedEdit *field : {f.RfpiEdit, f.ParkEdit, f.BaseRpnEdit, f.RepeaterRbnEdit}) {
        SCOPED_TRACE(field->objectName().toStdString());
        TabInto(field);
        const QString before = field->displayText();
        for (Qt::Key key : {Qt::Key_G, Qt::Key_X, Qt::Key_4, Qt::Key_8, Qt::Key_Minus})
            QTest::keyClick(field, key, Qt::AltModifier);
        EXPECT_EQ(field->displayText(), before);
    }
    EXPECT_TRUE(watchdog.Boxes().empty());
    QTest::keyClick(f.RepeaterRbnEdit, Qt::Key_L, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([&] { return watchdog.Boxes().size() == 1; }));
    EXPECT_EQ(watchdog.Boxes()[0].text, "First choose com port!");
}

// The context menu's commands go through the field's editing rules, as their keys do.
TEST_F(MaskedField, ContextMenuPasteKeepsTheFieldsForm) {
    RecordingForm &f = Open();
    TabInto(f.RfpiEdit);  // the whole text selected
    QApplication::clipboard()->setText("0a5a3c8143");
    bool triggered = false;
    QTimer::singleShot(50, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction *action : menu->actions())
            if (action->text() == "&Paste") {
                action->trigger();
                triggered = true;
            }
        menu->close();
    });
    QTimer::singleShot(3000, [] {
        if (QWidget *popup = QApplication::activePopupWidget()) popup->close();
    });
    const QPoint inside(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside, f.RfpiEdit->mapToGlobal(inside));
    QApplication::sendEvent(f.RfpiEdit, &event);
    ASSERT_TRUE(triggered);
    EXPECT_EQ(f.RfpiEdit->displayText(), "0a 5a 3c 81 43");
}

}  // namespace
