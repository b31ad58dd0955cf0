// What only a second process can show: the port is exclusive across processes (as share mode 0
// makes it on Windows), and the library starts in its cleared state.
#include <string>

#ifndef _WIN32
#include <sys/ioctl.h>
#endif

#include "child_process.h"
#include "link_fixture.h"

using linktest::ExclusiveOpenGap;

namespace {

constexpr int kRefused = 10;
constexpr int kOpened = 11;

}  // namespace

TEST(LoadedLibrary, StartsWithThePortClosedAndEverythingCleared) {
    EXPECT_EQ(RunProbe({"fresh"}), 0);
}

TEST_F(LinkTest, PortHeldHereCannotBeOpenedByAnotherProcess) {
    if (const std::string gap = ExclusiveOpenGap(); !gap.empty()) GTEST_SKIP() << gap;
    const std::string com = std::to_string(kCom);
    EXPECT_EQ(RunProbe({"try", com}), kOpened) << "the port opens when nobody holds it";

    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    EXPECT_EQ(RunProbe({"try", com}), kRefused);

    CloseSerialPort();
    EXPECT_EQ(RunProbe({"try", com}), kOpened) << "closing releases the port";
}

TEST_F(LinkTest, PortHeldByAnotherProcessCannotBeOpenedHere) {
    if (const std::string gap = ExclusiveOpenGap(); !gap.empty()) GTEST_SKIP() << gap;
    ChildProcess holder({"hold", std::to_string(kCom)});
    ASSERT_TRUE(holder.Started());
    ASSERT_EQ(holder.ReadCharacter(), '1');

    EXPECT_EQ(OpenSerialPort(kCom, 9600), 0);
    EXPECT_EQ(hComPort, MAILLINK_NO_PORT);

    EXPECT_EQ(holder.Finish(), kOpened);
    EXPECT_EQ(OpenSerialPort(kCom, 9600), 1) << "the port is free once the other process closed it";
}

// A process that dies holding the port does not keep it.
TEST_F(LinkTest, PortOfAProcessThatDiedIsFreeAgain) {
    ChildProcess holder({"hold", std::to_string(kCom)});
    ASSERT_TRUE(holder.Started());
    ASSERT_EQ(holder.ReadCharacter(), '1');
    holder.Kill();
    EXPECT_EQ(holder.Finish(), -1);
#ifndef _WIN32
    // A real device drops its exclusive-open flag with its last descriptor; the scripted device
    // keeps one open, so it drops the flag by hand. The lock must have gone with the process.
    ::ioctl(peer_.DeviceFd(), TIOCNXCL);
#endif
    EXPECT_EQ(OpenSerialPort(kCom, 9600), 1);
}
