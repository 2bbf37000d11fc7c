#include "exchange/arxoperation.h"

ArxOperation g_arxOperation;
