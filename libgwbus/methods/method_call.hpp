// One descriptor row per method and the small generic caller the mth_ wrappers stand on.
#ifndef GWBUS_METHOD_CALL_HPP
#define GWBUS_METHOD_CALL_HPP

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "gwbus/raii.hpp"

namespace gw::methods {

// Where the result code and its text sit in a reply.
enum class Code : uint8_t {
    U,     // trailing (..., u code, s text)
    I,     // trailing (..., i code, s text)
    None,  // the reply carries no code
};

struct Row {
    const char *name;  // in "<name> begin" and "call method <name> failed."
    const char *bus;
    const char *path;  // null: the caller names the object
    const char *iface;
    const char *method;
    const char *args;   // argument tuple type
    const char *reply;  // required reply type
    Code code;
};

enum Id : unsigned {
    kReboot,
    kRestore,
    kRegister,
    kRegisterGetStat,
    kCheckHardwareStart,
    kGetLog,
    kGetUpgradeVersion,
    kInformNotifyVersion,
    kInformUpgrade,
    kGetDeviceDefaultSSID1Name,
    kGetDeviceDefaultSSID1Password,
    kGetWANConnByName,
    kGetInternetConnIndex,
    kGetLANHostPathbyMAC,
    kGetOnlineDeviceList,
    kGetOnlineDevicesSnapShot,
    kSetAttachSpeedup,
    kKickOutDevice,
    kGetWLANNeighbor,
    kGetWiFiRoamingRecordsByMac,
    kGetPONHistoryTraffic,
    kGetLANHistoryTraffic,
    kGetIPSecVPNHistoryTraffic,
    kGetL2TPVPNHistoryTraffic,
    kGetVxLANVPNHistoryTraffic,
    kSetPPPOEAccount,
    kSetPPPOEAction,
    kStartIPPingDiagnostics,
    kStartTraceRouteDiagnostics,
    kRunIPTables,
    kRunIP6Tables,
    kAddIPSet,
    kDeleteIPSetEntry,
    kDeleteIPSet,
    kCheckIPSetEntry,
    kGetIPSetName,
    kGetIPSetConf,
    kGetIPSetAllConf,
    kGetIPSetInfo,
    kGetIPSetAllInfo,
    kGetDiscInfo,
    kGetFileNum,
    kListFolder,
    kCreateFolder,
    kRemove,
    kRename,
    kMove,
    kCopy,
    kMount,
    kUnmount,
    kSetLabel,
    kFormat,
    kGetSlaveAllInfo,
    kGetL2TPVPNStatus,
    kL2TPVPNProfileStatus,
    kNetworkAccelerationProfileStatus,
    kTrafficControlProfileStatus,
    kPluginList,
    kPluginGetStatus,
    kFrameworkRestore,
    kFrameworkUpgrade,
    kGwagentGetStatus,
    kRowCount
};

const Row &row(Id id) noexcept;

// Calls the row's method at `path` (or the row's own). args is consumed; a tuple of another type
// than the row's is refused before any traffic. On success *reply holds the reply, of the row's type.
int call(Id id, const char *path, GVariant *args, VariantPtr &reply) noexcept;

// The service's code of a U/I reply; with a non-zero code, stores it and a copy of a non-empty text.
int pass_refusal(Id id, GVariant *reply, int *status, char **errmsg) noexcept;

// Texts handed to the bus must be UTF-8: GVariant refuses anything else with a critical instead of an
// error. Logs and answers false (the caller then fails the call) for the first bad one.
bool texts_valid(Id id, std::initializer_list<const char *> texts) noexcept;

// call + pass_refusal: 0 when the call went through, -1 otherwise. reply_out receives the reply.
int simple(Id id, const char *path, GVariant *args, int *status, char **errmsg,
           VariantPtr *reply_out = nullptr) noexcept;

// Layout of one field of a record filled from a structure element.
struct Field {
    char type;  // s (cut to size), b (gboolean), y, u, i, t
    uint32_t offset;
    uint32_t size;
};

// Copies an array of structures into a fresh block of records, one field per structure member, in
// order. An empty array gives null and 0. -1 only when the block cannot be allocated.
int copy_array(GVariant *array, const Field *fields, size_t n_fields, size_t record_size, void **out,
               int *count) noexcept;

// Copies one structure value into a record.
void copy_struct(GVariant *tuple, const Field *fields, size_t n_fields, void *record) noexcept;

template <typename R, typename M> constexpr Field field_of(char type, M R::*member, size_t offset)
{
    (void)member;
    return Field{type, static_cast<uint32_t>(offset), static_cast<uint32_t>(sizeof(M))};
}

}  // namespace gw::methods

#define GW_F(R, member, type) ::gw::methods::field_of(type, &R::member, offsetof(R, member))

#endif
