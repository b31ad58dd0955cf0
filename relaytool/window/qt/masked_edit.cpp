#include "masked_edit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QMenu>
#include <QMouseEvent>

MaskedEdit::MaskedEdit(QWidget *parent) : QLineEdit(parent) {
    setAcceptDrops(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);  // composed text would bypass the core too
}

// The usual menu of a text field, each command sent to the form core as its key would be.
void MaskedEdit::contextMenuEvent(QContextMenuEvent *event) {
    QMenu menu;
    const bool selected = hasSelectedText();
    const bool editable = !isReadOnly();
    const auto add = [&](const QString &text, const QKeySequence &keys, bool enabled, char command) {
        QAction *action = menu.addAction(text, this, [this, command] {
            if (onEditCommand) onEditCommand(command);
        });
        action->setShortcut(keys);
        action->setEnabled(enabled);
    };
    add(tr("Cu&t"), QKeySequence::Cut, selected && editable, '\x18');
    add(tr("&Copy"), QKeySequence::Copy, selected, '\x03');
    add(tr("&Paste"), QKeySequence::Paste, editable && !QApplication::clipboard()->text().isEmpty(), '\x16');
    add(tr("Delete"), QKeySequence(), selected && editable, '\x7f');
    menu.addSeparator();
    add(tr("Select All"), QKeySequence::SelectAll, !text().isEmpty(), '\x01');
    menu.exec(event->globalPos());
}

void MaskedEdit::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

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
