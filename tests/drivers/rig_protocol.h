// What the driver rig's guest and host say to each other over the guest's console, and the two
// serial lines they share.
//
// The guest writes lines that start with kGuestPrefix:
//   @rig ready                       modules loaded, both lines present
//   @rig step NAME pass|fail MS TEXT a step's result, its time in ms and what it saw
//   @rig ask ID REQUEST...           a request; the guest waits for the host's answer
//   @rig done                        every step has run; the guest powers off
// The host answers a request by writing "@host ID ANSWER..." to the console's input. Requests:
//   expect LINE HEX                  does LINE's simulator hold this image (160 hex digits)?
//                                    answer "ok" or what differs
//   unplug LINE MAILS                pull LINE's adapter out (monitor device_del) once its
//                                    simulator has seen MAILS more mails; answer "armed"
//   replug LINE                      put the adapter back (device_add); answer "back MS", MS the
//                                    time since it was pulled out, or "never-pulled"
//   console-clean                    has no mail frame reached the console? "ok" or "mail"
#pragma once

#include <string_view>

namespace rig {

inline constexpr std::string_view kGuestPrefix = "@rig ";
inline constexpr std::string_view kHostPrefix = "@host ";

// One serial line of the guest: its name in step names and requests, the COM number the guest's
// default numbering gives it (ttyUSB0 first, then the UARTs with hardware: ttyS0, the console,
// is COM2), and its device.
struct Line {
    std::string_view name;
    unsigned com;
    std::string_view device;
    bool usb;
};

inline constexpr Line kUsbLine{"usb", 1, "/dev/ttyUSB0", true};
inline constexpr Line kUartLine{"uart", 3, "/dev/ttyS1", false};
inline constexpr Line kLines[] = {kUsbLine, kUartLine};

inline constexpr std::string_view kConsoleDevice = "/dev/ttyS0";
inline constexpr unsigned kConsoleCom = 2;

// QEMU's names: the adapter's device and chardev ids, and the 16550's chardev label.
inline constexpr std::string_view kUsbDeviceId = "usb0";
inline constexpr std::string_view kUsbChardev = "c0";
inline constexpr std::string_view kUartChardev = "serial1";

}  // namespace rig
