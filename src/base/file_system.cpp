#include "base/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "base/le_bytes.h"

// --- FileSystem base ---------------------------------------------------------

uint32_t FileSystem::Size(void* handle) {
    int32_t position = Tell(handle);
    if (position < 0) {
        return 0;
    }
    Seek(handle, 0, 2);
    int32_t end = Tell(handle);
    Seek(handle, position, 0);
    return end < 0 ? 0 : static_cast<uint32_t>(end);
}

// --- path resolution ---------------------------------------------------------

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualFolded(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] != '\0'; ++i) {
        if (i >= b.size() || FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return i == b.size();
}

enum class Kind { Missing, Folder, File };

Kind KindOf(const std::string& path) {
    struct stat st;
    if (stat(path.empty() ? "." : path.c_str(), &st) != 0) {
        return Kind::Missing;
    }
    return S_ISDIR(st.st_mode) ? Kind::Folder : Kind::File;
}

// The entry of folder (a prefix ending in '/', or empty for the working
// folder) whose name equals name with ASCII case folded and whose kind is the
// one wanted; the first such name in byte order. Empty when none.
std::string FindFolded(const std::string& folder, const std::string& name, bool wantFolder) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    std::string best;
    while (dirent* entry = readdir(dir)) {
        const char* entryName = entry->d_name;
        if (std::strcmp(entryName, ".") == 0 || std::strcmp(entryName, "..") == 0) {
            continue;
        }
        if (!EqualFolded(entryName, name)) {
            continue;
        }
        Kind kind = KindOf(folder + entryName);
        if (kind == Kind::Missing || (kind == Kind::Folder) != wantFolder) {
            continue;
        }
        if (best.empty() || std::string(entryName) < best) {
            best = entryName;
        }
    }
    closedir(dir);
    return best;
}

} // namespace

namespace {

// The components of a path, and the root it starts from.
std::vector<std::string> SplitPath(const std::string& path, std::string& root) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (IsSeparator(c)) {
            if (!part.empty()) {
                parts.push_back(std::move(part));
                part.clear();
            }
        } else {
            part += c;
        }
    }
    if (!part.empty()) {
        parts.push_back(std::move(part));
    }
    // Only '/' starts an absolute path; a leading '\' was the drive root of
    // the original and means the working folder here.
    root = !path.empty() && path[0] == '/' ? "/" : "";
    return parts;
}

std::string JoinExact(const std::string& root, const std::vector<std::string>& parts) {
    std::string exact = root;
    for (size_t i = 0; i < parts.size(); ++i) {
        exact += parts[i];
        if (i + 1 < parts.size()) {
            exact += '/';
        }
    }
    return exact;
}

// The folder prefix (ending in '/', or the root) of the first count parts,
// each matched with case folded when the exact name is no folder; false
// when one is missing.
bool ResolveFolders(const std::string& root, const std::vector<std::string>& parts, size_t count,
                    std::string& folder) {
    folder = root;
    for (size_t i = 0; i < count; ++i) {
        const std::string& name = parts[i];
        if (name == "." || name == ".." || KindOf(folder + name) == Kind::Folder) {
            folder += name + '/';
            continue;
        }
        std::string match = FindFolded(folder, name, true);
        if (match.empty()) {
            return false;
        }
        folder += match + '/';
    }
    return true;
}

} // namespace

std::string ResolvePath(const std::string& path, bool forWrite) {
    if (path.empty() || IsSeparator(path.back())) {
        return {};
    }
    std::string root;
    std::vector<std::string> parts = SplitPath(path, root);
    if (parts.empty()) {
        return {};
    }
    std::string exact = JoinExact(root, parts);
    switch (KindOf(exact)) {
    case Kind::File:
        return exact;
    case Kind::Folder:
        return {};
    case Kind::Missing:
        break;
    }

    std::string folder;
    if (!ResolveFolders(root, parts, parts.size() - 1, folder)) {
        return {};
    }

    const std::string& last = parts.back();
    if (last == "." || last == "..") {
        return {};
    }
    switch (KindOf(folder + last)) {
    case Kind::File:
        return folder + last;
    case Kind::Folder:
        return {};
    case Kind::Missing:
        break;
    }
    std::string match = FindFolded(folder, last, false);
    if (!match.empty()) {
        return folder + match;
    }
    // A write never creates a file beside a folder of the same name.
    if (forWrite && KindOf(folder) == Kind::Folder && FindFolded(folder, last, true).empty()) {
        return folder + last;
    }
    return {};
}

