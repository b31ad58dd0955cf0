// relaytool_screenshot FILE.png: builds the window exactly as the program does at start-up, lets
// it activate (which fills the port list), and writes a picture of it. No display is needed: the
// offscreen platform is used unless QT_QPA_PLATFORM says otherwise.
#include "form_main.h"
#include "pixel_scaling.h"
#include "relay_application.h"

#include <QDeadlineTimer>
#include <QPixmap>

#include <cstdio>

int main(int argc, char *argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    FixPixelScaling();
    RelayApplication application(argc, argv);
    TFormMain form;
    FormMain = &form;
    form.show();
    form.activateWindow();
    const QDeadlineTimer deadline(5000);
    while (!form.isActiveWindow() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
    if (!form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "relaytool_screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
