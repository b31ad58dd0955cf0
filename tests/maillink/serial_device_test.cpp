// Which device a COM number stands for, and the exclusive open, on a made-up system: a folder of
// entries, a /dev with some serial devices, and a /sys telling UARTs from placeholders.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "serial_device.h"
#include "temp_folder.h"
#include "temp_port_dir.h"

namespace fs = std::filesystem;
using maillink::posix::ComPortDevicePath;
using maillink::posix::ComPortDevicePathIn;
using maillink::posix::PortNaming;

namespace {

// ttyUSB0, ttyUSB3, ttyACM0 present; ttyS0 a placeholder, ttyS1 a UART, ttyS5 unknown to /sys.
class MadeUpSystem : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.Path().empty());
        root_ = folder_.Path();
        for (const char *dir : {"ports", "dev", "sys/ttyS0", "sys/ttyS1", "sys/ttyS5"}) fs::create_directories(root_ / dir);
        for (const char *device : {"ttyUSB0", "ttyUSB3", "ttyACM0", "ttyS0", "ttyS1", "ttyS5"})
            std::ofstream(root_ / "dev" / device) << "";
        std::ofstream(root_ / "sys/ttyS0/type") << "0\n";
        std::ofstream(root_ / "sys/ttyS1/type") << "4\n";
        entries_ = (root_ / "ports").string();
        dev_ = (root_ / "dev").string();
        sys_ = (root_ / "sys").string();
        naming_.entryDir = entries_.c_str();
        naming_.devDir = dev_.c_str();
        naming_.sysTtyDir = sys_.c_str();
    }

    void Bind(unsigned n, const std::string &target) const {
        ASSERT_EQ(::symlink(target.c_str(), (root_ / "ports" / ("COM" + std::to_string(n))).c_str()), 0);
    }
    std::string Dev(const char *name) const { return dev_ + "/" + name; }
    std::string Entry(unsigned n) const { return entries_ + "/COM" + std::to_string(n); }

    // The path for COM<n>, or "" when there is none.
    std::string Resolve(unsigned n) const {
        char path[512];
        return ComPortDevicePathIn(naming_, n, path, sizeof path) ? path : "";
    }

    testsupport::TempFolder folder_{"maillink-naming"};
    fs::path root_;
    std::string entries_, dev_, sys_;
    PortNaming naming_;
};

}  // namespace

TEST_F(MadeUpSystem, DevicesPresentAreNumberedInOrderSkippingPlaceholders) {
    const std::string expected[] = {"", Dev("ttyUSB0"), Dev("ttyUSB3"), Dev("ttyACM0"), Dev("ttyS1"), "", "", "", "", "", ""};
    for (unsigned n = 0; n <= 10; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Resolve(n), expected[n]);
    }
}

TEST_F(MadeUpSystem, EntriesWinAndTheirDevicesAreNotNumberedTwice) {
    Bind(1, Dev("ttyACM0"));
    Bind(3, "/nonexistent/ttyUSB9");  // still wins: the open will fail, no other device is taken
    Bind(9, Dev("ttyUSB0"));
    // Free numbers 2, 4, 5, ... go to the devices no entry binds: ttyUSB3, ttyS1.
    const std::string expected[] = {"", Entry(1), Dev("ttyUSB3"), Entry(3), Dev("ttyS1"), "", "", "", "", Entry(9)};
    for (unsigned n = 1; n <= 9; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Resolve(n), expected[n]);
    }
}

TEST_F(MadeUpSystem, WithEntriesOnlyNumbersWithoutAnEntryHaveNoDevice) {
    Bind(2, Dev("ttyUSB3"));
    naming_.entriesOnly = true;
    EXPECT_EQ(Resolve(1), "");
    EXPECT_EQ(Resolve(2), Entry(2));
    EXPECT_EQ(Resolve(3), "");
}

TEST_F(MadeUpSystem, PathThatDoesNotFitIsRefusedNotCut) {
    char small[8];
    EXPECT_FALSE(ComPortDevicePathIn(naming_, 1, small, sizeof small));
    EXPECT_FALSE(ComPortDevicePathIn(naming_, 1, small, 0));
    EXPECT_FALSE(ComPortDevicePathIn(naming_, 1, nullptr, 100));
}

