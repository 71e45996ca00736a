// The sample game folder that mksample writes: library and actor-file dumps
// equal to committed text, the files every item names, and a library whose
// every item loads on a real (offscreen) display with a sound device open,
// its colliding meshes' records holding the bounds that loading gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/actors/screen_capture.h"
#include "actors/characters/character_services.h"
#include "base/text_table.h"
#include "library/bitmap_font.h"
#include "library/display.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/mesh.h"
#include "library/mesh_geometry.h"
#include "library/name_table.h"
#include "library/motion.h"
#include "library/resource_library.h"
#include "library/skeleton.h"
#include "library/sound_items.h"
#include "platform/graphics.h"
#include "platform/input.h"
#include "platform/os/al_sound_backend.h"
#include "platform/os/image/image.h"
#include "platform/os/scripted_input_backend.h"
#include "platform/os/sdl/sdl_keymap.h"
#include "platform/os/window.h"
#include "platform/sound.h"
#include "platform/texture_object.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

using toolrun::ToolRun;

// Tools run with the fonts of the build-time sample.
ToolRun RunTool(const std::string& tool, const std::string& file) {
    return toolrun::Run(tool, {file}, "",
                        "FONTCONFIG_FILE=" +
                            toolrun::Quote(std::string(ENGINE_TEST_BINARY_DIR) + "/fonts/fonts.conf"));
}

std::string Golden(const std::string& name) {
    return toolrun::ReadFile(toolrun::DataPath("mksample/" + name));
}

std::string ReadText(const std::string& path) { return toolrun::ReadFile(path); }

// One generated sample shared by the tests of this file.
class SampleGame : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder();
        first_ = new ToolRun(RunTool("mksample", *folder_ / "a"));
    }
    static void TearDownTestSuite() {
        delete first_;
        delete folder_;
    }
    void SetUp() override { ASSERT_EQ(first_->exitCode, 0) << first_->err; }
    static std::string Root() { return *folder_ / "a"; }

    static TempFolder* folder_;
    static ToolRun* first_;
};

TempFolder* SampleGame::folder_ = nullptr;
ToolRun* SampleGame::first_ = nullptr;

TEST_F(SampleGame, LibraryDumpEqualsTheCommittedText) {
    const ToolRun dump = RunTool("qvfdump", Root() + "/game/DAZedirad.qvf");
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(dump.out, Golden("library.txt"));
}

TEST_F(SampleGame, ActorFileDumpsEqualTheCommittedTexts) {
    for (const char* name : {"crate", "barrel", "Globals", "Level1", "Globals1_XBox", "Title", "Character",
                             "LevelRun"}) {
        SCOPED_TRACE(name);
        const ToolRun dump = RunTool("qvadump", Root() + "/game/Data/" + name + ".qva");
        EXPECT_EQ(dump.exitCode, 0) << dump.err;
        EXPECT_EQ(dump.out, Golden(std::string(name) + ".txt"));
    }
}

// The options' rows show the input layer's name of a key through the text
// table: every key of the keyboard, every mouse button, the wheel, the
// buttons of a joystick and every named key has a word there; only the
// letters and digits are words of their own.
TEST_F(SampleGame, TheTextTableHasAWordForEveryKeyName) {
    TextTable table;
    table.Parse(ReadText(Root() + "/game/Data/text.txt"));
    ScriptedInputBackend backend;
    backend.AddJoystick();
    ASSERT_EQ(InitInput(&backend), 1);
    std::set<InputCode> codes;
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
        for (bool numLock : {false, true}) {
            codes.insert(VirtualKeyToInputCode(
                ScancodeToVirtualKey(static_cast<SDL_Scancode>(scancode), numLock)));
        }
    }
    for (InputCode code = 98; code <= 147; ++code) codes.insert(code);   // the named keys
    for (InputCode code = 256; code < 264 + 32; ++code) codes.insert(code); // mouse, joystick
    codes.erase(0);
    for (InputCode code : codes) {
        const std::string name = InputCodeName(code);
        ASSERT_FALSE(name.empty()) << code;
        if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) continue;
        const std::string word = table.Lookup(name);
        EXPECT_NE(word, name) << code << " \"" << name << "\" has no word";
        EXPECT_EQ(word.find('_'), std::string::npos) << name << ": " << word;
    }
}

// A newcomer's first screen of the README says what the project is, shows a
// picture and gives the two commands, each with what it does.
TEST(Readme, TheFirstScreenShowsAPictureAndTheTwoCommands) {
    std::istringstream readme(toolrun::ReadFile(std::string(ENGINE_TEST_SOURCE_DIR) + "/README.md"));
    std::string line, screen;
    for (int n = 0; n < 30 && std::getline(readme, line); ++n) screen += line + "\n";
    EXPECT_EQ(screen.rfind("# ", 0), 0u) << screen;
    EXPECT_NE(screen.find("!["), std::string::npos) << "no picture";
    for (const char* command : {"- `./play.sh` ", "- `./test.sh` "}) {
        EXPECT_NE(screen.find(command), std::string::npos) << command;
    }
}

