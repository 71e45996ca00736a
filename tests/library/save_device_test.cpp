#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/file_system.h"
#include "library/save_device.h"
#include "support/temp_folder.h"

namespace {

constexpr uint32_t kIndexBytes = 16488;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Names in the folder that are temporary files of a replacing write.
int TemporaryFiles(const std::string& folder) {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        n += IsReplaceTemporaryName(entry.path().filename().c_str()) ? 1 : 0;
    }
    return n;
}

// A device over a fresh "SaveGames" folder in a scratch folder (spelt in
// another case in the save-folder text, as the data spells it).
class SaveDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitSaveDevice(0);
        std::filesystem::create_directories(folder);
        SetSaveFolder((dir.Path() + "\\savegames").c_str());
        Write(payload, 7); // a known old index; makes the listing stale
    }
    void TearDown() override {
        SetReplaceFaultForTests(ReplaceStep::None);
        SetSaveDeviceUnopenableForTests(nullptr);
    }
    uint32_t Write(std::vector<uint8_t>& data, uint8_t fill) {
        std::fill(data.begin(), data.end(), fill);
        return SaveDevice::WriteFile(0, "SaveGame", data.data(), uint32_t(data.size()), 0, 0);
    }
    uint32_t List() {
        uint32_t count = 99;
        EXPECT_EQ(SaveDevice::ListFiles(0, &count), 1u);
        return count;
    }

    TempFolder dir;
    std::string folder = dir / "SaveGames";
    std::string file = dir / "SaveGames/SaveGame";
    std::vector<uint8_t> payload = std::vector<uint8_t>(kIndexBytes);
};

TEST_F(SaveDeviceTest, WritesHeaderAndPayloadAndRefusesEmptyData) {
    const std::string bytes = ReadAll(file);
    ASSERT_EQ(bytes.size(), 16496u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x01\x00\x00\x00\x68\x40\x00\x00", 8));
    EXPECT_EQ(bytes[8], 7);
    EXPECT_EQ(TemporaryFiles(folder), 0);

    const uint32_t searches = SaveDeviceSearchCountForTests();
    EXPECT_EQ(List(), 1u);
    EXPECT_EQ(List(), 1u); // answered from memory
    EXPECT_EQ(SaveDeviceSearchCountForTests(), searches + 1);
    // Null data or size 0 change nothing, the listing stays current.
    EXPECT_EQ(SaveDevice::WriteFile(0, "SaveGame", nullptr, 10, 0, 0), 0u);
    EXPECT_EQ(SaveDevice::WriteFile(0, "SaveGame", payload.data(), 0, 0, 0), 0u);
    EXPECT_EQ(List(), 1u);
    EXPECT_EQ(SaveDeviceSearchCountForTests(), searches + 1);
}

TEST_F(SaveDeviceTest, MissingFolderListsNothingAndFailsToOpen) {
    std::filesystem::remove_all(folder);
    uint32_t count = 5;
    EXPECT_EQ(SaveDevice::ListFiles(0, &count), 0u);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Write(payload, 1), 0u);
    EXPECT_EQ(GetSaveDeviceError(), "File Open Error:");
    EXPECT_FALSE(std::filesystem::exists(folder)); // never made by the device
}

TEST_F(SaveDeviceTest, ListingSkipsFoldersFifosTemporariesAndUnopenableFiles) {
    dir.Put("SaveGames/readme.txt", "hello world");
    dir.Put("SaveGames/tiny", "abcd");
    dir.Put("SaveGames/locked", "\x01\0\0\0\x04\0\0\0abcd");
    dir.Put("SaveGames/.SaveGame.123.4.tmp", "left over");
    std::filesystem::create_directories(folder + "/sub");
    ASSERT_EQ(mkfifo((folder + "/pipe").c_str(), 0600), 0);
    SetSaveDeviceUnopenableForTests("locked");
    Write(payload, 2); // stale listing

    EXPECT_EQ(List(), 3u);
    std::vector<std::string> listed = SaveDeviceListingForTests();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"SaveGame 16488", "readme.txt 1870078063",
                                                "tiny 1"}));
    // The write removed the killed write's leftover.
    EXPECT_EQ(TemporaryFiles(folder), 0);
}

TEST_F(SaveDeviceTest, FindFileFollowsTheFileLayersChoice) {
    dir.Put("SaveGames/SAVEGAME", "foreign");
    Write(payload, 3);
    List();
    uint32_t exact = 0;
    ASSERT_EQ(SaveDevice::FindFile(0, "SaveGame", &exact), 1u);
    std::filesystem::remove(file);
    Write(payload, 3); // goes to the folded match now
    List();
    uint32_t folded = 0;
    ASSERT_EQ(SaveDevice::FindFile(0, "savegame", &folded), 1u);
    std::vector<uint8_t> back(kIndexBytes, 0);
    EXPECT_EQ(SaveDevice::ReadFile(0, folded, back.data(), kIndexBytes), 1u);
    EXPECT_EQ(back[100], 3);
}

