// IP sets of the firewall, over the service's IPSet methods.
#include <string>
#include <vector>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace {

using Msg = gw::GCharPtr;

// 0 when the service did the work; -1 (logged with the method) otherwise.
int outcome(const char *func, const char *method, int code, const char *msg)
{
    if (code == 0)
        return 0;
    GWLOG(LOG_LVL_NOTICE, "(%s) %s failed, %d : %s", func, method, code, msg ? msg : "");
    return -1;
}

bool sets_valid(const char *func, const api_IPSet_t *sets, int count)
{
    if (!sets || count <= 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) IPSet list is empty.", func);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (sets[i].Name[0] == '\0') {
            GWLOG(LOG_LVL_NOTICE, "(%s) IPSet %d Name can not be NULL.", func, i);
            return false;
        }
    }
    return true;
}

// The caller's sets as the method records; the entry lists stay the caller's.
std::vector<mth_IPSet_t> to_mth(const api_IPSet_t *sets, int count)
{
    std::vector<mth_IPSet_t> out(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        mth_IPSet_t &m = out[static_cast<size_t>(i)];
        copy_truncated(m.Name, sets[i].Name);
        m.Type = sets[i].Type;
        m.Timeout = sets[i].Timeout;
        copy_truncated(m.Family, sets[i].Family);
        m.MaxElem = sets[i].MaxElem;
        m.Entries = sets[i].Entries;
    }
    return out;
}

void free_sets(api_IPSet_t *sets, int count)
{
    if (!sets)
        return;
    for (int i = 0; i < count; ++i)
        g_hgu_freeStrList(sets[i].Entries);
    g_free(sets);
}

// Unpacks the service's av, each element a (suusuas) set. Any other element fails the whole list.
int unpack(const char *func, GVariant *av, api_IPSet_t **sets, int *count)
{
    if (!av || !g_variant_is_of_type(av, G_VARIANT_TYPE("av"))) {
        GWLOG(LOG_LVL_NOTICE, "(%s) IPSet reply is not av.", func);
        return -1;
    }
    const int n = static_cast<int>(g_variant_n_children(av));
    if (n == 0)
        return 0;
    auto *out = g_new0(api_IPSet_t, n);
    for (int i = 0; i < n; ++i) {
        gw::VariantPtr boxed(g_variant_get_child_value(av, static_cast<size_t>(i)));
        gw::VariantPtr v(g_variant_get_variant(boxed.get()));
        if (!g_variant_is_of_type(v.get(), G_VARIANT_TYPE("(suusuas)"))) {
            GWLOG(LOG_LVL_NOTICE, "(%s) IPSet element %d type %s is not (suusuas).", func, i,
                  g_variant_get_type_string(v.get()));
            free_sets(out, i);
            return -1;
        }
        api_IPSet_t &s = out[i];
        const char *name = nullptr;
        const char *family = nullptr;
        g_variant_get(v.get(), "(&suu&su@as)", &name, &s.Type, &s.Timeout, &family, &s.MaxElem, nullptr);
        copy_truncated(s.Name, name);
        copy_truncated(s.Family, family);
        gw::VariantPtr entries(g_variant_get_child_value(v.get(), 5));
        if (var2value_strings(entries.get(), &s.Entries) < 0) {
            free_sets(out, i + 1);
            return -1;
        }
    }
    *sets = out;
    *count = n;
    return 0;
}

using Query = int (*)(GVariant **, char **);

// Runs one of the Get...Conf/Info calls and unpacks its sets.
template <typename Call> int get_sets(const char *func, const char *method, Call call, api_IPSet_t **sets, int *count)
{
    if (!sets || !count)
        return -1;
    *sets = nullptr;
    *count = 0;
    GVariant *raw = nullptr;
    char *msg = nullptr;
    const int code = call(&raw, &msg);
    gw::VariantPtr av(raw);
    Msg msg_owner(msg);
    if (outcome(func, method, code, msg) != 0)
        return -1;
    return unpack(func, av.get(), sets, count);
}

bool names_valid(const char *func, const char *const *names, int count)
{
    if (!names || count <= 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) IPSet names are empty.", func);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (gwapi::empty(names[i])) {
            GWLOG(LOG_LVL_NOTICE, "(%s) IPSet name %d can not be NULL.", func, i);
            return false;
        }
    }
    return true;
}

