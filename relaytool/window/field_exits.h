// Exit handlers of a window's controls. A control's exit handler runs when the focus moves from it
// to another control of the same window; never when the window itself loses the focus (another
// program, a message box). A masked field that must be refused (MaskedEdit::MustBeRefused) is
// refused instead, and its exit handler does not run. The exit runs while the focus moves, so it
// comes before the click handler of a control that was clicked.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class FieldExits : public QObject {
    Q_OBJECT
public:
    // Watches the focus within window; the object is a child of window.
    explicit FieldExits(QWidget *window);

    void Bind(QWidget *control, std::function<void()> exitHandler);

    // Commits the control that holds the focus exactly as leaving it would, without moving the
    // focus: a masked field that must be refused is refused; otherwise the control's exit handler
    // runs. False when the work that asked for the commit must not go on: the field was refused,
    // or the exit handler failed or showed a message (as a click that moves the focus is then
    // lost, see focus_gate.h). True when there is nothing to commit.
    bool CommitFocused();

private:
    void OnFocusChanged(QWidget *old, QWidget *now);
    // The bound control that is w or contains it, or null.
    QWidget *BoundControlOf(QWidget *w) const;

    struct Binding {
        QPointer<QWidget> control;
        std::function<void()> handler;
    };
    QWidget *window_;
    std::vector<Binding> bindings_;
    bool bringingBack_ = false;  // the focus is being put back into a refused field
};
