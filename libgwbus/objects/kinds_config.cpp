// Object kinds of the Config area: one descriptor and its exported operations per kind.
#include "object_engine.hpp"

namespace {

using namespace gw::objects;

constexpr Prop kDHCPServerProps[] = {
    GW_P(DHCPServer, DHCPServerEnable, 'b'), GW_P(DHCPServer, LocalIP, 's'),   GW_P(DHCPServer, Submask, 's'),
    GW_P(DHCPServer, DHCPStartIP, 's'),      GW_P(DHCPServer, DHCPEndIP, 's'), GW_P(DHCPServer, DHCPDuration, 'u'),
};
constexpr Written kDHCPServerWritten[] = {
    {"LocalIP"}, {"Submask"}, {"DHCPStartIP"}, {"DHCPEndIP"}, {"DHCPDuration"}, {"DHCPServerEnable"},
};

constexpr Prop kDHCPv6ServerProps[] = {
    GW_P(DHCPv6Server, Enable, 'b'),         GW_P(DHCPv6Server, MinAddress, 's'),
    GW_P(DHCPv6Server, MaxAddress, 's'),     GW_P(DHCPv6Server, PreferredLifeTime, 'u'),
    GW_P(DHCPv6Server, ValidLifeTime, 'u'),  GW_P(DHCPv6Server, Option16Enable, 'b'),
    GW_P(DHCPv6Server, Option17Enable, 'b'),
};
constexpr Written kDHCPv6ServerWritten[] = {
    {"Enable"},        {"MinAddress"},     {"MaxAddress"},     {"PreferredLifeTime"},
    {"ValidLifeTime"}, {"Option16Enable"}, {"Option17Enable"},
};

constexpr Prop kIPv6LANConfigProps[] = {
    GW_P(IPv6LANConfig, LocalAddress, 's'),  GW_P(IPv6LANConfig, ConfigType, 's'),
    GW_P(IPv6LANConfig, DNSWAN, 's'),        GW_P(IPv6LANConfig, Servers, 's'),
    GW_P(IPv6LANConfig, PrefixMode, 's'),    GW_P(IPv6LANConfig, DelegatedWAN, 's'),
    GW_P(IPv6LANConfig, Prefix, 's'),        GW_P(IPv6LANConfig, PreferredLifeTime, 'u'),
    GW_P(IPv6LANConfig, ValidLifeTime, 'u'),
};
constexpr Written kIPv6LANConfigWritten[] = {
    {"LocalAddress"}, {"ConfigType"},        {"DNSWAN"},        {"Servers"}, {"PrefixMode"}, {"DelegatedWAN"},
    {"Prefix"},       {"PreferredLifeTime"}, {"ValidLifeTime"},
};

constexpr Prop kRouterAdvertisementProps[] = {
    GW_P(RouterAdvertisement, Enable, 'b'),
    GW_P(RouterAdvertisement, MaxRtrAdvInterval, 'u'),
    GW_P(RouterAdvertisement, MinRtrAdvInterval, 'u'),
    GW_P(RouterAdvertisement, AdvManagedFlag, 'b'),
    GW_P(RouterAdvertisement, AdvOtherConfigflag, 'b'),
};
constexpr Written kRouterAdvertisementWritten[] = {
    {"Enable"}, {"MaxRtrAdvInterval"}, {"MinRtrAdvInterval"}, {"AdvManagedFlag"}, {"AdvOtherConfigflag"},
};

constexpr Prop kEthernetConfigProps[] = {
    GW_P(EthernetConfig, Enable, 'b'),
    GW_P(EthernetConfig, Status, 's'),
    GW_P(EthernetConfig, MAC, 's'),
    GW_P(EthernetConfig, IfName, 's'),
    GW_P(EthernetConfig, MaxBitRate, 'u'),
    GW_P(EthernetConfig, BitRate, 'u'),
    GW_P(EthernetConfig, DuplexMode, 's'),
    GW_P(EthernetConfig, X_YV_Mode, 'y'),
    GW_P(EthernetConfig, Bind, 's'),
    GW_P(EthernetConfig, BytesSent, 't'),
    GW_P(EthernetConfig, BytesReceived, 't'),
    GW_P(EthernetConfig, PacketsSent, 't'),
    GW_P(EthernetConfig, PacketsReceived, 't'),
};
constexpr Written kEthernetConfigWritten[] = {
    {"X_YV_Mode"},
    {"Enable"},
};

constexpr Prop kLANHostProps[] = {
    GW_P(LANHost, MAC, 's'),
    GW_P(LANHost, HostClass, 's'),
    GW_P(LANHost, HostName, 's'),
    GW_P(LANHost, DevName, 's'),
    GW_P(LANHost, IP, 's'),
    GW_P(LANHost, DevType, 's'),
    GW_P(LANHost, ConnectDevice, 'y'),
    GW_P(LANHost, ConnectDeviceMAC, 's'),
    GW_P(LANHost, ConnectDeviceSN, 's'),
    GW_P(LANHost, ConnectInterface, 's'),
    GW_P(LANHost, ConnectionType, 'y'),
    GW_P(LANHost, SSIDName, 's'),
    GW_P(LANHost, Channel, 'u'),
    GW_P(LANHost, Antenna, 's'),
    GW_P(LANHost, Protocol, 's'),
    GW_P(LANHost, RadioType, 's'),
    GW_P(LANHost, FrequencyWidth, 's'),
    GW_P(LANHost, Speedupstate, 'y'),
    GW_P(LANHost, RSSI, 'i'),
    GW_P(LANHost, Speed, 's'),
    GW_P(LANHost, Noise, 'i'),
    GW_P(LANHost, SNR, 'i'),
    GW_P(LANHost, Brand, 's'),
    GW_P(LANHost, OS, 's'),
    GW_P(LANHost, Model, 's'),
    GW_P(LANHost, SWVersion, 's'),
    GW_P(LANHost, KernelVersion, 's'),
    GW_P(LANHost, OnlineTime, 'u'),
    GW_P(LANHost, UsBandwidth, 'u'),
    GW_P(LANHost, DsBandwidth, 'u'),
    GW_P(LANHost, UsGuaranteeBandwidth, 'u'),
    GW_P(LANHost, DsGuaranteeBandwidth, 'u'),
    GW_P(LANHost, UpSpeed, 't'),
    GW_P(LANHost, DownSpeed, 't'),
    GW_P(LANHost, RxBytes, 't'),
    GW_P(LANHost, TxBytes, 't'),
};
constexpr Written kLANHostWritten[] = {
    {"UsBandwidth"},
    {"DsBandwidth"},
    {"UsGuaranteeBandwidth"},
    {"DsGuaranteeBandwidth"},
};

constexpr Prop kLANHostManagerProps[] = {
    GW_P(LANHostManager, EnableStats, 'b'),
    GW_P(LANHostManager, LANHostMaxNumber, 'u'),
    GW_P(LANHostManager, LANHostNumber, 'u'),
    GW_P(LANHostManager, LANHostOnlineNumber, 'u'),
};
constexpr Written kLANHostManagerWritten[] = {
    {"EnableStats"},
};

constexpr Prop kLEDProps[] = {
    GW_P(LED, LEDStatus, 'y'),
};
constexpr Written kLEDWritten[] = {
    {"LEDStatus"},
};

constexpr Prop kSleepTimerProps[] = {
    GW_P(SleepTimer, Switch, 'b'),
};
constexpr Written kSleepTimerWritten[] = {
    {"Switch"},
};

constexpr Prop kURLControlCTRProps[] = {
    GW_P(URLControlCTR, MAC, 's'),
    GW_P(URLControlCTR, TemplateName, 's'),
};
constexpr Written kURLControlCTRWritten[] = {
    {"TemplateName"},
};

constexpr Prop kURLControlConfigProps[] = {
    GW_P(URLControlConfig, Name, 's'),
    GW_P(URLControlConfig, UrlFilterEnable, 'y'),
    GW_P(URLControlConfig, UrlFilterPolicy, 'y'),
    GW_P(URLControlConfig, UrlFilterList, 'a'),
};
constexpr Written kURLControlConfigWritten[] = {
    {"Name"},
    {"UrlFilterPolicy"},
    {"UrlFilterEnable"},
};

constexpr Prop kURLControlDurationProps[] = {
    GW_P(URLControlDuration, StartTime, 's'),
    GW_P(URLControlDuration, EndTime, 's'),
    GW_P(URLControlDuration, RepeatDay, 's'),
};
constexpr Written kURLControlDurationWritten[] = {
    {"StartTime"},
    {"EndTime"},
    {"RepeatDay"},
};

constexpr Prop kWLANConfigurationProps[] = {
    GW_P(WLANConfiguration, SSID, 's'),
    GW_P(WLANConfiguration, Enable, 'b'),
    GW_P(WLANConfiguration, BSSID, 's'),
    GW_P(WLANConfiguration, IfName, 's'),
    GW_P(WLANConfiguration, EncryptionMode, 'y'),
    GW_P(WLANConfiguration, PWD, 's'),
    GW_P(WLANConfiguration, TransmitPower, 'u'),
    GW_P(WLANConfiguration, Channel, 'u'),
    GW_P(WLANConfiguration, AutoChannelEnable, 'b'),
    GW_P(WLANConfiguration, ChannelsInUse, 's'),
    GW_P(WLANConfiguration, SSIDAdvertisementEnabled, 'b'),
    GW_P(WLANConfiguration, RadioType, 's'),
    GW_P(WLANConfiguration, FrequencyWidth, 's'),
    GW_P(WLANConfiguration, Standard, 's'),
    GW_P(WLANConfiguration, IsGuest, 'b'),
    GW_P(WLANConfiguration, X_YV_Mode, 'y'),
    GW_P(WLANConfiguration, Bind, 's'),
    GW_P(WLANConfiguration, Duration, 't'),
    GW_P(WLANConfiguration, RemainDuration, 't'),
    GW_P(WLANConfiguration, PortIsolation, 'b'),
    GW_P(WLANConfiguration, MaxSta, 'u'),
    GW_P(WLANConfiguration, OnlineSta, 'u'),
    GW_P(WLANConfiguration, TotalBytesSent, 't'),
    GW_P(WLANConfiguration, TotalBytesReceived, 't'),
    GW_P(WLANConfiguration, TotalPacketsSent, 't'),
    GW_P(WLANConfiguration, TotalPacketsReceived, 't'),
    GW_P(WLANConfiguration, ErrorsSent, 't'),
    GW_P(WLANConfiguration, ErrorsReceived, 't'),
    GW_P(WLANConfiguration, DiscardPacketsSent, 't'),
    GW_P(WLANConfiguration, DiscardPacketsReceived, 't'),
    GW_P(WLANConfiguration, AccessRule, 'u'),
    GW_P(WLANConfiguration, AllowdIPPort, 's'),
};
constexpr Written kWLANConfigurationWritten[] = {
    {"SSID"},
    {"EncryptionMode"},
    {"PWD"},
    {"TransmitPower"},
    {"AutoChannelEnable"},
    {"Channel"},
    {"SSIDAdvertisementEnabled"},
    {"FrequencyWidth"},
    {"Standard"},
    {"X_YV_Mode"},
    {"Enable"},
};

constexpr Prop kWPSProps[] = {
    GW_P(WPS, Enable, 'b'),
};
constexpr Written kWPSWritten[] = {
    {"Enable"},
};

constexpr Prop kWiFiTimerProps[] = {
    GW_P(WiFiTimer, StartTime, 's'),
    GW_P(WiFiTimer, EndTime, 's'),
    GW_P(WiFiTimer, Enable, 'b'),
    GW_P(WiFiTimer, ControlCycle, 's'),
};
constexpr Written kWiFiTimerWritten[] = {
    {"StartTime"},
    {"EndTime"},
    {"ControlCycle"},
    {"Enable"},
};

}  // namespace

