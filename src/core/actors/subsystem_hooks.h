// What the engine core needs of the actor subsystems above it (the world
// structure, the presentation actors, the characters), and the registries
// they share with it. The core owns the registries and declares each call as
// a hook; a subsystem fills its hooks when the class list installs it
// (app/class_list.cpp). An empty hook has the effect the core gives it when
// no subsystem is there: the behaviour noted at each member.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class Actor;
class ActorSystem;
struct ColObj;
struct Vector3;

// --- shared registries ------------------------------------------------------------

// Draw Group actors indexed by draw-group id; entries may be null, entries
// 0 and 1 are the system groups.
extern std::vector<Actor *> DrawGroupRegistry;
inline constexpr size_t kSystemDrawGroupCount = 2;

// The File actors, kept by the File actor code.
extern std::vector<Actor *> FileActorList;

// The active camera; null when none is active.
extern Actor *CurrentCamera;
// The global gamma block that cameras apply: three scales (1 at start) and
// three offsets (0 at start).
extern float GlobalGamma[6];

// Scales the hit effects of the AI players; 1.0 until set.
extern float GlobalHitEffectMultiplier;
// Non-zero while the player's debug key chord is held.
extern uint32_t DebugTextFlag;

// --- hooks ------------------------------------------------------------------------------

struct WorldHooks {
    // Recomputes the world bounds of the actor's collision objects; nothing.
    void (*updateCollisionShapeBounds)(Actor *actor) = nullptr;
    // The collision pass of a frame; tests nothing and answers 1.
    int (*collisionPass)(ActorSystem *system, float timeStep) = nullptr;
    // The first collision object on the line from origin to end that the
    // masks (groups, receive, exclude) let through; null (nothing hit, the
    // hit point is the end).
    ColObj *(*collisionQuery)(const Vector3 &origin, const Vector3 &end, const uint32_t masks[3],
                              Vector3 *hitPoint, Vector3 *normal) = nullptr;
    // Updates the actors of the visible draw groups; "Scenery" counts as one
    // visible group, then the "Inventory" actor is updated; answers 1.
    int (*drawVisibleGroups)(ActorSystem *system, float timeStep) = nullptr;
    // Gives a root its id range and file name; false (the root is not a
    // file actor).
    bool (*setRootRange)(Actor *root, uint32_t firstId, uint32_t idLimit,
                         const char *fileName) = nullptr;
    // The diagonal of a Draw Group's box (0 for any other actor); 0.
    float (*drawGroupDiagonal)(Actor *group) = nullptr;
    // Tells a Draw Group its registry slot; nothing.
    void (*setDrawGroupId)(Actor *group, int32_t drawGroupId) = nullptr;
    // Membership of the draw groups (see draw_group_hooks.h, whose calls
    // come here unless a test installed its own); nothing.
    void (*addActorToDrawGroup)(Actor *actor, uint32_t forced) = nullptr;
    void (*removeActorFromDrawGroup)(Actor *actor, uint32_t forced) = nullptr;
    void (*updateActorDrawGroup)(Actor *actor) = nullptr;
    // Back to the subsystem's start values; nothing.
    void (*reset)() = nullptr;
};

struct PresentationHooks {
    // Moves the current camera by its type and targets; nothing.
    void (*updateCurrentCamera)() = nullptr;
    // Tells a camera that the global gamma block changed; nothing.
    void (*refreshCameraGamma)(Actor *camera) = nullptr;
    void (*reset)() = nullptr;
};

struct CharacterHooks {
    void (*reset)() = nullptr;
};

// Install a subsystem's hooks (the previous set is replaced whole).
void InstallWorldHooks(const WorldHooks &hooks);
void InstallPresentationHooks(const PresentationHooks &hooks);
void InstallCharacterHooks(const CharacterHooks &hooks);
const WorldHooks &GetWorldHooks();
const PresentationHooks &GetPresentationHooks();

// Back to the start values: the shared registries of each subsystem, then the
// subsystem's own reset (the actor system's construction, tests).
void ResetWorldHooks();
void ResetPresentationHooks();
void ResetCharacterHooks();

// The core's calls through the hooks.
void UpdateCollisionShapeBounds(Actor *actor);
void UpdateCurrentCamera();
void RefreshCameraGamma(Actor *camera);
bool SetRootRange(Actor *root, uint32_t firstId, uint32_t idLimit, const char *fileName);
float DrawGroupDiagonal(Actor *group);
void SetDrawGroupId(Actor *group, int32_t drawGroupId);
