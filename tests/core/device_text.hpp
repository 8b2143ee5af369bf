// Helpers of the core tests: the device files' cipher and UCI reads.
#ifndef TESTS_CORE_DEVICE_TEXT_HPP
#define TESTS_CORE_DEVICE_TEXT_HPP

#include <string>

#include <gtest/gtest.h>

#include "core/crypto.h"
#include "gwbus/util.h"

namespace coretest {

// The device files are 3DES-ECB of the text, zero-padded to whole blocks.
inline std::string encrypt_device_text(const std::string &plain)
{
    std::string padded = plain;
    padded.resize((plain.size() + 7) / 8 * 8, '\0');
    std::string out(padded.size(), '\0');
    key_3des_ecb();
    EXPECT_EQ(en_3des_ecb(reinterpret_cast<const unsigned char *>(padded.data()),
                          reinterpret_cast<unsigned char *>(&out[0]), static_cast<int>(padded.size())),
              0);
    return out;
}

inline std::string uci(const char *pkg, const char *sec, const char *opt)
{
    char buf[4096] = {};
    return uci_config_get(pkg, sec, opt, buf) == 0 ? std::string(buf) : std::string("<none>");
}

}  // namespace coretest

#endif
