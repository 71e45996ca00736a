// The scratch folder of the writers that only write files.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "base/file_system.h"
#include "sample_game.h"

namespace sample {

Scratch::Scratch() {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) {
        base = "/tmp";
    }
    std::string pattern = (base / "mksample-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr) {
        root_ = buffer.data();
    }
}

Scratch::~Scratch() {
    if (!root_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
}

std::string Scratch::Path(const std::string& name) const { return root_ + "/" + name; }

bool Scratch::Take(const std::string& name, std::vector<uint8_t>& bytes) const {
    const std::string path = Path(name);
    std::string text;
    std::string reason;
    const bool ok = ReadWholeFile(path, &text, &reason);
    bytes.assign(text.begin(), text.end());
    std::remove(path.c_str());
    return ok;
}

} // namespace sample
