#include "base/escape_text.h"

std::string EscapeText(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte >= 0x20 && byte <= 0x7E) {
                out += c;
            } else {
                out += "\\x";
                out += kHex[byte >> 4];
                out += kHex[byte & 15];
            }
        }
    }
    return out;
}
