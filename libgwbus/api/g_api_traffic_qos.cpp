// Traffic QoS flows, addressed by their Flow number, and the classifications below each flow.
#include <array>
#include <mutex>
#include <string>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/strutil.h"

using gwapi::List;

namespace {

constexpr const char *kFlows = "/com/yvc/igd1/Transfer/TrafficQoSFlow";
constexpr const char *kFlowIface = "com.yvc.igd1.TrafficQoSFlow";
constexpr uint32_t kLastFlow = 7;
constexpr uint32_t kMapSize = 32;

std::string classification_path(const std::string &flow, uint32_t index)
{
    return flow + "/Classification/" + std::to_string(index);
}

bool valid_flow(uint32_t flow)
{
    if (flow <= kLastFlow)
        return true;
    GWLOG(LOG_LVL_NOTICE, "flow %u is invalide, should be 0--7", flow);
    return false;
}

// Instance index by Flow number, 0 meaning none recorded; shared by every thread of the process.
class FlowMap {
public:
    struct Found {
        uint32_t index;  // 0: the flow does not exist
        bool fresh;      // the map was read from the service during this lookup
    };

    // A map without flow 0, or without the wanted flow, is read again first: flows the service made
    // after the last read must not stay unknown for the life of the process.
    Found find(const char *func, uint32_t flow)
    {
        std::lock_guard<std::mutex> lock(mu_);
        bool fresh = false;
        if (index_[0] == 0 || index_[flow] == 0)
            fresh = rebuild(func);
        return {index_[flow], fresh};
    }

    // After a call at `stale` failed: reads the map again and returns the flow's index if it moved, else 0.
    uint32_t moved(const char *func, uint32_t flow, uint32_t stale)
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (!rebuild(func))
            return 0;
        return index_[flow] != stale ? index_[flow] : 0;
    }

private:
    // Caller holds mu_. A failed list keeps what the map knew.
    bool rebuild(const char *func)
    {
        List<ccif_TrafficQoSFlow_t> flows;
        if (gwapi::list(ccif_TrafficQoSFlow_get_objs, flows) != 0) {
            GWLOG(LOG_LVL_NOTICE, "%s get TrafficQoSFlow objects failed.", func);
            return false;
        }
        std::array<uint32_t, kMapSize> fresh{};
        for (const auto &f : flows) {
            if (f.Flow >= kMapSize) {
                GWLOG(LOG_LVL_WARN, "%s qos flow number %d wrong (0~7)!", func, static_cast<int>(f.Flow));
                continue;
            }
            uint32_t index = 0;
            if (!gwapi::path_index(f.path, &index) || index == 0) {
                GWLOG(LOG_LVL_NOTICE, "%s parse qos index fail!", func);
                continue;
            }
            fresh[f.Flow] = index;
        }
        index_ = fresh;
        return true;
    }

    std::mutex mu_;
    std::array<uint32_t, kMapSize> index_{};
};

FlowMap &flow_map()
{
    static FlowMap map;
    return map;
}

// Runs act(path of the flow's object) and returns its result. When act fails at an index the map held
// from an earlier read, the flow may have moved: the map is read again and act runs once more at the new
// index.
template <typename F> int on_flow(const char *func, uint32_t flow, F &&act)
{
    return gwapi::guarded(func, [&]() -> int {
        const FlowMap::Found found = flow_map().find(func, flow);
        if (found.index == 0) {
            GWLOG(LOG_LVL_NOTICE, "%s Flow %u not exist!", func, flow);
            return -1;
        }
        const int rc = act(gwapi::instance_path(kFlows, found.index));
        if (rc >= 0 || found.fresh)
            return rc;
        const uint32_t moved = flow_map().moved(func, flow, found.index);
        return moved ? act(gwapi::instance_path(kFlows, moved)) : rc;
    });
}

// The flow's whole record, which every getter takes its values from: 0 or -1.
int read_flow(const char *func, uint32_t flow, ccif_TrafficQoSFlow_t *rec)
{
    if (!valid_flow(flow))
        return -1;
    return on_flow(func, flow, [&](const std::string &path) -> int {
        *rec = ccif_TrafficQoSFlow_t{};
        if (ccif_TrafficQoSFlow_get(path.c_str(), rec) != 0) {
            GWLOG(LOG_LVL_NOTICE, "get TrafficQoSFlow.x from %s failed.", path.c_str());
            return -1;
        }
        return 0;
    });
}