TEST_F(SaveDeviceTest, ReadRefusesWrongSizesIndexesAndShortFiles) {
    std::vector<uint8_t> back(kIndexBytes, 0xEE);
    ASSERT_EQ(List(), 1u);
    EXPECT_EQ(SaveDevice::ReadFile(0, 0, back.data(), kIndexBytes - 4), 0u);
    EXPECT_EQ(SaveDevice::ReadFile(0, 1, back.data(), kIndexBytes), 0u);
    EXPECT_EQ(SaveDevice::ReadFile(0, 5000, back.data(), kIndexBytes), 0u);
    EXPECT_EQ(back, std::vector<uint8_t>(kIndexBytes, 0xEE));

    std::filesystem::resize_file(file, 100); // cut after the listing
    EXPECT_EQ(SaveDevice::ReadFile(0, 0, back.data(), kIndexBytes), 0u);
    EXPECT_EQ(back, std::vector<uint8_t>(kIndexBytes, 0xEE));

    Write(payload, 9);
    List();
    EXPECT_EQ(SaveDevice::ReadFile(0, 0, back.data(), kIndexBytes), 1u);
    EXPECT_EQ(back, payload);
}

TEST_F(SaveDeviceTest, NameStateSpaceAndPresence) {
    char name[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(SaveDevice::GetName(0, name, 4), 1u);
    EXPECT_STREQ(name, "Har");
    char untouched = 'u';
    EXPECT_EQ(SaveDevice::GetName(0, &untouched, 0), 1u);
    EXPECT_EQ(untouched, 'u');
    EXPECT_EQ(SaveDevice::GetName(0, nullptr, 8), 1u);
    char size[4] = {};
    EXPECT_EQ(SaveDevice::GetSizeText(0, size, 4), 1u);
    EXPECT_STREQ(size, "100");
    EXPECT_EQ(SaveDevice::GetState(0), 3u);
    uint32_t free = 0, total = 0, inserted = 0;
    EXPECT_EQ(SaveDevice::GetSpace(0, &free, &total), 1u);
    EXPECT_EQ(free, 20971520u);
    EXPECT_EQ(total, 20971520u);
    EXPECT_EQ(SaveDevice::IsInserted(0, &inserted), 1u);
    EXPECT_EQ(inserted, 1u);
    EXPECT_EQ(SaveDevice::IsAvailable(0) + SaveDevice::Mount(0), 2u);
}

TEST_F(SaveDeviceTest, FailedStepsKeepTheOldIndex) {
    const std::string old = ReadAll(file);
    for (ReplaceStep step : {ReplaceStep::Write, ReplaceStep::FileSync, ReplaceStep::Close,
                             ReplaceStep::Rename}) {
        SCOPED_TRACE(int(step));
        SetReplaceFaultForTests(step);
        EXPECT_EQ(Write(payload, 8), 0u);
        EXPECT_EQ(GetSaveDeviceError(), "File Write Error:");
        EXPECT_EQ(ReadAll(file), old);
        EXPECT_EQ(TemporaryFiles(folder), 0);
    }
    // After the rename the new index is in place, but the failure is told.
    SetReplaceFaultForTests(ReplaceStep::FolderSync);
    EXPECT_EQ(Write(payload, 8), 0u);
    EXPECT_EQ(ReadAll(file)[8], 8);
    EXPECT_EQ(TemporaryFiles(folder), 0);
}

TEST_F(SaveDeviceTest, KilledSaveLeavesAWholeIndex) {
    const std::string old = ReadAll(file);
    struct Kill {
        ReplaceStep step;
        int64_t bytes;
    };
    const Kill kills[] = {{ReplaceStep::None, 0},        {ReplaceStep::None, 4},
                          {ReplaceStep::None, 8},        {ReplaceStep::None, 8252},
                          {ReplaceStep::None, 16496},    {ReplaceStep::FileSync, -1},
                          {ReplaceStep::Rename, -1}};
    for (const Kill& kill : kills) {
        SCOPED_TRACE(std::to_string(int(kill.step)) + " " + std::to_string(kill.bytes));
        EXPECT_EXIT(
            {
                SetReplaceFaultForTests(ReplaceStep::None, kill.step, kill.bytes);
                Write(payload, 5);
            },
            ::testing::KilledBySignal(SIGKILL), "");
        EXPECT_EQ(ReadAll(file), old);
        EXPECT_EQ(TemporaryFiles(folder), 1);
        // Another file's write leaves the leftover and makes a new search.
        SaveDevice::WriteFile(0, "Other", payload.data(), 4, 0, 0);
        EXPECT_EQ(List(), 2u);
        EXPECT_EQ(Write(payload, 7), 1u);
        EXPECT_EQ(TemporaryFiles(folder), 0);
    }
    EXPECT_EXIT(
        {
            SetReplaceFaultForTests(ReplaceStep::None, ReplaceStep::FolderSync);
            Write(payload, 6);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    const std::string renamed = ReadAll(file);
    ASSERT_EQ(renamed.size(), 16496u);
    EXPECT_EQ(renamed[8], 6);
    EXPECT_EQ(Write(payload, 7), 1u); // and the next save succeeds cleanly
    EXPECT_EQ(TemporaryFiles(folder), 0);
}

} // namespace
