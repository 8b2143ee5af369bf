// Object functions shared by the VPN families.
#include "hgu_vpn_comm.hpp"

#include <cstring>
#include <string_view>

#include "gwbus/bus.h"
#include "gwbus/strutil.h"

namespace gwapi {

namespace {

constexpr size_t kMaxPath = CCIF_PATH_SIZE - 1;

// A direct child of the collection: the collection, "/", one non-empty component. A prefix test
// would let the collection itself, or an object of a longer-named sibling, be deleted through it.
bool is_child_of(std::string_view collection, std::string_view path)
{
    if (path.size() <= collection.size() + 1 || path.compare(0, collection.size(), collection) != 0 ||
        path[collection.size()] != '/')
        return false;
    return path.find('/', collection.size() + 1) == std::string_view::npos;
}

bool below_vpn_root(std::string_view path)
{
    const std::string_view root = kVpnRoot;
    return path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == '/');
}

std::string prop_text(GVariant *props, const char *name)
{
    const char *s = nullptr;
    if (!props || !g_variant_lookup(props, name, "&s", &s))
        return std::string();
    return s;
}

int write_subnet(const SubnetKind &k, const std::string &path, const std::string &address, const std::string &mask)
{
    PropMap m;
    m.add(k.address, g_variant_new_string(address.c_str()));
    m.add(k.mask, g_variant_new_string(mask.c_str()));
    return g_hgu_SetMultiProperty(HGU_BUS_NAME, path.c_str(), k.interface, m.end()) == 0 ? 0 : -1;
}

int any_properties(GVariant *props, void * /*record*/) { return props && g_variant_n_children(props) > 0 ? 0 : -1; }

// The parent instance's subnet collection; empty when the index is 0 or the parent cannot be read.
std::string subnet_collection(const char *func, const SubnetKind &k, uint32_t parent, bool must_exist)
{
    if (parent == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) index 0 is invalide.", func);
        return std::string();
    }
    const std::string parent_path = instance_path(k.parent_collection, parent);
    if (must_exist && vpn_property_get(parent_path.c_str(), k.parent_interface, nullptr, any_properties) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s not exist.", func, parent_path.c_str());
        return std::string();
    }
    return parent_path + "/" + k.child;
}

// The parent's subnet collection and the subnets in it: 0, or -1 (logged) when either cannot be had.
int read_subnets(const char *func, const SubnetKind &k, uint32_t parent, bool must_exist, std::string &collection,
                 std::vector<VpnObject> &objs)
{
    collection = subnet_collection(func, k, parent, must_exist);
    if (collection.empty())
        return -1;
    if (vpn_obj_list(collection.c_str(), k.interface, objs) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, collection.c_str());
        return -1;
    }
    return 0;
}

// The first subnet keyed by that address, or null.
const VpnObject *find_subnet(const SubnetKind &k, const std::vector<VpnObject> &objs, const std::string &address)
{
    for (const auto &o : objs)
        if (prop_text(o.props.get(), k.address) == address)
            return &o;
    return nullptr;
}

}  // namespace

const SubnetKind kIPSecLocalSubnets = {
    "/com/yvc/igd1/VPN/IPSec", "com.yvc.igd1.VPN.IPSec", "LocalSubnets", "com.yvc.igd1.VPN.IPSec.LocalSubnets",
    "LocalIPAddress",          "LocalSubnetMask",
};
const SubnetKind kIPSecRemoteSubnets = {
    "/com/yvc/igd1/VPN/IPSec", "com.yvc.igd1.VPN.IPSec", "RemoteSubnets", "com.yvc.igd1.VPN.IPSec.RemoteSubnets",
    "DestIPAddress",           "DestSubnetMask",
};
const SubnetKind kL2TPClientRemoteSubnets = {
    "/com/yvc/igd1/VPN/L2TP/1/Client",
    "com.yvc.igd1.VPN.L2TP.Client",
    "RemoteSubnets",
    "com.yvc.igd1.VPN.L2TP.Client.RemoteSubnets",
    "DestIPAddress",
    "DestSubnetMask",
};

