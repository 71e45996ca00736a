#include "actors/world/draw_group_actor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/draw_groups.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/base_command_families.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/subsystem_hooks.h"

namespace {

constexpr float kHuge = 1e38f;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Draw Group Properties", PropertyKind::PageTitle, 0, 0},
    {"Show Draw Group Box", PropertyKind::CheckBox, cmd::draw_group::SetShowDrawgroupBox, cmd::draw_group::GetShowDrawgroupBox},
    {"Min:", PropertyKind::Vector, cmd::base::SetBoxMin, cmd::base::GetBoxMin},
    // Both corners carry the label "Min:".
    {"Min:", PropertyKind::Vector, cmd::base::SetBoxMax, cmd::base::GetBoxMax},
    {"Open Draw Group", PropertyKind::CheckBox, cmd::draw_group::SetOpenDrawgroup, cmd::draw_group::GetOpenDrawgroup},
    {"Inherit DrawGroupID", PropertyKind::CheckBox, cmd::draw_group::SetInheritDrawgroupID, cmd::draw_group::GetInheritDrawgroupID},
    {"Calculate Box:|Run|", PropertyKind::Button, cmd::base::CalculateAABox, 0},
};
// clang-format on

ParamBlock BlockOfBytes(void *data, size_t size) {
    return ParamBlock(static_cast<uint8_t *>(data), size);
}

float Diagonal(const Vector3 &min, const Vector3 &max) {
    const Vector3 d = {max.x - min.x, max.y - min.y, max.z - min.z};
    return Vec3Length(d);
}

// The group's entry in the registry; -1 when it holds none.
int32_t RegistryIndex(const Actor *group) {
    const auto at = std::find(DrawGroupRegistry.begin(), DrawGroupRegistry.end(), group);
    return at != DrawGroupRegistry.end() ? static_cast<int32_t>(at - DrawGroupRegistry.begin())
                                         : -1;
}

} // namespace

// --- construction ------------------------------------------------------------------

DrawGroupActor::DrawGroupActor() {
    classId = kDrawGroupClassId;
    drawGroupId = static_cast<int32_t>(DrawGroupRegistry.size());
    DrawGroupRegistry.push_back(this);
}

DrawGroupActor::DrawGroupActor(int32_t systemSlot) {
    classId = kDrawGroupClassId;
    name = "System Draw Group " + std::to_string(systemSlot);
    drawGroupId = systemSlot;
    if (DrawGroupRegistry.size() <= static_cast<size_t>(systemSlot)) {
        DrawGroupRegistry.resize(static_cast<size_t>(systemSlot) + 1, nullptr);
    }
    DrawGroupRegistry[static_cast<size_t>(systemSlot)] = this;
}

DrawGroupActor::~DrawGroupActor() {
    NoteDrawGroupPartDestroyed();
    for (Actor *&entry : DrawGroupRegistry) {
        if (entry == this) {
            entry = nullptr;
        }
    }
    UnlinkStartedDrawGroup(this);
    members.Clear();
}

void DrawGroupActor::RegisterClass() {
    RegisterBasicClassSheet(kDrawGroupClassId, kSheet);
    MarkClassPassingCommandsOn(kDrawGroupClassId, typeid(DrawGroupActor));
}

void DrawGroupActor::CopyGroupFields(const DrawGroupActor &source) {
    boxMin = source.boxMin;
    boxMax = source.boxMax;
    NoteConnectorListReplaced(this);
    connectorIds = source.connectorIds;
    visible = source.visible;
    open = source.open;
    showBox = source.showBox;
    inherit = source.inherit;
    // The members stay this group's own: the copy lists nobody, since no
    // actor holds an entry of it.
    size = source.size;
    resourcesLoaded = source.resourcesLoaded;
    walkMark = source.walkMark;
}

// --- box -------------------------------------------------------------------------------

void DrawGroupActor::WorldBox(Vector3 *min, Vector3 *max) {
    BoxTransformBounds(min, max, boxMin, boxMax, GetWorldMatrix());
}

float DrawGroupActor::BoxDiagonal() const { return Diagonal(boxMin, boxMax); }

