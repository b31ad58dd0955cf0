#include "relay_application.h"

#include "dialog_font.h"
#include "exception_display.h"
#include "focus_gate.h"

#include <QIcon>
#include <QtGlobal>

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

void FixPixelScaling() {
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    // A scale factor set by the user or the desktop would still apply on top: drop them.
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    qunsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
    qunsetenv("QT_USE_PHYSICAL_DPI");
    // Point sizes (tooltips, message boxes) as at 96 dpi; the window itself uses pixel sizes.
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
}

namespace {
void SystemBeep() { QApplication::beep(); }
}  // namespace

BeepFunction BeepSound = SystemBeep;

void Beep() {
    if (BeepSound) BeepSound();
}
