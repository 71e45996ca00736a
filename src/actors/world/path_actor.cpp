#include "actors/world/path_actor.h"

#include <cmath>

#include "actors/world/path_node_actor.h"
#include "base/random.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

namespace {

void SendPosition(Actor *actor, const Vector3 &p) {
    float v[3] = {p.x, p.y, p.z};
    actor->HandleCommand(cmd::base::SetPosition, ParamBlock(v, sizeof(v)));
}

// The Path Node children of node with a weight above 0, in child order.
std::vector<PathNodeActor *> Candidates(Actor *node) {
    std::vector<PathNodeActor *> result;
    for (Actor *child : node->children) {
        if (child != nullptr && child->classId == kPathNodeClassId) {
            auto *pathNode = dynamic_cast<PathNodeActor *>(child);
            if (pathNode != nullptr && pathNode->randWeight > 0) {
                result.push_back(pathNode);
            }
        }
    }
    return result;
}

} // namespace

PathActor::PathActor() { classId = kPathClassId; }

void PathActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kPathClassId);
    descriptor.lineage = {0, kPathClassId};
    descriptor.items.clear();
    descriptor.items.emplace_back("Path Properties", PropertyKind::PageTitle, 0, 0, 0, 0.0f, 0.0f,
                                  1.0f, nullptr);
    descriptor.items.emplace_back("Path Properties", PropertyKind::Caption, 0, 0, 0, 0.0f, 0.0f,
                                  1.0f, nullptr);
    descriptor.items.emplace_back("Create:|Circular|0|Tree|2|", PropertyKind::Enumeration,
                                  cmd::path::SetPathPredefined, cmd::path::GetPathPredefined, 0,
                                  0.0f, 0.0f,
                                  1.0f, nullptr);
    descriptor.items.emplace_back("Speed:", PropertyKind::Real, cmd::path::SetPathSpeed,
                                  cmd::path::GetPathSpeed, 0, 0.0f, 0.0f, 1.0f, nullptr);
    descriptor.items.emplace_back("Use Nodetime Pause:", PropertyKind::CheckBox,
                                  cmd::path::SetUseNodetimeForPause,
                                  cmd::path::GetUseNodetimeForPause, 0, 0.0f,
                                  0.0f, 1.0f, nullptr);
    descriptor.items.emplace_back("Time:", PropertyKind::Time, cmd::path_node::SetPathnodeTime,
                                  cmd::path_node::GetPathnodeTime, 0, 0.0f, 0.0f, 1.0f, nullptr);
    descriptor.items.emplace_back("Reset:", PropertyKind::Button, cmd::path::PathReset, 0, 0, 0.0f,
                                  0.0f,
                                  1.0f, nullptr);
}

Actor *PathActor::NodeById(int32_t id) const {
    if (id < 0) {
        return nullptr;
    }
    if (id == actorId) {
        return const_cast<PathActor *>(this);
    }
    Actor *actor = GetActorById(static_cast<uint32_t>(id));
    return actor != nullptr && actor->classId == kPathNodeClassId ? actor : nullptr;
}

Actor *PathActor::Mover() const {
    if (movingObject < 0) {
        return nullptr;
    }
    Actor *actor = GetActorById(static_cast<uint32_t>(movingObject));
    return actor != nullptr && actor->parent == this ? actor : nullptr;
}

Actor *PathActor::StepForward(Actor *node) {
    const std::vector<PathNodeActor *> candidates = Candidates(node);
    if (!candidates.empty()) {
        // The node whose running weight passes the draw: the same pick as a
        // list holding each node once per unit of weight.
        uint64_t total = 0;
        for (PathNodeActor *candidate : candidates) {
            total += candidate->randWeight;
        }
        const uint64_t draw = static_cast<uint64_t>(static_cast<uint32_t>(Rand())) % total;
        uint64_t running = 0;
        for (PathNodeActor *candidate : candidates) {
            running += candidate->randWeight;
            if (draw < running) {
                return candidate;
            }
        }
        return candidates.back();
    }
    if (node == this) {
        // The Path has nothing to head for.
        forward = 1;
        return nullptr;
    }
    forward = 0;
    auto *pathNode = dynamic_cast<PathNodeActor *>(node);
    const uint32_t end = pathNode != nullptr ? pathNode->endType : kPathEndReverse;
    if (end == kPathEndLoop) {
        forward = 1;
        return this;
    }
    if (end == kPathEndJumpBackToRoot) {
        forward = 1;
        fromNode = actorId;
        return StepForward(this);
    }
    return node->parent;
}

Actor *PathActor::StepBackward(Actor *node) {
    if (node == this) {
        forward = 1;
        return StepForward(this);
    }
    if (node->parent == nullptr || node->parent->classId != kPathNodeClassId) {
        forward = 1;
        return this;
    }
    return node->parent;
}

void PathActor::NextNode() {
    Actor *from = NodeById(fromNode);
    Actor *next = nullptr;
    if (from != nullptr) {
        next = forward == 1 ? StepForward(from) : StepBackward(from);
    }
    toNode = next != nullptr ? next->actorId : -1;
    from = NodeById(fromNode);
    if (from == nullptr || next == nullptr) {
        return;
    }
    from->UpdateWorldMatrix();
    next->UpdateWorldMatrix();
    segmentStart = from->GetWorldPosition();
    segmentEnd = next->GetWorldPosition();
    const float dx = segmentStart.x - segmentEnd.x;
    const float dy = segmentStart.y - segmentEnd.y;
    const float dz = segmentStart.z - segmentEnd.z;
    segmentDuration = std::sqrt(dx * dx + dy * dy + dz * dz) / speed;
}

void PathActor::Restart() {
    fromNode = actorId;
    toNode = -1;
    segmentClock = 0.0f;
    NextNode();
}

