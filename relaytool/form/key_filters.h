// The key filters of the edit fields. A filter sees the 8-bit character that a key press is about
// to insert and drops it by replacing it with NUL. Control characters (codes 0 to 31) always
// pass, so Backspace, Enter, Escape and the clipboard shortcuts keep working in every field.
#pragma once

#include <string_view>

// Passes 0-9, a-f and A-F.
void FilterHexKey(char &key);

// Passes 0-9, but drops a digit when text (the field's whole current text) already has
// maxLength or more characters, whatever part of it is selected.
void FilterDecimalKey(std::string_view text, char &key, int maxLength);

// Passes 0-7; 8 and 9 are dropped.
void FilterOctalKey(char &key);
