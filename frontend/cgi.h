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

// Intakes: each ends in one DispatchWebReq(route, request text).
int cgiDealGet();
int cgiDealPost();
int cgiDealUpload();

// The whole entry, called by main(): environment, method choice, intake,
// freeing of the form list. Returns main's status.
int cgi_main();
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

// Response headers used by the log-in handlers.
void cgiHeaderCookieSetString(const char *name, const char *value, int seconds, const char *path,
                              const char *domain);
void cgiHeaderLocation(const char *url);
