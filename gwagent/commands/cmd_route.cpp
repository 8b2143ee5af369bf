// Static IPv4 and IPv6 routes, traffic QoS flows and their classifications as rows of
// cmd_record_rows; port mappings, which name their WAN connection by WANName, by hand.
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "commands/cmd_record_rows.h"
#include "commands/cmd_table.h"
#include "gwbus/log.h"

namespace {

using namespace gwagent::rows;

using Route = api_L3ForwardingInfo_t;
using RouteEntry = api_L3ForwardingEntry_t;
using Route6 = api_IPv6L3ForwardingInfo_t;
using Route6Entry = api_IPv6L3ForwardingEntry_t;
using Flow = api_TrafficQoSFlowInfo_t;
using FlowEntry = api_TrafficQoSFlowEntry_t;
using Class = api_TrafficQoSClassificationInfo_t;
using ClassEntry = api_TrafficQoSClassificationEntry_t;

constexpr Keys kIndex{{"Index", nullptr}, 1, false};
constexpr Keys kFlow{{"Flow", nullptr}, 1, false};
constexpr Keys kFlowIndex{{"Flow", "Index"}, 2, false};

// The route lists answer the static routes only.
constexpr uint32_t kStaticRoutes = 1;

// ---- static routes ------------------------------------------------------------------------------

constexpr Field kRouteList[] = {
    GW_FIELD(U32, Route, Index),      GW_FIELD(Flag, Route, Enable), GW_TEXT(Route, Status),
    GW_FIXED("Type", "StaticRoute"),  GW_TEXT(Route, DestIPAddress), GW_TEXT(Route, DestSubnetMask),
    GW_TEXT(Route, GatewayIPAddress), GW_TEXT(Route, Interface),
};
constexpr Field kRouteSet[] = {
    GW_FIELD(Flag, RouteEntry, Enable),    GW_TEXT(RouteEntry, DestIPAddress), GW_TEXT(RouteEntry, DestSubnetMask),
    GW_TEXT(RouteEntry, GatewayIPAddress), GW_TEXT(RouteEntry, Interface),
};
constexpr ListRow kGetRoutes{kNoKeys,
                             Pick::All,
                             sizeof(Route),
                             [](const uint32_t *, void **items, int *count) {
                                 Route *list = nullptr;
                                 const int rc = api_getL3ForwardingConfigInfoByType(kStaticRoutes, &list, count);
                                 *items = list;
                                 return rc;
                             },
                             release_of<Route, api_releaseL3ForwardingConfigInfo>,
                             nullptr,
                             "ObjList",
                             true,
                             fields_of(kRouteList)};
constexpr WriteRow kSetRoute{kIndex,
                             fields_of(kRouteSet),
                             sizeof(RouteEntry),
                             write_at<RouteEntry, api_setL3ForwardingStatic>,
                             Answer::Index,
                             nullptr,
                             0};
// Only single static routes are deleted; the library refuses index 0.
constexpr DeleteRow kDelRoute{kIndex, nullptr, 0, nullptr,
                              [](const uint32_t *k, const char *) { return api_deleteL3ForwardingStatic(k[0]); }};

constexpr Field kRoute6List[] = {
    GW_FIELD(U32, Route6, Index),    GW_FIELD(Flag, Route6, Enable), GW_TEXT(Route6, Status),
    GW_FIXED("Type", "StaticRoute"), GW_TEXT(Route6, DestIPPrefix),  GW_TEXT(Route6, NextHop),
    GW_TEXT(Route6, Interface),
};
constexpr Field kRoute6Set[] = {
    GW_FIELD(Flag, Route6Entry, Enable),
    GW_TEXT_KEEP(Route6Entry, DestIPPrefix, 45),
    GW_TEXT_KEEP(Route6Entry, NextHop, 45),
    GW_TEXT(Route6Entry, Interface),
};
constexpr ListRow kGetRoutes6{kNoKeys,
                              Pick::All,
                              sizeof(Route6),
                              [](const uint32_t *, void **items, int *count) {
                                  Route6 *list = nullptr;
                                  const int rc = api_getIPv6L3ForwardingConfigInfoByType(kStaticRoutes, &list, count);
                                  *items = list;
                                  return rc;
                              },
                              release_of<Route6, api_releaseIPv6L3ForwardingConfigInfo>,
                              nullptr,
                              "ObjList",
                              true,
                              fields_of(kRoute6List)};
constexpr WriteRow kSetRoute6{kIndex,
                              fields_of(kRoute6Set),
                              sizeof(Route6Entry),
                              write_at<Route6Entry, api_setIPv6L3ForwardingStatic>,
                              Answer::Index,
                              nullptr,
                              0};
constexpr DeleteRow kDelRoute6{kIndex, nullptr, 0, nullptr,
                               [](const uint32_t *k, const char *) { return api_deleteIPv6L3ForwardingStatic(k[0]); }};

// ---- traffic QoS --------------------------------------------------------------------------------

constexpr Field kFlowFields[] = {
    GW_FIELD(U32, Flow, Flow),    GW_FIELD(U64, Flow, UsStats),   GW_FIELD(U64, Flow, DsStats),
    GW_FIELD(U32, Flow, UpSpeed), GW_FIELD(U32, Flow, DownSpeed), GW_FIELD(Byte, Flow, DSCPRemark),
};
constexpr Field kFlowSet[] = {GW_FIELD(U32, FlowEntry, UpSpeed), GW_FIELD(U32, FlowEntry, DownSpeed),
                              GW_FIELD(Byte, FlowEntry, DSCPRemark)};
constexpr RecordRow kGetFlow{kFlow, sizeof(Flow), one_at<Flow, api_getTrafficQoSFlow>, fields_of(kFlowFields), nullptr};
constexpr WriteRow kSetFlow{
    kFlow, fields_of(kFlowSet), sizeof(FlowEntry), write_at<FlowEntry, api_setTrafficQoSFlow>, Answer::Result, nullptr,
    0};

constexpr Field kClassList[] = {GW_FIELD(U32, Class, Flow), GW_FIELD(U32, Class, Index), GW_TEXT(Class, RemoteAddress),
                                GW_TEXT(Class, RemotePort)};
constexpr Field kClassSet[] = {GW_TEXT(ClassEntry, RemoteAddress), GW_TEXT(ClassEntry, RemotePort)};
constexpr Field kClassDelete[] = {GW_FIELD(U32, ClassEntry, Index), GW_TEXT(ClassEntry, RemoteAddress),
                                  GW_TEXT(ClassEntry, RemotePort)};
constexpr ListRow kGetClasses{kFlow,
                              Pick::All,
                              sizeof(Class),
                              all_under<Class, api_getTrafficQoSClassificationByFlow>,
                              release_of<Class, api_releaseTrafficQoSClassificationByFlow>,
                              nullptr,
                              "ObjList",
                              true,
                              fields_of(kClassList)};
// The library answers the index it wrote: a positive result is success here.
constexpr WriteRow kSetClass{kFlowIndex,
                             fields_of(kClassSet),
                             sizeof(ClassEntry),
                             [](const uint32_t *k, const void *rec) {
                                 return api_setTrafficQoSClassificationUnderFlow(k[0], k[1],
                                                                                 static_cast<const ClassEntry *>(rec));
                             },
                             Answer::ResultOrIndex,
                             nullptr,
                             0};
constexpr WriteRow kDelClass{kFlow,
                             fields_of(kClassDelete),
                             sizeof(ClassEntry),
                             write_at<ClassEntry, api_deleteTrafficQoSClassificationFromFlow>,
                             Answer::Result,
                             nullptr,
                             0};

// ---- port mappings ------------------------------------------------------------------------------

using Mapping = api_PortMappingEntry_t;
using MappingItem = api_PortMappingItem_t;

constexpr const char *kProtocols[] = {"TCP", "UDP", nullptr};
constexpr Field kMappingSet[] = {
    GW_FIELD(Flag, Mapping, PortMappingEnabled),
    GW_TEXT(Mapping, RemoteHost),
    GW_FIELD(U32, Mapping, ExternalPort),
    GW_FIELD(U32, Mapping, InternalPort),
    GW_TEXT_ONE_OF(Mapping, PortMappingProtocol, kProtocols),
    GW_TEXT(Mapping, InternalClient),
    GW_TEXT(Mapping, PortMappingDescription),
};
constexpr Field kMappingList[] = {
    GW_FIELD(U32, MappingItem, ExternalPort),     GW_FIELD(U32, MappingItem, InternalPort),
    GW_TEXT(MappingItem, PortMappingProtocol),    GW_TEXT(MappingItem, InternalClient),
    GW_TEXT(MappingItem, PortMappingDescription), GW_FIELD(U32, MappingItem, PortMappingLeaseDuration),
};

constexpr const char *kParseFail = "Parse input params fail!";

using WanList = gwagent::ApiList<api_WANIfInfo_t, api_releaseWANIfList>;
using MappingList = gwagent::ApiList<api_PortMappingInfo_t, api_releasePortMappingInfo>;

// Reads "WANName"; null on success, else the failure word.
const char *read_wan_name(const gwagent::Request &r, char (&name)[256])
{
    if (!r.required("WANName", name))
        return kParseFail;
    if (!name[0]) {
        GWLOG(LOG_LVL_WARN, "%s WANName is empty!", r.cmd_type());
        return "WANName is empty!";
    }
    return nullptr;
}

// The Index of the WAN connection named so; null on success, else the failure word.
const char *find_wan(const char *name, uint32_t &index)
{
    WanList wans;
    if (api_getWANIfList(&wans.items, &wans.count) != 0) {
        GWLOG(LOG_LVL_WARN, "api_getWANIfList failed.");
        return "CAPI return fail!";
    }
    for (int i = 0; wans.items && i < wans.count; ++i) {
        if (std::strcmp(wans.items[i].WANName, name) != 0)
            continue;
        char *end = nullptr;
        errno = 0;
        const unsigned long v = std::strtoul(wans.items[i].Index, &end, 10);
        if (errno || end == wans.items[i].Index || *end || v > UINT32_MAX) {
            GWLOG(LOG_LVL_WARN, "WAN %s has no usable Index '%s'.", name, wans.items[i].Index);
            return "CAPI return fail!";
        }
        index = static_cast<uint32_t>(v);
        return nullptr;
    }
    GWLOG(LOG_LVL_WARN, "There is no such WANName %s.", name);
    return "There is no such WANName";
}

int get_port_mappings(const gwagent::Request &r)
{
    MappingList info;
    if (api_getPortMappingInfo(&info.items, &info.count) != 0) {
        GWLOG(LOG_LVL_WARN, "api_getPortMappingInfo failed.");
        return r.fail("CAPI return fail!");
    }
    gwagent::JsonPtr answer = r.head();
    json_t *wans = json_array();
    if (!answer || json_object_set_new(answer.get(), "PortMapping", wans) != 0)
        return r.fail("Create json fail!");
    for (int i = 0; info.items && i < info.count; ++i) {
        const api_PortMappingInfo_t &wan = info.items[i];
        gwagent::JsonPtr entry(json_object());
        json_t *list = json_array();
        if (!entry || json_object_set_new(entry.get(), "WANName", json_string(wan.WANName)) != 0 ||
            json_object_set_new(entry.get(), "Num", json_integer(wan.PortMappingNum)) != 0 ||
            json_object_set_new(entry.get(), "ObjList", list) != 0)
            return r.fail("Create json fail!");
        for (uint32_t m = 0; wan.PortMapping && m < wan.PortMappingNum; ++m) {
            gwagent::JsonPtr item = object_of(fields_of(kMappingList), &wan.PortMapping[m]);
            if (!item || json_array_append_new(list, item.release()) != 0)
                return r.fail("Create json fail!");
        }
        if (json_array_append_new(wans, entry.release()) != 0)
            return r.fail("Create json fail!");
    }
    return answer_bounded(r, answer.get());
}

int set_port_mapping(const gwagent::Request &r)
{
    char name[256] = "";
    uint32_t index = 0, wan = 0;
    Mapping entry{};
    if (const char *word = read_wan_name(r, name))
        return r.fail(word);
    if (!read_keys(r, kIndex, &index) || !read_fields(r, fields_of(kMappingSet), &entry))
        return r.fail(kParseFail);
    if (const char *word = find_wan(name, wan))
        return r.fail(word);
    const int rc = api_setPortMapping(wan, index, &entry);
    if (rc <= 0) {
        GWLOG(LOG_LVL_WARN, "api_setPortMapping %s %u failed, return %d.", name, index, rc);
        return r.fail("CAPI return fail!");
    }
    gwagent::JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "Index", json_integer(rc)) != 0)
        return r.fail("Create json fail!");
    return r.answer(answer.get());
}

