// The shell's side of state/shellservices.h: the toolbar and the receiver
// window as the features reach them.
#pragma once

// Puts the shell's services in place; the toolbar window and the receiver
// window call it when they are made, so that a feature finds whichever of
// them exists.
void InstallShellServices();
