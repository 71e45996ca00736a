// A pool of small fixed-size records for per-frame work.
//
// Elements come from blocks of 256; a block is added only when no element is
// free, so once the pool has grown to its working size taking and giving
// back never touch the general heap. Elements are handed out zeroed and may
// be given back in any order; memory goes back to the system only when the
// pool is destroyed. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class ObjectPool {
  public:
    static constexpr size_t kElementsPerBlock = 256;
    static constexpr size_t kMaxBlocks = 2048;
    static constexpr size_t kDefaultElementSize = 12;

    explicit ObjectPool(size_t elementSize = kDefaultElementSize);
    ~ObjectPool();
    ObjectPool(const ObjectPool &) = delete;
    ObjectPool &operator=(const ObjectPool &) = delete;

    // A zeroed element. When none is free a block is added first; when all
    // blocks are in use the program stops with "object pool exhausted" on
    // stderr (there is no element to hand out).
    void *Take();
    // Puts an element taken from this pool back on the free list. The
    // element must not be given back twice.
    void GiveBack(void *element);
    // Adds a block of 256 elements and makes them the free list (the old
    // free list is empty whenever this is needed). False with 2048 blocks.
    bool AddBlock();

    size_t elementSize() const { return elementSize_; }
    size_t blockCount() const { return blockCount_; }
    size_t freeCount() const { return freeCount_; }

  private:
    size_t elementSize_;
    std::unique_ptr<std::unique_ptr<uint8_t[]>[]> blocks_; // room for kMaxBlocks
    size_t blockCount_ = 0;
    std::unique_ptr<void *[]> freeList_; // room for blockCount_ x 256 entries
    size_t freeCount_ = 0;
};

// The process-wide pool of 12-byte elements.
ObjectPool &GlobalObjectPool();