// The environment decides the entry folder: MAILLINK_DEVICE_DIR alone when set, else the user's
// configuration folder.
TEST(PortNamingEnvironment, DeviceDirOrUserConfigFolderHoldTheEntries) {
    char path[512];
    {
        TempPortDir ports;
        ASSERT_EQ(::symlink("/dev/null", ports.Entry(4).c_str()), 0);
        ASSERT_TRUE(ComPortDevicePath(4, path, sizeof path));
        EXPECT_EQ(std::string(path), ports.Entry(4));
        EXPECT_FALSE(ComPortDevicePath(5, path, sizeof path));
    }

    const char *oldDir = std::getenv("MAILLINK_DEVICE_DIR");
    const char *oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string savedDir = oldDir ? oldDir : "", savedConfig = oldConfig ? oldConfig : "";
    const testsupport::TempFolder folder("maillink-config");
    ASSERT_FALSE(folder.Path().empty());
    const fs::path config = folder.Path();
    fs::create_directories(config / "maillink/ports");
    ASSERT_EQ(::symlink("/dev/null", (config / "maillink/ports/COM9").c_str()), 0);
    ::unsetenv("MAILLINK_DEVICE_DIR");
    ::setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);

    const bool found = ComPortDevicePath(9, path, sizeof path);
    const std::string resolved = found ? path : "";

    if (oldDir) ::setenv("MAILLINK_DEVICE_DIR", savedDir.c_str(), 1);
    if (oldConfig) ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(resolved, (config / "maillink/ports/COM9").string());
}

TEST(ExclusiveOpen, SecondOpenOfAHeldDeviceFailsUntilItIsClosed) {
    char pattern[] = "/tmp/maillink-device-XXXXXX";
    const int made = ::mkstemp(pattern);
    ASSERT_GE(made, 0);
    ::close(made);

    const int first = maillink::posix::OpenExclusive(pattern);
    ASSERT_GE(first, 0) << "a device without TIOCEXCL still opens";
    EXPECT_NE(::fcntl(first, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_NE(::fcntl(first, F_GETFL) & O_NONBLOCK, 0);
    errno = 0;
    EXPECT_EQ(maillink::posix::OpenExclusive(pattern), -1);
    EXPECT_EQ(errno, EWOULDBLOCK);

    maillink::posix::CloseExclusive(first);
    const int again = maillink::posix::OpenExclusive(pattern);
    EXPECT_GE(again, 0);
    maillink::posix::CloseExclusive(again);
    ::unlink(pattern);

    errno = 0;
    EXPECT_EQ(maillink::posix::OpenExclusive("/nonexistent/ttyUSB0"), -1);
    EXPECT_EQ(errno, ENOENT);
}

// The console is told by device number, through any link, from what /sys lists as active; here
// /dev/null (1:3) stands for the console's terminal and /dev/zero (1:5) for another one.
TEST_F(MadeUpSystem, SystemConsoleIsToldByDeviceNumberThroughAnyLink) {
    fs::create_directories(root_ / "sys/console");
    fs::create_directories(root_ / "sys/ttyS0");
    fs::create_directories(root_ / "sys/tty0");
    std::ofstream(root_ / "sys/ttyS0/dev") << "1:3\n";
    std::ofstream(root_ / "sys/tty0/dev") << "4:0\n";
    Bind(2, "/dev/null");
    const struct {
        const char *active;
        std::string path;
        bool console;
    } cases[] = {
        {"tty0 ttyS0\n", "/dev/null", true},
        {"tty0 ttyS0\n", Entry(2), true},
        {"tty0 ttyS0\n", "/dev/zero", false},
        {"ttyS0", "/dev/null", true},
        {"tty0\n", "/dev/null", false},
        {"tty0 ttyS0\n", Dev("ttyS0"), false},  // not a device at all
        {"tty0 ttyS0\n", "/nonexistent/ttyS0", false},
        {"", "/dev/null", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.active) + " " + c.path);
        std::ofstream(root_ / "sys/console/active") << c.active;
        EXPECT_EQ(maillink::posix::IsSystemConsoleIn(naming_, c.path.c_str()), c.console);
    }
    fs::remove(root_ / "sys/console/active");
    EXPECT_FALSE(maillink::posix::IsSystemConsoleIn(naming_, "/dev/null")) << "no console listed";
}
