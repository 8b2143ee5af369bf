// FTTO_MASTER_NTI_GET, FTTO_DEV_NTI_GET and FTTO_MASTER_LAN_PONINFO_GET: the FTTO topology seen from
// the master or from any device, and the master's LAN-side optical readings.
#include "core/ftto_json.h"

#include <cstddef>
#include <cstring>

#include "commands/cmd_answer.h"
#include "commands/cmd_request.h"
#include "gwbus/log.h"

namespace {

using gwagent::JsonPtr;

class Topology {
public:
    explicit Topology(bool master) : master_(master) {}
    ~Topology()
    {
        if (!read_)
            return;
        if (master_)
            api_releaseFTTOMasterNTI(&nti_);
        else
            api_releaseFTTODevNTI(&nti_);
    }
    int read()
    {
        const int rc = master_ ? api_getFTTOMasterNTI(&nti_) : api_getFTTODevNTI(&nti_);
        read_ = rc == 0;
        return rc;
    }
    const api_FTTONTI_t &get() const { return nti_; }

private:
    bool master_;
    bool read_ = false;
    api_FTTONTI_t nti_{};
};

int answer_topology(const gwagent::Request &r, bool master)
{
    Topology topo(master);
    const int rc = topo.read();
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s api failed, return %d.", master ? "api_getFTTOMasterNTI" : "api_getFTTODevNTI", rc);
        return r.fail("api_return_fail");
    }
    const api_FTTONTI_t &nti = topo.get();
    const char *const *node_fields = master ? gwagent::kFttoMasterGateWay : gwagent::kFttoDevNode;
    const char *const *slave_fields = master ? gwagent::kFttoMasterSlave : gwagent::kFttoDevNode;
    JsonPtr answer = r.head();
    json_t *a = answer.get();
    bool ok = a && json_object_set_new(a, "DevType", json_integer(nti.DevType)) == 0 &&
              json_object_set_new(a, "WorkMode", json_integer(nti.WorkMode)) == 0 &&
              json_object_set_new(a, "GateWay", gwagent::ftto_node_json(nti.GateWay, node_fields)) == 0;
    if (ok && master)
        ok = json_object_set_new(a, "AllowSlaveNum", json_integer(nti.AllowSlaveNum)) == 0 &&
             json_object_set_new(a, "SlaveNum", json_integer(nti.SlaveNum)) == 0;
    if (ok)
        ok = json_object_set_new(a, "SlaveInfo", gwagent::ftto_slaves_json(nti, slave_fields)) == 0;
    if (!ok)
        return r.fail("create_json_fail");
    return r.answer(a);
}

}  // namespace

extern "C" int cmd_FTTO_MASTER_NTI_GET(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    return answer_topology(gwagent::Request{id, sequence_id, cmd_type, cmd, fd}, true);
}

extern "C" int cmd_FTTO_DEV_NTI_GET(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    return answer_topology(gwagent::Request{id, sequence_id, cmd_type, cmd, fd}, false);
}

extern "C" int cmd_FTTO_MASTER_LAN_PONINFO_GET(int id, const char *sequence_id, const char *cmd_type, json_t *cmd,
                                               int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    api_FTTOLanOpticInfo_t optic{};
    const int rc = api_getFTTOMasterLanOpticInfo(&optic);
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s api failed, return %d.", "api_getFTTOMasterLanOpticInfo", rc);
        return r.fail("api_return_fail");
    }
    using gwagent::two_decimals;
    return r.members({{"Temperature", two_decimals(optic.Temperature)},
                      {"Voltage", two_decimals(optic.Voltage)},
                      {"Current", two_decimals(optic.Current)},
                      {"TXPower", two_decimals(optic.TXPower)}});
}
