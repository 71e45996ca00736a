// The Game Object actor (class 12): every item of the game (valuables, traps,
// keys, lights, weapons, throw objects, triggers, power-ups, ammunition and
// bombs). One plain record holds the fields of every item type; the type
// picks the ones in use. An item moves between its states only through the
// state commands 614-622, each of which names the character concerned (the
// owner) and is reported to the front-end actor (id 16) with command 557.
// This file pair holds the record, the common commands, the states and the
// collision rules; game_object_effects.cpp the hits, the effect list, traps,
// the item actions and the per-frame work; game_object_sheet.cpp the property
// sheet and the actor-file record; game_object_weapon.cpp the weapon state
// machine, firing and reloading.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// Item types.
enum ItemType : uint32_t {
    kItemValuable = 0,
    kItemTrap = 1,
    kItemKey = 2,
    kItemLight = 3,
    kItemWeapon = 4,
    kItemThrowObject = 5,
    kItemTrigger = 6,
    kItemPowerUp = 7,
    kItemAmmo = 8,
    kItemBomb = 9,
};

// Item states; 8 is reported when the item is destroyed.
enum ItemState : uint32_t {
    kItemInContainer = 0,
    kItemActivate = 1,
    kItemInScene = 2,
    kItemInInventory = 3,
    kItemInHand = 4,
    kItemPickup = 5,
    kItemHit = 6,
    kItemDropOnGround = 7,
    kItemGone = 8,
};

// The state commands (each with the owner's actor id), the action and the
// end of the pick-up.

// The least activation and light time, in seconds.
inline constexpr float kItemMinAnimationTime = 0.01f;

// The item's report to the front-end actor: {u32 item id, u32 owner id,
// u32 state}; not in the command table.
// Ids: cmd::inventory::ItemStateReport, cmd::inventory::GameobjectHitCharacter,
//     cmd::game_object::TrapCollisionInfo.

// Weapon states and requests (692 "Set Weapon State" with a value is a
// request).
namespace weapon {
enum : uint32_t {
    Loaded = 1,
    PreFire1 = 2,
    PreFire1Released = 3,
    PreFire2 = 4,
    Fire = 5,
    EndFire = 6,
    BulletLoaded = 7,
    Pressed = 8,
    Released = 9,
    BulletLoad = 10,
    ClipUnload = 11,
    NoClip = 12,
    ClipLoad = 13,
    InWorld = 14,
    Refresh = 15,
    PutAway = 16,
    Reload = 17,
    Settle = 18,
    ClipLoaded = 19,
};
// weaponFlags bits.
enum : uint32_t {
    FireOnRelease = 1u << 0,
    PreFire1Reverse = 1u << 1,
    BulletLoadAfterClipLoad = 1u << 2,
    BulletLoadAfterFire = 1u << 3,
    PartialClipLoad = 1u << 4,
    ReloadSecondary = 1u << 5,
    FireRequested = 1u << 6,
};
} // namespace weapon

// The cross-hair report to the front-end actor: {u32 1, f32 spread, f32
// kick, u32 material}; the weapon's goodbye 565 carries the weapon.
// Ids: cmd::inventory::Unnamed_563, cmd::game_object::WeaponGone, cmd::game_object::Unnamed_750.
// The unregistered property-sheet query: the block holds a pointer to a copy
// of the class descriptor, which is cut to the item's pages.
// Ids: cmd::game_object::PropertySheetQuery.
// The most effect-list entries an actor file may hold.
inline constexpr uint32_t kItemMaxEffects = 4096;

// A character effect: type t reaches the character as command 940 + t with
// {value, time}.
struct ItemEffect {
    uint32_t type = 0;
    float value = 100.0f;
    float time = 5.0f;

    bool operator==(const ItemEffect &) const = default;
};
// Effect types that name a character command (940-954); other types are kept
// but never sent.
inline constexpr uint32_t kItemEffectTypeCount = 15;

// Every field of an item, by value: "Create" copies it whole.
struct GameObjectFields {
    // Common.
    uint32_t itemType = kItemValuable;
    uint32_t droppable = 0;
    std::string actionMotion;
    uint32_t animationType = 1; // 0 none, 1 Spin, 2 Spin Jump
    float animationTime = 2.0f;
    uint32_t itemState = kItemInContainer;
    uint32_t icon1MaterialId = 4;
    uint32_t icon2MaterialId = 4;
    uint32_t rotateInScene = 1;
    Vector3 spinRate = {0.0f, 0.0f, 0.0f}; // pitch, yaw, roll per second
    float jumpSpeed = 0.0f;
    int32_t ownerId = -1;
    int32_t previousOwnerId = -1;
    float weight = 1.0f;
    float price = 1.0f;
    uint32_t priceId = 0;
    float activateElapsed = 0.0f;
    float pickupCountdown = 0.0f;
    float collisionGuard = 0.0f;
    float actionCooldown = 0.0f;

