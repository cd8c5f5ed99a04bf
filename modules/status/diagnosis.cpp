// Diagnosis export through the daemon (/6310) and the download of the
// exported file, which is removed afterwards (/6311); the download writer
// the capture download shares.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "common/ipc.h"
#include "common/web_utils.h"
#include "modules/status/status.h"
#include "platform/device_path.h"
#include "platform/qx_std.h"

namespace {
const char kExportDir[] = "/tmp";
const char kExportRunning[] = "/tmp/tmp_diagnostic";
enum { ANSWER_CHARS = 255, ENCODED_SIZE = 1024, PATH_CHARS = 255, CHUNK = 4095 };
} // namespace

bool status_send_download(int fd, const char *name)
{
    std::string head = "Content-Type:application/octet-stream\r\nContent-Disposition: attachment; filename= ";
    head += name;
    head += "\r\n\r\n";
    cgi_writeback_webserver(REPLY_RAW, head.c_str());
    char buf[CHUNK];
    bool ok = true;
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        if (fwrite(buf, 1, static_cast<size_t>(n), stdout) != static_cast<size_t>(n)) {
            ok = false;
            break;
        }
    }
    if (fflush(stdout) != 0) ok = false;
    if (!ok) {
        struct stat st{};
        fstat(fd, &st);
        cgi_log("OnSystem", __LINE__, __func__, "fd_in:%d fd_out:%d filestat.st_size:%d", fd, STDOUT_FILENO,
                static_cast<int>(st.st_size));
        cgi_log("OnSystem", __LINE__, __func__, "Error copying input file [%d] to output file [%d]\n", fd, STDOUT_FILENO);
    }
    return ok;
}

// ---- /6310: export -----------------------------------------------------------------------------

// 8528: "OK/" and the URL-encoded path of the exported file, or "Failed".
void on_diagnosis_cb(const IpcReply &reply)
{
    int32_t result = -1;
    if (reply.length >= DIAGNOSIS_REPLY_HEAD) memcpy(&result, reply.payload + 4, sizeof result);
    if (result < 0) {
        cgi_writeback_webserver(REPLY_TEXT, "Failed");
        g_callback_done = 2;
        return;
    }
    char path[ENCODED_SIZE];
    copy_field(path, sizeof path, reinterpret_cast<const char *>(reply.payload) + DIAGNOSIS_REPLY_HEAD,
               reply.length - DIAGNOSIS_REPLY_HEAD);
    char encoded[ENCODED_SIZE];
    get_url_encode(path, encoded, sizeof encoded);
    std::string answer = std::string("OK/") + encoded + "\r\n";
    if (answer.size() > ANSWER_CHARS) answer.resize(ANSWER_CHARS);
    cgi_writeback_webserver(REPLY_TEXT, answer.c_str());
    g_callback_done = 1;
}

int on_export_diagnosis(char *)
{
    if (IsFileExisted(kExportRunning) == 0) { // an export is running
        cgi_writeback_webserver(REPLY_TEXT, "Failed");
        return 0;
    }
    DiagnosisRequest r{};
    COPY_TEXT(r.directory, kExportDir);
    if (cgi_request_ipc(on_status_ipc_callback, IPC_DIAGNOSIS_EXPORT, r, -1) == 0)
        cgi_writeback_webserver(REPLY_TEXT, "Failed");
    return 0;
}

// ---- /6311: download -----------------------------------------------------------------------------

namespace {
// The host path of a regular file below /tmp that `path` names: no ".."
// part, and below /tmp also when its links are followed. "" otherwise.
std::string tmp_file(const std::string &path)
{
    const std::string prefix = std::string(kExportDir) + "/";
    if (path.compare(0, prefix.size(), prefix) != 0) return "";
    const std::string wrapped = "/" + path + "/";
    if (wrapped.find("/../") != std::string::npos) return "";
    char real[PATH_MAX], base[PATH_MAX];
    if (!realpath(nvr_path(path.c_str()).c_str(), real) || !realpath(nvr_path(kExportDir).c_str(), base)) return "";
    const size_t n = strlen(base);
    if (strncmp(real, base, n) != 0 || real[n] != '/') return "";
    return real;
}
} // namespace

int on_download_diagnosis(char *request)
{
    char path[PATH_CHARS + 1];
    COPY_TEXT(path, request ? request : "");
    get_url_decode(path);
    const std::string host = tmp_file(path);
    if (host.empty()) {
        cgi_log("OnSystem", __LINE__, __func__, "diagnosis download refused");
        return 0;
    }
    const int fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) close(fd);
        return 0;
    }
    const char *slash = strrchr(path, '/');
    status_send_download(fd, slash ? slash + 1 : path);
    close(fd);
    if (unlink(host.c_str()) != 0) cgi_log("OnSystem", __LINE__, __func__, "cannot remove %s: %s", host.c_str(), strerror(errno));
    return 0;
}
