// qvfdump FILE: prints a library file's header and entries.
#include <cstdio>

#include "library/qvf_dump.h"

int main(int argc, char** argv) { return RunQvfDump(argc, argv, stdout, stderr); }
