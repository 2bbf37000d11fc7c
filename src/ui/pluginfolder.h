// The plug-in's surroundings: the check of the folder it works in, the icon
// files written from its PNG resources, and the start-up's drawing support.
#pragma once

#include "afxstr.h"
#include "oddbobject.h"

// True when the plug-in can work in the folder (empty: the module's own):
// not a drive root, shorter than 191 characters, writable, and with 2 GiB
// free or the user's consent. Each refusal is shown in a message box.
bool CheckPluginFolder(CString folder);
// The raster image definition of icon `n`, its file written under the cache
// root from the module's resource when missing; the default icon's when the
// definition cannot be had; null when the icon has neither file nor resource.
OdDbObjectId GetIconImageDefId(int n);
// The default icon's file and definition.
OdDbObjectId EnsureDefaultIconImageDef();
// The colour of inserted raster images (the inverse of colour 7) and the
// host's object module.
void InitPluginDrawingSupport();
void LoadIsmObjectDbx();
