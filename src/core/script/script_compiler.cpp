#include "core/script/script_compiler.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/actors/script_runner.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsStringType(uint32_t type) {
    return type == ParamType::String || type == ParamType::StringPtr ||
           type == ParamType::String128;
}

// Stops of the look-ahead over one parameter.
bool IsParamStop(char c) { return c == '"' || c == '(' || c == ')' || c == '.' || c == ','; }

// Stops of an actor access.
bool IsAccessStop(char c) { return c == '.' || c == ' ' || c == ',' || c == ')'; }

bool OnlyDigitsAndMinus(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
}

class Compiler {
  public:
    Compiler(std::string_view source, const ScriptHandleLookup &findOwnScript, ByteBuffer &out,
             std::string *errorText, size_t *errorPosition)
        : src_(source.substr(0, source.find('\0'))), findOwnScript_(findOwnScript), out_(out),
          errorText_(errorText), errorPosition_(errorPosition) {}

    bool Compile() {
        for (;;) {
            if (!SkipSpaceAndComments()) {
                return false;
            }
            if (AtEnd()) {
                break;
            }
            if (!ParseStatement()) {
                return false;
            }
        }
        out_.Append(kScriptEndMark, sizeof(kScriptEndMark));
        return true;
    }

  private:
    bool AtEnd() const { return cur_ >= src_.size(); }
    char Peek() const { return AtEnd() ? '\0' : src_[cur_]; }
    bool LooksAt(std::string_view text) const { return src_.substr(cur_).starts_with(text); }

    bool Fail(const char *text) {
        if (!error_) {
            error_ = true;
            if (errorText_ != nullptr) {
                *errorText_ = text;
            }
            if (errorPosition_ != nullptr) {
                *errorPosition_ = cur_;
            }
        }
        return false;
    }

    void EmitText(std::string_view text) {
        out_.Append(text.data(), text.size());
        out_.AppendByte(0);
    }

    bool SkipSpaceAndComments() {
        for (;;) {
            while (!AtEnd() && IsSpace(src_[cur_])) {
                ++cur_;
            }
            if (LooksAt("//")) {
                size_t end = src_.find('\n', cur_);
                cur_ = end == std::string_view::npos ? src_.size() : end;
            } else if (LooksAt("/*")) {
                size_t end = src_.find("*/", cur_ + 2);
                if (end == std::string_view::npos) {
                    cur_ = src_.size();
                    return Fail("Missing end of comment!");
                }
                cur_ = end + 2;
            } else {
                return true;
            }
        }
    }

    // access '.' ["[safe]"] name '(' parameters ')' ';'
    bool ParseStatement() {
        if (!ParseActorAccess()) {
            return false;
        }
        uint8_t kind = lastAccessKind_;
        if (Peek() != '.') {
            return Fail("Expected '.' after ActorAccess");
        }
        ++cur_;
        if (AtEnd()) {
            return Fail("Unexpected end of script!");
        }
        bool safeCall = false;
        if (LooksAt("[safe]")) {
            safeCall = true;
            cur_ += 6;
        }
        uint32_t id = Parse_CommandID(true);
        if (error_) {
            return false;
        }
        if (Peek() != '(') {
            return Fail("ParseParamRecursive() _1_ Expected '('");
        }
        ++cur_;
        if (id != 0) {
            const CommandInfo *info = FindCommandInfo(id);
            for (uint32_t type : info->paramTypes) {
                if (!ParseParamRecursive(type, 0)) {
                    return false;
                }
            }
        } else {
            // A name that is no command calls a script.
            switch (kind) {
            case ScriptAccess::This:
                out_.AppendU32(ScriptWord::CallHandle);
                out_.AppendU32(findOwnScript_ ? findOwnScript_(name_) : 0);
                break;
            case ScriptAccess::Local:
            case ScriptAccess::Path:
            case ScriptAccess::LocalPath:
                out_.AppendU32(safeCall ? ScriptWord::CallByNameSafe : ScriptWord::CallByName);
                EmitText(name_);
                break;
            default:
                return Fail("Checking ActorAccessType: Parse Sync Error!");
            }
        }
        return ExpectStatementEnd();
    }

