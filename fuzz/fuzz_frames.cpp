// The message socket's frame reader on arbitrary byte streams. The target
// plays the daemon on a raw socket: for each input it answers one request
// with the input's bytes as they stand (a header whose magic is right and
// whose sequence number is 0 gets the request's number, so that whole
// replies reach the callback), then with a closing reply of its own. The
// callback checks that header and payload agree and reads every payload byte
// through the reply helpers. A stream the client must drop (wrong magic,
// oversized length, cut frame) ends with the client closing or with the
// target hanging up after a short wait. Runs alternate between the two
// readers of the client: the thread that waits for its reply, and the
// receiving thread.
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "common/ipc.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr int kRequestCode = 3201;
constexpr int kClosingCode = 0x7ffe;
// How long the client may take to act on a stream. Generous: on a loaded
// machine its receiving thread may wait long for a core.
constexpr int kPatienceMs = 10000;

int g_listen = -1;
int g_conn = -1;
std::atomic<int> g_closing_seen{0};
std::atomic<long> g_sum{0};

void on_reply(int, const void *header, const void *payload)
{
    const int length = ipc_reply_length(header);
    if (length < 0) fuzz_fail("negative payload length delivered");
    if ((length > 0) != (payload != nullptr)) fuzz_fail("payload pointer disagrees with its length");
    const unsigned char *p = static_cast<const unsigned char *>(payload);
    long sum = 0;
    for (int i = 0; i < length; i++) sum += p[i]; // every byte must be readable
    g_sum += sum;
    // Record access never reads past the payload.
    struct Record {
        uint32_t words[29]; // an odd size, as many daemon records have
    } rec;
    size_t count = ipc_reply_count(header, payload, sizeof rec);
    for (size_t i = 0; i < count; i++)
        if (!ipc_reply_record(header, payload, i, &rec)) fuzz_fail("counted record not readable");
    if (ipc_reply_record(header, payload, count, &rec)) fuzz_fail("record beyond the count readable");
    if (ipc_reply_code(header) == kClosingCode + 5000) g_closing_seen = 1;
}

// poll() of one descriptor that sits out signals (libFuzzer's timer ticks
// every second): > 0 ready, 0 timed out.
int wait_fd(int fd, int timeout_ms)
{
    struct pollfd pfd = {fd, POLLIN, 0};
    for (;;) {
        int r = poll(&pfd, 1, timeout_ms);
        if (r >= 0 || errno != EINTR) return r;
    }
}

bool read_full(int fd, void *buf, size_t n)
{
    char *p = static_cast<char *>(buf);
    while (n) {
        if (wait_fd(fd, kPatienceMs) <= 0) return false;
        ssize_t r = read(fd, p, n);
        if (r <= 0) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

void hang_up()
{
    if (g_conn >= 0) close(g_conn);
    g_conn = -1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_init();
    std::string path = fuzz_host("/var/run/qxsocket");
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    memcpy(addr.sun_path, path.c_str(), path.size());
    g_listen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (g_listen < 0 || bind(g_listen, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        listen(g_listen, 4) != 0)
        fuzz_fail("cannot listen on the daemon socket");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    g_closing_seen = 0;
    qx_sock_init(on_reply, 0, 3, "/var/run/qxsocket");
    if (qx_sock_send_msg(1, kRequestCode, nullptr, 0, 0, 0) != 0) {
        // The client saw our hang-up only now: it connects again next time.
        qx_sock_uninit();
        return 0;
    }
    // The request arrives on the current connection, or on a new one.
    uint8_t head[QX_MSG_HEADER_SIZE];
    QxMsgHeader req;
    for (int attempt = 0; attempt < 2; attempt++) {
        if (g_conn < 0) {
            if (wait_fd(g_listen, kPatienceMs) <= 0) fuzz_fail("client did not connect");
            g_conn = accept4(g_listen, nullptr, nullptr, SOCK_CLOEXEC);
        }
        if (read_full(g_conn, head, sizeof head) && qx_msg_unpack(head, &req)) break;
        hang_up();
    }
    if (g_conn < 0) fuzz_fail("request not received");
    static unsigned runs = 0;
    if (++runs % 2) qx_sock_receive_async();

    std::string stream(reinterpret_cast<const char *>(data), size);
    // Frame the input as the client must: whole frames up to its end, or a
    // header the client must refuse, or a frame cut short (whose missing
    // bytes the closing reply may fill).
    enum { WHOLE, BROKEN, CUT } outcome = WHOLE;
    for (size_t at = 0; at < stream.size();) {
        if (stream.size() - at < QX_MSG_HEADER_SIZE) {
            outcome = CUT;
            break;
        }
        QxMsgHeader h;
        if (!qx_msg_unpack(reinterpret_cast<const uint8_t *>(stream.data() + at), &h)) {
            outcome = BROKEN;
            break;
        }
        if (h.seq == 0) qx_put_le32(&stream[at], 8, req.seq);
        at += QX_MSG_HEADER_SIZE;
        if (stream.size() - at < static_cast<size_t>(h.length)) {
            outcome = CUT;
            break;
        }
        at += static_cast<size_t>(h.length);
    }
    QxMsgHeader closing;
    closing.kind = QX_MSG_REPLY;
    closing.seq = req.seq;
    closing.code = kClosingCode + 5000;
    uint8_t closing_head[QX_MSG_HEADER_SIZE];
    qx_msg_pack(closing_head, closing);
    stream.append(reinterpret_cast<const char *>(closing_head), sizeof closing_head);
    if (send(g_conn, stream.data(), stream.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(stream.size()))
        fuzz_fail("cannot send the stream");

    if (outcome == WHOLE) {
        // The closing reply is the last whole frame: it must be delivered.
        for (int i = 0; i < 10000 && !g_closing_seen; i++) qx_sock_wait_delivered(qx_sock_delivered(), 1000);
        if (!g_closing_seen) fuzz_fail("a whole reply was not delivered");
    } else if (outcome == BROKEN) {
        // The client must drop the connection.
        bool dropped = false;
        char sink[256];
        // The end of the stream, or a reset when the client closes with our
        // bytes still unread.
        // Without the receiving thread, the client reads while it waits.
        for (int i = 0; i < kPatienceMs && !dropped; i++) {
            qx_sock_wait_delivered(qx_sock_delivered(), 1000);
            if (wait_fd(g_conn, 0) <= 0) continue;
            ssize_t r = recv(g_conn, sink, sizeof sink, MSG_DONTWAIT);
            dropped = r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR);
        }
        if (!dropped) fuzz_fail("the client kept a connection with a broken frame");
        hang_up();
    } else {
        hang_up(); // the client waits for bytes that never come; end it
    }
    qx_sock_uninit();
    fuzz_check_after_run(fuzz_take_output(), false);
    return 0;
}
