// String lists.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "gwbus/bus.h"
#include "gwbus/raii.hpp"

namespace {

char **make_list(std::initializer_list<const char *> items)
{
    auto **l = static_cast<char **>(std::calloc(items.size() + 1, sizeof(char *)));
    size_t i = 0;
    for (const char *s : items)
        l[i++] = strdup(s);
    return l;
}

TEST(StrList, CaseFoldingFindsWhatExactMatchDoesNot)
{
    char **l = make_list({"TR069", "INTERNET", "VOIP"});
    EXPECT_EQ(1, g_hgu_strListStr0(l, "Internet"));
    EXPECT_EQ(0, g_hgu_strListStr(l, "Internet"));
    EXPECT_EQ(1, g_hgu_strListStr(l, "INTERNET"));
    EXPECT_EQ(0, g_hgu_strListStr(l, "INTERNE"));
    EXPECT_EQ(0, g_hgu_strListStr0(l, "INTERNETX"));
    g_hgu_freeStrList(l);
}

TEST(StrList, NullAndEmptyListsHoldNothing)
{
    EXPECT_EQ(0, g_hgu_strListStr(nullptr, "a"));
    EXPECT_EQ(0, g_hgu_strListStr0(nullptr, "a"));
    char **empty = make_list({});
    EXPECT_EQ(0, g_hgu_strListStr(empty, ""));
    EXPECT_EQ(0, g_hgu_strListStr0(empty, ""));
    g_hgu_freeStrList(empty);
    g_hgu_freeStrList(nullptr);
}

TEST(StrList, ArrayOfStringsBecomesAnOwnedList)
{
    const char *items[] = {"a", "Bb", "", "ccc"};
    gw::VariantPtr v = gw::adopt_variant(g_variant_new_strv(items, 4));
    char **l = nullptr;
    ASSERT_EQ(4, var2value_strings(v.get(), &l));
    ASSERT_NE(nullptr, l);
    EXPECT_STREQ("a", l[0]);
    EXPECT_STREQ("Bb", l[1]);
    EXPECT_STREQ("", l[2]);
    EXPECT_STREQ("ccc", l[3]);
    EXPECT_EQ(nullptr, l[4]);
    g_hgu_freeStrList(l);
}

TEST(StrList, EmptyArrayGivesNullListAndBadInputGivesMinusOne)
{
    gw::VariantPtr empty = gw::adopt_variant(g_variant_new_strv(nullptr, 0));
    char **l = reinterpret_cast<char **>(0x1);
    EXPECT_EQ(0, var2value_strings(empty.get(), &l));
    EXPECT_EQ(nullptr, l);

    char **untouched = nullptr;
    EXPECT_EQ(-1, var2value_strings(nullptr, &untouched));
    gw::VariantPtr wrong = gw::adopt_variant(g_variant_new_string("x"));
    EXPECT_EQ(-1, var2value_strings(wrong.get(), &untouched));
    EXPECT_EQ(nullptr, untouched);
}

}  // namespace