void PathActor::Preset(uint32_t value) {
    predefined = value;
    DeleteAllChildren(this);
    movingObject = -1;
    fromNode = -1;
    toNode = -1;
    if (value != kPathPresetCircular) {
        return;
    }
    Actor *first = CreateActor(kPathNodeClassId, "Node", nullptr, this, -1, true);
    Actor *second =
        first != nullptr ? CreateActor(kPathNodeClassId, "Node", nullptr, first, -1, true) : nullptr;
    Actor *third = second != nullptr
                       ? CreateActor(kPathNodeClassId, "Node", nullptr, second, -1, true)
                       : nullptr;
    if (first != nullptr) {
        SendPosition(first, {100.0f, 0.0f, 0.0f});
    }
    if (second != nullptr) {
        SendPosition(second, {100.0f, 0.0f, 100.0f});
    }
    if (third != nullptr) {
        SendPosition(third, {0.0f, 0.0f, 100.0f});
        SendCommandArgs(third, cmd::path_node::SetPathnodeEndtype, kPathEndLoop);
    }
    Actor *mover = CreateActor(0, "Moving Object", nullptr, this, -1, true);
    if (mover != nullptr) {
        movingObject = mover->actorId;
        Actor *animation =
            CreateActor(kMatrixAnimationClassId, "Animation", nullptr, mover, -1, true);
        if (animation != nullptr) {
            CreateActor(kMeshObjectClassId, "Object", nullptr, animation, -1, true);
        }
    }
    Restart();
}

void PathActor::Update() {
    if (IsOperational()) {
        RefreshTimeRecord(timeRecord);
        const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;
        const bool paused = pauseLeft > 0.0f;
        if (paused) {
            pauseLeft -= dt;
        } else if (Mover() != nullptr && toNode >= 0) {
            if (NodeById(fromNode) == nullptr || NodeById(toNode) == nullptr) {
                // A node of the segment was deleted: start over from here.
                Restart();
            }
        }
        if (!paused && Mover() != nullptr && toNode >= 0) {
            segmentClock += dt;
            if (segmentClock > segmentDuration && NodeById(toNode) != nullptr) {
                fromNode = toNode;
                NextNode();
                segmentClock = 0.0f;
                Actor *reached = NodeById(fromNode);
                if (useNodeTimePause != 0 && reached != nullptr) {
                    float time = 0.0f;
                    reached->HandleCommand(cmd::path_node::GetPathnodeTime,
                                           ParamBlock(&time, sizeof(time)));
                    pauseLeft = time;
                }
            }
            // A segment of no length (or an unusable speed) is over at once.
            const float f = segmentDuration > 0.0f ? segmentClock / segmentDuration : 1.0f;
            Vector3 p = {segmentStart.x + (segmentEnd.x - segmentStart.x) * f,
                         segmentStart.y + (segmentEnd.y - segmentStart.y) * f,
                         segmentStart.z + (segmentEnd.z - segmentStart.z) * f};
            UpdateWorldMatrix();
            UpdateInverseWorldMatrix();
            Vector3 local;
            Vec3TransformCoord(&local, p, inverseWorldMatrix);
            // The handlers above may have removed the mover.
            if (Actor *mover = Mover()) {
                SendPosition(mover, local);
            }
        }
    }
    Actor::Update();
}

int PathActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::path::SetPathSpeed: {
        const float value = block.ReadF32(0);
        speed = value == 0.0f ? 1.0f : value;
        break;
    }
    case cmd::path::GetPathSpeed:
        block.WriteF32(0, speed);
        break;
    case cmd::path::SetUseNodetimeForPause:
        useNodeTimePause = block.ReadU32(0);
        break;
    case cmd::path::GetUseNodetimeForPause:
        block.WriteU32(0, useNodeTimePause);
        break;
    case cmd::path::SetPathPredefined:
        Preset(block.ReadU32(0));
        break;
    case cmd::path::GetPathPredefined:
        block.WriteU32(0, predefined);
        break;
    case cmd::path::PathReset:
        Restart();
        break;
    case cmd::path_node::SetPathnodeTime:
        rootTime = block.ReadF32(0);
        break;
    case cmd::path_node::GetPathnodeTime:
        block.WriteF32(0, rootTime);
        break;
    case cmd::base::Precalculate:
        for (Actor *child : children) {
            if (child != nullptr && child->classId != kPathNodeClassId) {
                movingObject = child->actorId;
                break;
            }
        }
        Restart();
        break;
    case cmd::base::Create: {
        Actor *source = block.ReadActor(0);
        if (source != nullptr && source != this && source->classId == kPathClassId) {
            if (auto *path = dynamic_cast<PathActor *>(source)) {
                // The template's mover and nodes stay its own; this copy's
                // "Precalculate" finds those below it.
                movingObject = -1;
                fromNode = -1;
                toNode = -1;
                segmentStart = path->segmentStart;
                segmentEnd = path->segmentEnd;
                segmentDuration = path->segmentDuration;
                speed = path->speed;
                rootTime = path->rootTime;
                useNodeTimePause = path->useNodeTimePause;
                pauseLeft = path->pauseLeft;
                forward = path->forward;
                predefined = path->predefined;
                segmentClock = path->segmentClock;
            }
        }
        break;
    }
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int PathActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() >= 1) {
        archive.SerializeFloat(&speed);
        archive.SerializeWord(&useNodeTimePause);
        archive.SerializeFloat(&rootTime);
        archive.SerializeSpareWords(5);
    }
    return archive.Failed() ? 0 : 1;
}

void PathActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("path speed " + DumpNumber(speed) + " pause " +
                    std::to_string(useNodeTimePause) + " time " + DumpNumber(rootTime));
}
