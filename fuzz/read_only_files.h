// The operating system's files, for reading only: a fuzz run writes nothing,
// so that a long run leaves nothing behind whatever names its inputs give.
#pragma once

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "base/file_system.h"

class ReadOnlyFiles : public StdioFileSystem {
  public:
    void *Open(const char *name, const char *mode) override {
        if (mode != nullptr && std::strpbrk(mode, "wa+") != nullptr) {
            return nullptr;
        }
        return StdioFileSystem::Open(name, mode);
    }
};

// The same, but one name, exactly as the engine spells it when it opens the
// file, reads a block of memory: an input is served as a file without being
// written anywhere. The block must outlive every handle opened on it.
class ServedFiles : public ReadOnlyFiles {
  public:
    void Serve(const std::string &name, const uint8_t *data, size_t size) {
        name_ = name;
        data_ = data;
        size_ = static_cast<uint32_t>(size);
    }

    void *Open(const char *name, const char *mode) override {
        const bool reads = mode == nullptr || std::strpbrk(mode, "wa+") == nullptr;
        if (reads && name != nullptr && !name_.empty() && name_ == name) {
            void *handle = NewReadOnlyMemoryHandle(data_, size_);
            served_.insert(handle);
            return handle;
        }
        return ReadOnlyFiles::Open(name, mode);
    }
    int Close(void *handle) override {
        if (served_.erase(handle) != 0) {
            return Memory()->Close(handle);
        }
        return ReadOnlyFiles::Close(handle);
    }
    uint32_t Read(void *buffer, uint32_t size, uint32_t count, void *handle) override {
        return Served(handle) ? Memory()->Read(buffer, size, count, handle)
                              : StdioFileSystem::Read(buffer, size, count, handle);
    }
    uint32_t Write(const void *buffer, uint32_t size, uint32_t count, void *handle) override {
        return Served(handle) ? Memory()->Write(buffer, size, count, handle)
                              : StdioFileSystem::Write(buffer, size, count, handle);
    }
    int32_t Tell(void *handle) override {
        return Served(handle) ? Memory()->Tell(handle) : StdioFileSystem::Tell(handle);
    }
    int Seek(void *handle, int32_t offset, int origin) override {
        return Served(handle) ? Memory()->Seek(handle, offset, origin)
                              : StdioFileSystem::Seek(handle, offset, origin);
    }
    int Eof(void *handle) override {
        return Served(handle) ? Memory()->Eof(handle) : StdioFileSystem::Eof(handle);
    }
    uint32_t Size(void *handle) override {
        return Served(handle) ? Memory()->Size(handle) : StdioFileSystem::Size(handle);
    }
    void Abandon(void *handle) override {
        if (!Served(handle)) {
            StdioFileSystem::Abandon(handle);
        }
    }

  private:
    static FileSystem *Memory() { return GetMemoryFileSystem(); }
    bool Served(void *handle) const { return served_.count(handle) != 0; }

    std::string name_;
    const uint8_t *data_ = nullptr;
    uint32_t size_ = 0;
    std::set<void *> served_;
};
