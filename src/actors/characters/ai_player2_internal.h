// What the AI Player 2's source files share: the ids of the commands it
// sends and serves, and small geometry and query helpers.
#pragma once

#include <cstdint>

#include "base/math.h"
#include "core/actors/actor.h"

namespace aiplayer2 {

// Base and character commands sent or served here.
enum : uint32_t {
    kSetMaster = 41,
    kSpyNotice = 93,
    kAddCommandSpy = 94,
    kRemoveCommandSpy = 95,
    kOnEnterDrawGroup = 98,
    kGetCenterPoint = 350,
    kGetVisionPoint = 351,
    kSetCharacterType = 837,
    kGetPosture = 842,
    kSetHoldTime = 856,
    kGetCharacterGroup = 861,
    kIsNeutral = 863,
    kGetNoiseLevel = 974,
    kVisibility = 975,
    kSetRotY = 976,
    kSetLookRotY = 978,
    kSetLookRotX = 980,
    kSetLookRotXSpeed = 984,
    kSetLookRotYSpeed = 986,
    kGetHealth = 1018,
    kSetTurnSpeed = 1027,
    kSetDirectionBehaviour = 1031,
    kOnDie = 1062,
    kSetMotion = 1097,
    kGetBone = 1120,
    kCallbackSkinLooping = 1121,
    kSetLayerBlendValue = 1130,
    kSetCurrentLayer = 1133,
};

inline Vector3 Add(const Vector3 &a, const Vector3 &b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 Scaled(const Vector3 &v, float s) { return {v.x * s, v.y * s, v.z * s}; }
inline Vector3 Raised(Vector3 v, float dy) {
    v.y += dy;
    return v;
}

inline float AskFloat(Actor *actor, uint32_t commandId, float preset) {
    float value = preset;
    if (actor != nullptr) {
        actor->HandleCommand(commandId, ParamBlock(&value, sizeof(value)));
    }
    return value;
}

} // namespace aiplayer2
