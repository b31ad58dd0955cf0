// relaytool_screenshot [--loaded] FILE.png: a picture of the window, built exactly as the program
// builds it, after its start-up (which fills the port list) or, with --loaded, after a Load from
// the sample repeater. The simulated repeater then runs in this process on a pseudo-terminal,
// published as COM1 in a private port directory, and no settings file is read or written. No
// display is needed: the offscreen platform is used unless QT_QPA_PLATFORM says otherwise.
#include "form_main.h"
#include "posix_services.h"
#include "relay_application.h"
#include "repeater_sim.h"
#include "test_files.h"
#include "workflow_state.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QPixmap>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>

namespace {

int Fail(const char *what) {
    std::fprintf(stderr, "relaytool_screenshot: %s\n", what);
    return 1;
}

// Shows the window and lets it settle as the program's does at start-up.
void ShowAsAtStartUp(TFormMain &form) {
    form.show();
    form.activateWindow();
    const QDeadlineTimer deadline(5000);
    while (!form.isActiveWindow() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char *argv[]) {
    const bool loaded = argc == 3 && std::strcmp(argv[1], "--loaded") == 0;
    if (argc != 2 && !loaded) {
        std::fprintf(stderr, "usage: %s [--loaded] FILE.png\n", argv[0]);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[argc - 1]);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    FixPixelScaling();
    try {
        // After a Load: a private folder for the port link and the (never written) settings file.
        std::optional<testsupport::TempFolder> scratch;
        std::unique_ptr<repeatersim::Simulator> repeater;
        std::unique_ptr<PosixServices> system;
        if (loaded) {
            scratch.emplace();
            if (scratch->Path().empty()) return Fail("cannot create a scratch folder");
            ::setenv("MAILLINK_DEVICE_DIR", scratch->Path().c_str(), 1);
            system = std::make_unique<PosixServices>(scratch->File("relaytool"));
            repeater = std::make_unique<repeatersim::Simulator>();
            repeater->Start();
            repeater->Publish(scratch->Path(), 1);
        }

        RelayApplication application(argc, argv);
        TFormMain form(system.get());
        FormMain = &form;
        ShowAsAtStartUp(form);
        if (loaded) {
            if (form.ComboCOMPort->currentText() != QLatin1String("COM1")) return Fail("the simulated COM1 is not listed");
            form.LoadButton->click();
            QCoreApplication::processEvents();
            if (!DataLoaded) return Fail("the Load did not complete");
        }
        if (!form.grab().save(file, "PNG")) return Fail("cannot write the picture");
    } catch (const std::exception &error) {
        return Fail(error.what());
    }
    return 0;
}