TEST_F(SampleGame, InitFilesEndEveryLineWithCrLf) {
    EXPECT_EQ(ReadText(Root() + "/init.txt"), "game\r\nLevel1.qva\r\n\r\nDemo\r\n");
    EXPECT_EQ(ReadText(Root() + "/play/init.txt"),
              "../game\r\nLevel1.qva\r\nTitle.qva\r\nSample\r\n");
    EXPECT_EQ(ReadText(Root() + "/e2e/character/init.txt"),
              "../../game\r\nLevel1.qva\r\nCharacter.qva\r\nCharacter\r\n");
    EXPECT_EQ(ReadText(Root() + "/e2e/level/init.txt"),
              "../../game\r\nLevel1.qva\r\nLevelRun.qva\r\nLevelRun\r\n");
    // The last pair too: one with no line end after its '}' would be dropped.
    EXPECT_EQ(ReadText(Root() + "/game/Data/text.txt"),
              "3\r\nLOADING }\r\nLoading }\r\nMUSIC_VOLUME }\r\nMusic }\r\n"
              "SOUND_EFFECT_VOLUME }\r\nEffects }\r\n"
              "SAVING_GAME }\r\nSaving }\r\nLOADING_GAME }\r\nLoading game }\r\n"
              "DONT_TURN_OFF_COMPUTER }\r\nDo not turn off the computer }\r\n"
              "OVERWRITE_SAVED_GAME }\r\nOverwrite the saved game? }\r\n"
              "QUIT_CURRENT_GAME }\r\nQuit the current game? }\r\n"
              "THIS_MU_IS_FULL }\r\nThe device is full }\r\n"
              "THIS_MU_IS_UNUSABLE }\r\nThe device cannot be used }\r\n"
              "MU_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME }\r\nNot enough free blocks on the device }\r\n"
              "HARD_DISK_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME }\r\nNot enough free space on the disc }\r\n"
              "UNABLE_TO_SAVE_GAME }\r\nUnable to save the game }\r\n"
              "UNABLE_TO_LOAD_GAME }\r\nUnable to load the game }\r\n"
              "SAVE_GAME_MENU }\r\nSave game }\r\nLOAD_GAME_MENU }\r\nLoad game }\r\n"
              "MU_REMOVED_DURING_USE }\r\n%s was removed while trying to %s }\r\n"
              "SAVE }\r\nsave }\r\nLOAD }\r\nload }\r\n"
              "QVI_ESC }\r\nEsc }\r\nQVI_SPACE }\r\nSpace }\r\n"
              "QVI_RETURN }\r\nEnter }\r\nQVI_UP }\r\nUp }\r\n"
              "QVI_DOWN }\r\nDown }\r\nQVI_LEFT }\r\nLeft }\r\n"
              "QVI_RIGHT }\r\nRight }\r\nQVI_BACK }\r\nBackspace }\r\n"
              "QVI_TAB }\r\nTab }\r\nQVI_LANGLE }\r\n< }\r\nQVI_RANGLE }\r\n> }\r\n"
              "QVI_LCTRL }\r\nLeft Ctrl }\r\nQVI_RCTRL }\r\nRight Ctrl }\r\n"
              "QVI_LSHIFT }\r\nLeft Shift }\r\nQVI_RSHIFT }\r\nRight Shift }\r\n"
              "QVI_LALT }\r\nLeft Alt }\r\nQVI_RALT }\r\nRight Alt }\r\n"
              "QVI_CAPSLOCK }\r\nCaps Lock }\r\nQVI_NUMLOCK }\r\nNum Lock }\r\n"
              "QVI_SCRLOCK }\r\nScroll Lock }\r\nQVI_HOME }\r\nHome }\r\n"
              "QVI_END }\r\nEnd }\r\nQVI_PAGEUP }\r\nPage Up }\r\n"
              "QVI_PAGEDOWN }\r\nPage Down }\r\nQVI_INSERT }\r\nInsert }\r\n"
              "QVI_DELETE }\r\nDelete }\r\nQVI_MINUS }\r\nKeypad - }\r\n"
              "QVI_PLUS }\r\nKeypad + }\r\nQVI_MULTIPLY }\r\nKeypad * }\r\n"
              "QVI_DIVIDE }\r\nKeypad / }\r\nQVI_MOUSEL }\r\nLeft mouse }\r\n"
              "QVI_MOUSER }\r\nRight mouse }\r\nQVI_MOUSEM }\r\nMiddle mouse }\r\n"
              "QVI_WHEEL1 }\r\nWheel back }\r\nQVI_WHEEL2 }\r\nWheel forward }\r\n"
              "Key186 }\r\n; }\r\nKey187 }\r\n= }\r\nKey188 }\r\n, }\r\n"
              "Key189 }\r\n- }\r\nKey190 }\r\n. }\r\nKey191 }\r\n/ }\r\n"
              "\xC0"" }\r\n` }\r\n\xDB"" }\r\n[ }\r\n\xDC"" }\r\n\\ }\r\n"
              "\xDD"" }\r\n] }\r\n\xDE"" }\r\n' }\r\n\xE2"" }\r\nISO \\ }\r\n"
              "QVI_F1 }\r\nF1 }\r\nQVI_F2 }\r\nF2 }\r\nQVI_F3 }\r\nF3 }\r\n"
              "QVI_F4 }\r\nF4 }\r\nQVI_F5 }\r\nF5 }\r\nQVI_F6 }\r\nF6 }\r\n"
              "QVI_F7 }\r\nF7 }\r\nQVI_F8 }\r\nF8 }\r\nQVI_F9 }\r\nF9 }\r\n"
              "QVI_F10 }\r\nF10 }\r\nQVI_F11 }\r\nF11 }\r\nQVI_F12 }\r\nF12 }\r\n"
              "QVI_PAD0 }\r\nKeypad 0 }\r\nQVI_PAD1 }\r\nKeypad 1 }\r\n"
              "QVI_PAD2 }\r\nKeypad 2 }\r\nQVI_PAD3 }\r\nKeypad 3 }\r\n"
              "QVI_PAD4 }\r\nKeypad 4 }\r\nQVI_PAD5 }\r\nKeypad 5 }\r\n"
              "QVI_PAD6 }\r\nKeypad 6 }\r\nQVI_PAD7 }\r\nKeypad 7 }\r\n"
              "QVI_PAD8 }\r\nKeypad 8 }\r\nQVI_PAD9 }\r\nKeypad 9 }\r\n"
              "QVI_MOUSE3 }\r\nMouse 4 }\r\nQVI_MOUSE4 }\r\nMouse 5 }\r\n"
              "QVI_MOUSE5 }\r\nMouse 6 }\r\nQVI_JOYB0 }\r\nPad button 1 }\r\n"
              "QVI_JOYB1 }\r\nPad button 2 }\r\nQVI_JOYB2 }\r\nPad button 3 }\r\n"
              "QVI_JOYB3 }\r\nPad button 4 }\r\nQVI_JOYB4 }\r\nPad button 5 }\r\n"
              "QVI_JOYB5 }\r\nPad button 6 }\r\nQVI_JOYB6 }\r\nPad button 7 }\r\n"
              "QVI_JOYB7 }\r\nPad button 8 }\r\nQVI_JOYB8 }\r\nPad button 9 }\r\n"
              "QVI_JOYB9 }\r\nPad button 10 }\r\nQVI_JOYB10 }\r\nPad button 11 }\r\n"
              "QVI_JOYB11 }\r\nPad button 12 }\r\nQVI_JOYB12 }\r\nPad button 13 }\r\n"
              "QVI_JOYB13 }\r\nPad button 14 }\r\nQVI_JOYB14 }\r\nPad button 15 }\r\n"
              "QVI_JOYB15 }\r\nPad button 16 }\r\nQVI_JOYB16 }\r\nPad button 17 }\r\n"
              "QVI_JOYB17 }\r\nPad button 18 }\r\nQVI_JOYB18 }\r\nPad button 19 }\r\n"
              "QVI_JOYB19 }\r\nPad button 20 }\r\nQVI_JOYB20 }\r\nPad button 21 }\r\n"
              "QVI_JOYB21 }\r\nPad button 22 }\r\nQVI_JOYB22 }\r\nPad button 23 }\r\n"
              "QVI_JOYB23 }\r\nPad button 24 }\r\nQVI_JOYB24 }\r\nPad button 25 }\r\n"
              "QVI_JOYB25 }\r\nPad button 26 }\r\nQVI_JOYB26 }\r\nPad button 27 }\r\n"
              "QVI_JOYB27 }\r\nPad button 28 }\r\nQVI_JOYB28 }\r\nPad button 29 }\r\n"
              "QVI_JOYB29 }\r\nPad button 30 }\r\nQVI_JOYB30 }\r\nPad button 31 }\r\n"
              "QVI_JOYB31 }\r\nPad button 32 }\r\n");
    EXPECT_EQ(ReadText(Root() + "/e2e/save/init.txt"),
              "../../game\r\nTitleStage.qva\r\nSaveRun.qva\r\nSaveRun\r\n");
    EXPECT_EQ(ReadText(Root() + "/e2e/menu/init.txt"),
              "../../game\r\nMenuStage.qva\r\nMenuRun.qva\r\nMenuRun\r\n");
}

