// Replies of the system module's requests.
#include <cstring>

#include "sim.h"

namespace {

// 3504, log-in through a mailed link: the daemon checks the link's token.
// The simulator takes any link whose query holds a non-empty "token=" value
// (status 0) and refuses others (status 1).
std::string mail_login(const SimRequest &req)
{
    std::string query(req.payload.data(), strnlen(req.payload.data(), req.payload.size()));
    size_t p = query.find("token=");
    bool ok = p != std::string::npos && p + 6 < query.size() && query[p + 6] != '&';
    return qx_le32_bytes(ok ? 0 : 1);
}

// 3265, new password for the cameras on the PoE ports: done (status 0).
std::string poe_camera_password(const SimRequest &) { return qx_le32_bytes(0); }

// 4000, interface language (int32 language number): taken (status 0).
std::string language_set(const SimRequest &) { return qx_le32_bytes(0); }

} // namespace

SIM_REPLY(3504, mail_login);
SIM_REPLY(3265, poe_camera_password);
SIM_REPLY(4000, language_set);
