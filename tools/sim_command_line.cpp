#include "sim_command_line.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <utility>

namespace repeatersim {

namespace {

const std::pair<const char *, Fault> kFaultNames[] = {
    {"no-echo", Fault::NoEcho},           {"corrupt-echo", Fault::CorruptEcho},
    {"silence", Fault::Silence},          {"bad-checksum", Fault::BadChecksum},
    {"reply-length", Fault::ReplyLength}, {"wrong-device", Fault::WrongDeviceType},
    {"hang-up", Fault::HangUp},           {"ignore-write", Fault::IgnoreWrite},
};

unsigned long ParseNumber(const std::string &text, unsigned long max, const std::string &what) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
        throw std::invalid_argument(what + ": \"" + text + "\" is not a number");
    errno = 0;
    char *end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (*end != '\0' || errno == ERANGE)
        throw std::invalid_argument(what + ": \"" + text + "\" is not a number");
    if (value > max)
        throw std::invalid_argument(what + ": " + text + " is above " + std::to_string(max));
    return value;
}

}  // namespace

FaultPlan ParseFaultOption(const std::string &text) {
    const auto equals = text.find('=');
    const auto at = text.find('@');
    if (at != std::string::npos && equals != std::string::npos && at > equals)
        throw std::invalid_argument("fault \"" + text + "\": write KIND[@N][=V]");
    const std::string kind = text.substr(0, std::min(at, equals));

    FaultPlan plan;
    for (const auto &[name, fault] : kFaultNames)
        if (kind == name) plan.kind = fault;
    if (plan.kind == Fault::None) throw std::invalid_argument("unknown fault \"" + kind + "\"");
    if (at != std::string::npos)
        plan.atMail = static_cast<unsigned>(
            ParseNumber(text.substr(at + 1, equals == std::string::npos ? std::string::npos
                                                                          : equals - at - 1),
                        std::numeric_limits<unsigned>::max(), "fault mail number"));
    if (equals != std::string::npos)
        plan.value = static_cast<uint8_t>(ParseNumber(text.substr(equals + 1), 255, "fault value"));
    return plan;
}

CommandLine ParseCommandLine(const std::vector<std::string> &args) {
    CommandLine cl;
    bool comGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
            hasValue = true;
        }
        auto take = [&]() -> std::string {
            if (hasValue) return value;
            if (i + 1 >= args.size()) throw std::invalid_argument(name + " needs a value");
            return args[++i];
        };
        auto noValue = [&] {
            if (hasValue) throw std::invalid_argument(name + " takes no value");
        };

        if (name == "--help" || name == "-h") {
            noValue();
            cl.help = true;
        } else if (name == "--pace") {
            noValue();
            cl.options.pace = true;
        } else if (name == "--unplugged") {
            noValue();
            cl.options.unplugged = true;
        } else if (name == "--control") {
            cl.control = take();
            if (cl.control.empty()) throw std::invalid_argument("--control needs a FIFO");
        } else if (name == "--dir") {
            cl.dir = take();
            if (cl.dir.empty()) throw std::invalid_argument("--dir needs a directory");
        } else if (name == "--com") {
            cl.com = static_cast<unsigned>(ParseNumber(take(), 256, "--com"));
            comGiven = true;
            if (cl.com == 0) throw std::invalid_argument("--com: port numbers start at 1");
        } else if (name == "--attach") {
            cl.options.attachDevice = take();
            if (cl.options.attachDevice.empty()) throw std::invalid_argument("--attach needs a device");
        } else if (name == "--memory") {
            cl.options.memoryFile = take();
            if (cl.options.memoryFile.empty()) throw std::invalid_argument("--memory needs a file");
        } else if (name == "--latency") {
            cl.options.echoLatencyMs = static_cast<unsigned>(ParseNumber(take(), 60000, "--latency"));
        } else if (name == "--eeprom-busy") {
            cl.options.eepromBusyMs =
                static_cast<unsigned>(ParseNumber(take(), 60000, "--eeprom-busy"));
        } else if (name == "--fault") {
            cl.faults.push_back(ParseFaultOption(take()));
        } else {
            throw std::invalid_argument("unknown argument \"" + args[i] + "\"");
        }
    }
    if (!cl.options.attachDevice.empty() && (!cl.dir.empty() || comGiven))
        throw std::invalid_argument("--attach publishes no port: --dir and --com do not go with it");
    return cl;
}

std::string DefaultPortDirectory() {
    if (const char *dir = std::getenv("MAILLINK_DEVICE_DIR")) return dir;
    std::string base;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        base = xdg;
    } else {
        const char *home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/maillink/ports";
}

const char *UsageText() {
    return "usage: repeater-sim [--dir DIR] [--com N | --attach DEVICE] [--memory FILE] [--pace]\n"
           "                    [--latency MS] [--eeprom-busy MS] [--fault KIND[@N][=V]]...\n"
           "                    [--control FIFO] [--unplugged] [--help]\n"
           "\n"
           "Plays a repeater on a pseudo-terminal and publishes it as DIR/COM<N> until SIGINT or\n"
           "SIGTERM, then removes the link.\n"
           "\n"
           "  --dir DIR          port directory (default: $MAILLINK_DEVICE_DIR, else\n"
           "                     ${XDG_CONFIG_HOME:-$HOME/.config}/maillink/ports)\n"
           "  --com N            publish as COM<N> (default 1)\n"
           "  --attach DEVICE    play the repeater on an existing terminal device instead (the\n"
           "                     host side of a virtual machine's serial line, a null-modem\n"
           "                     cable's far end); nothing is published\n"
           "  --memory FILE      load the memories from FILE (the sample repeater when it does\n"
           "                     not exist); save them after every write mail and at exit\n"
           "  --pace             9600-baud timing: every byte takes 1.0417 ms on the line\n"
           "  --latency MS       delay every byte sent to the host (a USB adapter's latency)\n"
           "  --eeprom-busy MS   after a write mail, ignore mails for MS (default 150)\n"
           "  --fault KIND[@N][=V]\n"
           "                     inject a fault: N the mail it hits (counted from 1; 0 or\n"
           "                     none: every mail), V a byte value (decimal or 0x..).\n"
           "                     KIND: no-echo, corrupt-echo (V: frame byte index),\n"
           "                     silence, bad-checksum, reply-length (V: length byte),\n"
           "                     wrong-device (V: device type, default 'b'), hang-up,\n"
           "                     ignore-write (echo a write mail, store nothing)\n"
           "  --control FIFO     read commands from FIFO (made when missing), one a line:\n"
           "                     \"unplug\" takes the unit off the line (nothing is echoed or\n"
           "                     answered), \"plug [FILE]\" connects a new unit with the\n"
           "                     memories of FILE (the sample repeater when it does not exist),\n"
           "                     saved there from then on; each is confirmed on standard output\n"
           "  --unplugged        start with no unit on the line\n";
}

}  // namespace repeatersim
