// The main of every test program: the engine's classes are installed before
// any test makes an actor system, as the engine's own main does.
#include <gtest/gtest.h>

#include "app/class_list.h"

int main(int argc, char **argv) {
    InstallEngineClasses();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
