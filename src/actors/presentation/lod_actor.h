// The LOD actor (class 46, "Lod"): switches between up to four versions of
// an object, its descendants "Lev_1".."Lev_n", by the distance from the
// camera: the first level whose distance lies beyond the camera's is
// started with "Action Start", the level that ran before is stopped with
// "Action Stop". It decides at most once a second of its own time, and at
// once while no level is active.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// The "Level:" selector, served by number: a label "Level <k>" selects
// level k - 1 (answer 4); the get fills a string list.
// Ids: cmd::lod::SetLodLevelLabel, cmd::lod::GetLodLevelLabels.

// "Set Lod Level Count" takes at most this many levels (the sheet offers
// four); a larger count is refused.
inline constexpr uint32_t kMaxLodLevels = 256;

struct LodLevel {
    // The level serves camera distances below this one.
    float distance = 0.0f;
    // Edited and saved; the switch does not use it.
    float fade = 1.0f;
    // The level's actor, held by id and looked up at each use (-1 none).
    int32_t actor = -1;
};

class LodActor : public Actor {
  public:
    LodActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // The actor of level i while it is still below this LOD actor; null
    // otherwise.
    Actor *LevelActor(int32_t index) const;

    std::vector<LodLevel> levels;
    int32_t selectedLevel = -1;
    int32_t activeLevel = -1;
    uint32_t extraWord = 0;
    // Seconds since the last decision; not saved.
    float accumulator = 0.0f;
    // The id of the level actor this LOD started last and has not stopped
    // (-1 none); not saved.
    int32_t startedActor = -1;

  private:
    // The level an index names, or null when it lies outside the levels.
    LodLevel *Level(int32_t index);
    // An actor by id while it is a descendant of this one.
    Actor *OwnDescendant(int32_t id) const;
    void SetLevelCount(uint32_t count);
    void FindLevelActors();
    void Decide();
};
