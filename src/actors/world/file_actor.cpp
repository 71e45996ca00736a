#include "actors/world/file_actor.h"

#include <algorithm>
#include <cctype>

#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "library/resource_library.h"

std::vector<FileCountRecord> FileCountTable;

void ClearFileCountTable() { FileCountTable.clear(); }

namespace {

// clang-format off
const BasicSheetRow kSheet[] = {
    {"File Properties", PropertyKind::PageTitle, 0, 0},
    {"Files:", PropertyKind::ListSelector, cmd::file::SetFileStringlist, cmd::file::GetFileStringlist},
    {"Add Actor File:|Add File|Actor File (*.qva) |*.qva|||", PropertyKind::OpenFileDialog, cmd::file::SetFilename, 0},
    {"Remove Selected File:|Remove File|", PropertyKind::Button, cmd::file::DeleteFileobject, 0},
    {"Set Rand Weight.", PropertyKind::Caption, 0, 0},
    {"Value:", PropertyKind::WholeNumber, cmd::file::SetFileRandWeight, cmd::file::GetFileRandWeight},
    {"Set Maximum Count In Scene. ( 0 = no limit )", PropertyKind::Caption, 0, 0},
    {"Value:", PropertyKind::WholeNumber, cmd::file::SetFileMaxCount, cmd::file::GetFileMaxCount},
    {"Load Selected File:|Load|", PropertyKind::Button, cmd::file::LoadFileobject, 0},
    {"Unload File:|Unload|", PropertyKind::Button, cmd::file::UnloadFileobject, 0},
    {"Save Loaded File:|Save|", PropertyKind::Button, cmd::file::SaveFileobject, 0},
    {"Save Loaded File As:|Save As|Actor File (*.qva) |*.qva|||", PropertyKind::SaveFileDialog, cmd::file::SaveFileObjectAs, 494},
    {"Set Procent Off No File Loading", PropertyKind::Caption, 0, 0},
    {"Procent:", PropertyKind::WholeNumber, cmd::file::SetNonFileRandWeight, cmd::file::GetNonFileRandWeight},
    {"Auto Load:", PropertyKind::CheckBox, cmd::file::SetAutoLoad, cmd::file::GetAutoLoad},
    {"Always Reload: (Never Save)", PropertyKind::CheckBox, cmd::file::SetAlwaysLoad, cmd::file::GetAlwaysLoad},
};
// clang-format on

constexpr uint32_t kMaxPercent = 100;

// The files being read by File actors now, outermost first, each as its
// mapped path with the letters folded: a file on it is not read again.
std::vector<std::string> g_loadChain;

std::string ChainKey(const std::string &path) {
    std::string key = ResolvePath(path, false);
    if (key.empty()) {
        key = path;
    }
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

class LoadChainEntry {
  public:
    explicit LoadChainEntry(std::string key) { g_loadChain.push_back(std::move(key)); }
    ~LoadChainEntry() { g_loadChain.pop_back(); }
    LoadChainEntry(const LoadChainEntry &) = delete;
    LoadChainEntry &operator=(const LoadChainEntry &) = delete;
};

bool CanOpenForReading(const std::string &path) {
    Archive archive;
    if (!archive.Open(path, "rb")) {
        return false;
    }
    archive.Close();
    return true;
}

} // namespace

bool DataFilePath(const std::string &name, std::string *out) {
    // A name from the root ('\' or '/') or a drive ("C:...") is refused
    // here; JoinBaseFolder refuses every ".." component.
    const bool absolute = (!name.empty() && (name[0] == '\\' || name[0] == '/')) ||
                          (name.size() >= 2 && name[1] == ':' &&
                           std::isalpha(static_cast<unsigned char>(name[0])) != 0);
    if (absolute) {
        return false;
    }
    // The actor system's folder is the one its files come from; the
    // library's stands in only while the system has none.
    std::string base;
    if (const ActorSystem *system = GetActorSystem();
        system != nullptr && !system->baseFolder.empty()) {
        base = system->baseFolder;
    } else if (const ResourceLibrary *library = GetLibrary()) {
        base = library->GetBaseFolder();
    }
    return JoinBaseFolder(base + "\\Data", name, out);
}

void FileActor::RegisterClass() {
    RegisterBasicClassSheet(kFileClassId, kSheet);
}

void FileActor::AddFile(const std::string &fileName) {
    fileNames.push_back(fileName);
    weights.push_back(1);
    maxCounts.push_back(0);
}

void FileActor::RemoveFile(size_t index) {
    fileNames.erase(fileNames.begin() + static_cast<std::ptrdiff_t>(index));
    weights.erase(weights.begin() + static_cast<std::ptrdiff_t>(index));
    maxCounts.erase(maxCounts.begin() + static_cast<std::ptrdiff_t>(index));
}

// Through DeleteActor, so that a child whose script or Process is running
// now stays alive until its delivery returns. A child that cannot be deleted
// is only let go, so that the loop always ends.
void FileActor::UnloadChildren() {
    DeleteAllChildren(this);
    loaded = 0;
}

bool FileActor::IsFileAtMaxCount(const std::string &fileName, int32_t *record) {
    bool atLimit = false;
    int32_t first = -1;
    for (size_t i = 0; i < FileCountTable.size(); ++i) {
        const FileCountRecord &entry = FileCountTable[i];
        if (entry.fileName != fileName) {
            continue;
        }
        if (first < 0) {
            first = static_cast<int32_t>(i);
        }
        if (entry.count >= entry.max) {
            atLimit = true;
        }
    }
    if (record != nullptr) {
        *record = first;
    }
    return atLimit;
}

int FileActor::ChooseFile() {
    if (fileNames.empty()) {
        selectedFile = -1;
        return 0;
    }
    if (fileNames.size() == 1 && noFilePercent == 0) {
        selectedFile = 0;
        return 1;
    }
    // The tickets: weights[i] of them for file i, in file order. They are
    // kept as a count per file, so a weight read from a file never makes a
    // list of that size; a draw picks from the counts as from the list.
    std::vector<uint64_t> tickets(fileNames.size(), 0);
    uint64_t total = 0;
    for (size_t i = 0; i < fileNames.size(); ++i) {
        tickets[i] = weights[i];
        total += weights[i];
    }
    // Only a file can give every file the weight 0: then there is nothing
    // to draw from.
    if (total == 0) {
        selectedFile = -1;
        return 0;
    }
    const auto draw = [&]() {
        uint64_t r = static_cast<uint64_t>(static_cast<size_t>(Rand())) % total;
        size_t i = 0;
        while (r >= tickets[i]) {
            r -= tickets[i];
            ++i;
        }
        return static_cast<int32_t>(i);
    };
    selectedFile = draw();
    int32_t record = -1;
    bool counted = false;
    if (maxCounts[static_cast<size_t>(selectedFile)] != 0) {
        while (total != 0) {
            if (!IsFileAtMaxCount(fileNames[static_cast<size_t>(selectedFile)], &record)) {
                counted = true;
                break;
            }
            // A file at its limit can never be taken: all its tickets go at
            // once (dropping them one draw at a time gives the same odds for
            // the others, but a weight read from a file could make that
            // billions of draws).
            total -= tickets[static_cast<size_t>(selectedFile)];
            tickets[static_cast<size_t>(selectedFile)] = 0;
            selectedFile = -1;
            if (total != 0) {
                selectedFile = draw();
            }
        }
    }
    if (noFilePercent > 0 && static_cast<uint32_t>(Rand()) % 100 < noFilePercent) {
        selectedFile = -1;
    }
    if (selectedFile < 0) {
        return 0;
    }
    const auto chosen = static_cast<size_t>(selectedFile);
    if (counted && maxCounts[chosen] != 0) {
        if (record >= 0) {
            ++FileCountTable[static_cast<size_t>(record)].count;
        } else {
            FileCountTable.push_back({fileNames[chosen], maxCounts[chosen], 1});
        }
    }
    return 1;
}

int FileActor::LoadFileObject(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= fileNames.size()) {
        return 0;
    }
    std::string path;
    if (!DataFilePath(fileNames[static_cast<size_t>(index)], &path)) {
        return 0;
    }
    // A file that includes itself, directly or through the File actors it
    // holds, would load without end: it is refused like a missing file.
    std::string key = ChainKey(path);
    if (std::find(g_loadChain.begin(), g_loadChain.end(), key) != g_loadChain.end()) {
        return 0;
    }
    int result = 0;
    {
        LoadChainEntry entry(std::move(key));
        result = LoadActorsIntoFile(path, this);
    }
    if (result == 0) {
        return 0;
    }
    loaded = 1;
    if (ActorSystem *system = GetActorSystem()) {
        system->SetFileVersion(kNoFileVersion);
    }
    return 1;
}

