#include "tests/support/harness.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <fstream>
#include <algorithm>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

std::string ProcResult::body() const
{
    size_t p = out.find("\r\n\r\n");
    return p == std::string::npos ? out : out.substr(p + 4);
}

const char kNoAnswerStatus[] = "Status: 400 Bad Request\r\nContent-type: text/plain\r\n\r\nno answer to this request\n";

std::string ProcResult::answer() const { return out == kNoAnswerStatus ? std::string() : out; }

std::string ProcResult::headers() const
{
    size_t p = out.find("\r\n\r\n");
    return p == std::string::npos ? std::string() : out.substr(0, p + 2);
}

namespace {
void mkdirs(const std::string &path)
{
    std::string cur;
    std::stringstream ss(path);
    std::string part;
    while (std::getline(ss, part, '/')) {
        if (part.empty()) continue;
        cur += "/" + part;
        mkdir(cur.c_str(), 0755);
    }
}

void remove_tree(const std::string &path)
{
    DIR *d = opendir(path.c_str());
    if (d) {
        while (struct dirent *e = readdir(d)) {
            if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
            std::string p = path + "/" + e->d_name;
            struct stat st;
            if (lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) remove_tree(p);
            else unlink(p.c_str());
        }
        closedir(d);
    }
    rmdir(path.c_str());
}
} // namespace

DeviceRoot::DeviceRoot()
{
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/nvrweb-root-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) abort();
    root_ = buf.data();
    for (const char *d : {"/tmp", "/mnt/nand/app", "/var/run", "/opt/app/www"}) mkdirs(root_ + d);
}

DeviceRoot::~DeviceRoot()
{
    if (!getenv("NVRWEB_KEEP_ROOT")) remove_tree(root_);
}

bool DeviceRoot::exists(const std::string &device_path) const
{
    return access(host(device_path).c_str(), F_OK) == 0;
}

