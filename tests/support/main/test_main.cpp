// The main of every test program: the engine's classes are installed before
// any test makes an actor system, as the engine's own main does, and every
// test hands the process on as it found it.
#include <gtest/gtest.h>

#include "app/class_list.h"
#include "support/process_reset.h"

int main(int argc, char **argv) {
    InstallEngineClasses();
    testing::InitGoogleTest(&argc, argv);
    ResetProcessAfterEveryTest();
    return RUN_ALL_TESTS();
}
