// Port mappings below the WAN connections.
#include <string>
#include <vector>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

using gwapi::List;

namespace {

constexpr const char *kPortMappingIface = "com.yvc.igd1.PortMapping";

void entry_to_record(const api_PortMappingEntry_t *e, ccif_PortMapping_t *pm)
{
    pm->PortMappingEnabled = e->PortMappingEnabled ? TRUE : FALSE;
    copy_truncated(pm->RemoteHost, e->RemoteHost);
    pm->ExternalPort = e->ExternalPort;
    pm->InternalPort = e->InternalPort;
    copy_truncated(pm->PortMappingProtocol, e->PortMappingProtocol);
    copy_truncated(pm->InternalClient, e->InternalClient);
    copy_truncated(pm->PortMappingDescription, e->PortMappingDescription);
}

uint32_t mapping_index(const char *func, const char *path)
{
    uint32_t index = 0;
    if (!gwapi::path_index(path, &index))
        GWLOG(LOG_LVL_INFO, "(%s) PortMapping path %s has no index.", func, path);
    return index;
}

int write_enabled(const char *path, gboolean enable)
{
    return g_hgu_SetProperty(HGU_BUS_NAME, path, kPortMappingIface, "PortMappingEnabled",
                             g_variant_new_boolean(enable));
}

// Finds the connection and lists its mappings; -1 or -2 as find_wan.
int wan_and_mappings(const char *func, uint32_t wan_index, ccif_WANConnectionInfo_t *wan,
                     List<ccif_PortMapping_t> &maps)
{
    const int rc = gwapi::find_wan(func, wan_index, wan);
    if (rc != 0)
        return rc;
    if (gwapi::list_under(ccif_PortMapping_get_objs, wan->path, maps) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s/PortMapping objects failed.", func, wan->path);
        return -1;
    }
    return 0;
}

// Adds the entry below the connection; the new mapping's index, or -1.
int add_below(const char *func, const ccif_WANConnectionInfo_t &wan, const api_PortMappingEntry_t *entry)
{
    ccif_PortMapping_t pm{};
    entry_to_record(entry, &pm);
    if (ccif_PortMapping_add_obj(wan.path, &pm) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) AddObject %s/PortMapping failed.", func, wan.path);
        return -1;
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) AddObject %s/PortMapping success.", func, wan.path);
    return static_cast<int>(mapping_index(func, pm.path));
}

}  // namespace

extern "C" {

int api_getPortMappingInfo(api_PortMappingInfo_t **info, int *count)
{
    API_ENTER();
    const char *const fn = __func__;
    return gwapi::guarded(fn, [&]() -> int {
        if (!info || !count)
            return -1;
        *info = nullptr;
        *count = 0;
        List<ccif_WANConnectionInfo_t> wans;
        if (gwapi::list(ccif_WANConnectionInfo_get_objs, wans) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get WANConnectionInfo objects failed.", fn);
            return -1;
        }
        if (wans.count == 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) WANConnectionInfo objects is 0, wan not exist.", fn);
            return 0;
        }
        struct Pending {
            const ccif_WANConnectionInfo_t *wan;
            List<ccif_PortMapping_t> maps;
        };
        std::vector<Pending> found;
        for (const auto &w : wans) {
            Pending p{&w, {}};
            if (gwapi::list_under(ccif_PortMapping_get_objs, w.path, p.maps) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) get %s/PortMapping objects failed.", fn, w.path);
                continue;
            }
            if (p.maps.count > 0)
                found.push_back(std::move(p));
        }
        if (found.empty()) {
            GWLOG(LOG_LVL_NOTICE, "(%s) no PortMappingInfo.", fn);
            return 0;
        }
        auto *out = g_new0(api_PortMappingInfo_t, found.size());
        for (size_t i = 0; i < found.size(); ++i) {
            api_PortMappingInfo_t &o = out[i];
            copy_truncated(o.WANName, found[i].wan->WANName);
            o.PortMappingNum = static_cast<uint32_t>(found[i].maps.count);
            o.PortMapping = g_new0(api_PortMappingItem_t, found[i].maps.count);
            int j = 0;
            for (const auto &m : found[i].maps) {
                api_PortMappingItem_t &it = o.PortMapping[j++];
                it.Index = mapping_index(fn, m.path);
                it.PortMappingEnabled = m.PortMappingEnabled;
                it.PortMappingLeaseDuration = m.PortMappingLeaseDuration;
                copy_truncated(it.RemoteHost, m.RemoteHost);
                it.ExternalPort = m.ExternalPort;
                it.InternalPort = m.InternalPort;
                copy_truncated(it.PortMappingProtocol, m.PortMappingProtocol);
                copy_truncated(it.InternalClient, m.InternalClient);
                copy_truncated(it.PortMappingDescription, m.PortMappingDescription);
            }
        }
        *info = out;
        *count = static_cast<int>(found.size());
        return 0;
    });
}

