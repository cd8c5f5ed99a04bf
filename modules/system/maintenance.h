// Handlers of the maintenance option commands.
#pragma once

// ---- vb_htm.cpp ---------------------------------------------------------------------
// "/vb.htm": the query string "keyword=value&..." or a bare no-value keyword;
// each keyword runs its option of common/http_option.h.
int on_http_option_request(char *request);
