// Replies of the system module's daemon requests.
#include "sim.h"

namespace {
// Acknowledged with status 0.
std::string status_ok(const SimRequest &) { return qx_le32_bytes(0); }
} // namespace

SIM_REPLY(4000, status_ok); // interface language (int32 language number)