std::string ResolveFolderPath(const std::string& path) {
    std::string root;
    std::vector<std::string> parts = SplitPath(path, root);
    if (parts.empty()) {
        return root.empty() ? std::string(".") : root;
    }
    std::string exact = JoinExact(root, parts);
    if (KindOf(exact) == Kind::Folder) {
        return exact;
    }
    std::string folder;
    if (!ResolveFolders(root, parts, parts.size(), folder) || KindOf(folder) != Kind::Folder) {
        return {};
    }
    folder.pop_back();
    return folder;
}

// --- StdioFileSystem ---------------------------------------------------------

namespace {

struct StdioStream {
    FILE* file = nullptr;
    bool replacing = false; // writes go to temp, renamed over target at Close
    bool failed = false;
    uint64_t written = 0;
    std::string target;
    std::string temp;
};

struct ReplaceFaults {
    ReplaceStep failAt = ReplaceStep::None;
    ReplaceStep killAt = ReplaceStep::None;
    int64_t killAfterBytes = -1;
};

ReplaceFaults g_replaceFaults;

void KillBefore(ReplaceStep step) {
    if (g_replaceFaults.killAt == step && step != ReplaceStep::None) {
        std::raise(SIGKILL);
    }
}

bool Fails(ReplaceStep step) { return g_replaceFaults.failAt == step; }

// Syncs the folder holding the path; false when that fails.
bool SyncFolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = !Fails(ReplaceStep::FolderSync) && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

StdioStream* AsStream(void* handle) { return static_cast<StdioStream*>(handle); }

// Opens a new file beside target with fopen's permissions; its name in temp.
FILE* OpenTemporary(const std::string& target, const std::string& mode, std::string& temp) {
    static unsigned counter = 0;
    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string exclusive = mode + "x";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = folder + "." + base + "." + std::to_string(getpid()) + "." +
               std::to_string(counter++) + ".tmp";
        FILE* file = std::fopen(temp.c_str(), exclusive.c_str());
        if (file != nullptr) {
            return file;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    temp.clear();
    return nullptr;
}

} // namespace

void* StdioFileSystem::Open(const char* name, const char* mode) {
    if (name == nullptr) {
        return nullptr;
    }
    std::string openMode = (mode == nullptr || mode[0] == '\0') ? "rb" : mode;
    const bool replacing = openMode.find('w') != std::string::npos;
    const bool creating = replacing || openMode.find('a') != std::string::npos;
    std::string path = ResolvePath(name, creating);
    if (path.empty()) {
        return nullptr;
    }
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    auto* stream = new StdioStream;
    stream->replacing = replacing;
    if (replacing) {
        stream->target = path;
        stream->file = OpenTemporary(path, openMode, stream->temp);
    } else {
        stream->file = std::fopen(path.c_str(), openMode.c_str());
    }
    if (stream->file == nullptr) {
        delete stream;
        return nullptr;
    }
    return stream;
}

int StdioFileSystem::Close(void* handle) {
    StdioStream* stream = AsStream(handle);
    if (stream == nullptr) {
        return 0;
    }
    int result = 0;
    if (stream->replacing) {
        bool ok = !stream->failed;
        if (std::fflush(stream->file) != 0 || std::ferror(stream->file) != 0) {
            ok = false;
        }
        KillBefore(ReplaceStep::FileSync);
        if (ok && (Fails(ReplaceStep::FileSync) || ::fsync(fileno(stream->file)) != 0)) {
            ok = false;
        }
        if (std::fclose(stream->file) != 0 || Fails(ReplaceStep::Close)) {
            ok = false;
        }
        if (ok) {
            KillBefore(ReplaceStep::Rename);
        }
        if (ok && (Fails(ReplaceStep::Rename) ||
                   std::rename(stream->temp.c_str(), stream->target.c_str()) != 0)) {
            ok = false;
        }
        if (!ok) {
            std::remove(stream->temp.c_str());
            result = EOF;
        } else {
            // The target is replaced already; a failed folder sync only
            // means the rename may not survive a power loss.
            KillBefore(ReplaceStep::FolderSync);
            if (!SyncFolderOf(stream->target)) {
                result = EOF;
            }
        }
    } else {
        result = std::fclose(stream->file);
    }
    delete stream;
    return result;
}

uint32_t StdioFileSystem::Read(void* buffer, uint32_t size, uint32_t count, void* handle) {
    StdioStream* stream = AsStream(handle);
    if (stream == nullptr || size == 0 || count == 0) {
        return 0;
    }
    return static_cast<uint32_t>(std::fread(buffer, size, count, stream->file));
}

uint32_t StdioFileSystem::Write(const void* buffer, uint32_t size, uint32_t count, void* handle) {
    StdioStream* stream = AsStream(handle);
    if (stream == nullptr || size == 0 || count == 0) {
        return 0;
    }
    if (stream->replacing && Fails(ReplaceStep::Write)) {
        stream->failed = true;
        return 0;
    }
    const int64_t killAfter = g_replaceFaults.killAfterBytes;
    const uint64_t bytes = uint64_t(size) * count;
    if (stream->replacing && killAfter >= 0 && stream->written + bytes >= uint64_t(killAfter)) {
        // Puts exactly the first killAfter bytes into the file, then dies.
        std::fwrite(buffer, 1, size_t(uint64_t(killAfter) - stream->written), stream->file);
        std::fflush(stream->file);
        std::raise(SIGKILL);
    }
    size_t written = std::fwrite(buffer, size, count, stream->file);
    stream->written += uint64_t(written) * size;
    if (written != count) {
        stream->failed = true;
    }
    return static_cast<uint32_t>(written);
}

int32_t StdioFileSystem::Tell(void* handle) {
    StdioStream* stream = AsStream(handle);
    if (stream == nullptr) {
        return -1;
    }
    long position = std::ftell(stream->file);
    if (position > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(position);
}

int StdioFileSystem::Seek(void* handle, int32_t offset, int origin) {
    StdioStream* stream = AsStream(handle);
    if (stream == nullptr) {
        return -1;
    }
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
    if (whence < 0) {
        return -1;
    }
    return std::fseek(stream->file, offset, whence);
}

int StdioFileSystem::Eof(void* handle) {
    StdioStream* stream = AsStream(handle);
    return stream == nullptr ? 1 : std::feof(stream->file);
}

void SetReplaceFaultForTests(ReplaceStep failAt, ReplaceStep killAt, int64_t killAfterBytes) {
    g_replaceFaults = {failAt, killAt, killAfterBytes};
}

bool IsReplaceTemporaryName(const char* name) {
    if (name == nullptr || name[0] != '.') {
        return false;
    }
    const std::string text(name);
    const std::string suffix = ".tmp";
    if (text.size() < 1 + suffix.size() || text.compare(text.size() - 4, 4, suffix) != 0) {
        return false;
    }
    // Walk back over ".<digits>.<digits>" before ".tmp".
    size_t end = text.size() - suffix.size();
    for (int field = 0; field < 2; ++field) {
        size_t start = end;
        while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9') {
            --start;
        }
        if (start == end || start == 0 || text[start - 1] != '.') {
            return false;
        }
        end = start - 1;
    }
    return end > 1; // a target name between the leading '.' and the fields
}

void StdioFileSystem::Abandon(void* handle) {
    if (StdioStream* stream = AsStream(handle)) {
        stream->failed = true;
    }
}

// --- whole files ---------------------------------------------------------------

bool ReadWholeDescriptor(int fd, std::string* bytes, std::string* reason) {
    bytes->clear();
    struct stat st;
    if (fstat(fd, &st) != 0) {
        *reason = "cannot open";
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        *reason = "is a folder";
        return false;
    }
    char block[65536];
    while (true) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got > 0) {
            bytes->append(block, static_cast<size_t>(got));
        } else if (got == 0) {
            return true;
        } else if (errno != EINTR) {
            *reason = std::string("read error: ") + std::strerror(errno);
            bytes->clear();
            return false;
        }
    }
}

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* reason) {
    bytes->clear();
    // Not blocking in the open: a pipe without a writer reads as empty
    // instead of waiting for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *reason = "cannot open";
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    const bool read = ReadWholeDescriptor(fd, bytes, reason);
    ::close(fd);
    return read;
}

