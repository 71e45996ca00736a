#include "core/actors/debug_tint.h"

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"
#include "core/actors/subsystem_hooks.h"

namespace {

float Component(uint32_t value, float fallback) {
    return value == kDebugTintDefault ? fallback : static_cast<float>(value);
}

} // namespace

int DebugTint(uint32_t mode, uint32_t red, uint32_t green, uint32_t blue) {
    if (mode != 1 || CurrentCamera == nullptr) {
        return 0;
    }
    return SendCommandArgs(CurrentCamera, cmd::camera::SetGamma, 1.0f, 1.0f, 1.0f,
                           Component(red, 60.0f),
                           Component(green, 140.0f), Component(blue, 200.0f));
}
