// PLACEHOLDER save device: see save_device.h.
#include "library/save_device.h"

namespace {

struct SaveDeviceState {
    uint32_t present = 0;
    std::string name;
    std::string folder;
};

SaveDeviceState& State() {
    static SaveDeviceState state;
    return state;
}

} // namespace

uint32_t InitSaveDevice(uint32_t /*unused*/) {
    State().present = 1;
    State().name = "Hard Disc";
    return 1;
}

void SetSaveFolder(const char* folder) { State().folder = folder ? folder : ""; }

uint32_t ReadSavedGameFile(uint32_t /*device*/, uint32_t /*slot*/, void* /*buffer*/,
                           uint32_t /*size*/) {
    return 0;
}

const std::string& GetSaveFolder() { return State().folder; }
const std::string& GetSaveDeviceName() { return State().name; }
uint32_t IsSaveDevicePresent() { return State().present; }
