// Whole-process benchmark: runs CGI programs as the web server does (fork,
// exec, environment, standard input), paired with a minimal C CGI run in the
// same loop, and reports the median time of each, the median of the paired
// ratios and each program's peak resident memory. Two yardsticks: the C CGI
// linked dynamically (NVRWEB_BASELINE_CGI) and linked statically
// (NVRWEB_STATIC_BASELINE_CGI); the static one is the honest floor, since
// nvrweb.cgi is static itself. Each run of the program is paired with a run
// of each yardstick, in alternating order.
//
// Usage: nvrweb-proc-bench ROOT RUNS CASE...
//   CASE = label|program|METHOD|route|body[|content type]
//   (body may be empty; "@FILE" reads a file; content type defaults to application/json)
//   NVRWEB_BENCH_COOKIE, when set, is sent as the request's cookie.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

struct Case {
    std::string label, program, method, route, body, type;
};

struct Sample {
    double ms = 0;
    long maxrss_kb = 0;
    int status = 0;
    size_t out_bytes = 0;
};

double now_ms()
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

Sample run(const std::string &root, const Case &c, const std::string &program)
{
    Sample s;
    // The body goes through a temporary file: the child reads it as a web
    // server's pipe would be read, without the bench's writer in the timing.
    // A body "@FILE" is the file itself, so that the bench never holds a
    // large body in its own memory (a forked child would count it).
    int in_fd;
    size_t body_size = c.body.size();
    if (!c.body.empty() && c.body[0] == '@') {
        in_fd = open(c.body.c_str() + 1, O_RDONLY);
        body_size = in_fd < 0 ? 0 : static_cast<size_t>(lseek(in_fd, 0, SEEK_END));
        lseek(in_fd, 0, SEEK_SET);
    } else {
        char in_path[] = "/tmp/nvrweb-bench-in-XXXXXX";
        in_fd = mkstemp(in_path);
        if (!c.body.empty() && write(in_fd, c.body.data(), c.body.size()) < 0) perror("write");
        lseek(in_fd, 0, SEEK_SET);
        unlink(in_path);
    }
    int out_pipe[2];
    if (pipe(out_pipe) != 0) abort();

    std::vector<std::string> env = {
        "NVRWEB_ROOT=" + root,         "REQUEST_METHOD=" + c.method, "PATH_INFO=" + c.route,
        "QUERY_STRING=",               "REMOTE_ADDR=127.0.0.1",      "GATEWAY_INTERFACE=CGI/1.1",
        "CONTENT_TYPE=" + (c.type.empty() ? std::string("application/json") : c.type), "CONTENT_LENGTH=" + std::to_string(body_size)};
    if (const char *scale = getenv("NVRWEB_TIME_SCALE")) env.push_back(std::string("NVRWEB_TIME_SCALE=") + scale);
    // The pages send their session cookie with every request.
    if (const char *cookie = getenv("NVRWEB_BENCH_COOKIE")) env.push_back(std::string("HTTP_COOKIE=") + cookie);
    std::vector<char *> cenv;
    for (auto &e : env) cenv.push_back(&e[0]);
    cenv.push_back(nullptr);
    char *argv[] = {const_cast<char *>(program.c_str()), nullptr};

    double t0 = now_ms();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in_fd, 0);
        dup2(out_pipe[1], 1);
        close(out_pipe[0]);
        execve(argv[0], argv, cenv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    char buf[65536];
    ssize_t n;
    while ((n = read(out_pipe[0], buf, sizeof buf)) > 0) s.out_bytes += static_cast<size_t>(n);
    close(out_pipe[0]);
    int st = 0;
    struct rusage ru;
    while (wait4(pid, &st, 0, &ru) < 0 && errno == EINTR) {}
    s.ms = now_ms() - t0;
    s.maxrss_kb = ru.ru_maxrss;
    s.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    close(in_fd);
    return s;
}

double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

std::vector<std::string> split(const std::string &s, char sep)
{
    std::vector<std::string> out;
    std::string cur;
    std::stringstream ss(s);
    while (std::getline(ss, cur, sep)) out.push_back(cur);
    while (out.size() < 6) out.push_back("");
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: %s ROOT RUNS CASE...\n", argv[0]);
        return 2;
    }
    std::string root = argv[1];
    int runs = atoi(argv[2]);
    const char *baseline = getenv("NVRWEB_BASELINE_CGI");
    const char *static_baseline = getenv("NVRWEB_STATIC_BASELINE_CGI");
    std::string base = baseline ? baseline : "minimal_cgi";
    std::string sbase = static_baseline ? static_baseline : "minimal_cgi_static";
    printf("%-28s %10s %10s %10s %8s %8s %10s %6s\n", "case", "median ms", "C dyn ms", "C static", "x dyn",
           "x static", "peak KiB", "bytes");
    for (int i = 3; i < argc; i++) {
        std::vector<std::string> f = split(argv[i], '|');
        Case c{f[0], f[1], f[2], f[3], f[4], f[5]};
        std::vector<double> t, tb, ts, ratio, sratio;
        long rss = 0;
        size_t bytes = 0;
        int bad = 0;
        for (int r = 0; r < 3; r++) run(root, c, c.program); // warm the caches
        for (int r = 0; r < runs; r++) {
            Sample a, b, d;
            if (r % 2) {
                b = run(root, c, base);
                d = run(root, c, sbase);
                a = run(root, c, c.program);
            } else {
                a = run(root, c, c.program);
                d = run(root, c, sbase);
                b = run(root, c, base);
            }
            if (a.status != 0) bad++;
            t.push_back(a.ms);
            tb.push_back(b.ms);
            ts.push_back(d.ms);
            ratio.push_back(a.ms / b.ms);
            sratio.push_back(a.ms / d.ms);
            rss = std::max(rss, a.maxrss_kb);
            bytes = a.out_bytes;
        }
        printf("%-28s %10.3f %10.3f %10.3f %8.2f %8.2f %10ld %6zu%s\n", c.label.c_str(), median(t), median(tb),
               median(ts), median(ratio), median(sratio), rss, bytes, bad ? "  (non-zero exit)" : "");
        fflush(stdout);
    }
    return 0;
}
