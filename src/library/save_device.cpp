#include "library/save_device.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/file_system.h"

namespace {

struct SaveSlotRecord {
    std::string name; // as the folder search gave it
    uint32_t size = 0;
};

struct SaveDeviceState {
    uint32_t present = 0;
    std::string name;
    std::string folder;
    std::vector<SaveSlotRecord> listing;
    uint32_t listingCurrent = 0;
    std::string lastError;
    uint32_t searches = 0;
    std::string unopenable;
};

SaveDeviceState& State() {
    static SaveDeviceState state;
    return state;
}

// The save folder on disk, with case folded where needed; empty when it is
// missing or not set.
std::string FolderOnDisk() {
    if (State().folder.empty()) {
        return {};
    }
    return ResolveFolderPath(State().folder);
}

// Cuts the text to size - 1 characters plus terminator.
void CopyCut(const char* text, char* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return;
    }
    std::snprintf(buffer, size, "%s", text);
}

bool OpenForReading(FileHandle& file, const std::string& folder, const std::string& name) {
    if (!State().unopenable.empty() && name == State().unopenable) {
        return false;
    }
    return file.Open(folder + "/" + name, "rb");
}

// Removes what killed writes of the name left behind in the folder.
void RemoveLeftovers(const std::string& folder, const char* name) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const std::string prefix = std::string(".") + name + ".";
    std::vector<std::string> doomed;
    while (dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0 &&
            IsReplaceTemporaryName(entry->d_name)) {
            doomed.push_back(folder + "/" + entry->d_name);
        }
    }
    closedir(dir);
    for (const std::string& path : doomed) {
        std::remove(path.c_str());
    }
}

} // namespace

uint32_t InitSaveDevice(uint32_t /*unused*/) {
    State().present = 1;
    State().name = "Hard Disc";
    return 1;
}

void SetSaveFolder(const char* folder) {
    State().folder = folder ? folder : "";
    State().listingCurrent = 0; // the listing was of the old folder
}

uint32_t SetSaveDeviceError(const char* text) {
    State().lastError = text ? text : "";
    return 0;
}

