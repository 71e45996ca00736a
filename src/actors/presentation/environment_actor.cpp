#include "actors/presentation/environment_actor.h"

#include <cmath>

#include "base/file_system.h"
#include "base/math.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "library/resource_library.h"

namespace {


// clang-format off
const BasicSheetRow kSheet[] = {
    {"Environment Properties", PropertyKind::PageTitle, 0, 0},
    {"Ambient:", PropertyKind::Color, cmd::light::SetAmbientColor, cmd::light::GetAmbientColor},
    {"Gravity:", PropertyKind::Real, cmd::environment::SetGravity, cmd::environment::GetGravity},
    {"Air Res:", PropertyKind::Real, cmd::environment::SetAirResistance, cmd::environment::GetAirResistance},
    {"Wind:", PropertyKind::Vector, cmd::environment::SetWind, cmd::environment::GetWind},
    {"Fog Properties", PropertyKind::Caption, 0, 0},
    {"Enable:", PropertyKind::CheckBox, cmd::environment::SetFogEnable, cmd::environment::GetFogEnable},
    {"Near:", PropertyKind::Real, cmd::environment::SetFogNear, cmd::environment::GetFogNear},
    {"Far:", PropertyKind::Real, cmd::environment::SetFogFar, cmd::environment::GetFogFar},
    {"Color:", PropertyKind::Color, cmd::environment::SetFogColor, cmd::environment::GetFogColor},
    {"Activate Environment|Activate|", PropertyKind::Button, cmd::environment::ActivateEnvironmentParams, 0},
    {"Dectivate Environment|Dectivate|", PropertyKind::Button, cmd::environment::DeactivateEnvironment, 0},
};
// clang-format on

uint32_t Packed(const float color[4]) { return PackColor(color[0], color[1], color[2], color[3]); }

void ReadColor(ParamBlock block, float out[4]) {
    for (int i = 0; i < 4; ++i) {
        out[i] = block.ReadF32(static_cast<size_t>(i) * 4);
    }
}

void WriteColor(ParamBlock block, const float color[4]) {
    for (int i = 0; i < 4; ++i) {
        block.WriteF32(static_cast<size_t>(i) * 4, color[i]);
    }
}

} // namespace

void EnvironmentActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kEnvironmentClassId);
    // The only class whose lineage leaves out the base class.
    descriptor.lineage = {kEnvironmentClassId};
    descriptor.items.clear();
    AppendPropertyRows(descriptor, kSheet);
    MarkClassPassingCommandsOn(kEnvironmentClassId, typeid(EnvironmentActor));
}

void EnvironmentActor::Activate() {
    if (!IsRoot()) {
        const auto root = static_cast<uint32_t>(kRootEnvironmentId);
        SendCommand(root, cmd::environment::SetGravity, BlockOf(gravity));
        SendCommand(root, cmd::environment::SetAirResistance, BlockOf(airResistance));
        SendCommand(root, cmd::environment::SetWind, BlockOf(wind));
        SendCommand(root, cmd::light::SetAmbientColor, BlockOf(ambientColor));
        SendCommand(root, cmd::environment::SetFogEnable, BlockOf(fogEnable));
        SendCommand(root, cmd::environment::SetFogColor, BlockOf(fogColor));
        SendCommand(root, cmd::environment::SetFogNear, BlockOf(fogNear));
        SendCommand(root, cmd::environment::SetFogFar, BlockOf(fogFar));
        return;
    }
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return;
    }
    library->SetAmbientLight(ambientColor[0], ambientColor[1], ambientColor[2], ambientColor[3]);
    library->SetFogEnable(fogEnable);
    library->SetFogColor(Packed(fogColor));
    library->SetClearColor(Packed(fogColor));
    library->SetFogStart(fogNear);
    library->SetFogEnd(fogFar);
}

void EnvironmentActor::Deactivate() {
    if (!IsRoot()) {
        SendCommand(static_cast<uint32_t>(kRootEnvironmentId),
                    cmd::environment::DeactivateEnvironment,
                    ParamBlock());
        return;
    }
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return;
    }
    library->SetAmbientLight(0.0f, 0.0f, 0.0f, 0.0f);
    library->SetFogEnable(0);
    library->SetFogColor(0);
    library->SetClearColor(0);
}

void EnvironmentActor::Apply() {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return;
    }
    library->SetAmbientLight(ambientColor[0], ambientColor[1], ambientColor[2], ambientColor[3]);
    library->SetFogEnable(fogEnable);
    library->SetFogColor(Packed(fogColor));
    library->SetFogStart(fogNear);
    library->SetFogEnd(fogFar);
    library->SetClearColor(Packed(fogColor));
}

int EnvironmentActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    ResourceLibrary *library = GetLibrary();
    switch (commandId) {
    case cmd::light::SetAmbientColor:
        ReadColor(block, ambientColor);
        if (library != nullptr) {
            library->SetAmbientLight(ambientColor[0], ambientColor[1], ambientColor[2],
                                     ambientColor[3]);
        }
        break;
    case cmd::light::GetAmbientColor:
        WriteColor(block, ambientColor);
        break;
    // The root's gravity, air resistance and wind move every simulated
    // actor (a preset's reach the root when it is activated): a value that
    // is not finite leaves the one held.
    case cmd::environment::SetGravity:
        if (std::isfinite(block.ReadF32(0))) {
            gravity = block.ReadF32(0);
        }
        break;
    case cmd::environment::GetGravity:
        block.WriteF32(0, gravity);
        break;
    case cmd::environment::SetAirResistance:
        if (std::isfinite(block.ReadF32(0))) {
            airResistance = block.ReadF32(0);
        }
        break;
    case cmd::environment::GetAirResistance:
        block.WriteF32(0, airResistance);
        break;
    case cmd::environment::SetWind:
        if (Vec3IsFinite(block.Read<Vector3>(0))) {
            wind = block.Read<Vector3>(0);
        }
        break;
    case cmd::environment::GetWind:
        block.Write(0, wind);
        break;
    case cmd::environment::SetFogEnable:
        fogEnable = block.ReadU32(0);
        if (library != nullptr) {
            library->SetFogEnable(fogEnable);
        }
        break;
    case cmd::environment::GetFogEnable:
        block.WriteU32(0, fogEnable);
        break;
    case cmd::environment::SetFogNear:
        fogNear = block.ReadF32(0);
        if (library != nullptr) {
            library->SetFogStart(fogNear);
        }
        break;
    case cmd::environment::GetFogNear:
        block.WriteF32(0, fogNear);
        break;
    case cmd::environment::SetFogFar:
        fogFar = block.ReadF32(0);
        if (library != nullptr) {
            library->SetFogEnd(fogFar);
        }
        break;
    case cmd::environment::GetFogFar:
        block.WriteF32(0, fogFar);
        break;
    case cmd::environment::SetFogColor:
        ReadColor(block, fogColor);
        if (library != nullptr) {
            library->SetFogColor(Packed(fogColor));
            library->SetClearColor(Packed(fogColor));
        }
        break;
    case cmd::environment::GetFogColor:
        WriteColor(block, fogColor);
        break;
    case cmd::environment::ActivateEnvironmentParams:
        Activate();
        break;
    case cmd::environment::DeactivateEnvironment:
        Deactivate();
        break;
    case cmd::environment::LerpEnvironmentParams:
        Apply();
        break;
    case cmd::base::Precalculate:
        if (IsRoot()) {
            HandleCommand(cmd::environment::ActivateEnvironmentParams, ParamBlock());
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int EnvironmentActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const uint32_t version = archive.Version();
    if (version >= 1) {
        // As with the set commands, a stored gravity, air resistance or wind
        // that is not finite leaves the value held.
        const float heldGravity = gravity;
        const float heldAir = airResistance;
        const Vector3 heldWind = wind;
        archive.SerializeWords(ambientColor, 4);
        archive.SerializeWords(&gravity, 1);
        archive.SerializeWords(&wind.x, 3);
        archive.SerializeWords(&airResistance, 1);
        uint32_t reserved[4] = {0, 0, 0, 0};
        archive.SerializeWords(reserved, 4);
        if (!std::isfinite(gravity)) {
            gravity = heldGravity;
        }
        if (!std::isfinite(airResistance)) {
            airResistance = heldAir;
        }
        if (!Vec3IsFinite(wind)) {
            wind = heldWind;
        }
    }
    if (version >= 10) {
        archive.SerializeWord(&fogEnable);
        archive.SerializeWords(fogColor, 4);
        archive.SerializeWords(&fogNear, 1);
        archive.SerializeWords(&fogFar, 1);
    }
    if (!archive.IsWriting() && archive.Failed()) {
        return 0;
    }
    return 1;
}

void EnvironmentActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("environment ambient " + DumpNumbers(ambientColor, 4) + " gravity " +
                    DumpNumber(gravity) + " wind " + DumpNumbers(&wind.x, 3) + " airres " +
                    DumpNumber(airResistance) + " fog " + std::to_string(fogEnable) + " fogcolor " +
                    DumpNumbers(fogColor, 4) + " near " + DumpNumber(fogNear) + " far " +
                    DumpNumber(fogFar));
}
