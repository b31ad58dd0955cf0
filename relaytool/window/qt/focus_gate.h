// Moves the focus for a mouse press before the press is delivered, so that what the focus move
// runs in the form core (a masked field's refusal, an exit handler) comes first, and a press
// that led to a modal box is dropped instead of reaching its control late:
//   - a field the core refuses keeps the focus, and the clicked control neither takes the focus
//     nor sees the click;
//   - when the exit handler of the control being left shows a message, the click is lost, as
//     the box took the mouse (without this the control would see the press after the box closed,
//     but never its release, and a button would stay pressed).
#pragma once

class QEvent;
class QObject;

// Call for every event before it is delivered (RelayApplication::notify does). True when the
// event must not be delivered.
bool FocusGateSwallows(QObject *receiver, QEvent *event);
