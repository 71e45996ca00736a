// The Time Instance actor (class 47): a node of the game-time tree. It owns a
// time record with its own multipliers; actors connected to it run on that
// record, so their timers, motions and delayed commands go faster or slower
// with it. The frame's pump runs only the root record, so the Time Instance
// pumps each layer of its record that holds entries through an every-pass
// "timeinstance_process_layer" entry on the record it runs on itself.
// "Global" makes it take over the root record instead. Nothing of it is
// saved: connections and multipliers are made again after each load.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class TimeInstanceActor : public Actor {
  public:
    TimeInstanceActor();
    ~TimeInstanceActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void ScheduledCommandDeleted(ScheduledCommand *entry) override;

    // True while the layer of its own record holds an entry that is not
    // queued for removal.
    bool LayerHoldsLiveEntry(uint32_t layer) const;

    TimeRecord *recordInUse;
    TimeRecord ownRecord;
    // One link per connected actor, in the order connected; origin this.
    std::vector<std::unique_ptr<ActorLink>> connected;
    uint32_t connectedCount = 0;
    uint32_t layerPumped[kScheduleLayerCount] = {0, 0, 0, 0};

  private:
    void Connect(Actor *actor);
    bool Unconnect(Actor *actor);
    void SetGlobal(bool global);
    void NotifyEntryQueued(const ScheduledCommand *entry);
    void ProcessLayer(uint32_t layer);
    void PumpLayer(uint32_t layer);
    bool DropLink(const ActorLink *link);
};
