// Sound items of the resource library over the recording output, and their
// volumes heard through the loopback output.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/resource_library.h"
#include "library/sound_items.h"
#include "platform/os/recording_sound_backend.h"
#include "platform/sound.h"
#include "support/sound_test_util.h"

namespace {

constexpr uint32_t kShot = 100;    // whole, 2D, stereo, category 3
constexpr uint32_t kMusic = 101;   // streamed, 2D
constexpr uint32_t kStereo3D = 102;
constexpr uint32_t kCategory40 = 103;
constexpr uint32_t kMissing = 104; // no such file
constexpr uint32_t kPositional = 105; // whole, 3D, mono

struct ItemRow {
    uint32_t slot;
    const char* name;
    std::string path;
    uint32_t flags;
    uint32_t category;
};

class SoundItems : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterSoundServices();
        ASSERT_EQ(CreateEngineServices(), 1);
        lib = GetLibrary();
        lib->SetSoundEnabled(1);
        for (uint32_t c = 0; c < ResourceLibrary::kSoundCategories; ++c) {
            lib->SetSoundCategoryVolume(c, 1.0f);
        }
        ASSERT_EQ(OpenDevice(), 1);
        const std::string stereo = dir.Write("stereo.wav", 2, 16, 44100, CountingPcm16(44100, 2));
        const std::string mono1 = dir.Write("mono1.wav", 1, 16, 44100, CountingPcm16(44100, 1));
        const std::vector<ItemRow> rows = {
            {kShot, "shot", stereo, SoundItem::kFlagWholeFile, 3},
            {kMusic, "music", stereo, 0, 0},
            {kStereo3D, "stereo3d", stereo, SoundItem::kFlagWholeFile | SoundItem::kFlag3D, 0},
            {kCategory40, "cat40", stereo, SoundItem::kFlagWholeFile, 40},
            {kMissing, "missing", (dir.Path() / "none.wav").string(), SoundItem::kFlagWholeFile, 0},
            {kPositional, "pos", mono1, SoundItem::kFlagWholeFile | SoundItem::kFlag3D, 0},
        };
        std::vector<SoundItem> items(rows.size());
        LibraryWriter writer(7);
        for (size_t i = 0; i < rows.size(); ++i) {
            items[i].name = rows[i].name;
            items[i].filePath = rows[i].path;
            items[i].flags = rows[i].flags;
            items[i].category = rows[i].category;
            writer.AddItem(rows[i].slot, items[i]);
        }
        const std::string file = (dir.Path() / "lib.qvf").string();
        ASSERT_EQ(writer.WriteFile(file.c_str()), 1);
        ASSERT_EQ(lib->ReadLibraryFile(file.c_str(), 1), 1) << lib->GetLastError();
    }
    void TearDown() override {
        for (LibraryItem* copy : copies) {
            lib->ReleaseItem(copy);
            lib->DeleteItemIfUnused(copy);
        }
        for (uint32_t slot = kShot; slot <= kPositional; ++slot) {
            lib->ReleaseItem(lib->GetItemById(slot));
        }
        lib->SetSoundEnabled(1);
        ShutdownSoundDevice();
    }

    virtual int OpenDevice() {
        auto backend = std::make_unique<RecordingSoundBackend>();
        rec = backend.get();
        return CreateSoundDeviceOn(std::move(backend), 2, 44100, 16, false);
    }

    SoundItem* Item(uint32_t slot) { return static_cast<SoundItem*>(lib->GetItemById(slot)); }
    SoundItem* Copy(uint32_t slot, uint32_t playFlags) {
        auto* copy = static_cast<SoundItem*>(lib->AcquireItem(slot, ItemClass::Sound, 1, playFlags));
        copies.push_back(copy);
        return copy;
    }

    TempWaveFolder dir;
    ResourceLibrary* lib = nullptr;
    RecordingSoundBackend* rec = nullptr;
    std::vector<LibraryItem*> copies;
};

TEST_F(SoundItems, ItemVolumeTakesCategoryAndOwnVolume) {
    SoundItem* shot = Item(kShot);
    lib->SetSoundCategoryVolume(3, 0.5f);
    lib->SetSoundItemVolume(shot, 1.0f); // loads the item first
    ASSERT_NE(shot->buffer, nullptr);
    EXPECT_EQ(shot->loaded, 1u);
    EXPECT_EQ(rec->GetVoice(shot->buffer->voice).attenuation, -2500);

    shot->volume = 0.5f;
    lib->SetSoundCategoryVolume(3, 1.0f);
    lib->SetSoundItemVolume(shot, 0.5f);
    EXPECT_EQ(rec->GetVoice(shot->buffer->voice).attenuation, -3750);

    // A category beyond the table counts as full volume.
    SoundItem* cat40 = Item(kCategory40);
    lib->SetSoundItemVolume(cat40, 1.0f);
    EXPECT_EQ(rec->GetVoice(cat40->buffer->voice).attenuation, 0);
}

