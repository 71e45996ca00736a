// Quoting of texts for the dump tools: every byte outside printable ASCII is
// shown as an escape, so output is plain ASCII and round-trips by eye.
#pragma once

#include <string>
#include <string_view>

// '\' -> \\, '"' -> \", LF -> \n, CR -> \r, tab -> \t, every other byte
// outside 0x20..0x7E -> \xHH (two uppercase hex digits).
std::string EscapeText(std::string_view text);
