#include "source/big_memory.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "source/customer_record.hpp"

namespace tessim {
namespace {

// A record as large as the real ones, with a default that is not all zero bytes: fresh
// mapped pages are zero, so a missing construction would show.
struct Row {
    std::uint32_t tag = 0xA5A5A5A5;
    std::uint64_t serial = 0;
    char payload[391] = {};
};
static_assert(sizeof(Row) >= 400);

Row row(std::uint64_t serial) {
    Row r;
    r.serial = serial;
    r.payload[0] = static_cast<char>(serial);
    r.payload[390] = static_cast<char>(serial >> 8);
    return r;
}

void expect_rows(const BigArray<Row>& rows, std::size_t n) {
    ASSERT_EQ(rows.size(), n);
    for (std::size_t i = 0; i < n; ++i) {
        const Row& r = rows[i];
        ASSERT_EQ(r.serial, i) << "at " << i;
        ASSERT_EQ(r.payload[0], static_cast<char>(i)) << "at " << i;
        ASSERT_EQ(r.payload[390], static_cast<char>(i >> 8)) << "at " << i;
        ASSERT_EQ(r.tag, 0xA5A5A5A5u) << "at " << i;
    }
}

TEST(BigArray, GrowthKeepsEveryElement) {
    // 40'000 rows are about 16 MiB: the array is grown a dozen times, from a small block
    // to one large enough to get a mapping of its own.
    BigArray<Row> rows;
    const std::size_t n = 40'000;
    for (std::size_t i = 0; i < n; ++i) rows.emplace_back(row(i));
    expect_rows(rows, n);
    EXPECT_EQ(rows.end() - rows.begin(), static_cast<std::ptrdiff_t>(n));
    std::uint64_t sum = 0;
    for (const Row& r : rows) sum += r.serial;
    EXPECT_EQ(sum, n * (n - 1) / 2);
}

TEST(BigArray, AppendingOneOfItsOwnElementsWhileGrowing) {
    // At each of these sizes the next append reallocates, from blocks small and large. The
    // argument points into the storage being replaced.
    for (std::size_t fill : {std::size_t{1}, std::size_t{4}, std::size_t{2000}}) {
        BigArray<Row> rows;
        for (std::size_t i = 0; i < fill; ++i) rows.emplace_back(row(i));
        while (rows.size() < rows.capacity()) rows.emplace_back(row(rows.size()));
        const std::size_t before = rows.size();
        rows.emplace_back(rows[0]);
        rows.emplace_back(rows[before - 1]);
        ASSERT_EQ(rows.size(), before + 2);
        EXPECT_EQ(rows[before].serial, 0u) << fill;
        EXPECT_EQ(rows[before + 1].serial, before - 1) << fill;
        EXPECT_EQ(rows[before + 1].payload[390], static_cast<char>((before - 1) >> 8)) << fill;
    }
}

TEST(BigArray, EmplaceConstructsNewElements) {
    for (std::size_t n : {std::size_t{3}, std::size_t{20'000}}) {
        BigArray<Row> rows;
        rows.emplace_back(row(7));
        for (std::size_t i = 1; i < n; ++i) {
            Row& fresh = rows.emplace_back();
            ASSERT_EQ(&fresh, &rows[i]) << i;
            ASSERT_EQ(fresh.tag, 0xA5A5A5A5u) << i;
            ASSERT_EQ(fresh.serial, 0u) << i;
        }
        EXPECT_EQ(rows[0].serial, 7u);
    }

    BigArray<CustomerRecord> records;
    records.emplace_back();
    EXPECT_TRUE(records.emplace_back()[nomeCliente].is_null());
}

TEST(BigArray, ReserveHoldsItsCapacityWithoutMoving) {
    BigArray<Row> small;
    small.reserve(3);
    EXPECT_EQ(small.capacity(), 3u);  // a small array is sized exactly, like a vector

    BigArray<Row> large;
    large.reserve(30'000);
    ASSERT_GE(large.capacity(), 30'000u);
    const Row* where = large.data();
    for (std::size_t i = 0; i < 30'000; ++i) large.emplace_back(row(i));
    EXPECT_EQ(large.data(), where);
    large.reserve(10);  // never shrinks
    EXPECT_EQ(large.data(), where);
    expect_rows(large, 30'000);
}

TEST(BigArray, MovesHandOverTheStorageAndLeaveAnEmptyUsableArray) {
    for (std::size_t n : {std::size_t{5}, std::size_t{10'000}}) {
        BigArray<Row> a;
        for (std::size_t i = 0; i < n; ++i) a.emplace_back(row(i));
        const Row* storage = a.data();

        BigArray<Row> b(std::move(a));
        EXPECT_EQ(b.data(), storage);
        expect_rows(b, n);
        EXPECT_EQ(a.size(), 0u);
        EXPECT_EQ(a.capacity(), 0u);
        a.emplace_back(row(0));  // the moved-from array starts over on its own storage
        EXPECT_NE(a.data(), storage);

        BigArray<Row> c;
        c.emplace_back(row(0));
        c.emplace_back(row(1));
        c = std::move(b);  // c's own two elements are released, b's taken over
        EXPECT_EQ(c.data(), storage);
        expect_rows(c, n);
        EXPECT_EQ(b.size(), 0u);
        expect_rows(a, 1);
    }
}

TEST(BigArray, ImpossibleSizesThrowBadAllocAndKeepTheContents) {
    BigArray<Row> rows;
    for (std::uint64_t i = 0; i < 3; ++i) rows.emplace_back(row(i));
    const std::size_t too_many = std::numeric_limits<std::size_t>::max() / sizeof(Row) + 1;
    EXPECT_THROW(rows.reserve(too_many), std::bad_alloc);
    // More than any address space.
    EXPECT_THROW(rows.reserve(std::size_t{1} << 56), std::bad_alloc);
    expect_rows(rows, 3);

    while (rows.size() < 10'000) rows.emplace_back();  // now a large block
    EXPECT_THROW(rows.reserve(std::size_t{1} << 56), std::bad_alloc);
    EXPECT_EQ(rows[2].serial, 2u);
    EXPECT_EQ(rows.emplace_back(row(5)).serial, 5u);
}

TEST(TextStore, BlocksGrowWithTheStoreAndKeepEveryView) {
    TextStore store;
    std::vector<std::string_view> views;
    std::size_t kept = 0;
    const std::string piece(1000, 'q');
    for (int i = 0; i < 40'000; ++i) {
        std::string text = std::to_string(i) + piece.substr(0, static_cast<std::size_t>(i % 997));
        views.emplace_back(store.keep(text));
        kept += text.size();
    }
    for (int i = 0; i < 40'000; ++i)
        ASSERT_EQ(views[static_cast<std::size_t>(i)],
                  std::to_string(i) + piece.substr(0, static_cast<std::size_t>(i % 997)))
            << i;
    // Each block as large as all before it: never much more than twice what is kept.
    EXPECT_GE(store.bytes_held(), kept);
    EXPECT_LE(store.bytes_held(), 2 * kept + (1 << 20));
}

}  // namespace
}  // namespace tessim
