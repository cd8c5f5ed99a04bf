#include "platform/qx_p2p.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/device_path.h"
#include "platform/qx_sock.h"
#include "platform/standin_faults.h"

namespace {

enum { kKeySize = 32, kBlockPlain = 117, kBlock = 128, kMaxMessage = 1 << 20, kSockets = 16 };

struct SocketKey {
    int sock = -1;
    uint8_t key[kKeySize] = {};
};
std::mutex g_mu;
SocketKey g_keys[kSockets];

// The key of a switched socket; false for a plain one.
bool key_of(int sock, uint8_t (&key)[kKeySize])
{
    std::lock_guard<std::mutex> lock(g_mu);
    for (const SocketKey &k : g_keys)
        if (k.sock == sock) {
            memcpy(key, k.key, kKeySize);
            return true;
        }
    return false;
}

void scramble(uint8_t *data, size_t n, int sock)
{
    uint8_t key[kKeySize];
    if (!key_of(sock, key)) return;
    for (size_t i = 0; i < n; i++) data[i] ^= static_cast<uint8_t>(key[i % kKeySize] + i / kKeySize * 131u);
}

bool read_key(const char *path, uint8_t (&key)[kKeySize])
{
    FILE *f = fopen(nvr_path(path).c_str(), "rbe");
    if (!f) return false;
    bool ok = fread(key, 1, kKeySize, f) == kKeySize;
    fclose(f);
    return ok;
}

} // namespace

int rsa_cal_ensize(int len)
{
    if (len <= 0) return 0;
    return (len + kBlockPlain - 1) / kBlockPlain * kBlock;
}

int p2p_create_keyfile(const char *path)
{
    if (!path || standin_fails("p2p_create_keyfile")) return -1;
    std::string host = nvr_path(path);
    if (host.empty()) return -1;
    struct stat st;
    if (stat(host.c_str(), &st) == 0) return S_ISREG(st.st_mode) && st.st_size == kKeySize ? 0 : -1;
    uint8_t key[kKeySize];
    if (getrandom(key, sizeof key, 0) != static_cast<ssize_t>(sizeof key)) return -1;
    // Written under a temporary name and renamed, so that a reader never
    // sees a half-written key.
    std::string tmp = host + ".new" + std::to_string(getpid());
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    FILE *f = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!f) {
        if (fd >= 0) close(fd);
        return -1;
    }
    bool ok = fwrite(key, 1, sizeof key, f) == sizeof key;
    ok = fclose(f) == 0 && ok;
    if (!ok || rename(tmp.c_str(), host.c_str()) != 0) {
        unlink(tmp.c_str());
        return -1;
    }
    return 0;
}

int p2p_cli_switch_keyfile(int sock, const char *path)
{
    if (sock < 0 || !path || standin_fails("p2p_cli_switch_keyfile")) return -1;
    uint8_t key[kKeySize];
    if (!read_key(path, key)) return -1;
    std::lock_guard<std::mutex> lock(g_mu);
    SocketKey *slot = nullptr;
    for (SocketKey &k : g_keys) {
        if (k.sock == sock) slot = &k;
        else if (!slot && k.sock < 0) slot = &k;
    }
    if (!slot) return -1;
    slot->sock = sock;
    memcpy(slot->key, key, kKeySize);
    return 0;
}

int p2p_send(int sock, const void *buf, int len)
{
    if (sock < 0 || (!buf && len) || len < 0 || len > kMaxMessage || standin_fails("p2p_send")) return -1;
    std::vector<uint8_t> frame(4 + static_cast<size_t>(rsa_cal_ensize(len)), 0);
    qx_put_le32(frame.data(), 0, static_cast<uint32_t>(len));
    if (len) memcpy(frame.data() + 4, buf, static_cast<size_t>(len));
    scramble(frame.data() + 4, frame.size() - 4, sock);
    return qx_write_full(sock, frame.data(), frame.size()) ? len : -1;
}

int p2p_recv(int sock, void *buf, int size)
{
    if (sock < 0 || !buf || size < 0 || standin_fails("p2p_recv")) return -1;
    uint8_t head[4];
    if (!qx_read_full(sock, head, sizeof head)) return -1;
    int32_t len = qx_get_le32(head, 0);
    if (len < 0 || len > kMaxMessage) return -1;
    std::vector<uint8_t> body(static_cast<size_t>(rsa_cal_ensize(len)));
    if (!body.empty() && !qx_read_full(sock, body.data(), body.size())) return -1;
    scramble(body.data(), body.size(), sock);
    int n = len < size ? len : size;
    if (n) memcpy(buf, body.data(), static_cast<size_t>(n));
    return n;
}

void p2p_socket_closed(int sock)
{
    std::lock_guard<std::mutex> lock(g_mu);
    for (SocketKey &k : g_keys)
        if (k.sock == sock) k.sock = -1;
}
