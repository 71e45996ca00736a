// The operating system's files, for reading only: a fuzz run writes nothing,
// so that a long run leaves nothing behind whatever names its inputs give.
#pragma once

#include <cstring>

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