TEST_F(SampleGame, EveryItemFileIsWrittenIntoData) {
    ResourceLibrary library;
    ASSERT_EQ(library.ReadLibraryFile((Root() + "/game/DAZedirad.qvf").c_str(), 1), 1)
        << library.GetLastError();
    int named = 0;
    for (uint32_t slot = 0; slot < ResourceLibrary::kTableSize; ++slot) {
        LibraryItem* item = library.GetItemById(slot);
        if (item == nullptr) {
            continue;
        }
        const ItemClass cls = item->GetClass();
        const std::set<std::string> inlineMotions = {"C_Neutral", "J_Neutral", "J_Forward",
                                                     "F_Neutral", "N_Relax"};
        const bool inline_motion = cls == ItemClass::Motion && inlineMotions.count(item->name) != 0;
        if (cls == ItemClass::Texture || cls == ItemClass::Mesh || cls == ItemClass::Sound ||
            (cls == ItemClass::Motion && !inline_motion)) {
            EXPECT_FALSE(item->fileName.empty()) << item->name;
            EXPECT_TRUE(std::filesystem::is_regular_file(Root() + "/game/Data/" + item->fileName))
                << item->name << ": " << item->fileName;
            ++named;
        } else {
            EXPECT_TRUE(item->fileName.empty()) << item->name;
        }
    }
    EXPECT_EQ(named, 103);
    EXPECT_EQ(library.GetItemById(0), nullptr); // glyph texture 0 means none
}

