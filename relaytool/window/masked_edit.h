// An edit field with an optional input mask, the window's "masked edit":
//   - a key-press handler sees every typed character first and may replace it, or drop it by
//     setting it to NUL, before the field (and its mask) sees it;
//   - entering the field other than by a mouse click selects its whole text;
//   - with a mask: typing overwrites and skips literal characters, a character that the
//     position does not take is refused with a beep, Escape in a changed field restores the
//     text it held on entry, and a changed field with a blank input position must not be left
//     (see MustBeRefused and Refuse; field_exits.h and focus_gate.h enforce it).
#pragma once

#include <QLineEdit>
#include <QString>

#include <functional>

// The message of a refused field (the exception display appends the full stop).
inline constexpr const char *kInvalidInputMessage = "Invalid input value.  Use escape key to abandon changes";

class MaskedEdit : public QLineEdit {
    Q_OBJECT
public:
    using KeyPressHandler = std::function<void(char &key)>;

    explicit MaskedEdit(QWidget *parent = nullptr);

    // A mask in the window description's form "pattern;saveLiterals;blank", e.g.
    // "AA AA AA AA AA;1; " (A: a letter or digit, required) or "00000000000;1; " (0: a digit,
    // required). Also understood: a (optional letter or digit), L/l (letter), 9 (optional digit),
    // C/c (any character). Every other pattern character is a literal. An empty mask makes a
    // plain text field.
    void SetEditMask(const QString &mask);
    QString EditMask() const { return editMask_; }
    bool IsMasked() const { return !pattern_.isEmpty(); }

    void SetKeyPressHandler(KeyPressHandler handler) { keyPress_ = std::move(handler); }

    // The text held when the user entered the field (what Escape restores).
    QString EntryText() const { return entryText_; }

    // Shows text as the field's committed content, as the display does after an edit reached the
    // image: from now on it is what Escape restores, so Escape never brings back a text that the
    // image no longer holds. A field whose whole text was selected keeps it selected.
    void ShowCommittedText(const QString &text);

    // The first required input position that holds the blank, or -1.
    int FirstBlankInputPosition() const;

    // A masked, editable field that the user changed and that still has a blank input position.
    bool MustBeRefused() const;

    // Refuses leaving the field: beeps, brings the focus back (when it had moved) with the cursor
    // on the first blank input position, and throws kInvalidInputMessage for the exception
    // display. The text held on entry stays, so Escape still restores it.
    [[noreturn]] void Refuse();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    bool IsInputPosition(int index) const;
    // Whether the mask takes ch at the place where typing would put it.
    bool MaskTakesTypedCharacter(QChar ch) const;
    // Runs the key-press handler over the event's characters; false when all were dropped. The
    // kept (possibly replaced) characters are returned in text.
    bool FilterKeyText(QString &text);
    void ForwardKey(QKeyEvent *event, const QString &text);

    QString editMask_;
    QString pattern_;  // the window description's pattern; empty without a mask
    QString entryText_;
    bool reentering_ = false;  // the next focus-in brings the focus back after a refusal
    KeyPressHandler keyPress_;
};
