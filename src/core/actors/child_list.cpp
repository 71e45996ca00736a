#include "core/actors/child_list.h"

#include <algorithm>
#include <unordered_map>

#include "core/actors/actor.h"
#include "core/actors/actor_system.h"

namespace {

// Lists longer than this keep order keys.
constexpr size_t kIndexedFrom = 32;

constexpr uint64_t kHole = 1;
constexpr uint64_t kStranger = 2;

Actor *const kNoActor = nullptr;

// An actor the table does not hold at its id may share that id with the
// actor the table holds.
bool Stranger(const Actor *actor) {
    return actor != nullptr && actor->actorId >= 0 && ActorTableEntry(actor->actorId) != actor;
}

uint64_t Order(uint64_t key) { return key >> 2; }

// Listed actors whose slot was emptied while they stayed listed, by the id
// they had then.
std::unordered_multimap<int32_t, const Actor *> g_slotEmptied;

bool SlotEmptiedAt(int32_t id) { return !g_slotEmptied.empty() && g_slotEmptied.count(id) != 0; }

// The noted actor has left every list.
void ForgetSlotEmptied(Actor *actor) {
    actor->childSlotEmptied = false;
    const auto mine = [actor](const auto &entry) { return entry.second == actor; };
    auto [at, end] = g_slotEmptied.equal_range(actor->actorId);
    at = std::find_if(at, end, mine);
    if (at == end) {
        // Its id changed since.
        at = std::find_if(g_slotEmptied.begin(), g_slotEmptied.end(), mine);
    }
    if (at != g_slotEmptied.end()) {
        g_slotEmptied.erase(at);
    }
}

} // namespace

void ChildList::NoteSlotEmptied(Actor *actor) {
    if (actor == nullptr || actor->childEntries == 0 || actor->childSlotEmptied ||
        actor->actorId < 0 || ActorTableEntry(actor->actorId) != actor) {
        return;
    }
    actor->childSlotEmptied = true;
    g_slotEmptied.emplace(actor->actorId, actor);
}

ChildList::ChildList(const ChildList &other) {
    for (Actor *actor : other) {
        push_back(actor);
    }
}

ChildList &ChildList::operator=(const ChildList &other) {
    if (this != &other) {
        const std::vector<Actor *> entries = other;
        clear();
        for (Actor *actor : entries) {
            push_back(actor);
        }
    }
    return *this;
}

ChildList::~ChildList() { clear(); }

Actor *const &ChildList::at(size_t i) const {
    CloseHoles();
    return i < size() ? slots_[Head() + i] : kNoActor;
}

uint64_t ChildList::NewKey(const Actor *actor) {
    uint64_t key = index_->next++ << 2;
    if (Stranger(actor)) {
        key |= kStranger;
        ++index_->strangers;
    }
    return key;
}

void ChildList::BuildIndex() {
    index_ = std::make_unique<Index>();
    index_->keys.assign(slots_.size(), 0);
    for (size_t i = 0; i < slots_.size(); ++i) {
        index_->keys[i] = NewKey(slots_[i]);
        if (slots_[i] != nullptr) {
            slots_[i]->childKey = index_->keys[i];
        }
    }
}

void ChildList::Compact() const {
    if (index_ == nullptr) {
        return;
    }
    std::vector<uint64_t> &keys = index_->keys;
    size_t to = 0;
    for (size_t from = index_->head; from < slots_.size(); ++from) {
        if ((keys[from] & kHole) != 0) {
            continue;
        }
        slots_[to] = slots_[from];
        keys[to] = keys[from];
        ++to;
    }
    slots_.resize(to);
    keys.resize(to);
    index_->head = 0;
    index_->holes = 0;
}

void ChildList::Reset() {
    slots_.clear();
    index_.reset();
}

void ChildList::push_back(Actor *actor) {
    // Slots freed at the front are taken back once they are half the list.
    if (index_ != nullptr && index_->head != 0 && index_->head >= slots_.size() - index_->head) {
        Compact();
    }
    slots_.push_back(actor);
    if (actor != nullptr) {
        ++actor->childEntries;
    }
    if (index_ != nullptr) {
        const uint64_t key = NewKey(actor);
        index_->keys.push_back(key);
        if (actor != nullptr) {
            actor->childKey = key;
        }
    } else if (size() > kIndexedFrom) {
        BuildIndex();
    }
}

void ChildList::Forget(size_t slot) {
    Actor *actor = slots_[slot];
    if (actor != nullptr && actor->childEntries > 0) {
        --actor->childEntries;
        if (actor->childEntries == 0 && actor->childSlotEmptied) {
            ForgetSlotEmptied(actor);
        }
    }
    if (index_ != nullptr && (index_->keys[slot] & kStranger) != 0) {
        --index_->strangers;
    }
}

