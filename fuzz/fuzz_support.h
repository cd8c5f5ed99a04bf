// Shared pieces of the in-process fuzz targets: a private device root, the
// CGI variables set from a request, the reply capture that counts header
// blocks, and the checks that end a run with a finding (abort()).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Creates the device root (once per process), sets NVRWEB_ROOT, a small
// NVRWEB_TIME_SCALE, PATH with recording stand-ins first, and sends standard
// output into a capture. Idempotent.
void fuzz_init();

// Host path of a device path under the fuzz root.
std::string fuzz_host(const char *device_path);

struct FuzzRequest {
    std::string method = "POST";
    std::string route;
    std::string query;
    std::string content_type;
    std::string cookie;
    std::string body;
    long content_length = -1; // -1: the body's size
};

// Fills the CGI variables as cgi_read_environment() would for `req`, with
// cgiIn reading the body from memory. Returns the stream; the caller closes
// it with fuzz_end_request().
FILE *fuzz_begin_request(const FuzzRequest &req);
void fuzz_end_request(FILE *in);

// Everything written to standard output since the last call (the reply of a
// run), emptied afterwards.
std::string fuzz_take_output();

// Number of CGI header blocks ("Content-type: ...\r\n\r\n") in a reply.
int count_reply_headers(const std::string &out);

// A finding: prints the reason and aborts so that libFuzzer keeps the input.
[[noreturn]] void fuzz_fail(const char *what, const std::string &detail = "");

// After a run: at most one reply, no injected command ran, no file left in
// or outside the device root where it should not be. `may_echo` skips the
// reply count when the request itself carried a header-like text.
void fuzz_check_after_run(const std::string &reply, bool may_echo);

// Removes every file under the device directory (not the directory).
void fuzz_clear_dir(const char *device_dir);

// A settings database with the factory defaults and the user admin, made by
// the settings tool of this build (when it is there).
void fuzz_init_settings();
// Every few thousand calls: the settings database passes its integrity check.
void fuzz_check_settings_now_and_then();
