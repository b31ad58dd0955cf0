// Helpers for driving the real window in tests: a watchdog that answers modal boxes, a form that
// records which handlers ran, waits that process events.
#pragma once

#include "form_main.h"
#include "test_files.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QString>
#include <QTimer>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Readable values in test failures.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QSize &s, std::ostream *os) { *os << s.width() << "x" << s.height(); }
inline void PrintTo(const QPoint &p, std::ostream *os) { *os << p.x() << "," << p.y(); }
inline void PrintTo(const QRect &r, std::ostream *os) {
    *os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}
inline void PrintTo(const QStringList &l, std::ostream *os) { *os << '[' << l.join(", ").toStdString() << ']'; }

// Processes events until condition holds or deadlineMs passed; returns condition's last value.
// Tests wait for what they expect with it, never for a fixed time.
bool WaitUntil(const std::function<bool()> &condition, int deadlineMs = 3000);

// How many times the warning sound played (the test main counts them).
int BeepCount();

// Every 10 ms, answers the modal box that is open: records it and presses OK. A box that is still
// open when the deadline has passed fails the test and is closed, so no test can hang on one.
class ModalWatchdog : public QObject {
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool busyCursor = false;  // the busy cursor was still shown over the box
        int buttons = 0;
    };

    explicit ModalWatchdog(int deadlineMs = 15000);

    const std::vector<Box> &Boxes() const { return boxes_; }
    void Clear() { boxes_.clear(); }

private:
    void Check();

    QTimer timer_;
    QElapsedTimer clock_;
    int deadlineMs_;
    std::vector<Box> boxes_;
};

// The window with every handler recording its name and sender into log ("Handler:Sender", and
// the key's code for key-press handlers) before it does its work. Hooks let a test make a handler
// throw or change a key.
class RecordingForm : public TFormMain {
public:
    explicit RecordingForm(SystemServices *system = nullptr);

    std::vector<std::string> log;
    std::function<void(QObject *sender, char &key)> keyHook;
    std::function<void(const std::string &handler)> handlerHook;  // runs after logging

    // log entries that start with prefix.
    std::vector<std::string> Entries(const std::string &prefix) const;
};

// Shows form, makes it the active window and waits until it is (its first activation runs
// FormActivate). False when it did not become active.
bool ShowAndActivate(QWidget &form);

// The name of the window's control that holds the focus (a control's inner widgets count as the
// control), or "" when none.
std::string FocusedControlName();
