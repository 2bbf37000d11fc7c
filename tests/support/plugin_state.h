// The plug-in's module-wide state, put back to that of a fresh load before
// and after each test that drives the shell: windows closed, reactors and
// records deleted, settings and link values at their load values.
#pragma once

#include <memory>

#include "standin_peer.h"
#include "state/reactorflags.h"
#include "windows.h"

namespace velktest {

// The handle the tests register the module's resources under, and which
// stands for the module's own instance.
HINSTANCE TestModuleInstance();
void ResetPluginState();

// Puts the peer's installation in the registry with `version` and makes
// starting its program start a stand-in peer in `peer`.
void InstallStandinPeer(DWORD version, std::unique_ptr<velkpeer::StandinPeer>& peer);

// The plug-in's receiver window, made as start-up makes it; false when it
// could not be made.
bool OpenReceiverWindow();
// What start-up does before it makes the receiver window: the window class
// registered, the peer client named after it, the settings loaded.
void RegisterPluginWindowClass();
// A new editor reactor as start-up makes it, not attached to the editor,
// for tests that set g_pEditorReactor themselves.
EditorReactorFlags* NewEditorReactor();

// A peer whose level L shows 2^(20 - L) drawing units a pixel.
velkpeer::PeerConfig LevelledPeerConfig();

}  // namespace velktest
