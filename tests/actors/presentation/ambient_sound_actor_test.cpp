// The Ambient Sound actor on a recording sound output: play and stop on
// channels with fades and released entries, reference counts, volumes, pause
// and resume, channels freed when their sound ends, "Precalculate", and the
// file record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "actors/presentation/ambient_sound_actor.h"
#include "core/actors/command_ids.h"
#include "core/actors/scheduled_command.h"
#include "presentation_fixture.h"

namespace {

using namespace presentationtest;

constexpr int32_t kId = 500;

class AmbientSoundTest : public PresentationTest {
  protected:
    void SetUp() override {
        PresentationTest::SetUp();
        OpenRecordingSound();
        ambient = dynamic_cast<AmbientSoundActor *>(
            CreateActor(kAmbientSoundClassId, "amb", nullptr, scenery, kId, true));
        ASSERT_NE(ambient, nullptr);
        ambient->HandleCommand(153, ParamBlock());
    }
    // The commands as scripts send them, packed by their parameter types.
    void Play(const char *name, uint32_t channel, float time, bool loop = true) {
        ASSERT_EQ(SendCommandArgs(ambient,
                                  loop ? cmd::ambient_sound::ASoundPlayLooping
                                       : cmd::ambient_sound::ASoundPlay,
                                  std::string(name), channel, time),
                  1);
    }
    void Stop(uint32_t channel, float time) {
        ASSERT_EQ(SendCommandArgs(ambient, cmd::ambient_sound::ASoundStop, channel, time), 1);
    }
    // Frames of 1/60 s with the scheduled commands ("Process") run.
    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            Step();
            RunScheduledCommands(system);
        }
    }
    std::vector<std::string> Dump() const {
        std::vector<std::string> lines;
        ambient->DumpClassFields(lines);
        return lines;
    }
    LibraryItem *Beep() { return library.GetItemById(kBeepSlot); }
    LibraryItem *Hum() { return library.GetItemById(kHumSlot); }

    AmbientSoundActor *ambient = nullptr;
};

TEST_F(AmbientSoundTest, PlayingAgainAndStoppingWithAndWithoutFade) {
    Play("beep", 1, 0.0f);
    const AmbientSoundEntry &channel = ambient->entries[0];
    EXPECT_EQ(channel.item, Beep()); // the library's own item
    EXPECT_EQ(std::tuple(channel.state, channel.looping, channel.fade), std::tuple(1u, 1u, 1.0f));
    EXPECT_TRUE(VoiceOf(Beep()).looping);
    soundOutput->TakeLog();
    Play("beep", 1, 0.0f); // already on this channel: not restarted
    EXPECT_TRUE(soundOutput->TakeLog().empty());

    Stop(1, 2.0f);
    EXPECT_EQ(ambient->entries[0].item, nullptr);
    ASSERT_EQ(ambient->entries.size(), 9u);
    EXPECT_EQ(ambient->entries[8].state, kAmbientReleased);
    EXPECT_EQ(ambient->entries[8].fade, 1.0f);
    // Still fading out: the same sound is not started again.
    Play("beep", 2, 0.0f);
    EXPECT_EQ(ambient->entries[1].item, nullptr);
    Frames(114);
    ASSERT_EQ(ambient->entries.size(), 9u);
    EXPECT_GT(ambient->entries[8].fade, 0.0f);
    EXPECT_LT(ambient->entries[8].fade, 0.1f);
    EXPECT_EQ(VoiceOf(Beep()).attenuation, SoundVolumeToAttenuation(ambient->entries[8].fade));
    EXPECT_TRUE(VoiceOf(Beep()).playing);
    Frames(10);
    EXPECT_EQ(ambient->entries.size(), 8u);
    EXPECT_FALSE(VoiceOf(Beep()).playing);

    Play("hum3d", 3, 0.0f);
    Stop(3, 0.0f);
    EXPECT_EQ(ambient->entries[2].item, nullptr);
    EXPECT_FALSE(VoiceOf(Hum()).playing);
    // Unknown sounds and channels outside 1..8 do nothing.
    Play("nothing", 1, 0.0f);
    Play("beep", 0, 0.0f);
    Play("beep", 9, 0.0f);
    for (const AmbientSoundEntry &entry : ambient->entries) {
        EXPECT_EQ(entry.item, nullptr);
    }
}

