// The generic owner: closes exactly once, on every path.
#include <gtest/gtest.h>

#include <vector>

#include "common/owners.h"
#ifdef _WIN32
#include "common/win_owners.h"
#endif

namespace {

std::vector<int> closed;

struct FakeTraits {
    using Type = int;
    static Type Empty() noexcept { return -1; }
    static void Close(Type value) noexcept { closed.push_back(value); }
};
using FakeOwner = UniqueOwner<FakeTraits>;

class OwnerTest : public ::testing::Test {
protected:
    void SetUp() override { closed.clear(); }
};

TEST_F(OwnerTest, ClosesOnDestructionOnly) {
    { FakeOwner owner(7); EXPECT_TRUE(closed.empty()); EXPECT_TRUE(owner); }
    EXPECT_EQ(closed, std::vector<int>{7});
    { FakeOwner empty; EXPECT_FALSE(empty); EXPECT_EQ(empty.get(), -1); }
    EXPECT_EQ(closed, std::vector<int>{7});
}

TEST_F(OwnerTest, MoveTransfersAndEmptiesTheSource) {
    FakeOwner a(1);
    FakeOwner b(std::move(a));
    EXPECT_FALSE(a);  // NOLINT(bugprone-use-after-move): the emptied source is under test
    EXPECT_EQ(b.get(), 1);
    FakeOwner c(2);
    c = std::move(b);  // 2 closes, 1 moves over
    EXPECT_EQ(closed, std::vector<int>{2});
    EXPECT_EQ(c.get(), 1);
    FakeOwner& alias = c;
    c = std::move(alias);  // self-move keeps the value
    EXPECT_EQ(c.get(), 1);
    EXPECT_EQ(closed, std::vector<int>{2});
}

TEST_F(OwnerTest, ResetReleaseAndPut) {
    FakeOwner owner(3);
    owner.reset(4);
    EXPECT_EQ(closed, std::vector<int>{3});
    EXPECT_EQ(owner.release(), 4);
    EXPECT_FALSE(owner);
    owner.reset(5);
    int* slot = owner.put();  // closes 5 first
    EXPECT_EQ(closed, (std::vector<int>{3, 5}));
    *slot = 6;
    EXPECT_EQ(owner.get(), 6);
    owner.reset();
    EXPECT_EQ(closed, (std::vector<int>{3, 5, 6}));
    owner.reset();  // empty: nothing to close
    EXPECT_EQ(closed.size(), 3u);
}

#ifdef _WIN32
// An owner that ends on a failure path leaves the failing call's code for the caller.
TEST(WinOwnerTest, ClosingKeepsTheLastError) {
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    SetLastError(ERROR_DISK_FULL);
    event.reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    {
        FileRemoval removal(L"C:\\no such folder\\no such file");  // the delete itself fails
        SetLastError(ERROR_WRITE_FAULT);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_FAULT));
}
#endif

}  // namespace