GW_KIND(DHCPServer, "DHCPServer", Single, "/com/yvc/igd1/Config/DHCPServer", nullptr, kGet | kSet, Values,
        GW_WRITES(DHCPServer));
GW_EXPORT_GET(DHCPServer)
GW_EXPORT_SET(DHCPServer)

GW_KIND(DHCPv6Server, "DHCPv6Server", Single, "/com/yvc/igd1/Config/IPv6/DHCPv6Server", nullptr, kGet | kSet, Values,
        GW_WRITES(DHCPv6Server));
GW_EXPORT_GET(DHCPv6Server)
GW_EXPORT_SET(DHCPv6Server)

GW_KIND(IPv6LANConfig, "IPv6LANConfig", Single, "/com/yvc/igd1/Config/IPv6/LAN", nullptr, kGet | kSet, Values,
        GW_WRITES(IPv6LANConfig));
GW_EXPORT_GET(IPv6LANConfig)
GW_EXPORT_SET(IPv6LANConfig)

GW_KIND(RouterAdvertisement, "RouterAdvertisement", Single, "/com/yvc/igd1/Config/IPv6/RA", nullptr, kGet | kSet,
        Values, GW_WRITES(RouterAdvertisement));
GW_EXPORT_GET(RouterAdvertisement)
GW_EXPORT_SET(RouterAdvertisement)