// Motions count in seconds: the worm's loops last a second (30 frames) and
// the walk and run move the character at their speed along -z, whichever
// item the skins take them from.
TEST_F(SampleGame, MotionsLoopInSecondsAndMoveAtTheirSpeed) {
    ResourceLibrary library;
    struct Restore {
        ResourceLibrary* previous;
        ~Restore() { ReplaceLibraryForTests(previous); }
    } restore{ReplaceLibraryForTests(&library)};
    RegisterMotionLoader();
    library.SetBaseFolder((Root() + "/game").c_str());
    ASSERT_EQ(library.ReadLibraryFile((Root() + "/game/DAZedirad.qvf").c_str(), 1), 1)
        << library.GetLastError();
    const struct {
        const char* name;
        float length;
        float speed;
    } motions[] = {{"N_Neutral", 1.0f, 0.0f},      {"N_Forward", 1.0f, 150.0f},
                   {"R_Forward", 1.0f, 300.0f},    {"GuardWalk", 1.0f, 150.0f},
                   {"GuardRun", 1.0f, 300.0f},     {"J_Forward", 1.0f, 0.0f},
                   {"N_WalkBK_arms", 2.0f / 3.0f, 0.0f}};
    for (const auto& m : motions) {
        SCOPED_TRACE(m.name);
        auto* item = dynamic_cast<MotionItem*>(library.FindItemByName(m.name, ItemClass::Motion));
        ASSERT_NE(item, nullptr);
        EXPECT_NEAR(GetMotionLength(item), m.length, 1e-5f);
        ASSERT_FALSE(item->tracks.empty());
        for (const auto& track : item->tracks) {
            ASSERT_FALSE(track->rotationKeys.empty());
            EXPECT_NEAR(track->rotationKeys.back().time, m.length, 1e-5f);
        }
        Vector3 velocity{};
        GetMotionVelocity(item, &velocity);
        EXPECT_NEAR(velocity.z, -m.speed, 1e-3f);
    }
    // The guards' walk and run are the character's, read from the same files.
    EXPECT_EQ(library.FindItemByName("GuardWalk", ItemClass::Motion)->fileName,
              library.FindItemByName("N_Forward", ItemClass::Motion)->fileName);
    EXPECT_EQ(library.FindItemByName("GuardRun", ItemClass::Motion)->fileName,
              library.FindItemByName("R_Forward", ItemClass::Motion)->fileName);
}

TEST_F(SampleGame, RunLengthTgaDecodesToTheRing) {
    const std::string bytes = ReadText(Root() + "/game/Data/ring.tga");
    ASSERT_GT(bytes.size(), 18u);
    EXPECT_EQ(bytes[2], 10) << "run-length true colour";
    DecodedImage image;
    ASSERT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &image));
    ASSERT_TRUE(image.width == 128u && image.height == 128u);
    auto at = [&](uint32_t x, uint32_t y) { return image.pixels[size_t(y) * image.width + x]; };
    EXPECT_EQ(at(0, 0) >> 24, 0u);          // corner: outside the disc
    EXPECT_EQ(at(64, 64), 0xFFF0C020u);     // centre of the disc
    EXPECT_EQ(at(64, 9), 0xFFFFFFFFu);      // on the ring, top
    EXPECT_EQ(at(64, 118), 0xFFFFFFFFu);    // on the ring, bottom: rows not swapped
    EXPECT_EQ(at(127, 127) >> 24, 0u);
}

// --- the library on a display -----------------------------------------------------

bool OpenSound(std::unique_ptr<AlSoundBackend> backend, uint32_t channels, uint32_t rate,
               uint32_t bits, std::string* errorText) {
    if (CreateSoundDeviceOn(std::move(backend), channels, rate, bits) == 1) {
        return true;
    }
    *errorText = GetSoundErrorText();
    return false;
}

// Opens the sound device on OpenAL's loopback output, which needs no card.
bool OpenLoopbackSound(EngineWindow*, uint32_t channels, uint32_t rate, uint32_t bits,
                       std::string* errorText) {
    return OpenSound(std::make_unique<AlSoundBackend>(AlSoundBackend::Output::Loopback), channels,
                     rate, bits, errorText);
}

// OpenAL with no device to open, as on a machine without a sound card.
bool NoSoundDevice(EngineWindow*, uint32_t channels, uint32_t rate, uint32_t bits,
                   std::string* errorText) {
    auto none = []() -> void* { return nullptr; };
    return OpenSound(std::make_unique<AlSoundBackend>(+none), channels, rate, bits, errorText);
}

