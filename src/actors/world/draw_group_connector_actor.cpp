#include "actors/world/draw_group_connector_actor.h"

#include <cstring>

#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/subsystem_hooks.h"

namespace {


// The force flag is written by 1245 and read by 1244.
// clang-format off
const BasicSheetRow kSheet[] = {
    {"Draw Group Connector Properties", PropertyKind::PageTitle, 0, 0},
    {"Radius:", PropertyKind::Real, cmd::base::SetRadius, cmd::base::GetRadius},
    {"Type:|Free|0|Door|1|", PropertyKind::Enumeration, cmd::draw_group_connector::SetConnactorType, cmd::draw_group_connector::GetConnactorType},
    {"Force Open Connector", PropertyKind::CheckBox,
     cmd::draw_group_connector::GetForceOpenConnactor,
     cmd::draw_group_connector::SetForceOpenConnactor},
    {"Load Recources Point", PropertyKind::CheckBox, cmd::draw_group_connector::SetLoadPoint, cmd::draw_group_connector::GetLoadPoint},
};
// clang-format on

} // namespace

DrawGroupConnectorActor::DrawGroupConnectorActor() {
    classId = kDrawGroupConnectorClassId;
    position = {0.0f, 30.0f, 0.0f};
}

DrawGroupConnectorActor::~DrawGroupConnectorActor() { NoteDrawGroupPartDestroyed(); }

void DrawGroupConnectorActor::RegisterClass() {
    RegisterBasicClassSheet(kDrawGroupConnectorClassId, kSheet);
    MarkClassPassingCommandsOn(kDrawGroupConnectorClassId, typeid(DrawGroupConnectorActor));
}

int32_t DrawGroupConnectorActor::OtherSide(int32_t from) const {
    if (groupIds.empty()) {
        return -1;
    }
    if (static_cast<int32_t>(groupIds[0]) == from && groupIds.size() >= 2) {
        return static_cast<int32_t>(groupIds[1]);
    }
    return static_cast<int32_t>(groupIds[0]);
}

// Keeps the two smallest groups its sphere touches; with two held, a smaller
// one replaces the largest held (the first of equal largest ones).
void DrawGroupConnectorActor::ConnectDrawGroups() {
    groupIds.clear();
    for (size_t i = kSystemDrawGroupCount; i < DrawGroupRegistry.size(); ++i) {
        DrawGroupActor *group = DrawGroupAt(static_cast<int64_t>(i));
        if (group == nullptr) {
            continue;
        }
        float box[6] = {};
        group->HandleCommand(cmd::draw_group::GetDrawgroupAABox,
                             ParamBlock(reinterpret_cast<uint8_t *>(box), sizeof(box)));
        const float groupSize = Query<float>(group, cmd::draw_group::GetDrawgroupSize);
        Vector3 centre = {0.0f, 0.0f, 0.0f};
        HandleCommand(cmd::base::GetWSPosition,
                      ParamBlock(reinterpret_cast<uint8_t *>(&centre), sizeof(centre)));
        if (SphereIntersectBox({box[0], box[1], box[2]}, {box[3], box[4], box[5]}, centre, radius,
                               nullptr, nullptr) == 0) {
            continue;
        }
        if (groupIds.size() < 2) {
            groupIds.push_back(static_cast<uint32_t>(group->drawGroupId));
            continue;
        }
        size_t largest = 0;
        float largestSize = -1.0f;
        for (size_t k = 0; k < groupIds.size(); ++k) {
            DrawGroupActor *held = DrawGroupAt(groupIds[k]);
            const float heldSize =
                held != nullptr ? Query<float>(held, cmd::draw_group::GetDrawgroupSize) : 0.0f;
            if (k == 0 || heldSize > largestSize) {
                largest = k;
                largestSize = heldSize;
            }
        }
        if (groupSize < largestSize) {
            groupIds[largest] = static_cast<uint32_t>(group->drawGroupId);
        }
    }
    if (groupIds.size() == 2) {
        for (uint32_t id : std::vector<uint32_t>(groupIds)) {
            if (DrawGroupActor *group = DrawGroupAt(id)) {
                SendCommandArgs(group, cmd::draw_group::AddDrawgroupConnector,
                                static_cast<uint32_t>(actorId));
            }
        }
        return;
    }
    groupIds.assign(2, 0);
}

