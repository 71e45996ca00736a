// One bad number stays where it lands. Every command whose parameters hold
// a float (by the command table's parameter types, and the set commands of
// the class sheets' number, vector, rotation and colour fields that are
// registered without types) is sent NaN, +inf, -inf and the largest float in
// each of its floats in turn, the rest of its parameters zero, to an actor of
// its class. That actor stands in a small world beside the sample's
// character and follow camera, a running timer with keys, a scheduled
// command, a trigger, a dynamic crate and a falling ball in the collision
// pass, a near and a far 3D sound and a Light Sensor under a lamp, and
// readers of the receiver: a follower that takes its place every frame, and
// the hero that a receiving Guard or AI Player strikes. After the command
// the world runs on; for NaN and the infinities every other actor keeps a
// finite place, rotation and time (a character its values too), the sensor
// a finite reading, the library a finite camera, the device its gamma ramp,
// the far sound stays muted, and the keys, the scheduled command and the
// trigger reach their marker at the frames they reach it in a run without
// the command. What the receiving actor does to itself is its own affair.
// The same world also loads from files that hold such numbers (the sample's
// character with a body of infinite radius, a sphere of infinite radius,
// saved commands that give the world's clock a factor and a time that are
// not finite) and runs on as it does without.
//
// The same world takes two more sets of values: words and texts in every
// parameter that holds one, and "Copy Value" of an answer a script chose
// into every command a script can name (the parameter sweep); and the file
// route, each float of each class's receiver record made NaN or infinite in
// the file the world loads (the file sweep).
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "actors/presentation/light_sensor_actor.h"
#include "actors/presentation/sound_actor.h"
#include "actors/world/timer_actor.h"
#include "actors/world/time_instance_actor.h"
#include "base/math.h"
#include "base/random.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/actors/loading_screen.h"
#include "core/actors/param_builder.h"
#include "core/actors/param_convert.h"
#include "core/actors/scheduled_command.h"
#include "actors/characters/ai_player_actor.h"
#include "actors/characters/auto_aim_actor.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/guard_actor.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "platform/os/gfx/recording_device.h"
#include "platform/os/al_sound_backend.h"
#include "platform/sound.h"
#include "support/game_fixture.h"
#include "support/sample_copy.h"
#include "support/scene_harness.h"
#include "support/stored_entry.h"

// With the sanitizers, a report ends the process: it names the case first.
#if defined(__SANITIZE_ADDRESS__)
#define SWEEP_HAS_DEATH_CALLBACK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SWEEP_HAS_DEATH_CALLBACK 1
#endif
#endif
#ifdef SWEEP_HAS_DEATH_CALLBACK
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

// An actor file's header: version, count, first id, span.
constexpr size_t kFileHeaderBytes = 16;
constexpr int kWarmUpFrames = 2;
// A lamp fades in over 0.4 s as its room first shows, and what it is sent
// meanwhile reaches it only after: a Light gets its command once lit.
constexpr int kLightWarmUpFrames = 26;
constexpr int kFrames = 14;
// A case (one command, one float, one value) that runs longer fails.
constexpr auto kCaseLimit = std::chrono::seconds(60);

// The case under way, for the watchdog and for a sanitizer's report (read
// only as the process ends).
char g_current[256] = "setting up";

void SayCurrent() { std::fprintf(stderr, "\nnumber sweep: the case was %s\n", g_current); }

// While it lives, a process that dies names the case first: a sanitizer's
// report through its callback, a fatal signal (in a build without the
// sanitizers) through a handler that then dies of the signal as before.
class SayCaseOnDeath {
  public:
#ifdef SWEEP_HAS_DEATH_CALLBACK
    SayCaseOnDeath() { __sanitizer_set_death_callback(&SayCurrent); }
    ~SayCaseOnDeath() { __sanitizer_set_death_callback(nullptr); }
#else
    SayCaseOnDeath() {
        for (int signal : kSignals) std::signal(signal, &Died);
    }
    ~SayCaseOnDeath() {
        for (int signal : kSignals) std::signal(signal, SIG_DFL);
    }

