// IPTables, IPSet and the firewall families (L2TP VPN, network acceleration, traffic control).
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "../objects/object_engine.hpp"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"
#include "method_call.hpp"

using namespace gw::methods;
using gw::VariantPtr;
using gw::objects::Kind;
using gw::objects::make_prop;
using gw::objects::Prop;
using gw::objects::Rule;
using gw::objects::SetStyle;
using gw::objects::Written;

namespace {

#define FW_P(R, f, t) make_prop(#f, t, offsetof(R, f), sizeof(R::f))

using L2 = mth_Firewall_L2TPVPN_obj_t;
using NA = mth_Firewall_NetworkAcceleration_obj_t;
using TC = mth_Firewall_TrafficControl_obj_t;

constexpr Prop kL2Props[] = {FW_P(L2, Name, 's'),     FW_P(L2, InsAddress, 's'), FW_P(L2, UserName, 's'),
                             FW_P(L2, Password, 's'), FW_P(L2, DestPort, 'u'),   FW_P(L2, Enable, 'y'),
                             FW_P(L2, Operate, 'y')};
constexpr Written kL2Written[] = {{"Name", false},     {"InsAddress", false}, {"UserName", false}, {"Password", false},
                                  {"DestPort", false}, {"Enable", false},     {"Operate", false}};
constexpr Prop kNAProps[] = {FW_P(NA, Name, 's'), FW_P(NA, WANName, 's'), FW_P(NA, Enable, 'y'),
                             FW_P(NA, Operate, 'y')};
constexpr Written kNAWritten[] = {{"Name", false}, {"WANName", false}, {"Enable", false}, {"Operate", false}};
constexpr Prop kTCProps[] = {FW_P(TC, Name, 's'), FW_P(TC, Enable, 'y'), FW_P(TC, Operate, 'y'), FW_P(TC, Target, 'y'),
                             FW_P(TC, Priority, 'y')};
constexpr Written kTCWritten[] = {
    {"Name", false}, {"Enable", false}, {"Operate", false}, {"Target", false}, {"Priority", false}};

constexpr uint32_t kFamilyOps = gw::objects::kGetObjs | gw::objects::kAddObj | gw::objects::kDelObj;

// The instances of each family, as a collection kind of the object engine.
const Kind kL2Family = {"Firewall_L2TPVPN",
                        HGU_BUS_NAME,
                        "com.yvc.igd1.L2TPVPN",
                        Rule::Collection,
                        "/com/yvc/igd1/Firewall/L2TPVPN",
                        nullptr,
                        sizeof(L2),
                        0,
                        -1,
                        kL2Props,
                        G_N_ELEMENTS(kL2Props),
                        kL2Written,
                        G_N_ELEMENTS(kL2Written),
                        kFamilyOps,
                        SetStyle::Values};
const Kind kNAFamily = {"Firewall_NetworkAcceleration",
                        HGU_BUS_NAME,
                        "com.yvc.igd1.NetworkAcceleration",
                        Rule::Collection,
                        "/com/yvc/igd1/Firewall/NetworkAcceleration",
                        nullptr,
                        sizeof(NA),
                        0,
                        -1,
                        kNAProps,
                        G_N_ELEMENTS(kNAProps),
                        kNAWritten,
                        G_N_ELEMENTS(kNAWritten),
                        kFamilyOps,
                        SetStyle::Values};
const Kind kTCFamily = {"Firewall_TrafficControl",
                        HGU_BUS_NAME,
                        "com.yvc.igd1.TrafficControl",
                        Rule::Collection,
                        "/com/yvc/igd1/Firewall/TrafficControl",
                        nullptr,
                        sizeof(TC),
                        0,
                        -1,
                        kTCProps,
                        G_N_ELEMENTS(kTCProps),
                        kTCWritten,
                        G_N_ELEMENTS(kTCWritten),
                        kFamilyOps,
                        SetStyle::Values};

// (as i s): lines, code, text.
int table_lines(Id id, const char *command, char ***lines, int *line_count, int *status, char **errmsg)
{
    if (!texts_valid(id, {command}))
        return -1;
    VariantPtr reply;
    if (simple(id, nullptr, g_variant_new("(s)", command ? command : ""), status, errmsg, &reply) != 0)
        return -1;
    if (lines) {
        VariantPtr list(g_variant_get_child_value(reply.get(), 0));
        char **l = nullptr;
        const int n = var2value_strings(list.get(), &l);
        if (n < 0)
            return -1;
        *lines = l;
        if (line_count)
            *line_count = n;
    }
    return 0;
}

// The IPSet calls: out-parameters cleared first, the service's code returned as it is.
int ipset_call(Id id, GVariant *args, char **errmsg, VariantPtr *reply_out = nullptr)
{
    if (errmsg)
        *errmsg = nullptr;
    VariantPtr reply;
    if (call(id, nullptr, args, reply) != 0)
        return -1;
    const size_t n = g_variant_n_children(reply.get());
    VariantPtr code(g_variant_get_child_value(reply.get(), n - 2));
    VariantPtr text(g_variant_get_child_value(reply.get(), n - 1));
    const char *t = g_variant_get_string(text.get(), nullptr);
    if (errmsg && *t)
        *errmsg = g_strdup(t);
    if (reply_out)
        *reply_out = std::move(reply);
    return g_variant_get_int32(code.get());
}

GVariant *ipset_array(Id id, const mth_IPSet_t *sets, int count)
{
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a(suusuas)"));
    for (int i = 0; i < count; ++i) {
        const mth_IPSet_t &s = sets[i];
        const std::string name(s.Name, strnlen(s.Name, sizeof s.Name));
        const std::string family(s.Family, strnlen(s.Family, sizeof s.Family));
        bool ok = texts_valid(id, {name.c_str(), family.c_str()});
        for (char **e = s.Entries; ok && e && *e; ++e)
            ok = texts_valid(id, {*e});
        if (!ok) {
            g_variant_builder_clear(&b);
            return nullptr;
        }
        GVariantBuilder entries;
        g_variant_builder_init(&entries, G_VARIANT_TYPE_STRING_ARRAY);
        for (char **e = s.Entries; e && *e; ++e)
            g_variant_builder_add(&entries, "s", *e);
        g_variant_builder_add(&b, "(suusuas)", name.c_str(), s.Type, s.Timeout, family.c_str(), s.MaxElem, &entries);
    }
    return g_variant_new("(@a(suusuas))", g_variant_builder_end(&b));
}

int ipset_sets(Id id, const mth_IPSet_t *sets, int count, char **errmsg)
{
    if (errmsg)
        *errmsg = nullptr;
    if (count < 0 || (count > 0 && !sets)) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    GVariant *args = ipset_array(id, sets, count);
    if (!args)
        return -1;
    return ipset_call(id, args, errmsg);
}

int ipset_variants(Id id, const char *const *names, int count, GVariant **out, char **errmsg)
{
    if (out)
        *out = nullptr;
    GVariant *args = nullptr;
    if (names) {
        GVariantBuilder b;
        g_variant_builder_init(&b, G_VARIANT_TYPE_STRING_ARRAY);
        for (int i = 0; i < count; ++i) {
            if (!names[i] || !texts_valid(id, {names[i]})) {
                g_variant_builder_clear(&b);
                if (errmsg)
                    *errmsg = nullptr;
                return -1;
            }
            g_variant_builder_add(&b, "s", names[i]);
        }
        args = g_variant_new("(@as)", g_variant_builder_end(&b));
    }
    VariantPtr reply;
    const int code = ipset_call(id, args, errmsg, &reply);
    if (code != -1 && reply && out)
        *out = g_variant_get_child_value(reply.get(), 0);
    return code;
}

int profile_status(Id id, const char *name, mth_ProfileStatus_t **list, int *count, int *status, char **errmsg)
{
    using R = mth_ProfileRule_t;
    static constexpr Field kRuleFields[] = {GW_F(R, Address, 's'), GW_F(R, Protocol, 's'), GW_F(R, Port, 'u'),
                                            GW_F(R, Status, 'u')};
    if (!list || !count || !texts_valid(id, {name})) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    VariantPtr reply;
    if (simple(id, nullptr, g_variant_new("(s)", name ? name : ""), status, errmsg, &reply) != 0)
        return -1;
    VariantPtr av(g_variant_get_child_value(reply.get(), 0));
    // Each element holds an array of profiles; a bare profile record is taken as one as well.
    std::vector<VariantPtr> records;
    for (size_t i = 0; i < g_variant_n_children(av.get()); ++i) {
        VariantPtr boxed(g_variant_get_child_value(av.get(), i));
        VariantPtr v(g_variant_get_variant(boxed.get()));
        if (g_variant_is_of_type(v.get(), G_VARIANT_TYPE("a(suua(ssuu))"))) {
            for (size_t j = 0; j < g_variant_n_children(v.get()); ++j)
                records.emplace_back(g_variant_get_child_value(v.get(), j));
        } else if (g_variant_is_of_type(v.get(), G_VARIANT_TYPE("(suua(ssuu))"))) {
            records.push_back(std::move(v));
        } else {
            GWLOG(LOG_LVL_WARN, "profile status element type %s is not a(suua(ssuu))",
                  g_variant_get_type_string(v.get()));
        }
    }
    *list = nullptr;
    *count = 0;
    if (records.empty())
        return 0;
    auto *out = static_cast<mth_ProfileStatus_t *>(g_try_malloc0_n(records.size(), sizeof(mth_ProfileStatus_t)));
    if (!out) {
        GWLOG(LOG_LVL_ERR, "malloc for %d records failed.", static_cast<int>(records.size()));
        return -1;
    }
    int filled = 0;
    for (const VariantPtr &v : records) {
        mth_ProfileStatus_t &p = out[filled];
        const char *pname = nullptr;
        g_variant_get(v.get(), "(&suu@a(ssuu))", &pname, &p.Status, &p.Enable, nullptr);
        copy_truncated(p.Name, pname);
        VariantPtr rules(g_variant_get_child_value(v.get(), 3));
        void *block = nullptr;
        if (copy_array(rules.get(), kRuleFields, G_N_ELEMENTS(kRuleFields), sizeof(R), &block, &p.rule_count) != 0) {
            mth_releaseProfileStatus(out, filled);
            return -1;
        }
        p.rules = static_cast<R *>(block);
        ++filled;
    }
    *list = out;
    *count = filled;
    return 0;
}

}  // namespace

