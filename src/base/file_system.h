// File system backends, file handles and archives.
//
// Every file the engine reads or writes goes through a FileHandle over a
// FileSystem backend: StdioFileSystem (operating-system files), PackArchive
// (entries of "pack.csa", base/pack_archive.h) and MemoryFileSystem (a block
// of memory). New handles use the process-wide current file system, or
// StdioFileSystem when none is set.
//
// Paths arrive in the data's own spelling: '\' separators and any letter
// case. StdioFileSystem maps them onto the Linux file system (ResolvePath).
//
// Writes through StdioFileSystem go to a temporary file beside the target,
// which replaces the target only when the handle closes with every write
// successful; otherwise the target stays as it was. The temporary file is
// synced before the rename and the folder after it, so that a crash or power
// loss leaves either the old file or the new one whole.
//
// All integers are serialized little-endian, byte by byte.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A backend. Handles are opaque pointers owned by the backend that made them
// until its Close. Nothing here locks: one handle is used by one thread at a
// time.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // A backend handle, or null.
    virtual void* Open(const char* name, const char* mode) = 0;
    // 0 on success; EOF when a write could not be completed.
    virtual int Close(void* handle) = 0;
    // Whole elements transferred, as fread/fwrite answer.
    virtual uint32_t Read(void* buffer, uint32_t size, uint32_t count, void* handle) = 0;
    virtual uint32_t Write(const void* buffer, uint32_t size, uint32_t count, void* handle) = 0;
    virtual int32_t Tell(void* handle) = 0;
    // origin 0 set, 1 current, 2 end; 0 on success.
    virtual int Seek(void* handle, int32_t offset, int origin) = 0;
    virtual int Eof(void* handle) = 0;
    // The base implementation: Tell, Seek to the end, Tell, Seek back.
    virtual uint32_t Size(void* handle);

    // The backend whose operations serve the handles this one's Open returns
    // (itself for every backend but the pack archive).
    virtual FileSystem* HandleBackend() { return this; }
    // Marks a writing handle as failed: its Close then discards what was
    // written and answers EOF. Backends without such writes ignore it.
    virtual void Abandon(void* handle) { (void)handle; }
};

// Operating-system files through the standard buffered streams.
class StdioFileSystem : public FileSystem {
public:
    // Resolves the name (ResolvePath). Modes with 'w' write to a temporary
    // file that Close renames over the target. An empty mode reads ("rb").
    // Only regular files are opened: a device, pipe or socket of the name is
    // neither read (a pipe would wait for a writer) nor replaced.
    void* Open(const char* name, const char* mode) override;
    int Close(void* handle) override;
    uint32_t Read(void* buffer, uint32_t size, uint32_t count, void* handle) override;
    uint32_t Write(const void* buffer, uint32_t size, uint32_t count, void* handle) override;
    int32_t Tell(void* handle) override;
    int Seek(void* handle, int32_t offset, int origin) override;
    int Eof(void* handle) override;
    void Abandon(void* handle) override;
};

// Blocks of memory. Handles come only from NewMemoryHandle; Open answers
// null. Reads, writes and seeks stay inside the block.
class MemoryFileSystem : public FileSystem {
public:
    void* Open(const char* name, const char* mode) override;
    // Frees the handle record, not the block.
    int Close(void* handle) override;
    uint32_t Read(void* buffer, uint32_t size, uint32_t count, void* handle) override;
    uint32_t Write(const void* buffer, uint32_t size, uint32_t count, void* handle) override;
    int32_t Tell(void* handle) override;
    int Seek(void* handle, int32_t offset, int origin) override;
    int Eof(void* handle) override;
    uint32_t Size(void* handle) override;
};

StdioFileSystem* GetDefaultFileSystem();
MemoryFileSystem* GetMemoryFileSystem();

// A handle of GetMemoryFileSystem() over a writable block, cursor at its start.
void* NewMemoryHandle(void* block, uint32_t size);
// The same over a block that Write must not touch (Write answers 0).
void* NewReadOnlyMemoryHandle(const void* block, uint32_t size);

// The backend that new handles use; null means StdioFileSystem.
void SetCurrentFileSystem(FileSystem* fs);
FileSystem* GetCurrentFileSystem();

// Test seam of the readers: while a probe is set, every float that a reading
// handle takes through SerializeFloat or the float forms of SerializeWords
// (float, Vector3 and Quaternion) is told to it with its offset in the
// file. Null turns it off.
using FloatReadProbe = void (*)(void* context, uint32_t offset);
void SetFloatReadProbeForTests(FloatReadProbe probe, void* context);

struct Vector3;
struct Quaternion;