std::string PathForDisplay(const std::string& path) {
    if (path.find('/') == std::string::npos) {
        return path;
    }
    std::string shown = path;
    std::replace(shown.begin(), shown.end(), '\\', '/');
    return shown;
}

// --- MemoryFileSystem --------------------------------------------------------

namespace {

struct MemoryHandle {
    uint8_t* base = nullptr;
    uint32_t cursor = 0;
    uint32_t size = 0;
    bool writable = false;
};

MemoryHandle* AsMemory(void* handle) { return static_cast<MemoryHandle*>(handle); }

} // namespace

void* MemoryFileSystem::Open(const char*, const char*) { return nullptr; }

int MemoryFileSystem::Close(void* handle) {
    delete AsMemory(handle);
    return 0;
}

uint32_t MemoryFileSystem::Read(void* buffer, uint32_t size, uint32_t count, void* handle) {
    MemoryHandle* memory = AsMemory(handle);
    if (memory == nullptr || size == 0) {
        return 0;
    }
    uint64_t bytes = std::min<uint64_t>(uint64_t{size} * count, memory->size - memory->cursor);
    if (bytes > 0) {
        std::memcpy(buffer, memory->base + memory->cursor, bytes);
    }
    memory->cursor += static_cast<uint32_t>(bytes);
    return static_cast<uint32_t>(bytes / size);
}

