// Fixture of the world's own commands and the level load: the world of
// ActorWorldTest with recorder classes for the Player (9), Mesh Object (3),
// Character (16) and Camera (19), the outside services replaced by
// recorders, and helpers to send commands to actor 0.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "actors/presentation/presentation_seams.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/class_factory.h"
#include "library/library_item.h"
#include "world_fixture.h"

class LibraryItem;
class ResourceLibrary;

// A library of its own made the process's library for the scope, holding
// the material "wall" (slot 1) and the texture "film" (slot 2); material
// loads and releases are recorded as "load wall" and "release wall".
class RecordedLibrary {
  public:
    RecordedLibrary();
    ~RecordedLibrary();
    RecordedLibrary(const RecordedLibrary &) = delete;
    RecordedLibrary &operator=(const RecordedLibrary &) = delete;
    bool Ready() const { return wall != nullptr && film != nullptr; }
    static std::vector<std::string> &Calls();
    static std::vector<std::string> TakeCalls();

    LibraryItem *wall = nullptr;
    LibraryItem *film = nullptr;

  private:
    std::unique_ptr<ResourceLibrary> library_;
    ResourceLibrary *previous_ = nullptr;
    ItemLoader previousLoader_;
};

class WorldCommandTest : public ActorWorldTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Sends a command with a raw block to actor 0; answers its answer.
    int SendRaw(uint32_t commandId, const void *bytes = nullptr, size_t size = 0);
    template <class... Args> int Send(uint32_t commandId, Args... values) {
        return SendCommandArgs(system, commandId, values...);
    }
    uint32_t AskU32(uint32_t commandId);
    // A String128 field.
    static std::vector<uint8_t> Name128(const std::string &text);
    // A recorder of the class under parent (Scenery when null).
    WorldRecorder *MakeOfClass(int32_t classId, const char *name, Actor *parent = nullptr,
                               int32_t id = -1);

    // A Camera of the camera placeholder class (not a recorder).
    CameraActor *MakeRealCamera(const char *name);

    ActorClassRow cameraRow;
    std::vector<uint32_t> traced;
    int closeRequests = 0;
    std::vector<std::string> savedFiles;
    int saveResult = 1;
};
