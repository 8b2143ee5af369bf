// Object kinds of the Network area: one descriptor and its exported operations per kind.
#include "object_engine.hpp"

namespace {

using namespace gw::objects;

constexpr Prop kAccessControlBlackListProps[] = {
    GW_P(AccessControlBlackList, MAC, 's'),
};
constexpr Written kAccessControlBlackListWritten[] = {
    {"MAC"},
};

constexpr Prop kStorageBlackListProps[] = {
    GW_P(StorageBlackList, MAC, 's'),
};
constexpr Written kStorageBlackListWritten[] = {
    {"MAC"},
};

constexpr Prop kHTTPServerProps[] = {
    GW_P(HTTPServer, Enable, 'y'),
    GW_P(HTTPServer, Password, 's'),
};
constexpr Written kHTTPServerWritten[] = {
    {"Password"},
    {"Enable"},
};

constexpr Prop kSpeedTestTryProps[] = {
    GW_P(SpeedTestTry, DiagnosticsState, 's'), GW_P(SpeedTestTry, TestDirection, 's'),
    GW_P(SpeedTestTry, TestMode, 's'),         GW_P(SpeedTestTry, DownloadURL, 's'),
    GW_P(SpeedTestTry, TestURL, 's'),          GW_P(SpeedTestTry, ReportURL, 's'),
    GW_P(SpeedTestTry, Source, 's'),           GW_P(SpeedTestTry, Status, 's'),
    GW_P(SpeedTestTry, PPPoEIP, 's'),          GW_P(SpeedTestTry, PPPoEName, 's'),
    GW_P(SpeedTestTry, Cspeed, 's'),           GW_P(SpeedTestTry, Aspeed, 's'),
    GW_P(SpeedTestTry, Bspeed, 's'),           GW_P(SpeedTestTry, Maxspeed, 's'),
    GW_P(SpeedTestTry, Starttime, 's'),        GW_P(SpeedTestTry, Endtime, 's'),
    GW_P(SpeedTestTry, Totalsize, 's'),        GW_P(SpeedTestTry, Backgroundsize, 's'),
    GW_P(SpeedTestTry, Failcode, 's'),         GW_P(SpeedTestTry, WANName, 's'),
};
constexpr Written kSpeedTestTryWritten[] = {
    {"TestMode"}, {"DownloadURL"}, {"TestURL"}, {"ReportURL"}, {"Source"}, {"WANName"}, {"DiagnosticsState"},
};

}  // namespace

GW_KIND(AccessControlBlackList, "AccessControlBlackList", Collection, "/com/yvc/igd1/Network/AccessControlBlackList",
        nullptr, kGet | kGetObjs | kSet | kDelObj | kAddObj, Values, GW_WRITES(AccessControlBlackList));
GW_EXPORT_GET_AT(AccessControlBlackList)
GW_EXPORT_GET_OBJS(AccessControlBlackList)
GW_EXPORT_SET(AccessControlBlackList)
GW_EXPORT_DEL_OBJ(AccessControlBlackList)
GW_EXPORT_ADD_OBJ(AccessControlBlackList)

GW_KIND(StorageBlackList, "StorageBlackList", Collection, "/com/yvc/igd1/Network/StorageBlackList", nullptr,
        kGet | kGetObjs | kSet | kDelObj | kAddObj, Values, GW_WRITES(StorageBlackList));
GW_EXPORT_GET_AT(StorageBlackList)
GW_EXPORT_GET_OBJS(StorageBlackList)
GW_EXPORT_SET(StorageBlackList)
GW_EXPORT_DEL_OBJ(StorageBlackList)
GW_EXPORT_ADD_OBJ(StorageBlackList)

GW_KIND(HTTPServer, "HTTPServer", Single, "/com/yvc/igd1/Network/HTTPServer", nullptr, kGet | kSet, Values,
        GW_WRITES(HTTPServer));
GW_EXPORT_GET(HTTPServer)
GW_EXPORT_SET(HTTPServer)

GW_KIND(SpeedTestTry, "SpeedTestTry", Single, "/com/yvc/igd1/Network/SpeedTestTry", nullptr, kGet | kSet, Values,
        GW_WRITES(SpeedTestTry));
GW_EXPORT_GET(SpeedTestTry)
GW_EXPORT_SET(SpeedTestTry)

GW_KIND_TABLE(kinds_network, &kind_AccessControlBlackList, &kind_StorageBlackList, &kind_HTTPServer, &kind_SpeedTestTry)