    bool ExpectStatementEnd() {
        while (!AtEnd() && (Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
            ++cur_;
        }
        if (Peek() == ',') {
            return Fail("To many params, Expected ')' Parse Sync Error!");
        }
        if (Peek() != ')') {
            return Fail("Expected ')' Parse Sync Error!");
        }
        ++cur_;
        if (Peek() != ';') {
            return Fail("Expected ';' Parse Sync Error!");
        }
        ++cur_;
        return true;
    }

    bool ParseActorAccess() {
        uint8_t safe = kScriptPlainAccess;
        if (LooksAt("[safe]")) {
            safe = kScriptSafeAccess;
            cur_ += 6;
        }
        size_t start = cur_;
        size_t end = start;
        while (end < src_.size() && !IsAccessStop(src_[end])) {
            ++end;
        }
        if (end >= src_.size()) {
            cur_ = src_.size();
            return Fail("Unexpected end of script!");
        }
        std::string_view token = src_.substr(start, end - start);
        out_.AppendByte(safe);
        if (token == "this") {
            EmitKind(ScriptAccess::This);
        } else if (token == "local") {
            EmitKind(ScriptAccess::Local);
        } else if (token.starts_with("local/")) {
            EmitKind(ScriptAccess::LocalPath);
            EmitText(token.substr(6));
        } else if (token == "sys") {
            EmitKind(ScriptAccess::System);
        } else if (token.starts_with("[ga]GA")) {
            size_t digits = 0;
            uint32_t slot = 0;
            while (6 + digits < token.size() && token[6 + digits] >= '0' &&
                   token[6 + digits] <= '9') {
                slot = slot * 10 + static_cast<uint32_t>(token[6 + digits] - '0');
                ++digits;
            }
            if (digits == 0 || digits > 3 || slot == 0) {
                cur_ = start + 6 + digits;
                return Fail("Invalid GAindex! must be in the range 1 - 999");
            }
            size_t slash = token.find('/', 6 + digits);
            if (slash != std::string_view::npos) {
                EmitKind(ScriptAccess::GlobalSlotPath);
                out_.AppendU32(slot);
                EmitText(token.substr(slash + 1));
            } else {
                EmitKind(ScriptAccess::GlobalSlot);
                out_.AppendU32(slot);
            }
        } else {
            EmitKind(ScriptAccess::Path);
            EmitText(token);
        }
        cur_ = end;
        return true;
    }

    void EmitKind(uint8_t kind) {
        lastAccessKind_ = kind;
        out_.AppendByte(kind);
    }

    // Reads a name up to '(', whitespace, ')' or ','. When it names a
    // command, emits the id and returns it; else 0 (an error unless quiet).
    uint32_t Parse_CommandID(bool quiet) {
        size_t start = cur_;
        while (!AtEnd() && Peek() != '(' && !IsSpace(Peek()) && Peek() != ')' && Peek() != ',') {
            ++cur_;
        }
        name_.assign(src_.substr(start, cur_ - start));
        if (!SkipSpaceAndComments()) {
            return 0;
        }
        if (AtEnd()) {
            Fail("Unexpected end of script!");
            return 0;
        }
        uint32_t id = LookupCommandByName(name_);
        if (id != 0) {
            out_.AppendU32(id);
            return id;
        }
        if (!quiet) {
            Fail("Parse_CommandID() No such Command! FORBIDDEN POINT");
        }
        return 0;
    }

    // Where the parameter at the cursor stops: the first '"', '(', ')', '.'
    // or ','. A "Real" reads on past a point that follows digits and '-'.
    size_t ScanParam(uint32_t type) const {
        size_t s = cur_;
        for (;;) {
            while (s < src_.size() && !IsParamStop(src_[s])) {
                ++s;
            }
            if (type == ParamType::Real && s < src_.size() && src_[s] == '.' &&
                OnlyDigitsAndMinus(src_.substr(cur_, s - cur_))) {
                ++s;
                continue;
            }
            return s;
        }
    }

    bool ParseParamRecursive(uint32_t type, int depth) {
        if (depth > kMaxScriptParamNesting) {
            return Fail("ParseParamRecursive() Nesting too deep");
        }
        if (!SkipSpaceAndComments()) {
            return false;
        }
        if (Peek() == ',') {
            ++cur_;
        }
        if (!SkipSpaceAndComments()) {
            return false;
        }
        size_t stop = ScanParam(type);
        char c = stop < src_.size() ? src_[stop] : '\0';
        switch (c) {
        case '"': {
            if (stop != cur_ || !IsStringType(type)) {
                return Fail("ParseParamRecursive() Unexpected start of string");
            }
            size_t close = src_.find('"', stop + 1);
            if (close == std::string_view::npos) {
                close = src_.size();
            }
            out_.AppendU32(ScriptTag::Literal);
            EmitStringValue(type, src_.substr(stop + 1, close - stop - 1));
            cur_ = std::min(close + 1, src_.size());
            return true;
        }
        case '(':
            if (type == ParamType::Command) {
                out_.AppendU32(ScriptTag::Command);
                uint32_t id = Parse_CommandID(false);
                if (id == 0) {
                    return false;
                }
                if (Peek() != '(') {
                    return Fail("ParseParamRecursive() _2_ Expected '('");
                }
                ++cur_;
                for (uint32_t t : FindCommandInfo(id)->paramTypes) {
                    if (!ParseParamRecursive(t, depth + 1)) {
                        return false;
                    }
                }
            } else {
                out_.AppendU32(ScriptTag::Group);
                cur_ = stop + 1;
                for (uint32_t t : GetParamTypeTable().Get(type).components) {
                    if (!ParseParamRecursive(t, depth + 1)) {
                        return false;
                    }
                }
            }
            if (Peek() != ')') {
                return Fail("ParseParamRecursive() Expected ')'");
            }
            ++cur_;
            return true;
        case ')':
        case ',':
            return ParseBareLiteral(type, stop);
        default:
            return Fail("ParseParamRecursive() FORBIDDEN POINT");
        }
    }

    void EmitStringValue(uint32_t type, std::string_view text) {
        if (type == ParamType::String128) {
            uint8_t slot[128] = {};
            std::memcpy(slot, text.data(), std::min<size_t>(text.size(), 127));
            out_.Append(slot, sizeof(slot));
        } else {
            EmitText(text);
        }
    }

    bool ParseBareLiteral(uint32_t type, size_t stop) {
        std::string_view text = src_.substr(cur_, stop - cur_);
        switch (type) {
        case ParamType::Command:
            return Fail("ParseParamRecursive() QV_CMDD_COMMAND Expected a '('");
        case ParamType::CommandID:
            out_.AppendU32(ScriptTag::Literal);
            return Parse_CommandID(false) != 0;
        case ParamType::ActorPointer:
        case ParamType::ActorPointerExt:
            out_.AppendU32(ScriptTag::Literal);
            return ParseActorAccess();
        default:
            break;
        }
        out_.AppendU32(ScriptTag::Literal);
        switch (type) {
        case ParamType::UInt32:
        case ParamType::Int32:
        case ParamType::Bool:
            out_.AppendU32(ParseScriptInteger(text));
            break;
        case ParamType::Real: {
            float value = ParseScriptReal(text);
            uint32_t bits;
            std::memcpy(&bits, &value, sizeof(bits));
            out_.AppendU32(bits);
            break;
        }
        case ParamType::String:
        case ParamType::StringPtr:
        case ParamType::String128:
            EmitStringValue(type, text);
            break;
        default:
            out_.AppendZeros(ScriptZeroValueSize(type));
            break;
        }
        cur_ = stop;
        return true;
    }

    std::string_view src_;
    const ScriptHandleLookup &findOwnScript_;
    ByteBuffer &out_;
    std::string *errorText_;
    size_t *errorPosition_;
    size_t cur_ = 0;
    bool error_ = false;
    uint8_t lastAccessKind_ = 0;
    std::string name_;
};

} // namespace

