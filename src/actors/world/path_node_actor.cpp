#include "actors/world/path_node_actor.h"

#include <cmath>

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

namespace {

constexpr size_t kNearestBlockSize = 20;

} // namespace

PathNodeActor::PathNodeActor() { classId = kPathNodeClassId; }

void PathNodeActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kPathNodeClassId);
    descriptor.lineage = {0, kPathNodeClassId};
    descriptor.items.clear();
    descriptor.items.emplace_back("Path Node Properties", PropertyKind::PageTitle, 0, 0, 0, 0.0f,
                                  0.0f, 1.0f, nullptr);
    descriptor.items.emplace_back("Type:|Reverse|0|Loop|1|Jump Back To Root|2|",
                                  PropertyKind::Enumeration, cmd::path_node::SetPathnodeEndtype,
                                  cmd::path_node::GetPathnodeEndtype, 0, 0.0f, 0.0f, 1.0f, nullptr);
    descriptor.items.emplace_back("Time:", PropertyKind::Time, cmd::path_node::SetPathnodeTime,
                                  cmd::path_node::GetPathnodeTime, 0, 0.0f, 0.0f, 1.0f, nullptr);
    descriptor.items.emplace_back("Rand:", PropertyKind::WholeNumber,
                                  cmd::path_node::SetPathnodeRandweight,
                                  cmd::path_node::GetPathnodeRandweight, 0, 0.0f, 0.0f, 1.0f,
                                  nullptr);
}

void PathNodeActor::SetEndType(uint32_t value) {
    if (value != kPathEndLoop) {
        endType = value;
        return;
    }
    // Only a leaf loops; the nodes above it go back the way they came.
    if (!children.empty()) {
        endType = kPathEndReverse;
        return;
    }
    endType = value;
    Actor *ancestor = parent;
    while (ancestor != nullptr && ancestor->classId == kPathNodeClassId) {
        if (auto *node = dynamic_cast<PathNodeActor *>(ancestor)) {
            node->endType = kPathEndReverse;
        }
        ancestor = ancestor->parent;
    }
    loopTarget = ancestor != nullptr ? ancestor->actorId : -1;
}

void PathNodeActor::NearestNode(ParamBlock block) {
    if (block.size() < kNearestBlockSize) {
        return;
    }
    const Vector3 point = {block.ReadF32(0), block.ReadF32(4), block.ReadF32(8)};
    UpdateWorldMatrix();
    const Vector3 here = GetWorldPosition();
    const float dx = here.x - point.x;
    const float dy = here.y - point.y;
    const float dz = here.z - point.z;
    const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (distance < block.ReadF32(12)) {
        block.WriteF32(12, distance);
        block.WriteU32(16, static_cast<uint32_t>(actorId));
    }
    // A child's handler may change this list: walk a snapshot of ids.
    std::vector<int32_t> ids;
    ids.reserve(children.size());
    for (Actor *child : children) {
        ids.push_back(child != nullptr ? child->actorId : -1);
    }
    for (size_t i = 0; i < ids.size(); ++i) {
        Actor *child = ids[i] >= 0 ? GetActorById(static_cast<uint32_t>(ids[i])) : nullptr;
        if (child != nullptr && child->parent == this) {
            child->HandleCommand(cmd::path_node::NearestPathNode, block);
        }
    }
}

int PathNodeActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::path_node::SetPathnodeTime:
        nodeTime = block.ReadF32(0);
        break;
    case cmd::path_node::GetPathnodeTime:
        block.WriteF32(0, nodeTime);
        break;
    case cmd::path_node::SetPathnodeRandweight:
        randWeight = block.ReadU32(0);
        break;
    case cmd::path_node::GetPathnodeRandweight:
        block.WriteU32(0, randWeight);
        break;
    case cmd::path_node::SetPathnodeEndtype:
        SetEndType(block.ReadU32(0));
        break;
    case cmd::path_node::GetPathnodeEndtype:
        block.WriteU32(0, endType);
        break;
    case cmd::path_node::NearestPathNode:
        NearestNode(block);
        break;
    case cmd::base::Create: {
        Actor *source = block.ReadActor(0);
        if (source != nullptr && source != this && source->classId == kPathNodeClassId) {
            if (auto *node = dynamic_cast<PathNodeActor *>(source)) {
                nodeTime = node->nodeTime;
                randWeight = node->randWeight;
                endType = node->endType;
                loopTarget = node->loopTarget;
            }
        }
        break;
    }
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int PathNodeActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() >= 1) {
        archive.SerializeFloat(&nodeTime);
        archive.SerializeWord(&randWeight);
        archive.SerializeWord(&endType);
        archive.SerializeSpareWords(5);
    }
    return archive.Failed() ? 0 : 1;
}

void PathNodeActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("pathnode time " + DumpNumber(nodeTime) + " weight " +
                    std::to_string(randWeight) + " endtype " + std::to_string(endType));
}
