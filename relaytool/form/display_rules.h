// Small rules of the window that are no handler of their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The application title for an executable path: the file name up to its first ".", every letter
// after the first in lower case, the first as it is ("relaytool" stays "relaytool"). "\", "/"
// and ":" all separate path parts.
std::string ApplicationTitleFor(std::string_view executablePath);

// The message as the exception display shows it: a "." is appended when the last byte has a
// higher code than "." (compared as unsigned bytes); an empty message stays empty.
std::string WithClosingFullStop(const std::string &message);

// The port number for the port list's text: when the text starts with "C", the code of its
// fourth character minus the code of "0" (in 8 bits, so "COM3" gives 3); otherwise current. A
// text starting with "C" but shorter than four characters has no port digit and gives current.
uint8_t PortNumberFromText(std::string_view text, uint8_t current);
