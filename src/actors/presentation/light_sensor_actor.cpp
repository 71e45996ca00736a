#include "actors/presentation/light_sensor_actor.h"

#include <cmath>
#include <cstdio>

#include "base/file_system.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"

namespace {


// clang-format off
const BasicSheetRow kSheet[] = {
    {"Light Sensor Properties", PropertyKind::PageTitle, 0, 0},
    {"Set Ray Group:", PropertyKind::GroupMask, cmd::base::SetCollisionGroups, cmd::base::GetCollisionGroups},
    {"Set Ray Receive:", PropertyKind::GroupMask, cmd::base::SetCollisionGroupsReceive, cmd::base::GetCollisionGroupsReceive},
    {"Set Ray Exclude:", PropertyKind::GroupMask, cmd::base::SetCollisionGroupsExclude, cmd::base::GetCollisionGroupsExclude},
};
// clang-format on

} // namespace

LightSensorActor::LightSensorActor() { classId = kLightSensorClassId; }

void LightSensorActor::RegisterClass() {
    RegisterBasicClassSheet(kLightSensorClassId, kSheet);
}

gfx::ColorValue LightSensorActor::Measure() {
    gfx::ColorValue sum = minColor;
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return sum;
    }
    ActorSystem *system = GetActorSystem();
    const uint32_t masks[3] = {rayGroups, rayReceive, rayExclude};
    const uint32_t count = library->GetLocalLightCount();
    for (uint32_t i = 0; i < count; ++i) {
        LightItem *light = library->GetLocalLight(i);
        if ((flags & kActorWorldMatrixValid) == 0) {
            UpdateWorldMatrix();
        }
        const Vector3 p = {worldMatrix.m[3][0], worldMatrix.m[3][1], worldMatrix.m[3][2]};
        float c[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        if (!ComputeLightAtPoint(light, c, p)) {
            continue;
        }
        Vector3 at;
        GetLightPosition(light, &at);
        if (system != nullptr && system->CollisionQuery(p, at, masks, nullptr, nullptr) != nullptr) {
            continue; // shadowed
        }
        // A light whose share, or the sum with it, would not be finite
        // (colours as large as floats go) adds nothing.
        const gfx::ColorValue next = {sum.r + c[0], sum.g + c[1], sum.b + c[2], sum.a + c[3]};
        if (std::isfinite(next.r) && std::isfinite(next.g) && std::isfinite(next.b) &&
            std::isfinite(next.a)) {
            sum = next;
        }
    }
    return sum;
}

int LightSensorActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::light_sensor::SetLightsensorRayGroup:
        rayGroups = block.ReadU32(0);
        break;
    case cmd::light_sensor::GetLightsensorRayGroup:
        block.WriteU32(0, rayGroups);
        break;
    case cmd::light_sensor::SetLightsensorRayReceive:
        rayReceive = block.ReadU32(0);
        break;
    case cmd::light_sensor::GetLightsensorRayReceive:
        block.WriteU32(0, rayReceive);
        break;
    case cmd::light_sensor::SetLightsensorRayExclude:
        rayExclude = block.ReadU32(0);
        break;
    case cmd::light_sensor::GetLightsensorRayExclude:
        block.WriteU32(0, rayExclude);
        break;
    case cmd::light_sensor::SetLightSensorMinColor:
        minColor.r = block.ReadF32(0);
        minColor.g = block.ReadF32(4);
        minColor.b = block.ReadF32(8);
        minColor.a = block.ReadF32(12);
        break;
    case cmd::base::GetColor:
        // The answer goes into a caller's block that has room for it.
        if (block.size() >= 16) {
            const gfx::ColorValue c = Measure();
            block.Write(0, c.r);
            block.Write(4, c.g);
            block.Write(8, c.b);
            block.Write(12, c.a);
        }
        break;
    case cmd::base::InitLoad:
        // A loaded sensor always starts from the default masks, whatever its
        // record holds; masks set after loading stay.
        rayGroups = 1;
        rayReceive = 1;
        rayExclude = kLightSensorDefaultExclude;
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int LightSensorActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() >= 1) {
        archive.SerializeWord(&rayGroups);
        archive.SerializeWord(&rayReceive);
        archive.SerializeWord(&rayExclude);
        archive.SerializeSpareWords(1);
    }
    return archive.Failed() ? 0 : 1;
}

void LightSensorActor::DumpClassFields(std::vector<std::string> &lines) const {
    char text[96];
    std::snprintf(text, sizeof(text), "light sensor ray %#x %#x %#x", rayGroups, rayReceive,
                  rayExclude);
    lines.push_back(text);
}
