// The Sound actor: its setters and getters, the random start values, play
// and stop, the draw fades, the faded restart of an action, and its file
// record at the current and older versions. The library has no sound
// device here, so every sound call does nothing and nothing plays.
#include <gtest/gtest.h>

#include <string>

#include "actors/presentation/sound_actor.h"
#include "base/random.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/scheduled_command.h"
#include "presentation_fixture.h"

namespace {

using namespace presentationtest;

constexpr int32_t kId = 500;

class SoundActorTest : public PresentationTest {
  protected:
    SoundActor *NewSound(const char *name = "s") {
        return dynamic_cast<SoundActor *>(
            CreateActor(kSoundClassId, name, nullptr, scenery, kId, true));
    }
    SoundActor *Reload(SoundActor *actor, const std::string &bytes) {
        EXPECT_EQ(DeleteActor(actor), 1);
        EXPECT_EQ(Load(bytes), 1) << system->errorText;
        return dynamic_cast<SoundActor *>(GetActorById(kId));
    }
    static int SendReal(Actor *actor, uint32_t id, float *value) {
        return actor->HandleCommand(id, ParamBlock(value, sizeof(*value)));
    }
    // A frame with the scheduled commands run.
    void Frame() {
        Step();
        RunScheduledCommands(system);
    }
    static int Send(Actor *actor, uint32_t id) { return actor->HandleCommand(id, ParamBlock()); }
    static void SetReal(Actor *actor, uint32_t id, float value) { SendReal(actor, id, &value); }
    static void SetWord(Actor *actor, uint32_t id, uint32_t value) {
        actor->HandleCommand(id, ParamBlock(&value, sizeof(value)));
    }
};

TEST_F(SoundActorTest, DefaultsAndSheet) {
    SoundActor *sound = NewSound();
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->type, kSound3D);
    EXPECT_EQ(sound->itemIndex, 1u);
    EXPECT_NE(sound->item, nullptr); // "Create" acquired slot 1
    EXPECT_EQ(sound->item != library.GetItemById(kBeepSlot), true); // a private copy
    EXPECT_FLOAT_EQ(sound->radius, 600.0f);
    EXPECT_FLOAT_EQ(sound->minRadius, 200.0f);
    EXPECT_FLOAT_EQ(sound->positionEffect, 0.2f);
    const ActorClassDescriptor &descriptor = NameClassDescriptor(kSoundClassId);
    EXPECT_EQ(descriptor.lineage, (std::vector<uint32_t>{0, kSoundClassId}));
    ASSERT_EQ(descriptor.items.size(), 21u);
}

TEST_F(SoundActorTest, TheSheetRangesThePanAndShowsTheFrequencyInPercent) {
    const std::vector<PropertyItem> &items = NameClassDescriptor(kSoundClassId).items;
    ASSERT_EQ(items.size(), 21u);
    const PropertyItem &pan = items[11];
    const PropertyItem &frequency = items[12];
    EXPECT_EQ(std::tuple(pan.label, pan.ranged, pan.minimum, pan.maximum, pan.displayScale),
              std::tuple("Pan:", 1u, -1.0f, 1.0f, 1.0f));
    EXPECT_EQ(std::tuple(frequency.label, frequency.ranged, frequency.displayScale),
              std::tuple("Frequency:|%|", 0u, 100.0f));
    // The variation's "Pan:" stays a plain slider.
    EXPECT_EQ(std::tuple(items[15].label, items[15].ranged), std::tuple("Pan:", 0u));
}

