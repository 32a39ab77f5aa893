#include "string_tracker.h"

#include <mutex>
#include <new>
#include <unordered_set>

#include <objbase.h>

#include "call_log.h"

namespace fake_browser_view {
namespace {

// Watches frees without changing any allocation.
class FreeSpy final : public IMallocSpy {
public:
    void given(void* text) {
        std::lock_guard lock(mutex);
        outstanding.insert(text);
        ++counts.given;
    }
    StringCounts current() {
        std::lock_guard lock(mutex);
        return counts;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IMallocSpy) {
            *out = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the process
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T bytes) override { return bytes; }
    void* STDMETHODCALLTYPE PostAlloc(void* block) override {
        std::lock_guard lock(mutex);
        recently_freed.erase(block);  // the address is in use again
        return block;
    }
    void* STDMETHODCALLTYPE PreFree(void* block, BOOL) override {
        std::lock_guard lock(mutex);
        if (outstanding.erase(block) > 0) {
            ++counts.freed;
            recently_freed.insert(block);
        } else if (recently_freed.count(block) > 0) {
            ++counts.freed_twice;
        }
        return block;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T bytes, void** out, BOOL) override {
        *out = block;
        return bytes;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* block, BOOL) override { return block; }
    void* STDMETHODCALLTYPE PreGetSize(void* block, BOOL) override { return block; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T bytes, BOOL) override { return bytes; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* block, BOOL) override { return block; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int result) override { return result; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    std::mutex mutex;
    std::unordered_set<void*> outstanding;
    std::unordered_set<void*> recently_freed;
    StringCounts counts;
};

// Registered on first use and never destroyed: COM keeps calling it until the process ends.
FreeSpy& spy() {
    static FreeSpy& instance = []() -> FreeSpy& {
        auto* made = new FreeSpy;
        if (FAILED(CoRegisterMallocSpy(made))) {
            log_line("malloc spy not registered");
        }
        return *made;
    }();
    return instance;
}

}  // namespace

LPWSTR hand_out(const std::wstring& text) {
    FreeSpy& watcher = spy();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy == nullptr) {
        throw std::bad_alloc();
    }
    CopyMemory(copy, text.c_str(), bytes);
    watcher.given(copy);
    return copy;
}

StringCounts string_counts() {
    return spy().current();
}

}  // namespace fake_browser_view