TEST_F(SoundItems, CategoryVolumesAreClampedAndBounded) {
    lib->SetSoundCategoryVolume(31, 0.25f);
    lib->SetSoundCategoryVolume(32, 0.5f); // ignored
    lib->SetSoundCategoryVolume(0xFFFFFFFFu, 0.5f);
    EXPECT_EQ(lib->GetSoundCategoryVolume(31), 0.25f);
    EXPECT_EQ(lib->GetSoundCategoryVolume(32), 1.0f);
    for (auto [set, stored] : {std::pair{NAN, 0.0f}, {-2.0f, 0.0f}, {7.0f, 1.0f}}) {
        lib->SetSoundCategoryVolume(1, set);
        EXPECT_EQ(lib->GetSoundCategoryVolume(1), stored) << set;
    }
}

TEST_F(SoundItems, WrappersLoadAndAct) {
    SoundItem* music = Item(kMusic);
    EXPECT_FLOAT_EQ(lib->GetSoundItemLength(music), 1.0f);
    ASSERT_NE(music->buffer, nullptr);
    EXPECT_EQ(music->buffer->streamFlag, 1u);
    lib->PlaySoundItemLooped(music);
    EXPECT_EQ(lib->IsSoundItemPlaying(music), 1u);
    lib->PauseSoundItem(music);
    EXPECT_EQ(lib->IsSoundItemPlaying(music), 0u);
    lib->PlaySoundItem(music);
    lib->StopSoundItem(music);
    EXPECT_EQ(lib->IsSoundItemPlaying(music), 0u);

    SoundItem* shot = Item(kShot);
    lib->StopSoundItem(shot); // no load
    EXPECT_EQ(shot->buffer, nullptr);
    lib->SetSoundItemFrequency(shot, 2.0f);
    EXPECT_EQ(rec->GetVoice(shot->buffer->voice).frequency, 88200u);
    lib->PlaySoundItem(shot);
    EXPECT_EQ(lib->IsSoundItemPlaying(shot), 1u);

    SoundItem* pos = Item(kPositional);
    lib->SetSoundItemPosition(pos, {100.0f, 0.0f, 0.0f});
    CommitListenerSettings();
    EXPECT_FLOAT_EQ(rec->GetVoice(pos->buffer->voice).position.x, 1.0f);
    lib->PlaySoundItem(nullptr);
    EXPECT_EQ(lib->IsSoundItemPlaying(nullptr), 0u);
    EXPECT_EQ(lib->GetSoundItemLength(nullptr), 0.0f);
    lib->TraceSound(7);
}

TEST_F(SoundItems, FailedLoadsCarryTheSoundLayersText) {
    EXPECT_EQ(lib->LoadItem(Item(kStereo3D)), 1);
    EXPECT_STREQ(lib->GetLastError(), "Create Sound Buffer");
    lib->LoadItem(Item(kMissing));
    EXPECT_STREQ(lib->GetLastError(), "File Open");
    EXPECT_EQ(Item(kStereo3D)->loaded + Item(kMissing)->loaded, 0u);
    EXPECT_EQ(lib->CreateLibrarySound(nullptr), 0);
    EXPECT_STREQ(lib->GetLastError(), "Error: Create Sound Library Sound");
}

TEST_F(SoundItems, CopyWithoutABufferStaysUnloaded) {
    SoundItem* copy = Copy(kMissing, 0);
    ASSERT_NE(copy, nullptr);
    lib->ReportLibraryError("%s", "");
    EXPECT_EQ(copy->Load(), 0);
    EXPECT_TRUE(copy->loaded == 0 && copy->buffer == nullptr);
    EXPECT_STREQ(lib->GetLastError(), "File Open");
}

