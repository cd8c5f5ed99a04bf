// End-to-end harness: runs a built program (nvrweb.cgi by default) as a child
// process with a given environment and standard input, inside a fresh
// temporary device root, and hands back its output, exit status and files.
//
// NVRWEB_TEST_BIN_DIR overrides the directory of the programs under test and
// NVRWEB_TEST_WRAPPER (e.g. "qemu-arm -L /", see scripts/arm.sh) runs them
// through an emulator, so the same tests check a cross build.
#pragma once
#include <map>
#include <string>
#include <vector>

struct ProcResult {
    int status = -1;      // exit status, or 128+signal
    std::string out;      // standard output
    std::string err;      // standard error
    // Body of a CGI answer: what follows the first "\r\n\r\n" (or all of out).
    std::string body() const;
    // What the handler wrote: "" when it wrote nothing and the front end
    // answered with its "no answer" status (400).
    std::string answer() const;
    // Header block of a CGI answer ("" when none).
    std::string headers() const;
};

class DeviceRoot {
public:
    DeviceRoot();
    ~DeviceRoot();
    DeviceRoot(const DeviceRoot &) = delete;
    DeviceRoot &operator=(const DeviceRoot &) = delete;

    const std::string &path() const { return root_; }
    // Host path of a device path ("/tmp/x" -> "<root>/tmp/x").
    std::string host(const std::string &device_path) const { return root_ + device_path; }
    bool exists(const std::string &device_path) const;
    std::string read(const std::string &device_path) const;
    void write(const std::string &device_path, const std::string &data) const;
    // Device paths of the entries of a device directory, sorted.
    std::vector<std::string> list(const std::string &device_dir) const;

private:
    std::string root_;
};

// Path of a built program under test ("nvrweb.cgi", "nvrweb-sim", ...).
std::string program_path(const std::string &name);
// Command prefix for emulated runs ("" natively).
std::vector<std::string> program_wrapper();

// Runs argv with exactly the environment `env` (sanitizer and emulator
// settings and PATH pass through; NVRWEB_ROOT only when env sets it) and
// `input` on standard input.
ProcResult run_program(const std::vector<std::string> &argv,
                       const std::map<std::string, std::string> &env, const std::string &input,
                       int timeout_seconds = 60);

struct CgiRequest {
    std::string method = "GET";
    std::string route;                 // PATH_INFO
    std::string query;                 // QUERY_STRING
    std::string content_type;          // CONTENT_TYPE
    std::string body;                  // standard input
    bool set_content_length = true;    // CONTENT_LENGTH = body size
    std::map<std::string, std::string> env; // extra or overriding variables
};

// Runs one CGI request against `program` (default nvrweb.cgi) in `root`.
ProcResult run_cgi(const DeviceRoot &root, const CgiRequest &req,
                   const std::string &program = "nvrweb.cgi");

// Convenience: POST a JSON body to a route.
ProcResult post_json(const DeviceRoot &root, const std::string &route, const std::string &json,
                     const std::map<std::string, std::string> &env = {});
