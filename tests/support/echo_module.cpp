// Test-only route list: every handler answers with what the front end handed
// it, so that intake and dispatch can be checked end to end.
#include <cstdio>
#include <cstring>

#include "common/web_utils.h"
#include "frontend/cgi.h"
#include "frontend/route_table.h"

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

const WebRes kEchoRoutes[] = {
    {"/0001", echo},        {"/vb.htm", echo},      {"/1010", echo_upload}, {"/1019", echo_upload},
    {"/oem", echo_upload},  {"/6082", echo_upload}, {"/2079", echo_upload}, {"/0002", echo_upload},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_SYSTEM, kEchoRoutes)