uint32_t MemoryFileSystem::Write(const void* buffer, uint32_t size, uint32_t count, void* handle) {
    MemoryHandle* memory = AsMemory(handle);
    if (memory == nullptr || size == 0 || !memory->writable) {
        return 0;
    }
    uint64_t bytes = std::min<uint64_t>(uint64_t{size} * count, memory->size - memory->cursor);
    if (bytes > 0) {
        std::memcpy(memory->base + memory->cursor, buffer, bytes);
    }
    memory->cursor += static_cast<uint32_t>(bytes);
    return static_cast<uint32_t>(bytes / size);
}

int32_t MemoryFileSystem::Tell(void* handle) {
    MemoryHandle* memory = AsMemory(handle);
    if (memory == nullptr) {
        return -1;
    }
    return static_cast<int32_t>(std::min<uint32_t>(memory->cursor, std::numeric_limits<int32_t>::max()));
}

int MemoryFileSystem::Seek(void* handle, int32_t offset, int origin) {
    MemoryHandle* memory = AsMemory(handle);
    if (memory == nullptr) {
        return -1;
    }
    int64_t from = origin == 0 ? 0 : origin == 1 ? memory->cursor : origin == 2 ? memory->size : -1;
    if (from < 0) {
        return -1;
    }
    memory->cursor = static_cast<uint32_t>(std::clamp<int64_t>(from + offset, 0, memory->size));
    return 0;
}

int MemoryFileSystem::Eof(void* handle) {
    MemoryHandle* memory = AsMemory(handle);
    return memory == nullptr || memory->cursor >= memory->size ? 1 : 0;
}

uint32_t MemoryFileSystem::Size(void* handle) {
    MemoryHandle* memory = AsMemory(handle);
    return memory == nullptr ? 0 : memory->size;
}

// --- process-wide backends ---------------------------------------------------

namespace {
FileSystem* g_currentFileSystem = nullptr;
} // namespace

// Never destroyed: handles may still be closed while the process exits.
StdioFileSystem* GetDefaultFileSystem() {
    static StdioFileSystem* fs = new StdioFileSystem;
    return fs;
}

MemoryFileSystem* GetMemoryFileSystem() {
    static MemoryFileSystem* fs = new MemoryFileSystem;
    return fs;
}

void* NewMemoryHandle(void* block, uint32_t size) {
    GetMemoryFileSystem();
    return new MemoryHandle{static_cast<uint8_t*>(block), 0, block == nullptr ? 0 : size, true};
}

void* NewReadOnlyMemoryHandle(const void* block, uint32_t size) {
    GetMemoryFileSystem();
    // The block is never written through this handle (writable is false).
    auto* bytes = static_cast<uint8_t*>(const_cast<void*>(block));
    return new MemoryHandle{bytes, 0, block == nullptr ? 0 : size, false};
}

void SetCurrentFileSystem(FileSystem* fs) { g_currentFileSystem = fs; }

FileSystem* GetCurrentFileSystem() { return g_currentFileSystem; }

// --- FileHandle --------------------------------------------------------------

