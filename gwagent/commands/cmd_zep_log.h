/* The framework log upload of GET_ZEP_LOG, as seen from outside its handler. */
#ifndef GWAGENT_COMMANDS_CMD_ZEP_LOG_H
#define GWAGENT_COMMANDS_CMD_ZEP_LOG_H

#include <string>
#include <vector>

namespace gwagent {

// The log files an upload packs, as system paths (not yet under the run-time root), in upload order:
// the fixed files that exist, then the regular files of the log directories; at most 64.
std::vector<std::string> zep_log_files();
// Whether an upload is in progress (its answer not yet sent).
bool zep_log_uploading();
// Aborts an upload in progress and waits for its worker; no answer is sent.
void zep_log_cancel();

}  // namespace gwagent

#endif
