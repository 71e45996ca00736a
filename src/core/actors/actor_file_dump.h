// The text dump of an actor file that the qvadump tool prints: the stored
// header, then the actor tree after loading the file into a headless actor
// system, each actor with its base fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class Actor;

// How the dump prints values, for the class lines (Actor::DumpClassFields):
// the shortest text that reads back as the same float; floats separated by
// blanks; a mask as 0x%08x; a text quoted and escaped.
std::string DumpNumber(float value);
std::string DumpNumbers(const float *values, size_t count);
std::string DumpMask(uint32_t value);
std::string DumpText(std::string_view text);

// The detail lines of one actor, each indented by `indent` blanks and ended
// by a line feed.
std::string DumpActorFields(const Actor &actor, size_t indent);

// The tree from actor 0 in pre-order (children in list order, two blanks per
// depth), then the actors the walk misses in id order prefixed "orphan ";
// each line "id=.. class=.. name=".." parent=.. classname=".."" followed by
// DumpActorFields. The class lines of each actor follow its "sim" line.
std::string DumpActorTreeWithFields();

// qvadump FILE. Exit code 0, 1 when the file could not be loaded whole (one
// line "error: FILE: " with the reason and, for a refused file, the record
// where reading stopped), 2 for a wrong argument count or an unknown option;
// "--help" prints the usage on `out` and exits 0.
int RunQvaDump(int argc, char **argv, FILE *out, FILE *err);
