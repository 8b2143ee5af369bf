// The cJSON interface, exported by libgwbus so a plug-in links the library alone. The system ships
// libcjson only as a shared object, whose symbols a shared library cannot re-export by linking it; each
// public function is therefore defined here and forwards to libcjson, opened privately (RTLD_LOCAL) so
// that looking its functions up can never find these forwarders instead.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "gwbus/cjson.h"

namespace {

struct CjsonTable {
#define GW_CJSON_FN(ret, name, params, args) decltype(&::name) name = nullptr;
#include "cjson_forward.inc"
#undef GW_CJSON_FN
};

[[noreturn]] void missing(const char *what, const char *detail)
{
    // No logging here: the logger may itself use these functions.
    std::fprintf(stderr, "libgwbus: cJSON unavailable: %s: %s\n", what, detail ? detail : "");
    std::abort();
}

const CjsonTable &cjson()
{
    static const CjsonTable table = [] {
        CjsonTable t;
        void *lib = dlopen(GW_CJSON_SONAME, RTLD_NOW | RTLD_LOCAL);  // kept for the process's life
        if (!lib)
            missing(GW_CJSON_SONAME, dlerror());
#define GW_CJSON_FN(ret, name, params, args)                                                                           \
    t.name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name));                                                   \
    if (!t.name)                                                                                                       \
        missing(#name, dlerror());
#include "cjson_forward.inc"
#undef GW_CJSON_FN
        return t;
    }();
    return table;
}

}  // namespace

#define GW_CJSON_FN(ret, name, params, args)                                                                           \
    extern "C" [[gnu::visibility("default")]] ret name params { return cjson().name args; }
#include "cjson_forward.inc"
#undef GW_CJSON_FN