  private:
    static constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
    static void Died(int signal) {
        SayCurrent();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
#endif
};

// Ends the process, naming the case, when one case runs past the limit.
class Watchdog {
  public:
    Watchdog()
        : thread_([this] {
              std::unique_lock lock(mutex_);
              while (!done_) {
                  const uint64_t seen = cases_;
                  if (!wake_.wait_for(lock, kCaseLimit, [&] { return done_ || cases_ != seen; })) {
                      std::fprintf(stderr, "\nnumber sweep: a case ran past %lld s\n",
                                   static_cast<long long>(kCaseLimit.count()));
                      SayCurrent();
                      std::_Exit(3);
                  }
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    // A new case starts: its text becomes the current one.
    void Begin(const std::string &text) {
        {
            std::lock_guard lock(mutex_);
            std::snprintf(g_current, sizeof g_current, "%s", text.c_str());
            ++cases_;
        }
        wake_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    uint64_t cases_ = 0;
    bool done_ = false;
    std::thread thread_;
};

// One command to sweep and the class of the actor it goes to; for a
// command registered without types, the floats its sheet field takes.
struct SweptCommand {
    uint32_t id = 0;
    uint32_t classId = 0;
    size_t untypedFloats = 0;
};

size_t FloatsOfType(uint32_t type) {
    return type == ParamType::Real ? 1 : ParamFloatCount(type);
}

size_t FloatsOfTypes(const CommandInfo &info) {
    size_t floats = 0;
    for (uint32_t type : info.paramTypes) floats += FloatsOfType(type);
    return floats;
}

size_t FloatsOfKind(PropertyKind kind) {
    switch (kind) {
    case PropertyKind::Real:
    case PropertyKind::Time:
    case PropertyKind::TimeLineValue:
        return 1;
    case PropertyKind::Vector:
        return 3;
    case PropertyKind::Rotation:
    case PropertyKind::Color:
        return 4;
    default:
        return 0;
    }
}

// Every registered command whose types hold a float, to its own class; and
// every float field of a class sheet to that class, when its set command
// is another class's (a base command the class gives a meaning of its own)
// or has no types.
std::vector<SweptCommand> CommandsWithFloats() {
    std::vector<SweptCommand> commands;
    const CommandTable &table = GetCommandTable();
    for (uint32_t id = 0; id < table.size(); ++id) {
        if (table[id].registered() && FloatsOfTypes(table[id]) > 0) {
            commands.push_back({id, static_cast<uint32_t>(table[id].classId), 0});
        }
    }
    for (uint32_t cls = 0; cls < ClassDescriptorTable.size(); ++cls) {
        for (const PropertyItem &item : ClassDescriptorTable[cls].items) {
            const CommandInfo *info = FindCommandInfo(item.setCommand);
            if (info == nullptr || !info->registered()) continue;
            const size_t untyped = info->paramTypes.empty() ? FloatsOfKind(item.kind) : 0;
            if (untyped == 0 && FloatsOfTypes(*info) == 0) continue;
            const bool listed = std::any_of(commands.begin(), commands.end(), [&](const SweptCommand &c) {
                return c.id == item.setCommand && c.classId == cls;
            });
            if (!listed) commands.push_back({item.setCommand, cls, untyped});
        }
    }
    return commands;
}

size_t FloatCount(const SweptCommand &command) {
    return command.untypedFloats > 0 ? command.untypedFloats : FloatsOfTypes(GetCommandTable()[command.id]);
}

// A parameter's zero: an empty text, no actor, a nested command 0, no
// data, 0.
ParamValue ZeroValue(uint32_t type) {
    const size_t floats = FloatsOfType(type);
    if (floats > 0) {
        return type == ParamType::Real ? ParamValue(0.0f) : ParamValue::Floats(std::vector<float>(floats, 0.0f));
    }
    switch (type) {
    case ParamType::String128:
    case ParamType::String:
        return ParamValue("");
    case ParamType::Pointer:
    case ParamType::ActorPointer:
    case ParamType::ColObjPointer:
    case ParamType::ScriptPointer:
    case ParamType::StringPtr:
        return ParamValue(nullptr);
    case ParamType::ActorPointerExt:
        return ParamValue::ActorExt(nullptr, "");
    case ParamType::Command:
        return ParamValue::Command(0, {});
    case ParamType::DataWithSizeheader:
    case ParamType::DataNullterminated16:
    case ParamType::DataNullterminated32:
        return ParamValue::Bytes({});
    default:
        return ParamValue(0u);
    }
}

// The command's block: every parameter zero, the float at `index` set to
// `value`.
std::vector<uint8_t> BlockWith(const SweptCommand &command, size_t index, float value) {
    // A command without types takes its sheet field's floats as they come.
    const std::vector<uint32_t> types =
        command.untypedFloats > 0 ? std::vector<uint32_t>(command.untypedFloats, ParamType::Real)
                                  : GetCommandTable()[command.id].paramTypes;
    std::vector<ParamValue> values;
    size_t seen = 0;
    for (uint32_t type : types) {
        const size_t floats = FloatsOfType(type);
        if (floats > 0) {
            std::vector<float> f(floats, 0.0f);
            if (index >= seen && index < seen + floats) f[index - seen] = value;
            seen += floats;
            values.push_back(type == ParamType::Real ? ParamValue(f[0]) : ParamValue::Floats(f));
            continue;
        }
        values.push_back(ZeroValue(type));
    }
    ParamBlockBuilder builder;
    if (!builder.Build(command.id, values)) return {};
    return builder.bytes();
}

// What the world shows after a run.
struct Outcome {
    // "<frame> <actor> <command>": what the marker and the room were told
    // (keys, the scheduled command, the trigger, the room drawn and not).
    std::vector<std::string> marks;
    std::vector<std::string> broken; // what is not finite, or not muted
    std::vector<uint16_t> gamma;     // the device's ramp, red, green, blue
};

// Runs a case; an exception (an allocation that failed) ends the process
// there, which names the case, instead of failing the test unnamed.
Outcome Guarded(const std::function<Outcome()> &run) noexcept { return run(); }

bool Finite(const Quaternion &q) {
    return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

bool Within(const Actor *actor, const Actor *root) {
    for (const Actor *a = actor; a != nullptr; a = a->parent) {
        if (a == root) return true;
    }
    return false;
}

// The receiver of the class: the world itself, the globals' front end and
// environment, the follow camera that "Start Game" makes, or "Target", an
// actor of the class that its level file holds.
bool ReceiverInFile(uint32_t classId) {
    return classId != kActorSystemClassId && classId != kInventoryClassId &&
           classId != kEnvironmentClassId && classId != kCameraClassId;
}

std::string LevelFile(uint32_t classId) {
    return ReceiverInFile(classId) ? "Sweep" + std::to_string(classId) + ".qva" : "Sweep.qva";
}

class NumberSweep {
  public:
    // Reads the sample and writes the level, once with each receiving
    // class's "Target" in it.
    bool SetUp(const std::vector<uint32_t> &classes, std::string *error) {
        if (!runner.Ready()) return Fail(error, "the scene runner is not ready");
        runner.HearListener();
        auto backend = std::make_unique<AlSoundBackend>(AlSoundBackend::Output::Loopback);
        sound = backend.get();
        if (CreateSoundDeviceOn(std::move(backend), 2, 44100, 16, false) != 1) {
            return Fail(error, GetSoundErrorText());
        }
        // The game lies four folders down the scratch folder: a text such as
        // "../../../../etc/passwd" names a place within it.
        const std::string deep = builder.folder / "a/b/c/d";
        std::error_code made;
        std::filesystem::create_directories(deep, made);
        const toolrun::ToolRun sample = samplecopy::Make(deep);
        if (made || sample.exitCode != 0) return Fail(error, "no sample: " + sample.err);
        if (!builder.UseGameFolder(deep + "/game")) return Fail(error, "the sample does not read");
        game = builder.base;
        std::vector<uint32_t> files = {kActorSystemClassId};
        for (uint32_t classId : classes) {
            if (ReceiverInFile(classId)) files.push_back(classId);
        }
        for (uint32_t classId : files) {
            ResetActorWorldForTests(true);
            InitActorSystem();
            builder.nextId = 3000;
            Actor *room = BuildLevel();
            const int32_t first = builder.nextId;
            if (ReceiverInFile(classId) && MakeReceiver(classId, room) == nullptr) {
                return Fail(error, "no receiver of class " + std::to_string(classId));
            }
            const std::string path = game + "/Data/" + LevelFile(classId);
            if (SaveActors(path, 3000, uint32_t(builder.nextId), kSerializeSave) == 0) {
                return Fail(error, "cannot write " + path);
            }
            if (ReceiverInFile(classId)) {
                receiverRecords[classId] = RecordsOf(uint32_t(first), uint32_t(builder.nextId));
                receiverRecordBytes[classId] = RecordsOf(uint32_t(first), uint32_t(first) + 1).size();
            }
        }
        return true;
    }

    // The records of the actors of ids first..end-1 as a file holds them
    // (without the file's header).
    std::string RecordsOf(uint32_t first, uint32_t end) {
        const std::string path = game + "/Data/Records.qva";
        std::string bytes, reason;
        if (SaveActors(path, first, end, kSerializeSave) == 0 || !ReadWholeFile(path, &bytes, &reason)) {
            return "";
        }
        std::filesystem::remove(path);
        return bytes.size() > kFileHeaderBytes ? bytes.substr(kFileHeaderBytes) : "";
    }

    // A fresh world with the receiver of the class, started and warmed up;
    // then, with `send`, the block goes to the receiver; the world runs on.
    // The globals and the level are the sample's character and the class's
    // level file unless others are named.
    Outcome Run(uint32_t classId, uint32_t command, const std::vector<uint8_t> &block, bool send,
                const std::string &globals = "Character.qva", std::string level = "") {
        Delivery deliver;
        if (send) {
            deliver = [&](Actor *receiver) {
                std::vector<uint8_t> bytes = block;
                SendCommand(receiver->actorId, command, ParamBlock(bytes.data(), bytes.size()));
            };
        }
        return RunWith(classId, deliver, globals, level);
    }

    // What reaches the receiver once the world is warmed up.
    using Delivery = std::function<void(Actor *receiver)>;

    // The same run, with `deliver` (when set) in place of the one command.
    Outcome RunWith(uint32_t classId, const Delivery &deliver, const std::string &globals = "Character.qva",
                    std::string level = "") {
        Outcome outcome;
        if (!OpenWorld(globals, level.empty() ? LevelFile(classId) : level)) {
            outcome.broken.push_back("the world does not open");
            return outcome;
        }
        if (classId == kTimeInstanceClassId) {
            // The world's clock.
            SendCommandArgs(FindActorByName("Target", -1), cmd::time_instance::SetTimeinstanceGlobal, 1u);
        }
        SendCommandArgs(GetActorSystem(), cmd::actor_system::SetGlobalTime, 0u);
        PrecalculateAll();
        SendCommandArgs(GetActorSystem(), cmd::base::StartGame);
        Actor *receiver = nullptr;
        switch (classId) {
        case kActorSystemClassId:
            receiver = GetActorSystem();
            break;
        case kInventoryClassId:
            receiver = GetActorById(kInventoryActorId);
            break;
        case kEnvironmentClassId:
            receiver = GetActorById(kEnvironmentActorId);
            break;
        case kCameraClassId:
            receiver = FindActorByName("Camera", int32_t(kCameraClassId));
            break;
        default:
            receiver = FindActorByName("Target", -1);
            break;
        }
        const int32_t receiverId = receiver != nullptr ? receiver->actorId : -1;
        Actor *mark = FindActorByName("GA40_Mark", -1);
        scene::SpyLog log;
        log.Watch(mark);
        log.Watch(FindActorByName("RoomA", -1));
        SendCommandArgs(mark, cmd::base::TimerCommand, 0.15f,
                        ParamValue::Command(cmd::base::InvalidateMatrix, {}));
        // The receiver's readers: the follower takes its place every frame,
        // and a Guard or an AI Player strikes the hero once after the
        // command.
        const Actor *follower = FindActorByName("Follower", -1);
        const Actor *player = FindActorByName("PlayerCharacter", -1);
        const int32_t followerId = follower != nullptr ? follower->actorId : -1;
        const int32_t heroId = player != nullptr ? player->actorId : -1;
        uint32_t strikeFrame = 0;
        struct Unhook { // whichever way the run ends
            scene::SceneRunner &runner;
            ~Unhook() { runner.preStep = nullptr; }
        } unhook{runner};
        runner.preStep = [&](uint32_t frame) {
            Actor *self = receiverId >= 0 ? GetActorById(uint32_t(receiverId)) : nullptr;
            Actor *hero = heroId >= 0 ? GetActorById(uint32_t(heroId)) : nullptr;
            if (self == nullptr) return;
            if (followerId >= 0) SendCommandArgs(GetActorById(uint32_t(followerId)), cmd::base::SetOrientation, self);
            if (frame != strikeFrame || hero == nullptr) return;
            if (auto *guard = dynamic_cast<GuardActor *>(self)) guard->ApplyHit(hero, 1.0f);
            if (auto *ai = dynamic_cast<AIPlayerActor *>(self)) ai->HitReaction(hero, 1.0f);
        };
        runner.Step(classId == kLightClassId ? kLightWarmUpFrames : kWarmUpFrames);
        strikeFrame = FrameCounter + 1;
        if (deliver) {
            if (receiver == nullptr || GetActorById(uint32_t(receiverId)) != receiver) {
                outcome.broken.push_back("no receiver");
                return outcome;
            }
            deliver(receiver);
        }
        runner.Step(kFrames);
        for (const scene::SpyNotice &n : log.notices) {
            if (n.command == cmd::base::InvalidateOldPosition || n.command == cmd::base::InvalidateMatrix ||
                n.command == cmd::base::QuaternionIdentity || n.command == cmd::base::OnDrawStart ||
                n.command == cmd::base::OnDrawStop) {
                outcome.marks.push_back(std::to_string(n.frame) + " " + n.actor + " " +
                                        std::to_string(n.command));
            }
        }
        Look(receiverId, &outcome);
        ShowLoadingScreen();
        return outcome;
    }

    // A loading screen begins, takes one progress call and ends, as in a
    // level load: the places a case stored for the bar and its text are
    // read. Nothing is drawn.
    static void ShowLoadingScreen() {
        LoadingScreenState &screen = GetLoadingScreenState();
        const uint32_t stepsPerUpdate = screen.stepsPerUpdate;
        screen.stepsPerUpdate = 2;
        BeginLoadingScreen(GetActorSystem(), 1000);
        DrawLoadingScreen(nullptr);
        EndLoadingScreen(GetActorSystem());
        screen.stepsPerUpdate = stepsPerUpdate;
    }

    // The file route: the sample's character file with a body of infinite
    // radius, written as "Boundless.qva", and the level of the Time
    // Instance (the world's clock once started) with a sphere of infinite
    // radius beside it and saved commands on the clock that set its factor
    // to NaN, then to infinity, and its time to infinity, written as
    // "SweepFiles.qva".
    bool WriteFilesWithBadNumbers() {
        ResetActorWorldForTests(true);
        InitActorSystem();
        GetActorSystem()->baseFolder = game;
        SendCommandArgs(GetActorById(kGlobalRootId), cmd::file_io::OpenFile, "Character.qva");
        Actor *hero = FindActorByName("PlayerCharacter", -1);
        if (hero == nullptr || hero->colObjs.empty()) return false;
        hero->colObjs[0]->boxMax.x = INFINITY; // the body sphere's radius
        if (SaveActors(game + "/Data/Boundless.qva", 10, 3000, kSerializeSave) == 0) return false;

        ResetActorWorldForTests(true);
        InitActorSystem();
        builder.nextId = 3000;
        Actor *room = BuildLevel();
        Actor *clock = MakeReceiver(kTimeInstanceClassId, room);
        Actor *ball = MakeReceiver(kBaseClassId, room);
        ball->name = "Boundless";
        ball->colObjs[0]->boxMax.x = INFINITY;
        const uint32_t once = kScheduleSaved | (uint32_t{kScheduleOnce} << kScheduleKindShift);
        const struct {
            uint32_t command;
            float value, delay;
        } saved[] = {{cmd::time_instance::SetTimeinstanceMultiplier, NAN, 0.05f},
                     {cmd::time_instance::SetTimeinstanceMultiplier, INFINITY, 0.1f},
                     {cmd::base::SetGTime, INFINITY, 0.15f}};
        for (const auto &entry : saved) {
            float value = entry.value;
            clock->ScheduleCommand(entry.command, ParamBlock(&value, sizeof(value)), once, entry.delay,
                                   0.0f, 0.0f);
        }
        return SaveActors(game + "/Data/SweepFiles.qva", 3000, uint32_t(builder.nextId),
                          kSerializeSave) != 0;
    }

    // Opens the world's files as a run does, without running it.
    bool Open(const std::string &globals, const std::string &level) { return OpenWorld(globals, level); }

    scene::SceneRunner runner{true};
    scene::SceneBuilder builder;
    AlSoundBackend *sound = nullptr;
    std::string game;
    // The records of each class's receiver and what it holds, as its level
    // file holds them, and the size of the receiver's own record, the first.
    std::map<uint32_t, std::string> receiverRecords;
    std::map<uint32_t, size_t> receiverRecordBytes;

  private:
    static bool Fail(std::string *error, const std::string &text) {
        *error = text;
        return false;
    }

    // The level in RoomA; answers the room.
    Actor *BuildLevel() {
        Actor *room = game::Room(builder, "RoomA", {-3000, -100, -3000}, {3000, 800, 3000});
        Actor *floor = game::BoxWall(builder, "Floor", {-3000, -10, -3000}, {3000, 0, 3000}, room);
        floor->colObjs[0]->flags |= kColObjTakesEvents;
        SendCommandArgs(builder.Make(0, "PlayerStart0", room), cmd::base::SetPosition,
                        Vector3{0, 30, -300});
        // A dynamic crate above the floor, and a simulated ball that falls
        // onto the floor and comes to rest.
        Actor *crate = builder.Make(0, "Crate", room);
        SendCommandArgs(crate, cmd::base::SetPosition, Vector3{0, 50, 0});
        ColObj box(crate);
        box.type = 2;
        box.flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents | kColObjDynamic | kColObjSolid;
        box.boxMin = {-20, -20, -20};
        box.boxMax = {20, 20, 20};
        crate->AddColObj(box);
        SendCommandArgs(crate, cmd::base::SetCollisionEnable, true);
        Actor *ball = builder.Make(kSimulationClassId, "Ball", room);
        SendCommandArgs(ball, cmd::base::SetPosition, Vector3{200, 70, 0});
        SendCommandArgs(ball, cmd::base::SetSimStyle, 5u);
        scene::SceneBuilder::AddScript(ball, cmd::base::StartGame, "this.Action_Start();");
        // The marker: the timer's keys, a trigger's entries and a scheduled
        // command reach it.
        builder.Make(0, "GA40_Mark", room);
        auto *clock = dynamic_cast<TimerActor *>(builder.Make(kTimerClassId, "Clock", room));
        SendCommandArgs(clock, cmd::timer::SetTimerType, kTimerForwardLoop);
        SendCommandArgs(clock, cmd::base::SetTotalTime, 0.1f);
        SendCommandArgs(clock, cmd::timer::SetTimerStartActive, 1u);
        clock->AddKey(0.025f, "a", "[ga]GA40.Invalidate_OldPosition();");
        clock->AddKey(0.075f, "b", "[ga]GA40.Invalidate_OldPosition();");
        Actor *gate = builder.Make(kTriggerClassId, "Gate", room);
        SendCommandArgs(gate, cmd::base::SetPosition, Vector3{-600, 300, 600});
        for (auto &object : gate->colObjs) object->receiveGroups = 0xFFFFFFFFu;
        scene::SceneBuilder::AddScript(gate, cmd::trigger::OnTriggerEnter,
                                       "[ga]GA40.Quaternion_Identity();");
        // A lamp over a Light Sensor.
        Actor *lamp = builder.Make(kLightClassId, "GA30_Lamp", room);
        SendCommandArgs(lamp, cmd::base::SetPosition, Vector3{-300, 150, 0});
        SendCommandArgs(lamp, cmd::light::SetLightType, 0u);
        SendCommandArgs(lamp, cmd::light::SetDiffuseColor, Vector4{1, 1, 1, 1});
        SendCommandArgs(lamp, cmd::base::SetRadius, 300.0f);
        SendCommandArgs(builder.Make(kLightSensorClassId, "Eye", room), cmd::base::SetPosition,
                        Vector3{-300, 60, 0});
        // An actor that takes its place from the receiver every frame.
        SendCommandArgs(builder.Make(0, "Follower", room), cmd::base::SetPosition, Vector3{0, 60, 300});
        // A sound by the hero and one far beyond its reach.
        for (const auto &[name, at] : {std::pair{"Hum", Vector3{0, 120, -350}},
                                       std::pair{"Far", Vector3{0, 120, 2800}}}) {
            MakeSound(builder.Make(kSoundClassId, name, room), at);
        }
        return room;
    }

    static void MakeSound(Actor *actor, const Vector3 &at) {
        auto *sound = dynamic_cast<SoundActor *>(actor);
        SendCommandArgs(sound, cmd::base::SetResource, std::string("hum3d"));
        SendCommandArgs(sound, cmd::base::SetPosition, at);
        SendCommandArgs(sound, cmd::sound::SetSoundType, kSound3D);
        SendCommandArgs(sound, cmd::sound::SetSoundPlayStyle, kSoundLoop);
        sound->playOnStart = 1;
    }

    // "Target" in the room, 500 from the crate, armed where its class has
    // a way into the rest of the world: a Character is a copy of the
    // sample's, a Base has a dynamic sphere, a Light lights the sensor too,
    // a Sound plays.
    Actor *MakeReceiver(uint32_t classId, Actor *room) {
        Actor *actor = nullptr;
        if (classId == kCharacterClassId) {
            SendCommandArgs(GetActorById(kGlobalRootId), cmd::file_io::OpenFile, "Character.qva");
            actor = CopyActorTree(FindActorByName("PlayerCharacter", -1), room);
            if (actor == nullptr || !ClaimTree(actor)) return nullptr;
            actor->name = "Target";
        } else {
            actor = builder.Make(int32_t(classId), "Target", room);
        }
        if (actor == nullptr) return nullptr;
        SendCommandArgs(actor, cmd::base::SetPosition, Vector3{500, 60, 0});
        switch (classId) {
        case kBaseClassId: {
            ColObj sphere(actor);
            sphere.type = 1;
            sphere.flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents | kColObjDynamic |
                           kColObjSolid;
            sphere.boxMin = {0, 0, 0};
            sphere.boxMax = {20, 20, 20};
            actor->AddColObj(sphere);
            actor->currentColObj = 0;
            SendCommandArgs(actor, cmd::base::SetCollisionEnable, true);
            break;
        }
        case kLightClassId:
            SendCommandArgs(actor, cmd::base::SetPosition, Vector3{-250, 150, 0});
            SendCommandArgs(actor, cmd::light::SetDiffuseColor, Vector4{1, 1, 1, 1});
            SendCommandArgs(actor, cmd::base::SetRadius, 300.0f);
            break;
        case kSoundClassId:
            MakeSound(actor, {500, 60, 0});
            break;
        case kGuardClassId: // a hit effect, selected, for the hero it strikes
            SendCommandArgs(actor, cmd::guard::AddGuardHitEffect);
            break;
        case kAIPlayerClassId:
            SendCommandArgs(actor, cmd::ai_player::AddAIPlayerHitEffect);
            break;
        default:
            break;
        }
        return actor;
    }

    // Moves a copied subtree to the scenery's ids, so that the level file
    // holds it.
    bool ClaimTree(Actor *actor) {
        if (!builder.Claim(actor)) return false;
        for (Actor *child : std::vector<Actor *>(actor->children)) {
            if (child != nullptr && !ClaimTree(child)) return false;
        }
        return true;
    }

    bool OpenWorld(const std::string &globals, const std::string &level) {
        ResetActorWorldForTests(true);
        ResetCharacterModuleForTests();
        ResetAutoAimModuleForTests();
        InitActorSystem();
        SeedRand(1);
        GetActorSystem()->baseFolder = game;
        runner.SetCamera({0, 0, 0});
        if (SendCommandArgs(GetActorById(kGlobalRootId), cmd::file_io::OpenFile, globals.c_str()) == 0) {
            return false;
        }
        // The sample's check ends the engine 3.5 s in.
        DeleteActor(FindActorByName("Driver", -1));
        return SendCommandArgs(GetActorById(kSceneryRootId), cmd::file_io::OpenFile, level.c_str()) != 0;
    }

    void Look(int32_t receiverId, Outcome *outcome) {
        Actor *receiver = receiverId >= 0 ? GetActorById(uint32_t(receiverId)) : nullptr;
        for (size_t id = 1; id < ActorTable.size(); ++id) {
            Actor *a = ActorTable[id];
            // The receiver and what it holds are its own affair; the world
            // holds everything.
            if (a == nullptr || a == receiver ||
                (receiver != nullptr && receiver != GetActorSystem() && Within(a, receiver))) {
                continue;
            }
            const bool timeOk = a->timeRecord == nullptr ||
                                (std::isfinite(a->timeRecord->time) && std::isfinite(a->timeRecord->delta));
            if (!Vec3IsFinite(a->position) || !Finite(a->rotation) || !timeOk) {
                outcome->broken.push_back(a->name + " (" + std::to_string(id) + ")");
            }
            if (const auto *body = dynamic_cast<const CharacterActor *>(a)) {
                bool finite = std::isfinite(body->health);
                for (size_t i = 0; i < kCharacterParamCount; ++i) {
                    finite = finite && std::isfinite(body->paramValue[i]) && std::isfinite(body->paramChanged[i]);
                }
                if (!finite) outcome->broken.push_back(a->name + "'s character values");
            }
        }
        gfx::GammaRamp ramp{};
        runner.device->GetGammaRamp(&ramp);
        outcome->gamma.assign(ramp.red, ramp.red + 256);
        outcome->gamma.insert(outcome->gamma.end(), ramp.green, ramp.green + 256);
        outcome->gamma.insert(outcome->gamma.end(), ramp.blue, ramp.blue + 256);
        const float *camera = runner.library->GetCameraPosition();
        if (!Vec3IsFinite({camera[0], camera[1], camera[2]})) {
            outcome->broken.push_back("the library's camera");
        }
        if (!std::isfinite(runner.library->GetFogStart()) || !std::isfinite(runner.library->GetFogEnd())) {
            outcome->broken.push_back("the library's fog");
        }
        if (auto *eye = dynamic_cast<LightSensorActor *>(FindActorByName("Eye", -1))) {
            const gfx::ColorValue c = eye->Measure();
            if (!std::isfinite(c.r) || !std::isfinite(c.g) || !std::isfinite(c.b) || !std::isfinite(c.a)) {
                outcome->broken.push_back("the sensor's reading");
            }
        }
        if (auto *far = dynamic_cast<SoundActor *>(FindActorByName("Far", -1))) {
            auto *item = dynamic_cast<SoundItem *>(far->item);
            if (item == nullptr || item->buffer == nullptr || sound->GetGain(item->buffer->voice) != 0.0f) {
                outcome->broken.push_back("the far sound");
            }
        }
    }
};

TEST(NumberSweep, ABadNumberStaysWithTheActorThatGotIt) {
    NumberSweep sweep; // makes the world, and so the command table
    // NUMBER_SWEEP_ONLY=<id> sends that command only (to look into one case).
    std::vector<SweptCommand> commands = CommandsWithFloats();
    if (const char *only = std::getenv("NUMBER_SWEEP_ONLY")) {
        std::erase_if(commands, [&](const SweptCommand &c) { return c.id != std::strtoul(only, nullptr, 10); });
    }
    std::vector<uint32_t> classes;
    for (const SweptCommand &c : commands) classes.push_back(c.classId);
    std::sort(classes.begin(), classes.end());
    classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
    std::string error;
    ASSERT_TRUE(sweep.SetUp(classes, &error)) << error;
    SayCaseOnDeath sayCase;
    Watchdog watchdog;

    // Each class's world run without the command, once.
    std::map<uint32_t, Outcome> quiet;
    for (uint32_t classId : classes) {
        watchdog.Begin("class " + std::to_string(classId) + " without a command");
        const Outcome &run = quiet[classId] = sweep.Run(classId, 0, {}, false);
        ASSERT_TRUE(run.broken.empty()) << "class " << classId << ": " << run.broken.front();
        ASSERT_FALSE(run.marks.empty()) << "class " << classId;
    }

    const float values[] = {NAN, INFINITY, -INFINITY, FLT_MAX};
    const char *valueNames[] = {"nan", "inf", "-inf", "max"};
    size_t floats = 0, cases = 0;
    for (const SweptCommand &command : commands) {
        const size_t count = FloatCount(command);
        floats += count;
        const std::string name = GetCommandTable()[command.id].name;
        for (size_t index = 0; index < count; ++index) {
            for (size_t v = 0; v < 4; ++v) {
                const std::string what = std::to_string(command.id) + " \"" + name + "\" to class " +
                                         std::to_string(command.classId) + ", float " +
                                         std::to_string(index) + " = " + valueNames[v];
                watchdog.Begin(what);
                const std::vector<uint8_t> block = BlockWith(command, index, values[v]);
                EXPECT_FALSE(block.empty()) << what;
                const Outcome outcome = Guarded([&] { return sweep.Run(command.classId, command.id, block, true); });
                ++cases;
                // The largest float is a number: only a crash or a
                // sanitizer's report tells against it.
                if (values[v] == FLT_MAX) continue;
                EXPECT_TRUE(outcome.broken.empty()) << what << ": " << ::testing::PrintToString(outcome.broken);
                EXPECT_EQ(outcome.marks, quiet[command.classId].marks) << what;
                EXPECT_TRUE(outcome.gamma == quiet[command.classId].gamma) << what << ": the device's gamma";
            }
        }
    }
    watchdog.Begin("done");
    std::printf("number sweep: %zu commands, %zu floats, %zu values sent\n", commands.size(), floats,
                cases);
}

TEST(NumberSweep, NumbersThatAreNotFiniteInFilesStayWithTheirActors) {
    NumberSweep sweep;
    std::string error;
    ASSERT_TRUE(sweep.SetUp({kTimeInstanceClassId}, &error)) << error;
    ASSERT_TRUE(sweep.WriteFilesWithBadNumbers());
    const Outcome quiet = sweep.Run(kTimeInstanceClassId, 0, {}, false);
    const Outcome bad =
        sweep.Run(kTimeInstanceClassId, 0, {}, false, "Boundless.qva", "SweepFiles.qva");
    // The numbers came in with the files.
    for (const char *name : {"GA1_Player", "Boundless"}) {
        const Actor *actor = FindActorByName(name, -1);
        ASSERT_TRUE(actor != nullptr && !actor->colObjs.empty()) << name;
        EXPECT_EQ(actor->colObjs[0]->boxMax.x, INFINITY) << name;
    }
    EXPECT_TRUE(bad.broken.empty()) << ::testing::PrintToString(bad.broken);
    EXPECT_EQ(bad.marks, quiet.marks);
}

// The second set of values: words and texts. Every parameter that holds a
// word (UInt32, Int32, Bool, CommandID) or a text (String, String128) of a
// registered command, and every whole-number or text field of a class sheet
// whose set command has no types, in turn.
struct SweptParameter {
    uint32_t id = 0;
    uint32_t classId = 0;
    std::vector<uint32_t> types; // for a command without types: its field's
    size_t index = 0;
    bool untyped = false;
};

bool IsWordType(uint32_t type) {
    return type == ParamType::UInt32 || type == ParamType::Int32 || type == ParamType::Bool ||
           type == ParamType::CommandID;
}

bool IsTextType(uint32_t type) { return type == ParamType::String || type == ParamType::String128; }

// The parameter type a sheet field without a typed set command sends; 0 for
// a field of neither kind.
uint32_t TypeOfKind(PropertyKind kind) {
    switch (kind) {
    case PropertyKind::WholeNumber:
    case PropertyKind::Enumeration:
    case PropertyKind::CheckBox:
    case PropertyKind::ListNumber:
    case PropertyKind::LibraryMaterial:
    case PropertyKind::GroupMask:
    case PropertyKind::FontPick:
        return ParamType::UInt32;
    case PropertyKind::Text:
    case PropertyKind::SaveFileDialog:
    case PropertyKind::OpenFileDialog:
    case PropertyKind::MultiLineText:
    case PropertyKind::ListSelector:
        return ParamType::String;
    default:
        return 0;
    }
}

std::vector<SweptParameter> ParametersWithWordsAndTexts() {
    std::vector<SweptParameter> list;
    const auto add = [&](uint32_t id, uint32_t cls, const std::vector<uint32_t> &types, bool untyped) {
        for (size_t i = 0; i < types.size(); ++i) {
            if (IsWordType(types[i]) || IsTextType(types[i])) list.push_back({id, cls, types, i, untyped});
        }
    };
    const CommandTable &table = GetCommandTable();
    for (uint32_t id = 0; id < table.size(); ++id) {
        if (table[id].registered()) add(id, uint32_t(table[id].classId), table[id].paramTypes, false);
    }
    for (uint32_t cls = 0; cls < ClassDescriptorTable.size(); ++cls) {
        for (const PropertyItem &item : ClassDescriptorTable[cls].items) {
            const CommandInfo *info = FindCommandInfo(item.setCommand);
            if (info == nullptr || !info->registered() || item.setCommand == 0) continue;
            const bool listed = std::any_of(list.begin(), list.end(), [&](const SweptParameter &p) {
                return p.id == item.setCommand && p.classId == cls;
            });
            if (listed) continue;
            if (!info->paramTypes.empty()) {
                add(item.setCommand, cls, info->paramTypes, false);
            } else if (const uint32_t type = TypeOfKind(item.kind)) {
                add(item.setCommand, cls, {type}, true);
            }
        }
    }
    return list;
}

// A value of the second set: a word, or a text; `open` is a String128 of
// 128 bytes without a terminator.
struct WordOrText {
    const char *name;
    uint32_t word = 0;
    std::string text{};
    bool open = false;
};

std::vector<uint8_t> BlockWith(const SweptParameter &p, const WordOrText &value) {
    const bool text = IsTextType(p.types[p.index]);
    if (p.untyped) {
        std::vector<uint8_t> bytes(4);
        if (text) bytes.assign(value.text.begin(), value.text.end()), bytes.push_back(0);
        else std::memcpy(bytes.data(), &value.word, 4);
        return bytes;
    }
    std::vector<ParamValue> values;
    for (size_t i = 0; i < p.types.size(); ++i) {
        if (i != p.index) values.push_back(ZeroValue(p.types[i]));
        else if (text) values.emplace_back(value.text);
        else values.emplace_back(value.word);
    }
    ParamBlockBuilder builder;
    if (!builder.Build(p.id, values)) return {};
    std::vector<uint8_t> bytes = builder.bytes();
    if (value.open) {
        ParamReader reader(p.id, ParamBlock(bytes.data(), bytes.size()));
        for (size_t i = 0; i < p.index; ++i) reader.Next();
        const size_t end = reader.offset() + 127;
        if (end < bytes.size()) bytes[end] = 'O';
    }
    return bytes;
}

// Every file below the folder, but those below `except`.
std::vector<std::string> FilesBelow(const std::string &folder, const std::string &except) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->path().string().starts_with(except)) {
            it.disable_recursion_pending();
            continue;
        }
        files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A word is a value as good as any: these commands load another game, set
// the world's clock or speed (the Time Instance is the world's clock), or
// pause the world (the front end's pause, its page at the level's end, the
// menus), and so move the keys of the world as they are meant to.
const uint32_t clockCommands[] = {cmd::actor_system::LoadGame,
                                  cmd::actor_system::NewGame,
                                  cmd::actor_system::NewGame2,
                                  cmd::actor_system::SetGlobalTime,
                                  cmd::actor_system::SetGlobalSpeedMultiplier,
                                  cmd::time_instance::SetTimeinstanceMultiplier,
                                  cmd::inventory::InventoryPause,
                                  cmd::inventory::LevelCompleted,
                                  cmd::ui_system::UISystemActivate};

TEST(NumberSweep, AWordOrTextStaysWithTheActorThatGotIt) {
    NumberSweep sweep;
    std::vector<SweptParameter> parameters = ParametersWithWordsAndTexts();
    // The commands a script can name, for "Copy Value".
    std::vector<uint32_t> named;
    const CommandTable &table = GetCommandTable();
    for (uint32_t id = 0; id < table.size(); ++id) {
        if (table[id].registered() &&
            (table[id].Has(CommandFlags::ScriptCallable) || table[id].Has(CommandFlags::EventHook))) {
            named.push_back(id);
        }
    }
    if (const char *only = std::getenv("NUMBER_SWEEP_ONLY")) {
        const auto other = [&](uint32_t id) { return id != std::strtoul(only, nullptr, 10); };
        std::erase_if(parameters, [&](const SweptParameter &p) { return other(p.id); });
        std::erase_if(named, other);
    }
    std::vector<uint32_t> classes;
    for (const SweptParameter &p : parameters) classes.push_back(p.classId);
    for (uint32_t id : named) classes.push_back(uint32_t(table[id].classId));
    std::sort(classes.begin(), classes.end());
    classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
    std::string error;
    ASSERT_TRUE(sweep.SetUp(classes, &error)) << error;
    // Texts name files from within the game, and the current folder is the
    // game's too: nothing may appear beside it in the scratch folder.
    const std::string scratch = sweep.builder.folder.Path();
    const std::vector<std::string> before = FilesBelow(scratch, sweep.game);
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(sweep.game);
    SayCaseOnDeath sayCase;
    Watchdog watchdog;

    std::map<uint32_t, Outcome> quiet;
    for (uint32_t classId : classes) {
        watchdog.Begin("class " + std::to_string(classId) + " without a command");
        const Outcome &run = quiet[classId] = sweep.Run(classId, 0, {}, false);
        ASSERT_TRUE(run.broken.empty()) << "class " << classId << ": " << run.broken.front();
    }
    const auto check = [&](const std::string &what, uint32_t classId, uint32_t command, const Outcome &outcome) {
        EXPECT_TRUE(outcome.broken.empty()) << what << ": " << ::testing::PrintToString(outcome.broken);
        if (std::find(std::begin(clockCommands), std::end(clockCommands), command) == std::end(clockCommands)) {
            EXPECT_EQ(outcome.marks, quiet[classId].marks) << what;
        }
    };

    // The last four are floats' bits (+inf, -inf, the largest float, 1e30):
    // some commands typed as words read a float.
    const std::vector<WordOrText> words = {
        {"0xFFFFFFFF", 0xFFFFFFFFu}, {"0x80000000", 0x80000000u}, {"0x7FFFFFFF", 0x7FFFFFFFu},
        {"65536", 65536u}, {"1000000", 1000000u}, {"0x7F800000", 0x7F800000u},
        {"0xFF800000", 0xFF800000u}, {"0x7F7FFFFF", 0x7F7FFFFFu}, {"0x7149F2CA", 0x7149F2CAu}};
    const std::vector<WordOrText> texts = {
        {"5,000 characters", 0, std::string(5000, 'L')},
        {"127 characters", 0, std::string(127, 'M')},
        {"128 characters", 0, std::string(128, 'N')},
        {"%s%s%n%s", 0, "%s%s%n%s"},
        {"../../../../etc/passwd", 0, "../../../../etc/passwd"},
        {"bytes FF FE 80", 0, "\xFF\xFE\x80"},
        {"a backslash path", 0, "..\\..\\..\\..\\Windows\\win.ini"},
        {"128 bytes without a terminator", 0, std::string(127, 'O'), true}};
    size_t sent = 0;
    for (const SweptParameter &p : parameters) {
        const uint32_t type = p.types[p.index];
        for (const WordOrText &value : IsTextType(type) ? texts : words) {
            if (value.open && type != ParamType::String128) continue;
            const std::string what = std::to_string(p.id) + " \"" + table[p.id].name + "\" to class " +
                                     std::to_string(p.classId) + ", parameter " + std::to_string(p.index) +
                                     " = " + value.name;
            watchdog.Begin(what);
            const std::vector<uint8_t> block = BlockWith(p, value);
            EXPECT_FALSE(block.empty()) << what;
            check(what, p.classId, p.id, Guarded([&] { return sweep.Run(p.classId, p.id, block, true); }));
            ++sent;
        }
    }

    // "Copy Value" from an answer the script chose: a word, and floats.
    const struct {
        const char *name;
        uint32_t set, get;
        ParamValue value;
    } answers[] = {{"a word", cmd::base::SetSimStyle, cmd::base::GetSimStyle, ParamValue(0x41414141u)},
                   {"floats", cmd::base::SetPosition, cmd::base::GetPosition,
                    ParamValue(Vector3{100.5f, 200.25f, 300.125f})}};
    size_t copies = 0;
    for (uint32_t id : named) {
        const uint32_t classId = uint32_t(table[id].classId);
        for (const auto &answer : answers) {
            const std::string what = "\"Copy Value\" into " + std::to_string(id) + " \"" + table[id].name +
                                     "\" to class " + std::to_string(classId) + " from " + answer.name;
            watchdog.Begin(what);
            check(what, classId, id, Guarded([&] {
                      return sweep.RunWith(classId, [&](Actor *receiver) {
                          SendCommandArgs(receiver, answer.set, answer.value);
                          SendCommandArgs(receiver, cmd::base::CopyValue, id, receiver, answer.get);
                      });
                  }));
            ++copies;
        }
    }
    watchdog.Begin("done");
    std::filesystem::current_path(home);
    EXPECT_EQ(FilesBelow(scratch, sweep.game), before);
    std::printf("parameter sweep: %zu parameters, %zu values sent; \"Copy Value\" into %zu commands, %zu "
                "times\n",
                parameters.size(), sent, named.size(), copies);
}

// The file route: for every class, the file that holds its receiver as the
// sweep's world holds it (the class's level file, or the globals for the
// root Environment and the front end), with each float that the receiver's
// record's reader takes (heard through the readers' test seam; the records
// of what the receiver holds are left to their own classes) NaN, +inf and
// -inf in turn. The world loads it and runs on; the same checks hold, the device's
// gamma among them.
struct FloatsHeard {
    std::vector<uint32_t> offsets;
    static void Hear(void *self, uint32_t offset) { static_cast<FloatsHeard *>(self)->offsets.push_back(offset); }
};

TEST(NumberSweep, ABadNumberInAFileStaysWithTheActorThatHoldsIt) {
    NumberSweep sweep;
    // Every class an actor can be made of, but the world itself and the
    // camera, which "Start Game" makes.
    std::vector<uint32_t> classes;
    ResetActorWorldForTests(true);
    InitActorSystem();
    for (uint32_t cls = 0; cls <= kHighestClassId; ++cls) {
        if (cls != kActorSystemClassId && cls != kCameraClassId &&
            CreateActor(int32_t(cls), "Probe", nullptr, GetActorById(kSceneryRootId), -1, false) != nullptr) {
            classes.push_back(cls);
        }
    }
    if (const char *only = std::getenv("NUMBER_SWEEP_ONLY")) {
        std::erase_if(classes, [&](uint32_t c) { return c != std::strtoul(only, nullptr, 10); });
    }
    std::string error;
    ASSERT_TRUE(sweep.SetUp(classes, &error)) << error;
    const std::string data = sweep.game + "/Data/";
    SayCaseOnDeath sayCase;
    Watchdog watchdog;
    size_t floats = 0, loads = 0;
    for (uint32_t classId : classes) {
        watchdog.Begin("class " + std::to_string(classId) + " without a command");
        // The file, the receiver's records in it, and the floats read there.
        // The root Environment and the front end stand in the globals, here
        // as a save writes them once read, so that their records stand in
        // the file as they are written.
        const bool inGlobals = !ReceiverInFile(classId);
        std::string file = LevelFile(classId), globals = "Character.qva";
        std::string records = sweep.receiverRecords[classId];
        size_t recordBytes = sweep.receiverRecordBytes[classId];
        if (inGlobals) {
            file = globals = "SweepGlobals.qva";
            ResetActorWorldForTests(true);
            InitActorSystem();
            GetActorSystem()->baseFolder = sweep.game;
            ASSERT_NE(SendCommandArgs(GetActorById(kGlobalRootId), cmd::file_io::OpenFile, "Character.qva"), 0);
            std::string original, reason;
            ASSERT_TRUE(ReadWholeFile(data + "Character.qva", &original, &reason)) << reason;
            uint32_t header[4] = {}; // version, count, first id, span
            std::memcpy(header, original.data(), std::min(original.size(), sizeof(header)));
            ASSERT_NE(SaveActors(data + file, header[2], header[2] + header[3], kSerializeSave), 0);
            const int32_t id = classId == kEnvironmentClassId ? kEnvironmentActorId : kInventoryActorId;
            records = sweep.RecordsOf(uint32_t(id), uint32_t(id) + 1);
            recordBytes = records.size();
        }
        const Outcome quiet = sweep.Run(classId, 0, {}, false, globals);
        ASSERT_TRUE(quiet.broken.empty()) << "class " << classId << ": " << quiet.broken.front();
        std::string bytes, reason;
        ASSERT_TRUE(ReadWholeFile(data + file, &bytes, &reason)) << file << ": " << reason;
        // A level file ends with the receiver's records (a file holds its
        // actors in the order of their ids, and the receiver was made last);
        // the values a record holds may have moved since it was written (a
        // door keeps its closed place once saved), their places not.
        size_t at = std::string::npos;
        if (inGlobals) {
            at = records.empty() ? std::string::npos : bytes.find(records);
        } else if (!records.empty() && records.size() <= bytes.size() &&
                   bytes.compare(bytes.size() - records.size(), 8, records, 0, 8) == 0) {
            at = bytes.size() - records.size();
        }

        ASSERT_NE(at, std::string::npos) << "class " << classId << ": its records are not in " << file;
        ResetActorWorldForTests(true);
        InitActorSystem();
        GetActorSystem()->baseFolder = sweep.game;
        if (!inGlobals) SendCommandArgs(GetActorById(kGlobalRootId), cmd::file_io::OpenFile, "Character.qva");
        FloatsHeard heard;
        SetFloatReadProbeForTests(&FloatsHeard::Hear, &heard);
        SendCommandArgs(GetActorById(inGlobals ? kGlobalRootId : kSceneryRootId), cmd::file_io::OpenFile, file.c_str());
        SetFloatReadProbeForTests(nullptr, nullptr);
        std::erase_if(heard.offsets, [&](uint32_t o) { return o < at || o + 4 > at + recordBytes; });
        floats += heard.offsets.size();

        for (const uint32_t offset : heard.offsets) {
            for (const float bad : {NAN, INFINITY, -INFINITY}) {
                const std::string what = "class " + std::to_string(classId) + ", " + file + " at " +
                                         std::to_string(offset) + " = " + std::to_string(bad);
                watchdog.Begin(what);
                std::string patched = bytes;
                std::memcpy(patched.data() + offset, &bad, 4);
                ASSERT_TRUE(WriteWholeFile((data + "SweepBad.qva").c_str(), {patched.begin(), patched.end()}));
                const Outcome outcome = Guarded([&] {
                    return inGlobals ? sweep.Run(classId, 0, {}, false, "SweepBad.qva")
                                     : sweep.Run(classId, 0, {}, false, "Character.qva", "SweepBad.qva");
                });
                ++loads;
                EXPECT_TRUE(outcome.broken.empty()) << what << ": " << ::testing::PrintToString(outcome.broken);
                EXPECT_EQ(outcome.marks, quiet.marks) << what;
                EXPECT_TRUE(outcome.gamma == quiet.gamma) << what << ": the device's gamma";
            }
        }
    }
    watchdog.Begin("done");
    std::printf("file sweep: %zu classes, %zu floats, %zu files loaded\n", classes.size(), floats, loads);
}

// The saved-command sweep: the file that holds the receiver holds saved
// scheduled commands of one command id, given to the receiver, in every
// entry kind the scheduler knows (1, 2, 3, 4, 5, 6, 7, 11, 13 and the inert
// 0), each with 40 bytes 0xFF, 40 bytes 0x41 and the well-formed block of
// zeros that a save writes; and the id nested, followed by 32 bytes 0x41,
// in every command that takes a command and reaches the receiver (a base
// command or one of its class). Every registered id takes its turn, and a
// few that the table does not register: the world loads its file and runs
// on under the sweep's checks. The root Environment and the front end stand
// in the globals file; the world itself and the follow camera are in no
// file, so their commands go to the Base's receiver.
constexpr uint8_t kSweptKinds[] = {1, 2, 3, 4, 5, 6, 7, 11, 13, 0};

// Besides the clock commands, these change the world as they are meant to
// when an entry gives them to the receiver or, through "Cur_DG", to every
// actor of the room: the marks themselves, an action stop (the room's timer
// stops with it), a local matrix (the room's actors move, one into the
// trigger), and the File IO's opening or unloading of a file, which takes
// every level draw group out of the world, in the first pass already for
// an entry of every pass (the room is never drawn, and the far sound is no
// longer muted by it).
const uint32_t worldCommands[] = {cmd::base::InvalidateOldPosition,
                                  cmd::base::InvalidateMatrix,
                                  cmd::base::QuaternionIdentity,
                                  cmd::base::OnDrawStart,
                                  cmd::base::OnDrawStop,
                                  cmd::base::ActionStopPre,
                                  cmd::base::ActionStop,
                                  cmd::base::SetLocalMatrix};
const uint32_t levelCommands[] = {cmd::file_io::OpenFile, cmd::file_io::UnloadFile};

// Where a command's entries stand: the receiver of a class in a file.
uint32_t HolderClass(uint32_t id) {
    const CommandInfo *info = FindCommandInfo(id);
    if (info == nullptr || !info->registered() || info->classId < 0) return kBaseClassId;
    const auto classId = uint32_t(info->classId);
    return classId == kActorSystemClassId || classId == kCameraClassId ? kBaseClassId : classId;
}

bool HolderInGlobals(uint32_t classId) { return classId == kEnvironmentClassId || classId == kInventoryClassId; }

// The command's block of zeros as a save writes it; empty when it has none.
std::vector<uint8_t> PortableZeros(uint32_t id, Actor *context) {
    const CommandInfo *info = FindCommandInfo(id);
    std::vector<ParamValue> values;
    for (uint32_t type : info != nullptr ? info->paramTypes : std::vector<uint32_t>{}) {
        values.push_back(ZeroValue(type));
    }
    ParamBlockBuilder builder;
    ParamBlockResult portable;
    if (!builder.Build(id, values) || !ParamBlockToPortable(context, &portable, id, builder.block())) return {};
    return portable.ToVector();
}

// The carrier's block of zeros as a save writes it, with each nested
// command the id and then 32 bytes 0x41.
std::vector<uint8_t> Nesting(uint32_t carrier, uint32_t id, Actor *context) {
    const std::vector<uint8_t> zeros = PortableZeros(carrier, context);
    std::vector<uint8_t> out;
    size_t at = 0;
    for (uint32_t type : GetCommandTable()[carrier].paramTypes) {
        const size_t n = ParamValueSize(type, zeros.data() + at, zeros.size() - at, ParamLayout::Portable);
        if (type == ParamType::Command) {
            const auto *word = reinterpret_cast<const uint8_t *>(&id);
            out.insert(out.end(), word, word + 4);
            out.insert(out.end(), 32, 0x41);
        } else {
            out.insert(out.end(), zeros.begin() + std::ptrdiff_t(at), zeros.begin() + std::ptrdiff_t(at + n));
        }
        at += n;
    }
    return out;
}

// An entry as the actor reader leaves it, on the layer its place in the
// owner's list gives. Times from the owner's clock.
void AddSavedEntry(Actor *owner, uint32_t command, const std::vector<uint8_t> &bytes, uint8_t kind, float due) {
    const float now = owner->timeRecord != nullptr ? owner->timeRecord->time : 0.0f;
    const auto layer = uint8_t(owner->scheduledCommands.size() % kScheduleLayerCount);
    ScheduledCommand *entry = AddStoredEntry(owner, command, kind, bytes, now + due);
    entry->layer = layer;
    entry->interval = 0.02f;
    entry->end = entry->start + 0.1f;
}

// First id and span of an actor file's actors; {0, 0} when it does not read.
std::pair<uint32_t, uint32_t> FileSpan(const std::string &path) {
    std::string bytes, reason;
    uint32_t header[4] = {}; // version, count, first id, span
    if (ReadWholeFile(path, &bytes, &reason)) std::memcpy(header, bytes.data(), std::min(bytes.size(), sizeof(header)));
    return {header[2], header[2] + header[3]};
}

TEST(NumberSweep, ASavedCommandInAFileGetsOnlyItsOwnParameters) {
    NumberSweep sweep;
    const CommandTable &table = GetCommandTable();
    std::vector<uint32_t> ids;
    for (uint32_t id = 0; id < table.size(); ++id) {
        if (table[id].registered()) ids.push_back(id);
    }
    // Answered by the engine, yet not in the table (their blocks hold
    // addresses), a slot never registered, and ids beyond the table.
    uint32_t slot = 1;
    while (slot < table.size() && table[slot].registered()) ++slot;
    const std::vector<uint32_t> unregistered = {
        cmd::base::SetLocalMatrix, cmd::base::SpyNotice, cmd::base::CollectDescendants, cmd::base::FindScript, slot,
        uint32_t(table.size()),    0xFFFFFFFFu};
    ids.insert(ids.end(), unregistered.begin(), unregistered.end());
    std::vector<uint32_t> carriers;
    for (uint32_t id = 0; id < table.size(); ++id) {
        const std::vector<uint32_t> &types = table[id].paramTypes;
        if (table[id].registered() && std::count(types.begin(), types.end(), ParamType::Command) > 0) {
            carriers.push_back(id);
        }
    }
    if (const char *only = std::getenv("NUMBER_SWEEP_ONLY")) {
        std::erase_if(ids, [&](uint32_t id) { return id != std::strtoul(only, nullptr, 10); });
    }
    std::vector<uint32_t> classes;
    for (uint32_t id : ids) classes.push_back(HolderClass(id));
    std::sort(classes.begin(), classes.end());
    classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
    std::string error;
    ASSERT_TRUE(sweep.SetUp(classes, &error)) << error;
    const std::string data = sweep.game + "/Data/";
    SayCaseOnDeath sayCase;
    Watchdog watchdog;

    // Writes the file that holds the class's receiver, with the id's
    // entries (none for a quiet run), and runs the world on it.
    size_t entries = 0, runs = 0;
    const auto run = [&](uint32_t classId, std::optional<uint32_t> id) {
        const bool inGlobals = HolderInGlobals(classId);
        const std::string file = inGlobals ? "SweepSavedGlobals.qva" : "SweepSaved.qva";
        if (!sweep.Open("Character.qva", LevelFile(classId))) return Outcome{{}, {"the world does not open"}, {}};
        Actor *holder =
            inGlobals ? GetActorById(uint32_t(classId == kEnvironmentClassId ? kEnvironmentActorId : kInventoryActorId))
                      : FindActorByName("Target", -1);
        if (holder == nullptr) return Outcome{{}, {"no receiver"}, {}};
        const size_t before = holder->scheduledCommands.size();
        if (id) {
            const std::vector<uint8_t> blocks[] = {std::vector<uint8_t>(40, 0xFF), std::vector<uint8_t>(40, 0x41),
                                                   PortableZeros(*id, holder)};
            // Due once the world is warmed up, as a sent command arrives.
            float due = 0.035f;
            for (uint8_t kind : kSweptKinds) {
                for (const std::vector<uint8_t> &block : blocks) AddSavedEntry(holder, *id, block, kind, due += 0.003f);
            }
            for (uint32_t carrier : carriers) {
                const auto carrierClass = uint32_t(table[carrier].classId);
                if (carrierClass == kBaseClassId || carrierClass == classId) {
                    AddSavedEntry(holder, carrier, Nesting(carrier, *id, holder), kScheduleOnce, due += 0.003f);
                }
            }
        }
        entries += holder->scheduledCommands.size() - before;
        const auto [first, end] = FileSpan(data + (inGlobals ? "Character.qva" : LevelFile(classId)));
        if (SaveActors(data + file, first, end, kSerializeSave) == 0) return Outcome{{}, {"no file"}, {}};
        ++runs;
        return inGlobals ? sweep.RunWith(classId, {}, file) : sweep.RunWith(classId, {}, "Character.qva", file);
    };

    std::map<uint32_t, Outcome> quiet;
    for (uint32_t classId : classes) {
        watchdog.Begin("class " + std::to_string(classId) + " without saved commands");
        const Outcome &outcome = quiet[classId] = run(classId, std::nullopt);
        ASSERT_TRUE(outcome.broken.empty()) << "class " << classId << ": " << outcome.broken.front();
        ASSERT_FALSE(outcome.marks.empty()) << "class " << classId;
    }
    for (uint32_t id : ids) {
        const uint32_t classId = HolderClass(id);
        const std::string name = id < table.size() && table[id].registered() ? table[id].name : "not registered";
        const std::string what =
            "saved " + std::to_string(id) + " \"" + name + "\" to class " + std::to_string(classId);
        watchdog.Begin(what);
        Outcome outcome = Guarded([&] { return run(classId, id); });
        const auto listed = [&](const auto &list) {
            return std::find(std::begin(list), std::end(list), id) != std::end(list);
        };
        if (listed(levelCommands)) std::erase(outcome.broken, "the far sound");
        EXPECT_TRUE(outcome.broken.empty()) << what << ": " << ::testing::PrintToString(outcome.broken);
        if (!listed(clockCommands) && !listed(worldCommands) && !listed(levelCommands)) {
            EXPECT_EQ(outcome.marks, quiet[classId].marks) << what;
        }
    }
    watchdog.Begin("done");
    std::printf("saved-command sweep: %zu ids, %zu entries, %zu worlds run\n", ids.size(), entries, runs);
}

} // namespace