int vpn_obj_add(const char *collection, char *path_out)
{
    if (empty(collection) || !path_out || !g_variant_is_object_path(collection)) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    GVariant *raw = nullptr;
    const int rc = g_hgu_CallMethod(HGU_BUS_NAME, collection, HGU_OBJECT_MANAGER_INTERFACE, "AddObject", nullptr, &raw,
                                    HGU_DEFAULT_TIMEOUT);
    gw::VariantPtr reply(raw);
    const char *created = nullptr;
    if (rc == 0 && reply && g_variant_is_of_type(reply.get(), G_VARIANT_TYPE("(o)")))
        g_variant_get(reply.get(), "(&o)", &created);
    // A cut path would name another object, and one outside the collection could not be deleted
    // again through it.
    if (!created || std::strlen(created) > kMaxPath || !is_child_of(collection, created)) {
        GWLOG(LOG_LVL_WARN, "add obj for %s failed.", collection);
        return -1;
    }
    copy_truncated(path_out, CCIF_PATH_SIZE, created);
    return 0;
}

int vpn_obj_del(const char *collection, const char *path)
{
    if (empty(collection) || empty(path) || !g_variant_is_object_path(path) || !is_child_of(collection, path)) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    return g_hgu_CallMethod(HGU_BUS_NAME, collection, HGU_OBJECT_MANAGER_INTERFACE, "DeleteObject",
                            g_variant_new("(o)", path), nullptr, HGU_DEFAULT_TIMEOUT) == 0
               ? 0
               : -1;
}

int vpn_obj_clear(const char *collection)
{
    if (empty(collection) || !g_variant_is_object_path(collection)) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    return g_hgu_CallMethod(HGU_BUS_NAME, collection, HGU_OBJECT_MANAGER_INTERFACE, "RemoveAllObjects", nullptr,
                            nullptr, HGU_DEFAULT_TIMEOUT) == 0
               ? 0
               : -1;
}

int vpn_property_get(const char *path, const char *interface, void *record, VpnParser parser)
{
    if (empty(path) || empty(interface) || !parser || !g_variant_is_object_path(path) || !below_vpn_root(path)) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    GVariant *raw = nullptr;
    if (g_hgu_GetAllProperty(HGU_BUS_NAME, path, interface, &raw) != 0)
        return -1;
    gw::VariantPtr map(raw);
    return parser(map.get(), record) == 0 ? 0 : -1;
}

int vpn_obj_list(const char *collection, const char *interface, std::vector<VpnObject> &out)
{
    out.clear();
    if (empty(collection) || empty(interface) || !g_variant_is_object_path(collection)) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    GVariant *raw = nullptr;
    const int rc = g_hgu_CallMethod(HGU_BUS_NAME, collection, HGU_OBJECT_MANAGER_INTERFACE, "GetManagedObjects",
                                    nullptr, &raw, HGU_DEFAULT_TIMEOUT);
    gw::VariantPtr reply(raw);
    if (rc != 0 || !reply) {
        GWLOG(LOG_LVL_WARN, "GetManagedObjects failed with ret(%d)", rc != 0 ? rc : -1);
        return -1;
    }
    gw::VariantPtr managed(g_variant_get_child_value(reply.get(), 0));
    GVariantIter children;
    g_variant_iter_init(&children, managed.get());
    const char *path = nullptr;
    GVariant *ifaces_raw = nullptr;
    while (g_variant_iter_next(&children, "{&o@a{sa{sv}}}", &path, &ifaces_raw)) {
        gw::VariantPtr ifaces(ifaces_raw);
        GVariant *props = g_variant_lookup_value(ifaces.get(), interface, G_VARIANT_TYPE_VARDICT);
        if (!props)
            continue;
        out.push_back({path, gw::VariantPtr(props)});
    }
    return 0;
}

// ---- subnets -----------------------------------------------------------------------------------------

int subnets_get_all(const char *func, const SubnetKind &k, uint32_t parent, api_VPNSubnetInfo_t **list, int *count)
{
    if (!list || !count) {
        GWLOG(LOG_LVL_NOTICE, "(%s) the parameter is invalid.", func);
        return -1;
    }
    *list = nullptr;
    *count = 0;
    return guarded(func, [&]() -> int {
        std::string collection;
        std::vector<VpnObject> objs;
        if (read_subnets(func, k, parent, false, collection, objs) != 0)
            return -1;
        if (objs.empty())
            return 0;
        auto *out = g_new0(api_VPNSubnetInfo_t, objs.size());
        for (size_t i = 0; i < objs.size(); ++i) {
            out[i].Index = index_from_path(func, objs[i].path.c_str());
            copy_truncated(out[i].Address, prop_text(objs[i].props.get(), k.address).c_str());
            copy_truncated(out[i].Mask, prop_text(objs[i].props.get(), k.mask).c_str());
        }
        *list = out;
        *count = static_cast<int>(objs.size());
        return 0;
    });
}

