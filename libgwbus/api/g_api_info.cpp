// Device information, storage and web rights, reset, LED and interface names.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace {

constexpr const char *kHttpPath = "/com/yvc/igd1/Network/HTTPServer";
constexpr const char *kHttpIface = "com.yvc.igd1.HTTPServer";

bool text_out_ok(const char *buf, int size) { return buf && size > 0; }

int read_device(const char *func, ccif_DeviceInfo_t *dev)
{
    if (ccif_DeviceInfo_get(dev) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get DeviceInfo failed.", func);
        return -1;
    }
    return 0;
}

// One DeviceInfo text field into the caller's buffer.
int device_text(const char *func, char *buf, int size, const char *(*pick)(const ccif_DeviceInfo_t &))
{
    if (!text_out_ok(buf, size))
        return -1;
    ccif_DeviceInfo_t dev{};
    if (read_device(func, &dev) != 0)
        return -1;
    copy_truncated(buf, static_cast<size_t>(size), pick(dev));
    return 0;
}

int capability(const char *func, int *out, int (*getter)(void))
{
    if (!out)
        return -1;
    const int v = getter();
    if (v < 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get DeviceInfo failed.", func);
        return -1;
    }
    *out = v;
    return 0;
}

// A method that answers a leading text: the call must go through and the service must accept.
int method_text(const char *func, char *buf, int size, int (*m)(char *, size_t, int *, char **))
{
    if (!text_out_ok(buf, size))
        return -1;
    int status = 0;
    char *errmsg = nullptr;
    char tmp[256] = "";
    const int rc = m(tmp, sizeof tmp, &status, &errmsg);
    gw::GCharPtr msg(errmsg);
    if (rc != 0 || status != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) call failed, %d,%d : %s", func, rc, status, msg ? msg.get() : "");
        return -1;
    }
    copy_truncated(buf, static_cast<size_t>(size), tmp);
    return 0;
}

// Finds the record whose UserName equals name in a listed collection.
template <typename T> const T *by_user(const gwapi::List<T> &all, const char *name)
{
    for (const auto &r : all)
        if (std::strcmp(r.UserName, name) == 0)
            return &r;
    return nullptr;
}

// Add, set, delete and delete-all over a collection addressed by UserName; both FTP rights and Samba
// accounts have that shape.
template <typename T> struct UserKind {
    const char *name;
    int (*get_objs)(T **, int *);
    int (*set)(const T *);
    int (*add_obj)(T *);
    int (*del_obj)(const char *);
};

template <typename T> int user_get(const char *func, const UserKind<T> &k, T **out, int *count)
{
    if (!out || !count)
        return -1;
    *out = nullptr;
    *count = 0;
    gwapi::List<T> all;
    if (gwapi::list(k.get_objs, all) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, k.name);
        return -1;
    }
    *count = all.count;
    *out = all.items.release();
    return 0;
}

template <typename T> int user_add(const char *func, const UserKind<T> &k, const T *rec)
{
    if (!rec || gwapi::empty(rec->UserName)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) UserName can not be NULL.", func);
        return -1;
    }
    gwapi::List<T> all;
    if (gwapi::list(k.get_objs, all) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, k.name);
        return -1;
    }
    if (by_user(all, rec->UserName)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s %s exists, do not add.", func, k.name, rec->UserName);
        return -1;
    }
    T copy = *rec;
    copy.path[0] = '\0';
    if (k.add_obj(&copy) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) AddObject %s failed.", func, k.name);
        return -1;
    }
    return 0;
}

template <typename T> int user_set(const char *func, const UserKind<T> &k, const T *rec)
{
    if (!rec || gwapi::empty(rec->UserName)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) UserName can not be NULL.", func);
        return -1;
    }
    gwapi::List<T> all;
    if (gwapi::list(k.get_objs, all) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, k.name);
        return -1;
    }
    const T *found = by_user(all, rec->UserName);
    if (!found) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s %s no match object.", func, k.name, rec->UserName);
        return -2;
    }
    T copy = *rec;
    copy_truncated(copy.path, found->path);
    if (k.set(&copy) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", func, found->path);
        return -1;
    }
    return 0;
}

template <typename T> int user_delete(const char *func, const UserKind<T> &k, const char *user)
{
    if (gwapi::empty(user)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) UserName can not be NULL.", func);
        return -1;
    }
    gwapi::List<T> all;
    if (gwapi::list(k.get_objs, all) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, k.name);
        return -1;
    }
    const T *found = by_user(all, user);
    if (!found) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s %s no match object.", func, k.name, user);
        return -2;
    }
    if (k.del_obj(found->path) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) DeleteObject %s failed.", func, found->path);
        return -1;
    }
    return 0;
}

