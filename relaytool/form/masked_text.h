// The editing model of the window's edit fields ("masked edits"), independent of any toolkit.
// A field is either plain (free text, at most maxLength characters when that is not 0) or has a
// mask "pattern;saveLiterals;blank":
//   A  letter or digit, required      a  letter or digit, optional
//   L  letter, required               l  letter, optional
//   0  digit, required                9  digit, optional
//   C  any character, required        c  any character, optional
// every other pattern character is a literal that the user cannot change. A masked field's text
// always has the pattern's length, with the blank character in every unfilled input position.
// Typing overwrites the character at the cursor and moves on to the next input position,
// skipping literals; with more than one character selected, the selected input positions are
// cleared to blanks first and the typed character goes to the first of them.
//
// The model works on an EditState that the view reads from its control and shows afterwards.
#pragma once

#include <string>
#include <string_view>

struct EditState {
    std::string text;
    int anchor = 0;  // the selection runs from anchor to cursor (either way); equal: no selection
    int cursor = 0;

    int SelectionStart() const { return anchor < cursor ? anchor : cursor; }
    int SelectionLength() const { return anchor < cursor ? cursor - anchor : anchor - cursor; }
    bool HasSelection() const { return anchor != cursor; }
    bool operator==(const EditState &) const = default;
};

// Keys without a character that change or move within the text.
enum class EditCommand { Delete, Left, Right, Home, End };

class MaskedText {
public:
    // mask as in the control table ("AA AA AA AA AA;1; "); "" makes a plain field.
    explicit MaskedText(std::string_view mask = {}, int maxLength = 0);

    bool IsMasked() const { return !pattern_.empty(); }
    char Blank() const { return blank_; }
    // The text of an empty field: the pattern's literals and blanks, or "".
    std::string EmptyText() const;
    // text brought to the field's form: a masked field's text padded or cut to the pattern's
    // length, literals in place.
    std::string Normalised(std::string_view text) const;

    // The result of typing one character (already passed by the field's key filter).
    enum class Typed {
        Changed,  // the character went in
        Refused,  // the mask (or the length limit) does not take it: beep
    };
    Typed Type(EditState &state, char c) const;

    // Backspace, Delete: blanks (masked) or removes (plain) the selection, else one character
    // before / at the cursor. False when nothing changed.
    bool Backspace(EditState &state) const;
    bool Delete(EditState &state) const;
    // Cursor moves; extend keeps the anchor (Shift held).
    void Move(EditState &state, EditCommand command, bool extend) const;

    // Pasted text goes in at the cursor (over the selection): a masked field fills input positions
    // from there on with the characters they take, skipping literals and characters that match
    // the literal in their place; a plain field inserts (cut to maxLength). False when nothing
    // could go in.
    bool Paste(EditState &state, std::string_view text) const;
    // Removes the selection as Delete does; returns the text that was selected.
    std::string Cut(EditState &state) const;

    // The first required input position that holds the blank, or -1.
    int FirstBlankInputPosition(std::string_view text) const;
    bool IsInputPosition(int index) const;

    static void SelectAll(EditState &state);

private:
    // The next input position at or after index, or the pattern's length.
    int NextInputPosition(int index) const;
    bool Takes(int index, char c) const;
    void ClearSelection(EditState &state) const;  // masked: blanks; plain: removes

    std::string pattern_;
    char blank_ = ' ';
    int maxLength_ = 0;
};
