// What closing the window writes to the settings file, and that a failed write is shown once and
// does not keep the window open.
#include "window_fixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

namespace {

using FormCloseTest = WindowTest;

TEST_F(FormCloseTest, ClosingWritesThePortTextsDigit) {
    struct Case {
        const char *text;      // the combo box's text at close
        const char *expected;  // the file afterwards; null: not created
    };
    const Case cases[] = {
        {"COM5", "[Com settings]\nPort=5\n"},
        {"COM7", "[Com settings]\nPort=7\n"},    // typed, not in the list
        {"COMX", "[Com settings]\nPort=40\n"},   // "X" minus "0"
        {"COM12", "[Com settings]\nPort=1\n"},   // only the fourth character counts
        {"C:\\x", "[Com settings]\nPort=72\n"},  // "x" minus "0"
        {"", nullptr},
        {"com3", nullptr},  // lower-case c
        {"XCOM3", nullptr},
        {"COM", nullptr},   // no fourth character
        {"C", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::filesystem::remove(SettingsPath());
        RecordingForm &f = Open();
        f.ComboCOMPort->setEditText(QString::fromLatin1(c.text));
        f.close();
        EXPECT_FALSE(f.isVisible());
        EXPECT_EQ(f.Entries("FormClose").size(), 1u);
        if (c.expected) {
            EXPECT_EQ(ReadFileOrEmpty(SettingsPath()), c.expected);
        } else {
            EXPECT_FALSE(FileExists(SettingsPath())) << "an empty or foreign text creates no file";
        }
        form.reset();
    }
    EXPECT_TRUE(watchdog.Boxes().empty());
}

TEST_F(FormCloseTest, ChosenEntryIsWrittenAndOtherSectionsKept) {
    WriteFile(SettingsPath(), "[Window]\nLeft=431\n[com settings]\nport=1\n");
    RecordingForm &f = Open();
    f.ComboCOMPort->addItem("COM2");
    f.ComboCOMPort->addItem("COM6");
    f.ComboCOMPort->setCurrentIndex(1);
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !f.isVisible(); }));
    EXPECT_EQ(ReadFileOrEmpty(SettingsPath()), "[Window]\nLeft=431\n[com settings]\nport=6\n");
}

TEST_F(FormCloseTest, TypedTextReachesTheFileThroughTheKeyboard) {
    RecordingForm &f = Open();
    f.ComboCOMPort->setFocus();
    QTest::keyClicks(f.ComboCOMPort->lineEdit(), "COM4");
    f.close();
    EXPECT_EQ(ReadFileOrEmpty(SettingsPath()), "[Com settings]\nPort=4\n");
}

// The settings folder cannot be written (here: the "folder" is a regular file, which stops root
// too). The error is shown once, then the window closes as usual.
TEST_F(FormCloseTest, UnwritableSettingsFileIsReportedOnceAndTheWindowCloses) {
    WriteFile(folder.File("notafolder"), "");
    system = PosixServices(folder.File("notafolder/relaytool"));
    RecordingForm &f = Open();
    f.ComboCOMPort->setEditText("COM3");
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !f.isVisible(); }));
    ASSERT_EQ(watchdog.Boxes().size(), 1u);
    EXPECT_EQ(watchdog.Boxes()[0].text.toStdString(),
              "Unable to write to " + folder.File("notafolder/relaytool.ini") + ".");
    EXPECT_EQ(watchdog.Boxes()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(f.Entries("FormClose").size(), 1u);
    f.close();
    EXPECT_EQ(watchdog.Boxes().size(), 1u) << "shown once";
}

}  // namespace
