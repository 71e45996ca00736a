// A text picture of the actor tree, one actor a line.
#pragma once

#include <string>

class Actor;

// One line of the dump, without indentation or line end:
//   id=<id> class=<class> name="<name>" parent=<parentId>
std::string ActorDumpLine(const Actor &actor);

// The tree from actor 0, pre-order, children in list order, two blanks of
// indentation per depth; then, in id order, each table actor the walk did
// not reach, prefixed "orphan ". Every line ends with a line feed.
std::string DumpActorTree();
