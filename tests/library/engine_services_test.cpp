#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "library/save_device.h"
#include "library_test_util.h"
#include "platform/graphics.h"
#include "platform/timer.h"

TEST(EngineServices, CreateMakesLibraryGraphicsTimerAndSaveDevice) {
    ASSERT_EQ(CreateEngineServices(), 1);
    ResourceLibrary* lib = GetLibrary();
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(GetGraphics(), nullptr);
    EXPECT_NE(GetFrameTimer(), nullptr);
    EXPECT_EQ(IsSaveDevicePresent(), 1u);
    EXPECT_EQ(GetSaveDeviceName(), "Hard Disc");
    // A fresh library.
    EXPECT_FLOAT_EQ(lib->GetWorldScale(), 100.0f);
    EXPECT_FLOAT_EQ(lib->GetInverseWorldScale(), 0.01f);
    EXPECT_EQ(lib->GetTextureFormatMode(), 0u);
    EXPECT_EQ(lib->GetTextureSizeDivisor(), 1u);
    EXPECT_EQ(lib->IsSoundEnabled(), 1u);
    EXPECT_EQ(lib->GetBaseFolder(), "");
    // A second call keeps the library.
    ASSERT_EQ(CreateEngineServices(), 1);
    EXPECT_EQ(GetLibrary(), lib);

    lib->SetBaseFolder("C:\\Game");
    EXPECT_EQ(GetSaveFolder(), "C:\\Game\\SaveGames");
    char buffer[8] = {};
    EXPECT_EQ(lib->ReadSavedGameFile(0, 0, buffer, sizeof buffer), 0u);
    lib->SetTextureQuality(3, 2);
    EXPECT_EQ(lib->GetTextureFormatMode(), 3u);
    EXPECT_EQ(lib->GetTextureSizeDivisor(), 2u);
}

TEST(EngineServices, SerializeLibraryReadsTheFileInTheBaseFolderInAnyCase) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("library_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    libtest::SampleTable t;
    t.Add<TextureItem>(1, "white").fileName = "white.tga";
    LibraryWriter writer(7);
    writer.SetWorldScale(40.0f);
    writer.AddItem(1, *t.items[0]);
    ASSERT_EQ(writer.WriteFile((dir / "dazedirad.QVF").c_str()), 1);

    ResourceLibrary lib;
    lib.SetBaseFolder(dir.c_str());
    EXPECT_EQ(lib.SerializeLibrary(1), 1) << lib.GetLastError();
    EXPECT_FLOAT_EQ(lib.GetWorldScale(), 40.0f);
    ASSERT_NE(lib.FindItemByName("WHITE", ItemClass::Texture), nullptr);
    std::filesystem::remove_all(dir);
}
