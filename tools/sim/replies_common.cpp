// Replies of the shared services: the operation-log records are
// acknowledged with status 0.
#include "sim.h"

namespace {
std::string status_ok(const SimRequest &) { return qx_le32_bytes(0); }
} // namespace

SIM_REPLY(3485, status_ok); // operation log
SIM_REPLY(3509, status_ok); // operation log with channel mask
