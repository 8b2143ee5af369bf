// WMM configurations per SSID and their service IP sets.
#include <string>
#include <vector>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/strutil.h"

using gwapi::List;

namespace {

// String properties of a service IP set, besides its ServiceName key.
struct ServiceField {
    const char *name;
    size_t offset;
};
#define GW_SVC(f)                                                                                                      \
    ServiceField { #f, offsetof(ccif_WMMServiceIPSet_t, f) }
constexpr ServiceField kServiceFields[] = {
    GW_SVC(ACLevel), GW_SVC(TargetIP), GW_SVC(TargetPort), GW_SVC(SourceIP), GW_SVC(SourcePort), GW_SVC(Protocol),
};
#undef GW_SVC

const char *field(const ccif_WMMServiceIPSet_t &s, const ServiceField &f)
{
    return reinterpret_cast<const char *>(&s) + f.offset;
}

void service_from_api(const api_WMMServiceIPSet_t *in, ccif_WMMServiceIPSet_t *out)
{
    copy_truncated(out->ServiceName, in->ServiceName);
    copy_truncated(out->ACLevel, in->ACLevel);
    copy_truncated(out->TargetIP, in->TargetIP);
    copy_truncated(out->TargetPort, in->TargetPort);
    copy_truncated(out->SourceIP, in->SourceIP);
    copy_truncated(out->SourcePort, in->SourcePort);
    copy_truncated(out->Protocol, in->Protocol);
}

void service_to_api(const ccif_WMMServiceIPSet_t &in, api_WMMServiceIPSet_t *out)
{
    copy_truncated(out->ServiceName, in.ServiceName);
    copy_truncated(out->ACLevel, in.ACLevel);
    copy_truncated(out->TargetIP, in.TargetIP);
    copy_truncated(out->TargetPort, in.TargetPort);
    copy_truncated(out->SourceIP, in.SourceIP);
    copy_truncated(out->SourcePort, in.SourcePort);
    copy_truncated(out->Protocol, in.Protocol);
}

const ccif_WMMConfiguration_t *config_of(const List<ccif_WMMConfiguration_t> &cfgs, const char *ssid)
{
    for (const auto &c : cfgs)
        if (std::strcmp(c.WMMSupportedSSID, ssid) == 0)
            return &c;
    return nullptr;
}

const ccif_WMMServiceIPSet_t *service_of(const List<ccif_WMMServiceIPSet_t> &svcs, const char *name)
{
    for (const auto &s : svcs)
        if (std::strcmp(s.ServiceName, name) == 0)
            return &s;
    return nullptr;
}

// Writes only what differs, U-APSD first; 0 also when nothing differs.
int update_config(const char *func, const ccif_WMMConfiguration_t &c, gboolean wmm, gboolean uapsd)
{
    const bool uapsd_differs = (c.UAPSDSupported ? TRUE : FALSE) != uapsd;
    const bool wmm_differs = (c.WMMEnable ? TRUE : FALSE) != wmm;
    if (!uapsd_differs && !wmm_differs) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s.WMMEnable need not change.", func, c.path);
        return 0;
    }
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
    if (uapsd_differs)
        g_variant_builder_add(&b, "{sv}", "UAPSDSupported", g_variant_new_boolean(uapsd));
    if (wmm_differs)
        g_variant_builder_add(&b, "{sv}", "WMMEnable", g_variant_new_boolean(wmm));
    if (ccif_WMMConfiguration_setv(c.path, g_variant_builder_end(&b)) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", func, c.path);
        return -1;
    }
    return 0;
}

int add_config(const char *func, const char *ssid, gboolean wmm, gboolean uapsd, ccif_WMMConfiguration_t *out)
{
    ccif_WMMConfiguration_t c{};
    copy_truncated(c.WMMSupportedSSID, 26, ssid);
    c.WMMEnable = wmm;
    c.UAPSDSupported = uapsd;
    if (ccif_WMMConfiguration_add_obj(&c) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) AddObject WMMConfiguration %s failed.", func, ssid);
        return -1;
    }
    if (out)
        *out = c;
    return 0;
}

int clear_services(const char *func, const char *config_path)
{
    const std::string coll = std::string(config_path) + "/WMMServiceIPSet";
    if (g_hgu_CallMethod(HGU_BUS_NAME, coll.c_str(), HGU_OBJECT_MANAGER_INTERFACE, "RemoveAllObjects", nullptr, nullptr,
                         HGU_DEFAULT_TIMEOUT) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) RemoveAllObjects %s.WMMServiceIPSet failed.", func, config_path);
        return -1;
    }
    return 0;
}

