// The sample folders that tools/mksample writes, made once per test program
// and copied for each test that asks: every test still gets a fresh folder
// of its own to change, without running the tool again.
#pragma once

#include <filesystem>
#include <string>

#include "tool_run.h"

namespace samplecopy {

// Writes the sample into `folder` as "mksample <folder>" would and answers
// as the tool's run did (its exit code and output; a failed copy exits 1).
toolrun::ToolRun Make(const std::string &folder);

} // namespace samplecopy
