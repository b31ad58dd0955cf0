// The window against a simulated repeater: the device published as COM1 in the test's private
// port directory (so the port list offers it and selects it), a private folder for the automatic
// backups of its Saves, the program-wide state reset, and helpers that act as a user does:
// clicks, typing, leaving a field with Tab.
#pragma once

#include "maillink.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "port_settings.h"
#include "repeater_sim.h"
#include "window_fixture.h"
#include "workflow_state.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Mails of a Load or Save: four for the identification block, then ten for the image.
inline constexpr unsigned kInfoMails = 4;
inline constexpr unsigned kImageMails = 10;
// A Save: the identification block, the image read to keep it as a backup, the image written, and
// the image read back to check it.
inline constexpr unsigned kSaveMails = kInfoMails + 3 * kImageMails;

inline constexpr uint8_t kClassAParent[5] = {0x02, 0x5A, 0x3C, 0x81, 0x43};

class WorkflowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        std::fill(std::begin(InfoBlock), std::end(InfoBlock), uint8_t{0});
        std::fill(std::begin(ConfigImage), std::end(ConfigImage), uint8_t{0});
        DataLoaded = false;
        ParkLastDigit = '\0';
        PortSettings = PortSettingsRecord{};
        ::setenv("XDG_STATE_HOME", StateHome().c_str(), 1);
        sim.Start();
        sim.Publish(ports.Path(), 1);
    }

    void TearDown() override {
        SetTransferProgressHook({});
        WindowTest::TearDown();
        ::unsetenv("XDG_STATE_HOME");
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT) << "a transfer left the port open";
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor was not restored";
    }

    // The window, with COM1 listed and selected.
    RecordingForm &OpenOnCom1() {
        RecordingForm &f = Open();
        EXPECT_EQ(f.ComboCOMPort->currentText(), "COM1");
        return f;
    }

    // A fault on a mail and on its one retry, so that the transfer fails as on a damaged line;
    // no fault at all for a plan of Fault::None.
    void FailTwice(repeatersim::FaultPlan plan) {
        sim.SetFault(plan);
        if (plan.kind == repeatersim::Fault::None) return;
        ++plan.atMail;
        sim.AddFault(plan);
    }

    // The device's configuration memory with the given bytes changed.
    void SetDeviceBytes(std::size_t offset, std::initializer_list<uint8_t> bytes) {
        Bytes config = sim.Config();
        std::copy(bytes.begin(), bytes.end(), config.begin() + static_cast<std::ptrdiff_t>(offset));
        sim.SetConfig(config);
    }
    void SetDeviceType(uint8_t type) {
        auto info = sim.Info();
        info[18] = type;
        sim.SetInfo(info);
    }

    static Bytes Image() { return Bytes(ConfigImage, ConfigImage + 80); }
    // Where the Saves' automatic backups go: STATE/relaycfg/backups.
    std::string StateHome() const { return folder.File("state"); }

    // A click with the mouse; the handler and its transfers run before it returns.
    void Click(QWidget *control) {
        Reactivate();
        QTest::mouseClick(control, Qt::LeftButton);
    }
    // Loads the device, expecting it to work.
    void Load() {
        const std::size_t boxes = watchdog.Boxes().size();
        Click(form->LoadButton);
        ASSERT_TRUE(DataLoaded);
        ASSERT_EQ(watchdog.Boxes().size(), boxes) << watchdog.Boxes().back().text.toStdString();
    }

    // A message box took the activation; keys need the window active again.
    void Reactivate() {
        if (!form->isActiveWindow()) {
            ASSERT_TRUE(ShowAndActivate(*form));
        }
    }
    // Enters a field with Tab (which selects its whole text).
    void Enter(QWidget *field) {
        Reactivate();
        field->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(WaitUntil([&] { return field->hasFocus(); }));
    }
    void Type(const QString &keys) { QTest::keyClicks(QApplication::focusWidget(), keys); }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    // Enters field, types keys over its selected text and leaves it with Tab.
    void Edit(QWidget *field, const QString &keys) {
        Enter(field);
        Type(keys);
        Press(Qt::Key_Tab);
    }
    // Enters field, pastes text over its whole content with Ctrl+V and leaves it with Tab.
    void Paste(QWidget *field, const QString &text) {
        Enter(field);
        QApplication::clipboard()->setText(text);
        Press(Qt::Key_V, Qt::ControlModifier);
        Press(Qt::Key_Tab);
    }
    // An access key (Alt+letter): its click has run when the key returns.
    void AccessKey(Qt::Key letter) { Press(letter, Qt::AltModifier); }

    std::vector<QString> BoxTexts() const {
        std::vector<QString> texts;
        for (const ModalWatchdog::Box &box : watchdog.Boxes()) texts.push_back(box.text);
        return texts;
    }

    repeatersim::Simulator sim;
};