namespace SaveDevice {

uint32_t IsAvailable(uint32_t /*device*/) { return 1; }

uint32_t Mount(uint32_t /*device*/) { return 1; }

uint32_t GetState(uint32_t /*device*/) { return kStateUsable; }

uint32_t IsInserted(uint32_t /*device*/, uint32_t* out) {
    if (out != nullptr) {
        *out = State().present;
    }
    return 1;
}

uint32_t GetName(uint32_t /*device*/, char* buffer, uint32_t size) {
    CopyCut(State().name.c_str(), buffer, size);
    return 1;
}

uint32_t GetSpace(uint32_t /*device*/, uint32_t* free, uint32_t* total) {
    if (free != nullptr) {
        *free = kSpace;
    }
    if (total != nullptr) {
        *total = kSpace;
    }
    return 1;
}

uint32_t GetSizeText(uint32_t /*device*/, char* buffer, uint32_t size) {
    CopyCut("100 MB", buffer, size);
    return 1;
}

uint32_t WriteFile(uint32_t /*device*/, const char* name, const void* data, uint32_t size,
                   uint32_t /*unused1*/, uint32_t /*unused2*/) {
    if (data == nullptr || size == 0 || name == nullptr) {
        return 0;
    }
    State().listingCurrent = 0;
    const std::string folder = FolderOnDisk();
    if (folder.empty()) {
        return SetSaveDeviceError("File Open Error:");
    }
    RemoveLeftovers(folder, name);
    FileHandle file(GetDefaultFileSystem());
    if (!file.Open(folder + "/" + name, "wb")) {
        return SetSaveDeviceError("File Open Error:");
    }
    file.SerializeU32(1);
    file.SerializeU32(size);
    file.Write(data, size);
    // A failed handle discards its temporary file on Close and answers EOF.
    if (file.Close() != 0) {
        return SetSaveDeviceError("File Write Error:");
    }
    return 1;
}

uint32_t ListFiles(uint32_t /*device*/, uint32_t* count) {
    SaveDeviceState& s = State();
    if (count == nullptr) {
        return 0;
    }
    if (s.listingCurrent != 0) {
        *count = uint32_t(s.listing.size());
        return 1;
    }
    s.listing.clear();
    ++s.searches;
    const std::string folder = FolderOnDisk();
    DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
    if (dir == nullptr) {
        *count = 0;
        return 0;
    }
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || IsReplaceTemporaryName(name.c_str())) {
            continue;
        }
        // Only regular files (links followed): opening a FIFO would block.
        struct stat st;
        if (stat((folder + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        FileHandle file(GetDefaultFileSystem());
        if (!OpenForReading(file, folder, name)) {
            continue; // one bad entry does not hide the others
        }
        file.SerializeU32(1);
        const uint32_t size = file.SerializeU32(1);
        file.Close();
        s.listing.push_back({name, size});
    }
    closedir(dir);
    *count = uint32_t(s.listing.size());
    s.listingCurrent = 1;
    return 1;
}

uint32_t ReadFile(uint32_t /*device*/, uint32_t index, void* buffer, uint32_t size) {
    SaveDeviceState& s = State();
    if (index >= s.listing.size() || s.listing[index].size != size || buffer == nullptr) {
        return 0;
    }
    const std::string folder = FolderOnDisk();
    FileHandle file(GetDefaultFileSystem());
    if (folder.empty() || !OpenForReading(file, folder, s.listing[index].name)) {
        return SetSaveDeviceError("File Open Error:");
    }
    file.SerializeU32(1);
    const uint32_t stored = file.SerializeU32(0);
    std::vector<uint8_t> scratch(size);
    const bool whole = !file.Failed() && stored == size && file.Read(scratch.data(), size) == 1;
    file.Close();
    if (!whole) {
        return 0;
    }
    std::memcpy(buffer, scratch.data(), size);
    return 1;
}

uint32_t FindFile(uint32_t /*device*/, const char* name, uint32_t* index) {
    const std::string folder = FolderOnDisk();
    if (name == nullptr || folder.empty()) {
        return 0;
    }
    const std::string path = ResolvePath(folder + "/" + name, false);
    const size_t slash = path.rfind('/');
    if (path.empty() || slash == std::string::npos) {
        return 0;
    }
    const std::string onDisk = path.substr(slash + 1);
    const std::vector<SaveSlotRecord>& listing = State().listing;
    for (size_t i = 0; i < listing.size(); ++i) {
        if (listing[i].name == onDisk) {
            if (index != nullptr) {
                *index = uint32_t(i);
            }
            return 1;
        }
    }
    return 0;
}

uint32_t HasFile(uint32_t /*device*/, const char* name) {
    const std::string folder = FolderOnDisk();
    if (name == nullptr || folder.empty()) {
        return 0;
    }
    return ResolvePath(folder + "/" + name, false).empty() ? 0 : 1;
}

} // namespace SaveDevice

uint32_t ReadSavedGameFile(uint32_t device, uint32_t slot, void* buffer, uint32_t size) {
    return SaveDevice::ReadFile(device, slot, buffer, size);
}

const std::string& GetSaveFolder() { return State().folder; }
const std::string& GetSaveDeviceName() { return State().name; }
uint32_t IsSaveDevicePresent() { return State().present; }
const std::string& GetSaveDeviceError() { return State().lastError; }
uint32_t SaveDeviceSearchCountForTests() { return State().searches; }
void SetSaveDeviceUnopenableForTests(const char* name) { State().unopenable = name ? name : ""; }
std::vector<std::string> SaveDeviceListingForTests() {
    std::vector<std::string> lines;
    for (const SaveSlotRecord& record : State().listing) {
        lines.push_back(record.name + " " + std::to_string(record.size));
    }
    return lines;
}
