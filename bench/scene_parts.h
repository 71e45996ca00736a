// Pieces the AI, collision and visibility benchmarks build their scenes from.
#pragma once

#include <string>
#include <vector>

#include "actors/characters/character_actor.h"
#include "actors/world/collision.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/draw_groups.h"
#include "app/class_list.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"

namespace benchscene {

// A fresh actor system holding `count` Draw Groups in a row along x (boxes
// of 100, one apart), each joined to the next by an open connector and each
// listing `membersPerGroup` moving plain actors: the visibility benchmarks'
// chain. False when it could not be made.
inline bool GroupChain(int count, int membersPerGroup) {
    InstallEngineClasses();
    if (InitActorSystem() == 0) {
        return false;
    }
    Actor *scenery = GetActorById(kSceneryRootId);
    std::vector<DrawGroupActor *> groups;
    for (int i = 0; i < count; ++i) {
        auto *group = static_cast<DrawGroupActor *>(
            CreateActor(kDrawGroupClassId, "G" + std::to_string(i), nullptr, scenery, -1, false));
        if (group == nullptr) {
            return false;
        }
        const float x = 100.0f * static_cast<float>(i);
        group->boxMin = {x - 50.0f, -50.0f, -50.0f};
        group->boxMax = {x + 50.0f, 50.0f, 50.0f};
        groups.push_back(group);
    }
    for (int i = 0; i + 1 < count; ++i) {
        auto *link = static_cast<DrawGroupConnectorActor *>(CreateActor(
            kDrawGroupConnectorClassId, "L" + std::to_string(i), nullptr, scenery, -1, false));
        if (link == nullptr) {
            return false;
        }
        link->groupIds = {static_cast<uint32_t>(groups[i]->drawGroupId),
                          static_cast<uint32_t>(groups[i + 1]->drawGroupId)};
        link->isOpen = 1;
        for (DrawGroupActor *group : {groups[i], groups[i + 1]}) {
            SendCommandArgs(group, cmd::draw_group::AddDrawgroupConnector,
                            static_cast<uint32_t>(link->actorId));
        }
    }
    for (DrawGroupActor *group : groups) {
        for (int m = 0; m < membersPerGroup; ++m) {
            Actor *member = CreateActor(0, "M", nullptr, scenery, -1, false);
            if (member == nullptr) {
                return false;
            }
            member->flags &= ~kActorStatic;
            member->drawGroupId = group->drawGroupId;
            AddActorToDrawGroup(member, 0);
        }
    }
    return true;
}

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
