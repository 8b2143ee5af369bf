// Object kinds of the Transfer area: one descriptor and its exported operations per kind.
#include "object_engine.hpp"

namespace {

using namespace gw::objects;

constexpr Prop kAutoDiagnosticsRedirectProps[] = {
    GW_P(AutoDiagnosticsRedirect, RedirectEnable, 'b'),
    GW_P(AutoDiagnosticsRedirect, RedirectURL, 's'),
};
constexpr Written kAutoDiagnosticsRedirectWritten[] = {
    {"RedirectEnable"},
    {"RedirectURL"},
};

constexpr Prop kFastPathSpeedUpProps[] = {
    GW_P(FastPathSpeedUp, Index, 'u'),    GW_P(FastPathSpeedUp, DestIP, 's'),     GW_P(FastPathSpeedUp, DestPort, 'u'),
    GW_P(FastPathSpeedUp, SourceIP, 's'), GW_P(FastPathSpeedUp, SourcePort, 'u'), GW_P(FastPathSpeedUp, Protocol, 's'),
};
constexpr Written kFastPathSpeedUpWritten[] = {
    {"DestIP"}, {"DestPort"}, {"SourceIP"}, {"SourcePort"}, {"Protocol"},
};

constexpr Prop kLayer3ForwardingIPv4ConfigProps[] = {
    GW_P(Layer3ForwardingIPv4Config, Enable, 'b'),           GW_P(Layer3ForwardingIPv4Config, Status, 's'),
    GW_P(Layer3ForwardingIPv4Config, StaticRoute, 'b'),      GW_P(Layer3ForwardingIPv4Config, Type, 's'),
    GW_P(Layer3ForwardingIPv4Config, DestIPAddress, 's'),    GW_P(Layer3ForwardingIPv4Config, DestSubnetMask, 's'),
    GW_P(Layer3ForwardingIPv4Config, GatewayIPAddress, 's'), GW_P(Layer3ForwardingIPv4Config, Interface, 's'),
};
constexpr Written kLayer3ForwardingIPv4ConfigWritten[] = {
    {"DestIPAddress"}, {"DestSubnetMask"}, {"GatewayIPAddress"}, {"Interface"}, {"Enable"},
};

constexpr Prop kLayer3ForwardingIPv6ConfigProps[] = {
    GW_P(Layer3ForwardingIPv6Config, Enable, 'b'),       GW_P(Layer3ForwardingIPv6Config, Status, 's'),
    GW_P(Layer3ForwardingIPv6Config, StaticRoute, 'b'),  GW_P(Layer3ForwardingIPv6Config, Type, 's'),
    GW_P(Layer3ForwardingIPv6Config, DestIPPrefix, 's'), GW_P(Layer3ForwardingIPv6Config, NextHop, 's'),
    GW_P(Layer3ForwardingIPv6Config, Interface, 's'),
};
constexpr Written kLayer3ForwardingIPv6ConfigWritten[] = {
    {"DestIPPrefix"},
    {"NextHop"},
    {"Interface"},
    {"Enable"},
};

constexpr Prop kTrafficDetailProcessProps[] = {
    GW_P(TrafficDetailProcess, Index, 'u'),          GW_P(TrafficDetailProcess, RemoteAddress, 's'),
    GW_P(TrafficDetailProcess, RemotePort, 'u'),     GW_P(TrafficDetailProcess, Direction, 's'),
    GW_P(TrafficDetailProcess, HostMAC, 's'),        GW_P(TrafficDetailProcess, MethodList, 'a'),
    GW_P(TrafficDetailProcess, StatusCodeList, 'a'), GW_P(TrafficDetailProcess, HeaderList, 'a'),
    GW_P(TrafficDetailProcess, PluginName, 's'),
};
constexpr Written kTrafficDetailProcessWritten[] = {
    {"RemoteAddress"}, {"RemotePort"}, {"Direction"}, {"HostMAC"}, {"PluginName"},
};

constexpr Prop kTrafficForwardProps[] = {
    GW_P(TrafficForward, Index, 'u'),         GW_P(TrafficForward, RemoteAddress, 's'),
    GW_P(TrafficForward, RemotePort, 's'),    GW_P(TrafficForward, Protocol, 's'),
    GW_P(TrafficForward, HostMAC, 's'),       GW_P(TrafficForward, ForwardToIP, 's'),
    GW_P(TrafficForward, ForwardToPort, 'u'),
};
constexpr Written kTrafficForwardWritten[] = {
    {"RemoteAddress"}, {"RemotePort"}, {"Protocol"}, {"HostMAC"}, {"ForwardToIP"}, {"ForwardToPort"},
};

constexpr Prop kTrafficMirrorProps[] = {
    GW_P(TrafficMirror, Index, 'u'),      GW_P(TrafficMirror, RemoteAddress, 's'), GW_P(TrafficMirror, RemotePort, 's'),
    GW_P(TrafficMirror, Direction, 's'),  GW_P(TrafficMirror, Protocol, 's'),      GW_P(TrafficMirror, HostMAC, 's'),
    GW_P(TrafficMirror, MirrorToIP, 's'), GW_P(TrafficMirror, MirrorToPort, 'u'),
};
constexpr Written kTrafficMirrorWritten[] = {
    {"RemoteAddress"}, {"RemotePort"}, {"Direction"}, {"Protocol"}, {"HostMAC"}, {"MirrorToIP"}, {"MirrorToPort"},
};

constexpr Prop kTrafficMonitoringConfigProps[] = {
    GW_P(TrafficMonitoringConfig, PluginName, 's'),
};
constexpr Written kTrafficMonitoringConfigWritten[] = {
    {"PluginName"},
};

constexpr Prop kTrafficQoSFlowProps[] = {
    GW_P(TrafficQoSFlow, Flow, 'u'),    GW_P(TrafficQoSFlow, UsStats, 't'),   GW_P(TrafficQoSFlow, DsStats, 't'),
    GW_P(TrafficQoSFlow, UpSpeed, 'u'), GW_P(TrafficQoSFlow, DownSpeed, 'u'), GW_P(TrafficQoSFlow, DSCPRemark, 'y'),
};
constexpr Written kTrafficQoSFlowWritten[] = {
    {"UpSpeed"},
    {"DownSpeed"},
    {"DSCPRemark"},
};

constexpr Prop kTrafficQoSClassificationProps[] = {
    GW_P(TrafficQoSClassification, RemoteAddress, 's'),
    GW_P(TrafficQoSClassification, RemotePort, 's'),
};
constexpr Written kTrafficQoSClassificationWritten[] = {
    {"RemoteAddress"},
    {"RemotePort"},
};

constexpr Prop kWMMConfigurationProps[] = {
    GW_P(WMMConfiguration, WMMEnable, 'b'),
    GW_P(WMMConfiguration, WMMSupportedSSID, 's'),
    GW_P(WMMConfiguration, UAPSDSupported, 'b'),
};
constexpr Written kWMMConfigurationWritten[] = {
    {"WMMSupportedSSID"},
    {"UAPSDSupported"},
    {"WMMEnable"},
};

constexpr Prop kWMMProfileProps[] = {
    GW_P(WMMProfile, MaxIPSetEntry, 'u'),
};

constexpr Prop kWMMServiceIPSetProps[] = {
    GW_P(WMMServiceIPSet, ServiceName, 's'), GW_P(WMMServiceIPSet, ACLevel, 's'),
    GW_P(WMMServiceIPSet, TargetIP, 's'),    GW_P(WMMServiceIPSet, TargetPort, 's'),
    GW_P(WMMServiceIPSet, SourceIP, 's'),    GW_P(WMMServiceIPSet, SourcePort, 's'),
    GW_P(WMMServiceIPSet, Protocol, 's'),
};
constexpr Written kWMMServiceIPSetWritten[] = {
    {"ServiceName"}, {"ACLevel"}, {"TargetIP"}, {"TargetPort"}, {"SourceIP"}, {"SourcePort"}, {"Protocol"},
};

}  // namespace

