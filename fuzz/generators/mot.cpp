// Writes seed ".mot" files into the folder given as the argument: an empty
// motion, tracks of every key kind, a track without keys and one without
// rotation keys.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/math.h"
#include "library/key_track.h"
#include "library/library_writer.h"
#include "library/name_table.h"

namespace {

std::unique_ptr<KeyTrack> FullTrack(const char* bone, float offset) {
    auto t = std::make_unique<KeyTrack>();
    t->nameId = GetNameTable().FindOrAdd(bone);
    t->length = 30.0f;
    t->AddRotationKey(0.0f, {0.0f, 0.0f, 0.0f, 1.0f});
    t->AddRotationKey(10.0f, {0.0f, 0.70710678f, 0.0f, 0.70710678f});
    t->AddRotationKey(20.0f, {0.0f, 0.70710678f, 0.0f, 0.70710678f});
    t->AddPositionKey(0.0f, {offset, 0.0f, 0.0f});
    t->AddPositionKey(15.0f, {offset, 5.0f, 0.0f});
    t->AddScaleKey(0.0f, {1.0f, 1.0f, 1.0f});
    Matrix m;
    MatrixTranslation(&m, offset, 1.0f, 2.0f);
    t->AddMatrixKey(5.0f, m);
    return t;
}

bool Save(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return !bytes.empty() && static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::filesystem::path folder(argv[1]);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);

    MotWriter empty;
    empty.SetDisplacement(0.0f, 0.0f, 120.0f);

    auto root = FullTrack("Bip01", 0.0f);
    auto spine = FullTrack("Bip01 Spine", 1.0f);
    MotWriter walk(2);
    walk.SetFirstVector(0.0f, 0.0f, 1.0f);
    walk.SetDisplacement(0.0f, 0.0f, 250.0f);
    walk.AddTrack(*root);
    walk.AddTrack(*spine);

    KeyTrack bare;
    KeyTrack positionsOnly;
    positionsOnly.nameId = GetNameTable().FindOrAdd("Bip01 Tail");
    positionsOnly.length = 2.0f;
    positionsOnly.AddPositionKey(0.0f, {0.0f, 0.0f, 0.0f});
    positionsOnly.AddPositionKey(1.0f, {1.0f, 0.0f, 0.0f});
    MotWriter odd;
    odd.AddTrack(bare);
    odd.AddTrack(positionsOnly);

    if (!Save(folder / "empty.mot", empty.WriteToMemory()) ||
        !Save(folder / "walk.mot", walk.WriteToMemory()) ||
        !Save(folder / "odd_tracks.mot", odd.WriteToMemory())) {
        std::fprintf(stderr, "cannot write seeds\n");
        return 1;
    }
    return 0;
}
