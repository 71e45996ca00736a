#include "core/actors/child_list.h"

#include <algorithm>

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

} // namespace

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
    return i < size() ? slots_[head_ + i] : kNoActor;
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
    for (size_t i = head_; i < slots_.size(); ++i) {
        index_->keys[i] = NewKey(slots_[i]);
        if (slots_[i] != nullptr) {
            slots_[i]->childKey = index_->keys[i];
        }
    }
}

void ChildList::Compact() const {
    size_t to = 0;
    for (size_t from = head_; from < slots_.size(); ++from) {
        if (index_ != nullptr && (index_->keys[from] & kHole) != 0) {
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
    head_ = 0;
    holes_ = 0;
}

void ChildList::Reset() {
    slots_.clear();
    head_ = 0;
    holes_ = 0;
    index_.reset();
}

void ChildList::push_back(Actor *actor) {
    // Slots freed at the front are taken back once they are half the list.
    if (head_ != 0 && head_ >= slots_.size() - head_) {
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
    }
    if (index_ != nullptr && (index_->keys[slot] & kStranger) != 0) {
        --index_->strangers;
    }
}

void ChildList::Drop(size_t slot) {
    Forget(slot);
    if (slot + 1 == slots_.size()) {
        slots_.pop_back();
        if (index_ != nullptr) {
            index_->keys.pop_back();
            while (holes_ != 0 && (index_->keys.back() & kHole) != 0) {
                slots_.pop_back();
                index_->keys.pop_back();
                --holes_;
            }
        }
    } else if (slot == head_) {
        ++head_;
        while (holes_ != 0 && (index_->keys[head_] & kHole) != 0) {
            ++head_;
            --holes_;
        }
    } else if (index_ != nullptr) {
        slots_[slot] = nullptr;
        index_->keys[slot] |= kHole;
        ++holes_;
    } else {
        // A short list closes up at once.
        slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(slot));
    }
    if (slots_.size() == head_) {
        Reset();
    }
}

void ChildList::pop_back() {
    if (!empty()) {
        Drop(slots_.size() - 1);
    }
}

void ChildList::clear() {
    for (size_t slot = head_; slot < slots_.size(); ++slot) {
        if (index_ == nullptr || (index_->keys[slot] & kHole) == 0) {
            Forget(slot);
        }
    }
    Reset();
}

void ChildList::reserve(size_t count) {
    slots_.reserve(head_ + count);
    if (index_ != nullptr) {
        index_->keys.reserve(head_ + count);
    }
}

size_t ChildList::Rank(size_t slot) const {
    if (holes_ == 0) {
        return slot - head_;
    }
    size_t rank = 0;
    for (size_t i = head_; i < slot; ++i) {
        rank += (index_->keys[i] & kHole) == 0 ? 1 : 0;
    }
    return rank;
}

ChildList::const_iterator ChildList::erase(const_iterator at) {
    return erase(at, at + 1);
}

ChildList::const_iterator ChildList::erase(const_iterator first, const_iterator last) {
    const size_t from = Rank(static_cast<size_t>(first - slots_.data()));
    const size_t to = Rank(static_cast<size_t>(last - slots_.data()));
    if (from >= to) {
        return begin() + from;
    }
    if (to - from == 1 && (from == 0 || to == size())) {
        // Either end: no entry moves.
        CloseHoles();
        Drop(head_ + from);
        return begin() + from;
    }
    CloseHoles();
    for (size_t slot = head_ + from; slot < head_ + to; ++slot) {
        Forget(slot);
    }
    const auto offset = [this](size_t rank) { return static_cast<std::ptrdiff_t>(head_ + rank); };
    slots_.erase(slots_.begin() + offset(from), slots_.begin() + offset(to));
    if (index_ != nullptr) {
        index_->keys.erase(index_->keys.begin() + offset(from), index_->keys.begin() + offset(to));
    }
    if (slots_.size() == head_) {
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
        (!byId || (index_->strangers == 0 && ActorTableEntry(actor->actorId) == actor))) {
        const auto keys = index_->keys.begin();
        const auto found = std::lower_bound(
            keys + static_cast<std::ptrdiff_t>(head_), index_->keys.end(), actor->childKey,
            [](uint64_t key, uint64_t wanted) { return Order(key) < Order(wanted); });
        const auto slot = static_cast<size_t>(found - keys);
        if (slot < slots_.size() && Order(*found) == Order(actor->childKey) &&
            (*found & kHole) == 0 && slots_[slot] == actor) {
            Drop(slot);
            return true;
        }
    }
    for (size_t slot = head_; slot < slots_.size(); ++slot) {
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
    size_t to = head_;
    for (size_t from = head_; from < slots_.size(); ++from) {
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
    if (slots_.size() == head_) {
        Reset();
    }
}

bool operator==(const ChildList &a, const ChildList &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

bool operator==(const ChildList &a, const std::vector<Actor *> &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}