GW_KIND(AutoDiagnosticsRedirect, "AutoDiagnosticsRedirect", Single, "/com/yvc/igd1/Transfer/AutoDiagnostics/Redirect",
        nullptr, kGet | kSet, Values, GW_WRITES(AutoDiagnosticsRedirect));
GW_EXPORT_GET(AutoDiagnosticsRedirect)
GW_EXPORT_SET(AutoDiagnosticsRedirect)

GW_KIND(FastPathSpeedUp, "FastPathSpeedUp", Collection, "/com/yvc/igd1/Transfer/FastPathSpeedUp", nullptr,
        kGet | kGetObjs | kSet | kDelObj | kAddObj, Values, GW_WRITES(FastPathSpeedUp));
GW_EXPORT_GET_AT(FastPathSpeedUp)
GW_EXPORT_GET_OBJS(FastPathSpeedUp)
GW_EXPORT_SET(FastPathSpeedUp)
GW_EXPORT_DEL_OBJ(FastPathSpeedUp)
GW_EXPORT_ADD_OBJ(FastPathSpeedUp)

GW_KIND(Layer3ForwardingIPv4Config, "Layer3ForwardingIPv4Config", Collection,
        "/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config", nullptr, kGet | kGetObjs | kDelObj | kAddObj | kSet,
        UpdateOrAdd, GW_WRITES(Layer3ForwardingIPv4Config));
