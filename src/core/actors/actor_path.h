// Actor paths: how actors name each other in files, scripts and parameter
// blocks. A path is a list of names separated by '/'; ".." and "parent" step
// up to the parent, any other name down to the direct child of that name. A
// path that begins with '/' starts at the ActorSystem. Main thread only.
#pragma once

#include <string>
#include <string_view>

class Actor;

// The actor the path names, walked from start (the ActorSystem when start is
// null or the path begins with '/'). An empty segment names the child with
// the empty name ("a//b"), but for the one after a trailing '/': "" names
// start itself, "../" its parent and "/" the ActorSystem. Null when a step
// finds nothing.
Actor *FindActorByPath(std::string_view path, Actor *start);

// The path of actor seen from viewer: "" for the actor itself; with no
// viewer (or none in the same tree) the absolute path ("/" for the
// ActorSystem); otherwise "../" once per level from the viewer up to the
// nearest common ancestor, then the names down from it (an ancestor of the
// viewer gives "../", "../../", ...). A path whose last name is empty ends
// in "//" ("/Scenery//" for an unnamed child of Scenery), and one that would
// begin with an empty name is the absolute path. Empty for a null actor.
std::string ActorRelativePath(const Actor *actor, const Actor *viewer);

// Makes the two functions above the path resolver of parameter-block
// conversion and of actor links. InitActorSystem calls it.
void InstallActorPaths();
// Uninstalls them when they are the installed resolver.
void UninstallActorPaths();
