#include "window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

bool WaitUntil(const std::function<bool()> &condition, int deadlineMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > deadlineMs) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(2);
    }
    return true;
}


ModalWatchdog::ModalWatchdog(int deadlineMs) : deadlineMs_(deadlineMs) {
    clock_.start();
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &ModalWatchdog::Check);
    timer_.start();
}

void ModalWatchdog::Check() {
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (clock_.elapsed() > deadlineMs_) {
        ADD_FAILURE() << "a modal box was still open past the test's deadline";
        modal->close();
        return;
    }
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (!box) {
        ADD_FAILURE() << "unexpected modal window " << modal->metaObject()->className();
        modal->close();
        return;
    }
    if (!box->isVisible()) return;
    const QCursor *cursor = QApplication::overrideCursor();
    boxes_.push_back({box->windowTitle(), box->text(), box->icon(), cursor && cursor->shape() == Qt::WaitCursor,
                      int(box->buttons().size())});
    if (QAbstractButton *ok = box->button(QMessageBox::Ok)) ok->click();
    else box->reject();
}

std::vector<std::string> RecordingForm::Entries(const std::string &prefix) const {
    std::vector<std::string> found;
    for (const std::string &entry : log)
        if (entry.rfind(prefix, 0) == 0) found.push_back(entry);
    return found;
}

RecordingForm::RecordingForm(SystemServices *system) : TFormMain(system) {
    Core().SetHandlerObserver([this](Handler handler, ControlId sender, char *key) {
        QObject *control = sender == ControlId::None ? static_cast<QObject *>(this) : Widget(sender);
        std::string entry = std::string(HandlerName(handler)) + ":" + control->objectName().toStdString();
        if (key) entry += ":" + std::to_string(int(*key));
        log.push_back(entry);
        if (key && keyHook) keyHook(control, *key);
        if (!key && handlerHook) handlerHook(HandlerName(handler));
    });
}

bool ShowAndActivate(QWidget &form) {
    form.show();
    form.activateWindow();
    form.raise();
    return QTest::qWaitForWindowActive(&form, 3000);
}

std::string FocusedControlName() {
    QWidget *focus = QApplication::focusWidget();
    auto *form = focus ? qobject_cast<TFormMain *>(focus->window()) : nullptr;
    const ControlId control = form ? form->ControlOf(focus) : ControlId::None;
    return control == ControlId::None ? std::string() : NameOf(control);
}

PortHolder::PortHolder(const std::string &devicePath) {
    int ready[2];
    int release[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return;
    if (::pipe2(release, O_CLOEXEC) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        // The child: only async-signal-safe calls from here on.
        ::close(ready[0]);
        ::close(release[1]);
        const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char answer = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? '1' : '0';
        if (::write(ready[1], &answer, 1) != 1) ::_exit(1);
        char ignored;
        while (::read(release[0], &ignored, 1) > 0) {
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char answer = '0';
    if (pid_ > 0 && ::read(ready[0], &answer, 1) == 1) holding_ = answer == '1';
    ::close(ready[0]);
}

PortHolder::~PortHolder() {
    if (release_ >= 0) ::close(release_);
    if (pid_ > 0) {
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}
