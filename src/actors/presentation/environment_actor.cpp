#include "actors/presentation/environment_actor.h"

#include "base/file_system.h"
#include "base/math.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/base_command_ids.h"
#include "core/actors/class_descriptor.h"
#include "library/resource_library.h"

namespace {


const BasicSheetRow kSheet[] = {
    {"Environment Properties", PropertyKind::PageTitle, 0, 0},
    {"Ambient:", PropertyKind::Color, kCmdSetAmbientColor, kCmdGetAmbientColor},
    {"Gravity:", PropertyKind::Real, kCmdSetGravity, kCmdGetGravity},
    {"Air Res:", PropertyKind::Real, kCmdSetAirResistance, kCmdGetAirResistance},
    {"Wind:", PropertyKind::Vector, kCmdSetWind, kCmdGetWind},
    {"Fog Properties", PropertyKind::Caption, 0, 0},
    {"Enable:", PropertyKind::CheckBox, kCmdSetFogEnable, kCmdGetFogEnable},
    {"Near:", PropertyKind::Real, kCmdSetFogNear, kCmdGetFogNear},
    {"Far:", PropertyKind::Real, kCmdSetFogFar, kCmdGetFogFar},
    {"Color:", PropertyKind::Color, kCmdSetFogColor, kCmdGetFogColor},
    {"Activate Environment|Activate|", PropertyKind::Button, kCmdActivateEnvironment, 0},
    {"Dectivate Environment|Dectivate|", PropertyKind::Button, kCmdDeactivateEnvironment, 0},
};

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

template <class T> ParamBlock BlockOf(T &value) { return ParamBlock(&value, sizeof(value)); }

} // namespace

void EnvironmentActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kEnvironmentClassId);
    // The only class whose lineage leaves out the base class.
    descriptor.lineage = {kEnvironmentClassId};
    descriptor.items.clear();
    AppendPropertyRows(descriptor, kSheet);
}

void EnvironmentActor::Activate() {
    if (!IsRoot()) {
        const auto root = static_cast<uint32_t>(kRootEnvironmentId);
        SendCommand(root, kCmdSetGravity, BlockOf(gravity));
        SendCommand(root, kCmdSetAirResistance, BlockOf(airResistance));
        SendCommand(root, kCmdSetWind, BlockOf(wind));
        SendCommand(root, kCmdSetAmbientColor, BlockOf(ambientColor));
        SendCommand(root, kCmdSetFogEnable, BlockOf(fogEnable));
        SendCommand(root, kCmdSetFogColor, BlockOf(fogColor));
        SendCommand(root, kCmdSetFogNear, BlockOf(fogNear));
        SendCommand(root, kCmdSetFogFar, BlockOf(fogFar));
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
        SendCommand(static_cast<uint32_t>(kRootEnvironmentId), kCmdDeactivateEnvironment,
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
    case kCmdSetAmbientColor:
        ReadColor(block, ambientColor);
        if (library != nullptr) {
            library->SetAmbientLight(ambientColor[0], ambientColor[1], ambientColor[2],
                                     ambientColor[3]);
        }
        break;
    case kCmdGetAmbientColor:
        WriteColor(block, ambientColor);
        break;
    case kCmdSetGravity:
        gravity = block.ReadF32(0);
        break;
    case kCmdGetGravity:
        block.WriteF32(0, gravity);
        break;
    case kCmdSetAirResistance:
        airResistance = block.ReadF32(0);
        break;
    case kCmdGetAirResistance:
        block.WriteF32(0, airResistance);
        break;
    case kCmdSetWind:
        wind = block.Read<Vector3>(0);
        break;
    case kCmdGetWind:
        block.Write(0, wind);
        break;
    case kCmdSetFogEnable:
        fogEnable = block.ReadU32(0);
        if (library != nullptr) {
            library->SetFogEnable(fogEnable);
        }
        break;
    case kCmdGetFogEnable:
        block.WriteU32(0, fogEnable);
        break;
    case kCmdSetFogNear:
        fogNear = block.ReadF32(0);
        if (library != nullptr) {
            library->SetFogStart(fogNear);
        }
        break;
    case kCmdGetFogNear:
        block.WriteF32(0, fogNear);
        break;
    case kCmdSetFogFar:
        fogFar = block.ReadF32(0);
        if (library != nullptr) {
            library->SetFogEnd(fogFar);
        }
        break;
    case kCmdGetFogFar:
        block.WriteF32(0, fogFar);
        break;
    case kCmdSetFogColor:
        ReadColor(block, fogColor);
        if (library != nullptr) {
            library->SetFogColor(Packed(fogColor));
            library->SetClearColor(Packed(fogColor));
        }
        break;
    case kCmdGetFogColor:
        WriteColor(block, fogColor);
        break;
    case kCmdActivateEnvironment:
        Activate();
        break;
    case kCmdDeactivateEnvironment:
        Deactivate();
        break;
    case kCmdApplyEnvironment:
        Apply();
        break;
    case kCmdPrecalculate:
        if (IsRoot()) {
            HandleCommand(kCmdActivateEnvironment, ParamBlock());
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
        archive.SerializeWords(ambientColor, 4);
        archive.SerializeWords(&gravity, 1);
        archive.SerializeWords(&wind.x, 3);
        archive.SerializeWords(&airResistance, 1);
        uint32_t reserved[4] = {0, 0, 0, 0};
        archive.SerializeWords(reserved, 4);
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
