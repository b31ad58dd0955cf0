// The --port argument: COM1 to COM9, or (on POSIX) the path of a serial device, which is bound
// as COM1 in a private temporary port directory for the run so that Maillink opens exactly it.
// (posix/port_target.cpp, win32/port_target.cpp.)
#pragma once

#include <cctype>
#include <cstdint>
#include <string>

// True when text names COM1..COM9 (any letter case); number receives the digit.
inline bool IsComName(const std::string &text, uint8_t &number) {
    if (text.size() != 4) return false;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return false;
    if (text[3] < '1' || text[3] > '9') return false;
    number = static_cast<uint8_t>(text[3] - '0');
    return true;
}

class PortTarget {
public:
    // Throws UsageError for a text that is neither COMn (n 1 to 9, any letter case) nor a path
    // (a text with a "/"), and std::runtime_error when the temporary binding cannot be made.
    explicit PortTarget(const std::string &argument);
    ~PortTarget();  // undoes the binding: the environment as before, the directory removed
    PortTarget(const PortTarget &) = delete;
    PortTarget &operator=(const PortTarget &) = delete;

    uint8_t Number() const { return number_; }              // what PortSettings gets
    const std::string &Label() const { return label_; }     // "COM3" or the path, for messages
    const std::string &FileStem() const { return stem_; }   // "COM3" or "ttyUSB0", for file names

private:
    uint8_t number_ = 0;
    std::string label_;
    std::string stem_;
    std::string bindingDir_;  // the temporary port directory, when a path was given
    bool hadDeviceDir_ = false;
    std::string oldDeviceDir_;
};

// The text quoted for the platform's shell (a POSIX shell; cmd.exe on Windows) when it holds
// anything beyond letters, digits and / . _ - + (and \ : on Windows).
std::string ShellQuoted(const std::string &text);

// What --port takes, for the help text.
const char *PortOptionHelp();

// Whether an argument of `diff` names a port rather than a backup file: COM1 to COM9 (any letter
// case), and on POSIX a path under /dev/ or the path of a character device (a link to one).
// Anything else names a file (a file called COM1 is given as ./COM1).
bool NamesAPort(const std::string &argument);
// That rule, for the help text (whole lines).
const char *PortOperandHelp();
