// qvadump FILE: loads an actor file into a headless actor system and prints
// its header and the resulting actor tree with each actor's fields.
#include <cstdio>

#include "app/class_list.h"
#include "core/actors/actor_file_dump.h"

int main(int argc, char **argv) {
    InstallEngineClasses();
    return RunQvaDump(argc, argv, stdout, stderr);
}
