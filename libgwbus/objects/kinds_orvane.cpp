// Object kinds of the Orvane area: one descriptor and its exported operations per kind.
#include "object_engine.hpp"

namespace {

using namespace gw::objects;

constexpr Prop kPPPoEProps[] = {
    GW_P(PPPoE, WANName, 's'),  GW_P(PPPoE, PPPoEUserName, 's'), GW_P(PPPoE, PPPoEPassword, 's'),
    GW_P(PPPoE, DialMode, 's'), GW_P(PPPoE, IdleTime, 'u'),
};

constexpr Prop kSysCmdProps[] = {
    GW_P(SysCmd, RestoreStatus, 'u'),
};

}  // namespace

GW_KIND(PPPoE, "PPPoE", Collection, "/com/yvc/igd1/Orvane/PPPoE", nullptr, kGet | kGetObjs, Values, GW_NO_WRITES);
GW_EXPORT_GET_AT(PPPoE)
GW_EXPORT_GET_OBJS(PPPoE)

GW_KIND(SysCmd, "SysCmd", Single, "/com/yvc/igd1/Orvane/System", nullptr, kGet, Values, GW_NO_WRITES);
GW_EXPORT_GET(SysCmd)

GW_KIND_TABLE(kinds_orvane, &kind_PPPoE, &kind_SysCmd)