TEST_F(AmbientSoundTest, ASoundGoingAwayLeavesTheSameSoundPlayingElsewhere) {
    Play("beep", 1, 0.0f);
    auto *other = dynamic_cast<AmbientSoundActor *>(
        CreateActor(kAmbientSoundClassId, "other", nullptr, scenery, kId + 1, true));
    ASSERT_NE(other, nullptr);
    SendCommandArgs(other, cmd::ambient_sound::ASoundPlayLooping, std::string("beep"), 2u, 0.0f);
    // A Sound actor plays its own copy of the same library sound.
    Actor *copyPlayer = CreateActor(kSoundClassId, "copy", nullptr, scenery, kId + 2, true);
    ASSERT_NE(copyPlayer, nullptr);
    SendCommandArgs(copyPlayer, cmd::sound::PlaySoundByName, std::string("beep"));

    ASSERT_EQ(DeleteActor(copyPlayer), 1);
    ASSERT_EQ(DeleteActor(other), 1);
    EXPECT_TRUE(VoiceOf(Beep()).playing);
    // The last one to play it stops it.
    ASSERT_EQ(DeleteActor(ambient), 1);
    EXPECT_EQ(dynamic_cast<SoundItem *>(Beep())->buffer, nullptr);
}

TEST_F(AmbientSoundTest, NegativeAndNonFiniteFadeTimesNeverGrowLouder) {
    Play("beep", 1, 0.0f);
    Play("hum3d", 1, -1.0f); // the beep moves out and fades over 1 s
    ASSERT_EQ(ambient->entries.size(), 9u);
    EXPECT_EQ(ambient->entries[8].item, Beep());
    Stop(1, -2.0f);
    ASSERT_EQ(ambient->entries.size(), 10u);
    EXPECT_NEAR(ambient->entries[9].fadeRate, 1.0f / 2.001f, 1e-6);
    float last = 2.0f;
    for (int frame = 0; frame < 65; ++frame) {
        Frames(1);
        ASSERT_LE(ambient->entries.back().fade, last);
        last = ambient->entries.back().fade;
    }
    EXPECT_EQ(ambient->entries.size(), 9u); // the beep is gone after 1 s
    Frames(60);
    EXPECT_EQ(ambient->entries.size(), 8u); // the hum after 2 s

    // A time that is no number counts as none: at once, nothing released.
    Play("beep", 2, NAN);
    EXPECT_EQ(ambient->entries[1].state, kAmbientPlaying);
    Stop(2, INFINITY);
    EXPECT_EQ(ambient->entries.size(), 8u);
    EXPECT_FALSE(VoiceOf(Beep()).playing);
}

TEST_F(AmbientSoundTest, ReferenceCountedChannels) {
    SendCommandArgs(ambient, cmd::ambient_sound::ASoundUseRefcount, 4u, true);
    Play("beep", 4, 0.0f);
    Play("beep", 4, 0.0f);
    Stop(4, 0.0f);
    EXPECT_EQ(ambient->entries[3].item, Beep());
    EXPECT_TRUE(VoiceOf(Beep()).playing);
    Stop(4, 0.0f);
    EXPECT_EQ(ambient->entries[3].item, nullptr);
    EXPECT_FALSE(VoiceOf(Beep()).playing);
}

TEST_F(AmbientSoundTest, VolumeAtOnceOnlyAndPanAndFrequencyChangeNothing) {
    Play("beep", 1, 0.0f);
    const std::vector<std::string> before = Dump();
    SendCommandArgs(ambient, cmd::ambient_sound::ASoundVolume, 1u, 50, 0.5f);
    SendCommandArgs(ambient, cmd::ambient_sound::ASoundPan, 1u, -100, 0.0f);
    SendCommandArgs(ambient, cmd::ambient_sound::ASoundFrequency, 1u, 200, 0.0f);
    EXPECT_EQ(ambient->entries[0].volume, 1.0f);
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(VoiceOf(Beep()).attenuation, 0);
    SendCommandArgs(ambient, cmd::ambient_sound::ASoundVolume, 1u, 50, 0.0f);
    EXPECT_FLOAT_EQ(ambient->entries[0].volume, 0.5f);
    EXPECT_EQ(VoiceOf(Beep()).attenuation, SoundVolumeToAttenuation(0.5f));
}

TEST_F(AmbientSoundTest, FadeInStandsStillWhilePausedAndResumeRestarts) {
    Play("beep", 1, 0.5f);
    EXPECT_EQ(ambient->entries[0].state, kAmbientFadingIn);
    EXPECT_EQ(ambient->entries[0].fade, 0.0f);
    Frames(15);
    const float halfway = ambient->entries[0].fade;
    EXPECT_NEAR(halfway, 0.5f, 0.05f);
    EXPECT_EQ(VoiceOf(Beep()).attenuation, SoundVolumeToAttenuation(halfway));

    ambient->HandleCommand(cmd::ambient_sound::ASoundPause, ParamBlock());
    EXPECT_FALSE(ambient->IsOperational());
    EXPECT_FALSE(VoiceOf(Beep()).playing);
    Frames(30);
    EXPECT_EQ(ambient->entries[0].fade, halfway);
    soundOutput->TakeLog();
    ambient->HandleCommand(cmd::ambient_sound::ASoundResume, ParamBlock());
    const std::vector<std::string> log = soundOutput->TakeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().rfind("Play ", 0), 0u) << log.back();
    EXPECT_TRUE(VoiceOf(Beep()).looping);
    Frames(20);
    EXPECT_EQ(ambient->entries[0].state, kAmbientPlaying);
    EXPECT_EQ(ambient->entries[0].fade, 1.0f);
}

