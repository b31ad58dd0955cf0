#include "port_settings.h"

PortSettingsRecord PortSettings;
