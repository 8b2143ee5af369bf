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

// g_hgu_strListStr matches exactly, g_hgu_strListStr0 without regard to case; neither takes a prefix.
TEST(StrList, ExactAndCaseFoldedMatches)
{
    char **l = make_list({"TR069", "INTERNET", "VOIP"});
    char **empty = make_list({});
    const struct {
        char **list;
        const char *item;
        int exact, folded;
    } rows[] = {
        {l, "Internet", 0, 1},  {l, "INTERNET", 1, 1}, {l, "INTERNE", 0, 0},
        {l, "INTERNETX", 0, 0}, {nullptr, "a", 0, 0},  {empty, "", 0, 0},
    };
    for (const auto &r : rows) {
        EXPECT_EQ(g_hgu_strListStr(r.list, r.item), r.exact) << r.item;
        EXPECT_EQ(g_hgu_strListStr0(r.list, r.item), r.folded) << r.item;
    }
    g_hgu_freeStrList(l);
    g_hgu_freeStrList(empty);
    g_hgu_freeStrList(nullptr);
}

TEST(StrList, ArrayOfStringsBecomesAnOwnedListAndEmptyANullOne)
{
    const char *items[] = {"a", "Bb", "", "ccc"};
    gw::VariantPtr v = gw::adopt_variant(g_variant_new_strv(items, 4));
    char **l = nullptr;
    ASSERT_EQ(4, var2value_strings(v.get(), &l));
    ASSERT_NE(nullptr, l);
    for (int i = 0; i < 4; ++i)
        EXPECT_STREQ(items[i], l[i]);
    EXPECT_EQ(nullptr, l[4]);
    g_hgu_freeStrList(l);

    gw::VariantPtr empty = gw::adopt_variant(g_variant_new_strv(nullptr, 0));
    l = reinterpret_cast<char **>(0x1);
    EXPECT_EQ(0, var2value_strings(empty.get(), &l));
    EXPECT_EQ(nullptr, l);
    char **untouched = nullptr;
    EXPECT_EQ(-1, var2value_strings(nullptr, &untouched));
    gw::VariantPtr wrong = gw::adopt_variant(g_variant_new_string("x"));
    EXPECT_EQ(-1, var2value_strings(wrong.get(), &untouched));
    EXPECT_EQ(nullptr, untouched);
}

}  // namespace
