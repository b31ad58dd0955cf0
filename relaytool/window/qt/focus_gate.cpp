#include "focus_gate.h"

#include "form_main.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

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

bool FocusGateSwallows(QObject *receiver, QEvent *event) {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    if (!event->spontaneous() || !receiver->isWidgetType()) return false;
    QWidget *focused = QApplication::focusWidget();
    auto *clicked = static_cast<QWidget *>(receiver);
    auto *form = qobject_cast<TFormMain *>(clicked->window());
    if (!form || !focused || focused->window() != form) return false;
    QWidget *target = ClickFocusTarget(clicked);
    if (!target || target == focused || target->isAncestorOf(focused) || focused->isAncestorOf(target)) return false;

    FormCore &core = form->Core();
    const ControlId from = form->ControlOf(focused);
    if (core.MustBeRefused(from)) {
        core.Leaving(from, form->ControlOf(target));
        return true;
    }
    const unsigned before = core.MessagesShown();
    target->setFocus(Qt::MouseFocusReason);
    return core.MessagesShown() != before;
}
