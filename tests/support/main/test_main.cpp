// The main of every test program: the engine's classes are installed before
// any test makes an actor system, as the engine's own main does, and every
// test hands the process on as it found it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/class_list.h"
#include "support/process_reset.h"

int main(int argc, char **argv) {
    // The GL drivers preloaded for this process's leak check (see
    // tests/CMakeLists.txt) stay loaded here, but only the programs that draw
    // take them on (toolrun::GlDrivers): in every shell and tool a test starts
    // they cost more than its own work.
    if (const char *preload = std::getenv("LD_PRELOAD")) {
        setenv("ENGINE_TEST_GL_PRELOAD", preload, 1);
        unsetenv("LD_PRELOAD");
    }
    InstallEngineClasses();
    testing::InitGoogleTest(&argc, argv);
    ResetProcessAfterEveryTest();
    return RUN_ALL_TESTS();
}
