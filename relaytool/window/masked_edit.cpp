#include "masked_edit.h"

#include "beep.h"
#include "exception_display.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include <stdexcept>

namespace {

// The window description's mask characters and their Qt equivalents.
QChar QtMaskCharacter(QChar designed) {
    switch (designed.unicode()) {
    case 'A': return u'N';  // letter or digit, required
    case 'a': return u'n';
    case 'L': return u'A';  // letter, required
    case 'l': return u'a';
    case '0': return u'9';  // digit, required
    case '9': return u'0';
    case 'C': return u'X';  // any character, required
    case 'c': return u'x';
    default: return QChar();
    }
}

bool IsRequiredMaskCharacter(QChar designed) {
    return designed == u'A' || designed == u'L' || designed == u'0' || designed == u'C';
}

bool IsAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool MaskCharacterTakes(QChar designed, QChar c) {
    switch (designed.unicode()) {
    case 'A': case 'a': return IsAsciiLetter(c) || IsAsciiDigit(c);
    case 'L': case 'l': return IsAsciiLetter(c);
    case '0': case '9': return IsAsciiDigit(c);
    case 'C': case 'c': return c != u' ';
    default: return false;
    }
}

// The 8-bit key character of a typed character; one outside Latin-1 becomes "?", as a
// conversion to the ANSI code page makes it.
char KeyCharacter(QChar c) { return c.unicode() <= 0xFF ? char(c.unicode()) : '?'; }

int KeyCodeFor(char key) {
    switch (key) {
    case '\b': return Qt::Key_Backspace;
    case '\r': return Qt::Key_Return;
    case '\x1b': return Qt::Key_Escape;
    case '\t': return Qt::Key_Tab;
    default: break;
    }
    const QChar c = QChar::fromLatin1(key).toUpper();
    return c.unicode() >= 0x20 ? int(c.unicode()) : int(Qt::Key_unknown);
}

}  // namespace

MaskedEdit::MaskedEdit(QWidget *parent) : QLineEdit(parent) {}

void MaskedEdit::SetEditMask(const QString &mask) {
    editMask_ = mask;
    const QStringList parts = mask.split(u';');
    pattern_ = parts.value(0);
    const QString blank = parts.size() > 2 && !parts[2].isEmpty() ? parts[2].left(1) : QStringLiteral(" ");
    if (pattern_.isEmpty()) {
        setInputMask(QString());
    } else {
        QString qtMask;
        for (QChar c : pattern_) {
            const QChar mapped = QtMaskCharacter(c);
            if (!mapped.isNull()) {
                qtMask += mapped;
            } else {
                qtMask += u'\\';  // every other character is a literal, also Qt's own mask letters
                qtMask += c;
            }
        }
        setInputMask(qtMask + u';' + blank);
    }
    entryText_ = displayText();
}

void MaskedEdit::ShowCommittedText(const QString &text) {
    const bool wholeSelected = hasSelectedText() && selectionStart() == 0 &&
                               selectionLength() >= displayText().size();
    setText(text);  // also clears the modified state
    entryText_ = displayText();
    if (wholeSelected) selectAll();
}

bool MaskedEdit::IsInputPosition(int index) const {
    return index >= 0 && index < pattern_.size() && !QtMaskCharacter(pattern_[index]).isNull();
}

int MaskedEdit::FirstBlankInputPosition() const {
    const QString text = displayText();
    for (int i = 0; i < pattern_.size() && i < text.size(); ++i)
        if (IsRequiredMaskCharacter(pattern_[i]) && text[i] == u' ') return i;
    return -1;
}

bool MaskedEdit::MustBeRefused() const {
    return IsMasked() && !isReadOnly() && isModified() && FirstBlankInputPosition() >= 0;
}

void MaskedEdit::Refuse() {
    Beep();
    if (!hasFocus()) {
        reentering_ = true;
        setFocus(Qt::OtherFocusReason);
    }
    deselect();
    const int blank = FirstBlankInputPosition();
    if (blank >= 0) setCursorPosition(blank);
    throw std::runtime_error(kInvalidInputMessage);
}

bool MaskedEdit::MaskTakesTypedCharacter(QChar ch) const {
    int position = hasSelectedText() ? selectionStart() : cursorPosition();
    while (position < pattern_.size() && !IsInputPosition(position)) ++position;
    return position < pattern_.size() && MaskCharacterTakes(pattern_[position], ch);
}

bool MaskedEdit::FilterKeyText(QString &text) {
    if (!keyPress_) return true;
    QString kept;
    for (QChar c : text) {
        char key = KeyCharacter(c);
        const char typed = key;
        if (!RunGuarded([&] { keyPress_(key); })) key = '\0';
        if (key == '\0') continue;
        kept += key == typed ? c : QChar::fromLatin1(key);
    }
    text = kept;
    return !kept.isEmpty();
}

void MaskedEdit::ForwardKey(QKeyEvent *event, const QString &text) {
    if (text == event->text()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const int key = text.size() == 1 ? KeyCodeFor(KeyCharacter(text[0])) : Qt::Key_unknown;
    QKeyEvent replaced(event->type(), key, event->modifiers(), text, event->isAutoRepeat());
    QLineEdit::keyPressEvent(&replaced);
    event->setAccepted(replaced.isAccepted());
}

void MaskedEdit::keyPressEvent(QKeyEvent *event) {
    QString text = event->text();
    // Keys without a character (arrows, Delete, ...) and Alt combinations, which are menu and
    // access keys rather than typing, go past the key-press handler and the mask check.
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool altOnly = (modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier);
    if (text.isEmpty() || altOnly) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Ctrl with a letter types that letter's control character (Ctrl+V is 0x16), which every key
    // filter lets through, also where the platform reports the plain letter as the event's text.
    const bool controlOnly = (modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier);
    if (controlOnly && text.size() == 1 && IsAsciiLetter(text[0])) {
        QString control(QChar(text[0].unicode() & 0x1F));
        if (FilterKeyText(control)) QLineEdit::keyPressEvent(event);  // the shortcut as it came
        else event->accept();
        return;
    }
    if (!FilterKeyText(text)) {
        event->accept();
        return;
    }
    if (text.size() == 1 && IsMasked()) {
        const QChar c = text[0];
        if (c == u'\r') {
            if (MustBeRefused()) {
                RunGuarded([this] { Refuse(); });
                event->accept();
                return;
            }
        } else if (c == u'\x1b') {
            if (isModified()) {
                setText(entryText_);  // also clears the modified state
                selectAll();
                event->accept();
                return;
            }
        } else if (c.unicode() >= 0x20 && !isReadOnly() && !MaskTakesTypedCharacter(c)) {
            Beep();
            event->accept();
            return;
        }
    }
    ForwardKey(event, text);
}

void MaskedEdit::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    if (reentering_) {
        reentering_ = false;
        return;
    }
    // The window coming back to the front (or a popup closing) is no entry into the field.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    entryText_ = displayText();
    setModified(false);
    if (reason != Qt::MouseFocusReason) selectAll();
}

bool MaskedEdit::focusNextPrevChild(bool next) {
    if (MustBeRefused()) {
        RunGuarded([this] { Refuse(); });
        return true;
    }
    return QLineEdit::focusNextPrevChild(next);
}
