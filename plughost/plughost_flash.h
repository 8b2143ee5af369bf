// The host's own watch over plug-in storage: the periodic quota check against maxFlashSize with its
// recheck, and the flash write monitors counting writes in each plug-in's data directory against the
// FlashThreshold and FlashDuration properties.
#ifndef PLUGHOST_FLASH_H
#define PLUGHOST_FLASH_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "plughost_registry.h"

namespace plughost {

constexpr unsigned kStorageCheckSeconds = 600;
constexpr unsigned kStorageRecheckSeconds = 180;

// Bytes a directory tree occupies on disk (blocks, each inode once, links not followed), in whole KiB
// as du counts them; 0 when it cannot be read.
uint64_t used_size(const std::string &path);

// The used size of a plug-in (its container path under the run-time root).
using SizeProbe = std::function<uint64_t(const PluginRecord &)>;
uint64_t plugin_used_size(const PluginRecord &rec);

struct StorageCheckResult {
    std::vector<std::string> stopped;
    std::vector<std::string> rechecks;  // armed for these plug-ins
};
// One pass of the periodic check over the monitored plug-ins: over the quota stops the plug-in, over
// seven tenths of it arms a recheck (`arm` is given the name; by default a one-shot main-loop timer).
using RecheckArmer = std::function<unsigned(const std::string &name)>;
StorageCheckResult storage_check(Registry &reg, const SizeProbe &probe = plugin_used_size,
                                 const RecheckArmer &arm = {});
// The recheck of one plug-in: stops it when it uses at least its quota. false when the plug-in is gone
// (removed since the recheck was armed) or was not stopped.
bool storage_recheck(const std::string &name, Registry &reg, const SizeProbe &probe = plugin_used_size);

// Starts the write monitor of every plug-in that has none yet (after a write of the flash properties
// leaves either non-zero). Returns how many it started.
int start_flash_monitors(Registry &reg);
// Monitor threads still running (they end when their record ends).
int flash_monitors_running();

}  // namespace plughost

#endif
