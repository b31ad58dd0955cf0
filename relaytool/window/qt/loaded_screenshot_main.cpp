// relaytool_loaded_screenshot FILE.png: a picture of the window after a Load from the sample
// repeater. The simulated repeater runs in this process on a pseudo-terminal, published as COM1
// in a private port directory; the window is built as the program builds it, its first
// activation lists COM1, Load is clicked, and the window is grabbed. No display is needed: the
// offscreen platform is used unless QT_QPA_PLATFORM says otherwise. No settings file is read or
// written.
#include "form_main.h"
#include "pixel_scaling.h"
#include "posix_services.h"
#include "relay_application.h"
#include "repeater_sim.h"
#include "workflow_state.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QPixmap>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

namespace {

// A private folder for the port link and the (never written) settings file.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/relaytool-shot-XXXXXX";
        if (const char *made = ::mkdtemp(pattern)) path_ = made;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
    const std::string &Path() const { return path_; }

private:
    std::string path_;
};

int Fail(const char *what) {
    std::fprintf(stderr, "relaytool_loaded_screenshot: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char *argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    FixPixelScaling();
    try {
        ScratchFolder scratch;
        if (scratch.Path().empty()) return Fail("cannot create a scratch folder");
        ::setenv("MAILLINK_DEVICE_DIR", scratch.Path().c_str(), 1);
        PosixServices system(scratch.Path() + "/relaytool");

        repeatersim::Simulator repeater;
        repeater.Start();
        repeater.Publish(scratch.Path(), 1);

        RelayApplication application(argc, argv);
        TFormMain form(&system);
        FormMain = &form;
        form.show();
        form.activateWindow();
        const QDeadlineTimer deadline(5000);
        while (!form.isActiveWindow() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (form.ComboCOMPort->currentText() != QLatin1String("COM1")) return Fail("the simulated COM1 is not listed");

        form.LoadButton->click();
        QCoreApplication::processEvents();
        if (!DataLoaded) return Fail("the Load did not complete");
        if (!form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) return Fail("cannot write the picture");
    } catch (const std::exception &error) {
        return Fail(error.what());
    }
    return 0;
}
