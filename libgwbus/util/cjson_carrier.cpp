// Plug-ins reach cJSON through libgwbus alone: this reference keeps libcjson among the library's
// dependencies even when the linker drops unused ones.
#include "gwbus/cjson.h"

namespace {
[[gnu::used]] void *const kCarriedCjson[] = {reinterpret_cast<void *>(&cJSON_Parse)};
}
