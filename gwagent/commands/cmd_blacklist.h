/* The access-control blacklist, read whole and released with its holder. */
#ifndef GWAGENT_COMMANDS_CMD_BLACKLIST_H
#define GWAGENT_COMMANDS_CMD_BLACKLIST_H

#include <strings.h>

#include <glib.h>

#include "gwbus/objects.h"

namespace gwagent {

struct BlackList {
    ccif_AccessControlBlackList_t *items = nullptr;
    int count = 0;
    BlackList() = default;
    BlackList(const BlackList &) = delete;
    BlackList &operator=(const BlackList &) = delete;
    ~BlackList() { g_free(items); }
    bool read() { return ccif_AccessControlBlackList_get_objs(&items, &count) == 0; }
    const ccif_AccessControlBlackList_t *begin() const { return items; }
    const ccif_AccessControlBlackList_t *end() const { return items + count; }
    const ccif_AccessControlBlackList_t *find(const char *mac) const
    {
        for (const auto &b : *this)
            if (strcasecmp(b.MAC, mac) == 0)
                return &b;
        return nullptr;
    }
};

}  // namespace gwagent

#endif
