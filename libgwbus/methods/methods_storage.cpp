// Attached storage (NAS access, USB file systems), the FTTO slave manager, and the framework's own
// services (plug-in host, framework, agent).
#include <cstring>

#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"
#include "method_call.hpp"

using namespace gw::methods;
using gw::VariantPtr;

namespace {

const char *s_or_empty(const char *s) { return s ? s : ""; }

int one_text(Id id, const char *path, const char *text, int *status, char **errmsg)
{
    if (!texts_valid(id, {text}))
        return -1;
    return simple(id, path, g_variant_new("(s)", s_or_empty(text)), status, errmsg);
}

int two_texts(Id id, const char *a, const char *b, int *status, char **errmsg)
{
    if (!texts_valid(id, {a, b}))
        return -1;
    return simple(id, nullptr, g_variant_new("(ss)", s_or_empty(a), s_or_empty(b)), status, errmsg);
}

// With refusal_fails, a non-zero result code fails the call (its code and text still come back) and
// hands out no records.
template <typename R, size_t N>
int list_reply(Id id, GVariant *args, const Field (&fields)[N], R **out, int *count, int *status, char **errmsg,
               bool refusal_fails = false)
{
    VariantPtr owned = gw::adopt_variant(args);
    if (!out || !count) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    VariantPtr reply;
    if (call(id, nullptr, owned.release(), reply) != 0)
        return -1;
    if (pass_refusal(id, reply.get(), status, errmsg) != 0 && refusal_fails) {
        *out = nullptr;
        *count = 0;
        return -1;
    }
    VariantPtr list(g_variant_get_child_value(reply.get(), 0));
    return copy_array(list.get(), fields, N, sizeof(R), reinterpret_cast<void **>(out), count);
}

}  // namespace

extern "C" {

int mth_GetDiscInfo(mth_DiscInfo_t **discs, int *count, int *status, char **errmsg)
{
    using R = mth_DiscInfo_t;
    static constexpr Field kFields[] = {GW_F(R, DiscName, 's'), GW_F(R, ConnectInterface, 's'), GW_F(R, UsedSize, 's'),
                                        GW_F(R, FreeSize, 's'), GW_F(R, TotalSize, 's')};
    return list_reply(kGetDiscInfo, nullptr, kFields, discs, count, status, errmsg, true);
}

int mth_GetFileNum(const char *folder, uint32_t *num, int *status, char **errmsg)
{
    if (!texts_valid(kGetFileNum, {folder}))
        return -1;
    VariantPtr reply;
    if (simple(kGetFileNum, nullptr, g_variant_new("(s)", s_or_empty(folder)), status, errmsg, &reply) != 0)
        return -1;
    if (num)
        g_variant_get(reply.get(), "(uus)", num, nullptr, nullptr);
    return 0;
}

int mth_ListFolder(const char *folder, uint32_t start, uint32_t end, mth_FolderEntry_t **entries, int *count,
                   int *status, char **errmsg)
{
    using R = mth_FolderEntry_t;
    static constexpr Field kFields[] = {GW_F(R, FileName, 's'), GW_F(R, PhysicalFolderName, 's'),
                                        GW_F(R, IsFolder, 'b'), GW_F(R, FileSize, 't'), GW_F(R, ModifiedTime, 's')};
    if (!texts_valid(kListFolder, {folder}))
        return -1;
    return list_reply(kListFolder, g_variant_new("(suu)", s_or_empty(folder), start, end), kFields, entries, count,
                      status, errmsg, true);
}

int mth_CreateFolder(const char *folder, int *status, char **errmsg)
{
    return one_text(kCreateFolder, nullptr, folder, status, errmsg);
}
int mth_Remove(const char *name, int *status, char **errmsg)
{
    return one_text(kRemove, nullptr, name, status, errmsg);
}
int mth_Rename(const char *from, const char *to, int *status, char **errmsg)
{
    return two_texts(kRename, from, to, status, errmsg);
}
int mth_Move(const char *from, const char *to, int *status, char **errmsg)
{
    return two_texts(kMove, from, to, status, errmsg);
}
int mth_Copy(const char *from, const char *to, int *status, char **errmsg)
{
    return two_texts(kCopy, from, to, status, errmsg);
}

int mth_Mount(const char *fs_path, GVariant *options, char **mount_point, int *status, char **errmsg)
{
    VariantPtr opts = gw::adopt_variant(options);
    if (opts && !g_variant_is_of_type(opts.get(), G_VARIANT_TYPE_VARDICT)) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        GWLOG(LOG_LVL_WARN, "call method %s failed.", row(kMount).name);
        return -1;
    }
    GVariant *map = opts ? opts.get() : g_variant_new("a{sv}", nullptr);
    VariantPtr reply;
    if (simple(kMount, fs_path, g_variant_new("(@a{sv})", map), status, errmsg, &reply) != 0)
        return -1;
    if (mount_point) {
        const char *mp = nullptr;
        g_variant_get(reply.get(), "(&sus)", &mp, nullptr, nullptr);
        *mount_point = g_strdup(mp);
    }
    return 0;
}