TEST_F(AmbientSoundTest, AChannelPlayedOnceFreesItselfWhenItsSoundEnds) {
    Play("beep", 1, 0.0f, false);
    Play("hum3d", 2, 0.0f, true);
    Frames(3);
    EXPECT_EQ(ambient->entries[0].item, Beep());
    soundOutput->EndStaticVoice(dynamic_cast<SoundItem *>(Beep())->buffer->voice);
    soundOutput->EndStaticVoice(dynamic_cast<SoundItem *>(Hum())->buffer->voice);
    Frames(1);
    EXPECT_EQ(ambient->entries[0].item, nullptr);
    EXPECT_EQ(ambient->entries[0].name, "");
    EXPECT_EQ(ambient->entries[1].item, Hum()); // a looped one stays
}

TEST_F(AmbientSoundTest, PrecalculateFindsPlaysAndSubscribesOnce) {
    ambient->entries[0].name = "beep";
    ambient->entries[0].looping = 1;
    ambient->entries[0].state = kAmbientPlaying;
    ambient->entries[0].fade = 0.25f;
    ambient->entries[1].name = "gone";
    ambient->entries[1].state = kAmbientPlaying;
    ScheduledCommand *subscription = ambient->processEntry;
    ASSERT_NE(subscription, nullptr);
    EXPECT_EQ(subscription->layer, 2);
    const size_t scheduled = ambient->scheduledCommands.size();
    ambient->HandleCommand(153, ParamBlock());
    EXPECT_EQ(ambient->scheduledCommands.size(), scheduled);
    EXPECT_EQ(ambient->entries[0].item, Beep());
    EXPECT_EQ(ambient->entries[0].fade, 0.25f);
    EXPECT_TRUE(VoiceOf(Beep()).looping);
    EXPECT_EQ(ambient->entries[1].state, kAmbientFree);
}

TEST_F(AmbientSoundTest, RecordKeepsChannelsAndReleasedEntries) {
    SendCommandArgs(ambient, cmd::ambient_sound::ASoundUseRefcount, 2u, true);
    Play("beep", 1, 0.0f);
    Play("hum3d", 2, 0.5f, false);
    Play("beep", 2, -1.0f); // the hum is released
    ASSERT_EQ(ambient->entries.size(), 9u);
    const std::vector<std::string> saved = Dump();
    const std::string bytes = Save(kId, kId + 1);
    ASSERT_EQ(DeleteActor(ambient), 1);
    ASSERT_EQ(Load(bytes), 1) << system->errorText;
    ambient = dynamic_cast<AmbientSoundActor *>(GetActorById(kId));
    ASSERT_NE(ambient, nullptr);
    EXPECT_EQ(Dump(), saved);
    EXPECT_EQ(ambient->entries[8].item, nullptr); // found again by "Precalculate"
    ambient->HandleCommand(153, ParamBlock());
    EXPECT_EQ(ambient->entries[8].item, Hum());

    // Fewer entries than channels grow to eight; before version 41 none are
    // stored.
    ambient->entries.resize(2);
    for (const std::string &record : {Save(kId, kId + 1), WriteAtVersion(ambient, 40)}) {
        ASSERT_EQ(DeleteActor(ambient), 1);
        ASSERT_EQ(Load(record), 1) << system->errorText;
        ambient = dynamic_cast<AmbientSoundActor *>(GetActorById(kId));
        ASSERT_NE(ambient, nullptr);
        EXPECT_EQ(ambient->entries.size(), 8u);
    }
}

TEST_F(AmbientSoundTest, AnEntryCountBeyondTheFileFails) {
    ambient->entries.clear();
    std::string bytes = Save(kId, kId + 1);
    const uint32_t count = 0x40000000; // far too many to make before reading
    std::memcpy(bytes.data() + bytes.size() - 4, &count, sizeof(count));
    ASSERT_EQ(DeleteActor(ambient), 1);
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_STREQ(system->errorText, "Serialize Error");
    EXPECT_EQ(GetActorById(kId), nullptr);
}

} // namespace
