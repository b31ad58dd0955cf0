#include "field_exits.h"

#include "exception_display.h"
#include "focus_gate.h"
#include "masked_edit.h"

#include <QApplication>

FieldExits::FieldExits(QWidget *window) : QObject(window), window_(window) {
    connect(qApp, &QApplication::focusChanged, this, &FieldExits::OnFocusChanged);
}

void FieldExits::Bind(QWidget *control, std::function<void()> exitHandler) {
    bindings_.push_back({control, std::move(exitHandler)});
}

QWidget *FieldExits::BoundControlOf(QWidget *w) const {
    for (; w && w != window_; w = w->parentWidget())
        for (const Binding &binding : bindings_)
            if (binding.control == w) return w;
    return nullptr;
}

void FieldExits::OnFocusChanged(QWidget *old, QWidget *now) {
    if (bringingBack_ || !old || !now || old == now) return;
    if (old->window() != window_ || now->window() != window_) return;

    if (auto *field = qobject_cast<MaskedEdit *>(old); field && field->MustBeRefused()) {
        // The focus moved without passing the focus gate (set by code, for instance): put it back.
        bringingBack_ = true;
        RunGuarded([field] { field->Refuse(); });
        bringingBack_ = false;
        return;
    }

    QWidget *left = BoundControlOf(old);
    if (!left || left == BoundControlOf(now)) return;
    for (const Binding &binding : bindings_)
        if (binding.control == left) RunGuarded(binding.handler);
}

bool FieldExits::CommitFocused() {
    QWidget *focused = QApplication::focusWidget();
    if (!focused || focused->window() != window_) return true;
    if (auto *field = qobject_cast<MaskedEdit *>(focused); field && field->MustBeRefused()) {
        RunGuarded([field] { field->Refuse(); });
        return false;
    }
    QWidget *control = BoundControlOf(focused);
    if (!control) return true;
    const unsigned long boxesBefore = ModalWindowsShown();
    bool completed = true;
    for (const Binding &binding : bindings_)
        if (binding.control == control) completed = RunGuarded(binding.handler) && completed;
    return completed && ModalWindowsShown() == boxesBefore;
}
