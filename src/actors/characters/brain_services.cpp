#include "actors/characters/brain_services.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "actors/characters/ai_helper_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "base/random.h"
#include "core/actors/actor.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"

namespace {

template <class T> int Send(Actor *actor, uint32_t commandId, T value) {
    return actor != nullptr ? actor->HandleCommand(commandId, ParamBlock(&value, sizeof(value)))
                            : 0;
}

int32_t PickByTicket(std::span<const uint32_t> weights, uint64_t ticket) {
    for (size_t i = 0; i < weights.size(); ++i) {
        if (ticket < weights[i]) {
            return static_cast<int32_t>(i);
        }
        ticket -= weights[i];
    }
    return -1;
}

uint64_t WeightSum(std::span<const uint32_t> weights) {
    uint64_t sum = 0;
    for (uint32_t w : weights) {
        sum += w;
    }
    return sum;
}

// The lists of the living LabelListScopes.
std::vector<std::vector<std::string> *> g_labelLists;

} // namespace

LabelListScope::LabelListScope(std::vector<std::string> *list) : list_(list) {
    g_labelLists.push_back(list_);
}

LabelListScope::~LabelListScope() {
    const auto it = std::find(g_labelLists.rbegin(), g_labelLists.rend(), list_);
    if (it != g_labelLists.rend()) {
        g_labelLists.erase(std::next(it).base());
    }
}

float QueryReal(Actor *actor, uint32_t commandId) { return Query(actor, commandId, 0.0f); }

uint32_t QueryWord(Actor *actor, uint32_t commandId) { return Query(actor, commandId, 0u); }

Vector3 QueryPoint(Actor *actor, uint32_t commandId) {
    return Query(actor, commandId, Vector3{0.0f, 0.0f, 0.0f});
}

Actor *FindChildOfClass(Actor *actor, uint32_t classId) {
    if (actor == nullptr) {
        return nullptr;
    }
    for (Actor *child : actor->children) {
        if (child != nullptr && child->classId == classId) {
            return child;
        }
    }
    return nullptr;
}

Actor *ActorAt(int32_t id, int32_t ofClass) {
    if (id < 0) {
        return nullptr;
    }
    Actor *actor = GetActorById(static_cast<uint32_t>(id));
    if (actor == nullptr || (ofClass >= 0 && actor->classId != static_cast<uint32_t>(ofClass))) {
        return nullptr;
    }
    return actor;
}

bool IsAttackMotion(std::string_view name) {
    if (name.size() < 2) {
        return false;
    }
    const std::string_view movement = name.substr(2);
    return movement == "Attack0" || movement == "Attack1" || movement == "Attack2" ||
           movement == "Attack3";
}

float Distance(const Vector3 &a, const Vector3 &b) {
    return Vec3Length({a.x - b.x, a.y - b.y, a.z - b.z});
}

float HorizontalDistance(const Vector3 &a, const Vector3 &b) {
    return Vec3Length({a.x - b.x, 0.0f, a.z - b.z});
}

void SendHitMovements(Actor *victim, uint32_t gethitId, uint32_t damageId) {
    char text[32];
    if (gethitId > 0) {
        std::snprintf(text, sizeof(text), "Gethit%u", gethitId - 1);
        SendText(victim, cmd::character::SetMovement_845, text);
    }
    if (damageId > 0) {
        std::snprintf(text, sizeof(text), "Damage%u", damageId - 1);
        SendText(victim, cmd::character::SetNextMovement, text);
    }
}

void FillIndexedNames(ParamBlock block, std::vector<std::string> &names, const char *format,
                      size_t count) {
    names.clear();
    char text[32];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(text, sizeof(text), format, static_cast<int>(i));
        names.push_back(text);
    }
    // The block's first bytes are compared with the lists that callers hold
    // open, never used as an address themselves.
    const uintptr_t wanted = block.Read<uintptr_t>(0);
    for (std::vector<std::string> *list : g_labelLists) {
        if (reinterpret_cast<uintptr_t>(list) == wanted && list != &names) {
            *list = names;
            return;
        }
    }
}

int32_t FindIndexedName(std::string_view text, const char *format, size_t count) {
    char name[32];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(name, sizeof(name), format, static_cast<int>(i));
        if (text == name) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

int32_t WeightedDraw(std::span<const uint32_t> weights) {
    size_t weighted = 0;
    int32_t only = -1;
    for (size_t i = 0; i < weights.size(); ++i) {
        if (weights[i] != 0) {
            ++weighted;
            only = static_cast<int32_t>(i);
        }
    }
    if (weighted <= 1) {
        return only; // nothing to draw between
    }
    return PickByTicket(weights, static_cast<uint64_t>(Rand()) % WeightSum(weights));
}

int32_t ExpandedPoolDraw(std::span<const uint32_t> weights) {
    const uint64_t sum = WeightSum(weights);
    if (sum == 0) {
        return -1;
    }
    return PickByTicket(weights, static_cast<uint64_t>(Rand()) % sum);
}

void AddTrailSample(std::deque<Vector3> &trail, const Vector3 &point, size_t cap) {
    if (trail.empty()) {
        trail.push_back(point);
    } else if (Distance(trail.back(), point) > 20.0f) {
        trail.push_back(point);
        if (trail.size() > 8) {
            // A loop of the leader: cut back to where it was near this point.
            for (size_t i = 0; i + 4 < trail.size(); ++i) {
                if (Distance(trail[i], point) < 100.0f) {
                    trail.resize(i);
                    break;
                }
            }
        }
    }
    if (trail.size() > cap) {
        trail.pop_front();
    }
}

bool CollectMarkerIds(int32_t drawGroup, std::vector<int32_t> &ids) {
    Actor *group = DrawGroupAt(drawGroup);
    if (group == nullptr) {
        return false;
    }
    std::vector<Actor *> found;
    struct {
        uint32_t collect;
        uint32_t stop;
        std::vector<Actor *> *out;
    } query = {kAIHelperClassId, 0xFFFFFFFFu, &found};
    group->HandleCommand(cmd::base::CollectDescendants, ParamBlock(&query, sizeof(query)));
    ids.clear();
    for (const Actor *marker : found) {
        ids.push_back(marker->actorId);
    }
    return true;
}