// The steps of a replacing write through StdioFileSystem, for the test seam.
enum class ReplaceStep { None, Write, FileSync, Close, Rename, FolderSync };

// Test seam of replacing writes: the step named by failAt fails (a write
// answers short, the others as their system call would); killAt raises
// SIGKILL just before that step; killAfterBytes >= 0 raises SIGKILL once
// that many bytes reached the temporary file. ReplaceStep::None and -1 turn
// each off.
void SetReplaceFaultForTests(ReplaceStep failAt, ReplaceStep killAt = ReplaceStep::None,
                             int64_t killAfterBytes = -1);

// Whether the name is that of a temporary file of a replacing write:
// ".<target>.<digits>.<digits>.tmp".
bool IsReplaceTemporaryName(const char* name);

// The operating-system path StdioFileSystem::Open opens for a name: '\'
// becomes '/', runs of separators collapse, a leading '\' is relative to the
// working folder and a leading '/' absolute. The exact path is tried first;
// otherwise each component is matched against its folder's entries with
// ASCII case folded (the first match in byte order). For writing, the folders
// must exist and the last component reuses an existing file of the same name
// in any case, else it is spelt as given. Empty when a read finds no file,
// when a folder is missing, or when the path names a folder.
std::string ResolvePath(const std::string& path, bool forWrite);

// The operating-system path of an existing folder by the same rules; empty
// when it is missing or names a file.
std::string ResolveFolderPath(const std::string& path);

// Reads a whole file of the operating system by its own path (no mapping, no
// archive), or everything left on an open descriptor. False with a reason
// when it does not read whole: "cannot open", "is a folder" or
// "read error: <system text>".
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* reason);
bool ReadWholeDescriptor(int fd, std::string* bytes, std::string* reason);

// A path as messages show it, in one separator style: '/' throughout when it
// holds any '/' (a folder spelt the Linux way joined with data names),
// otherwise as given.
std::string PathForDisplay(const std::string& path);

// A file opened through a backend, read or written by the same Serialize
// code according to its direction. Failures are sticky: a short read or
// write, a length or count larger than the bytes left, or any operation on a
// closed handle sets the failure flag, which only Open clears.
class FileHandle {
public:
    // Uses the current file system when Open runs.
    FileHandle() = default;
    // Always uses the given backend.
    explicit FileHandle(FileSystem* fs) : fixedBackend_(fs) {}
    virtual ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Closes an open handle first. Writing when the mode holds 'w'. Clears
    // the failure flag; true when the backend gave a handle.
    bool Open(const char* name, const char* mode);
    bool Open(const std::string& name, const char* mode) { return Open(name.c_str(), mode); }
    // Reads a block of memory that the caller keeps alive until Close.
    bool OpenMemory(const void* block, uint32_t size);
    // Takes over a handle made by the given backend.
    void Attach(FileSystem* backend, void* handle, bool writing);
    // The backend's answer (EOF when a write could not be completed, also
    // when the failure flag was set on a writing handle); 0 when closed.
    int Close();

    bool IsOpen() const { return handle_ != nullptr; }
    bool IsWriting() const { return writing_; }
    bool Failed() const { return failed_; }
    void SetFailed() { failed_ = true; }

    int32_t Tell();
    int Seek(int32_t offset, int origin);
    uint32_t Size();
    bool Eof();
    // Size minus position, 0 when closed.
    uint32_t BytesLeft() {
        if (memoryRead_) {
            const uint32_t cursor = *blockCursor_;
            return cursor < blockSize_ ? blockSize_ - cursor : 0;
        }
        return StreamBytesLeft();
    }
    // For a count just read of records of at least recordBytes each: false,
    // with the failure flag set, when the handle failed or the bytes left
    // cannot hold them.
    bool CountFits(uint32_t count, uint32_t recordBytes);

