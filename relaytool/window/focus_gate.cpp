#include "focus_gate.h"

#include "exception_display.h"
#include "masked_edit.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

// Modal windows shown so far; a change across a focus move means a box came up meanwhile.
unsigned long modalShows = 0;

// The widget that a mouse press on w gives the focus to, as Qt chooses it: the first enabled
// widget from w up to its window that takes the focus by clicking.
QWidget *ClickFocusTarget(QWidget *w) {
    for (; w; w = w->parentWidget()) {
        if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus)) return w;
        if (w->isWindow()) break;
    }
    return nullptr;
}

}  // namespace

unsigned long ModalWindowsShown() { return modalShows; }

bool FocusGateSwallows(QObject *receiver, QEvent *event) {
    if (event->type() == QEvent::Show && receiver->isWidgetType()) {
        auto *shown = static_cast<QWidget *>(receiver);
        if (shown->isWindow() && shown->isModal()) ++modalShows;
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    if (!event->spontaneous() || !receiver->isWidgetType()) return false;
    QWidget *focused = QApplication::focusWidget();
    auto *clicked = static_cast<QWidget *>(receiver);
    if (!focused || focused->window() != clicked->window()) return false;
    QWidget *target = ClickFocusTarget(clicked);
    if (!target || target == focused || target->isAncestorOf(focused) || focused->isAncestorOf(target)) return false;

    if (auto *field = qobject_cast<MaskedEdit *>(focused); field && field->MustBeRefused()) {
        RunGuarded([field] { field->Refuse(); });
        return true;
    }
    const unsigned long before = modalShows;
    target->setFocus(Qt::MouseFocusReason);
    return modalShows != before;
}
