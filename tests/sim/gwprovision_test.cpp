// gwprovision writes files that an independent 3DES decryption and the agent's own reading accept.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "agentio_util.hpp"
#include "core/crypto.h"
#include "gwtest.hpp"

using agentio::Bytes;

namespace {

const std::string kDesKeyHex = "516d3723744c7732405a7239264b703421587638244e6433";

std::string tool() { return gwtest::build_dir() + "/sim/tools/gwprovision"; }

std::string decrypt_with_openssl(const std::string &content)
{
    auto plain =
        agentio::openssl({"enc", "-d", "-des-ede3", "-nopad", "-K", kDesKeyHex}, Bytes(content.begin(), content.end()));
    EXPECT_TRUE(plain.has_value());
    return plain ? std::string(plain->begin(), plain->end()) : std::string();
}

}  // namespace

TEST(Gwprovision, WritesBothFilesInTheAgentsFormat)
{
    gwtest::TempRoot root;
    ASSERT_EQ(0, agentio::run_program({tool(), "--root", root.dir(), "--vendor", "ACME01", "--vendor-key",
                                       "vk-0123456789abc", "--server", "platform.test", "--port", "17686"}));
    const std::string reg = root.read("/rom/.register0");
    const std::string plat = root.read("/opt/info/YvMngPlat.txt");
    ASSERT_EQ(0u, reg.size() % 8);
    ASSERT_EQ(0u, plat.size() % 8);
    // Plain text, then zero bytes to the block end (at least one, so the text is terminated).
    EXPECT_EQ(std::string("ACME01:vk-0123456789abc") + '\0', decrypt_with_openssl(reg));
    EXPECT_EQ(std::string("platform.test:17686") + std::string(5, '\0'), decrypt_with_openssl(plat));

    // The agent's routine, reading 128 bytes as it does, gives back the same text.
    unsigned char out[129] = {0};
    ASSERT_EQ(0, de_3des_ecb(reinterpret_cast<const unsigned char *>(reg.data()), out, static_cast<int>(reg.size())));
    char code[24] = {0}, key[24] = {0};
    ASSERT_EQ(2, sscanf(reinterpret_cast<char *>(out), "%23[^:]:%23[^ ]", code, key));
    EXPECT_STREQ("ACME01", code);
    EXPECT_STREQ("vk-0123456789abc", key);
}

TEST(Gwprovision, ShowPrintsDecryptedContent)
{
    gwtest::TempRoot root;
    ASSERT_EQ(0, agentio::run_program({tool(), "--root", root.dir(), "--server", "127.0.0.1", "--port", "7686"}));
    std::string text;
    EXPECT_EQ(1, agentio::run_program({tool(), "--root", root.dir(), "--show"}, &text));
    EXPECT_NE(std::string::npos, text.find("/rom/.register0: missing or empty\n")) << text;
    EXPECT_NE(std::string::npos, text.find("server=127.0.0.1 port=7686\n")) << text;
    ASSERT_EQ(0, agentio::run_program({tool(), "--root", root.dir(), "--vendor", "V1", "--vendor-key", "k"}));
    EXPECT_EQ(0, agentio::run_program({tool(), "--root", root.dir(), "--show"}, &text));
    EXPECT_NE(std::string::npos, text.find("vendor=V1 vendor-key=k\n")) << text;
}

TEST(Gwprovision, RefusesValuesTheAgentCouldNotParse)
{
    gwtest::TempRoot root;
    const std::string d = root.dir();
    EXPECT_EQ(2, agentio::run_program({tool(), "--root", d, "--vendor", "TOOLONG", "--vendor-key", "k"}));
    EXPECT_EQ(2, agentio::run_program({tool(), "--root", d, "--vendor", "V", "--vendor-key", "a:b"}));
    EXPECT_EQ(2, agentio::run_program({tool(), "--root", d, "--vendor", "V", "--vendor-key", "with blank"}));
    EXPECT_EQ(2, agentio::run_program({tool(), "--root", d, "--server", "::1", "--port", "1"}));
    EXPECT_EQ(2, agentio::run_program({tool(), "--root", d, "--server", "h", "--port", "65536"}));
    EXPECT_EQ(2, agentio::run_program({tool(), "--root", d, "--server", "h", "--port", "12x"}));
    EXPECT_EQ(2, agentio::run_program({tool(), "--root", d, "--server", "h"}));
    EXPECT_EQ(2, agentio::run_program({tool(), "--vendor", "V", "--vendor-key", "k"}));
    EXPECT_FALSE(root.exists("/rom/.register0"));
    EXPECT_FALSE(root.exists("/opt/info/YvMngPlat.txt"));
}
