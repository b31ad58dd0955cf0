#include "masked_text.h"

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

bool IsMaskCharacter(char m) {
    switch (m) {
    case 'A': case 'a': case 'L': case 'l': case '0': case '9': case 'C': case 'c': return true;
    default: return false;
    }
}

bool IsRequired(char m) { return m == 'A' || m == 'L' || m == '0' || m == 'C'; }

bool MaskCharacterTakes(char m, char c) {
    switch (m) {
    case 'A': case 'a': return IsAsciiLetter(c) || IsAsciiDigit(c);
    case 'L': case 'l': return IsAsciiLetter(c);
    case '0': case '9': return IsAsciiDigit(c);
    case 'C': case 'c': return c != ' ' && static_cast<unsigned char>(c) >= 0x20;
    default: return false;
    }
}

int Size(const std::string &s) { return static_cast<int>(s.size()); }

}  // namespace

MaskedText::MaskedText(std::string_view mask, int maxLength) : maxLength_(maxLength) {
    const std::size_t first = mask.find(';');
    pattern_ = std::string(mask.substr(0, first));
    if (first != std::string_view::npos) {
        const std::size_t second = mask.find(';', first + 1);
        if (second != std::string_view::npos && second + 1 < mask.size()) blank_ = mask[second + 1];
    }
    if (IsMasked()) maxLength_ = Size(pattern_);
}

std::string MaskedText::EmptyText() const { return Normalised({}); }

std::string MaskedText::Normalised(std::string_view text) const {
    if (!IsMasked()) {
        if (maxLength_ > 0 && Size(std::string(text)) > maxLength_) return std::string(text.substr(0, std::size_t(maxLength_)));
        return std::string(text);
    }
    std::string result = pattern_;
    for (int i = 0; i < Size(pattern_); ++i) {
        if (!IsInputPosition(i)) continue;
        const char c = std::size_t(i) < text.size() ? text[std::size_t(i)] : blank_;
        result[std::size_t(i)] = c == blank_ || MaskCharacterTakes(pattern_[std::size_t(i)], c) ? c : blank_;
    }
    return result;
}

bool MaskedText::IsInputPosition(int index) const {
    return index >= 0 && index < Size(pattern_) && IsMaskCharacter(pattern_[std::size_t(index)]);
}

int MaskedText::NextInputPosition(int index) const {
    while (index < Size(pattern_) && !IsInputPosition(index)) ++index;
    return index;
}

bool MaskedText::Takes(int index, char c) const {
    return IsInputPosition(index) && MaskCharacterTakes(pattern_[std::size_t(index)], c);
}

int MaskedText::FirstBlankInputPosition(std::string_view text) const {
    for (int i = 0; i < Size(pattern_) && std::size_t(i) < text.size(); ++i)
        if (IsRequired(pattern_[std::size_t(i)]) && text[std::size_t(i)] == blank_) return i;
    return -1;
}

void MaskedText::SelectAll(EditState &state) {
    state.anchor = 0;
    state.cursor = Size(state.text);
}

void MaskedText::ClearSelection(EditState &state) const {
    const int start = state.SelectionStart();
    const int end = start + state.SelectionLength();
    if (IsMasked()) {
        for (int i = start; i < end && i < Size(state.text); ++i)
            if (IsInputPosition(i)) state.text[std::size_t(i)] = blank_;
    } else {
        state.text.erase(std::size_t(start), std::size_t(end - start));
    }
    state.anchor = state.cursor = start;
}

