#include "core/options.h"

#include <utility>

namespace {

constexpr size_t kMaxTokenLength = 255;

std::vector<std::string> SplitAt(std::string_view text, std::string_view separators) {
    std::vector<std::string> pieces;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t start = text.find_first_not_of(separators, pos);
        if (start == std::string_view::npos) break;
        size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        pieces.emplace_back(text.substr(start, end - start));
        pos = end;
    }
    return pieces;
}

OptionRecord MakeRecord(std::string_view token) {
    if (token.size() > kMaxTokenLength) token = token.substr(0, kMaxTokenLength);
    OptionRecord record;
    if (token.empty() || token.front() != '-') {
        record.key = std::string(token);
        record.value = "Error!";
        return record;
    }
    // The key runs from the first character that is neither '-' nor '=' up
    // to the next such character; the value starts after the separators that
    // follow and runs to the next '=' (a '-' inside the value is kept).
    size_t keyStart = token.find_first_not_of("-=");
    if (keyStart == std::string_view::npos) {
        record.key = std::string(token);
        record.value = "Error!";
        return record;
    }
    size_t keyEnd = token.find_first_of("-=", keyStart);
    if (keyEnd == std::string_view::npos) keyEnd = token.size();
    record.key = std::string(token.substr(keyStart, keyEnd - keyStart));
    size_t valueStart = token.find_first_not_of("-=", keyEnd);
    if (valueStart == std::string_view::npos) {
        record.value = "1";
        return record;
    }
    size_t valueEnd = token.find('=', valueStart);
    if (valueEnd == std::string_view::npos) valueEnd = token.size();
    record.value = std::string(token.substr(valueStart, valueEnd - valueStart));
    record.hasValue = 1;
    return record;
}

}  // namespace

OptionSpec::OptionSpec(std::string keyText, std::string_view valuesText, uint32_t defaultIdx)
    : key(std::move(keyText)), defaultIndex(defaultIdx) {
    if (valuesText == "~") {
        restricted = 0;
    } else if (valuesText == "-") {
        takesValue = 0;
    } else {
        allowedValues = SplitAt(valuesText, ":");
    }
}

OptionParser::OptionParser(std::string commandLine) : commandLine_(std::move(commandLine)) {}

void OptionParser::AddOption(OptionSpec spec) {
    OptionRecord record;
    record.key = spec.key;
    record.value = spec.defaultIndex < spec.allowedValues.size()
                       ? spec.allowedValues[spec.defaultIndex]
                       : std::string("0");
    values_.push_back(std::move(record));
    specs_.push_back(std::move(spec));
}

void OptionParser::Parse() {
    for (const std::string& token : SplitAt(commandLine_, " ")) {
        OptionRecord record = MakeRecord(token);
        size_t index = 0;
        while (index < specs_.size() && specs_[index].key != record.key) ++index;
        if (index == specs_.size()) {
            rejected_.push_back(std::move(record));
            continue;
        }
        const OptionSpec& spec = specs_[index];
        bool accepted = true;
        if (spec.takesValue != 0) {
            accepted = record.hasValue != 0;
            if (accepted && spec.restricted != 0) {
                accepted = false;
                for (const std::string& allowed : spec.allowedValues) {
                    if (allowed == record.value) accepted = true;
                }
            }
        }
        if (accepted) {
            values_[index].value = record.value;
            values_[index].hasValue = record.hasValue;
        } else {
            rejected_.push_back(std::move(record));
        }
    }
}

std::string OptionParser::GetOptionValue(size_t index) const {
    return index < values_.size() ? values_[index].value : std::string();
}

int OptionToInt(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        if (value > (2147483647 - 9) / 10) break;  // stays in range on long digit runs
        value = value * 10 + (c - '0');
    }
    return value;
}

void AddEngineOptions(OptionParser& parser) {
    parser.AddOption(OptionSpec("njoin", "~", 0));
    parser.AddOption(OptionSpec("adapter", "~", 0));
    parser.AddOption(OptionSpec("tq", "0:16:32", 0));
    parser.AddOption(OptionSpec("tf", "0:1:2", 2));
    parser.AddOption(OptionSpec("aa", "0:4", 0));
    parser.AddOption(OptionSpec("lg", "0:1:2", 1));
    parser.AddOption(OptionSpec("lt", "0:1:2", 2));
    parser.AddOption(OptionSpec("pd", "0:1:2", 1));
    parser.AddOption(OptionSpec("s", "0:1", 1));
    parser.AddOption(OptionSpec("win", "0:1", 0));
    parser.AddOption(OptionSpec("w", "800:1024:1280:1600", 0));
    parser.AddOption(OptionSpec("h", "600:768:960:1200", 0));
    parser.AddOption(OptionSpec("d", "16:32", 1));
    parser.AddOption(OptionSpec("ldump", "0:1", 0));
}
