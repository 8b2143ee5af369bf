// The plug-in host's view of its plug-ins: the list with versions and run states, and one plug-in's state.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/methods.h"
#include "gwbus/strutil.h"

namespace {

struct PluginInfoFree {
    void operator()(mth_PluginInfo_t *p) const { g_free(p); }
};

}  // namespace

extern "C" {

int api_getListApp(api_AppInfo_t **apps, int *count)
{
    API_ENTER();
    if (!apps || !count)
        return -1;
    mth_PluginInfo_t *raw = nullptr;
    int n = 0;
    if (mth_Plugin_List(&raw, &n) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) List plugin failed.", __func__);
        return -1;
    }
    std::unique_ptr<mth_PluginInfo_t, PluginInfoFree> plugins(raw);
    *apps = nullptr;
    *count = 0;
    if (!plugins || n <= 0)
        return 0;
    gwapi::Block<api_AppInfo_t> out(static_cast<api_AppInfo_t *>(g_try_malloc0_n(n, sizeof(api_AppInfo_t))));
    if (!out) {
        GWLOG(LOG_LVL_ERR, "(%s) malloc for %d records failed.", __func__, n);
        return -1;
    }
    for (int i = 0; i < n; ++i) {
        const mth_PluginInfo_t &p = plugins.get()[i];
        copy_truncated(out[i].Name, p.Name);
        copy_truncated(out[i].Version, p.Version);
        // The host lists a library package without a run flag; it answers RUNNING for one on GetStatus.
        copy_truncated(out[i].State, p.Running ? "RUNNING" : "STOPPED");
    }
    *apps = out.release();
    *count = n;
    return 0;
}

int api_releaseListApp(api_AppInfo_t *apps, int count)
{
    (void)count;
    if (!apps)
        return -1;
    g_free(apps);
    return 0;
}

int api_getAppStatus(const char *name, char *state, int size)
{
    API_ENTER();
    if (gwapi::empty(name) || !state || size <= 0)
        return -1;
    if (mth_Plugin_GetStatus(name, state, static_cast<size_t>(size)) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) GetStatus of plugin %s failed.", __func__, name);
        return -1;
    }
    return 0;
}

}  // extern "C"