TEST_F(SoundActorTest, SettersClampAndGettersMarkWhatDoesNotApply) {
    SoundActor *sound = NewSound();
    SetReal(sound, cmd::sound::SetVolume, 1.5f);
    EXPECT_FLOAT_EQ(sound->volume, 1.0f);
    EXPECT_FLOAT_EQ(sound->currentVolume, 1.0f);
    SetReal(sound, cmd::sound::SetPan, -3.0f);
    EXPECT_FLOAT_EQ(sound->pan, -1.0f);
    EXPECT_FLOAT_EQ(sound->currentPan, -1.0f);
    SetReal(sound, cmd::sound::SetFrequency, 7.5f);
    EXPECT_FLOAT_EQ(sound->frequency, 7.5f);
    EXPECT_FLOAT_EQ(sound->currentFrequency, 7.5f);
    SetReal(sound, cmd::sound::SetSoundRadius, -2.0f);
    EXPECT_FLOAT_EQ(sound->radius, 0.0f);
    SetReal(sound, cmd::sound::SetSoundRadius, 300.0f);
    SetReal(sound, cmd::sound::SetSoundMinRadius, 450.0f);
    EXPECT_FLOAT_EQ(sound->minRadius, 300.0f);

    // A 3D sound has no pan; a 2D one no radii. The value is written all
    // the same.
    float value = 0.0f;
    EXPECT_EQ(SendReal(sound, cmd::sound::GetPan, &value), 0);
    EXPECT_FLOAT_EQ(value, -1.0f);
    EXPECT_NE(SendReal(sound, cmd::sound::GetSoundRadius, &value), 0);
    SetWord(sound, cmd::sound::SetSoundType, kSound2D);
    value = 0.0f;
    EXPECT_EQ(SendReal(sound, cmd::sound::GetSoundRadius, &value), 0);
    EXPECT_FLOAT_EQ(value, 300.0f);
    value = 0.0f;
    EXPECT_EQ(SendReal(sound, cmd::sound::GetSoundMinRadius, &value), 0);
    EXPECT_FLOAT_EQ(value, 300.0f);

    // "Init Load" puts a minimum above the radius just below it.
    sound->minRadius = 500.0f;
    Send(sound, 45);
    EXPECT_FLOAT_EQ(sound->minRadius, 299.0f);
}

TEST_F(SoundActorTest, RandomStartValues) {
    SoundActor *sound = NewSound();
    sound->volumeVariation = sound->panVariation = sound->frequencyVariation = 0.5f;
    SeedRand(1); // 41, 18467, 6334
    sound->RandomizeParameters();
    EXPECT_NEAR(sound->currentFrequency, 1.4959f, 1e-4);
    EXPECT_NEAR(sound->currentVolume, 0.57665f, 1e-4);
    EXPECT_NEAR(sound->currentPan, 0.1334f, 1e-4);

    sound->volumeVariation = sound->panVariation = sound->frequencyVariation = 0.0f;
    sound->volume = 0.7f;
    sound->pan = -0.25f;
    sound->frequency = 1.25f;
    for (int i = 0; i < 3; ++i) {
        sound->RandomizeParameters();
        EXPECT_EQ(sound->currentVolume, 0.7f);
        EXPECT_EQ(sound->currentPan, -0.25f);
        EXPECT_EQ(sound->currentFrequency, 1.25f);
    }
}

TEST_F(SoundActorTest, PlayStopAndPause) {
    SoundActor *sound = NewSound();
    sound->volumeVariation = 0.5f;
    Send(sound, cmd::sound::PlaySound);
    EXPECT_EQ(sound->playing, 1u);
    const float chosen = sound->currentVolume;
    // Playing again does nothing (no new random values).
    Send(sound, cmd::sound::PlaySound);
    EXPECT_EQ(sound->currentVolume, chosen);
    Send(sound, cmd::sound::SoundPausePlayingSound);
    EXPECT_EQ(sound->playing, 1u);
    Send(sound, cmd::sound::SoundResumePlayingSound);
    EXPECT_EQ(sound->playing, 1u);
    Send(sound, cmd::sound::PauseSound);
    EXPECT_EQ(sound->playing, 0u);
    Send(sound, cmd::sound::PlaySound);
    Send(sound, cmd::sound::StopSound);
    EXPECT_EQ(sound->playing, 0u);

    SetWord(sound, cmd::sound::SetStartPlaying, 1);
    EXPECT_EQ(sound->playOnStart, 1u);
    EXPECT_EQ(sound->playing, 1u);
}

