#include "actors/characters/game_object_actor.h"

#include <algorithm>
#include <cctype>

#include "actors/characters/brain_services.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "actors/presentation/light_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/sound_actor.h"
#include "actors/world/collision.h"
#include "base/random.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/process_entry.h"

namespace {

// Weapon state requests that stand for the item's moves (served by the
// weapon code).
constexpr uint32_t kWeaponRequestShow = 15;
constexpr uint32_t kWeaponRequestInWorld = 14;
constexpr uint32_t kWeaponRequestPutAway = 16;
constexpr uint32_t kWeaponLoaded = 1;
constexpr uint32_t kWeaponNoClip = 12;

constexpr uint32_t kFlagsNotAtStart = kActorStatic | kActorFlag11;
constexpr uint32_t kDropFileVersion = 51;

constexpr float kContainerGuard = 4.0f;
constexpr float kDropGuard = 2.0f;
constexpr float kBombHitGuard = 3.0f;
constexpr float kCopyGuard = 0.5f;
constexpr float kDropSpeed = 160.0f;
constexpr float kDropRaise = 20.0f;
constexpr float kSpinJumpSpeed = 70.0f;
constexpr float kSpinYawFactor = 6.1f;
constexpr float kStuckFadeTime = 5.0f;

// Property commands that store one word or one real.
using WordProperty = FieldCommand<GameObjectFields, uint32_t>;
struct RealProperty {
    uint32_t set;
    uint32_t get;
    float GameObjectFields::*field;
    float floor;
};
constexpr float kNoFloor = -3.4e38f;

const WordProperty kWords[] = {
    {606, 607, &GameObjectFields::droppable},
    {608, 609, &GameObjectFields::animationType},
    {cmd::game_object::SetState, cmd::game_object::GetState, &GameObjectFields::itemState},
    {623, 624, &GameObjectFields::rotateInScene},
    {625, 626, &GameObjectFields::icon1MaterialId},
    {627, 628, &GameObjectFields::icon2MaterialId},
    {629, 630, &GameObjectFields::keyGroups},
    {632, 633, &GameObjectFields::keyDeleteAfterUse},
    {634, 635, &GameObjectFields::triggerContainerId},
    {649, 650, &GameObjectFields::priceId},
    {653, 654, &GameObjectFields::gethitId},
    {655, 656, &GameObjectFields::damageId},
    // Weapon and ammunition words. A Real command of a shared word carries
    // the same four bytes, so the word is moved whole.
    {690, 691, &GameObjectFields::ammoGroups},
    {694, 695, &GameObjectFields::weaponType},
    {700, 701, &GameObjectFields::unlimited}, // preFire1ReverseSpeed
    {702, 703, &GameObjectFields::preFire2TimeOut},
    {710, 711, &GameObjectFields::secondaryType},
    {714, 715, &GameObjectFields::maxBulletsInClip},
    {719, 720, &GameObjectFields::rayExclude}, // weaponFov
    {731, 732, &GameObjectFields::weaponFlags}, // bulletsInClip
    {733, 734, &GameObjectFields::unlimited},
    {735, 736, &GameObjectFields::preFire2TimeOut}, // rayCount
    {737, 738, &GameObjectFields::ammoGroups},
    {739, 740, &GameObjectFields::weaponType}, // hitEffectGroups
    {741, 742, &GameObjectFields::secondaryType}, // rayGroup
    {743, 744, &GameObjectFields::maxBulletsInClip}, // rayReceive
    {745, 746, &GameObjectFields::rayExclude},
};
const RealProperty kReals[] = {
    {610, 611, &GameObjectFields::animationTime, kItemMinAnimationTime},
    {641, 642, &GameObjectFields::lightTime, kItemMinAnimationTime},
    {643, 644, &GameObjectFields::keyTime, kNoFloor},
    {645, 646, &GameObjectFields::bombTimer, kNoFloor},
    {647, 648, &GameObjectFields::price, kNoFloor},
    {651, 652, &GameObjectFields::weight, kNoFloor},
    {657, 658, &GameObjectFields::characterHoldTime, kNoFloor},
    {659, 660, &GameObjectFields::trapSetupMin, kNoFloor},
    {661, 662, &GameObjectFields::trapSetupMax, kNoFloor},
    {663, 664, &GameObjectFields::trapTriggerMin, kNoFloor},
    {665, 666, &GameObjectFields::trapTriggerMax, kNoFloor},
    {667, 668, &GameObjectFields::trapFunctionalDelay, kNoFloor},
    {680, 681, &GameObjectFields::recoil, kNoFloor},
    {682, 683, &GameObjectFields::bulletLoadTime, kNoFloor},
    {684, 685, &GameObjectFields::clipLoadTime, kNoFloor},
    {686, 687, &GameObjectFields::precision, kNoFloor},
    {688, 689, &GameObjectFields::range, kNoFloor},
    {721, 722, &GameObjectFields::recoil, kNoFloor},
    {723, 724, &GameObjectFields::bulletLoadTime, kNoFloor},
    {725, 726, &GameObjectFields::clipLoadTime, kNoFloor},
    {727, 728, &GameObjectFields::precision, kNoFloor},
    {729, 730, &GameObjectFields::range, kNoFloor},
};

bool SamePrefix(const std::string &name, const char *prefix) {
    for (size_t i = 0; i < 3; ++i) {
        if (i >= name.size() || std::tolower(static_cast<unsigned char>(name[i])) !=
                                    std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// The hold time of a character body; 0 for any other actor.
float HoldTimeOf(const Actor *actor) {
    const auto *character = dynamic_cast<const CharacterActor *>(actor);
    return character != nullptr ? character->holdTime : 0.0f;
}

} // namespace

GameObjectActor::GameObjectActor() {
    classId = kGameObjectClassId;
    flags &= ~kFlagsNotAtStart;
}

GameObjectActor::~GameObjectActor() {
    itemState = kItemGone;
    // The front end may be gone already (a level load takes both): an empty
    // slot answers 0.
    ReportState();
}

// --- commands ----------------------------------------------------------------------

int GameObjectActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    const uint32_t word = block.ReadU32(0);
    int result = 0;
    if (ServeWeaponCommand(commandId, block, &result)) {
        return result;
    }
    switch (commandId) {
    case cmd::game_object::SetGameobjectType_602:
        SetItemType(word);
        break;
    case cmd::game_object::GetGameobjectType_603:
        block.WriteU32(0, itemType);
        break;
    case cmd::game_object::SetGameobjectType_604:
        actionMotion = std::string(block.ReadString(0));
        break;
    case cmd::game_object::GetGameobjectType_605:
        block.WriteString(0, actionMotion);
        break;
    case cmd::game_object::SetKeyGroup: {
        // Groups count from 1; a number outside 1..32 names no bit.
        if (word >= 1 && word <= 32) {
            const uint32_t bit = 1u << (word - 1);
            keyGroups = block.ReadU32(4) != 0 ? (keyGroups | bit) : (keyGroups & ~bit);
        }
        break;
    }
    case cmd::game_object::SetStateContainer:
        ToContainer(word);
        break;
    case cmd::game_object::SetStateActivate:
        ToActivate(word, block);
        break;
    case cmd::game_object::SetStateScene:
        ToScene(word, block);
        break;
    case cmd::game_object::SetStateInventory:
        ToInventory(word, block);
        break;
    case cmd::game_object::SetStateHand: {
        uint32_t words[2] = {word, 3};
        HandleCommand(cmd::game_object::SetStateHandC, ParamBlock(words, sizeof(words)));
        break;
    }
    case cmd::game_object::SetStateHandC:
        ToHand(word, block.ReadU32(4), block);
        break;
    case cmd::game_object::SetStatePickup:
        ToPickup(word, block);
        break;
    case cmd::game_object::SetStateHit:
        ToHit(word, block);
        break;
    case cmd::game_object::SetStateDropOnGround:
        ToDropOnGround(word, block);
        break;
    case cmd::game_object::PerformAction:
        PerformAction(word, block);
        break;
    case cmd::base::InitLoad:
        if (itemType == kItemAmmo && GetActorSystem() != nullptr &&
            GetActorSystem()->GetFileVersion() < kDropFileVersion) {
            RayGroup() = 1;
            RayReceive() = 0x4000001;
            rayExclude = 0x40000;
        }
        break;
    case cmd::base::Precalculate:
        Precalculate();
        break;
    case cmd::base::Create: {
        if (auto *source = CreateSource(*this, block)) {
            static_cast<GameObjectFields &>(*this) = *source;
            collisionGuard = kCopyGuard;
            // The copy binds its own children on "Precalculate".
            for (ActorLink *link : ChildSlots()) {
                link->Assign(nullptr);
            }
        }
        break;
    }
    case cmd::game_object::PropertySheetQuery:
        CutPropertySheet(block);
        break;
    case cmd::base::CollisionEvent:
        CollisionEvent(block);
        break;
    default:
        if (!ServeProperty(commandId, block) && !ServeWeaponProperty(commandId, block)) {
            ServeEffectList(commandId, block);
        }
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

bool GameObjectActor::ServeProperty(uint32_t commandId, ParamBlock block) {
    if (ServeFieldCommand(kWords, *this, commandId, block)) {
        return true;
    }
    for (const RealProperty &p : kReals) {
        if (commandId == p.set) {
            // A floored value that is not a number takes the floor.
            this->*p.field = p.floor == kNoFloor ? std::max(block.ReadF32(0), p.floor)
                                                 : AtLeast(block.ReadF32(0), p.floor);
            return true;
        }
        if (commandId == p.get) {
            block.WriteF32(0, this->*p.field);
            return true;
        }
    }
    return false;
}

void GameObjectActor::SetItemType(uint32_t type) {
    itemType = type;
    // Last child first; a child that cannot be deleted ends the sweep.
    while (!children.empty()) {
        if (DeleteActor(children.back()) == 0) {
            break;
        }
    }
    CreateActor(kMeshObjectClassId, "Object", nullptr, this, -1, true);
    CreateActor(kSoundClassId, "Sound", nullptr, this, -1, true);
    if (type == kItemTrap) {
        CreateActor(kMeshObjectClassId, "Trap", nullptr, this, -1, true);
    } else if (type == kItemLight) {
        CreateActor(kLightClassId, "Light", nullptr, this, -1, true);
    }
    ApplyTypeDefaults();
    BindChildren();
}

void GameObjectActor::ApplyTypeDefaults() {
    if (itemType == kItemWeapon) {
        recoil = 1.0f;
        bulletLoadTime = 0.1f;
        clipLoadTime = 1.0f;
        precision = 3.0f;
        range = 50.0f;
        ammoGroups = 1;
        weaponType = 1;          // Semi Auto
        weaponFlags = 0x4 | 0x8; // bullet load after clip load and after fire
        preFire1ReverseSpeed = 1.0f;
        preFire2TimeOut = 0;
        secondaryType = 0;
        maxBulletsInClip = 6;
        weaponFov = 0.0f;
    } else if (itemType == kItemAmmo) {
        recoil = 1.0f;
        bulletLoadTime = 1.0f;
        clipLoadTime = 1.0f;
        precision = 1.0f;
        range = 1.0f;
        BulletsInClip() = 6;
        unlimited = 0;
        RayCount() = 1;
        ammoGroups = 1;
        HitEffectGroups() = 1;
        RayGroup() = 1;
        RayReceive() = 0x4000001;
        rayExclude = 0x40000;
    }
}

std::vector<ActorLink *> GameObjectActor::ChildSlots() {
    std::vector<ActorLink *> slots = {&childObject,     &childTrap,      &childParticle,
                                      &childSound,      &childLight,     &shownChild,
                                      &secondaryWeapon, &flashPos,       &shellExitPos,
                                      &sightPos,        &ammoChild,      &shellTemplate,
                                      &impactTemplate,  &flashChild,     &vapourTrailTemplate};
    for (ActorLink &phase : phases) {
        slots.push_back(&phase);
    }
    return slots;
}

void GameObjectActor::BindChildren() {
    struct Slot {
        const char *prefix;
        ActorLink *link;
    };
    const Slot slots[] = {{"Object", &childObject},
                          {"Trap", &childTrap},
                          {"Particle", &childParticle},
                          {"Sound", &childSound},
                          {"Light", &childLight}};
    for (const Slot &slot : slots) {
        slot.link->Assign(nullptr);
    }
    for (Actor *child : children) {
        for (const Slot &slot : slots) {
            if (child != nullptr && SamePrefix(child->name, slot.prefix)) {
                slot.link->Assign(child);
            }
        }
    }
    BindWeaponChildren();
}

void GameObjectActor::Precalculate() {
    if (drawGroupId == -1) {
        UpdateActorDrawGroup(this);
    }
    BindChildren();
    PrecalculateWeapon();
    EnsureProcessEntry(*this);
    if (simState == nullptr) {
        simState = std::make_unique<SimState>();
    }
}

void GameObjectActor::SetShownChild(Actor *child) {
    SendIfPresent(shownChild.target, cmd::base::ActionStopPre, ParamBlock());
    SendIfPresent(child, cmd::base::ActionStartPre, ParamBlock());
    shownChild.Assign(child);
}

// --- transitions -------------------------------------------------------------------

Actor *GameObjectActor::Owner() const {
    return ownerId < 0 ? nullptr : GetActorById(static_cast<uint32_t>(ownerId));
}

bool GameObjectActor::OwnerIsMaster() const {
    const Actor *owner = Owner();
    return owner != nullptr && owner->HasFlag(kActorMaster);
}

void GameObjectActor::TakeOwner(uint32_t owner) {
    previousOwnerId = ownerId;
    ownerId = static_cast<int32_t>(owner);
}

void GameObjectActor::ReportState() {
    uint32_t words[3] = {static_cast<uint32_t>(actorId), static_cast<uint32_t>(ownerId), itemState};
    SendCommand(kInventoryActorId, cmd::inventory::ItemStateReport,
                ParamBlock(words, sizeof(words)));
}

void GameObjectActor::Replicate(uint32_t commandId, ParamBlock block) {
    if (OwnerIsMaster() && GetActorSystem() != nullptr) {
        GetActorSystem()->NetSendCommand(static_cast<uint32_t>(actorId), commandId, block);
    }
}

void GameObjectActor::SetCollision(bool dynamic, bool nonDynamic, bool enabled) {
    SetDynamicColObjsActive(dynamic);
    SetNonDynamicColObjsActive(nonDynamic);
    flags = enabled ? (flags | kActorCollisionEnabled) : (flags & ~kActorCollisionEnabled);
}

void GameObjectActor::ResetPlacement() {
    position = {0.0f, 0.0f, 0.0f};
    rotation = {0.0f, 0.0f, 0.0f, 1.0f};
    InvalidateTransform();
}

void GameObjectActor::ToChildren(uint32_t commandId, uint32_t word) {
    SendCommandToChildren(this, commandId, ParamBlock(&word, sizeof(word)));
}

void GameObjectActor::ShowObjectHideTrap() {
    SendWord(childObject.target, cmd::base::SetOperational, 1);
    SendWord(childTrap.target, cmd::base::SetOperational, 0);
}

void GameObjectActor::PlaceAt(const Matrix &world) {
    if (parent == nullptr) {
        return;
    }
    parent->UpdateInverseWorldMatrix();
    Matrix local;
    MatrixMultiply(&local, world, parent->inverseWorldMatrix);
    position = {local.m[3][0], local.m[3][1], local.m[3][2]};
    QuaternionFromMatrix(&rotation, local);
    InvalidateTransform();
}

void GameObjectActor::ToContainer(uint32_t owner) {
    TakeOwner(owner);
    itemState = kItemInContainer;
    if (itemType == kItemTrap) {
        SetCollision(false, true, true);
        RemoveActorFromDrawGroup(this, 0);
        drawGroupId = -1;
    } else {
        SetCollision(false, false, false);
    }
    position = {0.0f, 0.0f, 0.0f};
    collisionGuard = kContainerGuard;
    rotation = {0.0f, 0.0f, 0.0f, 1.0f};
    InvalidateTransform();
    ToChildren(cmd::light::SetLightActive, 0);
    ReportState();
}

void GameObjectActor::ToActivate(uint32_t owner, ParamBlock block) {
    TakeOwner(owner);
    itemState = kItemActivate;
    SetCollision(false, false, false);
    if (itemType == kItemTrap) {
        TrapStart();
    } else {
        Replicate(cmd::game_object::SetStateActivate, block);
    }
    position = {0.0f, 0.0f, 0.0f};
    jumpSpeed = kSpinJumpSpeed;
    rotation = {0.0f, 0.0f, 0.0f, 1.0f};
    spinRate = {1.0f / animationTime, kSpinYawFactor / animationTime, 1.0f / animationTime};
    InvalidateTransform();
    activateElapsed = 0.0f;
    ToChildren(cmd::sound::PlaySound, 0);
    ToChildren(cmd::base::SetCurrentTime, 0);
    ToChildren(cmd::light::SetLightActive, 1);
    ReportState();
}

void GameObjectActor::ToScene(uint32_t owner, ParamBlock block) {
    TakeOwner(owner);
    if (itemType == kItemWeapon) {
        SendWord(this, cmd::base::SetCollisionEnable, 1);
    } else {
        SetCollision(true, false, true);
    }
    Replicate(cmd::game_object::SetStateScene, block);
    itemState = kItemInScene;
    if (itemType == kItemThrowObject || itemType == kItemPowerUp) {
        SetNonDynamicColObjsActive(true);
    }
    if (itemType == kItemTrap) {
        ShowObjectHideTrap();
    }
    ToChildren(cmd::light::SetLightActive, 1);
    if (itemType == kItemWeapon) {
        SendWord(this, cmd::game_object::SetWeaponState, kWeaponRequestInWorld);
    }
    ReportState();
}

void GameObjectActor::ToInventory(uint32_t owner, ParamBlock block) {
    TakeOwner(owner);
    SetCollision(false, false, false);
    itemState = kItemInInventory;
    Replicate(cmd::game_object::SetStateInventory, block);
    if (itemType == kItemPowerUp) {
        ApplyTrapHit(Owner(), false);
        ActorSystem::QueueActorForDeletion(this);
    }
    if (itemType == kItemTrap) {
        ShowObjectHideTrap();
    }
    ResetPlacement();
    ToChildren(cmd::light::SetLightActive, 0);
    if (itemType == kItemLight) {
        ToChildren(cmd::sound::StopSound, 0);
    }
    if (Actor *items = FindDescendantByName(Owner(), "Items")) {
        ReparentActor(this, items);
    }
    if (itemType == kItemWeapon) {
        SendWord(this, cmd::game_object::SetWeaponState, kWeaponRequestPutAway);
    }
    ReportState();
}

void GameObjectActor::ToHand(uint32_t owner, uint32_t hand, ParamBlock block) {
    TakeOwner(owner);
    SetCollision(false, false, false);
    Replicate(cmd::game_object::SetStateHand, block);
    Actor *character = Owner();
    if (character != nullptr && hand != 0) {
        const bool left = hand == 1 || (hand == 3 && itemType == kItemLight);
        if (Actor *handActor = FindDescendantByName(character, left ? "LeftHand" : "RightHand")) {
            // What the hand held so far goes back to the inventory.
            uint32_t ownerWord = owner;
            SendCommandToChildren(handActor, cmd::game_object::SetStateInventory,
                                  ParamBlock(&ownerWord, 4));
            ReparentActor(this, handActor);
        }
    }
    ResetPlacement();
    ToChildren(cmd::light::SetLightActive, 1);
    if (itemType == kItemLight) {
        ToChildren(cmd::sound::PlaySound, 0);
    }
    flags &= ~kActorSimulated;
    itemState = kItemInHand;
    if (itemType == kItemWeapon) {
        SendWord(this, cmd::game_object::SetWeaponState, kWeaponRequestShow);
    }
    ReportState();
}

void GameObjectActor::ToPickup(uint32_t owner, ParamBlock block) {
    TakeOwner(owner);
    SetCollision(false, false, false);
    Replicate(cmd::game_object::SetStatePickup, block);
    pickupCountdown = animationTime;
    itemState = kItemPickup;
    flags &= ~kActorSimulated;
    if (itemType != kItemTrap) {
        ToChildren(cmd::sound::PlaySound, 0);
    }
    ToChildren(cmd::base::SetCurrentTime, 0);
    ToChildren(cmd::light::SetLightActive, 1);
    ReportState();
}

void GameObjectActor::ToHit(uint32_t owner, ParamBlock block) {
    TakeOwner(owner);
    itemState = kItemHit;
    Replicate(cmd::game_object::SetStateHit, block);
    SetCollision(false, false, false);
    flags &= ~kActorSimulated;
    if (Actor *character = Owner()) {
        if (itemType == kItemBomb) {
            ApplyTrapHit(character, false);
            itemState = kItemInScene;
            collisionGuard = kBombHitGuard;
        } else {
            const Matrix world = GetWorldMatrix();
            ApplyTrapHit(character, true);
            PlaceAt(world);
            deltaPosition = {0.0f, 0.0f, 0.0f};
            fadeOn = 1;
            fadeTime = kStuckFadeTime;
        }
    }
    ReportState();
}

void GameObjectActor::ToDropOnGround(uint32_t owner, ParamBlock block) {
    const bool weaponReady =
        itemType != kItemWeapon || weaponState == kWeaponLoaded || weaponState == kWeaponNoClip;
    if (droppable == 0 || itemType == kItemThrowObject || itemType == kItemTrigger ||
        !weaponReady || (itemType == kItemBomb && itemState == kItemInInventory)) {
        return;
    }
    TakeOwner(owner);
    deltaPosition = {0.0f, kDropSpeed, 0.0f};
    Actor *character = Owner();
    Actor *hand =
        itemState == kItemInInventory ? FindDescendantByName(character, "RightHand") : nullptr;
    if (hand != nullptr) {
        position = hand->position;
        position.y += kDropRaise;
        const float z = static_cast<float>((Rand() & 127) - 64);
        const float x = static_cast<float>((Rand() & 127) - 64);
        deltaPosition = {x, kDropSpeed, z};
        InvalidateTransform();
    }
    itemState = kItemDropOnGround;
    ReportState();
    uint32_t ownerWord = owner;
    HandleCommand(cmd::game_object::SetStateScene, ParamBlock(&ownerWord, sizeof(ownerWord)));
    HandleCommand(cmd::base::StartSimulate, ParamBlock());
    HandleCommand(cmd::base::QuaternionIdentity, ParamBlock());
    collisionGuard = kDropGuard;
    if (itemType == kItemBomb) {
        ThrowBomb();
    } else {
        Replicate(cmd::game_object::SetStateDropOnGround, block);
    }
}

// --- collisions and update ---------------------------------------------------------

void GameObjectActor::CollisionEvent(ParamBlock block) {
    if (collisionGuard > 0.0f) {
        return;
    }
    auto *otherObject = static_cast<ColObj *>(block.ReadPointer(0));
    auto *ownObject = static_cast<ColObj *>(block.ReadPointer(sizeof(void *)));
    Actor *other = otherObject != nullptr ? otherObject->owner : nullptr;
    if (other == nullptr) {
        return;
    }
    const bool character = other->classId == kCharacterClassId;
    const bool master = other->HasFlag(kActorMaster);
    const bool free = HoldTimeOf(other) <= 0.0f;
    uint32_t otherId = static_cast<uint32_t>(other->actorId);
    const ParamBlock otherBlock(&otherId, sizeof(otherId));
    const bool solidOrDynamic = (otherObject->flags & (kColObjDynamic | kColObjSolid)) != 0;
    const bool inScene = itemState == kItemInScene;

    if (itemType == kItemWeapon) {
        if (character && free) {
            HandleCommand(cmd::game_object::SetStatePickup, otherBlock);
        }
        return;
    }
    if (itemType == kItemBomb && inScene) {
        if (solidOrDynamic && character && master) {
            HandleCommand(cmd::game_object::SetStateHit, otherBlock);
        }
        return;
    }
    if (itemType == kItemThrowObject && inScene && solidOrDynamic) {
        if (character) {
            if (master && other->actorId != ownerId) {
                HandleCommand(cmd::game_object::SetStateHit, otherBlock);
            }
            return;
        }
        // Sticks to what it hit, where it is.
        const Matrix world = GetWorldMatrix();
        if (ReparentActor(this, other) != 0) {
            PlaceAt(world);
        }
        if (ownObject != nullptr) {
            ownObject->flags &= ~(kColObjTakesAllEvents | kColObjTakesEvents | kColObjCausesEvents);
        }
        flags &= ~kActorSimulated;
        deltaPosition = {0.0f, 0.0f, 0.0f};
        fadeTime = kStuckFadeTime;
        fadeOn = 1;
        return;
    }
    if (!character || (otherObject->flags & kColObjDynamic) == 0 || !master) {
        return;
    }
    if (ownObject != nullptr && (ownObject->flags & kColObjDynamic) != 0) {
        if (inScene && itemType != kItemThrowObject && free) {
            HandleCommand(cmd::game_object::SetStatePickup, otherBlock);
        }
    } else if (itemType == kItemPowerUp && inScene) {
        HandleCommand(cmd::game_object::SetStatePickup, otherBlock);
    } else if (itemType == kItemTrap && ownerId != -1 && itemState == kItemInContainer &&
               trapInfoGuard < 0.0f) {
        TrapContact(other, ownObject);
    }
}

void GameObjectActor::Update() {
    if (!IsOperational()) {
        return;
    }
    if (rotateInScene != 0 && itemState == kItemInScene && itemType != kItemWeapon &&
        itemType != kItemThrowObject) {
        RefreshTimeRecord(timeRecord);
        const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;
        Turn(0.0f, 2.0f * dt, 0.0f);
    }
    switch (itemState) {
    case kItemActivate:
    case kItemInScene:
    case kItemInHand:
    case kItemPickup:
        Actor::Update();
        break;
    default:
        // The item's own clock runs on; its children stand still.
        RefreshTimeRecord(timeRecord);
        if (timeRecord != nullptr) {
            currentTime = timeRecord->time;
        }
        break;
    }
}