GW_KIND(EthernetConfig, "EthernetConfig", Collection, "/com/yvc/igd1/Config/EthernetConfig", nullptr,
        kGet | kGetObjs | kSet, Values, GW_WRITES(EthernetConfig));
GW_EXPORT_GET_AT(EthernetConfig)
GW_EXPORT_GET_OBJS(EthernetConfig)
GW_EXPORT_SET(EthernetConfig)

GW_KIND(LANHost, "LANHost", Collection, "/com/yvc/igd1/Config/LANHosts", nullptr, kGet | kGetObjs | kSetv | kSet,
        Values, GW_WRITES(LANHost));
GW_EXPORT_GET_AT(LANHost)
GW_EXPORT_GET_OBJS(LANHost)
GW_EXPORT_SETV(LANHost)
GW_EXPORT_SET(LANHost)

GW_KIND(LANHostManager, "LANHostManager", Single, "/com/yvc/igd1/Config/LANHosts", nullptr, kGet | kSet, SingleSet,
        GW_WRITES(LANHostManager));
GW_EXPORT_GET(LANHostManager)
GW_EXPORT_SET(LANHostManager)

GW_KIND(LED, "LED", Single, "/com/yvc/igd1/Config/Peripheral/LED", nullptr, kGet | kSet, Values, GW_WRITES(LED));
GW_EXPORT_GET(LED)
GW_EXPORT_SET(LED)