TEST_F(SoundActorTest, OnceSoundsEndByThemselvesOnlyIn3D) {
    SoundActor *sound = NewSound();
    sound->state |= kActorOperational;
    Send(sound, cmd::sound::PlaySound);
    sound->Update(); // nothing plays without a device: the voice has ended
    EXPECT_EQ(sound->playing, 0u);
    Send(sound, cmd::sound::PlaySound);
    EXPECT_EQ(sound->playing, 1u);

    Send(sound, cmd::sound::StopSound);
    SetWord(sound, cmd::sound::SetSoundType, kSound2D);
    Send(sound, cmd::sound::PlaySound);
    sound->Update();
    EXPECT_EQ(sound->playing, 1u); // a 2D sound needs "Stop Sound"
}

TEST_F(SoundActorTest, ItemsByNameAndResource) {
    SoundActor *sound = NewSound();
    char name[128] = "HUM3D";
    sound->HandleCommand(cmd::sound::PlaySoundByName, ParamBlock(name, sizeof(name)));
    ASSERT_NE(sound->item, nullptr);
    EXPECT_EQ(dynamic_cast<SoundItem *>(sound->item)->sourceSlot, kHumSlot);
    EXPECT_EQ(sound->playing, 1u);

    char unknown[128] = "nothing";
    sound->HandleCommand(cmd::sound::PlaySoundByName, ParamBlock(unknown, sizeof(unknown)));
    EXPECT_EQ(sound->item, nullptr);
    EXPECT_EQ(sound->playing, 0u);
    // Without an item play, stop and volume do nothing harmful.
    Send(sound, cmd::sound::PlaySound);
    Send(sound, cmd::sound::StopSound);
    SetReal(sound, cmd::sound::Sound, 0.5f);

    EXPECT_EQ(sound->HandleCommand(91, ParamBlock(unknown, sizeof(unknown))), 0);
    EXPECT_EQ(sound->HandleCommand(91, ParamBlock(name, sizeof(name))), 1);
    EXPECT_EQ(sound->itemIndex, kHumSlot);
    EXPECT_NE(sound->item, nullptr);

    // "Create" at a slot without a sound answers 0.
    sound->itemIndex = 40;
    EXPECT_EQ(Send(sound, 158), 0);
    EXPECT_EQ(sound->item, nullptr);
}

TEST_F(SoundActorTest, SetSoundWithItsOwnItemKeepsTheSlot) {
    // A property sheet writes back the item that "Get Sound" gave: the
    // actor's own copy, which is let go while the new one is acquired.
    SoundActor *sound = NewSound();
    LibraryItem *table = library.GetItemById(kHumSlot);
    ASSERT_EQ(sound->HandleCommand(cmd::sound::SetSound, ParamBlock(&table, sizeof(table))), 1);
    LibraryItem *own = nullptr;
    sound->HandleCommand(cmd::sound::GetSound, ParamBlock(&own, sizeof(own)));
    ASSERT_EQ(own, sound->item);
    EXPECT_EQ(sound->HandleCommand(cmd::sound::SetSound, ParamBlock(&own, sizeof(own))), 1);
    EXPECT_EQ(sound->itemIndex, kHumSlot);
    ASSERT_NE(sound->item, nullptr);
    EXPECT_EQ(dynamic_cast<SoundItem *>(sound->item)->sourceSlot, kHumSlot);

    LibraryItem *none = nullptr;
    EXPECT_EQ(sound->HandleCommand(cmd::sound::SetSound, ParamBlock(&none, sizeof(none))), 0);
}

TEST_F(SoundActorTest, ActionTimeIgnoresANonPositiveDivisor) {
    SoundActor *sound = NewSound();
    for (float variation : {1.0f, 2.0f}) {
        sound->frequencyVariation = variation;
        float value = 3.0f;
        SendReal(sound, 203, &value);
        EXPECT_EQ(value, 3.0f);
    }
    sound->frequencyVariation = 0.0f;
    sound->frequency = 0.0f;
    float value = 3.0f;
    SendReal(sound, 203, &value);
    EXPECT_EQ(value, 3.0f);
}

