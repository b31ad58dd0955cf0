// Load against the simulated repeater: what every field shows, the display's own image updates,
// the messages of every way a Load can fail, the port choice, and the buttons and cursor while
// the transfers run.
#include "workflow_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

#include <utility>

namespace {

using repeatersim::Fault;

using WindowLoad = WorkflowTest;

struct Shown {
    QString rfpi, pli, park, check, baseRpn, repeaterRpn, repeaterRfpi;
    bool monitorBeep, ignoreHop;
};

Shown WhatTheWindowShows(const TFormMain &f) {
    return {f.RfpiEdit->displayText(),    f.ParkPliEdit->text(),     f.ParkEdit->displayText(),
            f.ParkChkEdit->text(),        f.BaseRpnEdit->text(),     f.RepeaterRbnEdit->text(),
            f.WrsRfpiEdit->displayText(), f.MonitorBeepChkBox->isChecked(), f.HopCtrlChkBox->isChecked()};
}

void ExpectShown(const Shown &actual, const Shown &expected) {
    EXPECT_EQ(actual.rfpi, expected.rfpi);
    EXPECT_EQ(actual.pli, expected.pli);
    EXPECT_EQ(actual.park, expected.park);
    EXPECT_EQ(actual.check, expected.check);
    EXPECT_EQ(actual.baseRpn, expected.baseRpn);
    EXPECT_EQ(actual.repeaterRpn, expected.repeaterRpn);
    EXPECT_EQ(actual.repeaterRfpi, expected.repeaterRfpi);
    EXPECT_EQ(actual.monitorBeep, expected.monitorBeep);
    EXPECT_EQ(actual.ignoreHop, expected.ignoreHop);
}

TEST_F(WindowLoad, FillsEveryFieldForClassAAndOtherParents) {
    struct Case {
        const char *name;
        uint8_t rfpi[5];
        uint8_t repeaterRpn, hop, beep;  // image bytes 2, 5 and 17
        Shown shown;
        uint8_t byte2After;  // the display reduces byte 2 to the RPN bits
        char lastDigit;
    };
    const Case cases[] = {
        {"class A", {0x02, 0x5A, 0x3C, 0x81, 0x43}, 0x05, 0x02, 0x8C,
         {"02 5A 3C 81 43", "31", "01132171005", "5", "3", "5", "02 5A 3C 81 45", true, false}, 0x05, '0'},
        {"class A, check digit 10, wide repeater RPN", {0x02, 0x5A, 0x3C, 0x06, 0x00}, 0xFE, 0x82, 0x0C,
         {"02 5A 3C 06 00", "31", "01132170030", "*", "0", "6", "02 5A 3C 06 06", false, true}, 0x06, '0'},
        {"class B: 8-bit RPNs", {0x12, 0x34, 0x56, 0x78, 0x9A}, 0xC8, 0x7F, 0x80,
         {"12 34 56 78 9A", "31", "11064254742", "9", "154", "200", "12 34 56 78 C8", true, false}, 0xC8, '3'},
        {"all ones", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x00, 0x80, 0x7F,
         {"FF FF FF FF FF", "31", "77777777777", "5", "255", "0", "FF FF FF FF 00", false, true}, 0x00, '7'},
    };
    RecordingForm &f = OpenOnCom1();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetDeviceBytes(2, {c.repeaterRpn});
        SetDeviceBytes(5, {c.hop});
        SetDeviceBytes(17, {c.beep});
        SetDeviceBytes(67, {0x00});
        SetDeviceBytes(68, {c.rfpi[0], c.rfpi[1], c.rfpi[2], c.rfpi[3], c.rfpi[4]});
        const Bytes device = sim.Config();
        sim.SetFault({});  // restarts the mail count

        Load();

        ExpectShown(WhatTheWindowShows(f), c.shown);
        EXPECT_EQ(sim.MailCount(), kInfoMails + kImageMails);
        EXPECT_EQ(ParkLastDigit, c.lastDigit);
        EXPECT_EQ(ConfigImage[2], c.byte2After);
        EXPECT_EQ(ConfigImage[67], 0xA8) << "every display sets byte 67";
        Bytes expected(device.begin(), device.begin() + 80);
        expected[2] = c.byte2After;
        expected[67] = 0xA8;
        EXPECT_EQ(Image(), expected) << "nothing else of the image changes on display";
        EXPECT_TRUE(f.LoadButton->isEnabled() && f.SaveButton->isEnabled() && f.Button1->isEnabled());
    }
    EXPECT_TRUE(watchdog.Boxes().empty());
}

