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

inline constexpr uint32_t kDrawGroupConnectorClassId = 20;

inline constexpr uint32_t kCmdSetConnectorType = 1242;
inline constexpr uint32_t kCmdGetConnectorType = 1243;
inline constexpr uint32_t kCmdReadForceOpen = 1244;  // "Set Force Open Connactor"
inline constexpr uint32_t kCmdWriteForceOpen = 1245; // "Get Force Open Connactor"
inline constexpr uint32_t kCmdSetLoadPoint = 1246;
inline constexpr uint32_t kCmdGetLoadPoint = 1247;
inline constexpr uint32_t kCmdOpenConnector = 1250;
inline constexpr uint32_t kCmdCloseConnector = 1251;
inline constexpr uint32_t kCmdAddCollisionRecursive = 1252;
inline constexpr uint32_t kCmdSetRadius = 475;
inline constexpr uint32_t kCmdGetRadius = 476;

inline constexpr uint32_t kConnectorFree = 0;
inline constexpr uint32_t kConnectorDoor = 1;

class DrawGroupConnectorActor : public Actor {
  public:
    DrawGroupConnectorActor();

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
