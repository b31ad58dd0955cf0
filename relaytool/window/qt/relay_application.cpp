#include "relay_application.h"

#include "dialog_font.h"
#include "exception_display.h"
#include "focus_gate.h"

#include <QIcon>

RelayApplication::RelayApplication(int &argc, char **argv) : QApplication(argc, argv) {
    setWindowIcon(QIcon(QStringLiteral(":/relaytool/relaytool.ico")));
    InstallDialogFonts();
}

bool RelayApplication::notify(QObject *receiver, QEvent *event) {
    bool delivered = false;
    RunGuarded([&] {
        if (FocusGateSwallows(receiver, event)) {
            delivered = true;
            return;
        }
        delivered = QApplication::notify(receiver, event);
    });
    return delivered;
}
