// relaycfg ports --find: asks every port for its identification block (the transfer a Load
// starts with) and says which one holds a supported repeater.
#include <algorithm>
#include <string>
#include <vector>

#include "commands.h"
#include "configuration_report.h"
#include "exit_codes.h"
#include "image_layout.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "port_access.h"
#include "port_settings.h"

namespace {

constexpr int32_t kBaudRate = 9600;

enum class Answer { Repeater, OtherDevice, NoAnswer, InUse, CannotOpen, Console };

struct PortAnswer {
    PortStatus port;
    Answer answer = Answer::NoAnswer;
    uint8_t deviceType = 0;
    std::string message;  // the transfer's text, or why the port cannot be opened
};

PortAnswer Ask(const PortStatus &port) {
    PortAnswer a{port, Answer::NoAnswer, 0, {}};
    if (port.console) {  // a mail would go out among the system's own messages
        a.answer = Answer::Console;
        return a;
    }
    if (!port.available) {
        a.answer = port.busy ? Answer::InUse : Answer::CannotOpen;
        a.message = port.reason;
        return a;
    }
    PortSettings.PortNumber = static_cast<uint8_t>(port.number);
    PortSettings.BaudRate = kBaudRate;
    const int8_t code = ReadInfoBlock(0, static_cast<uint8_t>(layout::kInfoBlockSize));
    if (code == 0) {
        a.deviceType = InfoBlock[layout::kDeviceType];
        a.answer = a.deviceType == layout::kSupportedDevice ? Answer::Repeater : Answer::OtherDevice;
        return a;
    }
    a.message = TransferErrorText(code);
    if (code == kOpenFailedCode) {
        // Taken since the survey: say by whom, if the system can tell.
        const OpenAttempt attempt = TryOpenPort(port.number);
        if (!attempt.opened) {
            a.answer = attempt.busy ? Answer::InUse : Answer::CannotOpen;
            a.message = attempt.reason;
        }
    }
    return a;
}

std::string Hex2(uint8_t value) {
    const char digits[] = "0123456789ABCDEF";
    return {digits[value >> 4], digits[value & 15]};
}

std::string DeviceTypeText(uint8_t type) {
    std::string text = "device type " + Hex2(type);
    if (type >= 0x20 && type < 0x7F) text += std::string(" (\"") + static_cast<char>(type) + "\")";
    return text;
}

std::string AnswerText(const PortAnswer &a) {
    switch (a.answer) {
    case Answer::Repeater: return "supported repeater";
    case Answer::OtherDevice: return "another device, " + DeviceTypeText(a.deviceType);
    case Answer::NoAnswer: return "no answer: " + a.message;
    case Answer::InUse: return "in use: " + a.message;
    case Answer::CannotOpen: return "cannot be opened: " + a.message;
    case Answer::Console: return "the system console, not asked";
    }
    return {};
}

const char *AnswerKey(Answer answer) {
    switch (answer) {
    case Answer::Repeater: return "repeater";
    case Answer::OtherDevice: return "other_device";
    case Answer::NoAnswer: return "no_answer";
    case Answer::InUse: return "in_use";
    case Answer::CannotOpen: return "cannot_open";
    case Answer::Console: return "console";
    }
    return "";
}

std::string PortName(const PortAnswer &a) { return "COM" + std::to_string(a.port.number); }

std::string Json(const std::vector<PortAnswer> &answers, const std::vector<std::string> &found) {
    std::string json = "{\"found\": ";
    json += found.size() == 1 ? JsonString(found.front()) : std::string("null");
    json += ", \"ports\": [";
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const PortAnswer &a = answers[i];
        json += (i ? ", " : "") + std::string("{\"port\": ") + JsonString(PortName(a)) +
                ", \"device\": " + JsonString(a.port.device) + ", \"result\": \"" +
                AnswerKey(a.answer) + "\"";
        if (a.answer == Answer::OtherDevice)
            json += ", \"device_type\": " + std::to_string(a.deviceType);
        if (!a.message.empty()) json += ", \"message\": " + JsonString(a.message);
        json += "}";
    }
    return json + "]}\n";
}

}  // namespace

int RunPortsFind(const Invocation &invocation, Console io) {
    std::vector<PortAnswer> answers;
    for (const PortStatus &port : SurveyPorts()) {
        if (!invocation.quiet && port.available)
            io.err << "Asking " << PortHeading(port) << '\n' << std::flush;
        answers.push_back(Ask(port));
    }
    // The repeaters first, so that the first line names the port to use.
    std::stable_partition(answers.begin(), answers.end(),
                          [](const PortAnswer &a) { return a.answer == Answer::Repeater; });
    std::vector<std::string> found;
    for (const PortAnswer &a : answers)
        if (a.answer == Answer::Repeater) found.push_back(PortName(a));

    if (invocation.json) {
        io.out << Json(answers, found);
    } else if (invocation.quiet) {
        if (found.size() == 1) io.out << found.front() << '\n';
    } else {
        for (const PortAnswer &a : answers) io.out << PortHeading(a.port) << ": " << AnswerText(a) << '\n';
    }

    if (found.size() == 1) return kExitOk;
    if (found.empty()) {
        io.err << (answers.empty() ? "No COM port to ask.\n" : "No supported repeater found.\n");
        return kExitUnsupported;
    }
    std::string list;
    for (const std::string &port : found) list += (list.empty() ? "" : ", ") + port;
    io.err << "Several supported repeaters found (" << list << "): choose one with --port.\n";
    return kExitUsage;
}
