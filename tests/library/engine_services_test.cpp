#include <string>

#include <gtest/gtest.h>

#include "library/save_device.h"
#include "library_test_util.h"
#include "platform/graphics.h"
#include "platform/timer.h"
#include "support/temp_folder.h"

TEST(EngineServices, CreateMakesLibraryGraphicsTimerAndSaveDevice) {
    ASSERT_EQ(CreateEngineServices(), 1);
    ResourceLibrary* lib = GetLibrary();
    ASSERT_NE(lib, nullptr);
    EXPECT_TRUE(GetGraphics() != nullptr && GetFrameTimer() != nullptr);
    EXPECT_EQ(IsSaveDevicePresent(), 1u);
    EXPECT_EQ(GetSaveDeviceName(), "Hard Disc");
    // A second call keeps the library.
    ASSERT_EQ(CreateEngineServices(), 1);
    EXPECT_EQ(GetLibrary(), lib);

    lib->SetBaseFolder("C:\\Game");
    EXPECT_EQ(GetSaveFolder(), "C:\\Game\\SaveGames");
    char buffer[8] = {};
    EXPECT_EQ(lib->ReadSavedGameFile(0, 0, buffer, sizeof buffer), 0u);
}

// The services make one library: a test's library put in its place and
// taken out again gives it back, and once destroyed a fresh, empty one is
// made.
TEST(EngineServices, OneServicesLibraryComesBackAfterAReplacement) {
    ASSERT_EQ(CreateEngineServices(), 1);
    ResourceLibrary* made = GetLibrary();
    ASSERT_NE(made, nullptr);
    made->SetBaseFolder("C:\\Game");

    ResourceLibrary other;
    EXPECT_EQ(ReplaceLibraryForTests(&other), made);
    ASSERT_EQ(CreateEngineServices(), 1);
    EXPECT_EQ(GetLibrary(), &other);
    EXPECT_EQ(ReplaceLibraryForTests(nullptr), &other);
    ASSERT_EQ(CreateEngineServices(), 1);
    EXPECT_EQ(GetLibrary(), made);
    EXPECT_EQ(made->GetBaseFolder(), "C:\\Game");

    DestroyEngineServicesLibraryForTests();
    EXPECT_EQ(GetLibrary(), nullptr);
    ASSERT_EQ(CreateEngineServices(), 1);
    ASSERT_NE(GetLibrary(), nullptr);
    EXPECT_EQ(GetLibrary()->GetBaseFolder(), "");
    // With a test's library in place the services' one goes alone.
    ReplaceLibraryForTests(&other);
    DestroyEngineServicesLibraryForTests();
    EXPECT_EQ(GetLibrary(), &other);
    ReplaceLibraryForTests(nullptr);
}

TEST(EngineServices, SerializeLibraryReadsTheFileInTheBaseFolderInAnyCase) {
    TempFolder dir;
    libtest::SampleTable t;
    t.Add<TextureItem>(1, "white").fileName = "white.tga";
    LibraryWriter writer(7);
    writer.SetWorldScale(40.0f);
    writer.AddItem(1, *t.items[0]);
    ASSERT_EQ(writer.WriteFile((dir / "dazedirad.QVF").c_str()), 1);

    ResourceLibrary lib;
    lib.SetBaseFolder(dir.Path().c_str());
    EXPECT_EQ(lib.SerializeLibrary(1), 1) << lib.GetLastError();
    EXPECT_FLOAT_EQ(lib.GetWorldScale(), 40.0f);
    ASSERT_NE(lib.FindItemByName("WHITE", ItemClass::Texture), nullptr);
}
