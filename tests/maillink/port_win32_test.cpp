// What only Windows shows of the port functions: a COM port that is a regular file opens but
// refuses the line settings; the library must not keep it.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "link_fixture.h"

using namespace linktest;

// The test driver binds COM8 to a regular file and names it in RELAY_WINE_PLAIN_FILE.
TEST_F(LinkTest, OpenThatFailsAfterTheDeviceOpenedReleasesIt) {
    const char *plainFile = std::getenv("RELAY_WINE_PLAIN_FILE");
    if (plainFile == nullptr) GTEST_SKIP() << "no COM port bound to a regular file (RELAY_WINE_PLAIN_FILE unset)";

    EXPECT_EQ(OpenSerialPort(8, 9600), 0);
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
    HANDLE file = ::CreateFileA(plainFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "the failed open still holds the file";
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);

    ASSERT_EQ(OpenSerialPort(kCom, 19200), 1);
    LineSettings settings;
    ASSERT_TRUE(ReadLineSettings(peer_, settings));
    EXPECT_EQ(settings.baudRate, 19200u);
}
