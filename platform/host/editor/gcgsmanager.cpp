#include "gcgsmanager.h"

#include "standin_control.h"

namespace {

struct GsState {
    bool present = true;
    bool setting = true;
    int updates = 0;
};
GsState g_gs;
GcGsDevice g_device;
GcGsManager g_manager;

standin::ResetHook g_reset([] { g_gs = GsState(); });

}  // namespace

bool GcGsDevice::displaySetting() const { return g_gs.setting; }
void GcGsDevice::setDisplaySetting(bool on) { g_gs.setting = on; }
void GcGsDevice::update() { ++g_gs.updates; }
GcGsDevice* GcGsManager::currentDevice() const { return g_gs.present ? &g_device : nullptr; }
GcGsManager* gcgsGetGsManager() { return &g_manager; }

namespace standin {
void SetGsDevicePresent(bool present) { g_gs.present = present; }
void SetGsDeviceSetting(bool on) { g_gs.setting = on; }
bool GsDeviceSetting() { return g_gs.setting; }
int GsDeviceUpdates() { return g_gs.updates; }
}  // namespace standin