template <typename T> int user_delete_all(const char *func, const UserKind<T> &k)
{
    gwapi::List<T> all;
    if (gwapi::list(k.get_objs, all) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, k.name);
        return -1;
    }
    for (const auto &r : all) {
        if (k.del_obj(r.path) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) DeleteObject %s failed.", func, r.path);
            return -1;
        }
    }
    return 0;
}

const UserKind<ccif_FTPServer_t> kFtp{"FTPServer", ccif_FTPServer_get_objs, ccif_FTPServer_set, ccif_FTPServer_add_obj,
                                      ccif_FTPServer_del_obj};
const UserKind<ccif_SambaAccount_t> kSamba{"SambaAccount", ccif_SambaAccount_get_objs, ccif_SambaAccount_set,
                                           ccif_SambaAccount_add_obj, ccif_SambaAccount_del_obj};

int write_http(const char *func, uint8_t enable, const char *password)
{
    ccif_HTTPServer_t h{};
    if (ccif_HTTPServer_get(&h) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get HTTPServer failed.", func);
        return -1;
    }
    h.Enable = enable;
    if (password)
        copy_truncated(h.Password, password);
    if (ccif_HTTPServer_set(&h) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set HTTPServer failed.", func);
        return -1;
    }
    return 0;
}

// A NULL-terminated list of the non-empty IfName texts of the records.
template <typename T>
int if_names(const char *func, const char *kind, int (*get_objs)(T **, int *), char ***names, int *count)
{
    if (!names || !count)
        return -1;
    *names = nullptr;
    *count = 0;
    gwapi::List<T> all;
    if (gwapi::list(get_objs, all) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, kind);
        return -1;
    }
    int n = 0;
    for (const auto &r : all)
        n += r.IfName[0] ? 1 : 0;
    if (n == 0)
        return 0;
    char **list = g_new0(char *, n + 1);
    int i = 0;
    for (const auto &r : all)
        if (r.IfName[0])
            list[i++] = g_strdup(r.IfName);
    *names = list;
    *count = n;
    return 0;
}

}  // namespace

