// Moves the focus for a mouse press before the press is delivered, so that what the focus move
// runs (a masked field's check, an exit handler) comes first, and a press that led to a modal box
// is dropped instead of reaching its control late:
//   - a masked field that must be refused keeps the focus: it is refused, and the clicked control
//     neither takes the focus nor sees the click;
//   - when the exit handler of the control being left opens a message box, the click is lost, as
//     the box took the mouse (without this the control would see the press after the box closed,
//     but never its release, and a button would stay pressed).
#pragma once

class QEvent;
class QObject;

// Call for every event before it is delivered (RelayApplication::notify does). True when the
// event must not be delivered.
bool FocusGateSwallows(QObject *receiver, QEvent *event);

// How many modal windows (message boxes) have been shown so far; a change across a piece of work
// tells that it opened one.
unsigned long ModalWindowsShown();
