// The Draw Group Connector actor (class 20): a portal, a sphere where two
// Draw Groups meet. After a file is loaded it picks the two smallest groups
// its sphere touches and registers with both; the visibility walk draws it
// and passes through it while it is open. A Door-type connector is the child
// of a door: the walk draws the door, and the door and all below it are
// entered in both groups.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/command_ids.h"

inline constexpr uint32_t kConnectorFree = 0;
inline constexpr uint32_t kConnectorDoor = 1;

class DrawGroupConnectorActor : public Actor {
  public:
    DrawGroupConnectorActor();
    ~DrawGroupConnectorActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override {}
    void Draw(float step) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // True when it joins two groups.
    bool Joins() const { return groupIds.size() >= 2; }
    // The group on the other side from `from` (the first id, or the second
    // when the first is `from`).
    int32_t OtherSide(int32_t from) const;

    float radius = 25.0f;
    std::vector<uint32_t> groupIds;
    uint32_t drawn = 0;
    uint32_t isOpen = 0;
    uint32_t forceOpen = 0;
    uint32_t loadPoint = 0;
    uint32_t type = kConnectorFree;
    uint32_t connectorStarted = 0;

  private:
    void ConnectDrawGroups();
    // Enters the actor into both joined groups (forced), then its subtree
    // through 1252; nothing without two ids or an actor.
    void EnterBothGroups(Actor *actor);
    void AddCollisionRecursive(Actor *actor);
};