FileHandle::~FileHandle() { Close(); }

bool FileHandle::Open(const char* name, const char* mode) {
    Close();
    failed_ = false;
    if (mode == nullptr) {
        mode = "";
    }
    FileSystem* fs = fixedBackend_;
    if (fs == nullptr) {
        fs = GetCurrentFileSystem();
    }
    if (fs == nullptr) {
        fs = GetDefaultFileSystem();
    }
    void* handle = name == nullptr ? nullptr : fs->Open(name, mode);
    if (handle == nullptr) {
        failed_ = true;
        return false;
    }
    const bool writing = std::strchr(mode, 'w') != nullptr;
    Attach(fs->HandleBackend(), handle, writing);
    mayGrow_ = writing || std::strchr(mode, 'a') != nullptr || std::strchr(mode, '+') != nullptr;
    return true;
}

bool FileHandle::OpenMemory(const void* block, uint32_t size) {
    Close();
    Attach(GetMemoryFileSystem(), NewReadOnlyMemoryHandle(block, size), false);
    return true;
}

void FileHandle::Attach(FileSystem* backend, void* handle, bool writing) {
    Close();
    backend_ = backend;
    handle_ = handle;
    writing_ = writing;
    failed_ = false;
    mayGrow_ = writing;
    memoryRead_ = !writing && handle != nullptr && backend == GetMemoryFileSystem();
    if (memoryRead_) {
        MemoryHandle* memory = AsMemory(handle);
        blockBase_ = memory->base;
        blockCursor_ = &memory->cursor;
        blockSize_ = memory->size;
    }
    sizeKnown_ = false;
    positionKnown_ = false;
}

int FileHandle::Close() {
    if (handle_ == nullptr) {
        return 0;
    }
    const bool discard = writing_ && failed_;
    if (discard) {
        backend_->Abandon(handle_);
    }
    int result = backend_->Close(handle_);
    handle_ = nullptr;
    backend_ = nullptr;
    memoryRead_ = false;
    blockBase_ = nullptr;
    blockCursor_ = nullptr;
    blockSize_ = 0;
    sizeKnown_ = false;
    positionKnown_ = false;
    return discard ? EOF : result;
}

bool FileHandle::CheckOpen() {
    if (handle_ == nullptr) {
        failed_ = true;
        return false;
    }
    return true;
}

int32_t FileHandle::Tell() { return CheckOpen() ? backend_->Tell(handle_) : 0; }

int FileHandle::Seek(int32_t offset, int origin) {
    positionKnown_ = false;
    return CheckOpen() ? backend_->Seek(handle_, offset, origin) : 0;
}

uint32_t FileHandle::Size() {
    if (!CheckOpen()) {
        return 0;
    }
    if (sizeKnown_) {
        return size_;
    }
    uint32_t size = backend_->Size(handle_);
    if (!mayGrow_) {
        size_ = size;
        sizeKnown_ = true;
    }
    return size;
}

bool FileHandle::Eof() { return CheckOpen() ? backend_->Eof(handle_) != 0 : true; }

bool FileHandle::CountFits(uint32_t count, uint32_t recordBytes) {
    if (failed_ || uint64_t{count} * recordBytes > BytesLeft()) {
        failed_ = true;
        return false;
    }
    return true;
}

uint32_t FileHandle::BlockBytesLeft() const {
    const MemoryHandle* memory = AsMemory(handle_);
    return memory->cursor < memory->size ? memory->size - memory->cursor : 0;
}

bool FileHandle::ReadFromBlock(void* buffer, uint32_t count) {
    MemoryHandle* memory = AsMemory(handle_);
    if (count > BlockBytesLeft()) {
        failed_ = true;
        return false;
    }
    std::memcpy(buffer, memory->base + memory->cursor, count);
    memory->cursor += count;
    position_ += count;
    return true;
}

uint32_t FileHandle::StreamBytesLeft() {
    if (handle_ == nullptr) {
        return 0;
    }
    int32_t position;
    if (positionKnown_) {
        position = static_cast<int32_t>(position_);
    } else {
        position = backend_->Tell(handle_);
        if (!writing_ && !mayGrow_ && position >= 0) {
            position_ = static_cast<uint32_t>(position);
            positionKnown_ = true;
        }
    }
    uint32_t size = Size();
    if (position < 0 || static_cast<uint32_t>(position) >= size) {
        return 0;
    }
    return size - static_cast<uint32_t>(position);
}

