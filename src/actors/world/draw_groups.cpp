#include "actors/world/draw_groups.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/subsystem_hooks.h"
#include "library/mesh_geometry.h"
#include "library/resource_library.h"

PointerList<Actor> ActiveColliderList;
PointerList<Actor> PassiveColliderList;

namespace {

constexpr uint32_t kColObjTakesAllEvents = 1u << 4;

DrawGroupActor *g_startedHead = nullptr;
DrawGroupActor *g_systemGroups[kSystemDrawGroupCount] = {};

// Groups and connectors destroyed so far: a cast kept from before stays good
// while this does not change, since the object it was made from is alive.
uint64_t g_partsDestroyed = 0;

// The registry entries found to be Draw Groups, each with its cast, made
// while g_groupCastsStamp was the count of destroyed parts.
struct GroupCast {
    const Actor *entry;
    DrawGroupActor *group;
};
std::vector<GroupCast> g_groupCasts;
uint64_t g_groupCastsStamp = 0;

// The connector of the group's k-th connector id, as ConnectorAt finds it,
// cast once for as long as it lives.
DrawGroupConnectorActor *WalkConnector(DrawGroupActor *group, size_t k, uint32_t id) {
    Actor *actor = GetActorById(id);
    if (actor == nullptr || actor->classId != kDrawGroupConnectorClassId) {
        return nullptr;
    }
    auto &casts = group->connectorCasts;
    if (group->connectorCastsStamp != g_partsDestroyed) {
        casts.clear();
        group->connectorCastsStamp = g_partsDestroyed;
    }
    if (k < casts.size() && casts[k].id == id && casts[k].actor == actor) {
        return casts[k].connector;
    }
    auto *connector = dynamic_cast<DrawGroupConnectorActor *>(actor);
    if (connector != nullptr) {
        if (casts.size() <= k) {
            casts.resize(k + 1, {0, nullptr, nullptr});
        }
        casts[k] = {id, actor, connector};
    }
    return connector;
}

// The connector lists the walk goes over, the innermost last. A list is
// read where it lies while it only grows at its end; one replaced whole
// meanwhile ("Create" with a source group) is kept here as it was when its
// loop began, and the loop goes on over that.
struct ConnectorLoop {
    DrawGroupActor *group;
    size_t count; // the ids when the loop began
    bool replaced = false;
    std::vector<uint32_t> asItWas; // filled when the list was replaced

    // The k-th id of the list as it was; false past its end.
    bool At(size_t k, uint32_t *id) const {
        if (replaced) {
            *id = asItWas[k];
            return true;
        }
        if (k >= group->connectorIds.size()) {
            return false;
        }
        *id = group->connectorIds[k];
        return true;
    }
};
std::vector<ConnectorLoop *> g_connectorLoops;

class ConnectorLoopScope {
  public:
    explicit ConnectorLoopScope(ConnectorLoop *loop) { g_connectorLoops.push_back(loop); }
    ~ConnectorLoopScope() { g_connectorLoops.pop_back(); }
    ConnectorLoopScope(const ConnectorLoopScope &) = delete;
    ConnectorLoopScope &operator=(const ConnectorLoopScope &) = delete;
};

// A few ids held where they were copied, more on the heap.
class IdsAsTheyWere {
  public:
    explicit IdsAsTheyWere(const std::vector<uint32_t> &ids) : count_(ids.size()) {
        if (count_ <= few_.size()) {
            std::copy(ids.begin(), ids.end(), few_.begin());
        } else {
            many_ = ids;
        }
    }
    const uint32_t *begin() const { return many_.empty() ? few_.data() : many_.data(); }
    const uint32_t *end() const { return begin() + count_; }

