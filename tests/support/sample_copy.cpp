#include "sample_copy.h"

#include <memory>
#include <system_error>

#include "temp_folder.h"

namespace samplecopy {

namespace {

struct Made {
    TempFolder folder; // removed when the program ends
    toolrun::ToolRun run;
};

const Made &Original() {
    static const std::unique_ptr<Made> made = [] {
        auto first = std::make_unique<Made>();
        first->run = toolrun::Run("mksample", {first->folder.Path()});
        return first;
    }();
    return *made;
}

} // namespace

toolrun::ToolRun Make(const std::string &folder) {
    const Made &made = Original();
    toolrun::ToolRun run = made.run;
    if (run.exitCode != 0) {
        return run;
    }
    std::error_code error;
    std::filesystem::copy(made.folder.Path(), folder,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing,
                          error);
    if (error) {
        run.exitCode = 1;
        run.err = "copying the sample into " + folder + ": " + error.message();
    }
    return run;
}

} // namespace samplecopy