GW_KIND(SleepTimer, "SleepTimer", Single, "/com/yvc/igd1/Config/Power/SleepTimer", nullptr, kGet | kSet, Values,
        GW_WRITES(SleepTimer));
GW_EXPORT_GET(SleepTimer)
GW_EXPORT_SET(SleepTimer)

// setv: `_set` writes only TemplateName, so a new host binding needs its MAC written on its own.
GW_KIND(URLControlCTR, "URLControlCTR", Collection, "/com/yvc/igd1/Config/URLControlCTR", nullptr,
        kGet | kGetObjs | kSetv | kSet | kDelObj | kAddObj, Values, GW_WRITES(URLControlCTR));
GW_EXPORT_GET_AT(URLControlCTR)
GW_EXPORT_GET_OBJS(URLControlCTR)
GW_EXPORT_SETV(URLControlCTR)
GW_EXPORT_SET(URLControlCTR)
GW_EXPORT_DEL_OBJ(URLControlCTR)
GW_EXPORT_ADD_OBJ(URLControlCTR)

// setv: `_set` leaves UrlFilterList alone, and a template's URL list has to be written too.
GW_KIND(URLControlConfig, "URLControlConfig", Collection, "/com/yvc/igd1/Config/URLControlConfig", nullptr,
        kGet | kGetObjs | kSetv | kSet | kDelObj | kAddObj, Values, GW_WRITES(URLControlConfig));
GW_EXPORT_GET_AT(URLControlConfig)
GW_EXPORT_GET_OBJS(URLControlConfig)
GW_EXPORT_SETV(URLControlConfig)
GW_EXPORT_SET(URLControlConfig)
GW_EXPORT_DEL_OBJ(URLControlConfig)
GW_EXPORT_ADD_OBJ(URLControlConfig)

GW_KIND(URLControlDuration, "URLControlDuration", SubCollection, "/com/yvc/igd1/Config/URLControlConfig", "Duration",
        kGet | kGetObjs | kSet | kDelObj | kDelObjs | kAddObj, Values, GW_WRITES(URLControlDuration));
GW_EXPORT_GET_AT(URLControlDuration)
GW_EXPORT_GET_OBJS_UNDER(URLControlDuration)
GW_EXPORT_SET(URLControlDuration)
GW_EXPORT_DEL_OBJ(URLControlDuration)
GW_EXPORT_DEL_OBJS(URLControlDuration)
GW_EXPORT_ADD_OBJ_UNDER(URLControlDuration)

GW_KIND(WLANConfiguration, "WLANConfiguration", Collection, "/com/yvc/igd1/Config/WLAN/Devices", nullptr,
        kGet | kGetObjs | kSetv | kSet, Values, GW_WRITES(WLANConfiguration));
GW_EXPORT_GET_AT(WLANConfiguration)
GW_EXPORT_GET_OBJS(WLANConfiguration)
GW_EXPORT_SETV(WLANConfiguration)
GW_EXPORT_SET(WLANConfiguration)

GW_KIND(WPS, "WPS", SubSingle, "/com/yvc/igd1/Config/WLAN/Devices", "WPS", kGet | kSet, Values, GW_WRITES(WPS));
GW_EXPORT_GET_AT(WPS)
GW_EXPORT_SET(WPS)

GW_KIND(WiFiTimer, "WiFiTimer", Single, "/com/yvc/igd1/Config/WLAN/Timer", nullptr, kGet | kSet, Values,
        GW_WRITES(WiFiTimer));
GW_EXPORT_GET(WiFiTimer)
GW_EXPORT_SET(WiFiTimer)

GW_KIND_TABLE(kinds_config, &kind_DHCPServer, &kind_DHCPv6Server, &kind_IPv6LANConfig, &kind_RouterAdvertisement,
              &kind_EthernetConfig, &kind_LANHost, &kind_LANHostManager, &kind_LED, &kind_SleepTimer,
              &kind_URLControlCTR, &kind_URLControlConfig, &kind_URLControlDuration, &kind_WLANConfiguration, &kind_WPS,
              &kind_WiFiTimer)
