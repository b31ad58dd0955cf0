// What `show`, `set` and `diff` print: the configuration as the window shows it, as text or
// JSON, and the bytes in which two images differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image_rules.h"

// A JSON string for a text (quotes, backslashes and control characters escaped).
std::string JsonString(const std::string &text);

// Seven lines, "Parent RFPI:        02 5A 3C 81 43" and so on.
std::string ConfigurationText(const DisplayFields &fields);

// Those lines as label ("Parent RFPI") and value ("02 5A 3C 81 43").
struct ConfigurationRow {
    const char *label;
    std::string value;
};
std::vector<ConfigurationRow> ConfigurationRows(const DisplayFields &fields);
// The label column of those lines: "Parent RFPI:" and blanks to the values' column.
std::string LabelColumn(const std::string &label);

// One JSON object (and a newline) with the port, every shown field and the mails the reading
// retried.
std::string ConfigurationJson(const DisplayFields &fields, const std::string &port, unsigned retries);
// The shown fields as the members of a JSON object ("\"parent_rfpi\": ..., ..."), no braces.
std::string ConfigurationJsonMembers(const DisplayFields &fields);

// The display fields of an image, computed on a copy (the display's updates of byte 2 and 67
// do not reach the given image).
DisplayFields FieldsOf(const uint8_t *image);

// A byte in which two images differ.
struct ByteDifference {
    std::size_t offset = 0;
    uint8_t first = 0;
    uint8_t second = 0;
};

// The bytes below size in which first and second differ, in ascending order.
std::vector<ByteDifference> DifferingBytes(const uint8_t *first, const uint8_t *second, std::size_t size);

// One line per difference: "byte 17 (0x11, monitor beep (bit 7)): <firstWord> 00, <secondWord> 80".
std::string DifferenceLines(const std::vector<ByteDifference> &differences, const char *firstWord,
                            const char *secondWord);

// The lines for every byte that differs between first and second (the first size bytes of the
// image). Empty when equal.
std::string ImageDifferences(const uint8_t *first, const uint8_t *second, std::size_t size,
                             const char *firstWord, const char *secondWord);
