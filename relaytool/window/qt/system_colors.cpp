#include "system_colors.h"

#include <QApplication>
#include <QPalette>

QColor MenuTextColor() {
    // The platform themes give menus a palette of their own; its text is the menu text colour.
    return QApplication::palette("QMenu").color(QPalette::Active, QPalette::WindowText);
}

QColor WindowTextColor() { return QApplication::palette().color(QPalette::Active, QPalette::WindowText); }

// Palettes have no role for window borders; an inactive window's background is what inactive
// borders look like on the desktops that draw them.
QColor InactiveBorderColor() { return QApplication::palette().color(QPalette::Inactive, QPalette::Window); }
