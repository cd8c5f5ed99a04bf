// Multipart parse and upload intake as main() runs them. Input: the route
// code, the query string and CONTENT_TYPE, one line each, then the body. The
// routes of the upload groups are served by checking handlers: an ordinary
// upload must hand over a file that exists directly under /tmp, a kept upload
// its temporary file, a streamed upload the fixed "temp" text; nothing may be
// left in /tmp once the request has ended.
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "frontend/cgi.h"
#include "frontend/route_table.h"
#include "fuzz/fuzz_support.h"

namespace {

int g_dispatches = 0;

std::string path_part(const char *text)
{
    const char *amp = strstr(text, " & ");
    return amp ? std::string(text, static_cast<size_t>(amp - text)) : std::string(text);
}

// The content type is part of the input: a POST of another type reaches the
// same routes with its body as the request text, which says nothing about
// the upload intake.
bool via_upload() { return strcasecmp(cgiContentType, "multipart/form-data") == 0; }

int ordinary(char *text)
{
    g_dispatches++;
    if (!via_upload()) return 0;
    // "<stored path>" or "<stored path> & <param>"; the stored name may itself
    // hold " & ", so look for the file under every split.
    std::string t = text;
    if (t.compare(0, 5, "/tmp/") != 0) fuzz_fail("ordinary upload outside /tmp", t);
    for (size_t end = t.size();; end = t.rfind(" & ", end - 1)) {
        std::string path = t.substr(0, end);
        std::string name = path.substr(5);
        struct stat st;
        if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != ".." &&
            lstat(fuzz_host(path.c_str()).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            if (name.find("..") != std::string::npos) fuzz_fail("stored name holds \"..\"", name);
            for (unsigned char c : name)
                if (c >= 1 && c <= 31) fuzz_fail("stored name holds a control character");
            unlink(fuzz_host(path.c_str()).c_str());
            return 0;
        }
        if (end == 0 || t.rfind(" & ", end - 1) == std::string::npos) break;
    }
    fuzz_fail("ordinary upload names no stored file", t);
}

int kept(char *text)
{
    g_dispatches++;
    if (!via_upload()) return 0;
    std::string path = path_part(text);
    if (path.compare(0, 9, "/tmp/cgic") != 0) fuzz_fail("kept upload is not a temporary file", path);
    if (access(fuzz_host(path.c_str()).c_str(), F_OK) != 0) fuzz_fail("kept upload missing", path);
    return 0;
}

int streamed(char *text)
{
    g_dispatches++;
    if (!via_upload()) return 0;
    if (strncmp(text, "temp & ", 7) != 0) fuzz_fail("streamed upload text", text);
    return 0;
}

const WebRes kRoutes[] = {
    {"/0002", ordinary}, {"/6040", ordinary}, {"/1019", kept},     {"/oem", kept},
    {"/1010", streamed}, {"/6082", streamed}, {"/2079", streamed},
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_init();
    WebResRegister(kRoutes, static_cast<int>(sizeof kRoutes / sizeof kRoutes[0]));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    std::string lines[3];
    size_t pos = 0;
    for (std::string &line : lines) {
        size_t nl = input.find('\n', pos);
        if (nl == std::string::npos) nl = input.size();
        line = input.substr(pos, nl - pos);
        pos = nl < input.size() ? nl + 1 : nl;
    }
    FuzzRequest req;
    req.method = "POST";
    req.route = lines[0];
    req.query = lines[1];
    req.content_type = lines[2];
    req.body = input.substr(pos);
    g_dispatches = 0;
    FILE *in = fuzz_begin_request(req);
    cgi_handle_request();
    fuzz_end_request(in);
    if (g_dispatches > 1) fuzz_fail("more than one dispatch");
    if (DIR *d = opendir(fuzz_host("/tmp").c_str())) {
        std::string left;
        while (struct dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
                left = e->d_name;
        closedir(d);
        if (!left.empty()) {
            fuzz_clear_dir("/tmp");
            fuzz_fail("file left in /tmp after the request", left);
        }
    }
    fuzz_check_after_run(fuzz_take_output(), false);
    return 0;
}
