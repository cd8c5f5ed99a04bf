// Message socket to the recorder daemon: the client side used by the request
// process, and the wire format shared with the daemon side (qx_server.h).
//
// Wire format (all integers little-endian), one message = 24-byte header and
// its payload:
//   0  "NVRM"       magic
//   4  int32 kind   1 = request (client to daemon), 2 = reply
//   8  uint32 seq   chosen by the client, unique per connection, from 1; a
//                   reply carries the sequence number of its request
//   12 int32 code   request code, or reply code (request code + 5000)
//   16 int32        reserved, 0
//   20 int32 len    payload length, 0 .. QX_MSG_MAX_PAYLOAD
//
// Client model. A process keeps one connection to the daemon and reuses it
// for every request, so that the daemon sees the messages of a process in the
// order they were sent. qx_sock_init() opens a session with a reply callback;
// every message sent while the session is open belongs to it, and replies
// carrying the sequence number of one of its messages are handed to its
// callback by the thread that reads them: the thread that waits for them, or
// the receiving thread once one runs. qx_sock_uninit() closes the session:
// replies to its messages that come later are dropped, and once uninit has
// returned no callback of the session runs any more (uninit waits for one
// that is running on another thread). Sessions nest per thread: a reply
// callback may itself open, use and close a session (for example to send a
// fire-and-forget notice) without disturbing the session it serves.
#pragma once
#include <cstddef>
#include <cstdint>

// ---- Wire format ---------------------------------------------------------------
enum { QX_MSG_HEADER_SIZE = 24 };
enum { QX_MSG_REQUEST = 1, QX_MSG_REPLY = 2 };
enum : uint32_t { QX_MSG_MAX_PAYLOAD = 16u * 1024u * 1024u };
enum { QX_MSG_CODE_OFFSET = 12, QX_MSG_LENGTH_OFFSET = 20 };

struct QxMsgHeader {
    int32_t kind = 0;
    uint32_t seq = 0;
    int32_t code = 0;
    int32_t reserved = 0;
    int32_t length = 0;
};

// Writes the 24 header bytes (magic included).
void qx_msg_pack(uint8_t out[QX_MSG_HEADER_SIZE], const QxMsgHeader &h);
// Reads the 24 header bytes; false when the magic is wrong or the length is
// negative or over QX_MSG_MAX_PAYLOAD (the connection must then be dropped).
bool qx_msg_unpack(const uint8_t in[QX_MSG_HEADER_SIZE], QxMsgHeader *h);
// Little-endian 32-bit field at `offset` of a byte block.
int32_t qx_get_le32(const void *bytes, size_t offset);
void qx_put_le32(void *bytes, size_t offset, uint32_t value);

// Blocking full reads and writes on a stream socket (EINTR retried, writes
// with MSG_NOSIGNAL). False on error or end of stream.
bool qx_read_full(int fd, void *buf, size_t n);
bool qx_write_full(int fd, const void *buf, size_t n);
// Writes header and payload as one message. The caller serialises writers.
bool qx_write_msg(int fd, const QxMsgHeader &h, const void *payload);

// Connects a CLOEXEC Unix stream socket to `host_path`; -1 on failure.
int qx_unix_connect(const char *host_path);

// ---- Client ----------------------------------------------------------------------
// Reply callback, run by the thread that reads the replies: the thread
// waiting in qx_sock_wait_delivered(), or the receiving thread:
//   unused  - always 0;
//   header  - the 24 header bytes as received: reply code at byte offset 12,
//             payload length at byte offset 20 (int32, little-endian);
//   payload - the payload bytes (exactly the length of the header), or null
//             when the length is 0. Valid only during the call; the block is
//             suitably aligned for any record type.
typedef void (*qx_sock_callback)(int unused, const void *header, const void *payload);

// Results of qx_sock_send_msg besides 0 (sent).
enum { QX_SOCK_NOT_SENT = -1, QX_SOCK_BAD_ARGS = -2 };

// Opens a session whose replies go to `callback`. `device_path` is the
// daemon socket as a device path ("/var/run/qxsocket"), mapped through
// nvr_path(). The two fixed values (0 and 3 by convention) are not used.
// Returns 0, or -1 for a null callback or path (no session is opened).
int qx_sock_init(qx_sock_callback callback, int flags, int mode, const char *device_path);

// Sends one request of the calling thread's newest session (connecting when
// needed). Returns 0 when the whole message was written; QX_SOCK_NOT_SENT
// when the daemon cannot be reached or the connection failed (worth another
// try); QX_SOCK_BAD_ARGS for a negative or oversize length, a null payload
// with a non-zero length, or no session ever opened. The first argument is 1
// and the last two are 0 by convention; they are not used.
int qx_sock_send_msg(int kind, int code, const void *payload, int length, int flags, int timeout);

// Sends a notice: like qx_sock_send_msg(), but no reply is awaited, so none
// is handed to a callback and no receiving thread is started for it. Needs a
// session opened before (for the socket's path), like any send.
int qx_sock_send_notice(int code, const void *payload, int length);

// Closes the calling thread's newest session. Returns 0; does nothing when
// the thread has no open session. The connection itself stays open for the
// next session of the process.
int qx_sock_uninit();

// Number of reply callbacks that have returned in this process so far, and a
// wait until that number differs from `seen` or `timeout_us` microseconds have
// passed. Returns the number at the end of the wait. The request thread uses
// it to learn at once that a callback has run.
// While no receiving thread runs, the waiting thread reads the replies
// itself and runs their callbacks (one reader at a time; other waiters wait).
uint64_t qx_sock_delivered();
uint64_t qx_sock_wait_delivered(uint64_t seen, int64_t timeout_us);

// Starts the receiving thread of the connection (once): from then on,
// replies reach their callbacks while nobody waits, until the connection
// ends. For a request that goes on after its wait, or does not wait.
void qx_sock_receive_async();
