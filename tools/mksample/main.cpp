// mksample OUT-DIR: writes the sample game folder into OUT-DIR.
//
// Prints one line per file written, "<bytes> <relative path>", in write
// order, then "<n> files". A failure prints "mksample: <path>: <reason>" on
// stderr and exits 1; wrong arguments exit 2.
#include <cstdio>
#include <string>

#include "app/class_list.h"
#include "sample_game.h"
#include "sample_output.h"

int main(int argc, char** argv) {
    InstallEngineClasses();
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: mksample OUT-DIR\n");
        return 2;
    }
    SampleOutput out(argv[1]);
    if (!WriteSampleGame(out)) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", out.Error().empty() ? "mksample: failed" : out.Error().c_str());
        return 1;
    }
    std::printf("%d files\n", out.Count());
    return std::fflush(stdout) == 0 ? 0 : 1;
}
