// The system colours the window's description names, taken from the platform's palette so that
// the window follows the desktop's colour scheme.
#pragma once

#include <QColor>

QColor MenuTextColor();        // the window's text colour
QColor WindowTextColor();      // the text of the two panel captions drawn in it
QColor InactiveBorderColor();  // background of the read-only fields
