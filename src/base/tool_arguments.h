// The command line of the dump tools, which take one FILE and no options but
// "--help".
#pragma once

#include <cstring>

enum class FileToolCall {
    Run,   // one file name
    Help,  // "--help" is among the arguments: the usage on stdout, exit 0
    Usage, // a wrong argument count or an unknown option: the usage on stderr, exit 2
};

// A word that starts with '-' is an option; "-" alone is a file name.
inline FileToolCall ClassifyFileToolCall(int argc, const char *const *argv) {
    bool option = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            return FileToolCall::Help;
        }
        option = option || (argv[i][0] == '-' && argv[i][1] != '\0');
    }
    return argc == 2 && !option ? FileToolCall::Run : FileToolCall::Usage;
}