class SampleOnDisplay : public SampleGame {
protected:
    void TearDown() override {
        if (library_ != nullptr) {
            for (uint32_t slot = 0; slot < ResourceLibrary::kTableSize; ++slot) {
                library_->ReleaseItem(library_->GetItemById(slot));
            }
        }
        GetGraphics()->DestroyDevice();
        ShutdownSoundDevice();
        RegisterSoundServices();
        window_.reset();
    }

    // The engine's start-up order: services, base folder, texture quality,
    // display (windowed, sound on).
    bool Start(CreateSoundDeviceHook sound) {
        if (CreateEngineServices() != 1) {
            return false;
        }
        SetCreateSoundDeviceHook(std::move(sound));
        std::string error;
        window_ = CreateEngineWindow(&error);
        if (window_ == nullptr) {
            ADD_FAILURE() << error;
            return false;
        }
        library_ = GetLibrary();
        library_->SetBaseFolder((Root() + "/game").c_str());
        library_->SetTextureQuality(0, 1);
        const int made = library_->CreateDisplay(800, 600, 32, 32, 2, window_.get());
        EXPECT_EQ(made, 1) << library_->GetLastError();
        return made == 1;
    }

    std::unique_ptr<EngineWindow> window_;
    ResourceLibrary* library_ = nullptr;
};

TEST_F(SampleOnDisplay, EveryItemLoadsWithItsResource) {
    ASSERT_TRUE(Start(OpenLoopbackSound));
    EXPECT_STREQ(library_->GetLastError(), "");
    ASSERT_EQ(library_->SerializeLibrary(0), 1) << library_->GetLastError();
    EXPECT_STREQ(library_->GetLastError(), "");

    int items = 0;
    for (uint32_t slot = 0; slot < ResourceLibrary::kTableSize; ++slot) {
        LibraryItem* item = library_->GetItemById(slot);
        if (item == nullptr) {
            continue;
        }
        ++items;
        SCOPED_TRACE(item->name);
        EXPECT_EQ(library_->LoadItem(item), 1);
        switch (item->GetClass()) {
        case ItemClass::Texture: {
            auto* t = static_cast<TextureItem*>(item);
            ASSERT_NE(t->texture, nullptr);
            EXPECT_NE(t->texture->texture, nullptr);
            break;
        }
        case ItemClass::Mesh: {
            auto* m = static_cast<MeshItem*>(item);
            EXPECT_EQ(m->loaded, 1u);
            ASSERT_FALSE(m->subsets.empty());
            // One settings record per subset: none that no subset backs.
            ASSERT_EQ(m->subsetSettings.size(), m->subsets.size());
            EXPECT_NE(m->subsetSettings[0].word1, 0u);
            EXPECT_NE(library_->GetItemById(m->subsetSettings[0].word1), nullptr);
            if (m->meshKind == 1) {
                // The worm's bones, or the hero's (his body and the guards').
                EXPECT_EQ(m->bones.size(), m->fileName == "hero.qvm" ? 19u : 8u);
            }
            break;
        }
        case ItemClass::Sound:
            EXPECT_NE(static_cast<SoundItem*>(item)->buffer, nullptr);
            break;
        case ItemClass::Motion:
            EXPECT_EQ(item->loaded, 1u);
            EXPECT_FALSE(static_cast<MotionItem*>(item)->tracks.empty());
            break;
        case ItemClass::Font: {
            auto* f = static_cast<FontItem*>(item);
            EXPECT_EQ(f->loaded, 1u);
            ASSERT_NE(f->font, nullptr);
            EXPECT_NE(f->font->GetSheetTexture(), nullptr);
            break;
        }
        default:
            break;
        }
    }
    EXPECT_EQ(items, 165);
    EXPECT_STREQ(library_->GetLastError(), "");

    // The skinned mesh of the old layout keeps only its first subset.
    auto* wormV1 = static_cast<MeshItem*>(library_->FindItemByName("worm_v1", ItemClass::Mesh));
    ASSERT_NE(wormV1, nullptr);
    EXPECT_EQ(wormV1->subsets.size(), 1u);
    // The prepared sheet is the font's own: its size is the texture's.
    auto* sheet = static_cast<FontItem*>(library_->FindItemByName("Sheet", ItemClass::Font));
    auto* sheetTexture = static_cast<TextureItem*>(library_->GetItemById(8));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->font->sheetWidth, sheetTexture->width);
    EXPECT_EQ(sheet->font->sheetHeight, sheetTexture->height);
}

// A settings record's bounds: box, sphere and outer radius.
std::vector<float> RecordBounds(const SubsetSettings& r) {
    return {r.boxMin[0],       r.boxMin[1],       r.boxMin[2],       r.boxMax[0],
            r.boxMax[1],       r.boxMax[2],       r.sphereCentre[0], r.sphereCentre[1],
            r.sphereCentre[2], r.sphereRadius,    r.outerRadius};
}

