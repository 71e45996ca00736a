// The sample game folder that mksample writes: the same bytes on every run,
// an output listing that matches the files, library and actor-file dumps
// equal to committed text, and a library whose every item loads on a real
// (offscreen) display with a sound device open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "library/bitmap_font.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/al_sound_backend.h"
#include "platform/os/image/image.h"
#include "platform/os/window.h"
#include "platform/sound.h"
#include "platform/sound_items.h"
#include "platform/texture_object.h"
#include "library/display.h"
#include "support/temp_folder.h"

namespace {

struct ToolRun {
    std::string out;
    std::string err;
    int exitCode = -1;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Tool(const std::string& name) {
    return std::string(ENGINE_TEST_BINARY_DIR) + "/tools/" + name;
}

ToolRun RunCommand(const std::string& command, const TempFolder& scratch) {
    const std::string outPath = scratch / "stdout";
    const std::string errPath = scratch / "stderr";
    ToolRun run;
    const int status =
        std::system((command + " >'" + outPath + "' 2>'" + errPath + "'").c_str());
    if (status != -1 && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    run.out = ReadText(outPath);
    run.err = ReadText(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

// Every regular file below the folder, by relative path.
std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), root).string()] =
                ReadText(entry.path().string());
        }
    }
    return files;
}

std::string Golden(const std::string& name) {
    return ReadText(std::string(ENGINE_TEST_SOURCE_DIR) + "/tests/data/mksample/" + name);
}

// One generated sample shared by the tests of this file.
class SampleGame : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder();
        first_ = new ToolRun(RunCommand("'" + Tool("mksample") + "' '" + (*folder_ / "a") + "'", *folder_));
    }
    static void TearDownTestSuite() {
        delete first_;
        delete folder_;
    }
    static std::string Root() { return *folder_ / "a"; }

    static TempFolder* folder_;
    static ToolRun* first_;
};

TempFolder* SampleGame::folder_ = nullptr;
ToolRun* SampleGame::first_ = nullptr;

TEST_F(SampleGame, TwoRunsWriteTheSameBytesAndTheListingMatchesTheFiles) {
    ASSERT_EQ(first_->exitCode, 0) << first_->err;
    EXPECT_EQ(first_->err, "");
    const ToolRun second = RunCommand("'" + Tool("mksample") + "' '" + (*folder_ / "b") + "'", *folder_);
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(second.out, first_->out);
    const auto a = Tree(Root());
    const auto b = Tree(*folder_ / "b");
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [path, bytes] : a) {
        auto other = b.find(path);
        ASSERT_NE(other, b.end()) << path;
        EXPECT_TRUE(other->second == bytes) << path << " differs between runs";
    }

    // "<bytes> <path>" per file in write order, each file once, then the count.
    std::istringstream lines(first_->out);
    std::string line;
    std::vector<std::string> listed;
    std::string last;
    while (std::getline(lines, line)) {
        last = line;
        const size_t blank = line.find(' ');
        ASSERT_NE(blank, std::string::npos) << line;
        if (line.substr(blank) == " files") {
            continue;
        }
        const std::string path = line.substr(blank + 1);
        auto file = a.find(path);
        ASSERT_NE(file, a.end()) << line;
        EXPECT_EQ(line.substr(0, blank), std::to_string(file->second.size())) << line;
        listed.push_back(path);
    }
    EXPECT_EQ(last, std::to_string(a.size()) + " files");
    std::vector<std::string> sorted = listed;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end()) << "a file listed twice";
    EXPECT_EQ(listed.size(), a.size());
}

TEST_F(SampleGame, LibraryDumpEqualsTheCommittedText) {
    ASSERT_EQ(first_->exitCode, 0) << first_->err;
    const ToolRun dump = RunCommand("'" + Tool("qvfdump") + "' '" + Root() + "/game/DAZedirad.qvf'", *folder_);
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(dump.out, Golden("library.txt"));
}

TEST_F(SampleGame, EveryItemFileIsWrittenIntoData) {
    ASSERT_EQ(first_->exitCode, 0) << first_->err;
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
        const bool inline_motion = cls == ItemClass::Motion && item->name == "R_Forward";
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
    EXPECT_EQ(named, 24);
    EXPECT_EQ(library.GetItemById(0), nullptr); // glyph texture 0 means none
}

TEST_F(SampleGame, RunLengthTgaDecodesToTheRing) {
    ASSERT_EQ(first_->exitCode, 0) << first_->err;
    const std::string bytes = ReadText(Root() + "/game/Data/ring.tga");
    ASSERT_GT(bytes.size(), 18u);
    EXPECT_EQ(bytes[2], 10) << "run-length true colour";
    DecodedImage image;
    ASSERT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &image));
    ASSERT_EQ(image.width, 128u);
    ASSERT_EQ(image.height, 128u);
    auto at = [&](uint32_t x, uint32_t y) { return image.pixels[size_t(y) * image.width + x]; };
    EXPECT_EQ(at(0, 0) >> 24, 0u);          // corner: outside the disc
    EXPECT_EQ(at(64, 64), 0xFFF0C020u);     // centre of the disc
    EXPECT_EQ(at(64, 9), 0xFFFFFFFFu);      // on the ring, top
    EXPECT_EQ(at(64, 118), 0xFFFFFFFFu);    // on the ring, bottom: rows not swapped
    EXPECT_EQ(at(127, 127) >> 24, 0u);
}

TEST(SampleTool, WrongArgumentsAndUnwritableFolders) {
    TempFolder scratch;
    for (const char* args : {"", "a b"}) {
        const ToolRun run = RunCommand("'" + Tool("mksample") + "' " + args, scratch);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, "usage: mksample OUT-DIR\n");
        EXPECT_EQ(run.out, "");
    }
    // A file where the output folder should be.
    scratch.Put("blocked", "x");
    const ToolRun run = RunCommand("'" + Tool("mksample") + "' '" + (scratch / "blocked") + "'", scratch);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("mksample: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

// --- the library on a display -----------------------------------------------------

// Opens the sound device on OpenAL's loopback output, which needs no card.
bool OpenLoopbackSound(EngineWindow*, uint32_t channels, uint32_t rate, uint32_t bits,
                       std::string* errorText) {
    if (CreateSoundDeviceOn(std::make_unique<AlSoundBackend>(AlSoundBackend::Output::Loopback),
                            channels, rate, bits) == 1) {
        return true;
    }
    *errorText = GetSoundErrorText();
    return false;
}

// OpenAL with no device to open, as on a machine without a sound card.
bool NoSoundDevice(EngineWindow*, uint32_t channels, uint32_t rate, uint32_t bits,
                   std::string* errorText) {
    auto none = []() -> void* { return nullptr; };
    if (CreateSoundDeviceOn(std::make_unique<AlSoundBackend>(+none), channels, rate, bits) == 1) {
        return true;
    }
    *errorText = GetSoundErrorText();
    return false;
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
    ASSERT_EQ(first_->exitCode, 0) << first_->err;
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
            EXPECT_EQ(m->subsetSettings.size(), m->subsets.size());
            EXPECT_NE(m->subsetSettings[0].word1, 0u);
            EXPECT_NE(library_->GetItemById(m->subsetSettings[0].word1), nullptr);
            if (m->meshKind == 1) {
                EXPECT_EQ(m->bones.size(), 8u);
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
    EXPECT_EQ(items, 46);
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

TEST_F(SampleOnDisplay, WithoutASoundDeviceTheDisplayReportsIt) {
    ASSERT_EQ(first_->exitCode, 0) << first_->err;
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
