// A text picture of the actor tree, one actor a line.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

class Actor;

// One line of the dump, without indentation or line end:
//   id=<id> class=<class> name="<name>" parent=<parentId>
std::string ActorDumpLine(const Actor &actor);

// The tree from actor 0, pre-order, children in list order, two blanks of
// indentation per depth; then, in id order, each table actor the walk did
// not reach, prefixed "orphan ". Every line ends with a line feed.
std::string DumpActorTree();

// The same walk with the caller's text for each actor: `describe` gets the
// actor and the indentation of anything listed below its line, and answers
// the line (without prefix) and whatever follows it, line ends included.
std::string DumpActorTree(const std::function<std::string(const Actor &, size_t)> &describe);
