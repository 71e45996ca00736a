#include "base/object_pool.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

ObjectPool::ObjectPool(size_t elementSize)
    : elementSize_(elementSize == 0 ? 1 : elementSize),
      blocks_(std::make_unique<std::unique_ptr<uint8_t[]>[]>(kMaxBlocks)) {}

ObjectPool::~ObjectPool() = default;

bool ObjectPool::AddBlock() {
    if (blockCount_ >= kMaxBlocks) {
        return false;
    }
    auto block = std::make_unique<uint8_t[]>(elementSize_ * kElementsPerBlock);
    uint8_t *first = block.get();
    blocks_[blockCount_++] = std::move(block);

    // Room for every element in existence, so GiveBack never grows the list.
    freeList_ = std::make_unique<void *[]>(blockCount_ * kElementsPerBlock);
    for (size_t i = 0; i < kElementsPerBlock; ++i) {
        freeList_[i] = first + i * elementSize_;
    }
    freeCount_ = kElementsPerBlock;
    return true;
}

void *ObjectPool::Take() {
    if (freeCount_ == 0 && !AddBlock()) {
        std::fputs("object pool exhausted\n", stderr);
        std::abort();
    }
    void *element = freeList_[--freeCount_];
    std::memset(element, 0, elementSize_);
    return element;
}

void ObjectPool::GiveBack(void *element) {
    if (element == nullptr || freeCount_ >= blockCount_ * kElementsPerBlock) {
        return; // nothing to keep, or more back than ever handed out
    }
    freeList_[freeCount_++] = element;
}

ObjectPool &GlobalObjectPool() {
    static ObjectPool pool;
    return pool;
}