TEST_F(WindowLoad, UnsupportedDeviceIsNotReadAndTheDisplayShowsTheImageAsItWas) {
    RecordingForm &f = OpenOnCom1();
    SetDeviceType('b');
    Click(f.LoadButton);

    ASSERT_EQ(watchdog.Boxes().size(), 1u);
    const ModalWatchdog::Box &box = watchdog.Boxes()[0];
    EXPECT_EQ(box.text, "Unsupported repeater device");
    EXPECT_EQ(box.title, "Repeater configuration");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons, 1);
    EXPECT_EQ(sim.MailCount(), kInfoMails) << "the image is not read";
    EXPECT_FALSE(DataLoaded);
    // The all-zero image is displayed (and byte 67 set by that display).
    EXPECT_EQ(f.RfpiEdit->displayText(), "00 00 00 00 00");
    EXPECT_EQ(f.ParkEdit->displayText(), "00000000000");
    EXPECT_EQ(f.ParkChkEdit->text(), "5");
    Bytes expected(80, 0);
    expected[67] = 0xA8;
    EXPECT_EQ(Image(), expected);
    EXPECT_TRUE(f.LoadButton->isEnabled() && f.SaveButton->isEnabled() && f.Button1->isEnabled());
}

TEST_F(WindowLoad, TransferFailuresAreReportedWithTheirText) {
    struct Case {
        const char *name;
        repeatersim::FaultPlan fault;
        const char *comboText;  // typed over the selected COM1, or null
        QString message;
        unsigned mails;
    };
    const Case cases[] = {
        {"identification reply damaged", {Fault::BadChecksum, 1, 0}, nullptr,
         "An error occured while reading from target: Checksum error.", 2},
        {"image reply damaged", {Fault::BadChecksum, kInfoMails + 2, 0}, nullptr,
         "An error occured while reading from target: Checksum error.", kInfoMails + 3},
        {"echo corrupted", {Fault::CorruptEcho, 3, 4}, nullptr,
         "An error occured while reading from target: No local echo.", 4},
        {"port that cannot be opened", {}, "COM7", "An error occured while reading from target: Open fail", 0},
    };
    RecordingForm &f = OpenOnCom1();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        watchdog.Clear();
        FailTwice(c.fault);
        f.ComboCOMPort->setCurrentIndex(0);
        if (c.comboText) f.ComboCOMPort->lineEdit()->setText(QString::fromLatin1(c.comboText));
        Click(f.LoadButton);
        EXPECT_EQ(BoxTexts(), std::vector<QString>{c.message});
        EXPECT_EQ(sim.MailCount(), c.mails);
        EXPECT_FALSE(DataLoaded);
        EXPECT_EQ(f.RfpiEdit->displayText(), "00 00 00 00 00") << "the display shows the image as it was";
        EXPECT_TRUE(f.LoadButton->isEnabled() && f.SaveButton->isEnabled() && f.Button1->isEnabled());
    }
    EXPECT_EQ(PortSettings.PortNumber, 7);
    // Nothing loaded: Save refuses.
    watchdog.Clear();
    Click(f.SaveButton);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"First load data!"});
}

// A Load that fails part-way puts the image back as it was before it: the display shows the
// earlier Load, and a Save writes that image, never a mixture of old and new chunks.
TEST_F(WindowLoad, FailedLoadKeepsTheEarlierImageForDisplayAndSave) {
    RecordingForm &f = OpenOnCom1();
    Load();
    const Bytes loaded = Image();
    const QString rpnShown = f.RepeaterRbnEdit->text();

    // The device now holds other bytes everywhere; the next Load fails on its fourth image mail,
    // after three new chunks (bytes 0 to 23: repeater RPN, HOP control, monitor beep) came in.
    Bytes other = sim.Config();
    for (std::size_t i = 0; i < 80; ++i) other[i] = static_cast<uint8_t>(other[i] ^ 0x81);
    sim.SetConfig(other);
    FailTwice({Fault::BadChecksum, kInfoMails + 4, 0});
    Click(f.LoadButton);

    EXPECT_EQ(BoxTexts(), std::vector<QString>{"An error occured while reading from target: Checksum error."});
    EXPECT_EQ(Image(), loaded);
    EXPECT_EQ(f.RepeaterRbnEdit->text(), rpnShown);
    EXPECT_TRUE(f.MonitorBeepChkBox->isChecked()) << "byte 17 of the earlier Load";
    EXPECT_TRUE(DataLoaded) << "Save stays available";

    // Save writes the earlier image (with the save-time rules), not the device's new chunks.
    sim.SetFault({});
    Click(f.SaveButton);
    EXPECT_EQ(watchdog.Boxes().size(), 1u);
    Bytes expected = other;
    std::copy(loaded.begin(), loaded.end(), expected.begin());
    expected[5] = 0x02;  // HOP switch off
    expected[22] = expected[23] = 0;
    EXPECT_EQ(sim.Config(), expected);
}

TEST_F(WindowLoad, WithoutASelectedPortNothingHappensButTheMessage) {
    RecordingForm &f = OpenOnCom1();
    f.ComboCOMPort->setCurrentIndex(-1);
    Click(f.LoadButton);
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"First choose com port!"});
    EXPECT_EQ(sim.MailCount(), 0u);
    EXPECT_EQ(PortSettings.PortNumber, 0);
    EXPECT_EQ(f.RfpiEdit->displayText(), QString(14, u' ')) << "no display refresh";
    EXPECT_TRUE(f.LoadButton->isEnabled() && f.SaveButton->isEnabled() && f.Button1->isEnabled());
}

