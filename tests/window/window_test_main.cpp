// The window tests' entry: an offscreen application object (QT_QPA_PLATFORM=xcb shows the
// windows instead), the program's pixel scaling, and a counter in place of the warning sound.
#include "relay_application.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

namespace {
int beeps = 0;
void CountBeep() { ++beeps; }
}  // namespace

int BeepCount() { return beeps; }

int main(int argc, char **argv) {
    // Offscreen also when DISPLAY is set: the tests need no window manager, and listing the tests
    // at build time must not depend on a display being reachable.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    FixPixelScaling();
    ::testing::InitGoogleTest(&argc, argv);
    RelayApplication application(argc, argv);
    // Closing a test's window must not end the test program.
    application.setQuitOnLastWindowClosed(false);
    BeepSound = CountBeep;
    return RUN_ALL_TESTS();
}
