#include "form_events.h"

#include "exception_display.h"
#include "form_main.h"

#include <QCloseEvent>

FormEvents::FormEvents(TFormMain *form) : QObject(form), form_(form) { form->installEventFilter(this); }

bool FormEvents::eventFilter(QObject *watched, QEvent *event) {
    if (watched != form_) return false;
    if (event->type() == QEvent::WindowActivate && !activated_) {
        activated_ = true;
        RunGuarded([this] { form_->FormActivate(form_); });
        return false;
    }
    if (event->type() == QEvent::Close) {
        if (closed_) return false;
        TCloseAction action = caHide;
        // An error from FormClose (the settings file could not be written) is shown once; the
        // window closes all the same, so the user is never trapped in it.
        RunGuarded([&] { form_->FormClose(form_, action); });
        if (action == caNone) {
            event->ignore();
            return true;
        }
        closed_ = true;
        return false;
    }
    return false;
}