// A Mesh Object builds its collision from its mesh's records when its actor
// file is read, before the level loads the mesh: a record that collides
// carries the bounds that loading its mesh gives, so that the first load of
// a level collides as every later one in the run.
TEST_F(SampleOnDisplay, EveryMeshThatCollidesCarriesTheBoundsItsFileGives) {
    ASSERT_TRUE(Start(OpenLoopbackSound));
    // Read as the engine reads it: records only, each item loaded later.
    ASSERT_EQ(library_->SerializeLibrary(1), 1) << library_->GetLastError();
    int colliding = 0;
    for (uint32_t slot = 0; slot < ResourceLibrary::kTableSize; ++slot) {
        auto* mesh = dynamic_cast<MeshItem*>(library_->GetItemById(slot));
        if (mesh == nullptr) {
            continue;
        }
        const std::vector<SubsetSettings> stored = mesh->subsetSettings;
        ASSERT_EQ(library_->LoadItem(mesh), 1) << mesh->name;
        ASSERT_EQ(mesh->subsetSettings.size(), stored.size()) << mesh->name;
        for (size_t i = 0; i < stored.size(); ++i) {
            if (stored[i].word0 != 0) {
                ++colliding;
                EXPECT_EQ(RecordBounds(stored[i]), RecordBounds(mesh->subsetSettings[i]))
                    << mesh->name << " subset " << i << " (collision type " << stored[i].word0 << ")";
            }
        }
    }
    EXPECT_EQ(colliding, 2) << "the floor and the sphere";
}

// The loading screen's background "Menu_Back" drawn over the whole screen
// at every texture format mode (-tq 32, the 16-bit mode, -tq 16, -tq 0):
// across a row it brightens from left to right in small steps, with no seam
// where a one-bit alpha would cut it in two.
TEST_F(SampleOnDisplay, LoadingBackgroundIsOneGradientAtEveryTextureQuality) {
    ASSERT_TRUE(Start(OpenLoopbackSound));
    ASSERT_EQ(library_->SerializeLibrary(0), 1) << library_->GetLastError();
    auto *back =
        static_cast<MaterialItem *>(library_->FindItemByName("Menu_Back", ItemClass::Material));
    ASSERT_NE(back, nullptr);
    for (uint32_t mode : {0u, 1u, 2u, 3u}) {
        SCOPED_TRACE("format mode " + std::to_string(mode));
        library_->SetTextureQuality(mode, 1);
        ASSERT_EQ(library_->LoadItem(back), 1);
        ASSERT_TRUE(library_->BeginRender(true, true));
        library_->QueueRect(0.0f, 0.0f, 800.0f, 600.0f, 1.0f, 1.0f, 1.0f, 1.0f, back);
        library_->DrawQueuedQuads(true);
        ASSERT_EQ(CaptureBackBuffer(800, 600), 1);
        library_->EndRender(true);
        library_->ReleaseItem(back);
        const std::vector<uint8_t> &pixels = GetCaptureImage()->Pixels();
        ASSERT_EQ(pixels.size(), size_t(800) * 600 * 4);
        for (size_t row : {100u, 300u, 500u}) {
            const uint8_t *line = pixels.data() + row * 800 * 4;
            // The outer pixels blend with the far edge: left out.
            int step = 0;
            for (size_t x = 4; x < 796; ++x) {
                for (size_t c = 0; c < 3; ++c) {
                    step =
                        std::max(step, std::abs(int(line[x * 4 + c]) - int(line[x * 4 - 4 + c])));
                }
            }
            EXPECT_LE(step, 8) << "row " << row;
            // Blue (the first byte) rises across the row.
            EXPECT_GE(int(line[795 * 4]) - int(line[4 * 4]), 30) << "row " << row;
        }
    }
}

// The motion records of the player character's skin in the play globals:
// record name -> library slot.
std::vector<std::pair<std::string, uint32_t>> HeroMotionRecords(const std::string& dump) {
    std::vector<std::pair<std::string, uint32_t>> records;
    std::istringstream in(dump);
    std::string line;
    bool inHero = false;
    bool inSkin = false;
    while (std::getline(in, line)) {
        if (line.find("id=") != std::string::npos && line.find(" name=\"") != std::string::npos) {
            if (line.find(" name=\"PlayerCharacter\"") != std::string::npos) {
                inHero = true;
            } else if (inHero && line.find(" name=\"Skin\"") != std::string::npos) {
                inSkin = true;
            } else if (inSkin) {
                break;
            }
            continue;
        }
        const size_t motion = line.find("motion ");
        const size_t index = line.find(" index ");
        const size_t name = line.find(" name \"");
        if (inSkin && motion != std::string::npos && index != std::string::npos &&
            name != std::string::npos && line.compare(motion, 7, "motion ") == 0 &&
            line.find_first_not_of(' ') == motion) {
            const size_t end = line.find('"', name + 7);
            records.emplace_back(line.substr(name + 7, end - name - 7),
                                 uint32_t(std::stoul(line.substr(index + 7))));
        }
    }
    return records;
}