void DrawGroupActor::CalculateBox() {
    float box[6] = {kHuge, kHuge, kHuge, -kHuge, -kHuge, -kHuge};
    for (const auto &ref : SnapshotChildren(this)) {
        if (Actor *child = ResolveChild(this, ref)) {
            child->HandleCommand(cmd::base::CalculateAABox, BlockOfBytes(box, sizeof(box)));
        }
    }
    GetWorldMatrix();
    UpdateInverseWorldMatrix();
    BoxTransformBounds(&boxMin, &boxMax, {box[0], box[1], box[2]}, {box[3], box[4], box[5]},
                       inverseWorldMatrix);
}

// --- commands --------------------------------------------------------------------------

DrawGroupActor *DrawGroupActor::ForwardTarget() {
    if (inherit == 0 || drawGroupId == -1) {
        return nullptr;
    }
    DrawGroupActor *target = DrawGroupAt(drawGroupId);
    return target != this ? target : nullptr;
}

int DrawGroupActor::AssignDrawGroupId(ParamBlock block) {
    if (inherit != 0) {
        drawGroupId = -1;
    }
    flags |= kActorDrawGroupInherited;
    const int result = Actor::HandleCommand(cmd::draw_group::GetAssignDrawgroupID, block);
    const float diagonal = BoxDiagonal();
    size += diagonal;
    if (DrawGroupActor *target = ForwardTarget()) {
        target->size += diagonal;
    }
    return result;
}

void DrawGroupActor::StartDrawing() {
    BroadcastInDrawGroup(this, cmd::base::OnDrawStart, ParamBlock());
    started = 1;
    LinkStartedDrawGroup(this);
    const std::vector<uint32_t> ids = connectorIds;
    for (uint32_t id : ids) {
        DrawGroupConnectorActor *connector = ConnectorAt(id);
        if (connector != nullptr && connector->connectorStarted == 0) {
            BroadcastInDrawGroup(connector, cmd::base::OnDrawStart, ParamBlock());
            connector->connectorStarted = 1;
        }
    }
}

void DrawGroupActor::StopDrawing() {
    BroadcastInDrawGroup(this, cmd::base::OnDrawStop, ParamBlock());
    UnlinkStartedDrawGroup(this);
    started = 0;
    const std::vector<uint32_t> ids = connectorIds;
    for (uint32_t id : ids) {
        DrawGroupConnectorActor *connector = ConnectorAt(id);
        if (connector != nullptr && connector->drawn == 0 && connector->connectorStarted != 0) {
            BroadcastInDrawGroup(connector, cmd::base::OnDrawStop, ParamBlock());
            connector->connectorStarted = 0;
        }
    }
}

void DrawGroupActor::CommandNeighbours(ParamBlock block) {
    std::vector<int32_t> reached;
    const std::vector<uint32_t> ids = connectorIds;
    for (uint32_t id : ids) {
        DrawGroupConnectorActor *connector = ConnectorAt(id);
        if (connector == nullptr || !connector->Joins()) {
            continue;
        }
        const int32_t neighbour = connector->OtherSide(drawGroupId);
        if (std::find(reached.begin(), reached.end(), neighbour) != reached.end()) {
            continue;
        }
        reached.push_back(neighbour);
        if (DrawGroupActor *group = DrawGroupAt(neighbour)) {
            ExecuteCommand(group, block.ReadU32(0), block.Sub(4));
        }
    }
}

int DrawGroupActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::draw_group::GetDrawgroupAABox: {
        Vector3 min, max;
        WorldBox(&min, &max);
        block.Write(0, min);
        block.Write(12, max);
        return 1;
    }
    case cmd::draw_group::AddDrawgroupConnector:
        if (inherit == 0) {
            const uint32_t id = block.ReadU32(0);
            if (std::find(connectorIds.begin(), connectorIds.end(), id) == connectorIds.end()) {
                connectorIds.push_back(id);
            }
        } else if (DrawGroupActor *target = ForwardTarget()) {
            target->HandleCommand(commandId, block);
        }
        break;
    case cmd::draw_group::SetShowDrawgroupBox:
        showBox = block.ReadU32(0) != 0 ? 1u : 0u;
        break;
    case cmd::draw_group::GetShowDrawgroupBox:
        block.WriteU32(0, showBox);
        break;
    case cmd::draw_group::SetOpenDrawgroup:
        open = block.ReadU32(0) != 0 ? 1u : 0u;
        break;
    case cmd::draw_group::GetOpenDrawgroup:
        block.WriteU32(0, open);
        break;
    case cmd::draw_group::SetInheritDrawgroupID:
        inherit = block.ReadU32(0) != 0 ? 1u : 0u;
        return 1;
    case cmd::draw_group::GetInheritDrawgroupID:
        block.WriteU32(0, inherit);
        return 1;
    case cmd::draw_group::GetAssignDrawgroupID:
        return AssignDrawGroupId(block);
    case cmd::draw_group::GetDrawgroupSize:
        if (inherit == 0) {
            block.Write(0, size);
        } else if (DrawGroupActor *target = ForwardTarget()) {
            target->HandleCommand(commandId, block);
        }
        break;
    case cmd::draw_group::LoadResourceGroup: {
        if (ActorSystem *system = GetActorSystem()) {
            SendRecursiveEvent(system, cmd::base::OnLoadResourceGroup);
        }
        ::ScheduleCommand(this, cmd::draw_group::I_834, ParamBlock(), 0x1200, 0.001f, 0.0f,
                          0.0f, nullptr, 1);
        break;
    }
    case cmd::draw_group::I_834:
        LoadGroupResources(this);
        if (ActorSystem *system = GetActorSystem()) {
            system->HandleCommand(cmd::actor_system::SkipFrameTime, ParamBlock());
        }
        break;
    case cmd::draw_group::CommandNearDG:
        CommandNeighbours(block);
        break;
    case cmd::base::SetBoxMin:
        boxMin = block.Read<Vector3>(0);
        return 1;
    case cmd::base::SetBoxMax:
        boxMax = block.Read<Vector3>(0);
        return 1;
    case cmd::base::GetBoxMin:
        block.Write(0, boxMin);
        return 1;
    case cmd::base::GetBoxMax:
        block.Write(0, boxMax);
        return 1;
    case cmd::base::CalculateAABox:
        if (block.data() == nullptr) {
            CalculateBox();
            return 1;
        }
        break;
    case cmd::base::Create: {
        Actor *source = block.ReadActor(0);
        if (source != nullptr && source != this && source->classId == kDrawGroupClassId) {
            if (auto *group = dynamic_cast<DrawGroupActor *>(source)) {
                CopyGroupFields(*group);
            }
        }
        break;
    }
    case cmd::base::InitNew:
    case cmd::base::InitCopy: {
        // The base handling clears the id (a copy also took its source's);
        // a group made at run time keeps its registry entry as its id.
        const int result = Actor::HandleCommand(commandId, block);
        drawGroupId = RegistryIndex(this);
        return result;
    }
    case cmd::base::OnDrawStart:
        StartDrawing();
        break;
    case cmd::base::OnDrawStop:
        StopDrawing();
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void DrawGroupActor::Draw(float) {
    if (!IsOperational()) {
        return;
    }
    if (resourcesLoaded == 0) {
        HandleCommand(cmd::draw_group::LoadResourceGroup, ParamBlock());
    }
    if (started == 0) {
        HandleCommand(cmd::base::OnDrawStart, ParamBlock());
    }
    Actor::Update();
}

// --- routes ------------------------------------------------------------------------------

bool DrawGroupActor::ClearWalkMarks(int32_t target, std::vector<Vector3> &route) {
    for (size_t i = 0; i < DrawGroupRegistry.size(); ++i) {
        if (DrawGroupActor *group = DrawGroupAt(static_cast<int64_t>(i))) {
            group->walkMark = 0;
        }
    }
    bool found = false;
    Walk(target, &found, route);
    return found;
}

void DrawGroupActor::Walk(int32_t target, bool *found, std::vector<Vector3> &route) {
    walkMark = 1;
    if (*found) {
        return;
    }
    if (target == drawGroupId) {
        *found = true;
        return;
    }
    const std::vector<uint32_t> ids = connectorIds;
    for (uint32_t id : ids) {
        DrawGroupConnectorActor *connector = ConnectorAt(id);
        if (connector == nullptr) {
            continue;
        }
        const std::vector<uint32_t> groups = connector->groupIds;
        for (uint32_t groupId : groups) {
            DrawGroupActor *group = DrawGroupAt(groupId);
            if (group == nullptr || group->walkMark != 0) {
                continue;
            }
            const size_t length = route.size();
            route.push_back(connector->GetWorldPosition());
            group->Walk(target, found, route);
            if (*found) {
                return;
            }
            route.resize(length);
        }
    }
}