bool CompileScriptText(std::string_view source, const ScriptHandleLookup &findOwnScript,
                       ByteBuffer *code, std::string *errorText, size_t *errorPosition) {
    ByteBuffer scratch;
    Compiler compiler(source, findOwnScript, code != nullptr ? *code : scratch, errorText,
                      errorPosition);
    return compiler.Compile();
}

int CompileScript(ScriptRecord *record, Actor *owner, std::string *errorText,
                  size_t *errorPosition) {
    if (record == nullptr) {
        return 0;
    }
    record->compiled.reset();
    if (owner == nullptr) {
        if (errorText != nullptr) {
            *errorText = "No Owner!";
        }
        if (errorPosition != nullptr) {
            *errorPosition = 0;
        }
        return 0;
    }
    ScriptHandleLookup findOwnScript = [owner](std::string_view name) -> uint32_t {
        std::string key(name);
        FindScriptQuery query{key.c_str(), nullptr};
        owner->HandleCommand(cmd::base::FindScript, ParamBlock(&query, sizeof(query)));
        return query.result != nullptr ? query.result->serial : 0;
    };
    auto code = std::make_shared<ByteBuffer>();
    if (!CompileScriptText(record->source, findOwnScript, code.get(), errorText, errorPosition)) {
        return 0;
    }
    record->compiled = std::move(code);
    return 1;
}

