// Host users of the plug-ins: the user-id pool, the users and groups made for each plug-in in the
// run-time root's user database, and the programs that make them, always run by argument vector.
#ifndef PLUGHOST_USERS_H
#define PLUGHOST_USERS_H

#include <sys/types.h>

#include <bitset>
#include <mutex>
#include <string>
#include <vector>

#include "plughost_registry.h"

namespace plughost {

// Runs argv[0] (looked up in PATH, then /usr/sbin and /sbin) with no shell. Returns its exit status,
// -1 when it could not be run or was killed; its standard error goes to *err when given.
int run_program(const std::vector<std::string> &argv, std::string *err = nullptr);

// Ids 0-1023; 0-199 are never handed out. Handing out goes on after the last id given, wrapping from
// 1023 to 200.
class UidPool {
public:
    static constexpr int kSize = 1024;
    static constexpr int kFirst = 200;

    // All free, nothing handed out yet.
    void reset();
    // reset, then 0-199 and every id of the run-time root's "/etc/passwd" are used.
    void load();
    // The next free id, marked used; -1 when every id is used.
    int take();
    void mark(int uid);
    void release(int uid);
    bool used(int uid) const;

private:
    mutable std::mutex mu_;
    std::bitset<kSize> used_;
    int last_ = 0;
};

UidPool &uid_pool();

// Gives the plug-in its host user: uid 0 for a root plug-in, otherwise a pool id with a group and a
// user of the plug-in's name in the run-time root's user database. Makes "<container path>/data".
// Returns the uid (also stored in the record), -1 on failure (the id stays used).
int plughost_alloc_user(PluginRecord &rec);
// Deletes the user of a uid other than 0 and frees its id.
void plughost_free_user(const std::string &name, uid_t uid);
// Makes the container path and the plug-in's UCI file (when a regular file) the user's, and the
// container path group-writable with set-group-id.
int plughost_hand_to_user(const std::string &name, const std::string &container_path, uid_t uid);

}  // namespace plughost

#endif
