// VxLAN tunnels below /com/yvc/igd1/VPN/VxLAN and their traffic history.
#include <string>
#include <vector>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/methods.h"
#include "gwbus/strutil.h"

using gwapi::List;

namespace {

constexpr const char *kVxLAN = "/com/yvc/igd1/VPN/VxLAN";

std::string tunnel_path(uint32_t index)
{
    return std::string(kVxLAN) + "/" + std::to_string(index);
}

uint32_t tunnel_index(const char *func, const char *path)
{
    uint32_t index = 0;
    if (!gwapi::path_index(path, &index))
        GWLOG(6, "(%s) %s is invalide path", func, path);
    return index;
}

// One tunnel's history: 0, -1 when the call fails or the service refuses it.
int history_of(const char *func, const char *path, uint32_t index, uint32_t start, uint32_t num,
               api_VpnHistoryTraffic_t *out)
{
    char *base = nullptr;
    char **history = nullptr;
    int n = 0;
    int status = 0;
    char *msg = nullptr;
    const int rc = ccif_GetVxLANVPNHistoryTraffic(path, start, num, &base, &history, &n, &status, &msg);
    std::unique_ptr<char, gwapi::GFreeDeleter> base_owner(base), msg_owner(msg);
    if (rc != 0) {
        GWLOG(5, "(%s) GetVxLANVPNHistoryTraffic of %s failed.", func, path);
        return -1;
    }
    if (status != 0) {
        g_hgu_freeStrList(history);
        GWLOG(5, "(%s) method GetVxLANVPNHistoryTraffic status : %d.", func, status);
        return -1;
    }
    out->Index = index;
    out->Start = start;
    out->Num = num;
    copy_truncated(out->TrafficBase, base ? base : "");
    out->HistoryNum = history ? n : 0;
    out->History = history;
    return 0;
}

}  // namespace

extern "C" {

int api_getVPNVxLANAll(api_VPNVxLANInfo_t **list, int *count)
{
    API_ENTER();
    if (!list || !count)
        return -1;
    *list = nullptr;
    *count = 0;
    api_VPNVxLANInfo_t *raw = nullptr;
    int n = 0;
    if (ccif_VPNVxLAN_get_objs(&raw, &n) != 0) {
        GWLOG(5, "(%s) get VPNVxLAN objects failed.", __func__);
        return -1;
    }
    if (!raw || n == 0) {
        g_free(raw);
        GWLOG(5, "(%s) VPNVxLAN objects is 0.", __func__);
        return 0;
    }
    for (int i = 0; i < n; ++i)
        raw[i].Index = tunnel_index(__func__, raw[i].path);
    *list = raw;
    *count = n;
    return 0;
}

int api_releaseVPNVxLANAll(api_VPNVxLANInfo_t *list, int /*count*/)
{
    if (!list)
        return -1;
    g_free(list);
    return 0;
}

int api_getVPNVxLAN(uint32_t index, api_VPNVxLANInfo_t *info)
{
    API_ENTER();
    if (!info || index == 0) {
        GWLOG(5, "(%s) VxLAN index %u is invalide.", __func__, index);
        return -1;
    }
    const std::string path = tunnel_path(index);
    api_VPNVxLANInfo_t rec{};
    if (ccif_VPNVxLAN_get(path.c_str(), &rec) != 0) {
        GWLOG(5, "(%s) get %s failed.", __func__, path.c_str());
        return -1;
    }
    copy_truncated(rec.path, path.c_str());
    rec.Index = index;
    *info = rec;
    return 0;
}

int api_setVPNVxLAN(uint32_t index, const api_VPNVxLANInfo_t *entry)
{
    API_ENTER();
    if (!entry)
        return -1;
    api_VPNVxLANInfo_t rec = *entry;
    rec.Index = index;
    rec.path[0] = '\0';
    char label[32];
    std::snprintf(label, sizeof label, "VxLAN.%u", index);
    if (ccif_VPNVxLAN_set(label, &rec) != 0) {
        GWLOG(5, "(%s) set VxLAN.%u failed.", __func__, index);
        return -1;
    }
    uint32_t written = 0;
    if (!gwapi::path_index(rec.path, &written) || written == 0) {
        GWLOG(5, "(%s) get VxLAN index from %s failed.", __func__, rec.path);
        return -1;
    }
    return static_cast<int>(written);
}

int api_deleteVPNVxLAN(uint32_t index)
{
    API_ENTER();
    if (index == 0) {
        GWLOG(5, "(%s) VxLAN index 0 is invalide.", __func__);
        return -1;
    }
    const std::string path = tunnel_path(index);
    if (ccif_VPNVxLAN_rm_obj(path.c_str()) != 0) {
        GWLOG(5, "(%s) delete %s failed.", __func__, path.c_str());
        return -1;
    }
    return 0;
}

int api_clearVPNVxLAN(void)
{
    API_ENTER();
    if (ccif_VPNVxLAN_clear() != 0) {
        GWLOG(5, "(%s) RemoveAllObjects %s failed.", __func__, kVxLAN);
        return -1;
    }
    return 0;
}

int api_getVxLANVPNHistoryTraffic(uint32_t index, uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic,
                                  int *count)
{
    API_ENTER();
    const char *const fn = __func__;
    if (!traffic || !count) {
        GWLOG(5, "%s param has null traffic<%p> objNum<%p>", fn, static_cast<void *>(traffic),
              static_cast<void *>(count));
        return -1;
    }
    *traffic = nullptr;
    *count = 0;
    return gwapi::guarded(fn, [&]() -> int {
        std::vector<std::pair<std::string, uint32_t>> tunnels;
        if (index != 0) {
            tunnels.emplace_back(tunnel_path(index), index);
        } else {
            List<ccif_VPNVxLAN_t> all;
            if (gwapi::list(ccif_VPNVxLAN_get_objs, all) != 0) {
                GWLOG(5, "(%s) get VPNVxLAN objects failed.", fn);
                return -1;
            }
            for (const auto &t : all)
                tunnels.emplace_back(t.path, tunnel_index(fn, t.path));
        }
        if (tunnels.empty())
            return 0;
        auto *out = g_new0(api_VpnHistoryTraffic_t, tunnels.size());
        int filled = 0;
        for (const auto &t : tunnels) {
            if (history_of(fn, t.first.c_str(), t.second, start, num, &out[filled]) != 0) {
                if (index != 0) {
                    api_releaseVpnHistoryTraffic(out, filled);
                    return -1;
                }
                continue;
            }
            ++filled;
        }
        if (filled == 0) {
            g_free(out);
            return 0;
        }
        *traffic = out;
        *count = filled;
        return 0;
    });
}

int api_releaseVxLANVPNHistoryTraffic(api_VpnHistoryTraffic_t *traffic, int count)
{
    return api_releaseVpnHistoryTraffic(traffic, count);
}

}  // extern "C"
