// The window's font, "MS Sans Serif" at pixel heights. Where the platform has no scalable font of
// that name (Linux: Debian's fonts-wine ships it only as bitmaps, which Qt cannot draw), a
// scalable substitute stands in, narrowed so that the controls, laid out for that font, hold
// their texts as they would in it.
#pragma once

#include <QFont>
#include <QString>

// Registers the substitute's font files when needed. Call once after the application object
// exists; DialogFont calls it too.
void InstallDialogFonts();

// The family actually used, and the horizontal stretch (percent) applied to it.
QString DialogFontFamily();
int DialogFontStretch();

// The dialog font at a pixel height ("character height"), regular or bold.
QFont DialogFont(int pixelSize, bool bold = false);
