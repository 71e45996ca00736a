#include "actors/world/file_io_actor.h"

#include <utility>

#include "actors/world/file_actor.h"
#include "actors/world/world_seams.h"
#include "base/file_system.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

namespace {

const char kOutsideDataFolder[] = "the name leads out of the data folder";

// clang-format off
const BasicSheetRow kSheet[] = {
    {"FileIO Properties", PropertyKind::PageTitle, 0, 0},
    {"File Name:", PropertyKind::Text, cmd::file::SetFilename, cmd::file::GetFilename},
    {"Open Actor File:|Open|Actor File (*.qva) |*.qva|||", PropertyKind::OpenFileDialog, cmd::file_io::OpenFile, cmd::file::GetFilename},
    {"Save Actor File As:|Save As|Actor File (*.qva) |*.qva|||", PropertyKind::SaveFileDialog, cmd::file_io::SaveFile, cmd::file::GetFilename},
    {"Unload This File Group...", PropertyKind::Caption, 0, 0},
    {"Unload File:|Unload|", PropertyKind::Button, cmd::file_io::UnloadFile, 0},
};
// clang-format on

} // namespace

void FileIOActor::RegisterClass() {
    RegisterBasicClassSheet(kFileIOClassId, kSheet);
    MarkClassPassingCommandsOn(kFileIOClassId, typeid(FileIOActor));
}

void FileIOActor::EmptyContents() {
    BroadcastCommand(cmd::base::InvalidateDrawgroupID, ParamBlock());
    DeleteAllChildren(this);
    DrawGroupRegistry.resize(kSystemDrawGroupCount, nullptr);
    if (ActorSystem *system = GetActorSystem()) {
        system->ClearStaticColObjs();
    }
}

int FileIOActor::OpenFile(ParamBlock block) {
    std::string name(block.ReadString(0));
    std::string path;
    // A name that would leave the data folder changes nothing.
    if (!DataFilePath(name, &path)) {
        return SetActorSystemError(GetActorSystem(), "%s", kOutsideDataFolder);
    }
    fileName = std::move(name);
    EmptyContents();
    return LoadActors(path, kSerializeLoad);
}

int FileIOActor::SaveFile(ParamBlock block) {
    std::string name = block.data() != nullptr ? std::string(block.ReadString(0)) : fileName;
    if (name.empty()) {
        fileName.clear();
        return 1;
    }
    std::string path;
    // A name that would leave the data folder is not stored, nothing is
    // written.
    if (!DataFilePath(name, &path)) {
        return SetActorSystemError(GetActorSystem(), "%s", kOutsideDataFolder);
    }
    fileName = std::move(name);
    // The whole range, its highest id included; an actor without a range
    // writes an empty file.
    uint32_t end = firstId;
    if (firstId >= static_cast<uint32_t>(kFirstUserActorId) && idLimit >= firstId) {
        end = idLimit + 1;
    }
    return SaveActors(path, firstId, end, kSerializeSave);
}

int FileIOActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::file::SetFilename:
        fileName = std::string(block.ReadString(0));
        break;
    case cmd::file::GetFilename:
        block.WriteString(0, fileName);
        break;
    case cmd::file_io::OpenFile:
        if (block.data() != nullptr && OpenFile(block) == 0) {
            return 0;
        }
        break;
    case cmd::file_io::SaveFile: {
        const int saved = SaveFile(block);
        const int result = Actor::HandleCommand(commandId, block);
        return saved != 0 ? result : 0;
    }
    case cmd::file_io::UnloadFile:
        EmptyContents();
        fileName.clear();
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int FileIOActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() >= 1) {
        if (!archive.IsWriting()) {
            fileName.clear();
        }
        archive.SerializeString(fileName);
    }
    return archive.Failed() ? 0 : 1;
}
