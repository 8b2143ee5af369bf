// Object kinds of the FTTO area: one descriptor and its exported operations per kind.
#include "object_engine.hpp"

namespace {

using namespace gw::objects;

constexpr Prop kFTTO_LanOpticInfoProps[] = {
    GW_P(FTTO_LanOpticInfo, Temperature, 'd'), GW_P(FTTO_LanOpticInfo, Voltage, 'd'),
    GW_P(FTTO_LanOpticInfo, Current, 'd'),     GW_P(FTTO_LanOpticInfo, TXPower, 'd'),
    GW_P(FTTO_LanOpticInfo, RXPower, 'd'),
};

constexpr Prop kFTTO_SlaveManagerProps[] = {
    GW_P(FTTO_SlaveManager, AllowSlaveNum, 'u'),
    GW_P(FTTO_SlaveManager, SlaveNum, 'u'),
    GW_P(FTTO_SlaveManager, SlaveOnlineNum, 'u'),
};
constexpr Written kFTTO_SlaveManagerWritten[] = {
    {"AllowSlaveNum"},
};

}  // namespace

GW_KIND(FTTO_LanOpticInfo, "LanOpticInfo", Single, "/com/yvc/igd1/FTTO/LanOptic", nullptr, kGet, Values, GW_NO_WRITES);
GW_EXPORT_GET(FTTO_LanOpticInfo)

GW_KIND(FTTO_SlaveManager, "SlaveManager", Single, "/com/yvc/igd1/FTTO/Master", nullptr, kGet | kSet, Values,
        GW_WRITES(FTTO_SlaveManager));
GW_EXPORT_GET(FTTO_SlaveManager)
GW_EXPORT_SET(FTTO_SlaveManager)

GW_KIND_TABLE(kinds_ftto, &kind_FTTO_LanOpticInfo, &kind_FTTO_SlaveManager)
