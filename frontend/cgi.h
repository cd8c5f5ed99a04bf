// CGI variables, request intake and the form entry list of multipart bodies.
#pragma once
#include <cstddef>
#include <cstdio>

extern char *cgiServerSoftware;
extern char *cgiServerName;
extern char *cgiGatewayInterface;
extern char *cgiServerProtocol;
extern char *cgiServerPort;
extern char *cgiRequestMethod;
extern char *cgiPathInfo;
extern char *cgiPathTranslated;
extern char *cgiScriptName;
extern char *cgiQueryString;
extern char *cgiRemoteHost;
extern char *cgiRemoteAddr;
extern char *cgiAuthType;
extern char *cgiRemoteUser;
extern char *cgiRemoteIdent;
extern char *cgiServerAddr;
extern char *cgiAccept;
extern char *cgiUserAgent;
extern char *cgiReferrer;
extern char *cgiCookie;
extern char *cgiContentType;
extern char cgiContentTypeData[1024];
extern char *cgiMultipartBoundary;
extern int cgiContentLength;
extern FILE *cgiIn;
extern FILE *cgiOut;

// Fills the variables above from the environment.
void cgi_read_environment();

// Intakes: each ends in one DispatchWebReq(route, request text) once the
// session check (frontend/session_gate.h) lets the request through; uploads
// are checked by cgi_main() before their body is parsed.
int cgiDealGet();
int cgiDealPost();
int cgiDealUpload();

// The whole entry, called by main(): environment, method choice, intake,
// freeing of the form list. A request that nothing answered gets an HTTP
// status with a one-line text body (see CgiOutcome). Returns main's status.
int cgi_main();

// What the intake made of the request.
enum CgiOutcome {
    CGI_ANSWERED,   // a handler ran (400 when it wrote nothing)
    CGI_NO_ROUTE,   // 404: empty or unregistered route code
    CGI_BAD_METHOD, // 405: neither GET nor POST (HEAD never runs a GET handler)
    CGI_BAD_TYPE,   // 415: POST with an unusable content type
    CGI_NO_LENGTH,  // 411: POST body with a transfer encoding and no length
    CGI_TOO_LARGE,  // 413: POST body over the intake's limit
    CGI_BAD_BODY,   // 400: multipart body that could not be parsed
    CGI_NO_SESSION,    // 403 {"status":"NO SESSION"}: the route needs a valid session
    CGI_NO_PERMISSION, // 403 {"status":"NO PERMISSION"}: the route needs an administrator
};
CgiOutcome cgi_request_outcome();
// cgi_main() without reading the environment: the CGI variables, cgiIn and
// cgiOut are taken as they stand (in-process drivers such as the fuzz targets
// fill them first, e.g. with cgi_read_environment()).
int cgi_handle_request();

// ---- Form entries -------------------------------------------------------------
struct cgiFormEntry {
    char *attr;            // the part's "name"
    char *value;           // content of a field part, "" for a file part
    int valueLength;       // number of content bytes
    char *fileName;        // "filename" as sent by the client
    char *contentType;     // the part's Content-Type
    char *tfileName;       // device path of the temporary file, "" if none
    cgiFormEntry *next;
};
extern cgiFormEntry *cgiFormEntryFirst;

enum {
    cgiParseSuccess = 0,
    cgiParseMemory = 1,
    cgiParseIO = 2,
    cgiParseTooLarge = 3, // field parts over their limits below
};
// Field parts (no file name) are held in memory: each at most
// CGI_FIELD_PART_MAX bytes, all of them together at most CGI_POST_MAX, the
// longest body the POST intake takes. File parts go to temporary files.
enum { CGI_FIELD_PART_MAX = 64 * 1024, CGI_POST_MAX = 30719 };
enum {
    cgiFormSuccess = 0,
    cgiFormTruncated = 1,
    cgiFormNotFound = 4,
    cgiFormNoFileName = 8,
};

// Parses the multipart body on cgiIn (at most cgiContentLength bytes). A
// field part over its limit ends the parse at once with cgiParseTooLarge.
int cgiParseFormInput();
int cgiFormFileName(const char *name, char *out, int size);
cgiFormEntry *cgiFormEntryFind(const char *name);
void cgiFreeResources();

// Response headers used by the log-in handlers. A redirect starts with
// cgiHeaderStatus("302 Found"), then its cookies, then the Location, which
// ends the header block. The cookie's domain attribute is written only for
// a host name or IPv4 address (letters, digits, '-', '.').
void cgiHeaderStatus(const char *status);
void cgiHeaderCookieSetString(const char *name, const char *value, int seconds, const char *path,
                              const char *domain);
void cgiHeaderLocation(const char *url);
