// The plug-in's settings: one 160-byte record kept whole in the settings
// file "\VelkArx_setting.ini" of the local application-data folder, beside
// the cache root and the drawings' coordinate bindings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "afxstr.h"

// Stored byte for byte: the offsets are the file format.
struct PluginSettings {
    uint8_t autoSync;               // 0
    uint8_t pad1[7];
    double viewFactor1;             // 8
    double viewFactor2;             // 16
    uint8_t pointsAsIcons;          // 24
    uint8_t pad25[3];
    int32_t roundedValue;           // 28
    int32_t textLevelMetres;        // 32: 240, 120, 60, 30, 15, 8 or 4
    int32_t maxBaseMapLevel;        // 36: 16..28
    int32_t newDocumentZoom;        // 40
    int32_t colourByLayer;          // 44
    int32_t receivedSignLevel;      // 48
    int32_t settingsVersion;        // 52
    int32_t followMode;             // 56: 0 none, 1 peer follows, 2 CAD follows, 3 both
    uint8_t peerTooOldHint;         // 60
    uint8_t updateHint;             // 61
    uint8_t receiveHintOff;         // 62
    uint8_t doubleClickProperties;  // 63
    uint8_t autoLoad;               // 64
    uint8_t onlineBaseMap;          // 65
    uint8_t noCoordinatePrompt;     // 66
    uint8_t hideNoticeOff;          // 67
    int32_t peerVersionWarned;      // 68
    int32_t lastAnnouncedVersion;   // 72
    uint8_t startPeerPromptOff;     // 76
    uint8_t clearCacheOnExit;       // 77
    uint8_t unused[82];             // 78..159, always zero
};
static_assert(sizeof(PluginSettings) == 160, "settings record size");
static_assert(offsetof(PluginSettings, viewFactor1) == 8 && offsetof(PluginSettings, viewFactor2) == 16 &&
                  offsetof(PluginSettings, pointsAsIcons) == 24 && offsetof(PluginSettings, roundedValue) == 28 &&
                  offsetof(PluginSettings, textLevelMetres) == 32 && offsetof(PluginSettings, maxBaseMapLevel) == 36 &&
                  offsetof(PluginSettings, newDocumentZoom) == 40 && offsetof(PluginSettings, colourByLayer) == 44 &&
                  offsetof(PluginSettings, receivedSignLevel) == 48 &&
                  offsetof(PluginSettings, settingsVersion) == 52 && offsetof(PluginSettings, followMode) == 56 &&
                  offsetof(PluginSettings, peerTooOldHint) == 60 && offsetof(PluginSettings, updateHint) == 61 &&
                  offsetof(PluginSettings, receiveHintOff) == 62 &&
                  offsetof(PluginSettings, doubleClickProperties) == 63 && offsetof(PluginSettings, autoLoad) == 64 &&
                  offsetof(PluginSettings, onlineBaseMap) == 65 && offsetof(PluginSettings, noCoordinatePrompt) == 66 &&
                  offsetof(PluginSettings, hideNoticeOff) == 67 && offsetof(PluginSettings, peerVersionWarned) == 68 &&
                  offsetof(PluginSettings, lastAnnouncedVersion) == 72 &&
                  offsetof(PluginSettings, startPeerPromptOff) == 76 && offsetof(PluginSettings, clearCacheOnExit) == 77,
              "settings record layout");

// The version this build writes into the record.
const int32_t kSettingsVersion = 162;

// The one record, the cache root beside it and the settings file's path
// (empty until LoadSettings ran).
extern PluginSettings g_settings;
extern CString g_cacheRoot;
extern CString g_settingsFile;

// Reads the record and the cache root, migrating older records and
// repairing zero fields, or makes the file (from the old "\setting.ini"
// beside the module when there is one).
void LoadSettings();
// Writes the whole record back.
void SaveSettings();
// Writes the cache root back.
void SaveCachePath();
// The values of a new settings file: everything zero but the defaults.
void SetDefaultSettings(PluginSettings& settings);