int list_configs(const char *func, List<ccif_WMMConfiguration_t> &cfgs)
{
    if (gwapi::list(ccif_WMMConfiguration_get_objs, cfgs) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get WMMConfiguration objects failed.", func);
        return -1;
    }
    return 0;
}

int list_services(const char *func, const char *config_path, List<ccif_WMMServiceIPSet_t> &svcs)
{
    if (gwapi::list_under(ccif_WMMServiceIPSet_get_objs, config_path, svcs) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s/WMMServiceIPSet objects failed.", func, config_path);
        return -1;
    }
    return 0;
}

void free_info(api_WMMIPSetInfo_t *info, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        g_free(info[i].Service);
    g_free(info);
}

}  // namespace

extern "C" {

int isVaildWMMSSID(const char *ssid)
{
    const int wifi = getDeviceWiFi();
    if (wifi == 0) {
        GWLOG(LOG_LVL_NOTICE, "Device does not support WMM");
        return -1;
    }
    const char highest = wifi == 1 ? '4' : '8';
    if (!ssid || std::strncmp(ssid, "SSID", 4) != 0 || ssid[4] < '1' || ssid[4] > highest || ssid[5] != '\0') {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s is not a valid WMM SSID.", __func__, ssid ? ssid : "(null)");
        return -1;
    }
    return 0;
}

int api_setWMMEnable(const char *ssid, gboolean wmm_enable, gboolean uapsd_enable)
{
    API_ENTER();
    if (const int rc = gwapi::check_wifi(__func__); rc != 0)
        return rc;
    const gboolean wmm = wmm_enable ? TRUE : FALSE;
    const gboolean uapsd = uapsd_enable ? TRUE : FALSE;
    if (!gwapi::empty(ssid) && isVaildWMMSSID(ssid) != 0)
        return -1;
    List<ccif_WMMConfiguration_t> cfgs;
    if (list_configs(__func__, cfgs) != 0)
        return -1;
    if (gwapi::empty(ssid)) {
        if (cfgs.count == 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) WMMConfiguration objects is 0.", __func__);
            return -1;
        }
        for (const auto &c : cfgs)
            if (update_config(__func__, c, wmm, uapsd) != 0)
                return -1;
        return 0;
    }
    if (const auto *c = config_of(cfgs, ssid))
        return update_config(__func__, *c, wmm, uapsd);
    return add_config(__func__, ssid, wmm, uapsd, nullptr);
}

int api_setWMMServiceIPSet(const char *ssid, const api_WMMServiceIPSet_t *service)
{
    API_ENTER();
    const char *const fn = __func__;
    return gwapi::guarded(fn, [&]() -> int {
        if (const int rc = gwapi::check_wifi(fn); rc != 0)
            return rc;
        if (gwapi::empty(ssid)) {
            GWLOG(LOG_LVL_NOTICE, "(%s) WMMSupportedSSID can not be NULL.", fn);
            return -1;
        }
        if (!service || gwapi::empty(service->ServiceName)) {
            GWLOG(LOG_LVL_NOTICE, "(%s) ServiceName can not be NULL.", fn);
            return -1;
        }
        ccif_WMMServiceIPSet_t want{};
        service_from_api(service, &want);

        List<ccif_WMMConfiguration_t> cfgs;
        if (list_configs(fn, cfgs) != 0)
            return -1;
        ccif_WMMConfiguration_t cfg{};
        if (const auto *c = config_of(cfgs, ssid)) {
            cfg = *c;
        } else {
            // A configuration is created only for an SSID the device has.
            if (isVaildWMMSSID(ssid) != 0 || add_config(fn, ssid, FALSE, FALSE, &cfg) != 0)
                return -1;
        }
        List<ccif_WMMServiceIPSet_t> svcs;
        if (list_services(fn, cfg.path, svcs) != 0)
            return -1;
        const ccif_WMMServiceIPSet_t *have = service_of(svcs, want.ServiceName);
        if (!have) {
            if (ccif_WMMServiceIPSet_add_obj(cfg.path, &want) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) AddObject %s/WMMServiceIPSet failed.", fn, cfg.path);
                return -1;
            }
            return 0;
        }
        GVariantBuilder b;
        g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
        bool differs = false;
        for (const auto &f : kServiceFields) {
            if (std::strcmp(field(*have, f), field(want, f)) != 0) {
                g_variant_builder_add(&b, "{sv}", f.name, g_variant_new_string(field(want, f)));
                differs = true;
            }
        }
        if (!differs) {
            g_variant_builder_clear(&b);
            GWLOG(LOG_LVL_NOTICE, "(%s) %s.%s need not change.", fn, ssid, want.ServiceName);
            return 0;
        }
        if (ccif_WMMServiceIPSet_setv(have->path, g_variant_builder_end(&b)) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", fn, have->path);
            return -1;
        }
        return 0;
    });
}

