// The game-layer fixture, on top of the scene harness: recording stand-ins
// for any class at any id (the front-end actor 16 among them), a scripted
// skin for characters, scripted keys fed to the frame step, and the parts of
// test scenes (rooms, box floors and walls, spawn points, path nodes and
// characters with their named children and collision objects).
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "actor_record.h"
#include "actors/characters/character_actor.h"
#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/class_factory.h"
#include "platform/os/scripted_input_backend.h"
#include "scene_harness.h"

struct Skeleton;
class ResourceLibrary;

namespace game {

inline constexpr uint32_t kFrontEndClassId = 10;
inline constexpr uint32_t kSkinClassId = 17;

// Logs every command with its block, answers the queries of its table
// (the answer's bytes are written at the start of the block), then hands
// the command to the base handler.
class Recorder : public Actor {
  public:
    explicit Recorder(uint32_t ofClass = 0) { classId = ofClass; }
    int HandleCommand(uint32_t commandId, ParamBlock block) override;

    template <class T> void Answer(uint32_t commandId, const T &value) {
        std::vector<uint8_t> bytes(sizeof(T));
        std::memcpy(bytes.data(), &value, sizeof(T));
        answers[commandId] = std::move(bytes);
    }
    // The received commands of that id, in order.
    std::vector<RecordedCommand> Of(uint32_t commandId) const;
    // The ids received, in order, leaving out the spy notices.
    std::vector<uint32_t> Ids() const;

    std::map<uint32_t, std::vector<uint8_t>> answers;
    std::vector<RecordedCommand> log;
};

// While it lives, the class factory makes recorders (or what `make` makes)
// for the class; the previous row comes back after.
class RecorderClass {
  public:
    explicit RecorderClass(uint32_t classId, ActorConstructor make = nullptr);
    ~RecorderClass();
    RecorderClass(const RecorderClass &) = delete;
    RecorderClass &operator=(const RecorderClass &) = delete;

  private:
    uint32_t classId_;
    ActorClassRow previous_;
};

// The front-end actor 16 as a recorder of its class (10): it answers
// "Get Visible" (457, 547) with 1 and "Get Master Character" (562) with 0
// unless told otherwise, and logs what items and guards report (549, 550,
// 557, 563, 565, 679). Needs a RecorderClass of class 10.
Recorder *MakeFrontEnd();
// {owner, state} of every 557 "Item State Report" about the item that the
// front end received, in order.
std::vector<std::pair<int32_t, uint32_t>> ItemStateReports(const Recorder &front, int32_t itemId);

// A class-17 "Skin" double. Motions by name: 1096 fills the list it is
// given, 1097 answers 0 for an unknown one and 1 for a known one, raising
// "On Animation Loop" (267) on itself when it is set again and telling the
// parent "Callback Motion Set" (1122) when it is new. 849 answers
// `motionVector`, 1135 `transitionPlaying`; 1120 answers the bone of the
// name from a skeleton of the character's 15 bones (null for the names in
// `missingBones`). Everything is logged (169, 251, 254, 1123, 1127, 1129,
// 1133 among them).
class ScriptedSkin : public Recorder {
  public:
    ScriptedSkin();
    ~ScriptedSkin() override;
    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    // Tells the parent "Callback SkinLooping" (1121) with the value.
    void SendLooping(uint32_t value);

    std::vector<std::string> motions = {"N_Neutral", "R_Forward", "J_Forward", "F_Neutral"};
    std::string motion;
    Vector3 motionVector = {0.0f, 0.0f, 0.0f};
    uint32_t transitionPlaying = 0;
    uint32_t firstMaterial = 0;
    std::set<std::string> missingBones;
    Skeleton *skeleton = nullptr;
};
Actor *NewScriptedSkin();

// Holds keys of the scripted backend and queues their events for the next
// frame's input update; the runner reads input from it from now on.
class ScriptedKeys {
  public:
    explicit ScriptedKeys(scene::SceneRunner &runner);
    void Key(uint32_t virtualKey, bool down);

    ScriptedInputBackend backend;
};

// The material names the head-up display looks up.
inline constexpr const char *kHudMaterialNames[] = {
    "Black",          "AmmoFlare",      "SoulIcon",  "SoulIcon02",  "SoulIconFill",
    "endurance_back", "endurance_mark", "FilmGrain", "LightSensor", "LightSensor2"};
// Adds plain materials of the names to the library from the slot on; false
// when they do not read.
bool AddMaterials(ResourceLibrary &library, uint32_t firstSlot,
                  const std::vector<std::string> &names);

// Scene parts, made below the parent ("Scenery" when null) by the builder.
Actor *Room(scene::SceneBuilder &builder, const std::string &name, const Vector3 &min,
            const Vector3 &max);
// A class-0 actor with one solid box collision object between the corners.
Actor *BoxWall(scene::SceneBuilder &builder, const std::string &name, const Vector3 &min,
               const Vector3 &max, Actor *parent = nullptr);
Actor *SpawnPoint(scene::SceneBuilder &builder, const std::string &name, const Vector3 &at,
                  uint32_t type, Actor *parent = nullptr);
Actor *PathNode(scene::SceneBuilder &builder, const std::string &name, const Vector3 &at,
                Actor *parent);
// A closed Door (class 13) with one solid box collision object between the
// corners.
Actor *Door(scene::SceneBuilder &builder, const std::string &name, const Vector3 &min,
            const Vector3 &max, Actor *parent = nullptr);
// A Character at the point with the children "Skin" (class 17), "Items",
// "LeftHand" and "RightHand", and beside its "Character Col" a "Chest"
// sphere and an inactive event sphere "Action".
CharacterActor *MakeCharacter(scene::SceneBuilder &builder, const std::string &name,
                              const Vector3 &at, Actor *parent = nullptr);

// A level to start: a room with a box floor and "PlayerCharacter", a
// third-person character with health 99 that "Start Game" copies for the
// master Player.
CharacterActor *PlayerLevel(scene::SceneBuilder &builder);

} // namespace game
