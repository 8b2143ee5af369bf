// Object functions shared by the VPN families: add, delete, clear and read objects below
// /com/yvc/igd1/VPN, the subnet lists that hang below a tunnel or a client, and the traffic history of
// a tunnel collection.
#ifndef GWBUS_API_HGU_VPN_COMM_HPP
#define GWBUS_API_HGU_VPN_COMM_HPP

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/raii.hpp"

namespace gwapi {

constexpr const char *kVpnRoot = "/com/yvc/igd1/VPN";

// Fills record from an object's a{sv} property map: 0 or -1.
using VpnParser = int (*)(GVariant *props, void *record);

// "AddObject" at the collection; the new object's path (a child of the collection, at most 255
// characters) is copied to path_out[CCIF_PATH_SIZE]. 0 or -1.
int vpn_obj_add(const char *collection, char *path_out);
// "DeleteObject" of a direct child of the collection; anything else is refused before the bus.
int vpn_obj_del(const char *collection, const char *path);
// "RemoveAllObjects" at the collection.
int vpn_obj_clear(const char *collection);
// "GetAll" of an object below /com/yvc/igd1/VPN, handed to the parser.
int vpn_property_get(const char *path, const char *interface, void *record, VpnParser parser);

struct VpnObject {
    std::string path;
    gw::VariantPtr props;  // a{sv} of the interface asked for
};
// The children of a collection that carry the interface, in reply order: 0 or -1.
int vpn_obj_list(const char *collection, const char *interface, std::vector<VpnObject> &out);

// The text of a fixed field that a caller may have filled to the last byte: at most N - 1 characters.
template <size_t N> std::string fixed_text(const char (&field)[N])
{
    const size_t n = strnlen(field, N);
    return std::string(field, n == N ? N - 1 : n);
}

// ---- subnet lists below a tunnel or a client ----------------------------------------------------------

// One subnet list: the collection `child` below instances of `parent_collection`, keyed by the
// `address` property.
struct SubnetKind {
    const char *parent_collection;
    const char *parent_interface;
    const char *child;
    const char *interface;
    const char *address;
    const char *mask;
};

extern const SubnetKind kIPSecLocalSubnets;
extern const SubnetKind kIPSecRemoteSubnets;
extern const SubnetKind kL2TPClientRemoteSubnets;

// Every subnet of the parent instance: 0 (count 0 and no block when there is none) or -1; parent 0 is -1.
int subnets_get_all(const char *func, const SubnetKind &k, uint32_t parent, api_VPNSubnetInfo_t **list, int *count);
// Updates the subnet with the entry's address or adds one: 0 or -1. A failed write of a new subnet
// removes it again.
int subnets_set(const char *func, const SubnetKind &k, uint32_t parent, const api_VPNSubnetEntry_t *entry);
// Deletes the first subnet with that address; 0 also when none has it; -1 when the list or the
// deletion fails.
int subnets_delete(const char *func, const SubnetKind &k, uint32_t parent, const char *address);
int subnets_clear(const char *func, const SubnetKind &k, uint32_t parent);

// ---- traffic history of a tunnel collection ------------------------------------------------------------

using HistoryCall = int (*)(const char *path, uint32_t start, uint32_t num, char **base, char ***history,
                            int *history_count, int *status, char **errmsg);

struct HistorySource {
    const char *collection;
    const char *kind;    // for the log of a failed listing
    const char *method;  // the method's name, for the log of a refusal
    HistoryCall call;
};

struct HistoryTunnel {
    std::string path;
    uint32_t index;
};

// Asks each tunnel in order. With `one` the only tunnel's failure is the result; otherwise tunnels that
// fail or refuse give no record.
int history_of_tunnels(const char *func, const HistorySource &src, const std::vector<HistoryTunnel> &tunnels, bool one,
                       uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic, int *count);

// Every object of a VPN collection into the caller's block, each record's Index taken from its path:
// 0 (count 0 and no block when there is none) or -1.
template <typename T>
int vpn_get_all(const char *func, const char *kind, int (*get_objs)(T **, int *), T **list, int *count)
{
    if (!list || !count)
        return -1;
    *list = nullptr;
    *count = 0;
    T *raw = nullptr;
    int n = 0;
    if (get_objs(&raw, &n) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, kind);
        return -1;
    }
    Block<T> block(raw);
    if (!block || n == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s objects is 0.", func, kind);
        return 0;
    }
    for (int i = 0; i < n; ++i)
        block[i].Index = index_from_path(func, block[i].path);
    *list = block.release();
    *count = n;
    return 0;
}

// index 0: every instance the kind lists; otherwise that instance only.
template <typename Rec>
int history_traffic(const char *func, const HistorySource &src, int (*get_objs)(Rec **, int *), uint32_t index,
                    uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic, int *count)
{
    if (!traffic || !count) {
        GWLOG(LOG_LVL_NOTICE, "%s param has null traffic<%p> objNum<%p>", func, static_cast<void *>(traffic),
              static_cast<void *>(count));
        return -1;
    }
    *traffic = nullptr;
    *count = 0;
    return guarded(func, [&]() -> int {
        std::vector<HistoryTunnel> tunnels;
        if (index != 0) {
            tunnels.push_back({instance_path(src.collection, index), index});
        } else {
            List<Rec> all;
            if (list(get_objs, all) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, src.kind);
                return -1;
            }
            for (const auto &t : all)
                tunnels.push_back({t.path, index_from_path(func, t.path)});
        }
        return history_of_tunnels(func, src, tunnels, index != 0, start, num, traffic, count);
    });
}

}  // namespace gwapi

#endif
