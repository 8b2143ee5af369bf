// Object kinds of the Firewall area: one descriptor and its exported operations per kind.
#include "object_engine.hpp"

namespace {

using namespace gw::objects;

constexpr Prop kFirewall_L2TPVPNProfileProps[] = {
    GW_P(Firewall_L2TPVPNProfile, ProfileNumberOfEntries, 'u'),
    GW_P(Firewall_L2TPVPNProfile, MaxProfileNumber, 'u'),
};

constexpr Prop kFirewall_L2TPVPNProps[] = {
    GW_P(Firewall_L2TPVPN, Name, 's'),     GW_P(Firewall_L2TPVPN, InsAddress, 's'),
    GW_P(Firewall_L2TPVPN, UserName, 's'), GW_P(Firewall_L2TPVPN, Password, 's'),
    GW_P(Firewall_L2TPVPN, DestPort, 'u'), GW_P(Firewall_L2TPVPN, Enable, 'y'),
    GW_P(Firewall_L2TPVPN, Operate, 'y'),
};
constexpr Written kFirewall_L2TPVPNWritten[] = {
    {"Name"}, {"InsAddress"}, {"UserName"}, {"Password"}, {"DestPort"}, {"Enable"}, {"Operate"},
};

constexpr Prop kFirewall_NetworkAccelerationProfileProps[] = {
    GW_P(Firewall_NetworkAccelerationProfile, ProfileNumberOfEntries, 'u'),
    GW_P(Firewall_NetworkAccelerationProfile, MaxProfileNumber, 'u'),
};

constexpr Prop kFirewall_NetworkAccelerationProps[] = {
    GW_P(Firewall_NetworkAcceleration, Name, 's'),
    GW_P(Firewall_NetworkAcceleration, WANName, 's'),
    GW_P(Firewall_NetworkAcceleration, Enable, 'y'),
    GW_P(Firewall_NetworkAcceleration, Operate, 'y'),
};
constexpr Written kFirewall_NetworkAccelerationWritten[] = {
    {"Name"},
    {"WANName"},
    {"Enable"},
    {"Operate"},
};

constexpr Prop kFirewall_TrafficControlProfileProps[] = {
    GW_P(Firewall_TrafficControlProfile, ProfileNumberOfEntries, 'u'),
    GW_P(Firewall_TrafficControlProfile, MaxProfileNumber, 'u'),
};

constexpr Prop kFirewall_TrafficControlProps[] = {
    GW_P(Firewall_TrafficControl, Name, 's'),     GW_P(Firewall_TrafficControl, Enable, 'y'),
    GW_P(Firewall_TrafficControl, Operate, 'y'),  GW_P(Firewall_TrafficControl, Target, 'y'),
    GW_P(Firewall_TrafficControl, Priority, 'y'),
};
constexpr Written kFirewall_TrafficControlWritten[] = {
    {"Name"}, {"Enable"}, {"Operate"}, {"Target"}, {"Priority"},
};

}  // namespace

GW_KIND(Firewall_L2TPVPNProfile, "L2TPVPNProfile", Single, "/com/yvc/igd1/Firewall/L2TPVPN", nullptr, kGet, Values,
        GW_NO_WRITES);
GW_EXPORT_GET(Firewall_L2TPVPNProfile)

GW_KIND(Firewall_L2TPVPN, "L2TPVPN", Single, "/com/yvc/igd1/Firewall/L2TPVPN", nullptr, kGet | kSet, Values,
        GW_WRITES(Firewall_L2TPVPN));
GW_EXPORT_GET(Firewall_L2TPVPN)
GW_EXPORT_SET(Firewall_L2TPVPN)

GW_KIND(Firewall_NetworkAccelerationProfile, "NetworkAccelerationProfile", Single,
        "/com/yvc/igd1/Firewall/NetworkAcceleration", nullptr, kGet, Values, GW_NO_WRITES);
GW_EXPORT_GET(Firewall_NetworkAccelerationProfile)

GW_KIND(Firewall_NetworkAcceleration, "NetworkAcceleration", Single, "/com/yvc/igd1/Firewall/NetworkAcceleration",
        nullptr, kGet | kSet, Values, GW_WRITES(Firewall_NetworkAcceleration));
GW_EXPORT_GET(Firewall_NetworkAcceleration)
GW_EXPORT_SET(Firewall_NetworkAcceleration)

GW_KIND(Firewall_TrafficControlProfile, "TrafficControlProfile", Single, "/com/yvc/igd1/Firewall/TrafficControl",
        nullptr, kGet, Values, GW_NO_WRITES);
GW_EXPORT_GET(Firewall_TrafficControlProfile)

GW_KIND(Firewall_TrafficControl, "TrafficControl", Single, "/com/yvc/igd1/Firewall/TrafficControl", nullptr,
        kGet | kSet, Values, GW_WRITES(Firewall_TrafficControl));
GW_EXPORT_GET(Firewall_TrafficControl)
GW_EXPORT_SET(Firewall_TrafficControl)

GW_KIND_TABLE(kinds_firewall, &kind_Firewall_L2TPVPNProfile, &kind_Firewall_L2TPVPN,
              &kind_Firewall_NetworkAccelerationProfile, &kind_Firewall_NetworkAcceleration,
              &kind_Firewall_TrafficControlProfile, &kind_Firewall_TrafficControl)