extern "C" {

int api_getDeviceInfo(api_DeviceInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    return read_device(__func__, info);
}

int api_getDeviceMAC(char *mac, int size)
{
    API_ENTER();
    return device_text(__func__, mac, size, [](const ccif_DeviceInfo_t &d) -> const char * { return d.MAC; });
}

int api_getDeviceUpTime(uint32_t *uptime)
{
    API_ENTER();
    ccif_DeviceInfo_t dev{};
    if (!uptime || read_device(__func__, &dev) != 0)
        return -1;
    *uptime = dev.UpTime;
    return 0;
}

int api_getCPUOccupancyRate(uint32_t *rate)
{
    API_ENTER();
    ccif_DeviceInfo_t dev{};
    if (!rate || read_device(__func__, &dev) != 0)
        return -1;
    *rate = dev.CPUUsage;
    return 0;
}

int api_getRAMOccupancyRate(uint32_t *rate)
{
    API_ENTER();
    ccif_DeviceInfo_t dev{};
    if (!rate || read_device(__func__, &dev) != 0)
        return -1;
    *rate = dev.MEMUsage;
    return 0;
}

int api_getDeviceWiFi(int *wifi)
{
    API_ENTER();
    return capability(__func__, wifi, getDeviceWiFi);
}

int api_getDeviceWiFiVersion(int *version)
{
    API_ENTER();
    return capability(__func__, version, getDeviceWiFiVersion);
}

int api_getDeviceUSB(int *usb)
{
    API_ENTER();
    return capability(__func__, usb, getDeviceUSB);
}

int api_getDevType(int *type)
{
    API_ENTER();
    return capability(__func__, type, getDevType);
}

int api_getWorkMode(int *mode)
{
    API_ENTER();
    return capability(__func__, mode, getWorkMode);
}

int api_getDeviceManufacturerOUI(char *oui, int size)
{
    API_ENTER();
    return device_text(__func__, oui, size,
                       [](const ccif_DeviceInfo_t &d) -> const char * { return d.ManufacturerOUI; });
}

int api_getDeviceSerialNumber(char *sn, int size)
{
    API_ENTER();
    return device_text(__func__, sn, size, [](const ccif_DeviceInfo_t &d) -> const char * { return d.SerialNumber; });
}

int api_getDeviceDefaultSSID1Name(char *ssid, int size)
{
    API_ENTER();
    return method_text(__func__, ssid, size, mth_GetDeviceDefaultSSID1Name);
}

int api_getDeviceDefaultSSID1Password(char *password, int size)
{
    API_ENTER();
    return method_text(__func__, password, size, mth_GetDeviceDefaultSSID1Password);
}

int api_getDeviceLOID(char *loid, int size)
{
    API_ENTER();
    if (!text_out_ok(loid, size))
        return -1;
    ccif_PONInfo_t pon{};
    if (ccif_PONInfo_get(&pon) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get PONInfo failed.", __func__);
        return -1;
    }
    copy_truncated(loid, static_cast<size_t>(size), pon.LOID);
    return 0;
}

int api_getFTPRight(api_FTPRight_t **rights, int *count)
{
    API_ENTER();
    return user_get(__func__, kFtp, rights, count);
}

int api_releaseFTPRight(api_FTPRight_t *rights, int count)
{
    (void)count;
    return gwapi::release_block(rights);
}

int api_addFTPRight(const api_FTPRight_t *right)
{
    API_ENTER();
    return user_add(__func__, kFtp, right);
}

int api_setFTPRight(const api_FTPRight_t *right)
{
    API_ENTER();
    return user_set(__func__, kFtp, right);
}

int api_deleteFTPRight(const char *user_name)
{
    API_ENTER();
    return user_delete(__func__, kFtp, user_name);
}

int api_deleteAllFTPRight(void)
{
    API_ENTER();
    return user_delete_all(__func__, kFtp);
}

int api_getSambaAccount(api_SambaAccount_t **accounts, int *count)
{
    API_ENTER();
    return user_get(__func__, kSamba, accounts, count);
}

int api_releaseSambaAccount(api_SambaAccount_t *accounts, int count)
{
    (void)count;
    return gwapi::release_block(accounts);
}

int api_addSambaAccount(const api_SambaAccount_t *account)
{
    API_ENTER();
    return user_add(__func__, kSamba, account);
}

int api_setSambaAccount(const api_SambaAccount_t *account)
{
    API_ENTER();
    return user_set(__func__, kSamba, account);
}

int api_deleteSambaAccount(const char *user_name)
{
    API_ENTER();
    return user_delete(__func__, kSamba, user_name);
}

int api_deleteAllSambaAccount(void)
{
    API_ENTER();
    return user_delete_all(__func__, kSamba);
}

int api_getHTTPRight(api_HTTPRight_t *right)
{
    API_ENTER();
    if (!right)
        return -1;
    if (ccif_HTTPServer_get(right) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get HTTPServer failed.", __func__);
        return -1;
    }
    return 0;
}

int api_setHTTPRight(const api_HTTPRight_t *right)
{
    API_ENTER();
    if (!right)
        return -1;
    if (ccif_HTTPServer_set(right) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set HTTPServer failed.", __func__);
        return -1;
    }
    return 0;
}

int api_addHTTPRight(void)
{
    API_ENTER();
    return write_http(__func__, 1, nullptr);
}

int api_deleteHTTPRight(void)
{
    API_ENTER();
    return write_http(__func__, 0, nullptr);
}

int api_deleteAllHTTPRight(void)
{
    API_ENTER();
    return write_http(__func__, 0, "");
}

int api_setHTTPUserPassword(const char *password)
{
    API_ENTER();
    if (gwapi::empty(password)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Password can not be NULL.", __func__);
        return -1;
    }
    if (g_hgu_SetProperty(HGU_BUS_NAME, kHttpPath, kHttpIface, "Password", g_variant_new_string(password)) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set HTTPServer.Password failed.", __func__);
        return -1;
    }
    return 0;
}

int api_reset(void)
{
    API_ENTER();
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_Restore(&status, &errmsg);
    gw::GCharPtr msg(errmsg);
    if (rc != 0 || status != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Restore failed, %d,%d : %s", __func__, rc, status, msg ? msg.get() : "");
        return -1;
    }
    return 0;
}

int api_setLedSwitch(gboolean on)
{
    API_ENTER();
    ccif_LED_t led{};
    led.LEDStatus = on ? 1 : 0;
    if (ccif_LED_set(&led) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set LED.LEDStatus failed.", __func__);
        return -1;
    }
    return 0;
}

int api_getBridgeIfName(char *name, int size)
{
    API_ENTER();
    return device_text(__func__, name, size, [](const ccif_DeviceInfo_t &d) -> const char * { return d.IfName; });
}

int api_getWANIfName(char ***names, int *count)
{
    API_ENTER();
    return if_names(__func__, "WANConnectionInfo", ccif_WANConnectionInfo_get_objs, names, count);
}

int api_releaseWANIfName(char **names, int count)
{
    (void)count;
    if (!names)
        return -1;
    g_hgu_freeStrList(names);
    return 0;
}

int api_getLANIfName(char ***names, int *count)
{
    API_ENTER();
    return if_names(__func__, "EthernetConfig", ccif_EthernetConfig_get_objs, names, count);
}

int api_releaseLANIfName(char **names, int count)
{
    (void)count;
    if (!names)
        return -1;
    g_hgu_freeStrList(names);
    return 0;
}

}  // extern "C"
