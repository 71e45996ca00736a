// The list of an actor's children, in order. It reads as a vector of Actor
// pointers (indices, iterators, front and back). Beyond a few entries it also
// keeps an order key per entry, so that the first entry of a given actor is
// found without searching the list (RemoveFirst); what that takes out of the
// middle leaves a hole, closed by the next read of the entries in order, and
// what it takes from the front moves the list's start.
//
// Every entry counts on its actor (Actor::childEntries), so that an actor
// listed once, anywhere, is known to be; the actors listed must outlive
// their entries. An entry whose actor the table does not hold at its id may
// share that id with another entry: such entries are known from their
// listing, or from the table's setter when their slot is emptied later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

class Actor;

class ChildList {
  public:
    using value_type = Actor *;
    using size_type = size_t;
    using difference_type = std::ptrdiff_t;
    using reference = Actor *const &;
    using const_reference = Actor *const &;
    using iterator = Actor *const *;
    using const_iterator = Actor *const *;
    using reverse_iterator = std::reverse_iterator<const_iterator>;
    using const_reverse_iterator = reverse_iterator;

    ChildList() = default;
    ChildList(const ChildList &other);
    ChildList &operator=(const ChildList &other);
    ~ChildList();

    size_t size() const { return slots_.size() - Head() - (index_ ? index_->holes : 0); }
    bool empty() const { return slots_.size() == Head(); }
    // Neither end is ever a hole.
    Actor *front() const { return slots_[Head()]; }
    Actor *back() const { return slots_.back(); }

    const_iterator begin() const {
        CloseHoles();
        return slots_.data() + Head();
    }
    const_iterator end() const {
        CloseHoles();
        return slots_.data() + slots_.size();
    }
    reverse_iterator rbegin() const { return reverse_iterator(end()); }
    reverse_iterator rend() const { return reverse_iterator(begin()); }
    Actor *const &operator[](size_t i) const {
        CloseHoles();
        return slots_[Head() + i];
    }
    // Null past the end.
    Actor *const &at(size_t i) const;

    void push_back(Actor *actor);
    void pop_back();
    void clear();
    void reserve(size_t count);
    // As a vector's: the entries after it move up.
    const_iterator erase(const_iterator at);
    const_iterator erase(const_iterator first, const_iterator last);

    // Takes out the first entry that is the actor or, for an actor with an
    // id (0 or more), holds that id; false when no entry does.
    bool RemoveFirst(const Actor *actor);
    // The table's slot of a listed actor is being emptied (by
    // SetActorTableEntry) while lists keep it: an actor stored at that id
    // later shares the id with it, and until it has left every list a
    // removal by that id searches from the front.
    static void NoteSlotEmptied(Actor *actor);
    // Takes out every entry of the actor.
    void RemoveAll(const Actor *actor);
    // Takes out every entry the test picks; the others keep their order.
    void RemoveWhere(const std::function<bool(const Actor *)> &pick);

    operator std::vector<Actor *>() const { return std::vector<Actor *>(begin(), end()); }
    friend bool operator==(const ChildList &a, const ChildList &b);
    friend bool operator==(const ChildList &a, const std::vector<Actor *> &b);

  private:
    // What a long list keeps besides its slots. The order keys, one per
    // slot: a count that grows with each entry listed, shifted left twice,
    // with bit 1 set for an entry whose actor was not in the actor table at
    // its id when it was listed, and bit 0 for a hole. Slots before `head`
    // are unused, and `holes` counts the holes after it; a short list has
    // neither.
    struct Index {
        std::vector<uint64_t> keys;
        uint64_t next = 0;
        // Entries listed with bit 1 and not taken out yet.
        size_t strangers = 0;
        size_t head = 0;
        size_t holes = 0;
    };

    size_t Head() const { return index_ ? index_->head : 0; }
    void CloseHoles() const {
        if (index_ && index_->holes != 0) {
            Compact();
        }
    }
    // Moves the entries to the front of the slots, closing the holes.
    void Compact() const;
    void BuildIndex();
    uint64_t NewKey(const Actor *actor);
    // The entry's actor is no longer listed here.
    void Forget(size_t slot);
    // Takes out the entry in the slot.
    void Drop(size_t slot);
    // The number of entries before the slot.
    size_t Rank(size_t slot) const;
    void Reset();

    mutable std::vector<Actor *> slots_;
    std::unique_ptr<Index> index_;
};
