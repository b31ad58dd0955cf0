// Identifiers of the program's resources (relaytool_win32.rc): the icon and the two pictures.
#pragma once

#define IDI_RELAYTOOL 1
#define IDB_REPEATER 101
#define IDB_PRODUCT_STRIP 102
