// History traffic of the Ethernet ports.
#include <vector>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/methods.h"
#include "gwbus/strutil.h"

namespace {

void free_traffic(api_LANHistoryTraffic_t *t, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        g_hgu_freeStrList(t[i].History);
    g_free(t);
}

}  // namespace

extern "C" {

int api_getLANHistoryTraffic(uint32_t index, uint32_t start, uint32_t num, api_LANHistoryTraffic_t **traffic,
                             int *count)
{
    API_ENTER();
    const char *const fn = __func__;
    return gwapi::guarded(fn, [&]() -> int {
        if (!traffic || !count)
            return -1;
        *traffic = nullptr;
        *count = 0;
        gwapi::List<ccif_EthernetConfig_t> ports;
        if (gwapi::list(ccif_EthernetConfig_get_objs, ports) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get EthernetConfig objects failed.", fn);
            return -1;
        }
        std::vector<std::pair<uint32_t, const ccif_EthernetConfig_t *>> chosen;
        for (const auto &p : ports) {
            uint32_t n = 0;
            if (!gwapi::path_index(p.path, &n))
                continue;
            if (index == 0 || n == index)
                chosen.emplace_back(n, &p);
        }
        if (chosen.empty()) {
            if (index != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) EthernetConfig %u no match object.", fn, index);
                return -2;
            }
            return 0;
        }
        auto *out = g_new0(api_LANHistoryTraffic_t, chosen.size());
        for (size_t i = 0; i < chosen.size(); ++i) {
            char *base = nullptr;
            char **history = nullptr;
            int history_count = 0;
            int status = 0;
            char *errmsg = nullptr;
            const int rc = ccif_GetLANHistoryTraffic(chosen[i].second->path, start, num, &base, &history,
                                                     &history_count, &status, &errmsg);
            if (rc != 0 || status != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) GetLANHistoryTraffic %s failed, %d,%d : %s", fn, chosen[i].second->path, rc,
                      status, errmsg ? errmsg : "");
                g_free(base);
                g_hgu_freeStrList(history);
                g_free(errmsg);
                free_traffic(out, chosen.size());
                return -1;
            }
            out[i].index = chosen[i].first;
            copy_truncated(out[i].TrafficBase, base);
            out[i].HistoryNum = history ? history_count : 0;
            out[i].History = history;
            g_free(base);
        }
        *traffic = out;
        *count = static_cast<int>(chosen.size());
        return 0;
    });
}

int api_releaseLANHistoryTraffic(api_LANHistoryTraffic_t *traffic, int count)
{
    if (!traffic)
        return -1;
    free_traffic(traffic, count > 0 ? static_cast<size_t>(count) : 0);
    return 0;
}

}  // extern "C"