TEST_F(SoundActorTest, ActionStartRestartsFadedWhenSlow) {
    SoundActor *sound = NewSound();
    sound->state |= kActorOperational;
    SetWord(sound, cmd::sound::SetSoundType, kSound2D);
    // Not playing: starts at once.
    Send(sound, 211);
    EXPECT_EQ(sound->playing, 1u);
    EXPECT_EQ(sound->restartPending, 0u);

    RootTimeRecord()->multiplier = 0.4f;
    Step();
    ASSERT_NEAR(sound->TimeRate(), 0.4f, 1e-6);
    Send(sound, 211);
    EXPECT_EQ(sound->restartPending, 1u);
    int frames = 0;
    FrameDelta = 1.0f / 60.0f;
    while (sound->restartPending != 0 && frames < 20) {
        sound->Update();
        ++frames;
    }
    EXPECT_GE(frames, 6);
    EXPECT_LE(frames, 7);
    EXPECT_FLOAT_EQ(sound->restartFade, 1.0f);
    EXPECT_EQ(sound->playing, 1u);
    RootTimeRecord()->multiplier = 1.0f;
    Step();
    Send(sound, 211);
    EXPECT_EQ(sound->restartPending, 0u);
}

TEST_F(SoundActorTest, DrawFades) {
    SoundActor *sound = NewSound();
    SetWord(sound, cmd::sound::SetSoundPlayStyle, kSoundLoop);
    Send(sound, 238); // not "Play On Start Game": nothing
    EXPECT_EQ(sound->playing, 0u);
    EXPECT_EQ(sound->FindScheduledCommand(250), nullptr);
    sound->playOnStart = 1;
    Send(sound, 238);
    EXPECT_EQ(sound->playing, 1u);
    ASSERT_NE(sound->FindScheduledCommand(250), nullptr);
    for (int i = 0; i < 70; ++i) {
        Frame();
    }
    EXPECT_FLOAT_EQ(sound->soundVolume, 1.0f);
    EXPECT_EQ(sound->FindScheduledCommand(250), nullptr);

    Send(sound, 239);
    ASSERT_NE(sound->FindScheduledCommand(436), nullptr);
    for (int i = 0; i < 30; ++i) {
        Frame();
    }
    EXPECT_EQ(sound->playing, 1u);
    EXPECT_GT(sound->soundVolume, 0.0f);
    for (int i = 0; i < 35; ++i) {
        Frame();
    }
    EXPECT_EQ(sound->playing, 0u);
    EXPECT_FLOAT_EQ(sound->soundVolume, 0.0f);
}

TEST_F(SoundActorTest, RecordRoundTrip) {
    SoundActor *sound = NewSound();
    LibraryItem *table = library.GetItemById(kHumSlot);
    sound->HandleCommand(cmd::sound::SetSound, ParamBlock(&table, sizeof(table)));
    SetWord(sound, cmd::sound::SetSoundType, kSound2D);
    SetReal(sound, cmd::sound::SetSoundRadius, 900.0f);
    SetReal(sound, cmd::sound::SetVolume, 0.25f);
    SetReal(sound, cmd::sound::SetPan, 0.5f);
    SetReal(sound, cmd::sound::SetFrequency, 1.5f);
    SetReal(sound, cmd::sound::SetSoundMinRadius, 100.0f);
    SetReal(sound, cmd::sound::SetVolumeV, 0.1f);
    SetReal(sound, cmd::sound::SetPanV, 0.2f);
    SetReal(sound, cmd::sound::SetFrequencyV, 0.3f);
    sound->playOnStart = 1;
    SetWord(sound, cmd::sound::SetSoundPlayStyle, kSoundLoopTimes);
    SetWord(sound, cmd::sound::SetLoopCount, 4);
    sound->reserved = 9;
    SetReal(sound, cmd::sound::Set3DPosEffect, 0.75f);
    const std::string bytes = Save(kId, kId + 1);
    sound = Reload(sound, bytes);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->itemIndex, kHumSlot);
    ASSERT_NE(sound->item, nullptr);
    EXPECT_EQ(sound->type, kSound2D);
    EXPECT_FLOAT_EQ(sound->radius, 900.0f);
    EXPECT_FLOAT_EQ(sound->volume, 0.25f);
    EXPECT_FLOAT_EQ(sound->currentVolume, 0.25f);
    EXPECT_FLOAT_EQ(sound->pan, 0.5f);
    EXPECT_FLOAT_EQ(sound->frequency, 1.5f);
    EXPECT_FLOAT_EQ(sound->minRadius, 100.0f);
    EXPECT_FLOAT_EQ(sound->volumeVariation, 0.1f);
    EXPECT_FLOAT_EQ(sound->panVariation, 0.2f);
    EXPECT_FLOAT_EQ(sound->frequencyVariation, 0.3f);
    EXPECT_EQ(sound->playOnStart, 1u);
    EXPECT_EQ(sound->playStyle, kSoundLoopTimes);
    EXPECT_EQ(sound->loopCount, 4u);
    EXPECT_EQ(sound->reserved, 9u);
    EXPECT_FLOAT_EQ(sound->positionEffect, 0.75f);
}

