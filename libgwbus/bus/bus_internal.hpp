// Helpers shared by the bus core and the method layer; not part of the library's C interface.
#ifndef GWBUS_BUS_INTERNAL_HPP
#define GWBUS_BUS_INTERNAL_HPP

#include <string>

#include "gwbus/raii.hpp"

namespace gw::bus {

// The process's shared system-bus connection (a new reference), or null after logging why.
ConnectionPtr system_bus();

// GLib's text form with types, or "NULL".
std::string print_variant(GVariant *v);

// True when the names are acceptable to GDBus; logs the first bad one. Passing malformed names on
// would trip GLib's own precondition checks instead of giving a defined failure.
bool names_valid(const char *bus_name, const char *object_path, const char *interface_name, const char *member);

constexpr int kWrongReplyType = -2;

// One synchronous call; parameters (a tuple or null) is consumed. Bus errors are logged here. With
// reply_type set, a reply of another type returns kWrongReplyType and its type text in *got_type, so
// that the caller logs it in its own words. On success *reply (if given) receives the reply tuple.
int call(const char *bus_name, const char *object_path, const char *interface_name, const char *method,
         GVariant *parameters, const GVariantType *reply_type, VariantPtr *reply, int timeout_ms,
         std::string *got_type = nullptr);

}  // namespace gw::bus

#endif
