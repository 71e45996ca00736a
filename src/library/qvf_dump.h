// The library file dump behind the qvfdump tool: a header line, then one
// line per entry in file order with the class's key fields.
#pragma once

#include <cstdio>

// Runs "qvfdump FILE": answers the exit status (0 success, 1 failed read,
// 2 usage). "--help" prints the usage on `out` and answers 0.
int RunQvfDump(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
