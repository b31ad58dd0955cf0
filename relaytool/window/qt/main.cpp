// Relaytool: configures a DECT repeater over a serial line in one dialog window. The program
// takes no arguments and always ends with exit code 0; an error that escapes start-up or the
// event loop is shown by the exception display.
#include "display_rules.h"
#include "exception_display.h"
#include "form_main.h"
#include "relay_application.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

void ShowFatal(const char *message, bool haveApplication) {
    if (haveApplication) ShowExceptionMessage(message);
    else std::fprintf(stderr, "relaytool: %s\n", WithClosingFullStop(message).c_str());
}

}  // namespace

int main(int argc, char *argv[]) {
    FixPixelScaling();
    std::unique_ptr<RelayApplication> application;
    RunShowingErrors(
        [&] {
            application = std::make_unique<RelayApplication>(argc, argv);
            auto form = std::make_unique<TFormMain>();
            FormMain = form.get();
            form->show();
            application->exec();
        },
        [&](const std::string &message) { ShowFatal(message.c_str(), application != nullptr); });
    return 0;
}