// --- file record and dump ------------------------------------------------------------------

int DrawGroupActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() != 0) {
        archive.SerializeFloat(&boxMin.x);
        archive.SerializeFloat(&boxMin.y);
        archive.SerializeFloat(&boxMin.z);
        archive.SerializeFloat(&boxMax.x);
        archive.SerializeFloat(&boxMax.y);
        archive.SerializeFloat(&boxMax.z);
        archive.SerializeWord(&open);
        archive.SerializeWord(&showBox);
        archive.SerializeWord(&inherit);
        archive.SerializeSpareWords(1);
    }
    return archive.Failed() ? 0 : 1;
}

void DrawGroupActor::DumpClassFields(std::vector<std::string> &lines) const {
    const float box[6] = {boxMin.x, boxMin.y, boxMin.z, boxMax.x, boxMax.y, boxMax.z};
    std::string line = "drawgroup box " + DumpNumbers(box, 6) + " open " + std::to_string(open) +
                       " showbox " + std::to_string(showBox) + " inherit " +
                       std::to_string(inherit) + " id " + std::to_string(drawGroupId) +
                       " size " + DumpNumber(size) + " connectors " +
                       std::to_string(connectorIds.size());
    for (uint32_t id : connectorIds) {
        line += ' ' + std::to_string(id);
    }
    lines.push_back(line);
}

// --- spreading commands ------------------------------------------------------------------------

void BroadcastInDrawGroup(Actor *actor, uint32_t commandId, ParamBlock block) {
    if (actor == nullptr) {
        return;
    }
    for (const auto &ref : SnapshotChildren(actor)) {
        Actor *child = ResolveChild(actor, ref);
        if (child == nullptr) {
            continue;
        }
        if (child->classId == kDrawGroupClassId) {
            auto *nested = dynamic_cast<DrawGroupActor *>(child);
            if (nested != nullptr && nested->inherit == 0) {
                continue;
            }
        }
        child->HandleCommand(commandId, block);
        BroadcastInDrawGroup(child, commandId, block);
    }
    if (actor->classId != kDrawGroupClassId) {
        return;
    }
    auto *group = dynamic_cast<DrawGroupActor *>(actor);
    if (group == nullptr) {
        return;
    }
    std::vector<Actor *> members = group->members.Items();
    if (members.size() > kBroadcastMemberLimit) {
        members.resize(kBroadcastMemberLimit);
    }
    for (Actor *member : members) {
        // Members that left the list or the world meanwhile are skipped.
        bool listed = false;
        if (IsInActorTable(member)) {
            for (PointerListNode *node : member->memberNodes) {
                listed = listed || node->list == &group->members;
            }
        }
        if (listed) {
            SendRecursive(member, commandId, nullptr);
        }
    }
}

void LoadGroupResources(DrawGroupActor *group) {
    if (group == nullptr || group->resourcesLoaded != 0) {
        return;
    }
    group->HandleCommand(cmd::base::LoadResources, ParamBlock());
    BroadcastInDrawGroup(group, cmd::base::LoadResources, ParamBlock());
    group->resourcesLoaded = 1;
    const std::vector<uint32_t> ids = group->connectorIds;
    for (uint32_t id : ids) {
        DrawGroupConnectorActor *connector = ConnectorAt(id);
        if (connector == nullptr || !connector->Joins()) {
            continue;
        }
        if (connector->type == kConnectorDoor && connector->parent != nullptr) {
            Actor *door = connector->parent;
            door->HandleCommand(cmd::base::LoadResources, ParamBlock());
            BroadcastInDrawGroup(door, cmd::base::LoadResources, ParamBlock());
        }
        if (connector->loadPoint == 0) {
            LoadGroupResources(DrawGroupAt(connector->OtherSide(group->drawGroupId)));
        }
    }
}