// Index 0 deletes the WAN's mappings one by one; one that fails does not stop the others, and the
// first failure is the answer.
int clear_port_mappings(const char *name, uint32_t wan)
{
    GWLOG(LOG_LVL_INFO, "%s ", "clear_PortMapping");
    MappingList info;
    if (api_getPortMappingInfo(&info.items, &info.count) != 0)
        return -1;
    int first_failure = 0;
    for (int i = 0; info.items && i < info.count; ++i) {
        if (std::strcmp(info.items[i].WANName, name) != 0)
            continue;
        for (uint32_t m = 0; info.items[i].PortMapping && m < info.items[i].PortMappingNum; ++m) {
            const int rc = api_deletePortMapping(wan, info.items[i].PortMapping[m].Index);
            if (rc != 0 && first_failure == 0)
                first_failure = rc;
        }
    }
    return first_failure;
}

int delete_port_mapping(const gwagent::Request &r)
{
    char name[256] = "";
    uint32_t index = 0, wan = 0;
    if (const char *word = read_wan_name(r, name))
        return r.fail(word);
    if (!read_keys(r, kIndex, &index))
        return r.fail(kParseFail);
    if (const char *word = find_wan(name, wan))
        return r.fail(word);
    return r.capi_result(index == 0 ? clear_port_mappings(name, wan) : api_deletePortMapping(wan, index));
}

}  // namespace

