#include "key_filters.h"

namespace {

bool IsControl(char key) { return static_cast<unsigned char>(key) < 0x20; }

void KeepOnly(char &key, bool listed) {
    if (!listed && !IsControl(key)) key = '\0';
}

}  // namespace

void FilterHexKey(char &key) {
    KeepOnly(key, (key >= '0' && key <= '9') || (key >= 'a' && key <= 'f') || (key >= 'A' && key <= 'F'));
}

void FilterDecimalKey(std::string_view text, char &key, int maxLength) {
    const bool digit = key >= '0' && key <= '9';
    KeepOnly(key, digit && static_cast<long long>(text.size()) < maxLength);
}

void FilterOctalKey(char &key) { KeepOnly(key, key >= '0' && key <= '7'); }
