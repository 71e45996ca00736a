// Command-line options of the engine program.
//
// Every option has a key, a list of allowed values and a default. Parsing
// never fails: unknown keys, values outside the allowed list, keys given
// without a value and stray words are set aside and the option keeps its
// default (or the last value accepted for it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct OptionSpec {
    // `valuesText`: "~" means any value, "-" a switch without value, any
    // other text the allowed values separated by ':'.
    OptionSpec(std::string key, std::string_view valuesText, uint32_t defaultIndex);

    std::string key;
    uint32_t defaultIndex = 0;
    std::vector<std::string> allowedValues;
    uint32_t restricted = 1;
    uint32_t takesValue = 1;
};

struct OptionRecord {
    std::string key;
    std::string value;
    uint32_t hasValue = 0;
};

class OptionParser {
public:
    explicit OptionParser(std::string commandLine);

    // Appends the option; its value starts as the allowed value at the default
    // index, or "0" when the option lists no values.
    void AddOption(OptionSpec spec);
    void Parse();
    // The option's value text; "" for an index out of range.
    std::string GetOptionValue(size_t index) const;

    const std::vector<OptionSpec>& Specs() const { return specs_; }
    const std::vector<OptionRecord>& Rejected() const { return rejected_; }

private:
    std::string commandLine_;
    std::vector<OptionSpec> specs_;
    std::vector<OptionRecord> values_;
    std::vector<OptionRecord> rejected_;
};

// The leading decimal digits of the text as a number; 0 when there are none.
int OptionToInt(std::string_view text);

// Indices of the engine's fourteen options, in the order they are declared.
enum EngineOption : size_t {
    kOptNjoin, kOptAdapter, kOptTq, kOptTf, kOptAa, kOptLg, kOptLt, kOptPd,
    kOptS, kOptWin, kOptW, kOptH, kOptD, kOptLdump, kEngineOptionCount
};

// Adds the engine's fourteen options in order.
void AddEngineOptions(OptionParser& parser);
