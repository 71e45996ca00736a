// Writes seed ".mot" files into the folder given as the argument: an empty motion, tracks of every
// key kind, a track without keys and one without rotation keys.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/math.h"
#include "library/key_track.h"
#include "library/library_writer.h"
#include "library/name_table.h"
#include "seed_folder.h"

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

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = SeedFolder(argc, argv);
    if (folder.empty()) {
        return 2;
    }

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

    if (!SaveSeed(folder / "empty.mot", empty.WriteToMemory()) ||
        !SaveSeed(folder / "walk.mot", walk.WriteToMemory()) ||
        !SaveSeed(folder / "odd_tracks.mot", odd.WriteToMemory())) {
        std::fprintf(stderr, "cannot write seeds\n");
        return 1;
    }
    return 0;
}
