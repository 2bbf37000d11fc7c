#include "exchange/linestyles.h"

const wchar_t* const LineStyleTable[8] = {L"Continuous", L"DOT",       L"JIS_02_1.0", L"DASHDOT",
                                          L"DIVIDE",     L"DASHED",    L"DASHDOTX2",  L"DIVIDEX2"};

const wchar_t* LineStyleName(uint32_t index) { return index < 8 ? LineStyleTable[index] : LineStyleTable[0]; }