int subnets_set(const char *func, const SubnetKind &k, uint32_t parent, const api_VPNSubnetEntry_t *entry)
{
    if (!entry) {
        GWLOG(LOG_LVL_NOTICE, "(%s) the parameter is invalid.", func);
        return -1;
    }
    return guarded(func, [&]() -> int {
        const std::string address = fixed_text(entry->Address);
        const std::string mask = fixed_text(entry->Mask);
        // The address is the subnet's key; the service takes only UTF-8 texts.
        if (address.empty() || !g_utf8_validate(address.c_str(), -1, nullptr) ||
            !g_utf8_validate(mask.c_str(), -1, nullptr)) {
            GWLOG(LOG_LVL_NOTICE, "(%s) %s or %s is invalide.", func, k.address, k.mask);
            return -1;
        }
        std::string collection;
        std::vector<VpnObject> objs;
        if (read_subnets(func, k, parent, true, collection, objs) != 0)
            return -1;
        if (const VpnObject *o = find_subnet(k, objs, address)) {
            if (write_subnet(k, o->path, address, mask) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) update %s failed.", func, o->path.c_str());
                return -1;
            }
            return 0;
        }
        char created[CCIF_PATH_SIZE] = "";
        if (vpn_obj_add(collection.c_str(), created) != 0)
            return -1;
        if (write_subnet(k, created, address, mask) != 0) {
            GWLOG(LOG_LVL_NOTICE, "update obj for %s fail!", created);
            vpn_obj_del(collection.c_str(), created);
            return -1;
        }
        return 0;
    });
}

int subnets_delete(const char *func, const SubnetKind &k, uint32_t parent, const char *address)
{
    if (empty(address)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s is empty.", func, k.address);
        return -1;
    }
    return guarded(func, [&]() -> int {
        std::string collection;
        std::vector<VpnObject> objs;
        if (read_subnets(func, k, parent, false, collection, objs) != 0)
            return -1;
        const VpnObject *o = find_subnet(k, objs, address);
        if (!o) {
            GWLOG(LOG_LVL_NOTICE, "(%s) %s %s not exist.", func, k.address, address);
            return 0;
        }
        if (vpn_obj_del(collection.c_str(), o->path.c_str()) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) delete object %s failed.", func, o->path.c_str());
            return -1;
        }
        return 0;
    });
}

int subnets_clear(const char *func, const SubnetKind &k, uint32_t parent)
{
    return guarded(func, [&]() -> int {
        const std::string collection = subnet_collection(func, k, parent, false);
        if (collection.empty())
            return -1;
        if (vpn_obj_clear(collection.c_str()) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) RemoveAllObjects %s failed.", func, collection.c_str());
            return -1;
        }
        return 0;
    });
}

// ---- history ---------------------------------------------------------------------------------------------

namespace {

// One tunnel's history: 0, or -1 when the call fails or the service refuses it.
int history_of(const char *func, const HistorySource &src, const HistoryTunnel &t, uint32_t start, uint32_t num,
               api_VpnHistoryTraffic_t *out)
{
    char *base = nullptr;
    char **history = nullptr;
    int n = 0;
    int status = 0;
    char *msg = nullptr;
    const int rc = src.call(t.path.c_str(), start, num, &base, &history, &n, &status, &msg);
    gw::GCharPtr base_owner(base), msg_owner(msg);
    if (rc != 0) {
        g_hgu_freeStrList(history);
        GWLOG(LOG_LVL_NOTICE, "(%s) %s of %s failed.", func, src.method, t.path.c_str());
        return -1;
    }
    if (status != 0) {
        g_hgu_freeStrList(history);
        GWLOG(LOG_LVL_NOTICE, "method %s status : %d.", src.method, status);
        return -1;
    }
    out->Index = t.index;
    out->Start = start;
    out->Num = num;
    copy_truncated(out->TrafficBase, base ? base : "");
    out->HistoryNum = history ? n : 0;
    out->History = history;
    return 0;
}

}  // namespace

int history_of_tunnels(const char *func, const HistorySource &src, const std::vector<HistoryTunnel> &tunnels, bool one,
                       uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic, int *count)
{
    if (tunnels.empty())
        return 0;
    auto *out = g_new0(api_VpnHistoryTraffic_t, tunnels.size());
    int filled = 0;
    for (const auto &t : tunnels) {
        if (history_of(func, src, t, start, num, &out[filled]) != 0) {
            if (one) {
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
}

}  // namespace gwapi
