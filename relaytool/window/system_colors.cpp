#include "system_colors.h"

#include <QApplication>
#include <QPalette>

QColor ButtonFaceColor() { return QApplication::palette().color(QPalette::Active, QPalette::Button); }

QColor MenuTextColor() {
    // The platform themes give menus a palette of their own; its text is the menu text colour.
    return QApplication::palette("QMenu").color(QPalette::Active, QPalette::WindowText);
}

QColor WindowTextColor() { return QApplication::palette().color(QPalette::Active, QPalette::WindowText); }
