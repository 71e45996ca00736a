// PointerList: a doubly linked ring of pointers hung on a sentinel node, with
// a count. Appending and unlinking a node are O(1); duplicates are allowed.
//
// Whoever an entry stands for may keep the entry's node as a handle (the
// actors for the member and collider lists, the collision objects for the
// static lists): it passes its handle vector when appending, the node is
// recorded there, and unlinking the node or emptying the list takes it out
// of that vector again. A holder must outlive its entries or unlink them
// first (see Actor and ColObj). Main thread only.
//
// A walk that calls out for each entry, and must go on from an entry that
// what it called unlinked, holds the list: while it is held, an unlinked
// node leaves the list (its count, its holder's handles) but stays in the
// ring, marked by a null list, its links as they were; every other walk
// passes over such nodes, and the last hold to end frees them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

class PointerListBase;

struct PointerListNode {
    PointerListNode *next = nullptr;
    PointerListNode *prev = nullptr;
    void *item = nullptr;
    PointerListBase *list = nullptr;
    std::vector<PointerListNode *> *holder = nullptr;
};

// The handles an actor or a collision object keeps.
using PointerListHandles = std::vector<PointerListNode *>;

class PointerListBase {
  public:
    PointerListBase() {
        sentinel_.next = sentinel_.prev = &sentinel_;
        sentinel_.list = this;
    }
    PointerListBase(const PointerListBase &) = delete;
    PointerListBase &operator=(const PointerListBase &) = delete;
    virtual ~PointerListBase() {
        Clear();
        holds_ = 0;
        FreeUnlinked();
    }

    size_t Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    // Grows with every node appended or unlinked: whoever keeps something
    // built from the list knows by it whether the list changed since.
    uint64_t Changes() const { return changes_; }

    // Unlinks and frees the node (off its holder's handles too); null or a
    // node of another list is ignored.
    void Unlink(PointerListNode *node) {
        if (node == nullptr || node->list != this || node == &sentinel_) {
            return;
        }
        DropHandle(node);
        --count_;
        ++changes_;
        if (holds_ != 0) {
            node->list = nullptr;
            ++unlinkedHeld_;
            return;
        }
        node->prev->next = node->next;
        node->next->prev = node->prev;
        delete node;
    }

    // Unlinks the first node that holds the item; false when none does.
    bool UnlinkFirst(const void *item) {
        for (PointerListNode *n = Next(&sentinel_); n != &sentinel_; n = Next(n)) {
            if (n->item == item) {
                Unlink(n);
                return true;
            }
        }
        return false;
    }

    // Empties the list node by node, first to last.
    void Clear() {
        for (PointerListNode *n = Next(&sentinel_); n != &sentinel_;) {
            PointerListNode *next = Next(n);
            Unlink(n);
            n = next;
        }
    }

    const PointerListNode *First() const { return Next(&sentinel_); }
    const PointerListNode *End() const { return &sentinel_; }
    // The node after this one that is still in the list (End() at the end).
    static PointerListNode *Next(const PointerListNode *node) {
        PointerListNode *next = node->next;
        while (next->list == nullptr) {
            next = next->next;
        }
        return next;
    }

    void Hold() { ++holds_; }
    void Release() {
        if (holds_ != 0 && --holds_ == 0) {
            FreeUnlinked();
        }
    }
    // While the list is held: its first and last nodes, those unlinked
    // meanwhile included (End() when it has none).
    const PointerListNode *RingFirst() const { return sentinel_.next; }
    const PointerListNode *RingLast() const { return sentinel_.prev; }

    // The items in list order.
    std::vector<void *> RawItems() const {
        std::vector<void *> items;
        items.reserve(count_);
        for (const PointerListNode *n = First(); n != &sentinel_; n = Next(n)) {
            items.push_back(n->item);
        }
        return items;
    }

    bool ContainsRaw(const void *item) const {
        for (const PointerListNode *n = First(); n != &sentinel_; n = Next(n)) {
            if (n->item == item) {
                return true;
            }
        }
        return false;
    }

  protected:
    PointerListNode *AppendRaw(void *item, PointerListHandles *holder) {
        auto *node = new PointerListNode;
        node->item = item;
        node->list = this;
        node->holder = holder;
        node->prev = sentinel_.prev;
        node->next = &sentinel_;
        sentinel_.prev->next = node;
        sentinel_.prev = node;
        ++count_;
        ++changes_;
        if (holder != nullptr) {
            holder->push_back(node);
        }
        return node;
    }

  private:
    void FreeUnlinked() {
        if (unlinkedHeld_ == 0) {
            return;
        }
        for (PointerListNode *n = sentinel_.next; n != &sentinel_;) {
            PointerListNode *next = n->next;
            if (n->list == nullptr) {
                n->prev->next = next;
                next->prev = n->prev;
                delete n;
            }
            n = next;
        }
        unlinkedHeld_ = 0;
    }

    static void DropHandle(PointerListNode *node) {
        if (node->holder != nullptr) {
            auto it = std::find(node->holder->begin(), node->holder->end(), node);
            if (it != node->holder->end()) {
                node->holder->erase(it);
            }
        }
    }

    PointerListNode sentinel_;
    size_t count_ = 0;
    uint64_t changes_ = 0;
    uint32_t holds_ = 0;
    size_t unlinkedHeld_ = 0;
};

template <class T> class PointerList : public PointerListBase {
  public:
    // Walks the items in list order without copying them. The list must
    // not change while an iterator is in use (take Items() to change it on
    // the way).
    class Iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T *;
        using difference_type = std::ptrdiff_t;
        using pointer = T *const *;
        using reference = T *;

        Iterator() = default;
        explicit Iterator(const PointerListNode *node) : node_(node) {}
        T *operator*() const { return static_cast<T *>(node_->item); }
        Iterator &operator++() {
            node_ = Next(node_);
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            node_ = Next(node_);
            return before;
        }
        bool operator==(const Iterator &other) const = default;

      private:
        const PointerListNode *node_ = nullptr;
    };
    Iterator begin() const { return Iterator(First()); }
    Iterator end() const { return Iterator(End()); }

    // Appends at the end; the node is also recorded in `holder` when given.
    PointerListNode *Append(T *item, PointerListHandles *holder = nullptr) {
        return AppendRaw(item, holder);
    }

    // Empties this list, then appends every item of the other in its order
    // (without handles).
    void Assign(const PointerList &other) {
        if (&other == this) {
            return;
        }
        Clear();
        for (const PointerListNode *n = other.First(); n != other.End(); n = Next(n)) {
            Append(static_cast<T *>(n->item));
        }
    }

    std::vector<T *> Items() const {
        std::vector<T *> items;
        items.reserve(Count());
        for (const PointerListNode *n = First(); n != End(); n = Next(n)) {
            items.push_back(static_cast<T *>(n->item));
        }
        return items;
    }

    bool Contains(const T *item) const { return ContainsRaw(item); }
};

// Unlinks every node of the handles (each from its own list).
inline void UnlinkAllHandles(PointerListHandles &handles) {
    while (!handles.empty()) {
        PointerListNode *node = handles.back();
        if (node->list != nullptr) {
            node->list->Unlink(node); // erases it from `handles`
        } else {
            handles.pop_back();
        }
    }
}