// The hero's body: every bone a Character binds is one of its bones; the
// player character's skin has a motion for every posture, movement and
// fight move the controller, the Player and the brains ask for; each of
// those motions has a track with turns and places for every bone of the
// body, and its skinned body (100 tall) stays whole, not folded into a ring
// on the floor, at every tenth of a second of every motion.
TEST_F(SampleOnDisplay, HeroMotionsMoveEveryBoneOfAWholeBody) {
    ASSERT_TRUE(Start(OpenLoopbackSound));
    ASSERT_EQ(library_->SerializeLibrary(0), 1) << library_->GetLastError();
    auto* mesh = static_cast<MeshItem*>(library_->FindItemByName("hero", ItemClass::Mesh));
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(library_->LoadItem(mesh), 1) << library_->GetLastError();
    std::set<std::string> bones;
    for (const auto& bone : mesh->bones) {
        bones.insert(GetNameTable().GetName(bone->nameId));
    }
    for (const char* name : BoneNames) {
        EXPECT_EQ(bones.count(name), 1u) << "the body has no bone " << name;
    }

    const ToolRun dump = RunTool("qvadump", Root() + "/game/Data/Globals1_XBox.qva");
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    const auto records = HeroMotionRecords(dump.out);
    std::set<std::string> names;
    for (const auto& [name, slot] : records) names.insert(name);
    for (const char* wanted :
         {"N_Neutral", "N_Relax", "N_Forward", "R_Forward", "N_Back", "N_Left", "N_Right",
          "C_Neutral", "C_Forward", "J_Neutral", "J_Forward", "F_Neutral", "J_Neutral_2_N_Neutral",
          "F_Neutral_2_N_Neutral", "N_Gethit0", "N_Damage0", "N_Die0", "N_Dead0", "M_Neutral",
          "M_Forward", "M_Back", "M_Left", "M_Right", "M_Attack0", "M_Attack1", "M_Attack2",
          "M_Attack3", "N_Guarding", "N_Exhausted", "S_Neutral", "N_Action"}) {
        EXPECT_EQ(names.count(wanted), 1u) << "no motion " << wanted;
    }

    Skeleton* skeleton = CreateSkeleton(mesh);
    BoneMatrices* matrices = AllocBoneMatrices(mesh);
    ASSERT_NE(skeleton, nullptr);
    ASSERT_NE(matrices, nullptr);
    for (const auto& [name, slot] : records) {
        SCOPED_TRACE(name);
        auto* motion = dynamic_cast<MotionItem*>(library_->GetItemById(slot));
        ASSERT_NE(motion, nullptr);
        ASSERT_EQ(library_->LoadItem(motion), 1);
        const float length = GetMotionLength(motion);
        EXPECT_GT(length, 0.0f);
        for (const std::string& bone : bones) {
            const KeyTrack* found = nullptr;
            for (const auto& track : motion->tracks) {
                if (bone == GetTrackName(track.get())) found = track.get();
            }
            ASSERT_NE(found, nullptr) << "no track for " << bone;
            EXPECT_FALSE(found->rotationKeys.empty()) << bone;
            EXPECT_FALSE(found->positionKeys.empty()) << bone;
        }
        const bool onFeet = name[0] != 'J' && name[0] != 'F' && name.find("_2_") == std::string::npos &&
                            name.rfind("N_D", 0) != 0;
        for (float time = 0.0f; time <= length; time += 0.1f) {
            ComputeBonePose(skeleton, motion, matrices, time);
            SkinMeshVertices(mesh, matrices, 0, nullptr);
            AABox box;
            ComputeVertexBounds(&box, mesh, 0, nullptr);
            const float extent = std::max({box.max.x - box.min.x, box.max.y - box.min.y,
                                           box.max.z - box.min.z});
            EXPECT_GT(extent, 70.0f) << "at " << time;
            EXPECT_GT(box.min.y, -40.0f) << "at " << time << ": below the floor";
            // On his feet (the soles at -23, the floor below the character's
            // collision sphere) in every motion but the air, the landings and
            // the fall to the ground: a little into the floor at most, and
            // off it only in a run's stride.
            if (onFeet) {
                EXPECT_GE(box.min.y, -27.0f) << "at " << time;
                EXPECT_LE(box.min.y, -15.0f) << "at " << time;
            }
        }
    }
    FreeBoneMatrices(matrices);
    DestroySkeleton(skeleton);
}