std::string DeviceRoot::read(const std::string &device_path) const
{
    std::ifstream f(host(device_path), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void DeviceRoot::write(const std::string &device_path, const std::string &data) const
{
    std::string h = host(device_path);
    mkdirs(h.substr(0, h.rfind('/')));
    std::ofstream f(h, std::ios::binary | std::ios::trunc);
    f << data;
}

std::vector<std::string> DeviceRoot::list(const std::string &device_dir) const
{
    std::vector<std::string> out;
    DIR *d = opendir(host(device_dir).c_str());
    if (!d) return out;
    while (struct dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
        out.push_back(device_dir + "/" + e->d_name);
    }
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

std::string program_path(const std::string &name)
{
    const char *dir = getenv("NVRWEB_TEST_BIN_DIR");
    return std::string(dir && *dir ? dir : NVRWEB_BUILD_DIR) + "/" + name;
}

std::vector<std::string> program_wrapper()
{
    std::vector<std::string> out;
    const char *w = getenv("NVRWEB_TEST_WRAPPER");
    if (!w) return out;
    std::stringstream ss(w);
    std::string part;
    while (ss >> part) out.push_back(part);
    return out;
}

ProcResult run_program(const std::vector<std::string> &argv,
                       const std::map<std::string, std::string> &env, const std::string &input,
                       int timeout_seconds)
{
    ProcResult res;
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) || pipe2(out_pipe, O_CLOEXEC) || pipe2(err_pipe, O_CLOEXEC))
        return res;
    std::vector<std::string> envs;
    for (const auto &kv : env) envs.push_back(kv.first + "=" + kv.second);
    // Sanitizer and emulator settings pass through.
    for (const char *keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "QEMU_LD_PREFIX", "PATH"})
        if (getenv(keep) && !env.count(keep)) envs.push_back(std::string(keep) + "=" + getenv(keep));
    std::vector<char *> cargv, cenv;
    for (auto &a : argv) cargv.push_back(const_cast<char *>(a.c_str()));
    cargv.push_back(nullptr);
    for (auto &e : envs) cenv.push_back(const_cast<char *>(e.c_str()));
    cenv.push_back(nullptr);

    pid_t pid = fork();
    if (pid == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        // A bare wrapper name ("qemu-arm") is looked up in PATH.
        execvpe(cargv[0], cargv.data(), cenv.data());
        dprintf(2, "cannot run %s: %s\n", cargv[0], strerror(errno));
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    signal(SIGPIPE, SIG_IGN);

    size_t written = 0;
    int in_fd = in_pipe[1];
    if (input.empty()) {
        close(in_fd);
        in_fd = -1;
    } else {
        // A child that stops reading its input must not stop us reading its
        // output: never block on the input pipe.
        fcntl(in_fd, F_SETFL, fcntl(in_fd, F_GETFL) | O_NONBLOCK);
    }
    bool out_open = true, err_open = true;
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (out_open || err_open) {
        struct pollfd fds[3];
        int n = 0;
        int idx_out = -1, idx_err = -1, idx_in = -1;
        if (out_open) { fds[n] = {out_pipe[0], POLLIN, 0}; idx_out = n++; }
        if (err_open) { fds[n] = {err_pipe[0], POLLIN, 0}; idx_err = n++; }
        if (in_fd >= 0) { fds[n] = {in_fd, POLLOUT, 0}; idx_in = n++; }
        int r = poll(fds, n, 200);
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec - start.tv_sec > timeout_seconds) {
            kill(pid, SIGKILL);
            break;
        }
        if (r <= 0) continue;
        char buf[65536];
        if (idx_out >= 0 && fds[idx_out].revents) {
            ssize_t k = read(out_pipe[0], buf, sizeof buf);
            if (k > 0) res.out.append(buf, static_cast<size_t>(k));
            else out_open = false;
        }
        if (idx_err >= 0 && fds[idx_err].revents) {
            ssize_t k = read(err_pipe[0], buf, sizeof buf);
            if (k > 0) res.err.append(buf, static_cast<size_t>(k));
            else err_open = false;
        }
        if (idx_in >= 0 && fds[idx_in].revents) {
            ssize_t k = write(in_fd, input.data() + written, std::min<size_t>(65536, input.size() - written));
            if (k > 0) written += static_cast<size_t>(k);
            const bool again = k < 0 && (errno == EAGAIN || errno == EINTR);
            if ((k <= 0 && !again) || written == input.size()) {
                close(in_fd);
                in_fd = -1;
            }
        }
    }
    if (in_fd >= 0) close(in_fd);
    close(out_pipe[0]);
    close(err_pipe[0]);
    int st = 0;
    while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {}
    res.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return res;
}

ProcResult run_cgi(const DeviceRoot &root, const CgiRequest &req, const std::string &program)
{
    std::map<std::string, std::string> env;
    env["NVRWEB_ROOT"] = root.path();
    env["GATEWAY_INTERFACE"] = "CGI/1.1";
    env["REQUEST_METHOD"] = req.method;
    env["PATH_INFO"] = req.route;
    env["QUERY_STRING"] = req.query;
    env["REMOTE_ADDR"] = "192.168.1.20";
    if (!req.content_type.empty()) env["CONTENT_TYPE"] = req.content_type;
    if (req.set_content_length) env["CONTENT_LENGTH"] = std::to_string(req.body.size());
    for (const auto &kv : req.env) env[kv.first] = kv.second;
    std::vector<std::string> argv = program_wrapper();
    argv.push_back(program_path(program));
    return run_program(argv, env, req.body);
}

ProcResult post_json(const DeviceRoot &root, const std::string &route, const std::string &json,
                     const std::map<std::string, std::string> &env)
{
    CgiRequest req;
    req.method = "POST";
    req.route = route;
    req.content_type = "application/json";
    req.body = json;
    req.env = env;
    return run_cgi(root, req);
}
