#include "actors/characters/game_container_actor.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <span>

#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "actors/characters/game_object_actor.h"
#include "actors/presentation/sound_actor.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/process_entry.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"

namespace {

constexpr uint32_t kFrontEndId = 16;
constexpr uint32_t kNoActor = 0xFFFFFFFFu;
constexpr float kEmptyBox = 1.0e38f;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Game Container Properties", PropertyKind::PageTitle, 0, 0},
    {"Create:|Objec|0|Door|1|Trap Wire Trigger|2|", PropertyKind::Enumeration, cmd::game_container::SetContainerType, cmd::game_container::GetContainerType},
    {"Search Time", PropertyKind::Time, cmd::game_container::SetSearchTime, cmd::game_container::GetSearchTime},
    {"Game Container Trigger Properties", PropertyKind::PageTitle, 0, 0},
    {"Trig On:|Action|0|Collision|1|Sound|2|Weight|2|", PropertyKind::Enumeration, cmd::game_container::SetTriggerType, cmd::game_container::GetTriggerType},
    {"Delete After Activation: ", PropertyKind::CheckBox, cmd::game_container::SetDeleteAfterActivation, cmd::game_container::GetDeleteAfterActivation},
    {"Sound or Weight level needed to trigger...", PropertyKind::Caption, 0, 0},
    {"Trigger Time", PropertyKind::Time, cmd::game_container::SetTriggerTime, cmd::game_container::GetTriggerTime},
    {"Test Container", PropertyKind::Caption, 0, 0},
    {"Listen To Container:|Listen|", PropertyKind::Button, cmd::game_container::ListenToContainer,
     0},
};
// clang-format on

struct ChildRow {
    uint32_t classId;
    const char *name;
};
const ChildRow kObjectChildren[] = {{kMeshObjectClassId, "Object"}, {kSpawnPointClassId, "Spawn"},
                                    {kSoundClassId, "Empty Sound"}, {kSoundClassId, "Item Sound"},
                                    {kSoundClassId, "Trap Sound"}};
const ChildRow kDoorChildren[] = {{kDoorClassId, "Door"}, {kSpawnPointClassId, "Spawn"},
                                  {kSoundClassId, "Empty Sound"}, {kSoundClassId, "Item Sound"},
                                  {kSoundClassId, "Trap Sound"}};
const ChildRow kWireChildren[] = {
    {kMeshObjectClassId, "Trigger"}, {kSpawnPointClassId, "Spawn"}, {kMeshObjectClassId, "Wire"}};
const ChildRow kTriggerChildren[] = {{kMeshObjectClassId, "Trigger"},
                                     {kSpawnPointClassId, "Spawn"}};

std::span<const ChildRow> ChildrenOf(uint32_t kind) {
    switch (kind) {
    case kContainerObject:
        return kObjectChildren;
    case kContainerDoor:
        return kDoorChildren;
    case kContainerTrapWire:
        return kWireChildren;
    case kContainerTrigger:
        return kTriggerChildren;
    default:
        return {};
    }
}

