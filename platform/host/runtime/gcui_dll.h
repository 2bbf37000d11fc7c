// Host SDK stand-in: the host's dialog library, which a plug-in initialises
// when the operating system loads it.
#pragma once

void InitGcUiDLL();

namespace standin {
// Calls of InitGcUiDLL since the reset.
int GcUiInitCalls();
}  // namespace standin
