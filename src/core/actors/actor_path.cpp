#include "core/actors/actor_path.h"

#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/param_convert.h"

namespace {

class TreePathResolver final : public ActorPathResolver {
  public:
    Actor *FindActorByPath(std::string_view path, Actor *context) const override {
        return ::FindActorByPath(path, context);
    }
    std::string ActorRelativePath(Actor *actor, Actor *context) const override {
        return ::ActorRelativePath(actor, context);
    }
};

const TreePathResolver g_resolver;

// The actor and its ancestors, the actor first.
std::vector<const Actor *> Chain(const Actor *actor) {
    std::vector<const Actor *> chain;
    for (const Actor *a = actor; a != nullptr; a = a->parent) {
        chain.push_back(a);
        if (chain.size() > ActorTable.size() + 1) {
            break; // a broken tree with a cycle; never loop forever
        }
    }
    return chain;
}

// Names of chain[0..count) from the outermost down, joined by '/'. An
// empty last name gets a '/' after it, since the segment after a trailing
// '/' names nothing.
void AppendNamesDown(std::string &out, const std::vector<const Actor *> &chain, size_t count) {
    for (size_t i = count; i-- > 0;) {
        out += chain[i]->name;
        if (i != 0 || chain[i]->name.empty()) {
            out += '/';
        }
    }
}

std::string AbsolutePath(const Actor *actor) {
    std::vector<const Actor *> chain = Chain(actor);
    // Everything below the outermost ancestor (the ActorSystem in a whole
    // tree).
    size_t count = chain.size() - 1;
    if (count == 0) {
        return "/";
    }
    std::string out = "/";
    AppendNamesDown(out, chain, count);
    return out;
}

} // namespace

Actor *FindActorByPath(std::string_view path, Actor *start) {
    Actor *current = start;
    if (current == nullptr || (!path.empty() && path.front() == '/')) {
        current = GetActorSystem();
    }
    if (!path.empty() && path.front() == '/') {
        path.remove_prefix(1);
    }
    // Every segment counts, an empty one too (the child with the empty
    // name), but for the one after a trailing '/' (or the empty path).
    size_t pos = 0;
    while (current != nullptr && pos < path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string_view::npos) {
            slash = path.size();
        }
        std::string_view segment = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (segment == ".." || segment == "parent") {
            current = current->parent;
        } else {
            std::string name(segment);
            current = FindChildByName(current, name.c_str());
        }
    }
    return current;
}

std::string ActorRelativePath(const Actor *actor, const Actor *viewer) {
    if (actor == nullptr) {
        return {};
    }
    if (actor == viewer) {
        return {};
    }
    if (viewer == nullptr) {
        return AbsolutePath(actor);
    }
    std::vector<const Actor *> mine = Chain(actor);
    std::vector<const Actor *> theirs = Chain(viewer);
    // Walk both chains from the outermost ancestor down while they agree.
    size_t common = 0;
    while (common < mine.size() && common < theirs.size() &&
           mine[mine.size() - 1 - common] == theirs[theirs.size() - 1 - common]) {
        ++common;
    }
    if (common == 0) {
        return AbsolutePath(actor);
    }
    const size_t up = theirs.size() - common;
    const size_t down = mine.size() - common;
    // A path that began with an empty name would read as one from the top.
    if (up == 0 && mine[down - 1]->name.empty()) {
        return AbsolutePath(actor);
    }
    std::string out;
    for (size_t i = 0; i < up; ++i) {
        out += "../";
    }
    AppendNamesDown(out, mine, down);
    return out;
}

void InstallActorPaths() { InstallActorPathResolver(&g_resolver); }

void UninstallActorPaths() {
    if (GetActorPathResolver() == &g_resolver) {
        InstallActorPathResolver(nullptr);
    }
}
