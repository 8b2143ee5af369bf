// The user-id pool and the host users made for plug-ins in the run-time root's user database.
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gwtest.hpp"
#include "plughost_users.h"
#include "root_tests.hpp"

namespace {

using plughost::UidPool;

// An operation on the pool: take (expecting an id or -1) or release an id.
struct PoolStep {
    bool take;
    int id;  // take: the expected id; release: the id freed
};

struct PoolCase {
    const char *name;
    std::string passwd;
    std::vector<PoolStep> steps;
};
GW_ROW_PRINTS_AS(PoolCase, name)

std::string passwd_ids(int from, int to)
{
    std::string t;
    for (int i = from; i <= to; ++i)
        t += "u" + std::to_string(i) + ":x:" + std::to_string(i) + ":" + std::to_string(i) + "::/:/bin/false\n";
    return t;
}

class Pool : public ::testing::TestWithParam<PoolCase> {};

TEST_P(Pool, HandsOutIdsInOrderWrappingAndSkippingTheUserDatabase)
{
    gwtest::TempRoot root;
    root.write("/etc/passwd", GetParam().passwd);
    UidPool pool;
    pool.load();
    for (size_t i = 0; i < GetParam().steps.size(); ++i) {
        const PoolStep &s = GetParam().steps[i];
        if (s.take)
            EXPECT_EQ(pool.take(), s.id) << "step " << i;
        else
            pool.release(s.id);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Pool,
    ::testing::Values(
        PoolCase{"SystemIdsOnly",
                 "root:x:0:0:root:/root:/bin/sh\nnobody:x:65534:65534::/:/bin/false\n" + passwd_ids(1, 199),
                 {{true, 200}, {true, 201}, {true, 202}}},
        PoolCase{
            "DatabaseIdsSkipped", "a:x:200:200::/:/bin/false\nb:x:202:202::/:/bin/false\n", {{true, 201}, {true, 203}}},
        PoolCase{"WrapsFrom1023To200",
                 passwd_ids(201, 1022),
                 {{true, 200}, {true, 1023}, {true, -1}, {false, 300}, {true, 300}, {true, -1}}},
        PoolCase{"ReleasedIdComesBackAfterTheWrap",
                 passwd_ids(202, 1023),
                 {{true, 200}, {true, 201}, {false, 200}, {true, 200}}},
        PoolCase{
            "BadLinesIgnored", "x:x:2x1:0::/:/bin/false\nshort:x\n:x:-5:\nbig:x:99999999999:0::/:/\n", {{true, 200}}},
        PoolCase{"NoUserDatabase", "", {{true, 200}}}),
    [](const ::testing::TestParamInfo<PoolCase> &i) { return std::string(i.param.name); });

TEST(PoolIds, BelowTwoHundredNeverHandedOutAndIdZeroNeverFreed)
{
    gwtest::TempRoot root;
    UidPool pool;
    pool.load();
    EXPECT_TRUE(pool.used(0));
    EXPECT_TRUE(pool.used(199));
    EXPECT_FALSE(pool.used(200));
    pool.release(0);
    EXPECT_TRUE(pool.used(0));
    pool.release(5000);  // out of range: ignored
    EXPECT_EQ(pool.take(), 200);
}

std::unique_ptr<plughost::CtrlInfo> control(const std::string &name, int plugin_class)
{
    auto c = std::make_unique<plughost::CtrlInfo>();
    c->Package = name;
    c->Version = "1.0";
    c->Architecture = "arm";
    c->Vendor = "acme";
    c->DbusVersion = 1;
    c->pluginClass = plugin_class;
    return c;
}

class HostUsers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ROOT_TEST_NEEDS(roottest::missing_root());
        root_ = std::make_unique<gwtest::TempRoot>();
        root_->write("/etc/passwd", "root:x:0:0:root:/root:/bin/sh\n");
        root_->write("/etc/group", "root:x:0:\n");
        root_->write("/etc/shadow", "root:*:19000:0:99999:7:::\n");
        root_->write("/etc/gshadow", "root:*::\n");
        root_->write("/etc/default/useradd", "SHELL=/bin/false\n");
        plughost::uid_pool().load();
    }
    plughost::PluginRecord record(const std::string &name, int plugin_class)
    {
        plughost::PluginRecord rec;
        rec.control = control(name, plugin_class);
        rec.container_path = plughost::container_path_for(*rec.control);
        return rec;
    }
    static std::string machine_passwd()
    {
        std::ifstream in("/etc/passwd");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::unique_ptr<gwtest::TempRoot> root_;
};

TEST_F(HostUsers, OrdinaryPluginGetsGroupAndUserInTheRootsDatabaseOnly)
{
    const std::string machine_before = machine_passwd();
    plughost::PluginRecord rec = record("alpha", 0);
    ASSERT_EQ(plughost::plughost_alloc_user(rec), 200);
    EXPECT_EQ(rec.uid, 200u);
    EXPECT_EQ(root_->read("/etc/passwd"),
              "root:x:0:0:root:/root:/bin/sh\nalpha:x:200:200::/opt/apps/alpha:/bin/false\n");
    EXPECT_EQ(root_->read("/etc/group"), "root:x:0:\nalpha:x:200:\n");
    EXPECT_TRUE(root_->exists("/opt/apps/alpha/data"));
    EXPECT_EQ(machine_passwd(), machine_before);

    plughost::PluginRecord second = record("beta", 0);
    EXPECT_EQ(plughost::plughost_alloc_user(second), 201);

    plughost::plughost_free_user("alpha", 200);
    EXPECT_EQ(root_->read("/etc/passwd"), "root:x:0:0:root:/root:/bin/sh\nbeta:x:201:201::/opt/apps/beta:/bin/false\n");
    EXPECT_EQ(root_->read("/etc/group"), "root:x:0:\nbeta:x:201:\n");
    EXPECT_FALSE(plughost::uid_pool().used(200));
}

TEST_F(HostUsers, LeftoverUserOfTheSameNameIsReplaced)
{
    root_->write("/etc/passwd", "root:x:0:0:root:/root:/bin/sh\nalpha:x:900:900::/old:/bin/false\n");
    root_->write("/etc/group", "root:x:0:\nalpha:x:900:\n");
    root_->write("/etc/shadow", "root:*:19000:0:99999:7:::\nalpha:!:19000::::::\n");
    root_->write("/etc/gshadow", "root:*::\nalpha:!::\n");
    plughost::uid_pool().load();
    plughost::PluginRecord rec = record("alpha", 0);
    ASSERT_EQ(plughost::plughost_alloc_user(rec), 200);
    EXPECT_EQ(root_->read("/etc/passwd"),
              "root:x:0:0:root:/root:/bin/sh\nalpha:x:200:200::/opt/apps/alpha:/bin/false\n");
}

TEST_F(HostUsers, RootPluginRunsAsRootWithoutAUser)
{
    plughost::PluginRecord rec = record("rooty", 1);
    EXPECT_EQ(plughost::plughost_alloc_user(rec), 0);
    EXPECT_EQ(rec.uid, 0u);
    EXPECT_EQ(root_->read("/etc/passwd"), "root:x:0:0:root:/root:/bin/sh\n");
    EXPECT_TRUE(root_->exists("/opt/apps/rooty/data"));
    EXPECT_EQ(plughost::uid_pool().take(), 200);  // no id was used up
}

TEST_F(HostUsers, FailedUserCreationKeepsTheIdUsed)
{
    // A group of the id exists under another name, so groupadd refuses it.
    root_->write("/etc/group", "root:x:0:\nother:x:200:\n");
    root_->write("/etc/gshadow", "root:*::\nother:!::\n");
    plughost::PluginRecord rec = record("alpha", 0);
    EXPECT_EQ(plughost::plughost_alloc_user(rec), -1);
    EXPECT_TRUE(plughost::uid_pool().used(200));
    EXPECT_EQ(root_->read("/etc/passwd"), "root:x:0:0:root:/root:/bin/sh\n");
}

TEST_F(HostUsers, RecordWithoutContainerPathGetsNoUser)
{
    plughost::PluginRecord rec = record("alpha", 0);
    rec.container_path.clear();
    EXPECT_EQ(plughost::plughost_alloc_user(rec), -1);
    EXPECT_FALSE(plughost::uid_pool().used(200));
}

TEST_F(HostUsers, HandToUserOwnsTheTreeAndTheUciFileOnly)
{
    root_->write("/opt/apps/alpha/files/alpha", "x");
    root_->write("/etc/config/alpha", "config x 'y'\n");
    root_->write("/etc/config/alphabet", "config x 'y'\n");
    ASSERT_EQ(plughost::plughost_hand_to_user("alpha", "/opt/apps/alpha", 321), 0);
    struct stat st {};
    for (const char *p :
         {"/opt/apps/alpha", "/opt/apps/alpha/files", "/opt/apps/alpha/files/alpha", "/etc/config/alpha"}) {
        ASSERT_EQ(lstat(root_->path(p).c_str(), &st), 0) << p;
        EXPECT_EQ(st.st_uid, 321u) << p;
        EXPECT_EQ(st.st_gid, 321u) << p;
    }
    ASSERT_EQ(lstat(root_->path("/etc/config/alphabet").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    ASSERT_EQ(lstat(root_->path("/opt/apps/alpha").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & (S_IWGRP | S_ISGID), static_cast<mode_t>(S_IWGRP | S_ISGID));
}

}  // namespace
