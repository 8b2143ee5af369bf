// Every utility and logging function is exported from libgwbus.so with C linkage.
#include <dlfcn.h>

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "gwtest.hpp"

namespace {

TEST(Exports, UtilityFunctionsHaveCLinkage)
{
    std::string lib = gwtest::build_dir() + "/libgwbus.so";
    void *h = dlopen(lib.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h)
        h = dlopen(lib.c_str(), RTLD_NOW);
    ASSERT_NE(h, nullptr) << dlerror();
    std::istringstream names(
        "g_logLevel logPriorityCode logFacilityCode api_sysLogOpen api_sysLogPrint api_sysLogClose "
        "api_sysLogEmitSignal api_sysLogGetPriorityText api_sysLogGetFacilityText api_sysLogGetPriorityNum "
        "api_sysLogGetFacilityNum write_zep_log logMainLoopInit gw_log_set_sink comm_download_file "
        "extract_control_file_from_ipk extract archive_file_zip copy_file create_directory remove_directory "
        "ucf_statvfs ucf_set_file_mode string_strncmp get_buf_key_value comm_get_file_kv digit2str isdigitStr "
        "is_valid_ipaddr is_valid_ipv6 uci_config_get uci_config_set uci_config_commit get_framework_version "
        "get_gwagent_version cJSON_Parse");
    int checked = 0;
    for (std::string name; names >> name; ++checked)
        EXPECT_NE(dlsym(h, name.c_str()), nullptr) << name;
    EXPECT_EQ(checked, 36);
    dlclose(h);
}

}  // namespace
