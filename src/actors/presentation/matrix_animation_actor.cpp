#include "actors/presentation/matrix_animation_actor.h"

#include <cmath>
#include <cstdio>

#include "base/file_system.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/enable_commands.h"

namespace {


// Bytes of a layer record: ten vectors before version 63, fifteen from it.
constexpr uint32_t kOldLayerBytes = 10 * 12;
constexpr uint32_t kLayerBytes = 15 * 12;

// The channels in the order the sheet, the commands and the file give them.
constexpr uint32_t kSheetChannels[3] = {kMatrixRotation, kMatrixPosition, kMatrixScale};

// clang-format off
const PropertySheetRow kSheet[] = {
    {"Matrix Animation Properties", PropertyKind::PageTitle, 0, 0},
    {"Position:", PropertyKind::Vector, cmd::matrix_animation::SetMatrixAnimPosition, cmd::matrix_animation::GetMatrixAnimPosition},
    {"Rotation:", PropertyKind::Vector, cmd::matrix_animation::SetMatrixAnimRotation, cmd::matrix_animation::GetMatrixAnimRotation},
    {"Dir By Mov", PropertyKind::CheckBox, cmd::matrix_animation::SetDirByMov, cmd::matrix_animation::GetDirByMov},
    {"Dir By WS Mov", PropertyKind::CheckBox, cmd::matrix_animation::SetDirByWsMov, cmd::matrix_animation::GetDirByWsMov},
    {"Animation Param Management", PropertyKind::PageTitle, 0, 0},
    {"Param Layer", PropertyKind::ListSelector, cmd::matrix_animation::SetParamLayer, cmd::matrix_animation::GetParamLayer},
    {"Add Layer|Add|", PropertyKind::Button, cmd::matrix_animation::AddMatrixAnimLayer, 0},
    {"Delete Layer|Delete|", PropertyKind::Button, cmd::matrix_animation::DeleteMatrixAnimLayer, 0},
};
// clang-format on
const char *const kGroupHeadings[3] = {"Rotation", "Position", "Scale"};
const char *const kVectorLabels[5] = {"Sin Off:", "Sin Mul:", "Sin Freq:", "Rnd Mul:", "Rnd Freq:"};

constexpr const char *kLayerPrefix = "Layer ";

std::string LayerName(size_t index) { return kLayerPrefix + std::to_string(index); }

bool IsZero(const Vector3 &v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

Vector3 ReadVector(ParamBlock block) {
    return {block.ReadF32(0), block.ReadF32(4), block.ReadF32(8)};
}
void WriteVector(ParamBlock block, const Vector3 &v) {
    block.WriteF32(0, v.x);
    block.WriteF32(4, v.y);
    block.WriteF32(8, v.z);
}

void SerializeVector(Archive &archive, Vector3 *v) {
    float words[3] = {v->x, v->y, v->z};
    archive.SerializeWords(words, 3);
    *v = {words[0], words[1], words[2]};
}

// Adds one channel's sine and noise switches' terms of a layer to `out`.
void AddChannel(Vector3 &out, const MatrixAnimLayer &layer, uint32_t channel, float t) {
    float *axes[3] = {&out.x, &out.y, &out.z};
    const auto axis = [](const Vector3 &v, int i) { return i == 0 ? v.x : i == 1 ? v.y : v.z; };
    if (layer.switches[channel * 2] != 0) {
        const Vector3 &offset = layer.At(channel, kSinOffset);
        const Vector3 &mul = layer.At(channel, kSinMul);
        const Vector3 &freq = layer.At(channel, kSinFreq);
        for (int i = 0; i < 3; ++i) {
            *axes[i] += std::sin(t * axis(freq, i) + axis(offset, i)) * axis(mul, i);
        }
    }
    if (layer.switches[channel * 2 + 1] != 0) {
        const Vector3 &mul = layer.At(channel, kNoiseMul);
        const Vector3 &freq = layer.At(channel, kNoiseFreq);
        for (int i = 0; i < 3; ++i) {
            *axes[i] += Noise1D(t * axis(freq, i)) * axis(mul, i);
        }
    }
}

} // namespace

MatrixAnimLayer::MatrixAnimLayer() {
    for (uint32_t channel = 0; channel < 3; ++channel) {
        ResetChannel(channel);
    }
    for (uint32_t &s : switches) {
        s = 1;
    }
}

void MatrixAnimLayer::ResetChannel(uint32_t channel) {
    At(channel, kSinOffset) = {0.0f, 0.0f, 0.0f};
    At(channel, kSinMul) = {0.0f, 0.0f, 0.0f};
    At(channel, kSinFreq) = {1.0f, 1.0f, 1.0f};
    At(channel, kNoiseMul) = {0.0f, 0.0f, 0.0f};
    At(channel, kNoiseFreq) = {1.0f, 1.0f, 1.0f};
}

MatrixAnimationActor::MatrixAnimationActor() {
    classId = kMatrixAnimationClassId;
    state |= kActorEnabled;
}

void MatrixAnimationActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kMatrixAnimationClassId);
    descriptor.lineage = {0, kMatrixAnimationClassId};
    descriptor.items.clear();
    AppendPropertyRows(descriptor, kSheet);
    uint32_t command = cmd::matrix_animation::FirstLayerVector;
    for (const char *heading : kGroupHeadings) {
        descriptor.items.push_back(
            PropertyItem::PropertyItemBasic(heading, PropertyKind::Heading, 0, 0));
        for (const char *label : kVectorLabels) {
            descriptor.items.push_back(
                PropertyItem::PropertyItemBasic(label, PropertyKind::Vector, command, command + 1));
            command += 2;
        }
    }
}

