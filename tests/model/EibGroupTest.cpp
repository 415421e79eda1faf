#include "model/EibGroup.h"
#include "model/Error.h"

#include <gtest/gtest.h>

using namespace zelo;

namespace {

class NotAGroup : public TPersistent {};

TEibGroup Group(int type, int access, std::uint16_t start, std::uint16_t end) {
    TEibGroup g;
    g.DatapointType = static_cast<std::int8_t>(type);
    g.AccessType = static_cast<std::uint8_t>(access);
    g.StartAddress = start;
    g.EndAddress = end;
    return g;
}

void ExpectEqual(const TEibGroup& a, const TEibGroup& b) {
    EXPECT_EQ(a.DatapointType, b.DatapointType);
    EXPECT_EQ(a.AccessType, b.AccessType);
    EXPECT_EQ(a.StartAddress, b.StartAddress);
    EXPECT_EQ(a.EndAddress, b.EndAddress);
}

} // namespace

TEST(group, ConstructionValuesAndAccessText) {
    TEibGroup g;
    ExpectEqual(g, Group(0, 2, 0, 0));
    const char* texts[] = {"R", "W", "RW", "", ""};
    for (int access = 0; access < 5; ++access) {
        g.AccessType = static_cast<std::uint8_t>(access);
        EXPECT_EQ(g.AccessText(), texts[access]);
    }
    for (int access = 0; access < 3; ++access)
        EXPECT_EQ(AccessTypeFromText(texts[access]), access);
    for (const char* bad : {"", "rw", "WR", "RW ", "X"})
        EXPECT_EQ(AccessTypeFromText(bad), -1) << bad;
}

TEST(group, AssignCopiesFromGroupsOnly) {
    TEibGroup target = Group(3, 1, 10, 20);
    target.Assign(NotAGroup{});
    ExpectEqual(target, Group(3, 1, 10, 20));
    target.Assign(Group(11, 0, 100, 200));
    ExpectEqual(target, Group(11, 0, 100, 200));
}

TEST(groups, LimitOf32768) {
    TEibGroups table(32768);
    for (int i = 0; i < 32768; ++i)
        table.Add().StartAddress = static_cast<std::uint16_t>(i);
    EXPECT_EQ(table.Count(), 32768);
    try {
        table.Add();
        FAIL() << "Add beyond MaxCount must raise";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "No more configuration allowed!");
    }
    EXPECT_THROW(table.AddCopy(TEibGroup{}), Exception);
    EXPECT_EQ(table.Count(), 32768);
    EXPECT_EQ(table.Items(32767).StartAddress, 32767);
}

TEST(groups, AddCopyAndAddCopiesKeepOrder) {
    TEibGroups a(10), b(10);
    a.AddCopies(b);
    EXPECT_EQ(a.Count(), 0);
    ExpectEqual(a.AddCopy(Group(5, 0, 1, 2)), Group(5, 0, 1, 2));
    b.AddCopy(Group(1, 1, 3, 3));
    b.AddCopy(Group(2, 2, 4, 9));
    a.AddCopies(b);
    ASSERT_EQ(a.Count(), 3);
    ExpectEqual(a.Items(0), Group(5, 0, 1, 2));
    ExpectEqual(a.Items(1), Group(1, 1, 3, 3));
    ExpectEqual(a.Items(2), Group(2, 2, 4, 9));
    EXPECT_NE(&a.Items(1), &b.Items(0)) << "copies, not shared entries";
}

TEST(groups, AddCopiesStopsAtTheLimitKeepingWhatFit) {
    TEibGroups small(3), big(10);
    small.Add();
    for (int i = 0; i < 5; ++i)
        big.AddCopy(Group(1, 2, static_cast<std::uint16_t>(i), 0));
    EXPECT_THROW(small.AddCopies(big), Exception);
    ASSERT_EQ(small.Count(), 3);
    EXPECT_EQ(small.Items(2).StartAddress, 1);
}

TEST(groups, DeleteClearAndIndexErrors) {
    TEibGroups t(10);
    t.Clear();
    EXPECT_EQ(t.Count(), 0);
    for (int i = 0; i < 3; ++i)
        t.AddCopy(Group(i, 2, static_cast<std::uint16_t>(i), 0));
    TEibGroup* second = &t.Items(1);
    t.Delete(0);
    ASSERT_EQ(t.Count(), 2);
    EXPECT_EQ(&t.Items(0), second);
    EXPECT_EQ(t.Items(1).DatapointType, 2);
    for (int bad : {-1, 2, 100}) {
        EXPECT_THROW(t.Items(bad), EListError);
        EXPECT_THROW(t.Delete(bad), EListError);
    }
    EXPECT_EQ(t.Count(), 2);
    t.Clear();
    EXPECT_EQ(t.Count(), 0);
    EXPECT_THROW(t.Items(0), EListError);
}
