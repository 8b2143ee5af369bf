// The table of every object kind, gathered from the area units.
#include <cstring>
#include <vector>

#include "object_engine.hpp"

namespace gw::objects {

extern const KindTable kinds_info;
extern const KindTable kinds_config;
extern const KindTable kinds_network;
extern const KindTable kinds_storage;
extern const KindTable kinds_transfer;
extern const KindTable kinds_orvane;
extern const KindTable kinds_firewall;
extern const KindTable kinds_ftto;
extern const KindTable kinds_vpn;

namespace {

struct Registry {
    std::vector<const Kind *> rows;
    Registry()
    {
        for (const KindTable *t : {&kinds_info, &kinds_config, &kinds_network, &kinds_storage, &kinds_transfer,
                                   &kinds_orvane, &kinds_firewall, &kinds_ftto, &kinds_vpn})
            rows.insert(rows.end(), t->rows, t->rows + t->count);
    }
};

const Registry &registry()
{
    static const Registry r;
    return r;
}

}  // namespace

const Kind *const *all_kinds(size_t *count) noexcept
{
    const Registry &r = registry();
    if (count)
        *count = r.rows.size();
    return r.rows.data();
}

const Kind *find_kind(const char *name) noexcept
{
    if (!name)
        return nullptr;
    for (const Kind *k : registry().rows)
        if (std::strcmp(k->name, name) == 0)
            return k;
    return nullptr;
}

}  // namespace gw::objects