int release(api_IPSet_t *sets, int count)
{
    if (!sets)
        return -1;
    free_sets(sets, count);
    return 0;
}

}  // namespace

extern "C" {

int api_addIPSets(const api_IPSet_t *sets, int count)
{
    API_ENTER();
    const char *const fn = __func__;
    if (!sets_valid(fn, sets, count))
        return -1;
    return gwapi::guarded(fn, [&]() -> int {
        const std::vector<mth_IPSet_t> m = to_mth(sets, count);
        char *msg = nullptr;
        const int code = mth_IPSet_AddIPSet(m.data(), count, &msg);
        Msg owner(msg);
        return outcome(fn, "AddIPSet", code, msg);
    });
}

int api_deleteIPSetsEntry(const api_IPSet_t *sets, int count)
{
    API_ENTER();
    const char *const fn = __func__;
    if (!sets_valid(fn, sets, count))
        return -1;
    return gwapi::guarded(fn, [&]() -> int {
        const std::vector<mth_IPSet_t> m = to_mth(sets, count);
        char *msg = nullptr;
        const int code = mth_IPSet_DeleteIPSetEntry(m.data(), count, &msg);
        Msg owner(msg);
        return outcome(fn, "DeleteIPSetEntry", code, msg);
    });
}

int api_deleteIPSets(const char *name)
{
    API_ENTER();
    if (gwapi::empty(name)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) IPSet name can not be NULL.", __func__);
        return -1;
    }
    char *msg = nullptr;
    const int code = mth_IPSet_DeleteIPSet_delete(name, &msg);
    Msg owner(msg);
    return outcome(__func__, "DeleteIPSet", code, msg);
}

int api_clearIPSets(const char *name)
{
    API_ENTER();
    if (gwapi::empty(name)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) IPSet name can not be NULL.", __func__);
        return -1;
    }
    char *msg = nullptr;
    const int code = mth_IPSet_DeleteIPSet_clear(name, &msg);
    Msg owner(msg);
    return outcome(__func__, "DeleteIPSet", code, msg);
}

int api_checkIPSetEntry(const char *name, const char *entry, int *found)
{
    API_ENTER();
    if (gwapi::empty(name) || gwapi::empty(entry) || !found) {
        GWLOG(LOG_LVL_NOTICE, "(%s) IPSet name or entry can not be NULL.", __func__);
        return -1;
    }
    int result = 0;
    char *msg = nullptr;
    const int code = mth_IPSet_CheckIPSetEntry(name, entry, &result, &msg);
    Msg owner(msg);
    if (outcome(__func__, "CheckIPSetEntry", code, msg) != 0)
        return -1;
    *found = result;
    return 0;
}

int api_getIPSetsConf(const char *const *names, int name_count, api_IPSet_t **sets, int *count)
{
    API_ENTER();
    if (!names_valid(__func__, names, name_count))
        return -1;
    return get_sets(
        __func__, "GetIPSetConf",
        [&](GVariant **v, char **m) { return mth_IPSet_GetIPSetConf(names, name_count, v, m); }, sets, count);
}

int api_releaseIPSetsConf(api_IPSet_t *sets, int count) { return release(sets, count); }

int api_getIPSetsAllConf(api_IPSet_t **sets, int *count)
{
    API_ENTER();
    return get_sets(__func__, "GetIPSetAllConf", mth_IPSet_GetIPSetAllConf, sets, count);
}

int api_releaseIPSetsAllConf(api_IPSet_t *sets, int count) { return release(sets, count); }

int api_getIPSetsInfo(const char *const *names, int name_count, api_IPSet_t **sets, int *count)
{
    API_ENTER();
    if (!names_valid(__func__, names, name_count))
        return -1;
    return get_sets(
        __func__, "GetIPSetInfo",
        [&](GVariant **v, char **m) { return mth_IPSet_GetIPSetInfo(names, name_count, v, m); }, sets, count);
}

int api_releaseIPSetsInfo(api_IPSet_t *sets, int count) { return release(sets, count); }

int api_getIPSetsAllInfo(api_IPSet_t **sets, int *count)
{
    API_ENTER();
    return get_sets(__func__, "GetIPSetAllInfo", mth_IPSet_GetIPSetAllInfo, sets, count);
}

int api_releaseIPSetsAllInfo(api_IPSet_t *sets, int count) { return release(sets, count); }

}  // extern "C"