    // count bytes, written when writing, else read.
    void SerializeBytes(void* buffer, uint32_t count);
    // count 4-byte words (u32, i32 or f32), little-endian in the file.
    // Reading a memory block, a run that fits is copied here in place; any
    // other case (and every failure) goes through SerializeWordsAnyWay.
    void SerializeWords(void* words, uint32_t count) {
        if constexpr (std::endian::native == std::endian::little) {
            if (memoryRead_) {
                const uint32_t cursor = *blockCursor_;
                if (count != 0 && cursor <= blockSize_ && count <= (blockSize_ - cursor) / 4) {
                    std::memcpy(words, blockBase_ + cursor, size_t{count} * 4);
                    *blockCursor_ = cursor + count * 4;
                    position_ += count * 4;
                    return;
                }
            }
        }
        SerializeWordsAnyWay(words, count);
    }
    void SerializeWords(std::nullptr_t, uint32_t count) {
        SerializeWords(static_cast<void*>(nullptr), count);
    }
    // The same for floats (the readers' test seam hears of them).
    void SerializeWords(float* words, uint32_t count) {
        NoteFloats(count);
        SerializeWords(static_cast<void*>(words), count);
    }
    void SerializeWords(Vector3* words, uint32_t count) {
        NoteFloats(count);
        SerializeWords(static_cast<void*>(words), count);
    }
    void SerializeWords(Quaternion* words, uint32_t count) {
        NoteFloats(count);
        SerializeWords(static_cast<void*>(words), count);
    }
    // Writing: writes value and returns it. Reading: the value read, or
    // value itself when the read fails.
    uint32_t SerializeU32(uint32_t value);
    uint8_t SerializeByte(uint8_t value);
    void SerializeWord(uint32_t* word) { SerializeWords(word, 1); }
    void SerializeFloat(float *value) { SerializeWords(value, 1); }
    // count unused words, one at a time: written as 0, skipped on reading.
    void SerializeSpareWords(uint32_t count);
    // u32 length, then the characters without terminator. Reading a length
    // of 0 or less (as i32) leaves the string as it was; a read text ends at
    // its first 0 byte.
    void SerializeString(std::string& text);
    // The same for a buffer of the given capacity (terminator included); a
    // stored text that does not fit is cut and sets the failure flag.
    void SerializeCString(char* buffer, uint32_t capacity);

    // One block of size bytes: 1 when it was transferred whole.
    int Read(void* buffer, uint32_t size);
    int Write(const void* buffer, uint32_t size);

    FileSystem* Backend() const { return backend_; }
    void* BackendHandle() const { return handle_; }

private:
    // Tells the readers' test seam of count floats about to be read.
    void NoteFloats(uint32_t count) {
        if (floatProbe_ != nullptr && !writing_) {
            NoteFloatsToProbe(count);
        }
    }
    void NoteFloatsToProbe(uint32_t count);
    friend void SetFloatReadProbeForTests(FloatReadProbe probe, void* context);
    static inline FloatReadProbe floatProbe_ = nullptr;
    static inline void* floatProbeContext_ = nullptr;

    bool CheckOpen();
    // BytesLeft of a handle that does not read a memory block.
    uint32_t StreamBytesLeft();
    bool TransferBytes(void* buffer, uint32_t count);
    // Reads the little-endian length word before a stored text; false when
    // it could not be read.
    bool ReadLengthWord(int32_t* length);
    // Reading a block of the memory file system: its bytes are taken
    // straight from the block, without a call into the backend per field.
    bool ReadFromBlock(void* buffer, uint32_t count);
    uint32_t BlockBytesLeft() const;
    // SerializeWords through the backend (writing, or reading a stream).
    void TransferWords(void* words, uint32_t count);
    // SerializeWords for every case the inline part does not take.
    void SerializeWordsAnyWay(void* words, uint32_t count);

    FileSystem* fixedBackend_ = nullptr;
    FileSystem* backend_ = nullptr;
    void* handle_ = nullptr;
    bool writing_ = false;
    bool failed_ = false;
    bool sizeKnown_ = false;
    bool mayGrow_ = false;
    // Set by Attach for a reading handle of GetMemoryFileSystem().
    bool memoryRead_ = false;
    // While memoryRead_: the block and the handle's own cursor into it.
    const uint8_t* blockBase_ = nullptr;
    uint32_t* blockCursor_ = nullptr;
    uint32_t blockSize_ = 0;
    uint32_t size_ = 0;
    // A handle that only reads keeps its position here once the backend has
    // told it, so that the bounds checks of every read need not ask again;
    // a seek or a short read makes it ask again.
    bool positionKnown_ = false;
    uint32_t position_ = 0;
};

// Writes the bytes as the whole file (through the file system current when
// it runs): 1 when the file was made and closed without failure; 0
// otherwise, also for a null path.
int WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes);

// A FileHandle plus the version of the data it holds; Serialize code reads
// newer fields only when the version is at least theirs.
class Archive : public FileHandle {
public:
    Archive() = default;
    explicit Archive(FileSystem* fs) : FileHandle(fs) {}

    uint32_t Version() const { return version_; }
    void SetVersion(uint32_t version) { version_ = version; }

    // SerializeU32 and SerializeWords made only when Version() >= since;
    // otherwise nothing moves and the value is returned unchanged.
    uint32_t SerializeU32Since(uint32_t since, uint32_t value);
    template <class Words> void SerializeWordsSince(uint32_t since, Words* words, uint32_t count) {
        if (version_ >= since) {
            SerializeWords(words, count);
        }
    }

private:
    uint32_t version_ = 0;
};
