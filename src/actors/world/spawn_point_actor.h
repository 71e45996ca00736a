// The Spawn Point actor (class 21): puts copies of template actors into the
// running scene. It holds a weighted list of records, each naming a template
// by path; "Spawn" draws one, copies the template's subtree to the point (or
// to one of its child markers), scattered in a box when asked, and tells the
// copy and the point's scripts. A minimum interval, a total count, per-record
// counts and a percentage of empty draws bound it, and a point may draw from
// another point's list. By its type it is also a placeholder, a player start
// marker, or a warp box that puts the player back onto the point.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

inline constexpr uint32_t kSpawnTypePlaceholder = 0;
inline constexpr uint32_t kSpawnTypePlayerStart = 1;
inline constexpr uint32_t kSpawnTypeSpawn = 2;
inline constexpr uint32_t kSpawnTypeWarp = 3;

struct SpawnRecord {
    std::string name;
    uint32_t reserved = 0;
    std::string objectPath;
    uint32_t weight = 1;
    uint32_t maxCount = 1000000;
    uint32_t count = 0;
    uint32_t recordType = 0;
};

class SpawnPointActor : public Actor {
  public:
    SpawnPointActor() { classId = kSpawnPointClassId; }

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Ready: the interval has passed since the last spawn and the total is
    // not reached (at the time of the refreshed time record).
    bool IsReady();
    // Draws a record of this point's list; its template, or null.
    Actor *ChooseSpawnObject();
    void Spawn();

    uint32_t spawnType = kSpawnTypeSpawn;
    uint32_t useSpawnBox = 0;
    Vector3 spawnBox = {50.0f, 0.0f, 50.0f};
    uint32_t spawnOnStartGame = 0;
    float minSpawnInterval = 0.0f;
    // Until "Precalculate" or a load sets it, the point is ready at once.
    float lastSpawnTime = -std::numeric_limits<float>::infinity();
    uint32_t spawnCounter = 0;
    uint32_t spawnMaxCount = 1000000;
    std::vector<SpawnRecord> records;
    int32_t selectedRecord = 0;
    uint32_t nonSpawnPercent = 0;
    uint32_t reserved = 0xFFFFFFFFu;
    std::string externSpawnPath;
    uint32_t useExternSpawn = 0;

  private:
    SpawnRecord *Selected();
    void SetType(uint32_t type);
    void Warp(ParamBlock block);
};
