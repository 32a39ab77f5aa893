#include <vector>

#include <gtest/gtest.h>

#include "win32/unique_handle.h"

#if defined(_WIN32)
#include "win32/com_ptr.h"
#endif

namespace win32 {
namespace {

std::vector<int> closed;
void close_number(int handle) {
    closed.push_back(handle);
}

using unique_number = UniqueHandle<int, close_number>;
using unique_minus_one = UniqueHandle<int, close_number, -1>;

TEST(UniqueHandle, ClosesExactlyOnceWhateverPathOwnershipTakes) {
    closed.clear();
    {
        unique_number a(1);
        unique_number b(std::move(a));
        EXPECT_FALSE(a);
        unique_number c(3);
        c = std::move(b);  // closes 3, takes 1
        *c.put() = 4;      // closes 1
        unique_number d(5);
        EXPECT_EQ(d.release(), 5);
        unique_number e;
        e.reset(6);
        e.reset();
    }
    EXPECT_EQ(closed, (std::vector<int>{3, 1, 6, 4}));
}

TEST(UniqueHandle, HonoursItsInvalidValue) {
    closed.clear();
    {
        unique_minus_one none;
        EXPECT_FALSE(none);
        EXPECT_EQ(none.get(), -1);
        unique_minus_one zero(0);
        EXPECT_TRUE(zero);
    }
    EXPECT_EQ(closed, std::vector<int>{0});
}

#if defined(_WIN32)
}  // namespace
}  // namespace win32

// An interface the counted object below lacks.
template <>
struct win32::InterfaceId<IClassFactory> {
    static const IID& value() { return IID_IClassFactory; }
};

namespace win32 {
namespace {

class Counted : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

TEST(ComPtr, BalancesReferences) {
    Counted object;
    {
        auto owner = ComPtr<IUnknown>::attach(&object);
        ComPtr<IUnknown> copy = owner;
        EXPECT_EQ(object.references, 2u);
        auto same = owner.try_query<IUnknown>();
        EXPECT_EQ(object.references, 3u);
        auto none = owner.try_query<IClassFactory>();
        EXPECT_FALSE(none);
        ComPtr<IUnknown> moved = std::move(copy);
        EXPECT_EQ(object.references, 3u);
    }
    EXPECT_EQ(object.references, 0u);
}
#endif

}  // namespace
}  // namespace win32
