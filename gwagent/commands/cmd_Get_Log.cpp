// Get_Log: asks the configuration service to upload the gateway's system log; the upload is its work.
#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"

extern "C" int cmd_Get_Log(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    std::string start, end, upload;
    bool ok = r.required_text("StartTime", 15, start);
    ok = r.required_text("EndTime", 15, end) && ok;
    ok = r.required_text("UploadPath", 255, upload) && ok;
    if (!ok)
        return r.fail("parameter_error");
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_GetLog(start.c_str(), end.c_str(), upload.c_str(), &status, &errmsg);
    gw::GCharPtr msg(errmsg);
    return r.method_result("mth_GetLog", rc, status, errmsg);
}