    // Weapon words; an ammunition reads several of them with other meanings
    // (given after the slash).
    float recoil = 0.0f;
    float bulletLoadTime = 0.0f;
    float clipLoadTime = 0.0f;
    float precision = 0.0f;
    float range = 0.0f;
    uint32_t ammoGroups = 0;
    uint32_t weaponType = 0;  // / hitEffectGroups
    uint32_t weaponFlags = 0; // / bulletsInClip
    union {
        float preFire1ReverseSpeed = 0.0f;
        uint32_t unlimited;
    };
    uint32_t preFire2TimeOut = 0;  // / rayCount
    uint32_t secondaryType = 0;    // / rayGroup
    uint32_t maxBulletsInClip = 0; // / rayReceive
    union {
        float weaponFov = 0.0f;
        uint32_t rayExclude;
    };
    // The ammunition's names for the shared words.
    uint32_t &HitEffectGroups() { return weaponType; }
    uint32_t HitEffectGroups() const { return weaponType; }
    uint32_t &BulletsInClip() { return weaponFlags; }
    uint32_t BulletsInClip() const { return weaponFlags; }
    uint32_t &RayCount() { return preFire2TimeOut; }
    uint32_t RayCount() const { return preFire2TimeOut; }
    uint32_t &RayGroup() { return secondaryType; }
    uint32_t RayGroup() const { return secondaryType; }
    uint32_t &RayReceive() { return maxBulletsInClip; }
    uint32_t RayReceive() const { return maxBulletsInClip; }
    std::string crosshairMaterial;
    uint32_t crosshairMaterialId = 0xFFFFFFFFu;
    float recoilKick = 0.0f;
    uint32_t weaponState = 0;
    uint32_t autoFire = 0;
    uint32_t isSecondary = 0;
    // The serial of the ammunition's script bound to "On Ammo Hit"; 0 none.
    uint32_t ammoHitScript = 0;

    // Traps and hits.
    uint32_t gethitId = 0;
    uint32_t damageId = 0;
    float characterHoldTime = 10.0f;
    float trapSetupMin = 1.0f;
    float trapSetupMax = 2.0f;
    float trapTriggerMin = 1.0f;
    float trapTriggerMax = 2.0f;
    float trapFunctionalDelay = 5.0f;
    float trapInfoGuard = 0.0f;
    std::vector<ItemEffect> effects;
    int32_t selectedEffect = -1;

    // Keys, lights, bombs, triggers and thrown objects.
    uint32_t keyGroups = 0;
    uint32_t keyDeleteAfterUse = 0;
    float keyTime = 0.0f;
    float lightTime = 120.0f;
    float bombTimer = 3.0f;
    float bombElapsed = 0.0f;
    uint32_t bombArmed = 0;
    uint32_t triggerContainerId = 0;
    float fadeTime = 0.0f;
    uint32_t fadeOn = 0;
};

class GameObjectActor : public Actor, public GameObjectFields {
  public:
    GameObjectActor();
    // Reports the item gone (557 with state 8) to the front-end actor.
    ~GameObjectActor() override;

    static void RegisterClass();
    // For each item type the index of its page's first property item; entry
    // 10 is the number of items.
    static const std::array<uint32_t, 11> &PageTable();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;
    void Process() override;
    void Update() override;

    // Stops the phase child shown so far (209) and starts the new one (208);
    // null shows none.
    void SetShownChild(Actor *child);
    // The hit of this item on a character: hit and follow-up motions, hold
    // time and effects, then 550 to the front end; nothing while the
    // character is still held. With `reparent` the item moves under it first.
    void ApplyTrapHit(Actor *character, bool reparent);