int FileActor::LoadSelected() {
    if (alwaysReload != 0) {
        loaded = 0;
    }
    if (loaded != 0) {
        return 1;
    }
    loaded = 1;
    if (!SelectedValid()) {
        return 1;
    }
    // Through the command, so that spies and scripts bound to it see every
    // unload.
    HandleCommand(cmd::file::UnloadFileobject, ParamBlock());
    return LoadFileObject(selectedFile);
}

int FileActor::SaveFileObject(const std::string *name) {
    if (loaded == 0 || !SelectedValid()) {
        return 0;
    }
    std::string path;
    if (!DataFilePath(name != nullptr ? *name : fileNames[static_cast<size_t>(selectedFile)],
                      &path)) {
        return 0;
    }

    // The direct children first, then below each of them its descendants,
    // each before its own children; File actors and their contents stay out.
    std::vector<Actor *> listed;
    std::vector<Actor *> direct;
    for (Actor *child : children) {
        if (child != nullptr && child->classId != kFileClassId) {
            direct.push_back(child);
        }
    }
    listed = direct;
    for (Actor *child : direct) {
        struct {
            int32_t wanted;
            int32_t stopClass;
            std::vector<Actor *> *out;
        } query{-1, static_cast<int32_t>(kFileClassId), &listed};
        child->HandleCommand(cmd::base::CollectDescendants, ParamBlock(&query, sizeof(query)));
    }
    Archive archive;
    if (!archive.Open(path, "wb")) {
        return 0;
    }
    WriteActorRecords(archive, listed, this);
    // A failed write leaves the old file as it was.
    return archive.Close() == 0 ? 1 : 0;
}

int FileActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::base::SetResource: {
        const std::string name(block.ReadString(0));
        std::string path;
        if (!DataFilePath(name + ".qva", &path) || !CanOpenForReading(path)) {
            return 0;
        }
        fileNames.clear();
        weights.clear();
        maxCounts.clear();
        const std::string file = name + ".qva";
        HandleCommand(cmd::file::SetFilename,
                      ParamBlock(const_cast<char *>(file.c_str()), file.size() + 1));
        return 1;
    }
    case cmd::base::Create:
        // The base handler copies the Actor part.
        if (auto *source = dynamic_cast<FileActor *>(block.ReadActor(0));
            source && source != this) {
            spareWord = source->spareWord;
            fileNames = source->fileNames;
            weights = source->weights;
            maxCounts = source->maxCounts;
            selectedFile = source->selectedFile;
            loaded = source->loaded;
            alwaysReload = source->alwaysReload;
            autoLoad = source->autoLoad;
            noFilePercent = source->noFilePercent;
        }
        break;
    case cmd::base::SetSavedRecursive:
        if (alwaysReload != 0) {
            flags |= kActorSaved;
            uint32_t off = 0;
            SendCommandToChildren(this, cmd::base::SetSavedRecursive,
                                  ParamBlock(&off, sizeof(off)));
            return 1;
        }
        break;
    case cmd::base::NOSpawned:
        return 0;
    case cmd::file::SetFilename:
        AddFile(std::string(block.ReadString(0)));
        break;
    case cmd::file::GetFilename:
        if (SelectedValid()) {
            block.WriteString(0, fileNames[static_cast<size_t>(selectedFile)]);
        }
        break;
    case cmd::file::SetFileStringlist: {
        const std::string_view text = block.ReadString(0);
        for (size_t i = 0; i < fileNames.size(); ++i) {
            if (fileNames[i] == text) {
                selectedFile = static_cast<int32_t>(i);
            }
        }
        break;
    }
    case cmd::file::GetFileStringlist:
        if (auto *out = static_cast<std::vector<std::string> *>(block.ReadPointer(0));
            out != nullptr && out != &fileNames) {
            *out = fileNames;
        }
        break;
    case cmd::file::SetFileRandWeight:
        if (SelectedValid()) {
            const uint32_t value = block.ReadU32(0);
            weights[static_cast<size_t>(selectedFile)] =
                value == 0 ? 1 : std::min(value, kMaxPercent);
        }
        break;
    case cmd::file::GetFileRandWeight:
        if (SelectedValid()) {
            block.WriteU32(0, weights[static_cast<size_t>(selectedFile)]);
        }
        break;
    case cmd::file::SetFileMaxCount:
        if (SelectedValid()) {
            maxCounts[static_cast<size_t>(selectedFile)] = block.ReadU32(0);
        }
        break;
    case cmd::file::GetFileMaxCount:
        if (SelectedValid()) {
            block.WriteU32(0, maxCounts[static_cast<size_t>(selectedFile)]);
        }
        break;
    case cmd::file::SetNonFileRandWeight:
        noFilePercent = std::min(block.ReadU32(0), kMaxPercent);
        break;
    case cmd::file::GetNonFileRandWeight:
        block.WriteU32(0, noFilePercent);
        break;
    case cmd::file::SetAlwaysLoad:
        alwaysReload = block.ReadU32(0) != 0 ? 1 : 0;
        break;
    case cmd::file::GetAlwaysLoad:
        block.WriteU32(0, alwaysReload);
        break;
    case cmd::file::SetAutoLoad:
        autoLoad = block.ReadU32(0) != 0 ? 1 : 0;
        break;
    case cmd::file::GetAutoLoad:
        block.WriteU32(0, autoLoad);
        break;
    case cmd::file::LoadFileobjectInGame:
        if (SelectedValid()) {
            HandleCommand(cmd::file::UnloadFileobject, ParamBlock());
            if (LoadFileObject(selectedFile) == 0) {
                return 0;
            }
            BroadcastCommand(cmd::base::BuildTree, ParamBlock());
            HandleCommand(cmd::base::PrecalculateRecursive, ParamBlock());
        }
        break;
    case cmd::file::LoadFileobject:
        if (LoadSelected() == 0) {
            return 0;
        }
        break;
    // A name that would leave the data folder answers 0 at once; any other
    // save answers as the base handler does when the file was written, else
    // 0 (not loaded, no selection, a file that cannot be made or written).
    case cmd::file::SaveFileobject: {
        std::string path;
        if (SelectedValid() && !DataFilePath(fileNames[static_cast<size_t>(selectedFile)], &path)) {
            return 0;
        }
        const int saved = SaveFileObject(nullptr);
        const int result = Actor::HandleCommand(commandId, block);
        return saved != 0 ? result : 0;
    }
    case cmd::file::SaveFileObjectAs: {
        const std::string name(block.ReadString(0));
        std::string path;
        if (!DataFilePath(name, &path)) {
            return 0;
        }
        const int saved = SaveFileObject(&name);
        const int result = Actor::HandleCommand(commandId, block);
        return saved != 0 ? result : 0;
    }
    case cmd::file::UnloadFileobject:
        UnloadChildren();
        break;
    case cmd::file::DeleteFileobject:
        if (SelectedValid()) {
            RemoveFile(static_cast<size_t>(selectedFile));
        }
        break;
    case cmd::file::ReloadFileObjectIfLoaded:
        if (loaded != 0 && SelectedValid() &&
            block.ReadString(0) == fileNames[static_cast<size_t>(selectedFile)]) {
            HandleCommand(cmd::file::UnloadFileobject, ParamBlock());
            HandleCommand(cmd::file::LoadFileobject, ParamBlock());
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int FileActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const uint32_t version = archive.Version();
    const bool reading = !archive.IsWriting();
    if (version >= 1) {
        archive.SerializeWord(&spareWord);
    }
    uint32_t count = 0;
    if (version >= 1) {
        count = archive.SerializeU32(static_cast<uint32_t>(fileNames.size()));
    }
    if (reading) {
        // Each entry takes at least its name's length word and the words of
        // its version: a count beyond the bytes left is a broken file.
        const uint64_t entrySize = 4 + (version >= 7 ? 4 : 0) + (version >= 17 ? 4 : 0);
        if (archive.Failed() || uint64_t{count} * entrySize > archive.BytesLeft()) {
            archive.SetFailed();
            return 0;
        }
        fileNames.assign(count, std::string());
        weights.assign(count, 1);
        maxCounts.assign(count, 0);
    }
    for (uint32_t i = 0; i < count && i < fileNames.size(); ++i) {
        if (version >= 7) {
            archive.SerializeWord(&weights[i]);
        }
        if (version >= 17) {
            archive.SerializeWord(&maxCounts[i]);
        }
        if (version >= 1) {
            archive.SerializeString(fileNames[i]);
        }
    }
    if (version >= 7) {
        archive.SerializeWord(&noFilePercent);
        archive.SerializeWord(&loaded);
        archive.SerializeWord(&alwaysReload);
    }
    if (version >= 42) {
        archive.SerializeWord(&autoLoad);
    }
    if (reading) {
        if (archive.Failed()) {
            return 0;
        }
        ChooseFile();
    }
    return 1;
}

void FileActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("file spare " + std::to_string(spareWord) + " files " +
                    std::to_string(fileNames.size()) + " nofile " + std::to_string(noFilePercent) +
                    " loaded " + std::to_string(loaded) + " alwaysreload " +
                    std::to_string(alwaysReload) + " autoload " + std::to_string(autoLoad) +
                    " selected " + std::to_string(selectedFile));
    for (size_t i = 0; i < fileNames.size(); ++i) {
        lines.push_back("fileentry " + std::to_string(i) + " weight " + std::to_string(weights[i]) +
                        " max " + std::to_string(maxCounts[i]) + " name " + DumpText(fileNames[i]));
    }
}