  private:
    size_t count_;
    std::array<uint32_t, 4> few_{};
    std::vector<uint32_t> many_;
};

// The first of the handles that lies in the list.
PointerListNode *FirstIn(const PointerListHandles &handles, const PointerListBase *list) {
    for (PointerListNode *node : handles) {
        if (node->list == list) {
            return node;
        }
    }
    return nullptr;
}

void UnlinkFirstIn(PointerListHandles &handles, PointerListBase &list) {
    list.Unlink(FirstIn(handles, &list));
}

bool StillIn(Actor *actor, const PointerListBase &list) {
    return FirstIn(actor->memberNodes, &list) != nullptr;
}

// Updates the members of the group in list order, each when it is still in
// the world and in the list when its turn comes. The list is held meanwhile,
// so that the walk goes on from a member that left it; members listed on the
// way come after the last one and wait for the next frame.
void UpdateMembers(DrawGroupActor *group) {
    PointerList<Actor> &members = group->members;
    if (members.Empty()) {
        return;
    }
    members.Hold();
    const PointerListNode *last = members.RingLast();
    for (const PointerListNode *node = members.RingFirst();; node = node->next) {
        auto *member = static_cast<Actor *>(node->item);
        if (IsInActorTable(member) && StillIn(member, members)) {
            member->Update();
        }
        if (node == last) {
            break;
        }
    }
    members.Release();
}

void EnterMemberList(Actor *actor, DrawGroupActor *group) {
    // A group updates and tells its members: the group itself, or an actor
    // that holds it, would reach the group again without end.
    for (const Actor *up = group; up != nullptr; up = up->parent) {
        if (up == actor) {
            return;
        }
    }
    group->members.Append(actor, &actor->memberNodes);
    int32_t id = actor->drawGroupId;
    ParamBlock inner(reinterpret_cast<uint8_t *>(&id), sizeof(id));
    for (const auto &ref : SnapshotChildren(actor)) {
        if (Actor *child = ResolveChild(actor, ref)) {
            SendRecursive(child, cmd::base::SetDrawGroup, &inner);
        }
    }
    // An actor updated in the last frame stops drawing when its new group is
    // not started; one that was not starts when it is.
    TimeRecord *record = actor->timeRecord;
    if (record == nullptr) {
        return;
    }
    RefreshTimeRecord(record);
    const bool updatedLastFrame = record->previousTime == actor->currentTime;
    if (updatedLastFrame && group->started == 0) {
        SendRecursive(actor, cmd::base::OnDrawStop, nullptr);
    } else if (!updatedLastFrame && group->started != 0) {
        SendRecursive(actor, cmd::base::OnDrawStart, nullptr);
    }
}

void EnterColliderLists(Actor *actor) {
    ActorSystem *system = GetActorSystem();
    if (!actor->HasFlag(kActorStatic)) {
        // A mover is listed once: a forced second entering (a door's
        // subtree enters both of its groups) leaves it where it is.
        const bool listed = FirstIn(actor->colliderNodes, &ActiveColliderList) != nullptr ||
                            FirstIn(actor->colliderNodes, &PassiveColliderList) != nullptr;
        if (actor->HasFlag(kActorCollisionEnabled) && !listed) {
            bool active = false;
            for (const auto &object : actor->colObjs) {
                if ((object->flags & kColObjActive) != 0 &&
                    (object->flags & (kColObjTakesAllEvents | kColObjDynamic)) != 0) {
                    active = true;
                    break;
                }
            }
            if (active) {
                if (!actor->simState) {
                    actor->simState = std::make_unique<SimState>();
                }
                ActiveColliderList.Append(actor, &actor->colliderNodes);
            } else {
                PassiveColliderList.Append(actor, &actor->colliderNodes);
            }
        }
        SendCommandArgs(actor, cmd::base::CallbackStartMoving);
        return;
    }
    if (system != nullptr) {
        PointerList<ColObj> &list = system->StaticColObjs(static_cast<size_t>(actor->drawGroupId));
        for (const auto &object : actor->colObjs) {
            object->owner = actor;
            // An object is listed at most once: a forced second entering
            // (a door's subtree enters both of its groups) changes nothing.
            if (FirstIn(object->staticNodes, &list) == nullptr) {
                list.Append(object.get(), &object->staticNodes);
            }
        }
    }
    SendCommandArgs(actor, cmd::base::CallbackEndMoving);
}

// World box of a registry entry, asked with a zeroed box-sized block.
bool EntryBox(DrawGroupActor *group, Vector3 *min, Vector3 *max) {
    float box[6] = {};
    group->HandleCommand(cmd::draw_group::GetDrawgroupAABox,
                         ParamBlock(reinterpret_cast<uint8_t *>(box), sizeof(box)));
    *min = {box[0], box[1], box[2]};
    *max = {box[3], box[4], box[5]};
    return true;
}

} // namespace

DrawGroupActor *DrawGroupAt(int64_t id) {
    if (id < 0 || static_cast<uint64_t>(id) >= DrawGroupRegistry.size()) {
        return nullptr;
    }
    const auto index = static_cast<size_t>(id);
    Actor *entry = DrawGroupRegistry[index];
    if (entry == nullptr || entry->classId != kDrawGroupClassId) {
        return nullptr;
    }
    if (g_groupCastsStamp != g_partsDestroyed) {
        g_groupCasts.clear();
        g_groupCastsStamp = g_partsDestroyed;
    }
    if (index < g_groupCasts.size() && g_groupCasts[index].entry == entry) {
        return g_groupCasts[index].group;
    }
    auto *group = dynamic_cast<DrawGroupActor *>(entry);
    if (group != nullptr) {
        if (g_groupCasts.size() <= index) {
            g_groupCasts.resize(index + 1, {nullptr, nullptr});
        }
        g_groupCasts[index] = {entry, group};
    }
    return group;
}

