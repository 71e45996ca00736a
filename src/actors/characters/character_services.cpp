#include "actors/characters/character_services.h"

#include <cmath>

#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

namespace {

constexpr float kInverseTwoPi = 0.15915494f;
// Not pi: the difference above which the way round the other side is
// shorter.
constexpr float kShortWayLimit = 3.1414928f;

const char *const kMovementNames[kMovementCount] = {
    "Neutral",   "Jump",     "Left",      "Right",     "Forward",   "Back",      "Action",
    "Listen",    "Gethit0",  "Gethit1",   "Gethit2",   "Gethit3",   "Gethit4",   "Gethit5",
    "Gethit6",   "Gethit7",  "Gethit8",   "Gethit9",   "Damage0",   "Damage1",   "Damage2",
    "Damage3",   "Damage4",  "Damage5",   "Damage6",   "Damage7",   "Damage8",   "Damage9",
    "Attack0",   "Attack1",  "Attack2",   "Attack3",   "Defend",    "Forward1",  "Exhausted",
    "Guarding",  "Die",      "Die0",      "Die1",      "Die2",      "Die3",      "Die4",
    "Die5",      "Dead0",    "Dead1",     "Dead2",     "Throw",     "Special0",  "Special1",
    "Special2",  "Special3", "Special4",  "Special5",  "Special6",  "Special7",  "Special8",
    "Special9",  "Relax",    "Special10", "Special11", "Special12", "Special13", "Special14",
    "Special15", "?",
};

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

const char *const BoneNames[kCharacterBoneCount] = {
    "Spine",  "Spine1", "Spine2",  "Spine3", "Neck",    "Head",   "L_UpperArm", "L_Forearm",
    "L_Hand", "R_Hand", "L_Thigh", "L_Foot", "R_Thigh", "R_Foot", "TailNub",
};

uint32_t FindMovement(std::string_view name) {
    for (uint32_t i = 0; i < kMovementCount; ++i) {
        if (EqualNoCase(name, kMovementNames[i])) {
            return i;
        }
    }
    return kMovementCount;
}

const char *MovementName(uint32_t index) {
    return index < kMovementCount ? kMovementNames[index] : nullptr;
}

float Wrap(float angle) {
    if (angle > kPi) {
        const float t = angle + kPi;
        return t - std::trunc(t * kInverseTwoPi) * kTwoPi - kPi;
    }
    if (angle < -kPi) {
        const float t = angle - kPi;
        return t - std::trunc(t * kInverseTwoPi) * kTwoPi + kPi;
    }
    return angle;
}

float TurnToward(float current, float target, float step) {
    if (!(step > 0.0f)) {
        return current;
    }
    float c = Wrap(current);
    float t = Wrap(target);
    // Across the half turn the target lies a whole turn the other way.
    if (c <= t && t - c > kShortWayLimit) {
        t -= kTwoPi;
    } else if (c > t && c - t > kShortWayLimit) {
        t += kTwoPi;
    }
    if (c <= t) {
        c = t <= c + step ? t : c + step;
    } else {
        c = c - step <= t ? t : c - step;
    }
    return Wrap(c);
}

void ApproachValue(float &value, float target, float step) {
    if (target <= value) {
        value = target < value - step ? value - step : target;
    } else {
        value = value + step < target ? value + step : target;
    }
}

void SendSetMatrix(Actor *target, const Matrix &matrix) {
    Matrix copy = matrix;
    SendIfPresent(target, cmd::base::SetLocalMatrix, ParamBlock(&copy, sizeof(copy)));
}

int SendIfPresent(Actor *actor, uint32_t commandId, ParamBlock block) {
    if (actor == nullptr) {
        return 0;
    }
    actor->HandleCommand(commandId, block);
    return 1;
}

void RegisterSinglePageClass(uint32_t classId, const char *pageTitle) {
    ActorClassDescriptor &descriptor = NameClassDescriptor(classId);
    descriptor.lineage = {0, classId};
    descriptor.items.clear();
    descriptor.items.push_back(
        PropertyItem::PropertyItemBasic(pageTitle, PropertyKind::PageTitle, 0, 0));
}

void AddEventColObj(Actor &owner, const char *name, const Vector3 &min, const Vector3 &max) {
    ColObj box(&owner);
    box.name = name;
    box.type = 2; // box
    box.boxMin = min;
    box.boxMax = max;
    box.flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents;
    owner.AddColObj(box);
}
