// Number formatting and address validation.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <cctype>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "gwbus/util.h"

namespace {
char s_digit_buf[128];
}

extern "C" {

char *digit2str(const void *value, int type, char *buf, size_t size)
{
    if (!value)
        return nullptr;
    if (!buf) {
        buf = s_digit_buf;
        size = sizeof s_digit_buf;
        std::memset(buf, 0, size);
    }
    if (size == 0)
        return buf;
    switch (type) {
    case DIGIT_TYPE_UINT8_D:
        std::snprintf(buf, size, "%d", *static_cast<const uint8_t *>(value));
        break;
    case DIGIT_TYPE_UINT8:
        std::snprintf(buf, size, "%u", *static_cast<const uint8_t *>(value));
        break;
    case DIGIT_TYPE_INT16:
        std::snprintf(buf, size, "%d", *static_cast<const int16_t *>(value));
        break;
    case DIGIT_TYPE_UINT16:
        std::snprintf(buf, size, "%u", *static_cast<const uint16_t *>(value));
        break;
    case DIGIT_TYPE_UINT32:
        std::snprintf(buf, size, "%" PRIu32, *static_cast<const uint32_t *>(value));
        break;
    case DIGIT_TYPE_INT32:
        std::snprintf(buf, size, "%" PRId32, *static_cast<const int32_t *>(value));
        break;
    case DIGIT_TYPE_INT64:
        std::snprintf(buf, size, "%lld", static_cast<long long>(*static_cast<const int64_t *>(value)));
        break;
    case DIGIT_TYPE_UINT64:
        std::snprintf(buf, size, "%llu", static_cast<unsigned long long>(*static_cast<const uint64_t *>(value)));
        break;
    default:
        std::snprintf(buf, size, "0");
        break;
    }
    return buf;
}

int isdigitStr(const char *text, int base)
{
    if (!text || !*text || (base != 10 && base != 16))
        return -1;
    for (const char *p = text; *p; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (base == 10 ? !std::isdigit(c) : !std::isxdigit(c))
            return -1;
    }
    return 0;
}

int is_valid_ipaddr(const char *text)
{
    if (!text || !std::isdigit(static_cast<unsigned char>(*text)))
        return 0;
    int parts = 1;
    int value = 0;
    bool empty = false;
    for (const char *p = text; *p; ++p) {
        if (*p == '.') {
            if (empty)
                return 0;
            ++parts;
            value = 0;
            empty = true;
        } else if (std::isdigit(static_cast<unsigned char>(*p))) {
            value = value * 10 + (*p - '0');
            if (value > 255)
                return 0;
            empty = false;
        } else {
            return 0;
        }
    }
    return parts == 4 && !empty ? 1 : 0;
}

int is_valid_ipv6(const char *text)
{
    if (!text)
        return 0;
    in6_addr addr{};
    if (inet_pton(AF_INET6, text, &addr) != 1)
        return 0;
    // Exactly these texts are refused; other spellings of the same addresses pass.
    for (const char *refused : {"::", "::1", "0:0:0:0:0:0:0:0"})
        if (strcmp(text, refused) == 0)
            return 0;
    return 1;
}

}  // extern "C"
