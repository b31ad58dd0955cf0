// Where things live in the identification block and the configuration image.
#pragma once

#include <cstddef>
#include <cstdint>

namespace layout {

// Identification block: 32 bytes; only the device type is interpreted.
constexpr std::size_t kInfoBlockSize = 32;
constexpr std::size_t kDeviceType = 18;
constexpr uint8_t kSupportedDevice = 'a';

// Configuration image: 80 bytes, read and written back whole.
constexpr std::size_t kImageSize = 80;
constexpr std::size_t kRepeaterRpn = 2;   // the RPN the repeater transmits itself
constexpr std::size_t kHopControl = 5;    // bit 7: ignore HOP control
constexpr std::size_t kMonitorBeep = 17;  // bit 7: monitor beep on
constexpr std::size_t kClearedBeforeSave1 = 22;
constexpr std::size_t kClearedBeforeSave2 = 23;
constexpr std::size_t kFixedA8 = 67;      // always 0xA8 once displayed
constexpr std::size_t kParentRfpi = 68;   // 5 bytes, most significant first
constexpr std::size_t kRfpiSize = 5;
constexpr std::size_t kParentRpn = 72;    // last RFPI byte; the RPN lies under RpnMask

constexpr uint8_t kSwitchBit = 0x80;
constexpr uint8_t kAriClassBits = 0x70;   // of the first RFPI byte; 000 is class A
constexpr uint8_t kHopIgnored = 0x82;
constexpr uint8_t kHopObeyed = 0x02;
constexpr uint8_t kFixedA8Value = 0xA8;

}  // namespace layout
