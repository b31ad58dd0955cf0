// Windows names the inactive border colour directly.
#include "system_colors.h"

#include <windows.h>

QColor InactiveBorderColor() {
    const COLORREF color = GetSysColor(COLOR_INACTIVEBORDER);
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}
