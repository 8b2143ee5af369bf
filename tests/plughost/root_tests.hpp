// Tests that need root (users in a root's database, containers): they skip with the reason elsewhere,
// and fail instead when GW_REQUIRE_ROOT_TESTS=1 (CI) says the machine must run them.
#ifndef PLUGHOST_ROOT_TESTS_HPP
#define PLUGHOST_ROOT_TESTS_HPP

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace roottest {

inline bool required()
{
    const char *v = getenv("GW_REQUIRE_ROOT_TESTS");
    return v && strcmp(v, "1") == 0;
}

inline std::string missing_root() { return geteuid() == 0 ? "" : "needs root (user database and containers)"; }

}  // namespace roottest

// Skips (or fails when required) the current test when `why` is a non-empty reason.
#define ROOT_TEST_NEEDS(why_expr)                                                                                      \
    do {                                                                                                               \
        const std::string why_ = (why_expr);                                                                           \
        if (!why_.empty()) {                                                                                           \
            if (roottest::required())                                                                                  \
                FAIL() << why_ << ", and GW_REQUIRE_ROOT_TESTS=1 forbids skipping";                                    \
            GTEST_SKIP() << why_;                                                                                      \
        }                                                                                                              \
    } while (0)

#endif
