// Reads the line ENGINE_FRAME_STATS=1 prints: "frames N first-frame-ms F
// mean-ms M p99-ms P" and its newline, N a whole number, each figure with
// three decimals.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

struct FrameStatsFigures {
    uint64_t frames = 0;
    double firstFrameMs = 0.0;
    double meanMs = 0.0;
    double p99Ms = 0.0;
};

namespace framestats {

inline bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

inline bool Figure(const std::string& text, double* out) {
    size_t point = text.find('.');
    if (point == std::string::npos || !AllDigits(text.substr(0, point)) ||
        text.size() - point - 1 != 3 || !AllDigits(text.substr(point + 1))) {
        return false;
    }
    *out = std::strtod(text.c_str(), nullptr);
    return true;
}

}  // namespace framestats

// False when `line` has any other shape.
inline bool ParseFrameStatsLine(const std::string& line, FrameStatsFigures* out) {
    if (line.empty() || line.back() != '\n') return false;
    std::vector<std::string> words(1);
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        if (line[i] == ' ') {
            words.emplace_back();
        } else {
            words.back() += line[i];
        }
    }
    if (words.size() != 8 || words[0] != "frames" || words[2] != "first-frame-ms" ||
        words[4] != "mean-ms" || words[6] != "p99-ms" || !framestats::AllDigits(words[1])) {
        return false;
    }
    out->frames = std::strtoull(words[1].c_str(), nullptr, 10);
    return framestats::Figure(words[3], &out->firstFrameMs) &&
           framestats::Figure(words[5], &out->meanMs) && framestats::Figure(words[7], &out->p99Ms);
}