void DrawGroupConnectorActor::EnterBothGroups(Actor *actor) {
    if (actor == nullptr || groupIds.size() < 2) {
        return;
    }
    const uint32_t first = groupIds[0];
    const uint32_t second = groupIds[1];
    actor->drawGroupId = static_cast<int32_t>(first);
    EnterDrawGroup(actor, 1);
    actor->drawGroupId = static_cast<int32_t>(second);
    EnterDrawGroup(actor, 1);
}

void DrawGroupConnectorActor::AddCollisionRecursive(Actor *actor) {
    if (actor == nullptr || groupIds.size() < 2) {
        return;
    }
    for (const auto &ref : SnapshotChildren(actor)) {
        if (Actor *child = ResolveChild(actor, ref)) {
            EnterBothGroups(child);
            SendCommandArgs(this, cmd::draw_group_connector::AddCollisionRecursive, child);
        }
    }
}

int DrawGroupConnectorActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::draw_group_connector::ConnactorDrawgroups:
        ConnectDrawGroups();
        break;
    case cmd::draw_group_connector::SetConnactorType:
        type = block.ReadU32(0);
        break;
    case cmd::draw_group_connector::GetConnactorType:
        block.WriteU32(0, type);
        break;
    case cmd::draw_group_connector::SetForceOpenConnactor:
        block.WriteU32(0, forceOpen);
        break;
    case cmd::draw_group_connector::GetForceOpenConnactor:
        forceOpen = block.ReadU32(0);
        isOpen = forceOpen;
        break;
    case cmd::draw_group_connector::SetLoadPoint:
        loadPoint = block.ReadU32(0);
        break;
    case cmd::draw_group_connector::GetLoadPoint:
        block.WriteU32(0, loadPoint);
        break;
    case cmd::draw_group_connector::OpenConnactor:
        isOpen = 1;
        break;
    case cmd::draw_group_connector::CloseConnactor:
        if (forceOpen == 0) {
            isOpen = 0;
        }
        break;
    case cmd::draw_group_connector::AddCollisionRecursive:
        AddCollisionRecursive(block.ReadActor(0));
        return 1;
    case cmd::base::Precalculate:
        if (type == kConnectorDoor && parent != nullptr && groupIds.size() >= 2) {
            Actor *door = parent;
            EnterBothGroups(door);
            SendCommandArgs(this, cmd::draw_group_connector::AddCollisionRecursive, door);
        }
        return 1;
    case cmd::base::Create: {
        Actor *source = block.ReadActor(0);
        if (source != nullptr && source != this && source->classId == kDrawGroupConnectorClassId) {
            if (auto *connector = dynamic_cast<DrawGroupConnectorActor *>(source)) {
                radius = connector->radius;
                drawn = connector->drawn;
                isOpen = connector->isOpen;
                forceOpen = connector->forceOpen;
                loadPoint = connector->loadPoint;
                type = connector->type;
                connectorStarted = connector->connectorStarted;
                groupIds.clear(); // found again by 1241
            }
        }
        break;
    }
    case cmd::base::SetRadius:
        radius = block.ReadF32(0);
        break;
    case cmd::base::GetRadius:
        block.Write(0, radius);
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void DrawGroupConnectorActor::Draw(float) {
    if (IsOperational()) {
        Actor::Update();
    }
}

int DrawGroupConnectorActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() != 0) {
        uint32_t word = 0;
        std::memcpy(&word, &radius, sizeof(word));
        archive.SerializeWord(&word);
        std::memcpy(&radius, &word, sizeof(word));
        archive.SerializeWord(&type);
        archive.SerializeWord(&isOpen);
        archive.SerializeWord(&forceOpen);
        archive.SerializeWord(&loadPoint);
    }
    return archive.Failed() ? 0 : 1;
}

void DrawGroupConnectorActor::DumpClassFields(std::vector<std::string> &lines) const {
    std::string line = "connector radius " + DumpNumber(radius) + " type " + std::to_string(type) +
                       " isopen " + std::to_string(isOpen) + " forceopen " +
                       std::to_string(forceOpen) + " loadpoint " + std::to_string(loadPoint) +
                       " groups " + std::to_string(groupIds.size());
    for (uint32_t id : groupIds) {
        line += ' ' + std::to_string(id);
    }
    lines.push_back(line);
}
