// Which COM port Load and Save talk to: the port list holds "COM1" to "COM8", so the fourth
// character of its text is the port's digit.
#pragma once

#include <cstdint>
#include <string_view>

// The port number for the port list's text: when the text starts with "C", the code of its
// fourth character minus the code of "0" (in 8 bits, so "COM3" gives 3); otherwise current. A
// text starting with "C" but shorter than four characters has no port digit and gives current.
uint8_t PortNumberFromText(std::string_view text, uint8_t current);