GW_EXPORT_GET_AT(Layer3ForwardingIPv4Config)
GW_EXPORT_GET_OBJS(Layer3ForwardingIPv4Config)
GW_EXPORT_DEL_OBJ(Layer3ForwardingIPv4Config)
GW_EXPORT_ADD_OBJ(Layer3ForwardingIPv4Config)
GW_EXPORT_SET_MUTABLE(Layer3ForwardingIPv4Config)

GW_KIND(Layer3ForwardingIPv6Config, "Layer3ForwardingIPv6Config", Collection,
        "/com/yvc/igd1/Transfer/Layer3ForwardingIPv6Config", nullptr, kGet | kGetObjs | kDelObj | kAddObj | kSet,
        UpdateOrAdd, GW_WRITES(Layer3ForwardingIPv6Config));
GW_EXPORT_GET_AT(Layer3ForwardingIPv6Config)
GW_EXPORT_GET_OBJS(Layer3ForwardingIPv6Config)
GW_EXPORT_DEL_OBJ(Layer3ForwardingIPv6Config)
GW_EXPORT_ADD_OBJ(Layer3ForwardingIPv6Config)
GW_EXPORT_SET_MUTABLE(Layer3ForwardingIPv6Config)

GW_KIND(TrafficDetailProcess, "TrafficDetailProcess", Collection, "/com/yvc/igd1/Transfer/TrafficDetailProcess",
        nullptr, kGet | kGetObjs | kSet | kDelObj | kAddObj, Values, GW_WRITES(TrafficDetailProcess));
GW_EXPORT_GET_AT(TrafficDetailProcess)
GW_EXPORT_GET_OBJS(TrafficDetailProcess)
GW_EXPORT_SET(TrafficDetailProcess)
GW_EXPORT_DEL_OBJ(TrafficDetailProcess)
GW_EXPORT_ADD_OBJ(TrafficDetailProcess)

GW_KIND(TrafficForward, "TrafficForward", Collection, "/com/yvc/igd1/Transfer/TrafficForward", nullptr,
        kGet | kGetObjs | kSet | kDelObj | kAddObj, Values, GW_WRITES(TrafficForward));
GW_EXPORT_GET_AT(TrafficForward)
GW_EXPORT_GET_OBJS(TrafficForward)
GW_EXPORT_SET(TrafficForward)
GW_EXPORT_DEL_OBJ(TrafficForward)
GW_EXPORT_ADD_OBJ(TrafficForward)

GW_KIND(TrafficMirror, "TrafficMirror", Collection, "/com/yvc/igd1/Transfer/TrafficMirror", nullptr,
        kGet | kGetObjs | kSet | kDelObj | kAddObj, Values, GW_WRITES(TrafficMirror));
GW_EXPORT_GET_AT(TrafficMirror)
GW_EXPORT_GET_OBJS(TrafficMirror)
GW_EXPORT_SET(TrafficMirror)
GW_EXPORT_DEL_OBJ(TrafficMirror)
GW_EXPORT_ADD_OBJ(TrafficMirror)

GW_KIND(TrafficMonitoringConfig, "TrafficMonitoringConfig", Collection,
        "/com/yvc/igd1/Transfer/TrafficMonitoringConfig", nullptr, kGet | kGetObjs | kSet | kDelObj | kAddObj, Values,
        GW_WRITES(TrafficMonitoringConfig));
