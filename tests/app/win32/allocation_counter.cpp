#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> live{0};
std::atomic<bool> nothrow_fails{false};

void* allocate(std::size_t bytes) {
    if (void* block = std::malloc(bytes == 0 ? 1 : bytes)) {
        ++live;
        return block;
    }
    throw std::bad_alloc();
}

void release(void* block) noexcept {
    if (block) {
        --live;
        std::free(block);
    }
}

}  // namespace

void* operator new(std::size_t bytes) {
    return allocate(bytes);
}
void* operator new[](std::size_t bytes) {
    return allocate(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    if (nothrow_fails) {
        return nullptr;
    }
    try {
        return allocate(bytes);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    if (nothrow_fails) {
        return nullptr;
    }
    try {
        return allocate(bytes);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* block) noexcept {
    release(block);
}
void operator delete[](void* block) noexcept {
    release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    release(block);
}

namespace host_test {

long live_allocations() {
    return live.load();
}

void fail_nothrow_allocations(bool fail) {
    nothrow_fails = fail;
}

}  // namespace host_test