TEST_F(SoundItems, CopiesDuplicateTheSourceAndKeepPlayingWhenOneGoes) {
    SoundItem* a = Copy(kShot, 0);
    SoundItem* b = Copy(kShot, 0);
    ASSERT_EQ(a->Load(), 1);
    ASSERT_EQ(b->Load(), 1);
    SoundItem* source = Item(kShot);
    ASSERT_NE(source->buffer, nullptr);
    EXPECT_EQ(a->buffer->duplicateFlag, 1u);
    EXPECT_EQ(rec->GetVoice(a->buffer->voice).bufferId, rec->GetVoice(source->buffer->voice).bufferId);
    lib->PlaySoundItemLooped(a);
    lib->PlaySoundItemLooped(b);

    // Releasing a copy releases its source too; the other copy plays on.
    EXPECT_EQ((std::tuple{a->Release(), a->loaded + source->loaded, source->buffer}),
              (std::tuple{1, 0u, nullptr}));
    EXPECT_EQ((std::tuple{lib->IsSoundItemPlaying(b), rec->BufferCount()}), (std::tuple{1u, 1u}));
}

TEST_F(SoundItems, DeletingACopyFreesOnlyItsOwnBuffer) {
    SoundItem* source = Item(kShot);
    lib->PlaySoundItemLooped(source);
    auto* copy = static_cast<SoundItem*>(lib->AcquireItem(kShot, ItemClass::Sound, 1, 0));
    ASSERT_EQ(copy->Load(), 1);
    lib->PlaySoundItem(copy);
    const SoundVoice own = copy->buffer->voice;
    lib->DeleteItemIfUnused(copy);
    EXPECT_EQ((std::tuple{source->loaded, source->buffer != nullptr, rec->HasVoice(own)}),
              (std::tuple{1u, true, false}));
    EXPECT_EQ(lib->IsSoundItemPlaying(source), 1u);
}

TEST_F(SoundItems, ThreeDimensionalCopyMarksTheSourceButFollowsItsBuffer) {
    SoundItem* source = Item(kPositional);
    source->flags = SoundItem::kFlagWholeFile; // loaded as 2D first
    ASSERT_EQ(source->Load(), 1);
    SoundItem* copy = Copy(kPositional, SoundItem::kFlag3D);
    ASSERT_EQ(copy->Load(), 1);
    EXPECT_NE(source->flags & SoundItem::kFlag3D, 0u);
    EXPECT_FALSE(copy->buffer->has3D);
    EXPECT_FALSE(rec->GetVoice(copy->buffer->voice).is3D);

    // Loaded again, the source is 3D and so are its new copies.
    source->Release();
    SoundItem* again = Copy(kPositional, SoundItem::kFlag3D);
    ASSERT_EQ(again->Load(), 1);
    EXPECT_TRUE(again->buffer->has3D);
}

TEST_F(SoundItems, SoundDisabledMakesNoBufferAndEveryWrapperIsSilent) {
    lib->SetSoundEnabled(0);
    rec->TakeLog();
    SoundItem* shot = Item(kShot);
    EXPECT_EQ((std::tuple{lib->CreateLibrarySound(shot), shot->Load()}), (std::tuple{1, 1}));
    SoundItem* copy = Copy(kMusic, 0);
    EXPECT_EQ(copy->Load(), 1);
    EXPECT_TRUE(shot->loaded == 1 && shot->buffer == nullptr && copy->buffer == nullptr);

    lib->PlaySoundItemLooped(copy);
    lib->SetSoundItemVolume(shot, 0.5f);
    lib->SetSoundItemFrequency(shot, 2.0f);
    lib->SetSoundItemPosition(shot, {1, 2, 3});
    lib->SetSoundItemDistances(shot, 1, 2);
    lib->SetSoundCategoryVolume(3, 0.5f);
    EXPECT_EQ(lib->IsSoundItemPlaying(shot), 0u);
    EXPECT_EQ(lib->GetSoundItemLength(shot), 0.0f);
    EXPECT_EQ(lib->GetSoundCategoryVolume(3), 1.0f);
    EXPECT_TRUE(rec->TakeLog().empty());
}

TEST(SoundServices, DisplayStartUpOpensTheDeviceOrRunsSilent) {
    RegisterSoundServices();
    ShutdownSoundDevice();
    ResourceLibrary library;
    ASSERT_TRUE(library.StartDeviceServices(0));
    // Without a sound card no device opens: the engine goes on silent.
    EXPECT_EQ(library.IsSoundEnabled(), HasSoundDevice() ? 1u : 0u);
    if (!HasSoundDevice()) {
        EXPECT_STREQ(library.GetLastError(), "Create Sound Device");
    }
    ShutdownSoundDevice();
}

} // namespace
