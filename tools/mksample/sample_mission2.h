// Mission 2, "Mission_02_Release.qva": the brick-walled yard "Hall" under
// the open sky, cut in two by a wall with a gap at its east end. The player
// starts in the south half beside the Companion (an AI Player that follows
// once the player's "Action" touches it); the Lookout (an AI Player 2 with
// its shelters) watches the gap; the exit lies in the north half's
// west end and reports index 25 completed, which plays the end film at once
// (no save offer) and loads the end, "Mission_26_Release.qva", the mission
// that shows no head-up display: the player faces a curtain
// reading "THE END", and 8 s later the title comes back ("Title.qva" over
// the empty scene "TitleStage.qva").
#pragma once

#include <cstdint>

class SampleOutput;

inline constexpr int32_t kFirstMission2Id = 4500;
inline constexpr int32_t kFirstGameEndId = 4800;
inline constexpr float kMission2Half = 800.0f;

bool WriteMission2(SampleOutput &out);
// The end scene and the title's empty scene.
bool WriteGameEnd(SampleOutput &out);
