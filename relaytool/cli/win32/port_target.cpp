// The --port argument on Windows: COM1 to COM9 (any letter case). Windows names its serial ports
// itself, so there is no device path to bind.
#include <cctype>
#include <cstring>

#include "command_line.h"
#include "port_target.h"

PortTarget::PortTarget(const std::string &argument) {
    uint8_t number = 0;
    if (!IsComName(argument, number))
        throw UsageError(Command::None, "--port takes COM1 to COM9, not \"" + argument + "\"");
    number_ = number;
    label_ = "COM" + std::to_string(number);
    stem_ = label_;
}

PortTarget::~PortTarget() = default;

const char *PortOptionHelp() { return "COM1 to COM9"; }

bool NamesAPort(const std::string &argument) {
    uint8_t number = 0;
    return IsComName(argument, number);
}

const char *PortOperandHelp() {
    return "COM1 to COM9 (any letter case) is a PORT; anything else is a backup FILE.\n";
}

// cmd.exe: a text with blanks or any of its special characters goes in double quotes (file names
// cannot hold a double quote themselves).
std::string ShellQuoted(const std::string &text) {
    bool plain = !text.empty();
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && std::strchr("/\\:._-+", c) == nullptr) plain = false;
    if (plain) return text;
    std::string quoted(1, '"');
    quoted.append(text).push_back('"');
    return quoted;
}
