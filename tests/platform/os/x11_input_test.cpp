// The real window under an X server (Xvfb), driven by xdotool: what a player's
// keyboard and mouse do must reach the input layer as pushed events do.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <functional>
#include <string>

#include "platform/input.h"
#include "platform/os/window.h"
#include "support/tool_run.h"

namespace {

constexpr const char* kChildVariable = "ENGINE_X11_INPUT_CHILD";

bool HaveProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

void Xdotool(const std::string& arguments) {
    const std::string command = "xdotool " + arguments;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Runs frames (messages, then one input update) until `done` answers true,
// at most about ten seconds; `each` runs after every update.
bool RunFrames(EngineWindow* window, const std::function<bool()>& done,
               const std::function<void()>& each = [] {}) {
    for (int frame = 0; frame < 1000; ++frame) {
        WindowMessage message;
        while (window->NextMessage(&message)) {
            HandleInputMessage(message);
        }
        UpdateInput(0.01f, 1);
        each();
        if (done()) {
            return true;
        }
        usleep(10000);
    }
    return false;
}

void RunUnderXServer() {
    std::string error;
    auto window = CreateEngineWindow(&error);
    ASSERT_NE(window, nullptr) << error;
    InitInput(window->Input());
    int frames = 0;
    RunFrames(window.get(), [&] { return ++frames == 30; });

    bool pressed = false;
    Xdotool("key a");
    EXPECT_TRUE(RunFrames(
        window.get(), [] { return InputReleased(65) != 0; },
        [&] { pressed = pressed || InputPressed(65) != 0; }));
    EXPECT_TRUE(pressed);
    EXPECT_EQ(InputDown(65), 0);

    Xdotool("keydown space");
    ASSERT_TRUE(RunFrames(window.get(), [] { return InputPressed(32) != 0; }));
    int held = 0;
    RunFrames(window.get(), [&] {
        EXPECT_EQ((std::tuple{InputDown(32), InputReleased(32)}), (std::tuple{1, 0}));
        return ++held == 40;
    });
    Xdotool("keyup space");
    EXPECT_TRUE(RunFrames(window.get(), [] { return InputReleased(32) != 0; }));
    EXPECT_EQ(InputDown(32), 0);

    // Mouse motion moves the virtual cursor; the update recentres it.
    float movedX = 0.0f;
    float movedY = 0.0f;
    Xdotool("mousemove_relative -- 25 -15");
    EXPECT_TRUE(RunFrames(window.get(), [&] {
        movedX += GetAxisValue(kMouseAxisX);
        movedY += GetAxisValue(kMouseAxisY);
        return movedX != 0.0f && movedY != 0.0f;
    }));
    EXPECT_GT(movedX, 0.0f);
    EXPECT_LT(movedY, 0.0f);

    Xdotool("click 1");
    pressed = false;
    EXPECT_TRUE(RunFrames(
        window.get(), [] { return InputReleased(256) != 0; },
        [&] { pressed = pressed || InputPressed(256) != 0; }));
    EXPECT_TRUE(pressed);
}

}  // namespace

TEST(X11Input, XdotoolKeysHoldsAndClicks) {
    if (std::getenv(kChildVariable) != nullptr) {
        RunUnderXServer();
        return;
    }
    if (!HaveProgram("xvfb-run") || !HaveProgram("xdotool") || !HaveProgram("xauth")) {
        GTEST_SKIP() << "xvfb-run, xauth or xdotool missing";
    }
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    ASSERT_FALSE(self.empty());
    char logName[] = "/tmp/x11_input_XXXXXX";
    const int fd = mkstemp(logName);
    ASSERT_GE(fd, 0);
    close(fd);
    // The X server and xdotool run without the test's preloaded libraries.
    std::string command = "xvfb-run -a -s '-screen 0 1024x768x24' env ";
    command += kChildVariable;
    command += "=1 SDL_VIDEODRIVER=x11 " + toolrun::GlDrivers() + "'" + self +
               "' --gtest_filter=X11Input.XdotoolKeysHoldsAndClicks >" + logName + " 2>&1";
    // xvfb-run -a can lose the race for a display number to another server
    // starting at the same moment: try again then.
    int status = 0;
    std::string output;
    for (int attempt = 0; attempt < 3; ++attempt) {
        status = std::system(command.c_str());
        std::ifstream log(logName);
        std::stringstream text;
        text << log.rdbuf();
        output = text.str();
        if (output.find("Xvfb failed to start") == std::string::npos) {
            break;
        }
    }
    unlink(logName);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}
