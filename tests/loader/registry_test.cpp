// The 520-byte rule of every registry read, at its edges.

#include <string>

#include <gtest/gtest.h>

#include "fixture.h"
#include "loader/registry.h"

namespace loader_test {
namespace {

class RegistryReads : public LoaderTest {
protected:
    static constexpr wchar_t path[] = L"Software\\Microsoft\\EdgeUpdate\\CorvaneTest";
    void SetUp() override {
        LoaderTest::SetUp();
        writer.emplace(HKEY_CURRENT_USER, path);
        read_key = loader::open_key(HKEY_CURRENT_USER, path, KEY_QUERY_VALUE);
        ASSERT_TRUE(read_key);
    }
    void TearDown() override {
        read_key.reset();
        writer.reset();
        LoaderTest::TearDown();
    }
    RegistryKey& key() { return *writer; }

    std::optional<RegistryKey> writer;
    win32::UniqueHkey read_key;
};

TEST_F(RegistryReads, TextsUpTo259UnitsFit) {
    struct Row {
        std::size_t units;
        bool found;
    };
    for (const Row row :
         {Row{0, true}, Row{258, true}, Row{259, true}, Row{260, false}, Row{600, false}}) {
        const std::wstring text(row.units, L'v');
        key().text(L"value", text);
        const auto got = loader::get_string_value(read_key.get(), L"value");
        EXPECT_EQ(got.has_value(), row.found) << row.units;
        const auto raw = loader::query_value(read_key.get(), L"value");
        EXPECT_EQ(raw.has_value(), row.found) << row.units;
        if (row.found) {
            EXPECT_EQ(*got, text);
            EXPECT_EQ(raw->text, text);
            EXPECT_EQ(raw->bytes, (row.units + 1) * 2);
        }
    }
}

TEST_F(RegistryReads, RawReadsAreAlwaysTerminated) {
    const std::wstring full(260, L'u');
    key().raw(L"value", REG_SZ, full.data(), 520);  // fills the buffer, no terminator
    EXPECT_FALSE(loader::query_value(read_key.get(), L"value"));

    key().raw(L"value", REG_SZ, full.data(), 518);  // 259 units, no terminator
    auto raw = loader::query_value(read_key.get(), L"value");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->text, std::wstring(259, L'u'));

    key().raw(L"value", REG_SZ, L"ab", 3);  // an odd byte count
    raw = loader::query_value(read_key.get(), L"value");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->bytes, 3u);
    EXPECT_EQ(raw->text, L"a");

    key().raw(L"value", REG_SZ, nullptr, 0);
    raw = loader::query_value(read_key.get(), L"value");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->bytes, 0u);
    EXPECT_EQ(raw->text, L"");
}

TEST_F(RegistryReads, TypedReadsRefuseOtherTypes) {
    key().dword(L"number", 1).text(L"text", L"1");
    EXPECT_FALSE(loader::get_string_value(read_key.get(), L"number"));
    EXPECT_FALSE(loader::get_dword_value(read_key.get(), L"text"));
    EXPECT_EQ(loader::get_dword_value(read_key.get(), L"number"), DWORD{1});
    EXPECT_FALSE(loader::get_string_value(read_key.get(), L"absent"));
}

TEST_F(RegistryReads, AMissingKeyIsEmpty) {
    EXPECT_FALSE(loader::open_key(HKEY_CURRENT_USER, L"Software\\Corvane\\Absent", KEY_READ));
}

}  // namespace
}  // namespace loader_test
