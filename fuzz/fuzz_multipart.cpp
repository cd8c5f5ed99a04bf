// The multipart parser on arbitrary bodies. Input: the CONTENT_TYPE text up to
// the first newline, then the body. Checks that the entry list is whole, that
// each file part's temporary file holds exactly its bytes, that field parts
// stay within their memory limits, that a failed parse leaves no temporary
// file of its own behind, and that freeing the list removes every temporary
// file.
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <set>
#include <string>
#include <sys/stat.h>

#include "frontend/cgi.h"
#include "fuzz/fuzz_support.h"

namespace {

std::set<std::string> temp_files()
{
    std::set<std::string> out;
    if (DIR *d = opendir(fuzz_host("/tmp").c_str())) {
        while (struct dirent *e = readdir(d))
            if (e->d_name[0] != '.') out.insert(std::string("/tmp/") + e->d_name);
        closedir(d);
    }
    return out;
}

void check_entries(size_t body_size)
{
    std::set<std::string> owned;
    size_t count = 0, in_memory = 0;
    for (cgiFormEntry *e = cgiFormEntryFirst; e; e = e->next) {
        if (++count > body_size + 1) fuzz_fail("more entries than body bytes");
        if (!e->attr || !e->value || !e->fileName || !e->contentType || !e->tfileName)
            fuzz_fail("entry with a null text");
        if (e->valueLength < 0) fuzz_fail("negative value length");
        if (*e->tfileName) {
            if (strncmp(e->tfileName, "/tmp/cgic", 9) != 0) fuzz_fail("temporary file outside /tmp", e->tfileName);
            struct stat st;
            if (stat(fuzz_host(e->tfileName).c_str(), &st) != 0) fuzz_fail("temporary file missing", e->tfileName);
            if (st.st_size != e->valueLength) fuzz_fail("temporary file size differs from the value length");
            if ((st.st_mode & 0777) != 0600) fuzz_fail("temporary file not 0600");
            if (*e->value) fuzz_fail("file part with a value");
            if (!*e->fileName) fuzz_fail("temporary file without a file name");
            owned.insert(e->tfileName);
        } else {
            if (e->value[e->valueLength] != '\0') fuzz_fail("field value not terminated at its length");
            if (e->valueLength > CGI_FIELD_PART_MAX) fuzz_fail("field part over its limit");
            in_memory += static_cast<size_t>(e->valueLength);
        }
    }
    if (in_memory > CGI_POST_MAX) fuzz_fail("field parts together over their limit");
    if (temp_files() != owned) fuzz_fail("temporary files differ from the entries' files");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    size_t nl = input.find('\n');
    FuzzRequest req;
    req.route = "/0002";
    req.content_type = nl == std::string::npos ? input : input.substr(0, nl);
    req.body = nl == std::string::npos ? std::string() : input.substr(nl + 1);
    FILE *in = fuzz_begin_request(req);

    int rc = cgiParseFormInput();
    if (rc != cgiParseSuccess && rc != cgiParseMemory && rc != cgiParseIO && rc != cgiParseTooLarge)
        fuzz_fail("unknown parse result");
    check_entries(req.body.size());
    char name[128];
    int frc = cgiFormFileName("file", name, sizeof name);
    if (frc == cgiFormSuccess && strlen(name) >= sizeof name) fuzz_fail("file name not bounded");
    cgiFreeResources();
    fuzz_end_request(in);
    if (!temp_files().empty()) fuzz_fail("temporary file left after freeing the form list");
    fuzz_check_after_run(fuzz_take_output(), false);
    return 0;
}