int api_releasePortMappingInfo(api_PortMappingInfo_t *info, int count)
{
    if (!info)
        return -1;
    for (int i = 0; i < count; ++i)
        g_free(info[i].PortMapping);
    g_free(info);
    return 0;
}

int api_addPortMapping(uint32_t wan_index, const api_PortMappingEntry_t *entry)
{
    API_ENTER();
    if (!entry)
        return -1;
    ccif_WANConnectionInfo_t wan{};
    List<ccif_PortMapping_t> maps;
    if (wan_and_mappings(__func__, wan_index, &wan, maps) != 0)
        return -1;
    if (maps.count > API_PORTMAPPING_MAX) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Portmapping exceeds the maximum limit.", __func__);
        return -2;
    }
    for (const auto &m : maps) {
        if (m.ExternalPort == entry->ExternalPort && m.InternalPort == entry->InternalPort &&
            std::strcmp(m.PortMappingProtocol, entry->PortMappingProtocol) == 0 &&
            std::strcmp(m.InternalClient, entry->InternalClient) == 0) {
            if (!m.PortMappingEnabled && write_enabled(m.path, TRUE) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) PortMapping exist, but set enable failed", __func__);
                return -1;
            }
            GWLOG(LOG_LVL_NOTICE, "(%s) PortMapping found, do not add.", __func__);
            return 0;
        }
    }
    return add_below(__func__, wan, entry) < 0 ? -1 : 0;
}

int api_setPortMapping(uint32_t wan_index, uint32_t mapping_index_in, const api_PortMappingEntry_t *entry)
{
    API_ENTER();
    if (!entry)
        return -1;
    ccif_WANConnectionInfo_t wan{};
    List<ccif_PortMapping_t> maps;
    if (wan_and_mappings(__func__, wan_index, &wan, maps) != 0)
        return -1;
    if (maps.count > API_PORTMAPPING_MAX) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Portmapping exceeds the maximum limit.", __func__);
        return -2;
    }
    if (mapping_index_in != 0) {
        for (auto &m : maps) {
            uint32_t idx = 0;
            if (!gwapi::path_index(m.path, &idx) || idx != mapping_index_in)
                continue;
            entry_to_record(entry, &m);
            if (ccif_PortMapping_set(&m) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) SetValues %s failed.", __func__, m.path);
                return -1;
            }
            return static_cast<int>(idx);
        }
    }
    return add_below(__func__, wan, entry);
}

int api_deletePortMapping(uint32_t wan_index, uint32_t mapping_index_in)
{
    API_ENTER();
    const char *const fn = __func__;
    return gwapi::guarded(fn, [&]() -> int {
        ccif_WANConnectionInfo_t wan{};
        if (gwapi::find_wan(fn, wan_index, &wan) != 0)
            return -1;
        const std::string path = std::string(wan.path) + "/PortMapping/" + std::to_string(mapping_index_in);
        if (ccif_PortMapping_del_obj(path.c_str()) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) DeleteObject %s failed.", fn, path.c_str());
            return -1;
        }
        return 0;
    });
}

int api_setPortMappingSwitch(uint32_t wan_index, uint32_t mapping_index_in, gboolean enable)
{
    API_ENTER();
    ccif_WANConnectionInfo_t wan{};
    List<ccif_PortMapping_t> maps;
    const int rc = wan_and_mappings(__func__, wan_index, &wan, maps);
    if (rc != 0)
        return rc;
    const gboolean want = enable ? TRUE : FALSE;
    for (const auto &m : maps) {
        uint32_t idx = 0;
        if (!gwapi::path_index(m.path, &idx) || idx != mapping_index_in)
            continue;
        if ((m.PortMappingEnabled ? TRUE : FALSE) == want) {
            GWLOG(LOG_LVL_NOTICE, "(%s) PortMapping found, do not set.", __func__);
            return 0;
        }
        if (write_enabled(m.path, want) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) PortMapping found, set PortMappingEnabled failed", __func__);
            return -1;
        }
        GWLOG(LOG_LVL_NOTICE, "(%s) PortMapping found, set PortMappingEnabled success.", __func__);
        return 0;
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) PortMappingIndex not exist from %s.", __func__, wan.path);
    return -2;
}

}  // extern "C"

