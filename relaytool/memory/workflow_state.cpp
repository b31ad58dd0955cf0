#include "workflow_state.h"

bool DataLoaded = false;
char ParkLastDigit = '\0';
