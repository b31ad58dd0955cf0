// The rig's virtual machine: QEMU (TCG) booting the guest, its console on a pipe (every byte kept
// in the console log), its two serial lines' host ends (pseudo-terminals QEMU names on its
// output) and its monitor on a socket. Used by one thread.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace rig {

struct GuestFiles {
    std::string kernel;
    std::string initramfs;
};

class QemuGuest {
public:
    // Starts QEMU. Throws std::runtime_error when it cannot be started.
    explicit QemuGuest(const GuestFiles &files);
    ~QemuGuest();  // kills QEMU if it still runs
    QemuGuest(const QemuGuest &) = delete;
    QemuGuest &operator=(const QemuGuest &) = delete;

    // Waits at most timeoutMs for console output and returns the complete lines that came (without
    // their line ends). false once QEMU has closed its output (it has ended).
    bool ReadLines(int timeoutMs, std::vector<std::string> &lines);
    // Writes a line to the guest's console input.
    void Send(const std::string &line);
    // Runs a monitor command; false when the monitor cannot be reached. QEMU's answer, if any
    // beyond its prompt, goes into answer.
    bool Monitor(const std::string &command, std::string &answer);

    // The host end of the serial line that QEMU labelled so ("serial1", a chardev id); empty
    // until QEMU has named it.
    std::string PtyOf(const std::string &label) const;

    // Everything the console sent, byte for byte.
    const std::string &ConsoleBytes() const { return console_; }

    void Kill();
    // Waits for QEMU to end (after Kill, or after the guest powered off); its exit status.
    int Wait();

private:
    void TakeLine(const std::string &line);

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int monitor_ = -1;
    std::string monitorPath_;
    std::string console_;
    std::string partial_;
    std::map<std::string, std::string> ptys_;
    int status_ = -1;
};

}  // namespace rig
