// The session check of the front end, run before a request is dispatched
// (modes and the session store: common/sessions.h; who needs what:
// frontend/route_access.h).
#pragma once
#include "frontend/cgi.h"

// CGI_ANSWERED when the request may be dispatched; CGI_NO_SESSION or
// CGI_NO_PERMISSION when it must be refused. `request` is the request text,
// or null where only the cookie counts (uploads, checked before the body is
// taken in). Public routes never touch the settings database.
CgiOutcome session_gate(const char *route, const char *request);
