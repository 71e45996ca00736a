#include "core/actors/actor_system_commands.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/actors/actor_file.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_convert.h"
#include "core/actors/screen_capture.h"
#include "core/actors/subsystem_hooks.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "library/video_items.h"
#include "platform/graphics.h"
#include "platform/os/window.h"
#include "platform/timer.h"
#include "platform/video.h"

PackArchive *GamePackArchive = nullptr;

namespace {

constexpr size_t kString128Size = 128;

ActorSystemHooks g_hooks;

Actor *FindByResolver(std::string_view path) {
    const ActorPathResolver *resolver = GetActorPathResolver();
    return resolver != nullptr ? resolver->FindActorByPath(path, GetActorById(0)) : nullptr;
}

void PostCloseToWindow() {
    if (CQVGraphics *graphics = GetGraphics()) {
        if (EngineWindow *window = graphics->GetDeviceWindow()) {
            window->PostClose();
        }
    }
}

void TraceSoundOfLibrary(uint32_t value) {
    if (ResourceLibrary *library = GetLibrary()) {
        library->TraceSound(value);
    }
}

ActorSystemHooks DefaultHooks() {
    ActorSystemHooks hooks;
    // Actor files are read and written by the actor-file code.
    hooks.loadActors = [](const std::string &fileName, uint32_t mode) {
        return LoadActors(fileName, mode);
    };
    hooks.saveActors = [](const std::string &fileName, uint32_t first, uint32_t end,
                          uint32_t mode) { return SaveActors(fileName, first, end, mode); };
    hooks.findActorByPath = &FindByResolver;
    hooks.requestClose = &PostCloseToWindow;
    hooks.traceSound = &TraceSoundOfLibrary;
    hooks.textureMovie = [](LibraryItem *texture, bool play) {
        if (play) {
            RestartVideoTexture(texture);
        } else {
            StopVideoTexture(texture);
        }
    };
    return hooks;
}

// The actor when its table slot still holds it.
Actor *StillLive(int32_t id, Actor *actor) {
    return actor != nullptr && ActorTableEntry(id) == actor ? actor : nullptr;
}

int SendPointer(Actor *actor, uint32_t commandId, void *pointer) {
    if (actor == nullptr) {
        return 0;
    }
    return actor->HandleCommand(commandId, ParamBlock(&pointer, sizeof(pointer)));
}

int SendFloats(Actor *actor, uint32_t commandId, std::initializer_list<float> values) {
    if (actor == nullptr) {
        return 0;
    }
    float buffer[4] = {};
    std::copy(values.begin(), values.end(), buffer);
    return actor->HandleCommand(commandId, ParamBlock(buffer, values.size() * sizeof(float)));
}

// Sends "Recursive Command" carrying a command without parameters to every
// child of the system.
void SendToTree(ActorSystem *system, uint32_t commandId) {
    RecursiveCommandParams params{commandId, nullptr};
    SendCommandToChildren(system, kRecursiveCommandId, ParamBlock(&params, sizeof(params)));
}

// Set while the world's "Start Game" runs: a start that a script of the
// starting world sends again is not carried out, since each start would run
// every start script again, each of them starting the world once more.
bool g_startingGame = false;

void StartGame(ActorSystem *system) {
    if (g_startingGame) {
        return;
    }
    struct Starting {
        Starting() { g_startingGame = true; }
        ~Starting() { g_startingGame = false; }
    } starting;
    Actor *scenery = GetActorById(kSceneryRootId);

    // 1. The master player.
    Actor *player = CreateActor(kPlayerClassId, "Player", nullptr, scenery, -1, true);
    const int32_t playerId = player != nullptr ? player->actorId : -1;
    if (player != nullptr) {
        player->flags |= kActorMaster;
        SendCommandArgs(player, cmd::base::SetName, "MASTERPLAYER");
    }

    // 2.-6. The player's character and its camera.
    if (Actor *character = FindActorByName("PlayerCharacter", -1)) {
        Actor *copy = CopyActorTree(character, scenery);
        const int32_t copyId = copy != nullptr ? copy->actorId : -1;
        if (copy != nullptr) {
            SendCommandArgs(copy, cmd::base::SetName, "GA1_Player");
            player = StillLive(playerId, player);
            copy = StillLive(copyId, copy);
        }
        if (copy != nullptr) {
            if (player != nullptr) {
                SendPointer(player, cmd::player::SetCharacter, copy);
                copy = StillLive(copyId, copy);
            }
            for (const char *markerName :
                 {"PlayerStart", "PlayerLocalStart", "PlayerStart0", "PlayerStart1"}) {
                if (Actor *marker = FindActorByName(markerName, -1)) {
                    if (copy != nullptr) {
                        SendPointer(copy, cmd::base::SetOrientation, marker);
                    }
                    break;
                }
            }
            player = StillLive(playerId, player);
            copy = StillLive(copyId, copy);
        }
        if (player != nullptr && copy != nullptr && player->HasFlag(kActorMaster)) {
            SendWord(copy, cmd::base::SetMaster, 1);
            uint32_t type = 3;
            if (Actor *asked = StillLive(copyId, copy)) {
                asked->HandleCommand(cmd::character::GetCharacterType,
                                     ParamBlock(&type, sizeof(type)));
            }
            if (type == 3 || type == 4) {
                Actor *camera = CreateActor(kCameraClassId, "Camera", nullptr,
                                            GetActorById(kSceneryRootId), -1, true);
                const int32_t cameraId = camera != nullptr ? camera->actorId : -1;
                if (camera != nullptr) {
                    SendFloats(camera, cmd::base::SetPosition, {0.0f, 50.0f, 0.0f});
                    SendFloats(StillLive(cameraId, camera), cmd::camera::SetFov,
                               {type == 4 ? 1.45f : 1.4f});
                }
                if (type == 4) {
                    // The second value is left neutral.
                    SendFloats(StillLive(copyId, copy), cmd::character::ChangeCPHealth,
                               {-1.0f, 0.0f});
                }
                if (StillLive(cameraId, camera) != nullptr) {
                    SendWord(StillLive(cameraId, camera), cmd::camera::SetCameraType,
                             type == 4 ? 5u : 1u);
                    SendPointer(StillLive(cameraId, camera), cmd::camera::SetCameraTarget1_1222,
                                StillLive(copyId, copy));
                    SendWord(StillLive(cameraId, camera), cmd::camera::SetCameraActive, 1);
                    SendPointer(StillLive(copyId, copy), cmd::character::SetNotifyCamera,
                                StillLive(cameraId, camera));
                }
            }
        }
    }

    // 7. One frame time is dropped.
    if (FrameTimer *timer = GetFrameTimer()) {
        timer->GetDeltaTime();
    }

    // 8.-9. The whole tree hears of the start and of the difficulty.
    SendToTree(system, cmd::base::StartGame);
    if (system->difficultyLevel >= 1 && system->difficultyLevel <= 3) {
        SendToTree(system, cmd::base::OnDifficultyLevel1 + system->difficultyLevel - 1);
    }
}

// Deletes every actor from id 8000 up, highest id first; actors that went
// with a subtree are skipped.
void DeleteSpawnedActors() {
    for (size_t id = ActorTable.size(); id-- > kFirstFreeActorId;) {
        if (id < ActorTable.size() && ActorTable[id] != nullptr) {
            DeleteActor(ActorTable[id]);
        }
    }
}

std::string_view ReadString128(ParamBlock block, size_t offset) {
    return block.Sub(offset, kString128Size).ReadString(0);
}

LibraryItem *FindItem(std::string_view name, ItemClass cls) {
    ResourceLibrary *library = GetLibrary();
    if (library == nullptr) {
        return nullptr;
    }
    return library->FindItemByName(std::string(name).c_str(), cls);
}

void WriteColor(ParamBlock block, const Vector4 &c) {
    block.WriteF32(0, c.x);
    block.WriteF32(4, c.y);
    block.WriteF32(8, c.z);
    block.WriteF32(12, c.w);
}

Vector4 ReadColor(ParamBlock block) {
    return {block.ReadF32(0), block.ReadF32(4), block.ReadF32(8), block.ReadF32(12)};
}

void WriteVector3(ParamBlock block, const Vector3 &v) {
    block.WriteF32(0, v.x);
    block.WriteF32(4, v.y);
    block.WriteF32(8, v.z);
}

Vector3 ReadVector3(ParamBlock block) {
    return {block.ReadF32(0), block.ReadF32(4), block.ReadF32(8)};
}

// A capture side from a script's float: NaN and values outside 1..4096 are
// refused before any conversion.
bool CaptureSide(float value, int32_t *out) {
    if (!(value >= 1.0f && value <= static_cast<float>(kMaxCaptureSide))) {
        return false;
    }
    *out = static_cast<int32_t>(value);
    return true;
}

void SetPendingLoad(ActorSystem *system, uint32_t loadFlag, uint32_t newGame) {
    system->loadPending = 1;
    system->loadFlag = loadFlag;
    system->newGame = newGame;
}

} // namespace