void NoteDrawGroupPartDestroyed() { ++g_partsDestroyed; }

void NoteConnectorListReplaced(DrawGroupActor *group) {
    for (ConnectorLoop *loop : g_connectorLoops) {
        if (loop->group == group && !loop->replaced) {
            const size_t kept = std::min(loop->count, group->connectorIds.size());
            loop->asItWas.assign(group->connectorIds.begin(),
                                 group->connectorIds.begin() + static_cast<std::ptrdiff_t>(kept));
            loop->count = kept;
            loop->replaced = true;
        }
    }
}

DrawGroupConnectorActor *ConnectorAt(uint32_t actorId) {
    Actor *actor = GetActorById(actorId);
    if (actor == nullptr || actor->classId != kDrawGroupConnectorClassId) {
        return nullptr;
    }
    return dynamic_cast<DrawGroupConnectorActor *>(actor);
}

int32_t FindDrawGroupEntryAt(const Vector3 &point, uint32_t first) {
    for (size_t i = first; i < DrawGroupRegistry.size(); ++i) {
        DrawGroupActor *group = DrawGroupAt(static_cast<int64_t>(i));
        if (group == nullptr) {
            continue;
        }
        Vector3 min, max;
        EntryBox(group, &min, &max);
        if (PointInBox(min, max, point) != 0) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

int32_t FindDrawGroupAt(const Vector3 &point, uint32_t first) {
    const int32_t entry = FindDrawGroupEntryAt(point, first);
    const DrawGroupActor *group = DrawGroupAt(entry);
    return group != nullptr ? group->drawGroupId : -1;
}

void EnterDrawGroup(Actor *actor, uint32_t forced) {
    if (actor == nullptr || (actor->HasFlag(kActorInDrawGroup) && forced == 0) ||
        actor->drawGroupId == -1) {
        return;
    }
    DrawGroupActor *group = DrawGroupAt(actor->drawGroupId);
    if (group == nullptr) {
        return;
    }
    actor->flags |= kActorInDrawGroup;
    if (!actor->HasFlag(kActorDrawGroupInherited) && actor->parent != nullptr &&
        !actor->parent->HasFlag(kActorInDrawGroup)) {
        EnterMemberList(actor, group);
    }
    EnterColliderLists(actor);
}

void LeaveDrawGroup(Actor *actor, uint32_t forced) {
    if (actor == nullptr || (!actor->HasFlag(kActorInDrawGroup) && forced == 0) ||
        actor->drawGroupId == -1) {
        return;
    }
    actor->flags &= ~kActorInDrawGroup;
    if (!actor->HasFlag(kActorDrawGroupInherited)) {
        if (DrawGroupActor *group = DrawGroupAt(actor->drawGroupId)) {
            UnlinkFirstIn(actor->memberNodes, group->members);
        }
    }
    if (!actor->HasFlag(kActorStatic)) {
        UnlinkFirstIn(actor->colliderNodes, ActiveColliderList);
        UnlinkFirstIn(actor->colliderNodes, PassiveColliderList);
        return;
    }
    ActorSystem *system = GetActorSystem();
    if (system == nullptr || static_cast<size_t>(actor->drawGroupId) >= system->drawGroupMembers.size()) {
        return;
    }
    PointerList<ColObj> &list = system->StaticColObjs(static_cast<size_t>(actor->drawGroupId));
    for (const auto &object : actor->colObjs) {
        UnlinkFirstIn(object->staticNodes, list);
    }
}

void MoveToDrawGroup(Actor *actor) {
    if (actor == nullptr) {
        return;
    }
    Vector3 position = {0.0f, 0.0f, 0.0f};
    actor->HandleCommand(cmd::base::GetWSPosition,
                         ParamBlock(reinterpret_cast<uint8_t *>(&position), sizeof(position)));
    const int32_t g = FindDrawGroupAt(position, kSystemDrawGroupCount);
    const int32_t old = actor->drawGroupId;
    if (g == old) {
        return;
    }
    if (old != -1) {
        SendCommandArgs(actor, cmd::base::OnExitDrawGroup, static_cast<uint32_t>(old));
    }
    LeaveDrawGroup(actor, 0);
    actor->drawGroupId = g;
    EnterDrawGroup(actor, 0);
    if (g != -1) {
        SendCommandArgs(actor, cmd::base::OnEnterDrawGroup, static_cast<uint32_t>(g));
    } else {
        SendCommandArgs(actor, cmd::base::OnInvalidDrawgroup);
    }
}

uint32_t AreDrawGroupsConnected(int32_t a, int32_t b) {
    if (a == b || a == -1 || b == -1) {
        return 1;
    }
    DrawGroupActor *group = DrawGroupAt(a);
    if (group == nullptr) {
        return 0;
    }
    for (uint32_t id : group->connectorIds) {
        DrawGroupConnectorActor *connector = ConnectorAt(id);
        if (connector != nullptr && connector->Joins() &&
            (static_cast<int32_t>(connector->groupIds[0]) == b ||
             static_cast<int32_t>(connector->groupIds[1]) == b) &&
            connector->isOpen != 0) {
            return 1;
        }
    }
    return 0;
}

void UpdateShapeBounds(Actor *actor) {
    if (actor == nullptr) {
        return;
    }
    for (const auto &objectPtr : actor->colObjs) {
        objectPtr->ChangeShape([actor](ColObj &object) {
            const Matrix &world = actor->GetWorldMatrix();
            switch (object.type) {
            case 1:
                Vec3TransformCoord(&object.worldMin, object.boxMin, world);
                object.worldMax = object.boxMax;
                break;
            case 2:
            case 3:
                object.type = 2;
                BoxTransformBounds(&object.worldMin, &object.worldMax, object.boxMin, object.boxMax,
                                   world);
                break;
            case 7: {
                // The local box holds the sweep's state: min the offset, max
                // (radius, rest threshold, resting flag).
                const Vector3 start = actor->oldWorldPosition;
                object.worldMin = start;
                const Vector3 now = {world.m[3][0], world.m[3][1], world.m[3][2]};
                Vector3 sweep = {now.x - start.x, now.y - start.y, now.z - start.z};
                const float length = Vec3Length(sweep);
                if (length <= object.boxMax.y) {
                    object.boxMax.z = 1.0f;
                    break;
                }
                object.boxMax.z = 0.0f;
                const float r = object.boxMax.x / length;
                object.boxMin = {sweep.x * r, sweep.y * r, sweep.z * r};
                object.worldMax = {sweep.x + object.boxMin.x, sweep.y + object.boxMin.y,
                                   sweep.z + object.boxMin.z};
                break;
            }
            default: {
                AABox box = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};
                if (const MeshItem *mesh = actor->CollisionMesh()) {
                    GetSubsetCollisionExtents(&box, mesh, static_cast<uint32_t>(object.reference));
                }
                BoxTransformBounds(&object.worldMin, &object.worldMax, box.min, box.max, world);
                break;
            }
            }
        });
    }
}

Vector3 WalkCameraPosition() {
    if (const ResourceLibrary *library = GetLibrary()) {
        const float *p = library->GetCameraPosition();
        return {p[0], p[1], p[2]};
    }
    return {0.0f, 0.0f, 0.0f};
}

void TraverseDrawGroupPortals(ActorSystem *system, int32_t index, float step) {
    // The group stays readable while what it draws runs.
    ActorDeliveryScope delivery;
    DrawGroupActor *group = DrawGroupAt(index);
    if (group == nullptr || group->entered != 0) {
        return;
    }
    group->entered = 1;
    group->Draw(step);
    group->visible = 1;
    if (system != nullptr) {
        ++system->visibilityCounters[0];
    }
    if (group->open != 0) {
        // The next group that holds the camera itself: an inheriting one
        // shares its ancestor's id.
        const int32_t next =
            FindDrawGroupEntryAt(WalkCameraPosition(), static_cast<uint32_t>(index) + 1);
        if (next != -1) {
            TraverseDrawGroupPortals(system, next, step);
        }
    }
    // The ids the group held when the loop began.
    ConnectorLoop loop{group, group->connectorIds.size(), false, {}};
    const ConnectorLoopScope scope(&loop);
    uint32_t id = 0;
    for (size_t k = 0; k < loop.count && loop.At(k, &id); ++k) {
        DrawGroupConnectorActor *connector = WalkConnector(group, k, id);
        if (connector == nullptr) {
            continue;
        }
        if (connector->drawn == 0) {
            if (connector->type == kConnectorDoor) {
                if (connector->parent != nullptr) {
                    connector->parent->Draw(step);
                }
            } else {
                connector->Draw(step);
            }
            connector->drawn = 1;
            if (system != nullptr) {
                ++system->visibilityCounters[1];
            }
        }
        if (connector->isOpen != 0) {
            // Those it joins now: what the walk draws behind may join it anew.
            const IdsAsTheyWere ids(connector->groupIds);
            for (uint32_t groupId : ids) {
                DrawGroupActor *behind = DrawGroupAt(groupId);
                if (behind != nullptr && behind->visible == 0) {
                    TraverseDrawGroupPortals(system, static_cast<int32_t>(groupId), step);
                }
            }
        }
    }
}

int DrawVisibleGroups(ActorSystem *system, float step) {
    // Actors deleted by what the walk runs stay readable until it ends.
    ActorDeliveryScope delivery;
    const int32_t start = FindDrawGroupAt(WalkCameraPosition(), kSystemDrawGroupCount);
    Actor *game = GetActorById(kInventoryActorId);
    if (start == -1) {
        if (game != nullptr) {
            game->Update();
        }
        return 0;
    }
    for (size_t i = 0; i < DrawGroupRegistry.size(); ++i) {
        DrawGroupActor *group = DrawGroupAt(static_cast<int64_t>(i));
        if (group == nullptr) {
            continue;
        }
        group->visible = 0;
        group->entered = 0;
        for (size_t k = 0; k < group->connectorIds.size(); ++k) {
            if (DrawGroupConnectorActor *connector =
                    WalkConnector(group, k, group->connectorIds[k])) {
                connector->drawn = 0;
            }
        }
    }
    TraverseDrawGroupPortals(system, start, step);

    for (size_t i = 0; i < DrawGroupRegistry.size(); ++i) {
        DrawGroupActor *group = DrawGroupAt(static_cast<int64_t>(i));
        if (group != nullptr && group->visible != 0) {
            UpdateMembers(group);
        }
    }
    game = GetActorById(kInventoryActorId);
    if (game != nullptr) {
        game->Update();
    }

    // Most frames miss no started group: the list is taken only when one
    // is to hear "On Draw Stop".
    bool missed = false;
    for (DrawGroupActor *g = g_startedHead; g != nullptr && !missed; g = g->startedNext) {
        missed = g->visible == 0;
    }
    if (!missed) {
        return 1;
    }
    std::vector<DrawGroupActor *> startedGroups;
    for (DrawGroupActor *g = g_startedHead; g != nullptr; g = g->startedNext) {
        startedGroups.push_back(g);
    }
    for (DrawGroupActor *group : startedGroups) {
        // A group deleted meanwhile has left the table (the system groups
        // are never in it).
        const bool present = group->actorId < 0 || IsInActorTable(group);
        if (group->startedLinked && group->visible == 0 && present) {
            group->HandleCommand(cmd::base::OnDrawStop, ParamBlock());
        }
    }
    return 1;
}

DrawGroupActor *FirstStartedDrawGroup() { return g_startedHead; }

void LinkStartedDrawGroup(DrawGroupActor *group) {
    if (group == nullptr || group->startedLinked) {
        return;
    }
    group->startedPrev = nullptr;
    group->startedNext = g_startedHead;
    if (g_startedHead != nullptr) {
        g_startedHead->startedPrev = group;
    }
    g_startedHead = group;
    group->startedLinked = true;
}

void UnlinkStartedDrawGroup(DrawGroupActor *group) {
    if (group == nullptr || !group->startedLinked) {
        return;
    }
    if (group->startedPrev != nullptr) {
        group->startedPrev->startedNext = group->startedNext;
    } else {
        g_startedHead = group->startedNext;
    }
    if (group->startedNext != nullptr) {
        group->startedNext->startedPrev = group->startedPrev;
    }
    group->startedNext = group->startedPrev = nullptr;
    group->startedLinked = false;
}

void ResetDrawGroups() {
    while (g_startedHead != nullptr) {
        UnlinkStartedDrawGroup(g_startedHead);
    }
    ActiveColliderList.Clear();
    PassiveColliderList.Clear();
    if (DrawGroupRegistry.size() < kSystemDrawGroupCount) {
        DrawGroupRegistry.resize(kSystemDrawGroupCount, nullptr);
    }
    for (int32_t slot = 0; slot < static_cast<int32_t>(kSystemDrawGroupCount); ++slot) {
        delete g_systemGroups[slot];
        g_systemGroups[slot] = new DrawGroupActor(slot);
    }
}