void ChildList::Drop(size_t slot) {
    Forget(slot);
    if (index_ == nullptr) {
        // A short list closes up at once.
        slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(slot));
        return;
    }
    Index &index = *index_;
    if (slot + 1 == slots_.size()) {
        slots_.pop_back();
        index.keys.pop_back();
        while (index.holes != 0 && (index.keys.back() & kHole) != 0) {
            slots_.pop_back();
            index.keys.pop_back();
            --index.holes;
        }
    } else if (slot == index.head) {
        ++index.head;
        while (index.holes != 0 && (index.keys[index.head] & kHole) != 0) {
            ++index.head;
            --index.holes;
        }
    } else {
        slots_[slot] = nullptr;
        index.keys[slot] |= kHole;
        ++index.holes;
    }
    if (slots_.size() == index.head) {
        Reset();
    }
}

void ChildList::pop_back() {
    if (!empty()) {
        Drop(slots_.size() - 1);
    }
}

void ChildList::clear() {
    for (size_t slot = Head(); slot < slots_.size(); ++slot) {
        if (index_ == nullptr || (index_->keys[slot] & kHole) == 0) {
            Forget(slot);
        }
    }
    Reset();
}

void ChildList::reserve(size_t count) {
    slots_.reserve(Head() + count);
    if (index_ != nullptr) {
        index_->keys.reserve(Head() + count);
    }
}

size_t ChildList::Rank(size_t slot) const {
    if (index_ == nullptr || index_->holes == 0) {
        return slot - Head();
    }
    size_t rank = 0;
    for (size_t i = index_->head; i < slot; ++i) {
        rank += (index_->keys[i] & kHole) == 0 ? 1 : 0;
    }
    return rank;
}

ChildList::const_iterator ChildList::erase(const_iterator at) { return erase(at, at + 1); }

ChildList::const_iterator ChildList::erase(const_iterator first, const_iterator last) {
    const size_t from = Rank(static_cast<size_t>(first - slots_.data()));
    const size_t to = Rank(static_cast<size_t>(last - slots_.data()));
    if (from >= to) {
        return begin() + from;
    }
    CloseHoles();
    if (to - from == 1 && (from == 0 || to == size())) {
        // Either end: no entry moves in a long list.
        Drop(Head() + from);
        return begin() + from;
    }
    const size_t head = Head();
    for (size_t slot = head + from; slot < head + to; ++slot) {
        Forget(slot);
    }
    const auto offset = [head](size_t rank) { return static_cast<std::ptrdiff_t>(head + rank); };
    slots_.erase(slots_.begin() + offset(from), slots_.begin() + offset(to));
    if (index_ != nullptr) {
        index_->keys.erase(index_->keys.begin() + offset(from), index_->keys.begin() + offset(to));
    }
    if (slots_.size() == head) {
        Reset();
    }
    return begin() + from;
}

bool ChildList::RemoveFirst(const Actor *actor) {
    if (actor == nullptr) {
        return false;
    }
    const bool byId = actor->actorId >= 0;
    // Listed once, anywhere, with no other actor in the list that may hold
    // its id: the entry its key names is the first one.
    if (index_ != nullptr && actor->childEntries == 1 &&
        (!byId || (index_->strangers == 0 && ActorTableEntry(actor->actorId) == actor &&
                   !SlotEmptiedAt(actor->actorId)))) {
        const auto keys = index_->keys.begin();
        const auto found = std::lower_bound(
            keys + static_cast<std::ptrdiff_t>(index_->head), index_->keys.end(), actor->childKey,
            [](uint64_t key, uint64_t wanted) { return Order(key) < Order(wanted); });
        const auto slot = static_cast<size_t>(found - keys);
        if (slot < slots_.size() && Order(*found) == Order(actor->childKey) &&
            (*found & kHole) == 0 && slots_[slot] == actor) {
            Drop(slot);
            return true;
        }
    }
    for (size_t slot = Head(); slot < slots_.size(); ++slot) {
        if (index_ != nullptr && (index_->keys[slot] & kHole) != 0) {
            continue;
        }
        const Actor *child = slots_[slot];
        if (child == actor || (byId && child != nullptr && child->actorId == actor->actorId)) {
            Drop(slot);
            return true;
        }
    }
    return false;
}

void ChildList::RemoveAll(const Actor *actor) {
    RemoveWhere([actor](const Actor *child) { return child == actor; });
}

void ChildList::RemoveWhere(const std::function<bool(const Actor *)> &pick) {
    CloseHoles();
    const size_t head = Head();
    size_t to = head;
    for (size_t from = head; from < slots_.size(); ++from) {
        if (pick(slots_[from])) {
            Forget(from);
            continue;
        }
        slots_[to] = slots_[from];
        if (index_ != nullptr) {
            index_->keys[to] = index_->keys[from];
        }
        ++to;
    }
    slots_.resize(to);
    if (index_ != nullptr) {
        index_->keys.resize(to);
    }
    if (slots_.size() == head) {
        Reset();
    }
}

bool operator==(const ChildList &a, const ChildList &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

bool operator==(const ChildList &a, const std::vector<Actor *> &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}