uint32_t ParseScriptInteger(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    }
    return negative ? 0u - value : value;
}

float ParseScriptReal(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && text[i] == '+') {
        ++i;
        if (i < text.size() && text[i] == '-') {
            return 0.0f; // one sign only
        }
    }
    const char *first = text.data() + i;
    const char *last = text.data() + text.size();
    // A number starts with a digit or a point after its sign: the words
    // "nan", "inf" and "infinity", which the conversion would take, are no
    // number and give 0 like any other text.
    const char *digits = first != last && *first == '-' ? first + 1 : first;
    if (digits == last || !((*digits >= '0' && *digits <= '9') || *digits == '.')) {
        return 0.0f;
    }
    float value = 0.0f;
    auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc()) {
        return value;
    }
    if (ec == std::errc::result_out_of_range) {
        // Too large gives an infinity, too small a zero, as the C library's
        // conversion does.
        double wide = 0.0;
        auto [wideEnd, wideEc] = std::from_chars(first, last, wide, std::chars_format::general);
        bool negative = *first == '-';
        if (wideEc == std::errc() && std::fabs(wide) < std::numeric_limits<float>::max()) {
            return negative ? -0.0f : 0.0f;
        }
        std::string_view number(first, static_cast<size_t>(last - first));
        size_t e = number.find_first_of("eE");
        bool tiny = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
        if (tiny) {
            return negative ? -0.0f : 0.0f;
        }
        float inf = std::numeric_limits<float>::infinity();
        return negative ? -inf : inf;
    }
    return 0.0f;
}

size_t ScriptZeroValueSize(uint32_t type) {
    switch (type) {
    case ParamType::DataWithSizeheader:
        return 4;
    case ParamType::DataNullterminated16:
        return 2;
    case ParamType::DataNullterminated32:
        return 4;
    case ParamType::String:
        return 1;
    default: {
        int32_t size = GetParamTypeTable().Get(type).nativeSize;
        return size > 0 ? static_cast<size_t>(size) : 0;
    }
    }
}