// A text starting with "C" but too short to hold a port digit leaves the port number as it was.
TEST_F(WindowLoad, ShortComboTextKeepsThePortNumber) {
    RecordingForm &f = OpenOnCom1();
    for (const char *text : {"C", "CO", "COM"}) {
        SCOPED_TRACE(text);
        PortSettings.PortNumber = 1;
        DataLoaded = false;
        f.ComboCOMPort->setCurrentIndex(0);
        f.ComboCOMPort->lineEdit()->setText(QString::fromLatin1(text));
        Click(f.LoadButton);
        EXPECT_EQ(PortSettings.PortNumber, 1);
        EXPECT_TRUE(DataLoaded) << "the Load went to COM1";
    }
    EXPECT_TRUE(watchdog.Boxes().empty());
}

// While the transfers run, Load, Save and Quit are disabled and the busy cursor shows; both are
// undone before any message box and on every way out.
TEST_F(WindowLoad, ButtonsDisabledAndBusyCursorDuringTheTransfers) {
    RecordingForm &f = OpenOnCom1();
    struct Seen {
        bool anyButtonEnabled = false;
        bool busyCursor = true;
        int calls = 0;
    } seen;
    SetTransferProgressHook([&](const TransferProgress &) {
        ++seen.calls;
        seen.anyButtonEnabled |= f.LoadButton->isEnabled() || f.SaveButton->isEnabled() || f.Button1->isEnabled();
        const QCursor *cursor = QApplication::overrideCursor();
        seen.busyCursor &= cursor && cursor->shape() == Qt::WaitCursor;
    });
    const repeatersim::FaultPlan plans[] = {{}, {Fault::BadChecksum, kInfoMails + 1, 0}};
    for (const auto &plan : plans) {
        FailTwice(plan);
        seen = {};
        Click(f.LoadButton);
        EXPECT_GT(seen.calls, 2);
        EXPECT_FALSE(seen.anyButtonEnabled);
        EXPECT_TRUE(seen.busyCursor);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(f.LoadButton->isEnabled() && f.SaveButton->isEnabled() && f.Button1->isEnabled());
    }
    ASSERT_EQ(watchdog.Boxes().size(), 1u);
    EXPECT_FALSE(watchdog.Boxes()[0].busyCursor) << "the message is read with the normal cursor";
}

// What a user does while the Load blocks the event loop (types a digit into the focused field,
// clicks Save) waits in Qt's queue for the window, as the display system delivers it; it is
// dropped as the busy cursor goes away. The same input made after the Load acts at once.
TEST_F(WindowLoad, InputQueuedDuringTheLoadReachesNothing) {
    RecordingForm &f = OpenOnCom1();
    const auto queueKeyAndClick = [&f] {
        const auto post = [&f](QInputEvent *event) { QCoreApplication::postEvent(f.windowHandle(), event); };
        post(new QKeyEvent(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, "7"));
        post(new QKeyEvent(QEvent::KeyRelease, Qt::Key_7, Qt::NoModifier, "7"));
        const QPointF at = f.SaveButton->mapTo(&f, f.SaveButton->rect().center());
        post(new QMouseEvent(QEvent::MouseButtonPress, at, f.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {}));
        post(new QMouseEvent(QEvent::MouseButtonRelease, at, f.mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {}));
    };
    Load();
    const QString loaded = f.RepeaterRbnEdit->text();
    bool queued = false;
    SetTransferProgressHook([&](const TransferProgress &) {
        if (!std::exchange(queued, true)) queueKeyAndClick();
    });
    Enter(f.RepeaterRbnEdit);
    f.log.clear();
    AccessKey(Qt::Key_L);  // commits the field and loads again, without moving the focus
    ASSERT_TRUE(queued);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(f.log, (std::vector<std::string>{"RepeaterRbnEditExit:RepeaterRbnEdit", "LoadButtonClick:LoadButton"}));
    EXPECT_EQ(f.RepeaterRbnEdit->text(), loaded);
    EXPECT_EQ(FocusedControlName(), "RepeaterRbnEdit");

    queueKeyAndClick();
    ASSERT_TRUE(WaitUntil([&] { return !f.Entries("SaveButtonClick").empty(); }));
    EXPECT_EQ(f.Entries("RepeaterRbnEditKeyPress"), std::vector<std::string>{"RepeaterRbnEditKeyPress:RepeaterRbnEdit:55"});
    EXPECT_EQ(sim.Config()[2], 7) << "the digit typed after the Load was saved";
    EXPECT_TRUE(watchdog.Boxes().empty());
}

// Disabling the focused button during the transfers passes the focus on; it comes back after.
TEST_F(WindowLoad, FocusReturnsToTheClickedButton) {
    RecordingForm &f = OpenOnCom1();
    Enter(f.LoadButton);
    QTest::keyClick(f.LoadButton, Qt::Key_Space);
    ASSERT_TRUE(DataLoaded);
    EXPECT_EQ(QApplication::focusWidget(), f.LoadButton);
}

}  // namespace