extern "C" {

int mth_RunIPTables(const char *command, char ***lines, int *line_count, int *status, char **errmsg)
{
    return table_lines(kRunIPTables, command, lines, line_count, status, errmsg);
}

int mth_RunIP6Tables(const char *command, char ***lines, int *line_count, int *status, char **errmsg)
{
    return table_lines(kRunIP6Tables, command, lines, line_count, status, errmsg);
}

void mth_IPSet_release(mth_IPSet_t *sets, int count)
{
    if (!sets)
        return;
    for (int i = 0; i < count; ++i)
        g_hgu_freeStrList(sets[i].Entries);
    g_free(sets);
}

int mth_IPSet_AddIPSet(const mth_IPSet_t *sets, int count, char **errmsg)
{
    return ipset_sets(kAddIPSet, sets, count, errmsg);
}

int mth_IPSet_DeleteIPSetEntry(const mth_IPSet_t *sets, int count, char **errmsg)
{
    return ipset_sets(kDeleteIPSetEntry, sets, count, errmsg);
}

int mth_IPSet_DeleteIPSet_delete(const char *name, char **errmsg)
{
    if (errmsg)
        *errmsg = nullptr;
    if (!texts_valid(kDeleteIPSet, {name}))
        return -1;
    return ipset_call(kDeleteIPSet, g_variant_new("(su)", name ? name : "", 0u), errmsg);
}

int mth_IPSet_DeleteIPSet_clear(const char *name, char **errmsg)
{
    if (errmsg)
        *errmsg = nullptr;
    if (!texts_valid(kDeleteIPSet, {name}))
        return -1;
    return ipset_call(kDeleteIPSet, g_variant_new("(su)", name ? name : "", 1u), errmsg);
}

int mth_IPSet_CheckIPSetEntry(const char *name, const char *entry, int *result, char **errmsg)
{
    if (result)
        *result = 0;
    if (errmsg)
        *errmsg = nullptr;
    if (!texts_valid(kCheckIPSetEntry, {name, entry}))
        return -1;
    VariantPtr reply;
    const int code =
        ipset_call(kCheckIPSetEntry, g_variant_new("(ss)", name ? name : "", entry ? entry : ""), errmsg, &reply);
    if (code != -1 && reply && result) {
        VariantPtr r(g_variant_get_child_value(reply.get(), 0));
        *result = g_variant_get_int32(r.get());
    }
    return code;
}

int mth_IPSet_GetIPSetName(char ***names, int *count, char **errmsg)
{
    if (names)
        *names = nullptr;
    if (count)
        *count = 0;
    VariantPtr reply;
    const int code = ipset_call(kGetIPSetName, nullptr, errmsg, &reply);
    if (code != -1 && reply && names) {
        VariantPtr list(g_variant_get_child_value(reply.get(), 0));
        const int n = var2value_strings(list.get(), names);
        if (n < 0)
            return -1;
        if (count)
            *count = n;
    }
    return code;
}

int mth_IPSet_GetIPSetConf(const char *const *names, int count, GVariant **confs, char **errmsg)
{
    if (!names || count < 0) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    return ipset_variants(kGetIPSetConf, names, count, confs, errmsg);
}

int mth_IPSet_GetIPSetAllConf(GVariant **confs, char **errmsg)
{
    return ipset_variants(kGetIPSetAllConf, nullptr, 0, confs, errmsg);
}

int mth_IPSet_GetIPSetInfo(const char *const *names, int count, GVariant **infos, char **errmsg)
{
    if (!names || count < 0) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    return ipset_variants(kGetIPSetInfo, names, count, infos, errmsg);
}

int mth_IPSet_GetIPSetAllInfo(GVariant **infos, char **errmsg)
{
    return ipset_variants(kGetIPSetAllInfo, nullptr, 0, infos, errmsg);
}

int mth_Firewall_L2TPVPN_GetL2TPVPNStatus(const char *path, mth_L2TPVPNStatus_t *vpn_status, int *status, char **errmsg)
{
    VariantPtr reply;
    if (simple(kGetL2TPVPNStatus, path, nullptr, status, errmsg, &reply) != 0)
        return -1;
    if (vpn_status) {
        const char *name = nullptr;
        g_variant_get(reply.get(), "((&su)us)", &name, &vpn_status->Status, nullptr, nullptr);
        copy_truncated(vpn_status->Name, name);
    }
    return 0;
}

void mth_releaseProfileStatus(mth_ProfileStatus_t *list, int count)
{
    if (!list)
        return;
    for (int i = 0; i < count; ++i)
        g_free(list[i].rules);
    g_free(list);
}

int mth_Firewall_L2TPVPNProfile_GetProfileStatus(const char *name, mth_ProfileStatus_t **list, int *count, int *status,
                                                 char **errmsg)
{
    return profile_status(kL2TPVPNProfileStatus, name, list, count, status, errmsg);
}

int mth_Firewall_NetworkAccelerationProfile_GetProfileStatus(const char *name, mth_ProfileStatus_t **list, int *count,
                                                             int *status, char **errmsg)
{
    return profile_status(kNetworkAccelerationProfileStatus, name, list, count, status, errmsg);
}

int mth_Firewall_TrafficControlProfile_GetProfileStatus(const char *name, mth_ProfileStatus_t **list, int *count,
                                                        int *status, char **errmsg)
{
    return profile_status(kTrafficControlProfileStatus, name, list, count, status, errmsg);
}

int mth_Firewall_L2TPVPN_add_obj(L2 *obj) { return gw::objects::add_obj(kL2Family, nullptr, obj); }
int mth_Firewall_L2TPVPN_del_obj(const char *path) { return gw::objects::del_obj(kL2Family, path); }
int mth_Firewall_L2TPVPN_get_objs(L2 **objs, int *count)
{
    return gw::objects::get_objs(kL2Family, nullptr, reinterpret_cast<void **>(objs), count);
}

int mth_Firewall_NetworkAcceleration_add_obj(NA *obj) { return gw::objects::add_obj(kNAFamily, nullptr, obj); }
int mth_Firewall_NetworkAcceleration_del_obj(const char *path) { return gw::objects::del_obj(kNAFamily, path); }
int mth_Firewall_NetworkAcceleration_get_objs(NA **objs, int *count)
{
    return gw::objects::get_objs(kNAFamily, nullptr, reinterpret_cast<void **>(objs), count);
}

int mth_Firewall_TrafficControl_add_obj(TC *obj) { return gw::objects::add_obj(kTCFamily, nullptr, obj); }
int mth_Firewall_TrafficControl_del_obj(const char *path) { return gw::objects::del_obj(kTCFamily, path); }
int mth_Firewall_TrafficControl_get_objs(TC **objs, int *count)
{
    return gw::objects::get_objs(kTCFamily, nullptr, reinterpret_cast<void **>(objs), count);
}

}  // extern "C"
