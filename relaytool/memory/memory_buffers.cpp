#include "memory_buffers.h"

uint8_t InfoBlock[kMemoryBufferSize];
uint8_t ConfigImage[kMemoryBufferSize];
