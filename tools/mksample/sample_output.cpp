#include "sample_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

bool ValidRelativePath(const std::string& relPath) {
    if (relPath.empty() || relPath.front() == '/' || relPath.back() == '/') return false;
    if (relPath.find('\\') != std::string::npos) return false;
    size_t start = 0;
    while (start <= relPath.size()) {
        size_t end = relPath.find('/', start);
        if (end == std::string::npos) end = relPath.size();
        std::string part = relPath.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

SampleOutput::SampleOutput(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

bool SampleOutput::FailAt(const std::string& path, const std::string& reason) {
    if (error_.empty()) error_ = "mksample: " + path + ": " + reason;
    return false;
}

bool SampleOutput::Write(const std::string& relPath, const std::vector<uint8_t>& bytes) {
    const std::string path = root_ + "/" + relPath;
    if (!ValidRelativePath(relPath)) return FailAt(path, "not a relative path below the output folder");

    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (ec) return FailAt(path, ec.message());

    const std::string temp = path + ".part";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) return FailAt(path, std::strerror(errno));
    bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int writeErrno = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        writeErrno = errno;
    }
    if (!written) {
        std::remove(temp.c_str());
        return FailAt(path, std::strerror(writeErrno));
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        int renameErrno = errno;
        std::remove(temp.c_str());
        return FailAt(path, std::strerror(renameErrno));
    }
    std::printf("%zu %s\n", bytes.size(), relPath.c_str());
    ++count_;
    return true;
}

bool SampleOutput::WriteText(const std::string& relPath, const std::string& text) {
    return Write(relPath, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string CrLfLines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}