bool FileHandle::TransferBytes(void* buffer, uint32_t count) {
    if (!CheckOpen()) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    if (memoryRead_) {
        return ReadFromBlock(buffer, count);
    }
    uint32_t done;
    if (writing_) {
        done = backend_->Write(buffer, 1, count, handle_);
    } else {
        if (count > BytesLeft()) {
            failed_ = true;
            return false;
        }
        done = backend_->Read(buffer, 1, count, handle_);
        position_ += done;
    }
    if (done != count) {
        positionKnown_ = false;
        failed_ = true;
        return false;
    }
    return true;
}

void FileHandle::SerializeBytes(void* buffer, uint32_t count) { TransferBytes(buffer, count); }

void SetFloatReadProbeForTests(FloatReadProbe probe, void* context) {
    FileHandle::floatProbe_ = probe;
    FileHandle::floatProbeContext_ = context;
}

void FileHandle::NoteFloatsToProbe(uint32_t count) {
    const int32_t at = Tell();
    for (uint32_t i = 0; i < count && at >= 0; ++i) {
        floatProbe_(floatProbeContext_, static_cast<uint32_t>(at) + 4 * i);
    }
}

void FileHandle::SerializeWordsAnyWay(void* words, uint32_t count) {
    if (memoryRead_) {
        if (uint64_t{count} * 4 > BlockBytesLeft()) {
            failed_ = true;
            return;
        }
        if (count == 0) {
            return;
        }
        MemoryHandle* memory = AsMemory(handle_);
        const uint8_t* in = memory->base + memory->cursor;
        if constexpr (std::endian::native == std::endian::little) {
            if (count == 1) {
                std::memcpy(words, in, 4); // most fields are one word
            } else {
                std::memcpy(words, in, size_t{count} * 4);
            }
        } else {
            auto* out = static_cast<uint8_t*>(words);
            for (uint32_t i = 0; i < count; ++i, in += 4) {
                const uint32_t word = ReadLe32(in);
                std::memcpy(out + size_t{i} * 4, &word, 4);
            }
        }
        memory->cursor += count * 4;
        position_ += count * 4;
        return;
    }
    TransferWords(words, count);
}

void FileHandle::SerializeSpareWords(uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t spare = 0;
        SerializeWords(&spare, 1);
    }
}

[[gnu::noinline]] void FileHandle::TransferWords(void* words, uint32_t count) {
    if (!CheckOpen()) {
        return;
    }
    auto* out = static_cast<uint8_t*>(words);
    if (!writing_ && uint64_t{count} * 4 > BytesLeft()) {
        failed_ = true;
        return;
    }
    constexpr uint32_t kChunk = 256;
    uint8_t bytes[kChunk * 4];
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(kChunk, count - done);
        if (writing_) {
            for (uint32_t i = 0; i < n; ++i) {
                uint32_t word;
                std::memcpy(&word, out + (done + i) * 4, 4);
                for (int b = 0; b < 4; ++b) {
                    bytes[i * 4 + b] = static_cast<uint8_t>(word >> (8 * b));
                }
            }
            if (!TransferBytes(bytes, n * 4)) {
                return;
            }
        } else {
            if (!TransferBytes(bytes, n * 4)) {
                return;
            }
            for (uint32_t i = 0; i < n; ++i) {
                uint32_t word = 0;
                for (int b = 0; b < 4; ++b) {
                    word |= uint32_t{bytes[i * 4 + b]} << (8 * b);
                }
                std::memcpy(out + (done + i) * 4, &word, 4);
            }
        }
        done += n;
    }
}

uint32_t FileHandle::SerializeU32(uint32_t value) {
    uint32_t word = value;
    SerializeWords(&word, 1);
    return word;
}

uint8_t FileHandle::SerializeByte(uint8_t value) {
    uint8_t byte = value;
    return TransferBytes(&byte, 1) ? byte : value;
}

bool FileHandle::ReadLengthWord(int32_t* length) {
    uint8_t bytes[4];
    if (!TransferBytes(bytes, 4)) {
        return false;
    }
    *length = static_cast<int32_t>(ReadLe32(bytes));
    return true;
}

