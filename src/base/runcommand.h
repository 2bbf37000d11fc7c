// Runs a program through the runtime's command processor.
#pragma once

#include <cstdint>

// Runs "\"program\" " followed by the formatted arguments. The arguments
// reach the command processor as they are, unescaped: never pass untrusted
// text. `number` and `flag` are not used. 1, or 0 when the command line
// does not fit 1000 bytes (nothing runs then).
int32_t RunCommandLine(const char* program, int32_t number, int32_t flag, const char* format, ...);
int32_t RunProgram(const char* program, int32_t number, const char* format, ...);
int32_t RunProgramNoFlag(const char* program, int32_t number, const char* format, ...);
