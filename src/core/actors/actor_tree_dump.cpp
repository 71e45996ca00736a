#include "core/actors/actor_tree_dump.h"

#include <unordered_set>
#include <utility>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_system.h"

std::string ActorDumpLine(const Actor &actor) {
    return "id=" + std::to_string(actor.actorId) + " class=" + std::to_string(actor.classId) +
           " name=\"" + actor.name + "\" parent=" + std::to_string(actor.parentId);
}

std::string DumpActorTree() {
    return DumpActorTree([](const Actor &actor, size_t) { return ActorDumpLine(actor) + '\n'; });
}

std::string DumpActorTree(const std::function<std::string(const Actor &, size_t)> &describe) {
    std::string text;
    std::unordered_set<const Actor *> seen;
    // Explicit stack of (actor, depth); children pushed in reverse so that
    // they come out in list order.
    std::vector<std::pair<const Actor *, size_t>> stack;
    if (const Actor *root = GetActorById(0)) {
        stack.emplace_back(root, 0);
    }
    while (!stack.empty()) {
        auto [actor, depth] = stack.back();
        stack.pop_back();
        if (!seen.insert(actor).second) {
            continue; // a cycle or a shared child is shown once
        }
        text.append(depth * 2, ' ');
        text += describe(*actor, depth * 2 + 2);
        for (auto it = actor->children.rbegin(); it != actor->children.rend(); ++it) {
            if (*it != nullptr) {
                stack.emplace_back(*it, depth + 1);
            }
        }
    }
    for (const Actor *actor : ActorTable) {
        if (actor != nullptr && seen.count(actor) == 0) {
            text += "orphan " + describe(*actor, 2);
        }
    }
    return text;
}
