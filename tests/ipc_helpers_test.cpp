// The client's data and small pieces: wait table, time scale, generic
// callbacks, reply readers, operation-log records.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>
#include <set>
#include <string>

#include "common/web_utils.h"
#include "common/ipc.h"
#include "frontend/cgi.h"
#include "platform/qx_server.h"
#include "tests/support/fake_daemon.h"

namespace {

TEST(IpcWaitTable, PollsPerCode)
{
    EXPECT_EQ(15000, ipc_wait_polls(3434));
    EXPECT_EQ(30000, ipc_wait_polls(3379));
    EXPECT_EQ(1000, ipc_wait_polls(9999));
    EXPECT_EQ(1000, ipc_wait_polls(3485));
    EXPECT_EQ(1500, ipc_wait_polls(3700));
    EXPECT_EQ(1500, ipc_wait_polls(3702));
    EXPECT_EQ(3000, ipc_wait_polls(1153));
    EXPECT_EQ(3000, ipc_wait_polls(3535));
    EXPECT_EQ(6000, ipc_wait_polls(3201));
    EXPECT_EQ(6000, ipc_wait_polls(1713));
    EXPECT_EQ(15000, ipc_wait_polls(3495));

    // Each code once, and only the five documented bounds.
    std::set<int> codes;
    std::map<int, int> per_bound;
    for (size_t i = 0; i < kIpcWaitTableSize; i++) {
        EXPECT_TRUE(codes.insert(kIpcWaitTable[i].code).second) << kIpcWaitTable[i].code;
        per_bound[kIpcWaitTable[i].polls]++;
    }
    EXPECT_EQ((std::map<int, int>{{1500, 2}, {3000, 11}, {6000, 15}, {15000, 5}, {30000, 1}}),
              per_bound);
}

TEST(IpcWaitTable, TimeScaleFromEnvironment)
{
    const std::pair<const char *, double> cases[] = {
        {"0.5", 0.5}, {"2e-3", 0.002}, {"10", 10}, {"", 1},     {"0", 1},
        {"-1", 1},    {"abc", 1},      {"1x", 1},  {"inf", 1}, {"nan", 1},
    };
    for (const auto &c : cases) {
        ScopedEnv env("NVRWEB_TIME_SCALE", c.first);
        EXPECT_DOUBLE_EQ(c.second, ipc_time_scale()) << c.first;
    }
    unsetenv("NVRWEB_TIME_SCALE");
    EXPECT_DOUBLE_EQ(1, ipc_time_scale());
}

std::string captured(const std::function<void()> &fn)
{
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout();
}

TEST(IpcCallbacks, CommonJsonAnswersFirstStatus)
{
    const int32_t payload[2] = {-7, 99};
    g_callback_done = 0;
    EXPECT_EQ("Content-type: application/json\r\n\r\n{\"status\":-7}",
              captured([&] { EXPECT_EQ(0, on_cgi_common_json_cb(2, payload)); }));
    EXPECT_EQ(1, g_callback_done.load());

    // No record or no payload: nothing written, flag left alone.
    g_callback_done = 0;
    EXPECT_EQ("", captured([&] { EXPECT_EQ(-1, on_cgi_common_json_cb(0, payload)); }));
    EXPECT_EQ("", captured([&] { EXPECT_EQ(-1, on_cgi_common_json_cb(-1, payload)); }));
    EXPECT_EQ("", captured([&] { EXPECT_EQ(-1, on_cgi_common_json_cb(1, nullptr)); }));
    EXPECT_EQ(0, g_callback_done.load());
}

TEST(IpcCallbacks, CommonTextStatusAndData)
{
    const std::string head = "Content-type: text/plain\r\n\r\n";
    g_callback_done = 0;
    EXPECT_EQ(head + "CGI ERROR status:[-3], data:[x]",
              captured([] { on_cgi_common_text_cb(0, -3, "x"); }));
    EXPECT_EQ(1, g_callback_done.load());
    EXPECT_EQ(head + "CGI OK status:[0]", captured([] { on_cgi_common_text_cb(0, 0, nullptr); }));
    EXPECT_EQ(head + "CGI OK status:[12], data:[]", captured([] { on_cgi_common_text_cb(0, 12, ""); }));

    // Cut to 255 characters.
    std::string long_data(400, 'd');
    std::string out = captured([&] { on_cgi_common_text_cb(0, 1, long_data.c_str()); });
    ASSERT_EQ(head.size() + 255, out.size());
    EXPECT_EQ(0u, out.find(head + "CGI OK status:[1], data:[ddd"));
}

TEST(IpcCallbacks, AgingCallbackDoesNothing)
{
    g_callback_done = 0;
    EXPECT_EQ("", captured([] { on_aging_callback(0, nullptr, nullptr); }));
    EXPECT_EQ(0, g_callback_done.load());
}

std::string header_bytes(int code, int32_t length)
{
    uint8_t h[QX_MSG_HEADER_SIZE];
    QxMsgHeader v;
    v.kind = QX_MSG_REPLY;
    v.code = code;
    v.length = length;
    qx_msg_pack(h, v);
    return std::string(reinterpret_cast<char *>(h), sizeof h);
}

TEST(IpcReply, HeaderFieldsAndRecords)
{
    std::string h = header_bytes(8464, 10);
    EXPECT_EQ(8464, ipc_reply_code(h.data()));
    EXPECT_EQ(10, ipc_reply_length(h.data()));
    EXPECT_EQ(-1, ipc_reply_code(nullptr));
    EXPECT_EQ(0, ipc_reply_length(nullptr));
    EXPECT_EQ(0, ipc_reply_length(header_bytes(1, -5).data()));

    const int32_t payload[3] = {11, 22, 0x7777};
    EXPECT_EQ(2u, ipc_reply_count(h.data(), payload, 4)); // 10 bytes: two whole int32
    EXPECT_EQ(0u, ipc_reply_count(h.data(), nullptr, 4));
    EXPECT_EQ(0u, ipc_reply_count(h.data(), payload, 0));

    int32_t v = -1;
    EXPECT_TRUE(ipc_reply_record(h.data(), payload, 1, &v));
    EXPECT_EQ(22, v);
    v = -1;
    EXPECT_FALSE(ipc_reply_record(h.data(), payload, 2, &v)); // a partial record
    EXPECT_EQ(-1, v);
    EXPECT_FALSE(ipc_reply_record(h.data(), nullptr, 0, &v));
}

TEST(IpcWire, HeaderRoundTripAndRejection)
{
    QxMsgHeader h;
    h.kind = QX_MSG_REQUEST;
    h.seq = 0xfffffffe;
    h.code = -3;
    h.length = static_cast<int32_t>(QX_MSG_MAX_PAYLOAD);
    uint8_t b[QX_MSG_HEADER_SIZE];
    qx_msg_pack(b, h);
    EXPECT_EQ(0, memcmp(b, "NVRM\x01\0\0\0\xfe\xff\xff\xff", 12));
    QxMsgHeader back;
    ASSERT_TRUE(qx_msg_unpack(b, &back));
    EXPECT_EQ(h.seq, back.seq);
    EXPECT_EQ(-3, back.code);
    EXPECT_EQ(h.length, back.length);

    qx_put_le32(b, QX_MSG_LENGTH_OFFSET, QX_MSG_MAX_PAYLOAD + 1);
    EXPECT_FALSE(qx_msg_unpack(b, &back));
    qx_put_le32(b, QX_MSG_LENGTH_OFFSET, static_cast<uint32_t>(-1));
    EXPECT_FALSE(qx_msg_unpack(b, &back));
    qx_put_le32(b, QX_MSG_LENGTH_OFFSET, 0);
    b[3] = 'X';
    EXPECT_FALSE(qx_msg_unpack(b, &back));
}

TEST(IpcOplog, PlainAndMaskedRecords)
{
    DeviceRoot root;
    ScopedDeviceRoot use_root(root);
    FakeDaemon daemon(root);
    char cookie[] = "lang=en; userName=admin; sid=42";
    char addr[] = "10.1.2.3";
    web_set_request(cookie, addr);
    g_callback_done = 1;
    cgi_send_oplog(-2, 909, 3);
    cgi_send_oplog_mask(204, 905, 0, 0x8000000100000002ULL);
    web_set_request(nullptr, nullptr);
    EXPECT_EQ(1, g_callback_done.load()); // fire-and-forget leaves it

    ASSERT_TRUE(daemon.wait_requests(2));
    auto reqs = daemon.requests();
    EXPECT_EQ(IPC_OPLOG, reqs[0].code);
    OpLogRecord r;
    ASSERT_TRUE(reqs[0].as(&r));
    EXPECT_EQ(4, r.main_type);
    EXPECT_EQ(-2, r.sub_type); // sign-extended
    EXPECT_EQ(909, r.param_type);
    EXPECT_EQ(1, r.one);
    EXPECT_EQ(3, r.object_no);
    EXPECT_STREQ("10.1.2.3", r.client_addr);
    EXPECT_STREQ("admin", r.user_name);

    EXPECT_EQ(IPC_OPLOG_MASK, reqs[1].code);
    OpLogMaskRecord m;
    ASSERT_TRUE(reqs[1].as(&m));
    EXPECT_EQ(204, m.log.sub_type);
    EXPECT_EQ(905, m.log.param_type);
    EXPECT_EQ(0x00000002u, m.mask_lo);
    EXPECT_EQ(0x80000001u, m.mask_hi);
    // Everything beyond the named fields is zero.
    EXPECT_EQ(std::string(sizeof r.reserved2, '\0'),
              std::string(reinterpret_cast<char *>(m.log.reserved2), sizeof r.reserved2));
}

// The daemon side keeps its threads: one connection after another (one per
// CGI process) is served by the threads it has; connections open together
// each get a thread, and the live ones are listed in accept order.
TEST(IpcServer, ThreadsServeOneConnectionAfterAnother)
{
    DeviceRoot root;
    const std::string path = root.host("/var/run/qxsocket");
    QxServer server;
    std::mutex mu;
    std::set<long> serving; // kernel thread ids of the handler's calls (never reused)
    ASSERT_TRUE(server.start(path, [&](QxServerConn &c, const QxMsgHeader &h, const std::string &payload) {
        {
            std::lock_guard<std::mutex> lock(mu);
            serving.insert(static_cast<long>(syscall(SYS_gettid)));
        }
        c.reply(h.seq, h.code + 5000, payload);
    }));
    auto round_trip = [](int fd, int code) {
        QxMsgHeader h;
        h.kind = QX_MSG_REQUEST;
        h.seq = 7;
        h.code = code;
        h.length = 3;
        uint8_t head[QX_MSG_HEADER_SIZE];
        QxMsgHeader r;
        char body[3];
        return qx_write_msg(fd, h, "abc") && qx_read_full(fd, head, sizeof head) && qx_msg_unpack(head, &r) &&
               r.code == code + 5000 && r.seq == 7 && r.length == 3 && qx_read_full(fd, body, 3) &&
               std::string(body, 3) == "abc";
    };
    for (int i = 0; i < 30; i++) {
        int fd = qx_unix_connect(path.c_str());
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(round_trip(fd, 1000 + i)) << i;
        close(fd);
    }
    {
        std::lock_guard<std::mutex> lock(mu);
        EXPECT_LE(serving.size(), 3u); // a thread or a few, not one per connection
    }
    std::vector<int> open;
    for (int i = 0; i < 5; i++) {
        open.push_back(qx_unix_connect(path.c_str()));
        ASSERT_GE(open.back(), 0);
    }
    for (int i = 4; i >= 0; i--) EXPECT_TRUE(round_trip(open[static_cast<size_t>(i)], 2000 + i)) << i;
    const auto live = server.connections();
    ASSERT_EQ(5u, live.size());
    for (size_t i = 1; i < live.size(); i++) EXPECT_LT(live[i - 1]->id(), live[i]->id());
    EXPECT_EQ(35, server.accepted());
    for (int fd : open) close(fd);
    server.stop();
}

} // namespace
