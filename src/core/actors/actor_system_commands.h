// The world's own commands (served by ActorSystem::HandleCommand), the level
// load that ActorSystem::Process performs, and the services both reach
// outside the actor core. Main thread only.
#pragma once

#include "core/actors/command_ids.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class Actor;
class LibraryItem;
class PackArchive;

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
