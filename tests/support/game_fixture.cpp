#include "game_fixture.h"

#include <algorithm>
#include <array>
#include <utility>

#include "actors/characters/character_services.h"
#include "actors/characters/game_object_actor.h"
#include "actors/world/door_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/spawn_point_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/name_table.h"
#include "library/resource_library.h"
#include "library/skeleton.h"
#include "platform/input.h"
#include "platform/os/window.h"

namespace game {

namespace {

constexpr uint32_t kCmdSetBoxMin = 74;
constexpr uint32_t kCmdSetBoxMax = 76;
constexpr uint32_t kCmdOnAnimationLoop = 267;
constexpr uint32_t kCmdGetMotionVector = 849;
constexpr uint32_t kCmdSetMotionStringList = 1096;
constexpr uint32_t kCmdSetMotion = 1097;
constexpr uint32_t kCmdGetBone = 1120;
constexpr uint32_t kCmdCallbackSkinLooping = 1121;
constexpr uint32_t kCmdCallbackMotionSet = 1122;
constexpr uint32_t kCmdSetCharacterType = 837;
constexpr uint32_t kCmdSetCharacterHealth = 1017;
constexpr uint32_t kCmdIsTransitionPlaying = 1135;
constexpr uint32_t kPathNodeClassId = 26;

template <size_t Id> Actor *NewRecorder() { return new Recorder(Id); }
template <size_t... Ids>
constexpr std::array<ActorConstructor, sizeof...(Ids)> RecorderMakers(std::index_sequence<Ids...>) {
    return {&NewRecorder<Ids>...};
}
constexpr auto kRecorderMakers = RecorderMakers(std::make_index_sequence<54>());

ColObj Sphere(Actor *owner, const char *name, const Vector3 &centre, float radius, uint32_t flags) {
    ColObj object(owner);
    object.name = name;
    object.type = 1;
    object.flags = flags;
    object.boxMin = centre;
    object.boxMax = {radius, radius, radius};
    return object;
}

} // namespace

// --- Recorder -------------------------------------------------------------------

int Recorder::HandleCommand(uint32_t commandId, ParamBlock block) {
    RecordedCommand entry;
    entry.frame = FrameCounter;
    entry.id = commandId;
    if (block.data() != nullptr) {
        entry.block.assign(block.data(), block.data() + block.size());
    }
    log.push_back(std::move(entry));
    auto answer = answers.find(commandId);
    if (answer != answers.end() && block.mutableData() != nullptr &&
        block.size() >= answer->second.size()) {
        std::memcpy(block.mutableData(), answer->second.data(), answer->second.size());
    }
    return Actor::HandleCommand(commandId, block);
}

std::vector<RecordedCommand> Recorder::Of(uint32_t commandId) const {
    std::vector<RecordedCommand> found;
    for (const RecordedCommand &entry : log) {
        if (entry.id == commandId) {
            found.push_back(entry);
        }
    }
    return found;
}

std::vector<uint32_t> Recorder::Ids() const {
    std::vector<uint32_t> ids;
    for (const RecordedCommand &entry : log) {
        if (entry.id != cmd::base::SpyNotice) {
            ids.push_back(entry.id);
        }
    }
    return ids;
}

RecorderClass::RecorderClass(uint32_t classId, ActorConstructor make)
    : classId_(classId), previous_(GetActorClassRow(classId)) {
    ActorClassRow row = previous_;
    row.classId = classId;
    row.construct = make != nullptr ? make : kRecorderMakers[classId % kRecorderMakers.size()];
    SetActorClassRowForTests(classId, row);
}

RecorderClass::~RecorderClass() { SetActorClassRowForTests(classId_, previous_); }

Recorder *MakeFrontEnd() {
    auto *front = dynamic_cast<Recorder *>(
        CreateActor(kFrontEndClassId, "Inventory", nullptr, nullptr, kInventoryActorId, true));
    if (front != nullptr) {
        front->Answer(457, uint32_t{1});
        front->Answer(547, uint32_t{1});
        front->Answer(562, uint32_t{0});
    }
    return front;
}

std::vector<std::pair<int32_t, uint32_t>> ItemStateReports(const Recorder &front, int32_t itemId) {
    std::vector<std::pair<int32_t, uint32_t>> found;
    for (const RecordedCommand &entry : front.Of(cmd::inventory::ItemStateReport)) {
        if (entry.Read<int32_t>(0) == itemId) {
            found.emplace_back(entry.Read<int32_t>(4), entry.Read<uint32_t>(8));
        }
    }
    return found;
}

// --- ScriptedSkin ---------------------------------------------------------------

ScriptedSkin::ScriptedSkin() : Recorder(kSkinClassId) {
    skeleton = new Skeleton();
    for (size_t i = 0; i < kCharacterBoneCount; ++i) {
        auto bone = std::make_unique<Bone>();
        bone->parent = static_cast<int32_t>(i) - 1;
        bone->nameId = GetNameTable().FindOrAdd(BoneNames[i]);
        skeleton->bones.push_back(std::move(bone));
    }
}

ScriptedSkin::~ScriptedSkin() { DestroySkeleton(skeleton); }

Actor *NewScriptedSkin() { return new ScriptedSkin(); }

int ScriptedSkin::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case kCmdSetMotionStringList:
        if (auto *list = static_cast<std::vector<std::string> *>(block.ReadPointer(0))) {
            *list = motions;
        }
        break;
    case kCmdSetMotion: {
        const std::string name(block.ReadString(0));
        if (std::find(motions.begin(), motions.end(), name) == motions.end()) {
            Recorder::HandleCommand(commandId, block);
            return 0;
        }
        if (name == motion) {
            HandleCommand(kCmdOnAnimationLoop, ParamBlock());
        } else {
            motion = name;
            std::string text = name;
            SendIfPresent(parent, kCmdCallbackMotionSet, ParamBlock(text.data(), text.size() + 1));
        }
        Recorder::HandleCommand(commandId, block);
        return 1;
    }
    case kCmdGetMotionVector:
        block.Write(0, motionVector);
        break;
    case kCmdIsTransitionPlaying:
        block.Write(0, transitionPlaying);
        break;
    case kCmdGetBone: {
        const auto *name = static_cast<const char *>(block.ReadPointer(0));
        Bone *bone = nullptr;
        if (name != nullptr && missingBones.count(name) == 0) {
            bone = FindBoneByName(skeleton, name);
        }
        block.WritePointer(sizeof(void *), bone);
        break;
    }
    default:
        break;
    }
    return Recorder::HandleCommand(commandId, block);
}

