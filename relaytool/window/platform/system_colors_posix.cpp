// Palettes have no role for window borders; an inactive window's background is what inactive
// borders look like on the desktops that draw them.
#include "system_colors.h"

#include <QApplication>
#include <QPalette>

QColor InactiveBorderColor() { return QApplication::palette().color(QPalette::Inactive, QPalette::Window); }