int api_deleteWMMServiceIPSet(const char *ssid, const char *service_name)
{
    API_ENTER();
    const char *const fn = __func__;
    return gwapi::guarded(fn, [&]() -> int {
        if (const int rc = gwapi::check_wifi(fn); rc != 0)
            return rc;
        List<ccif_WMMConfiguration_t> cfgs;
        if (list_configs(fn, cfgs) != 0)
            return -1;
        if (gwapi::empty(ssid)) {
            for (const auto &c : cfgs)
                if (clear_services(fn, c.path) != 0)
                    return -1;
            return 0;
        }
        const auto *c = config_of(cfgs, ssid);
        if (!c) {
            GWLOG(LOG_LVL_NOTICE, "(%s) WMMSupportedSSID no match object.", fn);
            return -1;
        }
        if (gwapi::empty(service_name))
            return clear_services(fn, c->path);
        List<ccif_WMMServiceIPSet_t> svcs;
        if (list_services(fn, c->path, svcs) != 0)
            return -1;
        const auto *s = service_of(svcs, service_name);
        if (!s) {
            GWLOG(LOG_LVL_NOTICE, "(%s) WMMSupportedSSID or ServiceName no match object.", fn);
            return -1;
        }
        if (ccif_WMMServiceIPSet_del_obj(s->path) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) DeleteObject %s failed.", fn, s->path);
            return -1;
        }
        return 0;
    });
}

int api_getWMMIPSetInfo(const char *ssid, const char *service_name, api_WMMIPSetInfo_t **info, int *count)
{
    API_ENTER();
    const char *const fn = __func__;
    return gwapi::guarded(fn, [&]() -> int {
        if (!info || !count)
            return -1;
        *info = nullptr;
        *count = 0;
        if (const int rc = gwapi::check_wifi(fn); rc != 0)
            return rc;
        List<ccif_WMMConfiguration_t> cfgs;
        if (list_configs(fn, cfgs) != 0)
            return -1;
        std::vector<const ccif_WMMConfiguration_t *> chosen;
        if (gwapi::empty(ssid)) {
            for (const auto &c : cfgs)
                chosen.push_back(&c);
        } else if (const auto *c = config_of(cfgs, ssid)) {
            chosen.push_back(c);
        } else {
            GWLOG(LOG_LVL_NOTICE, "(%s) WMMSupportedSSID no match object.", fn);
            return -1;
        }
        if (chosen.empty())
            return 0;
        const bool one_service = !gwapi::empty(ssid) && !gwapi::empty(service_name);
        auto *out = g_new0(api_WMMIPSetInfo_t, chosen.size());
        for (size_t i = 0; i < chosen.size(); ++i) {
            const ccif_WMMConfiguration_t &c = *chosen[i];
            api_WMMIPSetInfo_t &o = out[i];
            copy_truncated(o.WMMSupportedSSID, c.WMMSupportedSSID);
            o.WMMEnable = c.WMMEnable;
            o.UAPSDSupported = c.UAPSDSupported;
            List<ccif_WMMServiceIPSet_t> svcs;
            if (list_services(fn, c.path, svcs) != 0) {
                free_info(out, chosen.size());
                return -1;
            }
            if (one_service) {
                const auto *s = service_of(svcs, service_name);
                if (!s) {
                    GWLOG(LOG_LVL_NOTICE, "(%s) WMMSupportedSSID or ServiceName no match object.", fn);
                    free_info(out, chosen.size());
                    return -1;
                }
                o.ServiceNum = 1;
                o.Service = g_new0(api_WMMServiceIPSet_t, 1);
                service_to_api(*s, o.Service);
                continue;
            }
            o.ServiceNum = static_cast<uint32_t>(svcs.count);
            if (svcs.count > 0)
                o.Service = g_new0(api_WMMServiceIPSet_t, svcs.count);
            int j = 0;
            for (const auto &s : svcs)
                service_to_api(s, &o.Service[j++]);
        }
        *info = out;
        *count = static_cast<int>(chosen.size());
        return 0;
    });
}

int api_releaseWMMIPSetInfo(api_WMMIPSetInfo_t *info, int count)
{
    if (!info)
        return -1;
    free_info(info, count > 0 ? static_cast<size_t>(count) : 0);
    return 0;
}

}  // extern "C"