int mth_Unmount(const char *fs_path, const char *arg, int *status, char **errmsg)
{
    return one_text(kUnmount, fs_path, arg, status, errmsg);
}
int mth_SetLabel(const char *fs_path, const char *label, int *status, char **errmsg)
{
    return one_text(kSetLabel, fs_path, label, status, errmsg);
}
int mth_Format(const char *fs_path, const char *fs_type, int *status, char **errmsg)
{
    return one_text(kFormat, fs_path, fs_type, status, errmsg);
}

int mth_SlaveManager_GetSlaveAllInfo(mth_SlaveInfo_t **slaves, int *count, int *status, char **errmsg)
{
    using R = mth_SlaveInfo_t;
    static constexpr Field kFields[] = {
        GW_F(R, Index, 'u'),     GW_F(R, OnlineStatus, 'u'), GW_F(R, PortNum, 'u'),    GW_F(R, UpTime, 'u'),
        GW_F(R, SN, 's'),        GW_F(R, MAC, 's'),          GW_F(R, ModelName, 's'),  GW_F(R, SWVersion, 's'),
        GW_F(R, HDVersion, 's'), GW_F(R, IPAddress, 's'),    GW_F(R, LinkStatus, 'u'),
    };
    return list_reply(kGetSlaveAllInfo, nullptr, kFields, slaves, count, status, errmsg);
}

int mth_Plugin_List(mth_PluginInfo_t **plugins, int *count)
{
    if (!plugins || !count) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    VariantPtr reply;
    if (call(kPluginList, nullptr, nullptr, reply) != 0)
        return -1;
    VariantPtr map(g_variant_get_child_value(reply.get(), 0));
    const size_t n = g_variant_n_children(map.get());
    *plugins = nullptr;
    *count = 0;
    if (n == 0)
        return 0;
    auto *out = static_cast<mth_PluginInfo_t *>(g_try_malloc0_n(n, sizeof(mth_PluginInfo_t)));
    if (!out) {
        GWLOG(LOG_LVL_ERR, "malloc for %d records failed.", static_cast<int>(n));
        return -1;
    }
    int filled = 0;
    for (size_t i = 0; i < n; ++i) {
        const char *name = nullptr;
        GVariant *raw = nullptr;
        g_variant_get_child(map.get(), i, "{&sv}", &name, &raw);
        VariantPtr v(raw);
        mth_PluginInfo_t &p = out[filled];
        const char *display = nullptr, *version = nullptr;
        // A library package is (ss); a package with a container is (ssui).
        if (g_variant_is_of_type(v.get(), G_VARIANT_TYPE("(ss)"))) {
            g_variant_get(v.get(), "(&s&s)", &display, &version);
            p.IsLibrary = 1;
            p.Running = 1;
        } else if (g_variant_is_of_type(v.get(), G_VARIANT_TYPE("(ssui)"))) {
            guint32 running = 0;
            g_variant_get(v.get(), "(&s&sui)", &display, &version, &running, &p.Pid);
            p.Running = running ? 1 : 0;
        } else {
            GWLOG(LOG_LVL_WARN, "plugin %s has an entry of type %s", name, g_variant_get_type_string(v.get()));
            continue;
        }
        copy_truncated(p.Name, name);
        copy_truncated(p.DisplayName, display);
        copy_truncated(p.Version, version);
        ++filled;
    }
    if (filled == 0) {
        g_free(out);
        out = nullptr;
    }
    *plugins = out;
    *count = filled;
    return 0;
}

int mth_Plugin_GetStatus(const char *name, char *state, size_t size)
{
    if (!name || !texts_valid(kPluginGetStatus, {name}))
        return -1;
    VariantPtr reply;
    if (call(kPluginGetStatus, nullptr, g_variant_new("(s)", name), reply) != 0)
        return -1;
    if (state && size) {
        const char *s = nullptr;
        g_variant_get(reply.get(), "(&s)", &s);
        copy_truncated(state, size, s);
    }
    return 0;
}

int mth_framework_Restore(uint32_t *result)
{
    VariantPtr reply;
    if (call(kFrameworkRestore, nullptr, nullptr, reply) != 0)
        return -1;
    if (result)
        g_variant_get(reply.get(), "(u)", result);
    return 0;
}

int mth_framework_Upgrade(const char *url, uint8_t mode, uint32_t *result)
{
    if (!url || !texts_valid(kFrameworkUpgrade, {url}))
        return -1;
    VariantPtr reply;
    if (call(kFrameworkUpgrade, nullptr, g_variant_new("(sy)", url, mode), reply) != 0)
        return -1;
    if (result)
        g_variant_get(reply.get(), "(u)", result);
    return 0;
}

int mth_gwagent_GetStatus(char *address, size_t size, uint32_t *port, uint32_t *status)
{
    VariantPtr reply;
    if (call(kGwagentGetStatus, nullptr, nullptr, reply) != 0)
        return -1;
    const char *addr = nullptr;
    guint32 p = 0, st = 0;
    g_variant_get(reply.get(), "(&suu)", &addr, &p, &st);
    if (address && size)
        copy_truncated(address, size, addr);
    if (port)
        *port = p;
    if (status)
        *status = st;
    return 0;
}

}  // extern "C"
