// Whether a COM port can be used now: it exists and no program, this one included, holds it.
#pragma once

#include <cstdint>

// 1 when COM<n> exists and could be opened for exclusive use (it is closed again at once), 0
// otherwise; 0 without touching any device for n of 0 or above 9. The port's line settings are
// not changed.
bool ProbeComPort(uint8_t n);
