// The exception display in the window: an error escaping any handler or event is shown once, with
// the application title as caption, and the program goes on.
#include "exception_display.h"
#include "window_fixture.h"

#include <QPushButton>
#include <QTest>

#include <stdexcept>

namespace {

using ExceptionDisplayInWindow = WindowTest;

TEST_F(ExceptionDisplayInWindow, HandlerErrorIsShownAndTheProgramGoesOn) {
    RecordingForm &f = Open();
    int thrown = 0;
    f.handlerHook = [&](const std::string &handler) {
        if (handler != "LoadButtonClick") return;
        ++thrown;
        if (thrown == 1) throw std::runtime_error("Port gone");
        if (thrown == 2) throw 42;  // not an exception class
    };
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(f.LoadButton, Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return thrown == i + 1 && !QApplication::activeModalWidget(); }));
    }
    ASSERT_EQ(watchdog.Boxes().size(), 3u);
    EXPECT_EQ(watchdog.Boxes()[0].text, "Port gone.");
    EXPECT_EQ(watchdog.Boxes()[0].title, "relaytool") << "the executable's name";
    EXPECT_EQ(watchdog.Boxes()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(watchdog.Boxes()[1].text, "Unknown error.");
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.Entries("LoadButtonClick").size(), 3u);
    EXPECT_EQ(watchdog.Boxes()[2].text, "First choose com port!") << "the third click was handled normally";
}

TEST_F(ExceptionDisplayInWindow, KeyPressAndExitHandlerErrorsAreShown) {
    RecordingForm &f = Open();
    f.keyHook = [](QObject *, char &key) {
        if (key == '9') throw std::runtime_error("no nines");
    };
    f.handlerHook = [](const std::string &handler) {
        if (handler == "BaseRpnEditExit") throw std::runtime_error("exit failed");
    };
    f.BaseRpnEdit->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(f.BaseRpnEdit, "192");
    ASSERT_TRUE(WaitUntil([&] { return watchdog.Boxes().size() == 1; }));
    EXPECT_EQ(f.BaseRpnEdit->text(), "12") << "the key whose handler failed is dropped";
    ShowAndActivate(f);
    QTest::keyClick(f.BaseRpnEdit, Qt::Key_Tab);
    ASSERT_TRUE(WaitUntil([&] { return watchdog.Boxes().size() == 2; }));
    EXPECT_EQ(watchdog.Boxes()[0].text, "no nines.");
    EXPECT_EQ(watchdog.Boxes()[1].text, "exit failed.");
}

// An error from any event delivery, not only from the window's handlers, reaches the display.
TEST_F(ExceptionDisplayInWindow, ErrorEscapingAnEventIsCaughtByTheEventLoop) {
    class Throwing : public QObject {
    public:
        bool event(QEvent *e) override {
            if (e->type() == QEvent::User) throw std::runtime_error("event failed");
            return QObject::event(e);
        }
    } target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    ASSERT_TRUE(WaitUntil([&] { return watchdog.Boxes().size() == 1; }));
    EXPECT_EQ(watchdog.Boxes()[0].text, "event failed.");
}

}  // namespace
