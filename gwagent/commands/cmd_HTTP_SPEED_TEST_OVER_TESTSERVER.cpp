// HTTP_SPEED_TEST_OVER_TESTSERVER: asks the configuration service to run an HTTP speed test; the service
// runs it and reports to the reportURL itself.
#include <cstring>
#include <string>

#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/objects.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace {

struct Mode {
    const char *param;   // as the platform sends it
    const char *stored;  // as the service takes it
    bool needs_download_url;
};
constexpr Mode kModes[] = {{"serverMode", "ServerMode", false}, {"downloadMode", "DownloadMode", true}};

// The WAN connection that carries the internet service, by its name; empty when none is found.
std::string internet_wan_name()
{
    char path[256] = {};
    int status = 0;
    char *raw = nullptr;
    const int rc = mth_GetInternetConnIndex(path, sizeof path, &status, &raw);
    gw::GCharPtr errmsg(raw);
    if (rc != 0 || status != 0 || !*path) {
        if (errmsg && *errmsg)
            GWLOG(LOG_LVL_WARN, "GetInternetConnIndex failed, %s", errmsg.get());
        else
            GWLOG(LOG_LVL_WARN, "GetInternetConnIndex failed.");
        return {};
    }
    GVariant *raw_value = nullptr;
    if (g_hgu_GetProperty("com.yvc.igd1", path, "com.yvc.igd1.WANConnectionInfo", "WANName", &raw_value) != 0) {
        GWLOG(LOG_LVL_WARN, "get WANConnectionInfo.WANName failed.");
        return {};
    }
    gw::VariantPtr value(raw_value);
    if (!value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING) ||
        !*g_variant_get_string(value.get(), nullptr)) {
        GWLOG(LOG_LVL_WARN, "get WANConnectionInfo.WANName failed.");
        return {};
    }
    return g_variant_get_string(value.get(), nullptr);
}

bool present(const gwagent::Request &r, const char *param, int level)
{
    if (json_is_string(json_object_get(r.cmd(), param)))
        return true;
    GWLOG(level, "%s json string missing Parameter %s", r.cmd_type(), param);
    return false;
}

}  // namespace

extern "C" int cmd_HTTP_SPEED_TEST_OVER_TESTSERVER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd,
                                                   int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    ccif_SpeedTestTry_t want{};
    bool valid = true;
    std::string test_url, report_url, download_url, mode_text, wan_name, source = "APP";
    valid = r.required_text("testURL", sizeof want.TestURL - 1, test_url) && valid;
    valid = r.required_text("reportURL", sizeof want.ReportURL - 1, report_url) && valid;
    const bool has_download_url = present(r, "downloadURL", LOG_LVL_NOTICE);
    if (has_download_url)
        r.required_text("downloadURL", sizeof want.DownloadURL - 1, download_url);
    const Mode *mode = nullptr;
    if (json_is_string(json_object_get(cmd, "testMode"))) {
        mode_text = json_string_value(json_object_get(cmd, "testMode"));
        for (const Mode &m : kModes)
            if (mode_text == m.param)
                mode = &m;
    }
    if (!mode) {
        GWLOG(LOG_LVL_WARN, "%s json string missing Parameter testMode", cmd_type);
        valid = false;
    }
    if (present(r, "WANName", LOG_LVL_NOTICE))
        r.required_text("WANName", sizeof want.WANName - 1, wan_name);
    if (present(r, "Source", LOG_LVL_NOTICE))
        r.required_text("Source", sizeof want.Source - 1, source);
    if (!valid || (mode->needs_download_url && !has_download_url)) {
        GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
        return r.fail("parameter_error");
    }

    if (wan_name.empty()) {
        wan_name = internet_wan_name();
        if (wan_name.empty())
            return r.fail("NO_WANNAME");
    }
    ccif_SpeedTestTry_t record{};
    if (ccif_SpeedTestTry_get(&record) != 0) {
        GWLOG(LOG_LVL_WARN, "get SpeedTestTry.x failed.");
        return r.fail("NO_SpeedTestTry");
    }
    if (strcmp(record.DiagnosticsState, "Requested") == 0) {
        GWLOG(LOG_LVL_NOTICE, "speed testing.");
        return r.fail("Wait_For_Completed");
    }
    copy_truncated(record.DiagnosticsState, "Requested");
    copy_truncated(record.TestMode, mode->stored);
    copy_truncated(record.TestURL, test_url.c_str());
    copy_truncated(record.ReportURL, report_url.c_str());
    copy_truncated(record.DownloadURL, download_url.c_str());
    copy_truncated(record.WANName, wan_name.c_str());
    copy_truncated(record.Source, source.c_str());
    if (ccif_SpeedTestTry_set(&record) != 0) {
        GWLOG(LOG_LVL_WARN, "set SpeedTestTry.x failed.");
        return r.fail("SET_FAILED");
    }
    return r.ok();
}
