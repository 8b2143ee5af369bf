// Owning handles for the C resources the framework uses. Declared once here so that no error path
// ever needs a manual free.
#ifndef GWBUS_RAII_HPP
#define GWBUS_RAII_HPP

#include <unistd.h>

#include <memory>
#include <utility>

#include <gio/gio.h>
#include <glib.h>

#include "gwbus/bus.h"

namespace gw {

template <typename T, void (*Free)(T *)> struct FreeWith {
    void operator()(T *p) const noexcept
    {
        if (p)
            Free(p);
    }
};

template <typename T> struct ObjectUnref {
    void operator()(T *p) const noexcept
    {
        if (p)
            g_object_unref(p);
    }
};
struct GFreeDeleter {
    void operator()(void *p) const noexcept { g_free(p); }
};
struct StrvDeleter {
    void operator()(char **p) const noexcept { g_strfreev(p); }
};

using VariantPtr = std::unique_ptr<GVariant, FreeWith<GVariant, g_variant_unref>>;
using VariantIterPtr = std::unique_ptr<GVariantIter, FreeWith<GVariantIter, g_variant_iter_free>>;
using VariantTypePtr = std::unique_ptr<GVariantType, FreeWith<GVariantType, g_variant_type_free>>;
using ErrorPtr = std::unique_ptr<GError, FreeWith<GError, g_error_free>>;
using MainLoopPtr = std::unique_ptr<GMainLoop, FreeWith<GMainLoop, g_main_loop_unref>>;
using MainContextPtr = std::unique_ptr<GMainContext, FreeWith<GMainContext, g_main_context_unref>>;
using NodeInfoPtr = std::unique_ptr<GDBusNodeInfo, FreeWith<GDBusNodeInfo, g_dbus_node_info_unref>>;
using ConnectionPtr = std::unique_ptr<GDBusConnection, ObjectUnref<GDBusConnection>>;
using MessagePtr = std::unique_ptr<GDBusMessage, ObjectUnref<GDBusMessage>>;
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;
using StrvPtr = std::unique_ptr<char *, StrvDeleter>;

// Takes ownership of a floating or full reference: a floating one is sunk first, so the handle
// always holds exactly one reference.
inline VariantPtr adopt_variant(GVariant *v) { return VariantPtr(v ? g_variant_take_ref(v) : nullptr); }

// Out-parameter adaptor for GError**: `g_foo(..., ErrorOut(err))`.
class ErrorOut {
public:
    explicit ErrorOut(ErrorPtr &owner) : owner_(owner) {}
    ~ErrorOut() { owner_.reset(raw_); }
    operator GError **() { return &raw_; }

private:
    ErrorPtr &owner_;
    GError *raw_ = nullptr;
};

inline const char *error_text(const ErrorPtr &e) { return e && e->message ? e->message : "unknown error"; }

// A file descriptor that closes itself.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd &&o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    UniqueFd &operator=(UniqueFd &&o) noexcept
    {
        if (this != &o)
            reset(std::exchange(o.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// One unit of bus work on this thread (a command, a request): after its first timed-out call the rest
// fail at once, so a service that does not answer costs one call timeout, not one per call.
struct BusCallScope {
    BusCallScope() { g_hgu_call_scope_begin(); }
    ~BusCallScope() { g_hgu_call_scope_end(); }
    BusCallScope(const BusCallScope &) = delete;
    BusCallScope &operator=(const BusCallScope &) = delete;
};

}  // namespace gw

#endif