// ---- LAN address and DHCP server ------------------------------------------------------------------

namespace {

constexpr const char *kDHCPServerPath = "/com/yvc/igd1/Config/DHCPServer";
constexpr const char *kDHCPServerIface = "com.yvc.igd1.DHCPServer";

// Dotted IPv4 text to a host-order number; false for anything else.
bool parse_ipv4(const char *text, uint32_t *out)
{
    if (gwapi::empty(text))
        return false;
    uint32_t v = 0;
    const char *p = text;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && *p++ != '.')
            return false;
        if (*p < '0' || *p > '9')
            return false;
        unsigned n = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            n = n * 10 + static_cast<unsigned>(*p++ - '0');
            if (++digits > 3 || n > 255)
                return false;
        }
        v = (v << 8) | n;
    }
    if (*p != '\0')
        return false;
    *out = v;
    return true;
}

bool contiguous_mask(uint32_t m)
{
    // Ones from the top, then zeros only; an all-zero mask is no LAN.
    return m != 0 && ((~m + 1) & ~m) == 0;
}

int write_dhcp(const char *func, gwapi::PropMap &map)
{
    if (g_hgu_SetMultiProperty(HGU_BUS_NAME, kDHCPServerPath, kDHCPServerIface, map.end()) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set DHCPServer failed.", func);
        return -1;
    }
    return 0;
}

}  // namespace

extern "C" {

int api_getLANHostIP(api_LANHostIP_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    ccif_DHCPServer_t d{};
    if (ccif_DHCPServer_get(&d) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get DHCPServer failed.", __func__);
        return -1;
    }
    copy_truncated(info->LocalIP, d.LocalIP);
    copy_truncated(info->Submask, d.Submask);
    return 0;
}

int api_setLANHostIP(const char *ip, const char *mask)
{
    API_ENTER();
    uint32_t a = 0, m = 0;
    if (!parse_ipv4(ip, &a) || !parse_ipv4(mask, &m) || !contiguous_mask(m)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) LAN address %s/%s is invalid.", __func__, ip ? ip : "NULL", mask ? mask : "NULL");
        return -1;
    }
    gwapi::PropMap map;
    map.add("LocalIP", g_variant_new_string(ip));
    map.add("Submask", g_variant_new_string(mask));
    return write_dhcp(__func__, map);
}

int api_getLANDHCPInfo(api_LANDHCPInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    ccif_DHCPServer_t d{};
    if (ccif_DHCPServer_get(&d) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get DHCPServer failed.", __func__);
        return -1;
    }
    info->DHCPServerEnable = d.DHCPServerEnable ? TRUE : FALSE;
    copy_truncated(info->DHCPStartIP, d.DHCPStartIP);
    copy_truncated(info->DHCPEndIP, d.DHCPEndIP);
    info->DHCPDuration = d.DHCPDuration;
    return 0;
}

int api_setLANDHCPInfo(const api_LANDHCPInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    // The caller's texts need not be terminated inside their fields.
    char start[sizeof info->DHCPStartIP];
    char end[sizeof info->DHCPEndIP];
    copy_truncated(start, info->DHCPStartIP);
    copy_truncated(end, info->DHCPEndIP);
    uint32_t s = 0, e = 0;
    if (!parse_ipv4(start, &s) || !parse_ipv4(end, &e) || s > e || info->DHCPDuration == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) DHCP pool %s-%s lease %u is invalid.", __func__, start, end, info->DHCPDuration);
        return -1;
    }
    // A pool outside the LAN's own subnet would hand out addresses no host could use.
    ccif_DHCPServer_t d{};
    if (ccif_DHCPServer_get(&d) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get DHCPServer failed.", __func__);
        return -1;
    }
    uint32_t lan = 0, mask = 0;
    if (parse_ipv4(d.LocalIP, &lan) && parse_ipv4(d.Submask, &mask) &&
        ((s & mask) != (lan & mask) || (e & mask) != (lan & mask))) {
        GWLOG(LOG_LVL_NOTICE, "(%s) DHCP pool %s-%s is outside %s/%s.", __func__, start, end, d.LocalIP, d.Submask);
        return -1;
    }
    gwapi::PropMap map;
    map.add("DHCPStartIP", g_variant_new_string(start));
    map.add("DHCPEndIP", g_variant_new_string(end));
    map.add("DHCPDuration", g_variant_new_uint32(info->DHCPDuration));
    map.add("DHCPServerEnable", g_variant_new_boolean(info->DHCPServerEnable ? TRUE : FALSE));
    return write_dhcp(__func__, map);
}

}  // extern "C"
