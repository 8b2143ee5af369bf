// FTTO topology nodes as JSON: the FTTO commands and the device information report both carry them.
#include "core/ftto_json.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/holders.hpp"

namespace gwagent {

const char *const kFttoMasterGateWay[] = {"UPLink", "UPLinkType", "LOID", "SN",   "MAC",
                                          "WANIP",  "Model",      "Name", nullptr};
const char *const kFttoMasterSlave[] = {"UPLink", "UPLinkType", "Port",  "Distance", "LOID", "SN",
                                        "MAC",    "WANIP",      "Model", "Name",     nullptr};
const char *const kFttoDevNode[] = {"UPLink", "UPLinkType", "Distance", "LOID", "WANIP", "Model", nullptr};
const char *const kFttoReportSlave[] = {"UPLink", "UPLinkType", "LOID", "SN", "MAC", "WANIP", "Name", nullptr};

namespace {

struct NodeField {
    const char *name;
    bool number;
    size_t offset;
};

// clang-format off
#define FTTO_NUM(f) {#f, true, offsetof(api_FTTONode_t, f)}
#define FTTO_TEXT(f) {#f, false, offsetof(api_FTTONode_t, f)}
// clang-format on
constexpr NodeField kNodeFields[] = {
    FTTO_NUM(UPLink), FTTO_NUM(UPLinkType), FTTO_NUM(Port),   FTTO_NUM(Distance), FTTO_TEXT(LOID),
    FTTO_TEXT(SN),    FTTO_TEXT(MAC),       FTTO_TEXT(WANIP), FTTO_TEXT(Model),   FTTO_TEXT(Name),
};
#undef FTTO_NUM
#undef FTTO_TEXT

json_t *field_value(const api_FTTONode_t &node, const char *name)
{
    const auto *base = reinterpret_cast<const char *>(&node);
    for (const NodeField &f : kNodeFields) {
        if (std::strcmp(f.name, name) != 0)
            continue;
        if (f.number) {
            uint32_t v;
            std::memcpy(&v, base + f.offset, sizeof v);
            return json_integer(v);
        }
        return json_string(base + f.offset);
    }
    return nullptr;
}

}  // namespace

json_t *ftto_node_json(const api_FTTONode_t &node, const char *const *fields)
{
    JsonPtr obj(json_object());
    if (!obj)
        return nullptr;
    for (; *fields; ++fields)
        if (json_object_set_new(obj.get(), *fields, field_value(node, *fields)) != 0)
            return nullptr;
    return obj.release();
}

json_t *ftto_slaves_json(const api_FTTONTI_t &nti, const char *const *fields)
{
    JsonPtr array(json_array());
    if (!array)
        return nullptr;
    for (uint32_t i = 0; i < nti.SlaveNum && nti.SlaveInfo; ++i)
        if (json_array_append_new(array.get(), ftto_node_json(nti.SlaveInfo[i], fields)) != 0)
            return nullptr;
    return array.release();
}

}  // namespace gwagent