    // Children bound on "Precalculate" by the first three letters of their
    // names.
    ActorLink childObject{this};
    ActorLink childTrap{this};
    ActorLink childParticle{this};
    ActorLink childSound{this};
    ActorLink childLight{this};
    // The phase child now shown.
    ActorLink shownChild{this};
    // A weapon's phase children, in phase order.
    enum Phase : uint32_t {
        kPhaseLoaded,
        kPhaseInWorld,
        kPhaseMag,
        kPhasePreFire1,
        kPhaseCancelFire,
        kPhasePreFire2,
        kPhaseFire,
        kPhaseBulletLoad,
        kPhaseClipUnload,
        kPhaseNoClip,
        kPhaseNoClipFire,
        kPhaseClipLoad,
        kPhaseCount,
    };
    std::array<ActorLink, kPhaseCount> phases{ActorLink(this), ActorLink(this), ActorLink(this),
                                              ActorLink(this), ActorLink(this), ActorLink(this),
                                              ActorLink(this), ActorLink(this), ActorLink(this),
                                              ActorLink(this), ActorLink(this), ActorLink(this)};
    ActorLink secondaryWeapon{this};
    ActorLink flashPos{this};
    ActorLink shellExitPos{this};
    ActorLink sightPos{this};
    ActorLink ammoChild{this};
    // An ammunition's templates.
    ActorLink shellTemplate{this};
    ActorLink impactTemplate{this};
    ActorLink flashChild{this};
    ActorLink vapourTrailTemplate{this};

  private:
    // Every child slot, for binding and for "Create".
    std::vector<ActorLink *> ChildSlots();

    // Commands (game_object_actor.cpp).
    bool ServeProperty(uint32_t commandId, ParamBlock block);
    void SetItemType(uint32_t type);
    void ApplyTypeDefaults();
    void BindChildren();
    void Precalculate();
    void CollisionEvent(ParamBlock block);
    Actor *Owner() const;
    bool OwnerIsMaster() const;
    // The start of every transition: the owner moves on.
    void TakeOwner(uint32_t owner);
    // The end of every transition: 557 to the front end.
    void ReportState();
    void Replicate(uint32_t commandId, ParamBlock block);
    void SetCollision(bool dynamic, bool nonDynamic, bool enabled);
    void ResetPlacement();
    void ToChildren(uint32_t commandId, uint32_t word);
    void ShowObjectHideTrap();
    // Keeps the item at the world matrix under its present parent.
    void PlaceAt(const Matrix &world);
    void ToContainer(uint32_t owner);
    void ToActivate(uint32_t owner, ParamBlock block);
    void ToScene(uint32_t owner, ParamBlock block);
    void ToInventory(uint32_t owner, ParamBlock block);
    void ToHand(uint32_t owner, uint32_t hand, ParamBlock block);
    void ToPickup(uint32_t owner, ParamBlock block);
    void ToHit(uint32_t owner, ParamBlock block);
    void ToDropOnGround(uint32_t owner, ParamBlock block);

    // Effects, traps and actions (game_object_effects.cpp).
    bool ServeEffectList(uint32_t commandId, ParamBlock block);
    ItemEffect *SelectedEffect();
    void TrapStart();
    void TrapContact(Actor *character, const ColObj *own);
    void PerformAction(uint32_t owner, ParamBlock block);
    void ThrowBomb();
    void ExplodeBomb();
    void BurnLight(float dt);
    void FadeThrown(float dt);
    void AnimateActivation(float dt);
    void AnimatePickup(float dt);
    void Turn(float pitch, float yaw, float roll);

    // Sheet and record (game_object_sheet.cpp).
    void CutPropertySheet(ParamBlock block) const;
    bool SerializeTypeFields(Archive &archive);

    // Weapons (game_object_weapon.cpp).
    bool ServeWeaponProperty(uint32_t commandId, ParamBlock block);
    // true when the command ends here (211 on a weapon).
    bool ServeWeaponCommand(uint32_t commandId, ParamBlock block, int *result);
    void BindWeaponChildren();
    void PrecalculateWeapon();
    // Serves a state request; 1 when an empty clip ends request 1.
    int WeaponRequest(uint32_t request);
    GameObjectActor *Ammo() const;
    Actor *Carrier() const;
    void ShowPhase(Phase phase);
    void SchedulePhaseEnd(Phase phase, uint32_t request, bool tagged);
    void ScheduleRequest(uint32_t request, float delay, bool tagged);
    void Press();
    void Release();
    void Fire();
    void EjectShell(GameObjectActor &ammo);
    void CastRay(GameObjectActor &ammo, const Matrix &muzzle, const Vector3 &aim, Actor *carrier);
    void PlaceAtHit(Actor *templ, Actor *hitActor, const Vector3 &point, const Vector3 &normal);
    void EndFire();
    void EmptyClip();
    void Reload();
    void ClipLoaded();
    void Settle();
    void Refresh();
    void CrosshairUpdate(ParamBlock block);
    void MovedInTree();
};
