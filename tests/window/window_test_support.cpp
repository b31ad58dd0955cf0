#include "window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

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
