// Where mksample puts what it makes: every file goes through one
// SampleOutput, which writes it below the output folder and reports it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class SampleOutput {
public:
    explicit SampleOutput(std::string root);

    // Writes a file below the output folder (relPath with forward slashes,
    // no ".." and not absolute), making its folders. The bytes go to a
    // temporary file first, which is then renamed over the target, so a
    // failed write leaves no half file. On success prints
    // "<bytes> <relPath>" on stdout; on failure answers false with Error()
    // set to "mksample: <path>: <reason>".
    bool Write(const std::string& relPath, const std::vector<uint8_t>& bytes);
    // The same for text, written byte for byte (line ends as given).
    bool WriteText(const std::string& relPath, const std::string& text);

    const std::string& Root() const { return root_; }
    // The first failure's line; empty while every write succeeded.
    const std::string& Error() const { return error_; }
    // Files written so far.
    int Count() const { return count_; }

    // Records a failure about a file below the output folder that was not
    // made (its content could not be built); answers false.
    bool Fail(const std::string& relPath, const std::string& reason) {
        return FailAt(root_ + "/" + relPath, reason);
    }

private:
    bool FailAt(const std::string& path, const std::string& reason);

    std::string root_;
    std::string error_;
    int count_ = 0;
};

// Lines joined with CR LF, the last line ended too.
std::string CrLfLines(std::initializer_list<std::string> lines);