int add_classification(const char *func, uint32_t flow, const api_TrafficQoSClassificationEntry_t *entry)
{
    if (!entry || gwapi::empty(entry->RemotePort)) {
        GWLOG(LOG_LVL_NOTICE, "input argument is empty.");
        return -1;
    }
    return on_flow(func, flow, [&](const std::string &path) -> int {
        ccif_TrafficQoSClassification_t rec{};
        copy_truncated(rec.RemoteAddress, entry->RemoteAddress);
        copy_truncated(rec.RemotePort, entry->RemotePort);
        if (ccif_TrafficQoSClassification_add_obj(path.c_str(), &rec) != 0) {
            GWLOG(LOG_LVL_NOTICE, "add TrafficQoSFlow failed.");
            return -1;
        }
        uint32_t index = 0;
        if (!gwapi::path_index(rec.path, &index) || index == 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get new TrafficQoSClassification index is failed.", func);
            return -1;
        }
        return static_cast<int>(index);
    });
}

}  // namespace

extern "C" {

int api_getTrafficQoSFlow(uint32_t flow, api_TrafficQoSFlowInfo_t *info)
{
    API_ENTER();
    if (info)
        *info = api_TrafficQoSFlowInfo_t{};
    ccif_TrafficQoSFlow_t rec;
    if (!info || read_flow(__func__, flow, &rec) != 0)
        return -1;
    info->Flow = rec.Flow;
    info->UsStats = rec.UsStats;
    info->DsStats = rec.DsStats;
    info->UpSpeed = rec.UpSpeed;
    info->DownSpeed = rec.DownSpeed;
    info->DSCPRemark = rec.DSCPRemark;
    return 0;
}

int api_setTrafficQoSFlow(uint32_t flow, const api_TrafficQoSFlowEntry_t *entry)
{
    API_ENTER();
    if (!valid_flow(flow) || !entry)
        return -1;
    const char *const fn = __func__;
    return on_flow(fn, flow, [&](const std::string &path) -> int {
        ccif_TrafficQoSFlow_t rec{};
        copy_truncated(rec.path, path.c_str());
        rec.UpSpeed = entry->UpSpeed;
        rec.DownSpeed = entry->DownSpeed;
        rec.DSCPRemark = entry->DSCPRemark;
        if (ccif_TrafficQoSFlow_set(&rec) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", fn, path.c_str());
            return -1;
        }
        return 0;
    });
}

int api_getTrafficQoSStatsByFlow(uint32_t flow, uint64_t *us_stats, uint64_t *ds_stats)
{
    API_ENTER();
    if (us_stats)
        *us_stats = 0;
    if (ds_stats)
        *ds_stats = 0;
    ccif_TrafficQoSFlow_t rec;
    if (!us_stats || !ds_stats || read_flow(__func__, flow, &rec) != 0)
        return -1;
    *us_stats = rec.UsStats;
    *ds_stats = rec.DsStats;
    return 0;
}

int api_setTrafficQoSSpeedLimitByFlow(uint32_t flow, uint32_t up_speed, uint32_t down_speed)
{
    API_ENTER();
    if (!valid_flow(flow))
        return -1;
    const char *const fn = __func__;
    return on_flow(fn, flow, [&](const std::string &path) -> int {
        // One partial write: the flow's DSCP remark is left as it is.
        gwapi::PropMap map;
        map.add("UpSpeed", g_variant_new_uint32(up_speed));
        map.add("DownSpeed", g_variant_new_uint32(down_speed));
        if (g_hgu_SetMultiProperty(HGU_BUS_NAME, path.c_str(), kFlowIface, map.end()) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) set speed limit of %s failed.", fn, path.c_str());
            return -1;
        }
        return 0;
    });
}

int api_getTrafficQoSSpeedLimitByFlow(uint32_t flow, uint32_t *up_speed, uint32_t *down_speed)
{
    API_ENTER();
    if (up_speed)
        *up_speed = 0;
    if (down_speed)
        *down_speed = 0;
    ccif_TrafficQoSFlow_t rec;
    if (!up_speed || !down_speed || read_flow(__func__, flow, &rec) != 0)
        return -1;
    *up_speed = rec.UpSpeed;
    *down_speed = rec.DownSpeed;
    return 0;
}

int api_setTrafficQoSDSCPRemarkByFlow(uint32_t flow, uint8_t dscp_remark)
{
    API_ENTER();
    if (!valid_flow(flow))
        return -1;
    const char *const fn = __func__;
    return on_flow(fn, flow, [&](const std::string &path) -> int {
        if (g_hgu_SetProperty(HGU_BUS_NAME, path.c_str(), kFlowIface, "DSCPRemark", g_variant_new_byte(dscp_remark)) !=
            0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) set DSCPRemark of %s failed.", fn, path.c_str());
            return -1;
        }
        return 0;
    });
}

int api_getTrafficQoSDSCPRemarkByFlow(uint32_t flow, uint8_t *dscp_remark)
{
    API_ENTER();
    if (dscp_remark)
        *dscp_remark = 0;
    ccif_TrafficQoSFlow_t rec;
    if (!dscp_remark || read_flow(__func__, flow, &rec) != 0)
        return -1;
    *dscp_remark = rec.DSCPRemark;
    return 0;
}

