#include "frontend/session_gate.h"

#include <ctime>

#include "common/sessions.h"
#include "common/web_utils.h"
#include "frontend/route_access.h"
#include "platform/qx_db.h"

CgiOutcome session_gate(const char *route, const char *request)
{
    const RouteAccess access = route_access(route);
    if (access == ROUTE_PUBLIC) return CGI_ANSWERED;

    char ids[2][SESSION_ID_DIGITS + 1];
    const int count = session_request_ids(request, ids);
    const char *const candidates[2] = {ids[0], ids[1]};
    const int64_t now = static_cast<int64_t>(time(nullptr));
    SessionLookup s;
    session_lookup(QXDB_PATH, candidates, count, now, &s);
    if (s.mode == SESSION_CHECK_OFF) return CGI_ANSWERED;
    if (s.found && s.stale) session_touch(QXDB_PATH, s.session.id, now);

    CgiOutcome verdict = CGI_ANSWERED;
    if (!s.found) verdict = CGI_NO_SESSION;
    else if (access == ROUTE_ADMIN && s.level != 0) verdict = CGI_NO_PERMISSION;
    if (verdict == CGI_ANSWERED || s.mode == SESSION_CHECK_ENFORCE) return verdict;
    cgi_log("dispatchreq", __LINE__, __func__, "session check (log only): %s from %s: %s", route,
            cgi_request_remote_addr(), verdict == CGI_NO_SESSION ? "no session" : "not permitted");
    return CGI_ANSWERED;
}