TEST_F(SoundActorTest, OldRecords) {
    // Version 35: the old type 2 was a looping 3D sound played at start.
    SoundActor *sound = NewSound();
    sound->type = 2;
    sound->radius = 700.0f;
    sound = Reload(sound, WriteAtVersion(sound, 35));
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->type, kSound3D);
    EXPECT_EQ(sound->playStyle, kSoundLoop);
    EXPECT_EQ(sound->playOnStart, 1u);
    EXPECT_FLOAT_EQ(sound->radius, 700.0f);

    sound->type = 1;
    sound = Reload(sound, WriteAtVersion(sound, 35));
    EXPECT_FLOAT_EQ(sound->radius, 4000.0f);
    EXPECT_EQ(sound->playOnStart, 0u);

    // A slot that holds no sound falls back to slot 1.
    sound->itemIndex = kCubeSlot;
    sound = Reload(sound, WriteAtVersion(sound, 41));
    EXPECT_EQ(sound->itemIndex, 1u);
    EXPECT_NE(sound->item, nullptr);
}

// The same actor on a recording sound output, whose voices tell what the
// actor sent.
class SoundOnOutputTest : public SoundActorTest {
  protected:
    void SetUp() override {
        SoundActorTest::SetUp();
        OpenRecordingSound();
    }
};

TEST_F(SoundOnOutputTest, DrawStartFadesA2DSoundInToItsVolume) {
    SoundActor *sound = NewSound();
    SetWord(sound, cmd::sound::SetSoundType, kSound2D);
    SetWord(sound, cmd::sound::SetSoundPlayStyle, kSoundLoop);
    SetReal(sound, cmd::sound::SetVolume, 0.8f);
    sound->playOnStart = 1;
    Send(sound, 238);
    ASSERT_TRUE(VoiceOf(sound->item).playing);
    EXPECT_TRUE(VoiceOf(sound->item).looping);
    // Started at its full volume; the first fade step takes it to silence.
    EXPECT_EQ(VoiceOf(sound->item).attenuation, SoundVolumeToAttenuation(0.8f));
    Frame();
    int steps = 0;
    int32_t last = VoiceOf(sound->item).attenuation;
    EXPECT_EQ(last, SoundVolumeToAttenuation(0.0f));
    for (int frame = 0; frame < 70; ++frame) {
        Frame();
        const int32_t attenuation = VoiceOf(sound->item).attenuation;
        EXPECT_GE(attenuation, last);
        steps += attenuation != last ? 1 : 0;
        last = attenuation;
    }
    // One step in every second or third frame of 1/60 s (an entry that is
    // due exactly now waits for the next frame).
    EXPECT_GE(steps, 18);
    EXPECT_LE(steps, 31);
    EXPECT_EQ(sound->soundVolume, 1.0f);
    EXPECT_EQ(last, SoundVolumeToAttenuation(sound->actionVolume * sound->currentVolume));
}

