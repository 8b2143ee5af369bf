// Key/value lookups, number formatting and address validation.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "gwbus/strutil.h"
#include "gwbus/util.h"
#include "gwtest.hpp"

namespace {

struct Freer {
    void operator()(char *p) const noexcept { std::free(p); }
};
using Owned = std::unique_ptr<char, Freer>;

std::string value_of(const char *key, const char *line)
{
    Owned v(get_buf_key_value(key, line));
    return v ? std::string(v.get()) : std::string("<null>");
}

TEST(TextLookup, KeyValueIsTrimmed)
{
    EXPECT_EQ(value_of("Version", "Version:  1.2.3 \r\n"), "1.2.3");
    EXPECT_EQ(value_of("Version", "Version::: :x y\n"), "x y");
    EXPECT_EQ(value_of("Package", "Package: demo"), "demo");
    EXPECT_EQ(value_of("Version", "Version:"), "<null>");
    EXPECT_EQ(value_of("Version", "Version:   \r\n"), "<null>");
    EXPECT_EQ(value_of("Version", "Package: demo\n"), "<null>");
    EXPECT_EQ(value_of(nullptr, "Version: 1"), "<null>");
    EXPECT_EQ(value_of("Version", nullptr), "<null>");
}

TEST(TextLookup, PrefixTest)
{
    EXPECT_EQ(string_strncmp("Ver", "Version: 1"), 1);
    EXPECT_EQ(string_strncmp("Version: 1", "Ver"), 0);
    EXPECT_EQ(string_strncmp("version", "Version"), 0);
    EXPECT_EQ(string_strncmp("", "anything"), 1);
    EXPECT_EQ(string_strncmp(nullptr, "x"), 0);
}

TEST(TextLookup, FileKeyValueUsesFirstMatchingLine)
{
    gwtest::TempRoot root;
    root.write("/opt/ctl", "Package: demo\nVersion: 1.2.3\r\nVersion: 9.9.9\n");
    char *raw = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(comm_get_file_kv(root.path("/opt/ctl").c_str(), "Version", &raw), 0);
    Owned v(raw);
    ASSERT_TRUE(v);
    EXPECT_STREQ(v.get(), "1.2.3");

    raw = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(comm_get_file_kv(root.path("/opt/ctl").c_str(), "Maintainer", &raw), -1);
    EXPECT_EQ(raw, nullptr);
    raw = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(comm_get_file_kv(root.path("/opt/none").c_str(), "Version", &raw), -1);
    EXPECT_EQ(raw, nullptr);
}

TEST(TextLookup, TailOfOverlongLineIsNotALine)
{
    gwtest::TempRoot root;
    // The 255-character read boundary falls exactly on "Version:" inside a description.
    std::string line = "Description: " + std::string(255 - 13, 'd') + "Version: 6.6.6\n";
    root.write("/opt/ctl", line + "Version: 1.0\n");
    char *raw = nullptr;
    EXPECT_EQ(comm_get_file_kv(root.path("/opt/ctl").c_str(), "Version", &raw), 0);
    Owned v(raw);
    ASSERT_TRUE(v);
    EXPECT_STREQ(v.get(), "1.0");
}

TEST(Numbers, Digit2strEveryType)
{
    char buf[64];
    uint8_t u8 = 255;
    int16_t i16 = -32768;
    uint16_t u16 = 65535;
    uint32_t u32 = 4294967295u;
    int32_t i32 = INT32_MIN;
    int64_t i64 = INT64_MIN;
    uint64_t u64 = UINT64_MAX;
    EXPECT_STREQ(digit2str(&u8, 0, buf, sizeof buf), "255");
    EXPECT_STREQ(digit2str(&u8, 1, buf, sizeof buf), "255");
    EXPECT_STREQ(digit2str(&i16, 2, buf, sizeof buf), "-32768");
    EXPECT_STREQ(digit2str(&u16, 3, buf, sizeof buf), "65535");
    EXPECT_STREQ(digit2str(&u32, 4, buf, sizeof buf), "4294967295");
    EXPECT_STREQ(digit2str(&i32, 5, buf, sizeof buf), "-2147483648");
    EXPECT_STREQ(digit2str(&i64, 6, buf, sizeof buf), "-9223372036854775808");
    EXPECT_STREQ(digit2str(&u64, 7, buf, sizeof buf), "18446744073709551615");
    EXPECT_STREQ(digit2str(&u64, 8, buf, sizeof buf), "0");
    EXPECT_STREQ(digit2str(&u64, -1, buf, sizeof buf), "0");
    EXPECT_EQ(digit2str(nullptr, 4, buf, sizeof buf), nullptr);
}

TEST(Numbers, Digit2strBuffers)
{
    uint32_t big = 123456;
    char small[4];
    EXPECT_STREQ(digit2str(&big, 4, small, sizeof small), "123");
    uint8_t one = 7;
    char *shared = digit2str(&big, 4, nullptr, 0);
    ASSERT_NE(shared, nullptr);
    EXPECT_STREQ(shared, "123456");
    // The static buffer is cleared before each use, so a shorter number leaves no tail behind.
    EXPECT_EQ(digit2str(&one, 1, nullptr, 0), shared);
    EXPECT_STREQ(shared, "7");
    EXPECT_EQ(shared[2], '\0');
}

TEST(Numbers, IsDigitStr)
{
    EXPECT_EQ(isdigitStr("0123456789", 10), 0);
    EXPECT_EQ(isdigitStr("12a", 10), -1);
    EXPECT_EQ(isdigitStr("DeadBeef09", 16), 0);
    EXPECT_EQ(isdigitStr("0x1f", 16), -1);
    EXPECT_EQ(isdigitStr("", 10), -1);
    EXPECT_EQ(isdigitStr(nullptr, 10), -1);
    EXPECT_EQ(isdigitStr("17", 8), -1);
    EXPECT_EQ(isdigitStr("-1", 10), -1);
}

TEST(Addresses, Ipv4)
{
    for (const char *ok : {"10.0.0.1", "255.255.255.255", "0.0.0.0", "192.168.001.010"})
        EXPECT_EQ(is_valid_ipaddr(ok), 1) << ok;
    for (const char *bad : {"10.0.0", "10.0.0.256", "1.2.3.4.5", "10..0.1", ".1.2.3", "1.2.3.", "a.b.c.d", "",
                            "1.2.3.4 ", " 1.2.3.4", "1.2.3.-4", "99999999999.1.1.1", "1.2.3.4/24"})
        EXPECT_EQ(is_valid_ipaddr(bad), 0) << bad;
    EXPECT_EQ(is_valid_ipaddr(nullptr), 0);
}

TEST(Addresses, Ipv6)
{
    // Only the three texts are refused, not every spelling of the unspecified or loopback address.
    for (const char *ok :
         {"fe80::1", "2001:db8::8a2e:370:7334", "::ffff:10.0.0.1", "1::", "::0", "0::0", "0:0:0:0:0:0:0:1"})
        EXPECT_EQ(is_valid_ipv6(ok), 1) << ok;
    for (const char *bad : {"::", "::1", "0:0:0:0:0:0:0:0", "10.0.0.1", "fe80::1::2", "fe80::1%eth0", "", "gggg::1"})
        EXPECT_EQ(is_valid_ipv6(bad), 0) << bad;
    EXPECT_EQ(is_valid_ipv6(nullptr), 0);
}

}  // namespace

