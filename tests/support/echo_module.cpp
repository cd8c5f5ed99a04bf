// Test-only route list: every handler answers with what the front end handed
// it, so that intake and dispatch can be checked end to end.
#include <cstdio>
#include <cstring>

#include <cstdlib>

#include "common/ipc.h"
#include "common/web_utils.h"
#include "frontend/cgi.h"
#include "frontend/route_table.h"
#include "frontend/upload_routes.h"

namespace {
int echo(char *req)
{
    printf("Content-type: text/plain\r\n\r\n");
    printf("route=%s\n", cgiPathInfo);
    printf("len=%zu\n", strlen(req));
    fwrite(req, 1, strlen(req), stdout);
    fflush(stdout);
    return 0;
}

// Lists the form entries and, for file parts, the bytes of their files.
int echo_upload(char *req)
{
    printf("Content-type: text/plain\r\n\r\n");
    printf("text=%s\n", req);
    for (cgiFormEntry *e = cgiFormEntryFirst; e; e = e->next)
        printf("entry name=%s file=%s temp=%s len=%d type=%s\n", e->attr, e->fileName, e->tfileName,
               e->valueLength, e->contentType);
    fflush(stdout);
    return 0;
}

// Daemon round trip: the request text starts with a request code; the whole
// text is sent as the payload and the reply's first int32 answered as
// {"status": n}, or the JSON error reply after the wait.
void echo_ipc_callback(int, const void *header, const void *payload)
{
    on_cgi_common_json_cb(static_cast<int>(ipc_reply_count(header, payload, 4)), payload);
}

int echo_ipc(char *req)
{
    cgi_request_ipc(echo_ipc_callback, atoi(req), static_cast<int>(strlen(req)), req, REPLY_JSON);
    return 0;
}

// Setter shape: answers "OK", then sends the operation log of
// "sub param object [mask]" (the masked form when a mask is given).
int echo_oplog(char *req)
{
    int sub = 0, param = 0, object = 0;
    unsigned long long mask = 0;
    int n = sscanf(req, "%d %d %d %llu", &sub, &param, &object, &mask);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    if (n == 4) cgi_send_oplog_mask(sub, param, object, mask);
    else cgi_send_oplog(sub, param, object);
    return 0;
}

constexpr RouteDecl kEchoRoutes[] = {
    {"/0003", NVRWEB_HANDLER(echo_ipc)},        {"/0004", NVRWEB_HANDLER(echo_oplog)},
    {"/0001", NVRWEB_HANDLER(echo)},            {"/vb.htm", NVRWEB_HANDLER(echo)},
    {"/1010", NVRWEB_HANDLER(echo_upload)},     {"/1019", NVRWEB_HANDLER(echo_upload)},
    {"/oem", NVRWEB_HANDLER(echo_upload)},      {"/6082", NVRWEB_HANDLER(echo_upload)},
    {"/2079", NVRWEB_HANDLER(echo_upload)},     {"/0002", NVRWEB_HANDLER(echo_upload)},
};
const UploadRoute kEchoUploads[] = {{"/0002", UPLOAD_STORED}};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kEchoRoutes)
NVRWEB_MODULE_UPLOADS(kEchoUploads)