extern "C" int cmd_DEL_PortMapping_CONFIG(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    return delete_port_mapping(gwagent::Request{id, sequence_id, cmd_type, cmd, fd});
}

extern "C" int cmd_GET_PortMapping_LIST(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    return get_port_mappings(gwagent::Request{id, sequence_id, cmd_type, cmd, fd});
}

extern "C" int cmd_SET_PortMapping_CONFIG(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    return set_port_mapping(gwagent::Request{id, sequence_id, cmd_type, cmd, fd});
}

GW_ROW_HANDLER(DEL_L3_FORWARDING_IPV4_CONFIG_INFO, run_delete, kDelRoute)
GW_ROW_HANDLER(DEL_L3_FORWARDING_IPV6_CONFIG_INFO, run_delete, kDelRoute6)
GW_ROW_HANDLER(DEL_TRAFFIC_QOS_CLASSIFICATION, run_write, kDelClass)
GW_ROW_HANDLER(GET_L3_FORWARDING_IPV4_CONFIG_INFO, run_list, kGetRoutes)
GW_ROW_HANDLER(GET_L3_FORWARDING_IPV6_CONFIG_INFO, run_list, kGetRoutes6)
GW_ROW_HANDLER(GET_TRAFFIC_QOS_CLASSIFICATION, run_list, kGetClasses)
GW_ROW_HANDLER(GET_TRAFFIC_QOS_FLOW, run_record, kGetFlow)
GW_ROW_HANDLER(SET_L3_FORWARDING_IPV4_CONFIG_INFO, run_write, kSetRoute)
GW_ROW_HANDLER(SET_L3_FORWARDING_IPV6_CONFIG_INFO, run_write, kSetRoute6)
GW_ROW_HANDLER(SET_TRAFFIC_QOS_CLASSIFICATION, run_write, kSetClass)
GW_ROW_HANDLER(SET_TRAFFIC_QOS_FLOW, run_write, kSetFlow)
