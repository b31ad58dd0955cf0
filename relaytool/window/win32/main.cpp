// relaytool.exe: the configuration window on Windows. Errors that escape start-up or the event
// loop are shown like any other error, and the program always ends with exit code 0.
#include "display_rules.h"
#include "form_window.h"
#include "guarded_call.h"
#include "system_services.h"

#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    RunShowingErrors(
        [&] {
            const auto system = MakePlatformServices();
            FormWindow window(instance, *system);
            ShowWindow(window.Handle(), show);
            UpdateWindow(window.Handle());
            MSG message;
            while (GetMessageA(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        },
        [](const std::string &error) {
            char path[MAX_PATH] = {};
            GetModuleFileNameA(nullptr, path, MAX_PATH);
            MessageBoxA(nullptr, WithClosingFullStop(error).c_str(), ApplicationTitleFor(path).c_str(),
                        MB_OK | MB_ICONERROR);
        });
    return 0;
}