MatrixAnimLayer *MatrixAnimationActor::Selected() {
    if (currentLayer < 0 || static_cast<size_t>(currentLayer) >= layers.size()) {
        return nullptr;
    }
    return &layers[static_cast<size_t>(currentLayer)];
}

void MatrixAnimationActor::Precalculate() {
    for (MatrixAnimLayer &layer : layers) {
        for (uint32_t channel = 0; channel < 3; ++channel) {
            layer.switches[channel * 2] = IsZero(layer.At(channel, kSinMul)) ? 0 : 1;
            layer.switches[channel * 2 + 1] = IsZero(layer.At(channel, kNoiseMul)) ? 0 : 1;
        }
    }
    time = 0.0f;
}

void MatrixAnimationActor::InitLoad() {
    const ActorSystem *system = GetActorSystem();
    const uint32_t version = system != nullptr ? system->GetFileVersion() : kNoFileVersion;
    if (version < 63) {
        basePosition = {0.0f, 0.0f, 0.0f};
        state |= kActorEnabled;
        matrixAnimFlags |= kMatrixAnimEnabledV63;
    }
    if (version < 64) {
        state = (matrixAnimFlags & kMatrixAnimEnabledV63) != 0 ? (state | kActorEnabled)
                                                               : (state & ~kActorEnabled);
        matrixAnimFlags &= ~kMatrixAnimEnabledV63;
        for (MatrixAnimLayer &layer : layers) {
            layer.ResetChannel(kMatrixScale);
        }
    }
}

void MatrixAnimationActor::LayerVector(uint32_t commandId, ParamBlock block) {
    MatrixAnimLayer *layer = Selected();
    if (layer == nullptr) {
        return;
    }
    const uint32_t k = (commandId - cmd::matrix_animation::FirstLayerVector) / 2;
    Vector3 &v = layer->At(kSheetChannels[k / 5], k % 5);
    if ((commandId - cmd::matrix_animation::FirstLayerVector) % 2 == 0) {
        v = ReadVector(block);
    } else {
        WriteVector(block, v);
    }
}

void MatrixAnimationActor::Update() {
    if (!IsOperational()) {
        return;
    }
    if ((state & kActorEnabled) == 0) {
        Actor::Update();
        return;
    }
    RefreshTimeRecord(timeRecord);
    const float delta = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    time += delta * speed;
    Vector3 p = basePosition;
    Vector3 a = {time * rotationSpeed.x, time * rotationSpeed.y, time * rotationSpeed.z};
    Vector3 s = {1.0f, 1.0f, 1.0f};
    for (const MatrixAnimLayer &layer : layers) {
        AddChannel(p, layer, kMatrixPosition, time);
        AddChannel(a, layer, kMatrixRotation, time);
        AddChannel(s, layer, kMatrixScale, time);
    }
    position = p;
    QuaternionRotationYawPitchRoll(&rotation, a.y, a.x, a.z);
    scale = s;
    InvalidateTransform();
    Actor::Update();
}

int MatrixAnimationActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (ServeEnableCommands(*this, commandId)) {
        return Actor::HandleCommand(commandId, block);
    }
    switch (commandId) {
    case cmd::matrix_animation::SetMatrixAnimPosition:
        basePosition = ReadVector(block);
        break;
    case cmd::matrix_animation::GetMatrixAnimPosition:
        WriteVector(block, basePosition);
        break;
    case cmd::matrix_animation::SetMatrixAnimRotation:
        rotationSpeed = ReadVector(block);
        break;
    case cmd::matrix_animation::GetMatrixAnimRotation:
        WriteVector(block, rotationSpeed);
        break;
    case cmd::matrix_animation::SetDirByMov:
    case cmd::matrix_animation::SetDirByWsMov: {
        const uint32_t bit = commandId == cmd::matrix_animation::SetDirByMov
                                 ? kMatrixAnimDirByMov
                                 : kMatrixAnimDirByWsMov;
        matrixAnimFlags =
            (block.ReadU32(0) & 1u) != 0 ? (matrixAnimFlags | bit) : (matrixAnimFlags & ~bit);
        break;
    }
    case cmd::matrix_animation::GetDirByMov:
        block.WriteU32(0, (matrixAnimFlags & kMatrixAnimDirByMov) != 0 ? 1u : 0u);
        break;
    case cmd::matrix_animation::GetDirByWsMov:
        block.WriteU32(0, (matrixAnimFlags & kMatrixAnimDirByWsMov) != 0 ? 1u : 0u);
        break;
    case cmd::matrix_animation::AddMatrixAnimLayer:
        layers.emplace_back();
        break;
    case cmd::matrix_animation::DeleteMatrixAnimLayer:
        if (Selected() != nullptr) {
            layers.erase(layers.begin() + currentLayer);
            currentLayer = -1;
        }
        break;
    case cmd::matrix_animation::SetParamLayer: {
        const std::string_view name = block.ReadString(0);
        for (size_t i = 0; i < layers.size(); ++i) {
            if (LayerName(i) == name) {
                currentLayer = static_cast<int32_t>(i);
                break;
            }
        }
        break;
    }
    case cmd::matrix_animation::GetParamLayer:
        FillNumberedLabels(block, kLayerPrefix, layers.size(), 0);
        break;
    case cmd::base::ActionStartValue:
    case cmd::base::ActionStopValue:
    case cmd::base::KillValue:
        speed = block.ReadF32(0);
        break;
    case cmd::base::InitLoad:
        InitLoad();
        break;
    case cmd::base::Precalculate:
        Precalculate();
        break;
    case cmd::base::Create: {
        if (auto *source = CreateSource(*this, block)) {
            static_cast<MatrixAnimationFields &>(*this) = *source;
        }
        break;
    }
    default:
        if (commandId >= cmd::matrix_animation::FirstLayerVector &&
            commandId <= cmd::matrix_animation::LastLayerVector) {
            LayerVector(commandId, block);
        }
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int MatrixAnimationActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const bool writing = archive.IsWriting();
    const uint32_t version = archive.Version();
    if (version >= 1) {
        SerializeVector(archive, &rotationSpeed);
        archive.SerializeWord(&matrixAnimFlags);
        SerializeVector(archive, &basePosition);
        archive.SerializeSpareWords(2);
        uint32_t count = static_cast<uint32_t>(layers.size());
        archive.SerializeWord(&count);
        if (!writing) {
            const uint32_t layerBytes = version >= 63 ? kLayerBytes : kOldLayerBytes;
            if (!archive.CountFits(count, layerBytes)) {
                return 0;
            }
            layers.resize(count);
        }
        for (MatrixAnimLayer &layer : layers) {
            for (uint32_t channel : kSheetChannels) {
                if (channel == kMatrixScale && version < 63) {
                    continue;
                }
                for (uint32_t v = 0; v < 5; ++v) {
                    SerializeVector(archive, &layer.At(channel, v));
                }
            }
        }
    }
    return archive.Failed() ? 0 : 1;
}

void MatrixAnimationActor::DumpClassFields(std::vector<std::string> &lines) const {
    const auto vector = [](const Vector3 &v) {
        const float words[3] = {v.x, v.y, v.z};
        return DumpNumbers(words, 3);
    };
    lines.push_back("matrixanimation rotation " + vector(rotationSpeed) + " flags " +
                    DumpMask(matrixAnimFlags) + " position " + vector(basePosition) + " layers " +
                    std::to_string(layers.size()) + " speed " + DumpNumber(speed) + " current " +
                    std::to_string(currentLayer));
    static const char *const kChannelLabels[3] = {"pos", "rot", "scale"};
    static const char *const kVectorKeys[5] = {"sinoff", "sinmul", "sinfreq", "rndmul", "rndfreq"};
    for (size_t i = 0; i < layers.size(); ++i) {
        std::string line = "matrixlayer " + std::to_string(i);
        for (uint32_t channel : kSheetChannels) {
            for (uint32_t v = 0; v < 5; ++v) {
                line += std::string(" ") + kChannelLabels[channel] + kVectorKeys[v] + " " +
                        vector(layers[i].At(channel, v));
            }
        }
        line += " switches";
        for (uint32_t s : layers[i].switches) {
            line += " " + std::to_string(s);
        }
        lines.push_back(line);
    }
}
