/* FTTO topology as JSON, shared by the FTTO commands and the reports that carry the topology. */
#ifndef GWAGENT_CORE_FTTO_JSON_H
#define GWAGENT_CORE_FTTO_JSON_H

#include <jansson.h>

#include "gwbus/api.h"

namespace gwagent {

// Member lists, each a null-terminated list of node member names in answer order.
extern const char *const kFttoMasterGateWay[];  // master's own node
extern const char *const kFttoMasterSlave[];    // one slave below a master
extern const char *const kFttoDevNode[];        // device view, gateway and slaves alike
extern const char *const kFttoReportSlave[];    // slaves in the device information report

// New object holding the node's members of `fields`; NULL on failure.
json_t *ftto_node_json(const api_FTTONode_t &node, const char *const *fields);

// New array with one object per slave; NULL on failure.
json_t *ftto_slaves_json(const api_FTTONTI_t &nti, const char *const *fields);

}  // namespace gwagent

#endif