void ScriptedSkin::SendLooping(uint32_t value) {
    SendIfPresent(parent, kCmdCallbackSkinLooping, ParamBlock(&value, sizeof(value)));
}

// --- ScriptedKeys ---------------------------------------------------------------

ScriptedKeys::ScriptedKeys(scene::SceneRunner &runner) { runner.UseInput(&backend); }

void ScriptedKeys::Key(uint32_t virtualKey, bool down) {
    backend.SetKey(virtualKey, down);
    WindowMessage message;
    message.kind = down ? MessageKind::KeyDown : MessageKind::KeyUp;
    message.virtualKey = virtualKey;
    HandleInputMessage(message);
}

// --- scene parts ------------------------------------------------------------------

Actor *Room(scene::SceneBuilder &builder, const std::string &name, const Vector3 &min,
            const Vector3 &max) {
    Actor *group = builder.Make(kDrawGroupClassId, name);
    SendCommandArgs(group, kCmdSetBoxMin, min);
    SendCommandArgs(group, kCmdSetBoxMax, max);
    return group;
}

namespace {

Actor *SolidBox(Actor *wall, const std::string &name, const Vector3 &min, const Vector3 &max) {
    ColObj box(wall);
    box.name = name;
    box.type = 2;
    box.flags = kColObjActive | kColObjSolid;
    box.boxMin = min;
    box.boxMax = max;
    wall->AddColObj(box);
    return wall;
}

} // namespace

Actor *BoxWall(scene::SceneBuilder &builder, const std::string &name, const Vector3 &min,
               const Vector3 &max, Actor *parent) {
    return SolidBox(builder.Make(0, name, parent), name, min, max);
}

Actor *Door(scene::SceneBuilder &builder, const std::string &name, const Vector3 &min,
            const Vector3 &max, Actor *parent) {
    return SolidBox(builder.Make(kDoorClassId, name, parent), name, min, max);
}

Actor *SpawnPoint(scene::SceneBuilder &builder, const std::string &name, const Vector3 &at,
                  uint32_t type, Actor *parent) {
    Actor *point = builder.Make(kSpawnPointClassId, name, parent);
    SendCommandArgs(point, cmd::base::SetPosition, at);
    SendCommandArgs(point, cmd::spawn_point::SetSpawnpointType, type);
    return point;
}

Actor *PathNode(scene::SceneBuilder &builder, const std::string &name, const Vector3 &at,
                Actor *parent) {
    Actor *node = builder.Make(kPathNodeClassId, name, parent);
    SendCommandArgs(node, cmd::base::SetPosition, at);
    return node;
}

bool AddMaterials(ResourceLibrary &library, uint32_t firstSlot,
                  const std::vector<std::string> &names) {
    std::vector<MaterialItem> materials(names.size());
    LibraryWriter writer;
    for (size_t i = 0; i < materials.size(); ++i) {
        materials[i].name = names[i];
        writer.AddItem(firstSlot + uint32_t(i), materials[i]);
    }
    const std::vector<uint8_t> bytes = writer.WriteToMemory();
    Archive archive;
    archive.OpenMemory(bytes.data(), uint32_t(bytes.size()));
    return !bytes.empty() && library.ReadLibraryArchive(archive, 1, {}) != 0;
}

CharacterActor *MakeCharacter(scene::SceneBuilder &builder, const std::string &name,
                              const Vector3 &at, Actor *parent) {
    auto *character = dynamic_cast<CharacterActor *>(builder.Make(kCharacterClassId, name, parent));
    if (character == nullptr) {
        return nullptr;
    }
    SendCommandArgs(character, cmd::base::SetPosition, at);
    builder.Make(kSkinClassId, "Skin", character);
    for (const char *holder : {"Items", "LeftHand", "RightHand"}) {
        builder.Make(0, holder, character);
    }
    character->AddColObj(Sphere(character, "Chest", {0.0f, 40.0f, 0.0f}, 15.0f,
                                kColObjActive | kColObjCausesEvents | kColObjTakesEvents));
    character->AddColObj(Sphere(character, "Action", {0.0f, 30.0f, 30.0f}, 40.0f,
                                kColObjCausesEvents | kColObjTakesEvents));
    return character;
}

CharacterActor *PlayerLevel(scene::SceneBuilder &builder) {
    Actor *room = Room(builder, "RoomA", {-1000, -100, -1000}, {1000, 400, 1000});
    BoxWall(builder, "Floor", {-900, -20, -900}, {900, 0, 900}, room);
    CharacterActor *character = MakeCharacter(builder, "PlayerCharacter", {0, 0, 0}, room);
    if (character != nullptr) {
        SendCommandArgs(character, kCmdSetCharacterType, kCharacterThirdPerson);
        SendCommandArgs(character, kCmdSetCharacterHealth, 99.0f);
    }
    return character;
}

} // namespace game