TEST(TextCut, Utf8CutDropsASplitCharacterWholeAndKeepsWholeOnes)
{
    const struct {
        size_t size;
        const char *src;
        const char *kept;
    } rows[] = {
        {4, "ab\xC3\xA9", "ab"},          // two-byte é split after its first byte
        {5, "ab\xC3\xA9", "ab\xC3\xA9"},  // fits whole
        {5,
         "a\xE2\x82\xAC"
         "b",
         "a\xE2\x82\xAC"},            // three-byte € whole, b cut
        {4, "a\xE2\x82\xAC", "a"},    // € split after two bytes
        {4, "\xF0\x9F\x98\x80", ""},  // four-byte character split after three bytes
        {4, "abcdef", "abc"},         // plain text cut as copy_truncated does
        {1, "\xC3\xA9", ""},
    };
    for (const auto &row : rows) {
        char dst[8];
        std::memset(dst, 'x', sizeof dst);
        EXPECT_STREQ(copy_truncated_utf8(dst, row.size, row.src), row.kept) << row.src << " in " << row.size;
    }
    char already_cut[] = "ab\xE2\x82";
    EXPECT_STREQ(trim_partial_utf8(already_cut), "ab");
    char whole[] = "ab\xE2\x82\xAC";
    EXPECT_STREQ(trim_partial_utf8(whole), "ab\xE2\x82\xAC");
}
