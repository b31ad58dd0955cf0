// The application object: every event passes the focus gate (focus_gate.h), and an
// error that escapes an event's delivery is shown by the exception display instead of ending
// the program.
#pragma once

#include <QApplication>

class RelayApplication : public QApplication {
public:
    RelayApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