bool StartsWith(const std::string &name, const char *prefix) {
    const size_t n = std::strlen(prefix);
    if (name.size() < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// The item an id names: only a Game Object counts.
GameObjectActor *ItemOf(uint32_t id) {
    return id == kNoActor ? nullptr : dynamic_cast<GameObjectActor *>(GetActorById(id));
}

bool IsMaster(const Actor *actor) { return actor != nullptr && actor->HasFlag(kActorMaster); }

void Play(Actor *sound) {
    if (sound != nullptr) {
        sound->HandleCommand(cmd::sound::PlaySound, ParamBlock());
    }
}

} // namespace

float TrapQuality(float held, float least, float most) {
    if (!(most > least)) {
        return 1.0f;
    }
    return ((held - least) / (most - least) + 1.0f) * 0.5f;
}

GameContainerActor::GameContainerActor() { classId = kGameContainerClassId; }

void GameContainerActor::RegisterClass() {
    RegisterBasicClassSheet(kGameContainerClassId, kSheet);
}

Actor *GameContainerActor::Child(int32_t id) const {
    Actor *actor = id >= 0 ? GetActorById(static_cast<uint32_t>(id)) : nullptr;
    for (const Actor *up = actor != nullptr ? actor->parent : nullptr; up != nullptr;
         up = up->parent) {
        if (up == this) {
            return actor;
        }
    }
    return nullptr;
}

Actor *GameContainerActor::Content() { return FindDescendantByClass(this, kGameObjectClassId); }

// --- building ----------------------------------------------------------------------

void GameContainerActor::Rebuild(uint32_t kind) {
    containerKind = kind;
    DeleteAllChildren(this);
    while (!colObjs.empty()) {
        RemoveColObj(colObjs.size() - 1);
    }
    for (const ChildRow &row : ChildrenOf(kind)) {
        CreateActor(static_cast<int32_t>(row.classId), row.name, nullptr, this, -1, true);
    }
    uint32_t on = 1;
    SendCommandToChildren(this, cmd::base::LockTransform, ParamBlock(&on, sizeof(on)));
    AddEventBox();
    Bind();
}

void GameContainerActor::AddEventBox() {
    AddEventColObj(*this, "Event", {-20.0f, 10.0f, -20.0f}, {20.0f, 60.0f, 20.0f});
}

void GameContainerActor::Bind() {
    auto idOf = [](const Actor *actor) { return actor != nullptr ? actor->actorId : -1; };
    fingerPrintsId = idOf(FindDescendantByName(this, "FingerPrints"));
    spawnId = idOf(FindDescendantByClass(this, kSpawnPointClassId));
    emptySoundId = itemSoundId = trapSoundId = -1;
    for (const Actor *child : children) {
        if (StartsWith(child->name, "Empty")) {
            emptySoundId = child->actorId;
        } else if (StartsWith(child->name, "Item")) {
            itemSoundId = child->actorId;
        } else if (StartsWith(child->name, "Trap")) {
            trapSoundId = child->actorId;
        }
    }
    SendWord(FingerPrints(), cmd::base::SetOperational, 0);
    EnsureProcessEntry(*this);
}

// --- commands ----------------------------------------------------------------------

void GameContainerActor::Publish(uint32_t commandId, ParamBlock block) {
    if (ActorSystem *system = GetActorSystem()) {
        system->NetSendCommand(static_cast<uint32_t>(actorId), commandId, block);
    }
}

int GameContainerActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    const uint32_t word = block.ReadU32(0);
    switch (commandId) {
    case cmd::game_container::SetContainerType:
        Rebuild(word);
        break;
    case cmd::game_container::GetContainerType:
        block.WriteU32(0, containerKind);
        break;
    case cmd::game_container::ListenToContainer:
        this->Listen();
        break;
    case cmd::game_container::SetDeleteAfterActivation:
        deleteAfterActivation = word != 0 ? 1 : 0;
        break;
    case cmd::game_container::GetDeleteAfterActivation:
        block.WriteU32(0, deleteAfterActivation);
        break;
    case cmd::game_container::ActivateContent:
        this->Activate(word);
        break;
    case cmd::game_container::InsertContent:
        this->Insert(word, block.ReadU32(4));
        break;
    case cmd::game_container::CalculateEventBox:
        this->CalculateEventBox();
        break;
    case cmd::game_container::SetSearchTime:
        searchTime = block.ReadF32(0);
        break;
    case cmd::game_container::GetSearchTime:
        block.WriteF32(0, searchTime);
        break;
    case cmd::game_container::SetTriggerType:
        triggerType = word;
        break;
    case cmd::game_container::GetTriggerType:
        block.WriteU32(0, triggerType);
        break;
    case cmd::game_container::SetTriggerTime:
        triggerTime = block.ReadF32(0);
        break;
    case cmd::game_container::GetTriggerTime:
        block.WriteF32(0, triggerTime);
        break;
    case cmd::character::Action:
        return Use(word, block.ReadU32(4), block);
    case cmd::base::Precalculate:
        Bind();
        break;
    case cmd::base::Create:
        if (auto *source = dynamic_cast<GameContainerActor *>(block.ReadActor(0))) {
            // The child ids stay this container's own: "Precalculate" binds
            // them.
            if (source != this) {
                static_cast<GameContainerFields &>(*this) = *source;
            }
        } else {
            SendWord(this, cmd::game_container::SetContainerType, kContainerObject);
        }
        break;
    case cmd::base::CollisionEvent:
        Touch(block);
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int GameContainerActor::Open(ParamBlock block) {
    SendCommandToChildren(this, cmd::door::OpenDoor_768, ParamBlock());
    return Actor::HandleCommand(cmd::character::Action, block);
}

int GameContainerActor::Use(uint32_t actorId, uint32_t itemId, ParamBlock block) {
    Actor *actor = GetActorById(actorId);
    const bool master = IsMaster(actor);
    if (searching != 0) {
        actionHeld = 1;
        return Actor::HandleCommand(cmd::character::Action, block);
    }
    if (trapCountdown < 0.0f) {
        actionHeld = 1;
        GameObjectActor *trap = ItemOf(itemId);
        Actor *spawn = Spawn();
        if (master && trap != nullptr && trap->itemType == kItemTrap && spawn != nullptr &&
            spawn->children.empty()) {
            if (placeRecorded == 0) {
                placeTimer = 0.0f;
                placeMin = trap->trapSetupMin;
                placeMax = trap->trapSetupMax;
                placerId = actorId;
                placedTrapId = static_cast<uint32_t>(trap->actorId);
                placeRecorded = 1;
            }
            placing = 1;
            return 1;
        }
    }
    if (useCountdown >= 0.0f) {
        return Actor::HandleCommand(cmd::character::Action, block);
    }
    touchCountdown = 2.0f;
    useCountdown = 2.0f;
    if (master) {
        Publish(cmd::character::Action, block);
    }
    SendWord(FingerPrints(), cmd::base::SetOperational, 1);
    auto startSearch = [&](uint32_t searcher) {
        if (master) {
            searcherId = searcher;
            searching = 1;
            searchElapsed = 0.0f;
            touchCountdown = 0.2f;
            useCountdown = 0.2f;
        }
        SendCommandToChildren(this, cmd::door::OpenDoor_768, ParamBlock());
        return 1;
    };
    if (Content() != nullptr) {
        if (searchTime == 0.0f) {
            SendWord(this, cmd::game_container::ActivateContent, actorId);
            return Open(block);
        }
        return startSearch(actorId);
    }
    Actor *spawn = Spawn();
    if (GameObjectActor *item = ItemOf(itemId); spawn != nullptr && item != nullptr) {
        ReparentActor(item, spawn);
        SendWord(item, cmd::game_object::SetStateContainer, actorId);
        return Open(block);
    }
    if (searchTime != 0.0f) {
        return startSearch(kNoActor);
    }
    Play(EmptySound());
    return Open(block);
}

void GameContainerActor::Touch(ParamBlock block) {
    const auto *other = static_cast<const ColObj *>(block.ReadPointer(0));
    Actor *owner = other != nullptr ? other->owner : nullptr;
    if (triggerType != kTriggerCollision || !(touchCountdown < 0.0f) || owner == nullptr ||
        owner->classId != kCharacterClassId || (other->flags & kColObjDynamic) == 0 ||
        !IsMaster(owner)) {
        return;
    }
    positionDirty = 1;
    touchCountdown = 0.5f;
    if (Content() != nullptr) {
        SendWord(this, cmd::game_container::ActivateContent, static_cast<uint32_t>(owner->actorId));
        touchCountdown = 4.0f;
    }
}

void GameContainerActor::Activate(uint32_t actorId) {
    Actor *actor = GetActorById(actorId);
    Actor *content = Content();
    if (actor != nullptr && content != nullptr) {
        if (IsMaster(actor)) {
            Publish(cmd::game_container::ActivateContent, ParamBlock(&actorId, sizeof(actorId)));
        }
        SendWord(content, cmd::game_object::SetStateActivate, actorId);
    }
    if (content != nullptr && deleteAfterActivation != 0) {
        ActorSystem::QueueActorForDeletion(this);
    }
}

void GameContainerActor::Insert(uint32_t actorId, uint32_t itemId) {
    GameObjectActor *item = ItemOf(itemId);
    Actor *spawn = Spawn();
    // Without "Spawn" there is nowhere to put it: nothing is inserted.
    if (item == nullptr || item->itemState == kItemInContainer || spawn == nullptr) {
        return;
    }
    if (IsMaster(GetActorById(actorId))) {
        const uint32_t words[2] = {actorId, itemId};
        Publish(cmd::game_container::InsertContent,
                ParamBlock(const_cast<uint32_t *>(words), sizeof(words)));
    }
    SendWord(item, cmd::game_object::SetStateContainer, actorId);
    ReparentActor(item, spawn);
    SendWord(FingerPrints(), cmd::base::SetOperational, 1);
    useCountdown = 2.0f;
    touchCountdown = 2.0f;
}

void GameContainerActor::Listen() {
    const auto *content = dynamic_cast<const GameObjectActor *>(Content());
    if (content == nullptr || content->itemType == 0xFFFFFFFFu) {
        Play(EmptySound());
    } else if (content->itemType == kItemTrap) {
        if (Actor *sound = TrapSound()) {
            float frequency = 1.2f;
            sound->HandleCommand(cmd::sound::SetFrequency,
                                 ParamBlock(&frequency, sizeof(frequency)));
            Play(sound);
        }
    } else {
        Play(ItemSound());
    }
}

void GameContainerActor::CalculateEventBox() {
    if (colObjs.empty()) {
        return;
    }
    Vector3 box[2] = {{kEmptyBox, kEmptyBox, kEmptyBox}, {-kEmptyBox, -kEmptyBox, -kEmptyBox}};
    const ParamBlock boxBlock(box, sizeof(box));
    if (containerKind == kContainerTrapWire) {
        SendIfPresent(FindDescendantByName(this, "Wire"), cmd::base::CalculateAABox, boxBlock);
    } else {
        SendCommandToChildren(this, cmd::base::CalculateAABox, boxBlock);
    }
    // No child gave bounds: the box stays as it is.
    if (box[0].x > box[1].x || box[0].y > box[1].y || box[0].z > box[1].z) {
        return;
    }
    UpdateInverseWorldMatrix();
    Vector3 min, max;
    BoxTransformBounds(&min, &max, box[0], box[1], inverseWorldMatrix);
    colObjs[0]->ChangeShape([&](ColObj &o) {
        o.boxMin = min;
        o.boxMax = max;
    });
}

// --- per frame ---------------------------------------------------------------------

void GameContainerActor::PlaceTrap(float dt) {
    placeTimer += dt;
    const float t = placeTimer;
    if (actionHeld == 0 && t < placeMin) {
        placing = 0;
        placeRecorded = 0;
    } else if (t > placeMax || (actionHeld == 0 && t >= placeMin)) {
        const float q = TrapQuality(t, placeMin, placeMax);
        if (GameObjectActor *trap = ItemOf(placedTrapId)) {
            float hold = q * trap->characterHoldTime;
            ActorSystem *system = GetActorSystem();
            if (system != nullptr) {
                system->NetSendCommand(placedTrapId, cmd::game_object::SetTrapCharacterHoldTime,
                                       ParamBlock(&hold, sizeof(hold)));
            }
            for (uint32_t i = 0; i < trap->effects.size(); ++i) {
                ItemEffect &effect = trap->effects[i];
                effect.value *= q;
                effect.time *= q;
                struct {
                    uint32_t index;
                    float value;
                    float time;
                } entry = {i, effect.value, effect.time};
                if (system != nullptr) {
                    system->NetSendCommand(placedTrapId, cmd::game_object::SetPowerup,
                                           ParamBlock(&entry, sizeof(entry)));
                }
            }
            uint32_t words[2] = {placerId, placedTrapId};
            HandleCommand(cmd::game_container::InsertContent, ParamBlock(words, sizeof(words)));
        }
        placing = 0;
        useCountdown = touchCountdown = trapCountdown = 3.0f;
        placeRecorded = 0;
    }
    if (static_cast<float>(placing) < placeMax) {
        struct {
            uint32_t trap;
            float timer, least, most;
        } progress = {placedTrapId, placeTimer, placeMin, placeMax};
        SendCommand(kFrontEndId, cmd::game_container::TrapProgress,
                    ParamBlock(&progress, sizeof(progress)));
    }
}

void GameContainerActor::Process() {
    if (!IsOperational()) {
        return; // switched off: no countdown, search or trap setting runs
    }
    const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    touchCountdown -= dt;
    useCountdown -= dt;
    trapCountdown -= dt;
    if (placing == 1) {
        PlaceTrap(dt);
    }
    if (searching != 0) {
        searchElapsed += dt;
        if (searchElapsed > searchTime) {
            if (searcherId != kNoActor) {
                SendWord(this, cmd::game_container::ActivateContent, searcherId);
            } else {
                Play(EmptySound());
            }
            searching = 0;
            touchCountdown = 1.0f;
            useCountdown = 1.0f;
        }
        float progress[2] = {searchTime, searchElapsed};
        SendCommand(kFrontEndId, cmd::game_container::SearchProgress,
                    ParamBlock(progress, sizeof(progress)));
        if (actionHeld == 0) {
            searching = 0;
            searchElapsed = 0.0f;
        }
        actionHeld = 0;
    }
    if (positionDirty != 0) {
        if (ActorSystem *system = GetActorSystem()) {
            system->NetSendCommandAlt(static_cast<uint32_t>(actorId), cmd::base::SetPosition,
                                      ParamBlock(&position, sizeof(position)));
        }
        positionDirty = 0;
    }
    actionHeld = 0;
}

// --- actor file ---------------------------------------------------------------------

int GameContainerActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() >= 1) {
        archive.SerializeWord(&containerKind);
        archive.SerializeWord(&contentType);
        archive.SerializeWord(&contentActorId);
        archive.SerializeFloat(&searchTime);
        archive.SerializeSpareWords(1);
    }
    if (archive.Version() >= 4) {
        archive.SerializeWord(&triggerType);
        archive.SerializeFloat(&triggerTime);
        archive.SerializeWord(&deleteAfterActivation);
        archive.SerializeSpareWords(7);
    } else if (!archive.IsWriting()) {
        triggerType = kTriggerAction;
        triggerTime = 0.0f;
        deleteAfterActivation = 0;
    }
    return archive.Failed() ? 0 : 1;
}

void GameContainerActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("gamecontainer kind " + std::to_string(containerKind) + " contenttype " +
                    std::to_string(contentType) + " contentid " +
                    std::to_string(static_cast<int32_t>(contentActorId)) + " search " +
                    DumpNumber(searchTime) + " trigger " + std::to_string(triggerType) +
                    " triggertime " + DumpNumber(triggerTime) + " delete " +
                    std::to_string(deleteAfterActivation));
}
