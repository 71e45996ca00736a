#include "core/actors/input_script.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "core/actors/actor_system_commands.h"
#include "platform/os/posted_input.h"

namespace {

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t\r", at);
        if (at == std::string_view::npos || line[at] == '#') break;
        size_t end = line.find_first_of(" \t\r", at);
        if (end == std::string_view::npos) end = line.size();
        words.emplace_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

// A whole number in [low, high]: decimal, or hexadecimal after "0x" when
// `hex` allows it.
bool ParseNumber(const std::string& word, long long low, long long high, bool hex,
                 long long* out) {
    const char* text = word.c_str();
    int base = 10;
    if (hex && (word.rfind("0x", 0) == 0 || word.rfind("0X", 0) == 0)) {
        base = 16;
        text += 2;
    }
    if (*text == '\0' || (base == 16 && (*text == '-' || *text == '+'))) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, base);
    if (*end != '\0' || errno == ERANGE || value < low || value > high) return false;
    *out = value;
    return true;
}

std::string Quoted(const std::string& word) { return "\"" + word + "\""; }

// One line's event without its frame; the reason in `error` when bad.
bool ParseEvent(const std::vector<std::string>& words, ScriptedInput* event, std::string* error) {
    const std::string& kind = words[1];
    long long number = 0;
    const auto upDown = [&](const char* form) {
        if (words.size() != 4) {
            *error = std::string("expected <frame> ") + form;
            return false;
        }
        if (words[2] != "down" && words[2] != "up") {
            *error = Quoted(words[2]) + " is neither down nor up";
            return false;
        }
        event->down = words[2] == "down";
        return true;
    };
    if (kind == "key") {
        event->kind = ScriptedInputKind::Key;
        if (!upDown("key down|up <virtual key>")) return false;
        if (!ParseNumber(words[3], 1, 255, true, &number) ||
            !HasKeyForVirtualKey(static_cast<uint32_t>(number))) {
            *error = Quoted(words[3]) + " is no virtual key of the keyboard";
            return false;
        }
        event->code = static_cast<uint32_t>(number);
    } else if (kind == "button") {
        event->kind = ScriptedInputKind::Button;
        if (!upDown("button down|up 1|2|3")) return false;
        if (!ParseNumber(words[3], 1, 3, false, &number)) {
            *error = Quoted(words[3]) + " is not button 1, 2 or 3";
            return false;
        }
        event->code = 255 + static_cast<uint32_t>(number);
    } else if (kind == "motion") {
        event->kind = ScriptedInputKind::Motion;
        if (words.size() != 4) {
            *error = "expected <frame> motion <dx> <dy>";
            return false;
        }
        long long dy = 0;
        for (int i = 2; i < 4; ++i) {
            if (!ParseNumber(words[i], -100000, 100000, false, i == 2 ? &number : &dy)) {
                *error = Quoted(words[i]) + " is not a motion in pixels";
                return false;
            }
        }
        event->dx = static_cast<int32_t>(number);
        event->dy = static_cast<int32_t>(dy);
    } else if (kind == "capture") {
        event->kind = ScriptedInputKind::Capture;
        std::string joined;
        if (words.size() != 3) {
            *error = "expected <frame> capture <file>";
            return false;
        }
        if (!JoinBaseFolder("", words[2], &joined)) {
            *error = Quoted(words[2]) + " leaves the base folder";
            return false;
        }
        event->file = words[2];
    } else {
        *error = "unknown event " + Quoted(kind);
        return false;
    }
    return true;
}

}  // namespace

bool ParseInputScript(std::string_view text, InputScript* out, std::string* error) {
    InputScript script;
    uint32_t lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::vector<std::string> words = Words(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (words.empty()) continue;
        ScriptedInput event;
        event.line = lineNumber;
        std::string reason;
        long long frame = 0;
        bool good = false;
        if (!ParseNumber(words[0], 1, INT64_MAX, false, &frame)) {
            reason = Quoted(words[0]) + " is not a frame number from 1";
        } else if (words.size() < 2) {
            reason = "expected key, button, motion or capture after the frame";
        } else {
            good = ParseEvent(words, &event, &reason);
        }
        if (!good) {
            *error = std::to_string(lineNumber) + ": " + reason;
            return false;
        }
        event.frame = static_cast<uint64_t>(frame);
        script.events.push_back(std::move(event));
    }
    std::stable_sort(script.events.begin(), script.events.end(),
                     [](const ScriptedInput& a, const ScriptedInput& b) {
                         return a.frame < b.frame;
                     });
    *out = std::move(script);
    return true;
}
