// The Game Container actor (class 14): a searchable cupboard or box, a door
// or a trap wire in a scene. It builds its own children for its kind (a mesh
// or a Door, the Spawn Point that holds the content, three sounds), owns one
// event box, and holds at most one item under its Spawn child. A character
// uses it with "Action": the container opens, searches for a while and then
// activates its content, takes the item the character offers, or lets the
// character set a trap into it by holding the action.
//
// Its children are kept as actor ids and looked up again on each use (only
// while they are still in its own subtree), so nothing dangles when they are
// deleted or rebuilt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// Container kinds.
inline constexpr uint32_t kContainerObject = 0;
inline constexpr uint32_t kContainerDoor = 1;
inline constexpr uint32_t kContainerTrapWire = 2;
inline constexpr uint32_t kContainerTrigger = 3;

// Trigger types.
inline constexpr uint32_t kTriggerAction = 0;
inline constexpr uint32_t kTriggerCollision = 1;

// The stored settings and run state, by value: "Create" copies it whole.
struct GameContainerFields {
    uint32_t containerKind = kContainerObject;
    uint32_t contentType = 0;
    uint32_t contentActorId = 0xFFFFFFFFu;
    float searchTime = 1.0f;
    uint32_t triggerType = kTriggerAction;
    float triggerTime = 0.0f;
    uint32_t deleteAfterActivation = 0;

    uint32_t searching = 0;
    float searchElapsed = 0.0f;
    uint32_t searcherId = 0;
    float touchCountdown = 0.0f;
    float useCountdown = 1.0f;
    float trapCountdown = 1.0f;
    uint32_t positionDirty = 0;
    uint32_t placing = 0;
    uint32_t placeRecorded = 0;
    float placeTimer = 0.0f;
    float placeMin = 0.0f;
    float placeMax = 0.0f;
    uint32_t placerId = 0;
    uint32_t placedTrapId = 0;
    uint32_t actionHeld = 0;
};

// The trap's quality from the time held and its setup range: 0.5 at the
// least time, 1.0 at the most; 1.0 when the range is empty.
float TrapQuality(float held, float least, float most);

class GameContainerActor : public Actor, public GameContainerFields {
  public:
    GameContainerActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Process() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // The children bound on "Precalculate" (or after a rebuild), looked up
    // again on each use; null when gone or no longer in this subtree.
    Actor *FingerPrints() const { return Child(fingerPrintsId); }
    Actor *Spawn() const { return Child(spawnId); }
    Actor *EmptySound() const { return Child(emptySoundId); }
    Actor *ItemSound() const { return Child(itemSoundId); }
    Actor *TrapSound() const { return Child(trapSoundId); }
    // The first Game Object below the container.
    Actor *Content();

  private:
    Actor *Child(int32_t id) const;
    void Rebuild(uint32_t kind);
    void Bind();
    void AddEventBox();
    int Use(uint32_t actorId, uint32_t itemId, ParamBlock block);
    int Open(ParamBlock block);
    void Touch(ParamBlock block);
    void Activate(uint32_t actorId);
    void Insert(uint32_t actorId, uint32_t itemId);
    void Listen();
    void CalculateEventBox();
    void PlaceTrap(float dt);
    void Publish(uint32_t commandId, ParamBlock block);

    int32_t fingerPrintsId = -1;
    int32_t spawnId = -1;
    int32_t emptySoundId = -1;
    int32_t itemSoundId = -1;
    int32_t trapSoundId = -1;
};