// How the hero's motions play: the walks, runs and steps move him the way
// their names say (the skin's motion vector, along -z where he looks, +x
// to his left), everything else keeps him in place; stepping right is
// stepping left seen in a mirror; the landings play once into the motion
// they lead to, the fall's end holds, the fall and the death blend in.
TEST_F(SampleGame, HeroMotionsMoveAsTheirNamesSayAndPlayAsTheirRecordsSay) {
    ResourceLibrary library;
    struct Restore {
        ResourceLibrary* previous;
        ~Restore() { ReplaceLibraryForTests(previous); }
    } restore{ReplaceLibraryForTests(&library)};
    RegisterMotionLoader();
    library.SetBaseFolder((Root() + "/game").c_str());
    ASSERT_EQ(library.ReadLibraryFile((Root() + "/game/DAZedirad.qvf").c_str(), 1), 1)
        << library.GetLastError();
    const ToolRun dump = RunTool("qvadump", Root() + "/game/Data/Globals1_XBox.qva");
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    const auto records = HeroMotionRecords(dump.out);
    ASSERT_FALSE(records.empty());
    const std::map<std::string, Vector3> moving = {
        {"N_Forward", {0, 0, -150}}, {"R_Forward", {0, 0, -300}}, {"R_Forward1", {0, 0, -360}},
        {"N_Back", {0, 0, 100}},     {"N_Left", {100, 0, 0}},     {"N_Right", {-100, 0, 0}},
        {"C_Forward", {0, 0, -80}},  {"S_Forward", {0, 0, -75}},  {"M_Forward", {0, 0, -120}},
        {"M_Back", {0, 0, 120}},     {"M_Left", {120, 0, 0}},     {"M_Right", {-120, 0, 0}},
        {"J_Forward_2_N_Forward", {0, 0, -150}}, {"F_Neutral_2_N_Forward", {0, 0, -100}},
        {"N_Special7", {0, 0, -60}}};
    std::map<std::string, MotionItem*> items;
    for (const auto& [name, slot] : records) {
        SCOPED_TRACE(name);
        auto* motion = dynamic_cast<MotionItem*>(library.GetItemById(slot));
        ASSERT_NE(motion, nullptr);
        ASSERT_EQ(library.LoadItem(motion), 1);
        items[name] = motion;
        Vector3 velocity{};
        GetMotionVelocity(motion, &velocity);
        const auto found = moving.find(name);
        const Vector3 want = found != moving.end() ? found->second : Vector3{0, 0, 0};
        EXPECT_NEAR(velocity.x, want.x, 1e-2f);
        EXPECT_NEAR(velocity.y, 0.0f, 1e-2f);
        EXPECT_NEAR(velocity.z, want.z, 1e-2f);
    }

    // Mirror twins: each bone of the right step turns as its twin of the left
    // step does, about x alike, about y and z the other way.
    ASSERT_TRUE(items.count("N_Left") == 1 && items.count("N_Right") == 1);
    const auto twin = [](std::string bone) {
        if (bone.rfind("L_", 0) == 0) return "R_" + bone.substr(2);
        if (bone.rfind("R_", 0) == 0) return "L_" + bone.substr(2);
        return bone;
    };
    const auto trackOf = [](MotionItem* motion, const std::string& bone) -> const KeyTrack* {
        for (const auto& track : motion->tracks) {
            if (bone == GetTrackName(track.get())) return track.get();
        }
        return nullptr;
    };
    for (const auto& track : items["N_Left"]->tracks) {
        const std::string bone = GetTrackName(track.get());
        const KeyTrack* other = trackOf(items["N_Right"], twin(bone));
        ASSERT_NE(other, nullptr) << bone;
        for (float time : {0.0f, 0.2f, 0.4f, 0.6f}) {
            const Quaternion a = track->SampleRotation(time);
            const Quaternion b = other->SampleRotation(time);
            EXPECT_NEAR(a.x, b.x, 1e-4f) << bone << " at " << time;
            EXPECT_NEAR(a.y, -b.y, 1e-4f) << bone << " at " << time;
            EXPECT_NEAR(a.z, -b.z, 1e-4f) << bone << " at " << time;
            EXPECT_NEAR(a.w, b.w, 1e-4f) << bone << " at " << time;
        }
    }

    // The records' play style and blend time.
    const auto recordLine = [&dump](const std::string& name) {
        const size_t at = dump.out.find(" name \"" + name + "\" blend ");
        return at == std::string::npos ? std::string()
                                       : dump.out.substr(at, dump.out.find('\n', at) - at);
    };
    EXPECT_NE(recordLine("N_Dead0").find(" style 2 "), std::string::npos) << recordLine("N_Dead0");
    for (const char* landing : {"J_Neutral_2_N_Neutral", "F_Neutral_2_N_Neutral", "J_Forward_2_N_Forward"}) {
        EXPECT_NE(recordLine(landing).find(" blend 0 priority 0 layer 255 style 0 "), std::string::npos)
            << recordLine(landing);
        EXPECT_LT(GetMotionLength(items[landing]), 0.5f) << landing;
    }
    EXPECT_NE(recordLine("N_Die0").find(" blend 0.1 "), std::string::npos) << recordLine("N_Die0");
    EXPECT_NE(recordLine("N_Forward").find(" blend 0.15 "), std::string::npos);
    // The fight moves end soon enough for a guard's combo to go on.
    for (const char* move : {"M_Attack0", "M_Attack1", "M_Attack2", "M_Attack3", "M_Forward"}) {
        EXPECT_LE(GetMotionLength(items[move]), 0.8f) << move;
    }
}

TEST_F(SampleOnDisplay, WithoutASoundDeviceTheDisplayReportsIt) {
    ASSERT_TRUE(Start(NoSoundDevice));
    EXPECT_NE(std::string(library_->GetLastError()).find("Create Sound Device"), std::string::npos)
        << library_->GetLastError();
    // The engine runs silent: the library still loads, its sounds without buffers.
    EXPECT_EQ(library_->IsSoundEnabled(), 0u);
    ASSERT_EQ(library_->SerializeLibrary(0), 1) << library_->GetLastError();
    auto* beep = static_cast<SoundItem*>(library_->FindItemByName("beep", ItemClass::Sound));
    ASSERT_NE(beep, nullptr);
    EXPECT_EQ(beep->buffer, nullptr);
}

} // namespace
