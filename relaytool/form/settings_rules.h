// The settings file's contents: section "Com settings", key "Port", the port number in decimal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr const char *kPortSection = "Com settings";
inline constexpr const char *kPortKey = "Port";

// A profile integer: decimal with an optional sign, or hexadecimal of at most eight digits after
// "$", "x", "X", "0x" or "0X" (taken as 32 bits, so $FFFFFFFF is -1). Anything else, an empty
// text or a decimal outside the signed 32-bit range included, gives fallback.
int32_t ParseProfileInteger(std::string_view text, int32_t fallback);

// The value the close handler stores for the port list's text: nullopt (store nothing) for an
// empty text, one not starting with "C", or one without a fourth character; else the code of the
// fourth character as a signed 8-bit number minus the code of "0" ("COM5" 5, "COMX" 40).
std::optional<int32_t> PortValueToStore(std::string_view portText);

// The message of a failed write.
std::string UnableToWriteMessage(const std::string &path);

class SystemServices;

// The stored port of the settings file at path; 1 when there is none.
int32_t ReadPortSetting(SystemServices &system, const std::string &path);

// Stores value in decimal. Throws std::runtime_error(UnableToWriteMessage(path)) on failure.
void WritePortSetting(SystemServices &system, const std::string &path, int32_t value);
