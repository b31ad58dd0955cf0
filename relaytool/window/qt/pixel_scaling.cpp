#include "pixel_scaling.h"

#include <QCoreApplication>
#include <QtGlobal>

void FixPixelScaling() {
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    // A scale factor set by the user or the desktop would still apply on top: drop them.
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    qunsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
    qunsetenv("QT_USE_PHYSICAL_DPI");
    // Point sizes (tooltips, message boxes) as at 96 dpi; the window itself uses pixel sizes.
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
}