TEST_F(SoundOnOutputTest, A3DSoundKeepsItsVolumeAndPlaysAgainOnceItsVoiceEnded) {
    SoundActor *sound = NewSound();
    sound->state |= kActorOperational;
    sound->position = {10.0f, 20.0f, 30.0f};
    sound->InvalidateTransform();
    SetReal(sound, cmd::sound::SetVolume, 0.6f);
    Send(sound, cmd::sound::PlaySound);
    SetReal(sound, cmd::sound::Sound, 0.25f); // a draw fade step
    EXPECT_EQ(VoiceOf(sound->item).attenuation, SoundVolumeToAttenuation(0.6f * 0.25f));
    sound->Update();
    EXPECT_EQ(VoiceOf(sound->item).attenuation, SoundVolumeToAttenuation(0.6f));
    // The radii go out as the distances (in the output's units).
    EXPECT_FLOAT_EQ(VoiceOf(sound->item).pendingMax / VoiceOf(sound->item).pendingMin, 3.0f);
    EXPECT_EQ(sound->playing, 1u);

    soundOutput->EndStaticVoice(dynamic_cast<SoundItem *>(sound->item)->buffer->voice);
    sound->Update();
    EXPECT_EQ(sound->playing, 0u);
    Send(sound, cmd::sound::PlaySound);
    EXPECT_TRUE(VoiceOf(sound->item).playing);
}

TEST_F(SoundOnOutputTest, ACopyTakesTheFieldsAndAVoiceOfItsOwn) {
    SoundActor *source = NewSound();
    LibraryItem *table = library.GetItemById(kHumSlot);
    source->HandleCommand(cmd::sound::SetSound, ParamBlock(&table, sizeof(table)));
    SetWord(source, cmd::sound::SetSoundType, kSound2D);
    SetReal(source, cmd::sound::SetVolume, 0.3f);
    SetReal(source, cmd::sound::SetFrequencyV, 0.2f);
    SetReal(source, cmd::sound::SetSoundRadius, 800.0f);
    auto *copy = dynamic_cast<SoundActor *>(
        CreateActor(kSoundClassId, "copy", source, scenery, kId + 1, true));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->item, nullptr);
    EXPECT_NE(copy->item, source->item);
    EXPECT_EQ(dynamic_cast<SoundItem *>(copy->item)->sourceSlot, kHumSlot);
    EXPECT_EQ(std::tuple(copy->itemIndex, copy->type, copy->volume, copy->frequencyVariation,
                         copy->radius),
              std::tuple(kHumSlot, kSound2D, 0.3f, 0.2f, 800.0f));
    Send(copy, cmd::sound::PlaySound);
    EXPECT_TRUE(VoiceOf(copy->item).playing);
    EXPECT_FALSE(VoiceOf(source->item).playing);
    EXPECT_EQ(DeleteActor(copy), 1);
    EXPECT_NE(source->item, nullptr);
}

TEST_F(SoundOnOutputTest, ACopyOfAPlayingSoundStartsIdleAndPlaysOnRequest) {
    SoundActor *source = NewSound();
    source->state |= kActorOperational;
    SetWord(source, cmd::sound::SetSoundType, kSound2D);
    SetReal(source, cmd::sound::SetVolume, 0.5f);
    Send(source, cmd::sound::PlaySound);
    // Slowed down, an action start fades the playing sound out to restart it.
    RootTimeRecord()->multiplier = 0.4f;
    Step();
    Send(source, 211);
    FrameDelta = 1.0f / 60.0f;
    source->Update();
    ASSERT_EQ(source->restartPending, 1u);
    ASSERT_LT(source->restartFade, 1.0f);
    RootTimeRecord()->multiplier = 1.0f;
    Step();
    auto *copy = dynamic_cast<SoundActor *>(
        CreateActor(kSoundClassId, "copy", source, scenery, kId + 1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->playing, 0u);
    EXPECT_EQ(copy->restartPending, 0u);
    EXPECT_EQ(copy->restartFade, 1.0f);
    EXPECT_FALSE(VoiceOf(copy->item).playing);
    Send(copy, cmd::sound::PlaySound);
    EXPECT_TRUE(VoiceOf(copy->item).playing);
    EXPECT_EQ(VoiceOf(copy->item).attenuation, SoundVolumeToAttenuation(0.5f));
    EXPECT_EQ(source->playing, 1u);
}

} // namespace