MaskedText::Typed MaskedText::Type(EditState &state, char c) const {
    if (!IsMasked()) {
        const int kept = Size(state.text) - state.SelectionLength();
        if (maxLength_ > 0 && kept >= maxLength_) return Typed::Refused;
        ClearSelection(state);
        state.text.insert(std::size_t(state.cursor), 1, c);
        state.anchor = state.cursor = state.cursor + 1;
        return Typed::Changed;
    }
    const int position = NextInputPosition(state.HasSelection() ? state.SelectionStart() : state.cursor);
    if (position >= Size(state.text) || !Takes(position, c)) return Typed::Refused;
    if (state.SelectionLength() > 1) ClearSelection(state);
    state.text[std::size_t(position)] = c;
    state.anchor = state.cursor = NextInputPosition(position + 1);
    return Typed::Changed;
}

bool MaskedText::Backspace(EditState &state) const {
    if (state.HasSelection()) {
        ClearSelection(state);
        return true;
    }
    int position = state.cursor - 1;
    if (IsMasked())
        while (position >= 0 && !IsInputPosition(position)) --position;
    if (position < 0) return false;
    if (IsMasked()) state.text[std::size_t(position)] = blank_;
    else state.text.erase(std::size_t(position), 1);
    state.anchor = state.cursor = position;
    return true;
}

bool MaskedText::Delete(EditState &state) const {
    if (state.HasSelection()) {
        ClearSelection(state);
        return true;
    }
    if (!IsMasked()) {
        if (state.cursor >= Size(state.text)) return false;
        state.text.erase(std::size_t(state.cursor), 1);
        return true;
    }
    const int position = NextInputPosition(state.cursor);
    if (position >= Size(state.text)) return false;
    state.text[std::size_t(position)] = blank_;
    return true;
}

void MaskedText::Move(EditState &state, EditCommand command, bool extend) const {
    const int length = Size(state.text);
    int cursor = state.cursor;
    switch (command) {
    case EditCommand::Left: cursor = cursor > 0 ? cursor - 1 : 0; break;
    case EditCommand::Right: cursor = cursor < length ? cursor + 1 : length; break;
    case EditCommand::Home: cursor = 0; break;
    case EditCommand::End: cursor = length; break;
    case EditCommand::Delete: return;
    }
    // Without Shift a selection collapses to the side the cursor moves to.
    if (!extend && state.HasSelection() && (command == EditCommand::Left || command == EditCommand::Right))
        cursor = command == EditCommand::Left ? state.SelectionStart() : state.SelectionStart() + state.SelectionLength();
    state.cursor = cursor;
    if (!extend) state.anchor = cursor;
}

bool MaskedText::Paste(EditState &state, std::string_view text) const {
    text = text.substr(0, text.find_first_of("\r\n"));
    if (!IsMasked()) {
        EditState next = state;
        ClearSelection(next);
        std::string_view kept = text;
        if (maxLength_ > 0) {
            const int room = maxLength_ - Size(next.text);
            kept = kept.substr(0, std::size_t(room > 0 ? room : 0));
        }
        if (kept.empty() && !state.HasSelection()) return false;
        next.text.insert(std::size_t(next.cursor), kept);
        next.anchor = next.cursor = next.cursor + Size(std::string(kept));
        state = next;
        return true;
    }
    EditState next = state;
    if (next.HasSelection()) ClearSelection(next);
    int position = next.cursor;
    bool placed = false;
    for (char c : text) {
        if (position >= Size(next.text)) break;
        if (!IsInputPosition(position)) {
            // A character that matches the literal in its place stands for it.
            if (c == pattern_[std::size_t(position)]) {
                ++position;
                continue;
            }
            position = NextInputPosition(position);
            if (position >= Size(next.text)) break;
        }
        if (!Takes(position, c)) continue;
        next.text[std::size_t(position)] = c;
        position = NextInputPosition(position + 1);
        placed = true;
    }
    if (!placed) return false;
    next.anchor = next.cursor = position;
    state = next;
    return true;
}

std::string MaskedText::Cut(EditState &state) const {
    const std::string selected =
        state.text.substr(std::size_t(state.SelectionStart()), std::size_t(state.SelectionLength()));
    if (state.HasSelection()) ClearSelection(state);
    return selected;
}
