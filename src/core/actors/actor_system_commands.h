// The world's own commands (served by ActorSystem::HandleCommand), the level
// load that ActorSystem::Process performs, and the services both reach
// outside the actor core. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include "core/actors/base_command_ids.h"

class Actor;
class LibraryItem;
class PackArchive;

// Commands of the actor system.
inline constexpr uint32_t kCmdSetDeferLoads = 224;
inline constexpr uint32_t kCmdGetDeferLoads = 225;
inline constexpr uint32_t kCmdSkipFrameTime = 232;
inline constexpr uint32_t kCmdMarkSaved = 246;
inline constexpr uint32_t kCmdInvalidateResources = 248;
inline constexpr uint32_t kCmdLoadAllFileobjects = 364;
inline constexpr uint32_t kCmdUnloadAllFileobjects = 365;
inline constexpr uint32_t kCmdLoadResource = 366;
inline constexpr uint32_t kCmdUnloadResource = 367;
inline constexpr uint32_t kCmdSaveGame = 368;
inline constexpr uint32_t kCmdLoadGame = 369;
inline constexpr uint32_t kCmdNewGame = 370;
inline constexpr uint32_t kCmdNewGame2 = 371;
inline constexpr uint32_t kCmdExitEngine = 372;
inline constexpr uint32_t kCmdPlayTextureMovie = 373;
inline constexpr uint32_t kCmdStopTextureMovie = 374;
inline constexpr uint32_t kCmdGetCurrentCamera = 375;
inline constexpr uint32_t kCmdSetDifficultyLevel = 377;
inline constexpr uint32_t kCmdGetDifficultyLevel = 378;
inline constexpr uint32_t kCmdSetGlobalTime = 379;
inline constexpr uint32_t kCmdCaptureBackBuffer = 380;
inline constexpr uint32_t kCmdCaptureSave = 381;
inline constexpr uint32_t kCmdSetHitEffectMultiplier = 382;
inline constexpr uint32_t kCmdCopyActor = 383;
inline constexpr uint32_t kCmdSlowmotionIsActive = 384;
inline constexpr uint32_t kCmdFreezemotionIsActive = 385;
inline constexpr uint32_t kCmdPushListenerEffect = 390;
inline constexpr uint32_t kCmdPopListenerEffect = 391;
inline constexpr uint32_t kCmdSetLoadBarColor = 392;
inline constexpr uint32_t kCmdGetLoadBarColor = 393;
inline constexpr uint32_t kCmdSetLoadBarPosition = 394;
inline constexpr uint32_t kCmdGetLoadBarPosition = 395;
inline constexpr uint32_t kCmdSetLoadBarTextColor = 396;
inline constexpr uint32_t kCmdGetLoadBarTextColor = 397;
inline constexpr uint32_t kCmdSetLoadBarTextPosition = 398;
inline constexpr uint32_t kCmdGetLoadBarTextPosition = 399;
inline constexpr uint32_t kCmdSetGlobalSpeedMultiplier = 403;
inline constexpr uint32_t kCmdGetGlobalSpeedMultiplier = 404;
inline constexpr uint32_t kCmdAssignDrawGroupIds = 828;
inline constexpr uint32_t kCmdSetGlobalGamma = 1238;

// The listener effect handed to the sound layer when the stack is empty.
inline constexpr uint32_t kDefaultListenerEffect = 25;

// Services outside the actor core. Each has a default; tests replace them.
struct ActorSystemHooks {
    // Reads an actor file into the tree (mode 0); 0 on failure.
    std::function<int(const std::string &fileName, uint32_t mode)> loadActors;
    // Writes the saved actors of ids [first, end) into a file; 0 on failure.
    std::function<int(const std::string &fileName, uint32_t first, uint32_t end, uint32_t mode)>
        saveActors;
    // The actor a path names from actor 0; null when none.
    std::function<Actor *(std::string_view path)> findActorByPath;
    // Asks the window to close; the message loop ends at its next turn.
    std::function<void()> requestClose;
    // The sound layer's listener-effect hook.
    std::function<void(uint32_t effect)> traceSound;
    // Restarts (play) or stops the video of a texture item.
    std::function<void(LibraryItem *texture, bool play)> textureMovie;
};
ActorSystemHooks &GetActorSystemHooks();
// The hooks back to their defaults.
void ResetActorSystemHooks();

// The pack archive the start-up opened; null when none.
extern PackArchive *GamePackArchive;

// Joins the base folder and a script-given name ("%s\%s"). False when the
// name has a ".." component ('\' and '/' both separate), which would leave
// the base folder.
bool JoinBaseFolder(const std::string &folder, std::string_view name, std::string *out);

// Renumbers the draw groups from registry entry 2 on by the length of their
// box diagonals, smallest first (equal lengths keep their order).
void AssignDrawGroupIds();
