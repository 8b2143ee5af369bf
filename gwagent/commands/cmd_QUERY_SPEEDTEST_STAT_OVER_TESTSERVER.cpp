// QUERY_SPEEDTEST_STAT_OVER_TESTSERVER: the progress and result of the service's HTTP speed test.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"

namespace {

// 1 only for a finished test with a non-zero failure code; a code that is no number counts as 0.
int test_status(const ccif_SpeedTestTry_t &t)
{
    errno = 0;
    char *end = nullptr;
    const long code = strtol(t.Failcode, &end, 10);
    if (end == t.Failcode || errno != 0 || code == 0)
        return 0;
    return strcmp(t.Status, "STAT_TEST_FINISHED") == 0 ? 1 : 0;
}

}  // namespace

extern "C" int cmd_QUERY_SPEEDTEST_STAT_OVER_TESTSERVER(int id, const char *sequence_id, const char *cmd_type,
                                                        json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    ccif_SpeedTestTry_t t{};
    if (ccif_SpeedTestTry_get(&t) != 0) {
        GWLOG(LOG_LVL_WARN, "get SpeedTestTry.x failed.");
        return r.fail("NO_SpeedTestTry");
    }
    gwagent::JsonPtr answer = r.head(test_status(t));
    if (!answer)
        return r.fail("create_json_fail");
    const std::pair<const char *, const char *> members[] = {
        {"status", t.Status},
        {"pppoeIP", t.PPPoEIP},
        {"pppoeName", t.PPPoEName},
        {"cspeed", t.Cspeed},
        {"aspeed", t.Aspeed},
        {"bspeed", t.Bspeed},
        {"maxspeed", t.Maxspeed},
        {"starttime", t.Starttime},
        {"endtime", t.Endtime},
        {"totalsize", t.Totalsize},
        {"backgroundsize", t.Backgroundsize},
        {"failcode", t.Failcode},
    };
    for (const auto &[key, value] : members)
        if (json_object_set_new(answer.get(), key, json_string(value)) != 0)
            return r.fail("create_json_fail");
    return r.answer(answer.get());
}
