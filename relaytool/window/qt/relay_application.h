// The application object: every event passes the focus gate (focus_gate.h), and an
// error that escapes an event's delivery is shown by the exception display instead of ending
// the program. Beside it, what holds for the whole application: pixel sizes that are not scaled,
// and the warning sound.
#pragma once

#include <QApplication>

class RelayApplication : public QApplication {
public:
    RelayApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};

// The window is laid out in pixels for 96 pixels per inch and must not be scaled for other
// screen settings: turns off Qt's scaling for screen density (environment and attributes). Call
// before the application object is created.
void FixPixelScaling();

// The short warning sound of a refused key or a refused field. Beep() plays BeepSound; tests put
// a counter there (the offscreen platform has no sound).
using BeepFunction = void (*)();
extern BeepFunction BeepSound;
void Beep();
