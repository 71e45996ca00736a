// tools/check-layers.sh on the real source tree and on scratch copies with a
// fault put in.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

struct LayerCheck {
    std::string out;
    int exitCode = -1;
};

LayerCheck RunCheck(const std::string &sourceRoot) {
    TempFolder scratch;
    const std::string outPath = scratch / "out";
    const std::string command = toolrun::Quote(ENGINE_TEST_SOURCE_DIR "/tools/check-layers.sh") +
                                " " + toolrun::Quote(sourceRoot) + " >" + toolrun::Quote(outPath) +
                                " 2>&1";
    const int status = std::system(command.c_str());
    LayerCheck check;
    check.out = toolrun::ReadFile(outPath);
    check.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return check;
}

// Built by appending (see toolrun::DataPath: GCC 12 takes the moved
// temporary of "+" for an out-of-bounds copy).
std::string SourceRoot() {
    std::string root = ENGINE_TEST_SOURCE_DIR;
    root += "/src";
    return root;
}

// A copy of src/ to break on purpose.
void CopySources(const TempFolder &scratch) {
    const std::string root = SourceRoot(); // not moved into the path (the same false warning)
    std::filesystem::copy(root, scratch / "src", std::filesystem::copy_options::recursive);
}

void Append(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::app);
    out << text;
}

} // namespace

TEST(CheckLayers, TheSourceTreeHasNoUpwardInclude) {
    const LayerCheck check = RunCheck(SourceRoot());
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_EQ(check.out, "");
}

TEST(CheckLayers, AnIncludeOfAHigherRoomFailsWithItsLine) {
    // Each room's next one up, and a jump from the ground to the top.
    const struct {
        const char *file;
        const char *include;
        const char *message;
    } cases[] = {
        {"base/math.h", "platform/timer.h", "(platform above base)"},
        {"platform/timer.h", "library/resource_library.h", "(library above platform)"},
        {"library/library_item.h", "core/actors/actor.h", "(core above library)"},
        {"core/actors/actor.h", "actors/world/world_seams.h", "(actors above core)"},
        {"actors/world/world_seams.h", "game/front_end_seams.h", "(game above actors)"},
        {"game/front_end_seams.h", "app/class_list.h", "(app above game)"},
        {"base/random.cpp", "app/class_list.h", "(app above base)"},
    };
    for (const auto &c : cases) {
        TempFolder scratch;
        CopySources(scratch);
        Append(scratch / ("src/" + std::string(c.file)),
               "\n  #  include \"" + std::string(c.include) + "\" // added\n");
        const LayerCheck check = RunCheck(scratch / "src");
        EXPECT_EQ(check.exitCode, 1) << c.file;
        EXPECT_NE(check.out.find(std::string(c.file) + ":"), std::string::npos) << check.out;
        EXPECT_NE(check.out.find(c.message), std::string::npos) << check.out;
    }
}

TEST(CheckLayers, IncludesOfTheSameOrALowerRoomAndSystemHeadersPass) {
    TempFolder scratch;
    CopySources(scratch);
    Append(scratch / "src/app/class_list.cpp",
           "#include \"base/math.h\"\n#include \"game/front_end_seams.h\"\n#include <vector>\n");
    Append(scratch / "src/core/options.cpp", "#include \"core/actors/actor.h\"\n");
    const LayerCheck check = RunCheck(scratch / "src");
    EXPECT_EQ(check.exitCode, 0) << check.out;
}

TEST(CheckLayers, FilesOutsideTheRoomsAreListed) {
    TempFolder scratch;
    CopySources(scratch);
    scratch.Put("src/main.cpp", "int main() { return 0; }\n");
    scratch.Put("src/tools/helper.h", "#pragma once\n");
    const LayerCheck check = RunCheck(scratch / "src");
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.out, "main.cpp: outside the seven rooms\n"
                         "tools/helper.h: outside the seven rooms\n");
}

TEST(CheckLayers, AMissingFolderIsAUsageError) {
    TempFolder scratch;
    const LayerCheck check = RunCheck(scratch / "nowhere");
    EXPECT_EQ(check.exitCode, 2);
    EXPECT_NE(check.out.find("no such folder"), std::string::npos);
}