ActorSystemHooks &GetActorSystemHooks() {
    static bool made = false;
    if (!made) {
        g_hooks = DefaultHooks();
        made = true;
    }
    return g_hooks;
}

void ResetActorSystemHooks() { GetActorSystemHooks() = DefaultHooks(); }

bool JoinBaseFolder(const std::string &folder, std::string_view name, std::string *out) {
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        if (name.substr(start, end - start) == "..") {
            return false;
        }
        start = end + 1;
    }
    *out = folder + "\\" + std::string(name);
    return true;
}

void AssignDrawGroupIds() {
    if (DrawGroupRegistry.size() <= kSystemDrawGroupCount) {
        return;
    }
    struct Entry {
        Actor *group;
        float length;
    };
    std::vector<Entry> entries;
    for (size_t i = kSystemDrawGroupCount; i < DrawGroupRegistry.size(); ++i) {
        Actor *group = DrawGroupRegistry[i];
        const float length = group != nullptr ? DrawGroupDiagonal(group) : 0.0f;
        entries.push_back({group, length});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.group == nullptr || b.group == nullptr) {
            return a.group != nullptr && b.group == nullptr;
        }
        return a.length < b.length;
    });
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t slot = kSystemDrawGroupCount + i;
        DrawGroupRegistry[slot] = entries[i].group;
        if (entries[i].group != nullptr) {
            SetDrawGroupId(entries[i].group, static_cast<int32_t>(slot));
        }
    }
}

