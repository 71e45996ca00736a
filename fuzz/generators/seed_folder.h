// What the seed generators share: the folder named by their only argument,
// and writing a seed file into it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The folder of the command line, made if missing; empty (after a usage
// message) when the arguments are not one folder.
inline std::filesystem::path SeedFolder(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return {};
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[1], ec);
    return argv[1];
}

// Writes the bytes; false when they are empty or the write failed.
inline bool SaveSeed(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return !bytes.empty() && static_cast<bool>(out);
}

inline bool SaveSeed(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    return SaveSeed(path, std::string(bytes.begin(), bytes.end()));
}
