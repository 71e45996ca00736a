// Pieces the AI and collision benchmarks build their scenes from.
#pragma once

#include "actors/characters/character_actor.h"
#include "actors/world/collision.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "core/actors/actor_services.h"

namespace benchscene {

// A solid box wall in the group, entered in its static list.
inline Actor *StaticBox(DrawGroupActor *group, const Vector3 &min, const Vector3 &max) {
    Actor *wall = CreateActor(0, "Wall", nullptr, group, -1, false);
    if (wall == nullptr) {
        return nullptr;
    }
    ColObj box(wall);
    box.type = kKindBox;
    box.flags = kColObjActive | kColObjSolid;
    box.groups = 0x10001;
    box.boxMin = min;
    box.boxMax = max;
    wall->AddColObj(box);
    wall->drawGroupId = group->drawGroupId;
    UpdateShapeBounds(wall);
    AddActorToDrawGroup(wall, 0);
    return wall;
}

// A character of full health standing at `at` in the group.
inline CharacterActor *Body(DrawGroupActor *group, const Vector3 &at) {
    auto *character = dynamic_cast<CharacterActor *>(
        CreateActor(static_cast<int32_t>(kCharacterClassId), "C", nullptr, group, -1, false));
    if (character == nullptr) {
        return nullptr;
    }
    character->position = at;
    character->health = 100.0f;
    character->drawGroupId = group->drawGroupId;
    character->InvalidateTransform();
    UpdateShapeBounds(character);
    AddActorToDrawGroup(character, 0);
    return character;
}

}  // namespace benchscene