int ActorSystem::HandleCommand(uint32_t commandId, ParamBlock block) {
    ActorSystemHooks &hooks = GetActorSystemHooks();
    bool saveFailed = false;
    switch (commandId) {
    case cmd::base::StartGame:
        StartGame(this);
        break;
    case cmd::actor_system::SetDeferLoads:
        deferFlag = block.ReadU32(0);
        break;
    case cmd::actor_system::GetDeferLoads:
        block.WriteU32(0, deferFlag);
        break;
    case cmd::actor_system::SkipFrameTime:
        if (FrameTimer *timer = GetFrameTimer()) {
            timer->GetDeltaTime();
        }
        break;
    case cmd::base::InvalidateResources: {
        const auto cls = static_cast<ItemClass>(block.ReadI32(kString128Size));
        if (LibraryItem *item = FindItem(ReadString128(block, 0), cls)) {
            GetLibrary()->ReleaseItem(item);
            GetLibrary()->LoadItem(item);
        }
        break;
    }
    case cmd::actor_system::LoadAllFileobjects:
        BroadcastCommand(cmd::file::LoadFileobject, ParamBlock());
        break;
    case cmd::actor_system::UnloadAllFileobjects:
        BroadcastCommand(cmd::file::UnloadFileobject, ParamBlock());
        DeleteSpawnedActors();
        break;
    case cmd::actor_system::LoadResource:
        if (LibraryItem *item = FindItem(ReadString128(block, 0), ItemClass::Any)) {
            if (deferFlag != 0) {
                deferredLoads.push_back(item);
            } else {
                GetLibrary()->LoadItem(item);
            }
        }
        break;
    case cmd::actor_system::UnloadResource:
        if (LibraryItem *item = FindItem(ReadString128(block, 0), ItemClass::Any)) {
            GetLibrary()->ReleaseItem(item);
        }
        break;
    case cmd::actor_system::SaveGame: {
        std::string fileName;
        if (!JoinBaseFolder(baseFolder, block.ReadString(0), &fileName)) {
            saveFailed = true;
            break;
        }
        uint32_t one = 1;
        HandleCommand(cmd::base::SetSavedRecursive, ParamBlock(&one, sizeof(one)));
        saveFailed = hooks.saveActors(fileName, static_cast<uint32_t>(kFirstUserActorId),
                                      static_cast<uint32_t>(ActorTable.size()), 2) == 0;
        break;
    }
    case cmd::actor_system::LoadGame:
        SetPendingLoad(this, 1, 0);
        secondFile = baseFolder + "\\" + std::string(block.ReadString(0));
        break;
    case cmd::actor_system::NewGame:
    case cmd::actor_system::NewGame2:
        SetPendingLoad(
            this, commandId == cmd::actor_system::NewGame ? 1u : block.ReadU32(2 * kString128Size),
            1);
        firstFile = baseFolder + "\\" + std::string(ReadString128(block, 0));
        secondFile = baseFolder + "\\" + std::string(ReadString128(block, kString128Size));
        break;
    case cmd::actor_system::ExitEngine:
        hooks.requestClose();
        break;
    case cmd::actor_system::PlayTextureMovie:
    case cmd::actor_system::StopTextureMovie:
        if (LibraryItem *item = FindItem(ReadString128(block, 0), ItemClass::Texture)) {
            hooks.textureMovie(item, commandId == cmd::actor_system::PlayTextureMovie);
        }
        break;
    case cmd::actor_system::GetCurrentCamera:
        block.WritePointer(0, static_cast<Actor *>(CurrentCamera));
        break;
    case cmd::actor_system::SetDifficultyLevel:
        difficultyLevel = block.ReadU32(0);
        break;
    case cmd::actor_system::GetDifficultyLevel:
        block.WriteU32(0, difficultyLevel);
        break;
    case cmd::actor_system::SetGlobalTime: {
        // A time that is not finite is refused: every clock runs from the root.
        const float time = block.ReadF32(0);
        if (!std::isfinite(time)) {
            break;
        }
        TimeRecord *root = RootTimeRecord();
        root->time = time;
        root->previousTime = time - 1.0f / 60.0f;
        root->earlierTime = time - 1.0f / 30.0f;
        break;
    }
    case cmd::actor_system::CaptureBackBuffer: {
        int32_t width = 0;
        int32_t height = 0;
        if (CaptureSide(block.ReadF32(0), &width) && CaptureSide(block.ReadF32(4), &height)) {
            CaptureBackBuffer(width, height);
        }
        break;
    }
    case cmd::actor_system::CaptureSave: {
        std::string fileName;
        if (JoinBaseFolder(baseFolder, block.ReadString(0), &fileName)) {
            SaveCapturedImage(fileName);
        }
        break;
    }
    case cmd::actor_system::SetGlobalMultiplierAIPlayerHitEffect:
        // Every AI player's hits are scaled by it: one that is not finite
        // leaves the held factor.
        if (std::isfinite(block.ReadF32(0))) {
            GlobalHitEffectMultiplier = block.ReadF32(0);
        }
        break;
    case cmd::actor_system::CopyActor: {
        Actor *source = block.ReadActor(0);
        Actor *destination = block.ReadActor(sizeof(Actor *));
        if (source != nullptr && destination != nullptr) {
            CopyActorTree(source, destination);
        }
        break;
    }
    case cmd::actor_system::SlowmotionIsActive:
        block.WriteU32(0, globalSpeedMultiplier < 1.0f ? 1u : 0u);
        break;
    case cmd::actor_system::FreezemotionIsActive:
        block.WriteU32(0, globalSpeedMultiplier == 0.0f ? 1u : 0u);
        break;
    case cmd::actor_system::PushListenerEffect:
        listenerEffects.push_back(block.ReadU32(0));
        hooks.traceSound(listenerEffects.back());
        break;
    case cmd::actor_system::PopListenerEffect:
        if (!listenerEffects.empty()) {
            listenerEffects.pop_back();
        }
        hooks.traceSound(listenerEffects.empty() ? kDefaultListenerEffect
                                                 : listenerEffects.back());
        break;
    case cmd::actor_system::SetLoadBarColor:
        loadBarColor = ReadColor(block);
        break;
    case cmd::actor_system::GetLoadBarColor:
        WriteColor(block, loadBarColor);
        break;
    case cmd::actor_system::SetLoadBarPosition:
        // The loading screen lays its bar out from these places: one that
        // is not finite is refused, and the held one stays.
        if (const Vector3 place = ReadVector3(block); Vec3IsFinite(place)) {
            loadBarPosition = place;
        }
        break;
    case cmd::actor_system::GetLoadBarPosition:
        WriteVector3(block, loadBarPosition);
        break;
    case cmd::actor_system::SetLoadBarTextColor:
        loadBarTextColor = ReadColor(block);
        break;
    case cmd::actor_system::GetLoadBarTextColor:
        WriteColor(block, loadBarTextColor);
        break;
    case cmd::actor_system::SetLoadBarTextPosition:
        if (const Vector3 place = ReadVector3(block); Vec3IsFinite(place)) {
            loadBarTextPosition = place;
        }
        break;
    case cmd::actor_system::GetLoadBarTextPosition:
        WriteVector3(block, loadBarTextPosition);
        break;
    case cmd::actor_system::SetGlobalSpeedMultiplier:
        // A factor that is not finite is refused; the last one stays.
        if (const float factor = block.ReadF32(0); std::isfinite(factor)) {
            globalSpeedMultiplier = factor;
        }
        break;
    case cmd::actor_system::GetGlobalSpeedMultiplier:
        block.WriteF32(0, globalSpeedMultiplier);
        break;
    case cmd::draw_group::GetAssignDrawgroupID:
        AssignDrawGroupIds();
        break;
    case cmd::camera::SetGlobalGamma: {
        // Every camera builds its device ramp from these: six values of
        // which one is not finite are refused whole.
        float gamma[6];
        bool finite = true;
        for (size_t i = 0; i < 6; ++i) {
            gamma[i] = block.ReadF32(i * 4);
            finite = finite && std::isfinite(gamma[i]);
        }
        if (finite) {
            std::copy(std::begin(gamma), std::end(gamma), GlobalGamma);
            RefreshCameraGamma(CurrentCamera);
        }
        break;
    }
    default:
        break;
    }
    const int answer = Actor::HandleCommand(commandId, block);
    return saveFailed ? 0 : answer;
}
