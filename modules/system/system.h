// Request handlers of the system module (system, users and maintenance),
// listed in modules/system/routes.cpp.
#pragma once

// ---- Maintenance option commands (vb_htm.cpp) --------------------------------
// "/vb.htm": the query string "keyword=value&..." or a bare no-value keyword.
int on_http_option_request(char *request);
