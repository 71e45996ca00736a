// The Trigger actor (class 31): an event sphere that runs its scripts as
// actors enter and leave it. The collision pass tells it every frame which
// actors touch its sphere; its Process turns the change between two frames
// into "On Trigger Enter First", "On Trigger Enter", "On Trigger Exit" and
// "On Trigger Exit Last", each run with the occupant as the script's actor.
// It is subscribed to Process exactly while it tracks occupants.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// The receive groups of a new trigger: the Character bit.
inline constexpr uint32_t kTriggerReceiveGroups = 0x4000000;

// One tracked occupant. The link has the trigger as origin: when the
// occupant goes, the trigger hears of it (245) and drops the entry.
struct TriggerOccupant {
    explicit TriggerOccupant(Actor *trigger) : occupant(trigger) {}
    ActorLink occupant;
    uint32_t touchedNow = 0;
    uint32_t touchedBefore = 0;
};

class TriggerActor : public Actor {
  public:
    TriggerActor() { classId = kTriggerClassId; }

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Process() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    uint32_t OccupantCount() const { return static_cast<uint32_t>(occupants.size()); }

    uint32_t occupied = 0;
    float deactivateTime = 0.0f;
    float delayTime = 0.0f;
    uint32_t spare[2] = {0, 0};
    uint32_t maxCount = 1;
    // In order of arrival; the entries stay put (the occupants' back-links
    // point at their links).
    std::vector<std::unique_ptr<TriggerOccupant>> occupants;

  private:
    void CreateDefaults();
    void CopyTrigger(const TriggerActor &source);
    void Touched(Actor *other);
    void Precalculate();
    void ForgetOccupants();
    void EndSubscription();
    // Runs the commands' carried command on every occupant, in list order.
    void CommandOccupants(ParamBlock block);
};