void FileHandle::SerializeString(std::string& text) {
    if (writing_) {
        if (text.size() > std::numeric_limits<uint32_t>::max()) {
            failed_ = true;
            return;
        }
        const auto length = static_cast<uint32_t>(text.size());
        SerializeU32(length);
        TransferBytes(text.data(), length);
        return;
    }
    if (memoryRead_ && std::endian::native == std::endian::little) {
        // A length word and a text that both fit the block are taken from
        // it in place; anything else is read the long way below.
        const uint32_t cursor = *blockCursor_;
        if (cursor <= blockSize_ && blockSize_ - cursor >= 4) {
            int32_t stored = 0;
            std::memcpy(&stored, blockBase_ + cursor, 4);
            const uint32_t left = blockSize_ - cursor - 4;
            if (stored > 0 && static_cast<uint32_t>(stored) <= left) {
                const auto* chars = reinterpret_cast<const char*>(blockBase_ + cursor + 4);
                text.assign(chars, strnlen(chars, static_cast<size_t>(stored)));
                *blockCursor_ = cursor + 4 + static_cast<uint32_t>(stored);
                position_ += 4 + static_cast<uint32_t>(stored);
                return;
            }
        }
    }
    int32_t length = 0;
    if (!ReadLengthWord(&length)) {
        return;
    }
    if (length <= 0) {
        return;
    }
    if (static_cast<uint32_t>(length) > BytesLeft()) {
        failed_ = true;
        return;
    }
    if (memoryRead_) {
        // The text is taken from the block up to its first 0 byte.
        MemoryHandle* memory = AsMemory(handle_);
        const auto* stored = reinterpret_cast<const char*>(memory->base + memory->cursor);
        text.assign(stored, strnlen(stored, static_cast<size_t>(length)));
        memory->cursor += static_cast<uint32_t>(length);
        position_ += static_cast<uint32_t>(length);
        return;
    }
    std::string read(static_cast<size_t>(length), '\0');
    if (!TransferBytes(read.data(), static_cast<uint32_t>(length))) {
        return;
    }
    read.resize(std::strlen(read.c_str()));
    text = std::move(read);
}

void FileHandle::SerializeCString(char* buffer, uint32_t capacity) {
    if (writing_) {
        const auto length = static_cast<uint32_t>(capacity == 0 ? 0 : strnlen(buffer, capacity));
        SerializeU32(length);
        TransferBytes(buffer, length);
        return;
    }
    int32_t length = 0;
    if (!ReadLengthWord(&length)) {
        return;
    }
    if (length <= 0) {
        if (capacity > 0) {
            buffer[0] = '\0';
        }
        return;
    }
    const auto stored = static_cast<uint32_t>(length);
    if (stored > BytesLeft()) {
        failed_ = true;
        return;
    }
    if (capacity == 0) {
        Seek(static_cast<int32_t>(stored), 1);
        failed_ = true;
        return;
    }
    const uint32_t kept = std::min(stored, capacity - 1);
    if (!TransferBytes(buffer, kept)) {
        return;
    }
    buffer[kept] = '\0';
    if (kept < stored) {
        Seek(static_cast<int32_t>(stored - kept), 1);
        failed_ = true;
    }
}

int FileHandle::Read(void* buffer, uint32_t size) {
    if (!CheckOpen()) {
        return 0;
    }
    if (size == 0) {
        return 1;
    }
    int result = static_cast<int>(backend_->Read(buffer, size, 1, handle_));
    if (result != 1) {
        positionKnown_ = false;
        failed_ = true;
    } else {
        position_ += size;
    }
    return result;
}

int FileHandle::Write(const void* buffer, uint32_t size) {
    if (!CheckOpen()) {
        return 0;
    }
    if (size == 0) {
        return 1;
    }
    int result = static_cast<int>(backend_->Write(buffer, size, 1, handle_));
    if (result != 1) {
        failed_ = true;
    }
    return result;
}

// --- Archive -----------------------------------------------------------------

int WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes) {
    FileHandle file;
    if (path == nullptr || !file.Open(path, "wb")) {
        return 0;
    }
    // A writing handle only reads the buffer.
    file.SerializeBytes(const_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    return file.Close() == 0 ? 1 : 0;
}

uint32_t Archive::SerializeU32Since(uint32_t since, uint32_t value) {
    return version_ >= since ? SerializeU32(value) : value;
}
