// The program-wide port record through which the chosen port and baud rate reach the transfers.
#pragma once

#include <cstdint>

struct PortSettingsRecord {
    uint8_t PortNumber = 0;   // 1..9, set from the port list's text by Load and Save
    int32_t BaudRate = 0;     // 9600 from the window's first activation on
    char ModeTemplate[16] = "COMx:9600,n,8,1";  // the x stands for the port's digit
};

extern PortSettingsRecord PortSettings;
