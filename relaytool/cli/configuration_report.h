// What `show` and `set` print: the configuration as the window shows it, as text or JSON, and
// the bytes in which two images differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image_rules.h"

// A JSON string for a text (quotes, backslashes and control characters escaped).
std::string JsonString(const std::string &text);

// Seven lines, "Parent RFPI:        02 5A 3C 81 43" and so on.
std::string ConfigurationText(const DisplayFields &fields);

// One JSON object (and a newline) with the port, every shown field and the mails the reading
// retried.
std::string ConfigurationJson(const DisplayFields &fields, const std::string &port, unsigned retries);

// The display fields of an image, computed on a copy (the display's updates of byte 2 and 67
// do not reach the given image).
DisplayFields FieldsOf(const uint8_t *image);

// One line per byte that differs between first and second (the first size bytes of the image):
// "byte 17 (0x11, monitor beep (bit 7)): <firstWord> 00, <secondWord> 80". Empty when equal.
std::string ImageDifferences(const uint8_t *first, const uint8_t *second, std::size_t size,
                             const char *firstWord, const char *secondWord);
