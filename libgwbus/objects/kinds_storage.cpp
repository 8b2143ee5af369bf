// Object kinds of the Storage area: one descriptor and its exported operations per kind.
#include "object_engine.hpp"

namespace {

using namespace gw::objects;

constexpr Prop kFTPServerProps[] = {
    GW_P(FTPServer, Enable, 'y'),   GW_P(FTPServer, Anonymous, 'b'), GW_P(FTPServer, Port, 'u'),
    GW_P(FTPServer, UserName, 's'), GW_P(FTPServer, Password, 's'),  GW_P(FTPServer, FTPPath, 's'),
};
constexpr Written kFTPServerWritten[] = {
    {"Anonymous"}, {"Port"}, {"UserName"}, {"Password"}, {"FTPPath"}, {"Enable"},
};

constexpr Prop kSambaServerProps[] = {
    GW_P(SambaServer, Enable, 'y'),
    GW_P(SambaServer, Anonymous, 'b'),
};
constexpr Written kSambaServerWritten[] = {
    {"Anonymous"},
    {"Enable"},
};

constexpr Prop kSambaAccountProps[] = {
    GW_P(SambaAccount, UserName, 's'),
    GW_P(SambaAccount, Password, 's'),
};
constexpr Written kSambaAccountWritten[] = {
    {"UserName"},
    {"Password"},
};

constexpr Prop kUSB_DeviceProps[] = {
    GW_P(USB_Device, DeviceType, 'q'), GW_P(USB_Device, DeviceId, 'i'), GW_P(USB_Device, DeviceName, 's'),
    GW_P(USB_Device, Vendor, 's'),     GW_P(USB_Device, Model, 's'),    GW_P(USB_Device, WriteProtection, 'b'),
};

constexpr Prop kUSB_FileSystemProps[] = {
    GW_P(USB_FileSystem, MountPoint, 's'), GW_P(USB_FileSystem, TotalSize, 't'), GW_P(USB_FileSystem, UsedSize, 't'),
    GW_P(USB_FileSystem, FreeSize, 't'),   GW_P(USB_FileSystem, Label, 's'),
};

}  // namespace

GW_KIND(FTPServer, "FTPServer", Collection, "/com/yvc/igd1/Storage/FTPServers", nullptr,
        kGet | kGetObjs | kSetv | kSet | kDelObj | kAddObj, Values, GW_WRITES(FTPServer));
GW_EXPORT_GET_AT(FTPServer)
GW_EXPORT_GET_OBJS(FTPServer)
GW_EXPORT_SETV(FTPServer)
GW_EXPORT_SET(FTPServer)
GW_EXPORT_DEL_OBJ(FTPServer)
GW_EXPORT_ADD_OBJ(FTPServer)

GW_KIND(SambaServer, "SambaServer", Single, "/com/yvc/igd1/Storage/SambaServer", nullptr, kGet | kSet, Values,
        GW_WRITES(SambaServer));
GW_EXPORT_GET(SambaServer)
GW_EXPORT_SET(SambaServer)

GW_KIND(SambaAccount, "SambaAccount", Collection, "/com/yvc/igd1/Storage/SambaServer/Accounts", nullptr,
        kGet | kGetObjs | kSet | kDelObj | kAddObj, Values, GW_WRITES(SambaAccount));
GW_EXPORT_GET_AT(SambaAccount)
GW_EXPORT_GET_OBJS(SambaAccount)
GW_EXPORT_SET(SambaAccount)
GW_EXPORT_DEL_OBJ(SambaAccount)
GW_EXPORT_ADD_OBJ(SambaAccount)

GW_KIND(USB_Device, "USB.Device", Collection, "/com/yvc/igd1/Storage/USB/Devices", nullptr, kGet | kGetObjs, Values,
        GW_NO_WRITES);
GW_EXPORT_GET_AT(USB_Device)
GW_EXPORT_GET_OBJS(USB_Device)

GW_KIND(USB_FileSystem, "USB.FileSystem", Collection, "/com/yvc/igd1/Storage/USB/Devices", nullptr, kGet | kGetObjs,
        Values, GW_NO_WRITES);
GW_EXPORT_GET_AT(USB_FileSystem)
GW_EXPORT_GET_OBJS(USB_FileSystem)

GW_KIND_TABLE(kinds_storage, &kind_FTPServer, &kind_SambaServer, &kind_SambaAccount, &kind_USB_Device,
              &kind_USB_FileSystem)
