// packtool: makes, lists and reads pack archives.
//
//   packtool create ARCHIVE FOLDER   every regular file below FOLDER becomes an
//                                    entry "FOLDER\relative\path"
//   packtool list ARCHIVE            "<offset> <size> <name>" per entry
//   packtool cat ARCHIVE NAME        the entry's bytes, looked up as the engine
//                                    looks names up
//
// A damaged archive (one with an entry that does not lie inside it included)
// is an error for list and cat, told as the engine tells it. Errors exit 1,
// usage errors 2.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/byte_writer.h"
#include "base/file_system.h"
#include "base/pack_archive.h"

namespace {

namespace fs = std::filesystem;

int Usage() {
    std::fputs("usage: packtool create ARCHIVE FOLDER\n"
               "       packtool list ARCHIVE\n"
               "       packtool cat ARCHIVE NAME\n",
               stderr);
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "packtool: %s\n", message.c_str());
    return 1;
}

struct Source {
    std::string name;
    fs::path path;
};

int Create(const std::string& archivePath, const std::string& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        return Fail("not a folder: " + folder);
    }
    // The archive replaces a file; a device, pipe or folder of the name stays.
    const fs::file_status existing = fs::status(archivePath, ec);
    if (fs::exists(existing) && !fs::is_regular_file(existing)) {
        return Fail("not a regular file: " + archivePath);
    }
    std::string prefix = folder;
    std::replace(prefix.begin(), prefix.end(), '/', '\\');
    while (prefix.size() > 1 && prefix.back() == '\\') {
        prefix.pop_back();
    }
    if (prefix == ".") {
        prefix.clear();
    }

    std::vector<Source> sources;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc)) {
            continue;
        }
        if (fs::equivalent(it->path(), archivePath, fileEc)) {
            continue; // the archive itself, when it lies in the folder
        }
        std::string relative = it->path().lexically_relative(folder).generic_string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        sources.push_back({prefix.empty() ? relative : prefix + "\\" + relative, it->path()});
    }
    if (ec) {
        return Fail("cannot read folder: " + folder);
    }
    std::sort(sources.begin(), sources.end(),
              [](const Source& a, const Source& b) { return a.name < b.name; });
    for (const Source& source : sources) {
        if (source.name.size() >= PackArchive::kNameSize) {
            return Fail("name too long: " + source.name);
        }
    }

    std::vector<std::string> contents;
    contents.reserve(sources.size());
    uint64_t offset = PackArchive::kHeaderSize + 4 + uint64_t{PackArchive::kEntrySize} * sources.size();
    std::vector<uint8_t> head = {'M', 'O', 'R', 'V'};
    head.resize(PackArchive::kHeaderSize, 0);
    ByteWriter headWriter(head);
    headWriter.U32(static_cast<uint32_t>(sources.size()));
    for (const Source& source : sources) {
        std::string bytes;
        std::string reason;
        if (!ReadWholeFile(source.path.string(), &bytes, &reason)) {
            return Fail("cannot read: " + source.path.string() + ": " + reason);
        }
        if (offset + bytes.size() > INT32_MAX) {
            return Fail("archive too large");
        }
        headWriter.U32(static_cast<uint32_t>(offset));
        headWriter.U32(static_cast<uint32_t>(bytes.size()));
        const size_t nameAt = head.size();
        head.resize(nameAt + PackArchive::kNameSize, 0);
        std::memcpy(head.data() + nameAt, source.name.data(), source.name.size());
        offset += bytes.size();
        contents.push_back(std::move(bytes));
    }

    FileHandle out(GetDefaultFileSystem());
    if (!out.Open(archivePath, "wb")) {
        return Fail("cannot write: " + archivePath);
    }
    out.Write(head.data(), static_cast<uint32_t>(head.size()));
    for (const std::string& bytes : contents) {
        out.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    if (out.Close() != 0) {
        return Fail("cannot write: " + archivePath);
    }
    return 0;
}

// The archive, or null after its line: what the engine says of a damaged
// "pack.csa", with the archive's own name.
PackArchive* OpenArchive(const std::string& archivePath) {
    std::string damage;
    PackArchive* archive = CreatePackArchive(archivePath.c_str(), GetDefaultFileSystem(), &damage);
    if (archive != nullptr && !archive->Damage().empty()) {
        damage = archive->Damage();
        DeletePackArchive(archive);
        archive = nullptr;
    }
    if (archive == nullptr) {
        Fail(damage.empty() ? "cannot read archive: " + archivePath : archivePath + ": " + damage);
    }
    return archive;
}

int List(const std::string& archivePath) {
    PackArchive* archive = OpenArchive(archivePath);
    if (archive == nullptr) {
        return 1;
    }
    for (const PackEntry& entry : archive->Entries()) {
        std::printf("%u %u ", entry.offset, entry.size);
        std::fwrite(entry.storedName.data(), 1, entry.storedName.size(), stdout);
        std::fputc('\n', stdout);
    }
    DeletePackArchive(archive);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Cat(const std::string& archivePath, const std::string& name) {
    PackArchive* archive = OpenArchive(archivePath);
    if (archive == nullptr) {
        return 1;
    }
    int result = 0;
    if (archive->Find(name) < 0) {
        result = Fail("not in archive: " + name);
    } else {
        FileHandle entry(archive);
        std::vector<char> bytes;
        if (entry.Open(name, "rb")) {
            bytes.resize(entry.Size());
            if (!bytes.empty()) {
                entry.Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
            }
        }
        if (entry.Failed()) {
            result = Fail("cannot read entry: " + name);
        } else if ((!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) ||
                   std::fflush(stdout) != 0) {
            result = 1;
        }
    }
    DeletePackArchive(archive);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::string command = argv[1];
    if (command == "create" && argc == 4) {
        return Create(argv[2], argv[3]);
    }
    if (command == "list" && argc == 3) {
        return List(argv[2]);
    }
    if (command == "cat" && argc == 4) {
        return Cat(argv[2], argv[3]);
    }
    return Usage();
}
