// Building blocks of the FTTO topology shared by the master and the device views.
#ifndef GWBUS_FTTO_COMM_API_HPP
#define GWBUS_FTTO_COMM_API_HPP

#include "gwbus/api.h"

namespace gwapi {

// The gateway itself: type, work mode and its own node. 0, or -1 when DeviceInfo or NetworkInfo
// cannot be read (a missing PON only leaves the LOID empty).
int ftto_self(const char *func, api_FTTONTI_t *nti);

// The slaves the slave manager lists, named after the LAN host of the same MAC. 0, or -1 when the
// call fails or is refused; the record is left untouched then.
int ftto_slaves(const char *func, api_FTTONTI_t *nti);

void ftto_release(api_FTTONTI_t *nti);

}  // namespace gwapi

#endif
