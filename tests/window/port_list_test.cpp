// The port list: the COM ports that can be opened, published through MAILLINK_DEVICE_DIR as
// pseudo-terminals, and the stored port selected.
#include "port_holder.h"
#include "port_settings.h"
#include "pty_pair.h"
#include "window_fixture.h"

#include <QComboBox>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

// A pseudo-terminal pair whose slave end stands for a serial device, closed with its entry.
struct PublishedLine {
    ptypair::PtyPair pair = ptypair::OpenPtyPair();
    ~PublishedLine() { ptypair::ClosePtyPair(pair); }
};

class PortList : public WindowTest {
protected:
    // Publishes a pseudo-terminal as COM<n>.
    void Publish(unsigned n) {
        auto line = std::make_unique<PublishedLine>();
        ASSERT_FALSE(line->pair.slavePath.empty());
        ASSERT_EQ(::symlink(line->pair.slavePath.c_str(), ports.Entry(n).c_str()), 0);
        published[n] = std::move(line);
    }
    void Store(const std::string &value) { WriteFile(SettingsPath(), "[Com settings]\nPort=" + value + "\n"); }

    QStringList Entries() const {
        QStringList list;
        for (int i = 0; i < form->ComboCOMPort->count(); ++i) list << form->ComboCOMPort->itemText(i);
        return list;
    }

    std::map<unsigned, std::unique_ptr<PublishedLine>> published;
};

struct ListCase {
    const char *name;
    std::vector<unsigned> available;
    const char *stored;  // null: no settings file
    QStringList entries;
    int selected;
    const char *shown;
};

TEST_F(PortList, AvailablePortsListedAndStoredOneSelected) {
    const ListCase cases[] = {
        {"COM1 and COM3, 3 stored", {1, 3}, "3", {"COM1", "COM3"}, 1, "COM3"},
        {"only COM3, 3 stored", {3}, "3", {"COM3"}, 0, "COM3"},
        {"no file, COM1 there", {1, 2}, nullptr, {"COM1", "COM2"}, 0, "COM1"},
        {"no file, COM1 missing", {2}, nullptr, {"COM2"}, -1, ""},
        {"257 keeps its low 8 bits", {1, 2}, "257", {"COM1", "COM2"}, 0, "COM1"},
        {"-255 keeps its low 8 bits", {1}, "-255", {"COM1"}, 0, "COM1"},
        {"hex 0x3", {1, 3}, "0x3", {"COM1", "COM3"}, 1, "COM3"},
        {"hex $8", {1, 8}, "$8", {"COM1", "COM8"}, 1, "COM8"},
        {"not a number gives 1", {1, 5}, "five", {"COM1", "COM5"}, 0, "COM1"},
        {"0 stored selects nothing", {1}, "0", {"COM1"}, -1, ""},
        {"stored port not available", {1, 2}, "4", {"COM1", "COM2"}, -1, ""},
        {"COM9 is never listed", {2, 9}, "9", {"COM2"}, -1, ""},
        {"no ports at all", {}, "1", {}, -1, ""},
    };
    for (const ListCase &c : cases) {
        SCOPED_TRACE(c.name);
        published.clear();
        for (const auto &entry : std::filesystem::directory_iterator(ports.Path())) std::filesystem::remove(entry);
        std::filesystem::remove(SettingsPath());
        for (unsigned n : c.available) Publish(n);
        if (c.stored) Store(c.stored);
        const std::string before = ReadFileOrEmpty(SettingsPath());

        PortSettings = PortSettingsRecord{};
        PortSettings.PortNumber = 6;
        RecordingForm &f = Open();
        EXPECT_EQ(Entries(), c.entries);
        EXPECT_EQ(f.ComboCOMPort->currentIndex(), c.selected);
        EXPECT_EQ(f.ComboCOMPort->currentText().toStdString(), c.shown);
        EXPECT_EQ(PortSettings.BaudRate, 9600);
        EXPECT_EQ(PortSettings.PortNumber, 6) << "the port number is Load's and Save's business";
        EXPECT_EQ(ReadFileOrEmpty(SettingsPath()), before) << "reading leaves the file as it was";
        EXPECT_EQ(FileExists(SettingsPath()), c.stored != nullptr);
        form.reset();
    }
    EXPECT_TRUE(watchdog.Boxes().empty());
}

TEST_F(PortList, PortHeldByAnotherProcessIsLeftOut) {
    Publish(1);
    Publish(2);
    Publish(3);
    Store("2");
    testsupport::PortHolder holder(published[2]->pair.slavePath);
    ASSERT_TRUE(holder.Holding());
    Open();
    EXPECT_EQ(Entries(), (QStringList{"COM1", "COM3"}));
    EXPECT_EQ(form->ComboCOMPort->currentIndex(), -1);
    EXPECT_TRUE(watchdog.Boxes().empty()) << "a busy port is left out without a message";
}

TEST_F(PortList, ListIsBuiltOnceAndProbesLeaveNoPortOpen) {
    Publish(1);
    Open();
    QWidget other;
    ASSERT_TRUE(ShowAndActivate(other));
    ASSERT_TRUE(ShowAndActivate(*form));
    EXPECT_EQ(Entries(), (QStringList{"COM1"}));
    // Nothing of this process holds the device: another process can take it at once.
    testsupport::PortHolder holder(published[1]->pair.slavePath);
    EXPECT_TRUE(holder.Holding());
}

TEST_F(PortList, ProbeRange) {
    Publish(9);
    Publish(1);
    EXPECT_FALSE(system.ProbeComPort(0));
    EXPECT_FALSE(system.ProbeComPort(10));
    EXPECT_FALSE(system.ProbeComPort(255));
    EXPECT_TRUE(system.ProbeComPort(9));
    EXPECT_TRUE(system.ProbeComPort(1));
    EXPECT_FALSE(system.ProbeComPort(2)) << "nothing published as COM2";
    EXPECT_TRUE(system.ProbeComPort(1)) << "a probe leaves the port free for the next";
}

// The kernel's console (this machine's own, as /sys names it) is left out unopened, whatever
// COM number it has: a Load from it would send mail frames to the system's console.
TEST_F(PortList, SystemConsoleIsLeftOut) {
    std::ifstream active("/sys/class/tty/console/active");
    std::string name;
    struct stat device {};
    if (!(active >> name) || ::stat(("/dev/" + name).c_str(), &device) != 0 || !S_ISCHR(device.st_mode))
        GTEST_SKIP() << "this machine names no console device";
    Publish(1);
    ASSERT_EQ(::symlink(("/dev/" + name).c_str(), ports.Entry(2).c_str()), 0);
    EXPECT_FALSE(system.ProbeComPort(2)) << "/dev/" << name << " is the system console";
    Open();
    EXPECT_EQ(Entries(), (QStringList{"COM1"}));
}

TEST_F(PortList, VanishedDeviceIsLeftOut) {
    Publish(1);
    // An unplugged adapter leaves its COM2 link dangling. The link names a device that nothing can
    // bring back: a freed pseudo-terminal's number is taken at once by a test running beside this one.
    ASSERT_EQ(::symlink((ports.Entry(2) + "-unplugged").c_str(), ports.Entry(2).c_str()), 0);
    Open();
    EXPECT_EQ(Entries(), (QStringList{"COM1"}));
}

}  // namespace
