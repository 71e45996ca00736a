#include <string>

#include "app/class_list.h"
#include "core/actors/engine_host.h"
#include "core/actors/engine_startup.h"

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    InstallEngineClasses();
    EngineHost host;
    return RunEngine(commandLine, host);
}
