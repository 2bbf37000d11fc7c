#include "ui/reactors.h"

uint8_t g_bBhatchRunning = 0;
uint8_t g_bNewDocument = 0;