GW_EXPORT_GET_AT(TrafficMonitoringConfig)
GW_EXPORT_GET_OBJS(TrafficMonitoringConfig)
GW_EXPORT_SET(TrafficMonitoringConfig)
GW_EXPORT_DEL_OBJ(TrafficMonitoringConfig)
GW_EXPORT_ADD_OBJ(TrafficMonitoringConfig)

GW_KIND(TrafficQoSFlow, "TrafficQoSFlow", Collection, "/com/yvc/igd1/Transfer/TrafficQoSFlow", nullptr,
        kGet | kGetObjs | kSet | kDelObj | kAddObj, Values, GW_WRITES(TrafficQoSFlow));
GW_EXPORT_GET_AT(TrafficQoSFlow)
GW_EXPORT_GET_OBJS(TrafficQoSFlow)
GW_EXPORT_SET(TrafficQoSFlow)
GW_EXPORT_DEL_OBJ(TrafficQoSFlow)
GW_EXPORT_ADD_OBJ(TrafficQoSFlow)

GW_KIND(TrafficQoSClassification, "TrafficQoSClassification", SubCollection, "/com/yvc/igd1/Transfer/TrafficQoSFlow",
        "Classification", kGet | kGetObjs | kSet | kDelObj | kClearObjs | kAddObj, Values,
        GW_WRITES(TrafficQoSClassification));
GW_EXPORT_GET_AT(TrafficQoSClassification)
GW_EXPORT_GET_OBJS_UNDER(TrafficQoSClassification)
GW_EXPORT_SET(TrafficQoSClassification)
GW_EXPORT_DEL_OBJ(TrafficQoSClassification)
GW_EXPORT_CLEAR_OBJS(TrafficQoSClassification)
GW_EXPORT_ADD_OBJ_UNDER(TrafficQoSClassification)

GW_KIND(WMMConfiguration, "WMMConfiguration", Collection, "/com/yvc/igd1/Transfer/WMMConfiguration", nullptr,
        kGet | kGetObjs | kSetv | kSet | kDelObj | kAddObj, Values, GW_WRITES(WMMConfiguration));
GW_EXPORT_GET_AT(WMMConfiguration)
GW_EXPORT_GET_OBJS(WMMConfiguration)
GW_EXPORT_SETV(WMMConfiguration)
GW_EXPORT_SET(WMMConfiguration)
GW_EXPORT_DEL_OBJ(WMMConfiguration)
GW_EXPORT_ADD_OBJ(WMMConfiguration)

GW_KIND(WMMProfile, "WMMProfile", Single, "/com/yvc/igd1/Transfer/WMMConfiguration", nullptr, kGet, Values,
        GW_NO_WRITES);
GW_EXPORT_GET(WMMProfile)

GW_KIND(WMMServiceIPSet, "WMMServiceIPSet", SubCollection, "/com/yvc/igd1/Transfer/WMMConfiguration", "WMMServiceIPSet",
        kGet | kGetObjs | kSetv | kSet | kDelObj | kAddObj, Values, GW_WRITES(WMMServiceIPSet));
GW_EXPORT_GET_AT(WMMServiceIPSet)
GW_EXPORT_GET_OBJS_UNDER(WMMServiceIPSet)
GW_EXPORT_SETV(WMMServiceIPSet)
GW_EXPORT_SET(WMMServiceIPSet)
GW_EXPORT_DEL_OBJ(WMMServiceIPSet)
GW_EXPORT_ADD_OBJ_UNDER(WMMServiceIPSet)

GW_KIND_TABLE(kinds_transfer, &kind_AutoDiagnosticsRedirect, &kind_FastPathSpeedUp, &kind_Layer3ForwardingIPv4Config,
              &kind_Layer3ForwardingIPv6Config, &kind_TrafficDetailProcess, &kind_TrafficForward, &kind_TrafficMirror,
              &kind_TrafficMonitoringConfig, &kind_TrafficQoSFlow, &kind_TrafficQoSClassification,
              &kind_WMMConfiguration, &kind_WMMProfile, &kind_WMMServiceIPSet)
