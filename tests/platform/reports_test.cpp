// The agent's own reports, read back from the message queue.
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "core/agent.h"
#include "gwbus/strutil.h"
#include "platform/conn.h"
#include "platform_util.hpp"

namespace {

class Reports : public plat::ConnTest {
protected:
    void SetUp() override
    {
        ConnTest::SetUp();
        copy_truncated(g_dev_info.WANIPAddr, "");  // reports stay queued
    }
    std::string head()
    {
        void *p = nullptr;
        if (fifo_buffer_get_head(&g_msg_srv_fifo_buf, &p, nullptr) != 0)
            return "<empty>";
        return static_cast<char *>(p);
    }
    void control(const std::string &name, const std::string &text)
    {
        root_->write("/usr/lib/opkg/info/" + name + ".control", text);
    }
};

TEST_F(Reports, VersionReportListsPluginPackagesOnly)
{
    root_->write("/etc/openwrt_version", "V3.4.5\n");
    control("beta", "Package: beta\nVersion: 2.1\npluginClass: x\n");
    control("alpha", "Package: alpha\nVersion: 1.0\npluginClass: y\n");
    control("base", "Package: base\nVersion: 9\n");
    ASSERT_EQ(msg_OXA_VER_REP(), 0);
    EXPECT_EQ(head(), "{\"CmdType\":\"OXA_VER_REP\",\"Info\":{\"ZepVer\":\"V3.4.5\",\"PluginList\":\"alpha:1.0/beta:2.1\"}}");
}

TEST_F(Reports, UpgradeReportReadsTheModulesPackage)
{
    control("demo", "Package: demo\nVersion: 4.2\n");
    const std::string bin = root_->dir() + "/bin";
    root_->write("/bin/ubus", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$GW_ROOT/ubus.args\"\n");
    chmod((bin + "/ubus").c_str(), 0755);
    const std::string old_path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + old_path).c_str(), 1);
    EXPECT_EQ(msg_OXA_UPG_REP("demo_arm", 3), 0);
    setenv("PATH", old_path.c_str(), 1);
    EXPECT_EQ(head(), "{\"CmdType\":\"OXA_UPG_REP\",\"Info\":{\"PkgName\":\"demo_arm\",\"Version\":\"4.2\",\"Result\":3}}");
    EXPECT_EQ(root_->read("/ubus.args"), "call|yvtask|task_upgrade_result_response|{\"pkgname\":\"demo_arm\",\"result\":3}|");
}

TEST_F(Reports, DeviceReportOmitsSlaveKeysOutsideType11)
{
    g_dev_info.DevType = 4;
    g_dev_info.WorkMode = 1;
    copy_truncated(g_dev_info.LOID, "loid-1");
    copy_truncated(g_dev_info.SerialNumber, "SN77");
    ASSERT_EQ(msg_DEVICE_INFO_REP(), 0);
    EXPECT_EQ(head(), "{\"CmdType\":\"DEVICE_INFO_REP\",\"DevType\":\"4\",\"WorkMode\":\"1\",\"GateWay\":{\"LOID\":\"loid-1\","
                      "\"SN\":\"SN77\",\"MAC\":\"A1B2C3D4E5F6\",\"Name\":\"\"},\"PluginList\":[]}");
    fifo_buffer_clear(&g_msg_srv_fifo_buf);
    g_dev_info.DevType = 11;
    ASSERT_EQ(msg_DEVICE_INFO_REP(), 0);
    EXPECT_NE(head().find("\"SlaveInfo\":[]"), std::string::npos);
}

}  // namespace
