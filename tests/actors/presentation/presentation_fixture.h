// Fixture of the presentation actor tests: an actor world on a library of
// its own (records only, on a RecordingDevice) that holds the meshes and
// materials the tests name, a spy that records the commands an actor is
// told of, and a frame step.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "actors/presentation/mesh_object_actor.h"
#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/time_record.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "library/sound_items.h"
#include "platform/os/gfx/recording_device.h"
#include "platform/os/recording_sound_backend.h"
#include "platform/sound.h"
#include "support/actor_record.h"
#include "support/fake_display.h"
#include "support/sound_test_util.h"
#include "support/temp_folder.h"

namespace presentationtest {

// Library slots of the items below.
inline constexpr uint32_t kCubeSlot = 3; // one subset, material 4
// the default material is at slot 4 (kDefaultMaterialSlot)
inline constexpr uint32_t kTripleSlot = 30; // subsets of types 1, 2, 4
inline constexpr uint32_t kFlagSlot = 31;   // 16 frames
inline constexpr uint32_t kRedMaterialSlot = 21;
inline constexpr uint32_t kNoShapeSlot = 32; // subsets of types 0, 7, 14
inline constexpr uint32_t kBeepSlot = 1;      // the sound "beep"
inline constexpr uint32_t kHumSlot = 2;       // the 3D sound "hum3d"

// Words 2 and 8 of the materials' records.
inline constexpr uint32_t kRedField2 = 5;
inline constexpr uint32_t kRedField8 = 9;
inline constexpr uint32_t kDefaultField2 = 2;
inline constexpr uint32_t kDefaultField8 = 15;

// Records the ids of the commands its targets are told of (each notice,
// command 93, starts with the command id).
class CommandSpy : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == 93) {
            seen.push_back(block.ReadU32(0));
        }
        return 1;
    }
    size_t Count(uint32_t commandId) const {
        size_t n = 0;
        for (uint32_t id : seen) {
            n += id == commandId ? 1 : 0;
        }
        return n;
    }
    std::vector<uint32_t> seen;
};

class PresentationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CreateGraphics(), 1);
        CQVGraphics &g = *GetGraphics();
        g.DestroyDevice();
        testdisplay::UseFakeAdapter([this] { return MakeDevice(); });
        ASSERT_TRUE(g.CreateWindowDevice(nullptr)) << g.GetGraphicsErrorText();
        device = GetD3DDevice();
        previous = ReplaceLibraryForTests(&library);
        library.SetUpDrawBuckets();
        FillLibrary();
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
        system = GetActorSystem();
        scenery = GetActorById(kSceneryRootId);
        FrameDelta = 1.0f / 60.0f;
    }

    // The device the graphics object draws on.
    virtual std::unique_ptr<gfx::Device> MakeDevice() {
        return std::make_unique<gfx::RecordingDevice>(800, 600);
    }

    void TearDown() override {
        ResetActorWorldForTests();
        if (soundOutput != nullptr) {
            for (uint32_t slot : {kBeepSlot, kHumSlot}) {
                library.ReleaseItem(library.GetItemById(slot));
            }
            ShutdownSoundDevice();
        }
        ReplaceLibraryForTests(previous);
        testdisplay::RestoreGlAdapter();
    }

    // The items are read into the table as records; meshes are marked loaded
    // so that no data file is looked for.
    void FillLibrary() {
        auto material = [](const char *name, uint32_t field2, uint32_t field8) {
            auto m = std::make_unique<MaterialItem>();
            m->name = name;
            m->field2 = field2;
            m->field8 = field8;
            m->bucketMask = 1;
            m->fog = 0;
            return m;
        };
        auto subset = [](uint32_t type, uint32_t materialSlot, float radius) {
            SubsetSettings s;
            s.word0 = type;
            s.word1 = materialSlot;
            s.sphereRadius = radius;
            return s;
        };
        auto cube = std::make_unique<MeshItem>();
        cube->name = "cube";
        cube->meshWord = 1;
        SubsetSettings cubeSubset = subset(0, kDefaultMaterialSlot, 10.0f);
        for (int i = 0; i < 3; ++i) {
            cubeSubset.boxMin[i] = -10.0f;
            cubeSubset.boxMax[i] = 10.0f;
        }
        cube->subsetSettings = {cubeSubset};

        auto triple = std::make_unique<MeshItem>();
        triple->name = "triple";
        triple->meshWord = 1;
        SubsetSettings sphere = subset(1, kRedMaterialSlot, 4.0f);
        sphere.sphereCentre[0] = 1.0f;
        sphere.sphereCentre[1] = 2.0f;
        sphere.sphereCentre[2] = 3.0f;
        SubsetSettings box = subset(2, 99, 5.0f);
        for (int i = 0; i < 3; ++i) {
            box.boxMin[i] = -1.0f - static_cast<float>(i);
            box.boxMax[i] = 1.0f + static_cast<float>(i);
        }
        triple->subsetSettings = {sphere, box, subset(4, kDefaultMaterialSlot, 6.0f)};

        auto flag = std::make_unique<MeshItem>();
        flag->name = "flag";
        flag->meshWord = 16;
        flag->subsetSettings = {subset(0, kDefaultMaterialSlot, 10.0f)};

        auto noShapes = std::make_unique<MeshItem>();
        noShapes->name = "noshapes";
        noShapes->meshWord = 1;
        noShapes->subsetSettings = {subset(0, kRedMaterialSlot, 10.0f),
                                    subset(7, kDefaultMaterialSlot, 10.0f),
                                    subset(14, kDefaultMaterialSlot, 10.0f)};

        auto red = material("red", kRedField2, kRedField8);
        auto plain = material("plain", kDefaultField2, kDefaultField8);
        SoundItem beep;
        beep.name = "beep";
        beep.fileName = "beep.wav";
        SoundItem hum;
        hum.name = "hum3d";
        hum.fileName = "hum3d.wav";
        hum.flags = SoundItem::kFlagWholeFile | SoundItem::kFlag3D;
        LibraryWriter writer(7);
        writer.AddItem(kBeepSlot, beep);
        writer.AddItem(kHumSlot, hum);
        writer.AddItem(kCubeSlot, *cube);
        writer.AddItem(kDefaultMaterialSlot, *plain);
        writer.AddItem(kRedMaterialSlot, *red);
        writer.AddItem(kTripleSlot, *triple);
        writer.AddItem(kFlagSlot, *flag);
        writer.AddItem(kNoShapeSlot, *noShapes);
        const std::vector<uint8_t> bytes = writer.WriteToMemory();
        Archive archive;
        archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
        ASSERT_EQ(library.ReadLibraryArchive(archive, 1), 1) << library.GetLastError();
        for (uint32_t slot : {kCubeSlot, kTripleSlot, kFlagSlot, kNoShapeSlot}) {
            library.GetItemById(slot)->loaded = 1;
        }
    }

    // Opens a sound device on a recording output and gives "beep" and
    // "hum3d" half a second of wave data each; the output is answered.
    RecordingSoundBackend *OpenRecordingSound() {
        RegisterSoundServices();
        waves = std::make_unique<TempWaveFolder>();
        for (uint32_t slot : {kBeepSlot, kHumSlot}) {
            LibraryItem *item = library.GetItemById(slot);
            item->fileName.clear();
            item->filePath = waves->Write(item->name + ".wav", 1, 16, 22050,
                                          SinePcm16(11025, 22050, 440.0, 8000.0));
        }
        auto backend = std::make_unique<RecordingSoundBackend>();
        RecordingSoundBackend *recording = backend.get();
        EXPECT_EQ(CreateSoundDeviceOn(std::move(backend), 2, 22050, 16, false), 1);
        soundOutput = recording;
        return recording;
    }
    // The recorded state of an item's voice (a default voice without one).
    RecordingSoundBackend::Voice VoiceOf(LibraryItem *item) {
        auto *soundItem = dynamic_cast<SoundItem *>(item);
        if (soundOutput == nullptr || soundItem == nullptr || soundItem->buffer == nullptr) {
            return {};
        }
        return soundOutput->GetVoice(soundItem->buffer->voice);
    }

    MeshItem *Mesh(uint32_t slot) { return dynamic_cast<MeshItem *>(library.GetItemById(slot)); }
    MaterialItem *Material(uint32_t slot) {
        return dynamic_cast<MaterialItem *>(library.GetItemById(slot));
    }

    // An actor made with "Create" (no template) under the scenery root.
    template <class T> T *Make(uint32_t classId, const char *name, Actor *parent = nullptr) {
        return dynamic_cast<T *>(CreateActor(static_cast<int32_t>(classId), name, nullptr,
                                             parent != nullptr ? parent : scenery, -1, true));
    }

    // A spy on the actor's commands, owned by the fixture.
    CommandSpy *SpyOn(Actor *actor) {
        spies.push_back(std::make_unique<CommandSpy>());
        AddCommandSpy(actor, spies.back().get());
        return spies.back().get();
    }

    // One frame of the root clock: the next frame stamp and a step of dt.
    void Step(float dt = 1.0f / 60.0f) {
        FrameDelta = dt;
        ++FrameCounter;
        UpdateTimeRecord(system, RootTimeRecord());
    }

    // Saves the actors of [first, end) and answers the file's bytes.
    std::string Save(uint32_t first, uint32_t end) {
        const std::string path = folder / "save.qva";
        EXPECT_EQ(SaveActors(path, first, end, kSerializeSave), 1) << system->errorText;
        return folder.Get("save.qva");
    }
    // A file of one record written by the actor's own serializer at an
    // older version (header: version, 1 actor, first id, span 1).
    std::string WriteAtVersion(Actor *actor, uint32_t version) {
        return WriteActorAtVersion(actor, version, folder, "old.qva");
    }
    // Reads bytes through the loader of actor files.
    int Load(const std::string &bytes) {
        Archive archive;
        EXPECT_TRUE(archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        return LoadActorsFrom(archive, kSerializeLoad);
    }

    uint32_t RenderState(uint32_t state) const {
        uint32_t v = 0;
        device->GetRenderState(state, &v);
        return v;
    }

    ResourceLibrary library;
    ResourceLibrary *previous = nullptr;
    gfx::Device *device = nullptr;
    ActorSystem *system = nullptr;
    Actor *scenery = nullptr;
    std::vector<std::unique_ptr<CommandSpy>> spies;
    TempFolder folder;
    std::unique_ptr<TempWaveFolder> waves;
    RecordingSoundBackend *soundOutput = nullptr; // set by OpenRecordingSound
};

} // namespace presentationtest
