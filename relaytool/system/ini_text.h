// One value of a profile (INI) text, read and changed the way the platform's profile functions
// do it: section and key names matched without regard to letter case, blanks around names and
// values ignored, and on a change every other byte of the text kept as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The value of key in section: trimmed of blanks and tabs, with one pair of enclosing quotes
// (" or ') removed. nullopt when no such section holds the key. Where a section or key appears
// more than once, the first one counts.
std::optional<std::string> ProfileValue(std::string_view content, std::string_view section,
                                        std::string_view key);

// content with key of section set to value. An existing key line keeps everything up to its
// value (indentation, spelling of the key, blanks around "="); a missing key is added after the
// section's last non-blank line; a missing section is added at the end. New lines end the way
// the text's first line ends (CR LF or LF; LF for an empty text).
std::string WithProfileValue(std::string_view content, std::string_view section,
                             std::string_view key, std::string_view value);
