// Host SDK stand-in: the graphics system's manager and the device that
// draws the current view, with the one boolean display setting the plug-in
// switches off while the online base map is shown.
#pragma once

class GcGsDevice {
public:
    bool displaySetting() const;
    void setDisplaySetting(bool on);
    // Redraws what the device shows.
    void update();
};

class GcGsManager {
public:
    // Null while no view is shown.
    GcGsDevice* currentDevice() const;
};

GcGsManager* gcgsGetGsManager();

namespace standin {
// A new machine has a device whose setting is on.
void SetGsDevicePresent(bool present);
void SetGsDeviceSetting(bool on);
bool GsDeviceSetting();
int GsDeviceUpdates();
}  // namespace standin