int api_getTrafficQoSClassificationByFlow(uint32_t flow, api_TrafficQoSClassificationInfo_t **list, int *count)
{
    API_ENTER();
    if (list)
        *list = nullptr;
    if (count)
        *count = 0;
    if (!valid_flow(flow) || !list || !count)
        return -1;
    const char *const fn = __func__;
    return on_flow(fn, flow, [&](const std::string &path) -> int {
        List<ccif_TrafficQoSClassification_t> found;
        if (gwapi::list_under(ccif_TrafficQoSClassification_get_objs, path.c_str(), found) != 0) {
            GWLOG(LOG_LVL_NOTICE, "%s get TrafficQoSClassification failed.", fn);
            return -1;
        }
        if (found.count == 0)
            return 0;
        auto *out = g_new0(api_TrafficQoSClassificationInfo_t, found.count);
        int k = 0;
        for (const auto &c : found) {
            api_TrafficQoSClassificationInfo_t &o = out[k++];
            o.Flow = flow;
            o.Index = gwapi::index_from_path(fn, c.path);
            copy_truncated(o.RemoteAddress, c.RemoteAddress);
            copy_truncated(o.RemotePort, c.RemotePort);
        }
        *list = out;
        *count = found.count;
        return 0;
    });
}

int api_releaseTrafficQoSClassificationByFlow(api_TrafficQoSClassificationInfo_t *list, int /*count*/)
{
    return gwapi::release_block(list);
}

int api_addTrafficQoSClassificationToFlow(uint32_t flow, const api_TrafficQoSClassificationEntry_t *entry)
{
    API_ENTER();
    if (!valid_flow(flow))
        return -1;
    return add_classification(__func__, flow, entry);
}

int api_setTrafficQoSClassificationUnderFlow(uint32_t flow, uint32_t index,
                                             const api_TrafficQoSClassificationEntry_t *entry)
{
    API_ENTER();
    if (!valid_flow(flow))
        return -1;
    if (index == 0)
        return add_classification(__func__, flow, entry);
    if (!entry || gwapi::empty(entry->RemotePort)) {
        GWLOG(LOG_LVL_NOTICE, "input argument is empty.");
        return -1;
    }
    return on_flow(__func__, flow, [&](const std::string &path) -> int {
        ccif_TrafficQoSClassification_t rec{};
        copy_truncated(rec.path, classification_path(path, index).c_str());
        copy_truncated(rec.RemoteAddress, entry->RemoteAddress);
        copy_truncated(rec.RemotePort, entry->RemotePort);
        if (ccif_TrafficQoSClassification_set(&rec) != 0) {
            GWLOG(LOG_LVL_NOTICE, "add TrafficQoSFlow failed.");
            return -1;
        }
        return static_cast<int>(index);
    });
}

int api_deleteTrafficQoSClassificationFromFlow(uint32_t flow, const api_TrafficQoSClassificationEntry_t *entry)
{
    API_ENTER();
    if (!valid_flow(flow))
        return -1;
    if (!entry || (entry->Index == 0 && gwapi::empty(entry->RemotePort))) {
        GWLOG(LOG_LVL_NOTICE, "input argument is empty.");
        return -1;
    }
    const char *const fn = __func__;
    return on_flow(fn, flow, [&](const std::string &path) -> int {
        std::string victim;
        if (entry->Index != 0) {
            victim = classification_path(path, entry->Index);
        } else {
            List<ccif_TrafficQoSClassification_t> found;
            if (gwapi::list_under(ccif_TrafficQoSClassification_get_objs, path.c_str(), found) != 0) {
                GWLOG(LOG_LVL_NOTICE, "%s get TrafficQoSClassification failed.", fn);
                return -1;
            }
            for (const auto &c : found) {
                if (std::strcmp(c.RemoteAddress, entry->RemoteAddress) == 0 &&
                    std::strcmp(c.RemotePort, entry->RemotePort) == 0) {
                    victim = c.path;
                    break;
                }
            }
            if (victim.empty()) {
                GWLOG(LOG_LVL_NOTICE, "%s get match TrafficQoSClassification failed.", fn);
                return -1;
            }
        }
        if (ccif_TrafficQoSClassification_del_obj(victim.c_str()) != 0) {
            GWLOG(LOG_LVL_NOTICE, "delete object %s failed.", victim.c_str());
            return -1;
        }
        return 0;
    });
}

int api_clearTrafficQoSClassificationUnderFlow(uint32_t flow)
{
    API_ENTER();
    if (!valid_flow(flow))
        return -1;
    const char *const fn = __func__;
    return on_flow(fn, flow, [&](const std::string &path) -> int {
        if (ccif_TrafficQoSClassification_clear_objs(path.c_str()) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) RemoveAllObjects %s/Classification failed.", fn, path.c_str());
            return -1;
        }
        return 0;
    });
}

}  // extern "C"
