#include "masked_edit.h"

#include <QFocusEvent>

MaskedEdit::MaskedEdit(QWidget *parent) : QLineEdit(parent) {}

void MaskedEdit::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    // The window coming back to the front (or a popup closing) is no entry into the field.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    if (onEntered) onEntered(reason == Qt::MouseFocusReason);
}

bool MaskedEdit::focusNextPrevChild(bool next) {
    if (onTabLeaving && onTabLeaving()) return true;
    return QLineEdit::focusNextPrevChild(next);
}
