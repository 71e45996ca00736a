// Writes seed library files, one of every class at every version, into the
// folder given as the argument.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "library/bitmap_font.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/name_table.h"
#include "seed_folder.h"

namespace {

std::vector<std::unique_ptr<LibraryItem>> SampleItems() {
    std::vector<std::unique_ptr<LibraryItem>> items;
    auto tex = std::make_unique<TextureItem>();
    tex->name = "white";
    tex->fileName = "white.tga";
    tex->width = tex->height = 64;
    items.push_back(std::move(tex));

    auto mesh = std::make_unique<MeshItem>();
    mesh->name = "box";
    mesh->fileName = "box.qvm";
    mesh->subsetSettings.resize(2);
    mesh->subsetSettings[1].secondTexture = 0;
    mesh->subsetSettings[1].sphereRadius = 2.0f;
    items.push_back(std::move(mesh));

    auto sound = std::make_unique<SoundItem>();
    sound->name = "shot";
    sound->fileName = "shot.wav";
    sound->volume = 0.5f;
    items.push_back(std::move(sound));

    auto mat = std::make_unique<MaterialItem>();
    mat->name = "wall";
    mat->textureIds = {0, 0xFFFFFFFFu};
    mat->bucketMask = 0;
    items.push_back(std::move(mat));

    auto light = std::make_unique<LightItem>();
    light->name = "sun";
    items.push_back(std::move(light));

    auto motion = std::make_unique<MotionItem>();
    motion->name = "R_F_walk";
    auto track = std::make_unique<KeyTrack>();
    track->length = 1.0f;
    track->nameId = GetNameTable().FindOrAdd("Bip01");
    track->rotationKeys.push_back({0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0});
    track->rotationKeys.push_back({0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0});
    track->positionKeys.push_back({1.0f, 2.0f, 3.0f, 0.0f, 0});
    track->scaleKeys.push_back({1.0f, 1.0f, 1.0f, 0.0f, 0});
    track->matrixKeys.push_back(MatrixKey{});
    motion->recordTracks.push_back(std::move(track));
    items.push_back(std::move(motion));

    auto font = std::make_unique<FontItem>();
    font->name = "GameFont";
    font->faceName = "Arial";
    font->characterSet = "ABC";
    font->glyphTexture = 1;
    font->font->sheetWidth = font->font->sheetHeight = 64;
    font->font->glyphs.resize(2);
    font->font->glyphs[1] = {0.5f, 0.0f, 1.0f, 0.5f};
    font->font->characterList[0] = 'A';
    font->font->characterList[1] = 'B';
    items.push_back(std::move(font));

    auto plainFont = std::make_unique<FontItem>();
    plainFont->name = "Console";
    plainFont->faceName = "Lucida Console";
    items.push_back(std::move(plainFont));
    return items;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = SeedFolder(argc, argv);
    if (folder.empty()) {
        return 2;
    }
    auto items = SampleItems();
    for (uint32_t version = 1; version <= 7; ++version) {
        LibraryWriter writer(version);
        writer.SetWorldScale(50.0f);
        writer.AddGroup({"group", ""});
        for (size_t i = 0; i < items.size(); ++i) {
            writer.AddItem(static_cast<uint32_t>(i * 3), *items[i]);
        }
        std::vector<uint8_t> bytes = writer.WriteToMemory();
        if (bytes.empty() ||
            !SaveSeed(folder / ("every_class_v" + std::to_string(version) + ".qvf"), bytes)) {
            std::fprintf(stderr, "cannot write seed for version %u\n", version);
            return 1;
        }
        // One class per file as well: small seeds mutate faster.
        for (size_t i = 0; i < items.size(); ++i) {
            LibraryWriter single(version);
            single.AddItem(static_cast<uint32_t>(i), *items[i]);
            std::string name = "class" + std::to_string(i) + "_v" + std::to_string(version) + ".qvf";
            if (!SaveSeed(folder / name, single.WriteToMemory())) {
                return 1;
            }
        }
    }
    return 0;
}
