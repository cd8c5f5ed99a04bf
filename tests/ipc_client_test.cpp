// The daemon request client in this process against the fake daemon: waits,
// time-outs, ordering, stale and late replies, broken frames, nesting.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "common/ipc.h"
#include "common/web_utils.h"
#include "tests/support/fake_daemon.h"

namespace {

struct Delivery {
    int code;
    int length;
    bool has_payload;
    std::string payload;
};

// What the test callbacks saw; callbacks are plain functions, so it is global.
struct Recorder {
    std::mutex mu;
    std::condition_variable cv;
    std::vector<Delivery> a, b; // callback_a / callback_b

    void add(std::vector<Delivery> &to, const void *header, const void *payload)
    {
        std::lock_guard<std::mutex> lock(mu);
        int len = ipc_reply_length(header);
        to.push_back({ipc_reply_code(header), len, payload != nullptr,
                      payload ? std::string(static_cast<const char *>(payload), len) : std::string()});
        cv.notify_all();
    }
    bool wait_a(size_t n)
    {
        std::unique_lock<std::mutex> lock(mu);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return a.size() >= n; });
    }
    void reset()
    {
        std::lock_guard<std::mutex> lock(mu);
        a.clear();
        b.clear();
    }
} rec;

// Records and marks the request handled.
void callback_a(int, const void *header, const void *payload)
{
    rec.add(rec.a, header, payload);
    g_callback_done = 1;
}
void callback_b(int, const void *header, const void *payload)
{
    rec.add(rec.b, header, payload);
    g_callback_done = 1;
}
// Records without marking (a streamed reply, or one to be ignored).
void record_only(int, const void *header, const void *payload) { rec.add(rec.a, header, payload); }
// Answers through the generic JSON callback, as module callbacks do.
void json_status_cb(int, const void *header, const void *payload)
{
    rec.add(rec.a, header, payload);
    on_cgi_common_json_cb(static_cast<int>(ipc_reply_count(header, payload, 4)), payload);
}

class IpcClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        rec.reset();
        g_callback_done = 0;
    }
    // A waiting request answered at once: when it returns, everything the
    // daemon sent before its reply has been read by the client.
    void round_trip()
    {
        daemon.on(7999).reply_int(0);
        cgi_stop_ipc(cgi_start_ipc(callback_b, 7999, 0, nullptr, 0));
        ASSERT_EQ(1, g_callback_done.load());
    }

    DeviceRoot root;
    ScopedDeviceRoot use_root{root};
    ScopedEnv scale{"NVRWEB_TIME_SCALE", "0.005"}; // 1000 polls = 200 ms
    FakeDaemon daemon{root};
};

TEST_F(IpcClient, ReplyReachesCallbackAndEndsWait)
{
    daemon.on(3201).reply_int(42);
    const int32_t payload[2] = {7, -1};
    EXPECT_EQ(0, cgi_start_ipc(callback_a, 3201, sizeof payload, payload, 0));
    EXPECT_EQ(1, g_callback_done.load());
    cgi_stop_ipc(0);

    ASSERT_EQ(1u, rec.a.size());
    EXPECT_EQ(8201, rec.a[0].code);
    EXPECT_EQ(4, rec.a[0].length);
    EXPECT_EQ(le32(42), rec.a[0].payload);
    auto reqs = daemon.requests();
    ASSERT_EQ(1u, reqs.size());
    EXPECT_EQ(QX_MSG_REQUEST, reqs[0].kind);
    EXPECT_EQ(3201, reqs[0].code);
    EXPECT_EQ(1u, reqs[0].seq);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(payload), sizeof payload), reqs[0].payload);
}

TEST_F(IpcClient, SilentDaemonTimesOutAndRequestWrapperAnswersError)
{
    daemon.on(3434).silent(); // 15000 polls: scaled down to 75 ms
    ScopedEnv fast("NVRWEB_TIME_SCALE", "0.000125");
    g_callback_done = 5;
    EXPECT_EQ(0, cgi_start_ipc(callback_a, 3434, 0, nullptr, 0));
    EXPECT_EQ(0, g_callback_done.load()); // reset at the start, never set
    cgi_stop_ipc(0);

    testing::internal::CaptureStdout();
    EXPECT_EQ(0, cgi_request_ipc(callback_a, 3434, 0, nullptr, REPLY_TEXT));
    EXPECT_EQ("Content-type: text/plain\r\n\r\nCGI ERROR", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(rec.a.empty());
    EXPECT_EQ(2u, daemon.count());
}

TEST_F(IpcClient, RequestWrapperLeavesTheAnswerToTheCallback)
{
    daemon.on(3301).reply_int(-4);
    testing::internal::CaptureStdout();
    EXPECT_EQ(1, cgi_request_ipc(json_status_cb, 3301, 0, nullptr, REPLY_JSON));
    EXPECT_EQ("Content-type: application/json\r\n\r\n{\"status\":-4}",
              testing::internal::GetCapturedStdout());
}

TEST_F(IpcClient, LateReplyAfterTimeOutAddsNoSecondAnswer)
{
    daemon.on(3302).silent();
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, cgi_request_ipc(json_status_cb, 3302, 0, nullptr, REPLY_JSON));
    ASSERT_TRUE(daemon.wait_requests(1));
    ASSERT_TRUE(daemon.push(8302, daemon.requests()[0].seq, le32(1)));
    round_trip();
    EXPECT_EQ("Content-type: application/json\r\n\r\n{status:\"CGI ERROR\"}",
              testing::internal::GetCapturedStdout());
    EXPECT_TRUE(rec.a.empty());
}

TEST_F(IpcClient, MessagesArriveInOrderOnOneConnection)
{
    daemon.default_silent(true);
    for (int i = 0; i < 20; i++) {
        int32_t v = i;
        if (i % 5 == 4) cgi_stop_ipc(cgi_start_ipc(callback_a, 4000 + i, 4, &v, 1));
        else cgi_notify_ipc(4000 + i, v);
    }
    ASSERT_TRUE(daemon.wait_requests(20));
    auto reqs = daemon.requests();
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(4000 + i, reqs[i].code);
        EXPECT_EQ(i, reqs[i].int_at(0));
        EXPECT_EQ(static_cast<uint32_t>(i + 1), reqs[i].seq);
        EXPECT_EQ(1, reqs[i].connection);
    }
}

TEST_F(IpcClient, StaleReplyNeverReachesALaterRequest)
{
    daemon.on(7001).silent();
    cgi_stop_ipc(cgi_start_ipc(callback_a, 7001, 0, nullptr, 1));
    ASSERT_TRUE(daemon.wait_requests(1));
    const uint32_t first_seq = daemon.requests()[0].seq;

    // Request 2 is answered by a late reply to request 1 first, then by a
    // reply to a sequence number never used, then by its own reply.
    daemon.on(7002)
        .reply_as(12001, first_seq, le32(1))
        .reply_as(12002, first_seq + 100, le32(2))
        .reply_int(3);
    cgi_stop_ipc(cgi_start_ipc(callback_b, 7002, 0, nullptr, 0));
    EXPECT_EQ(1, g_callback_done.load());
    ASSERT_EQ(1u, rec.b.size());
    EXPECT_EQ(12002, rec.b[0].code);
    EXPECT_EQ(le32(3), rec.b[0].payload);
    EXPECT_TRUE(rec.a.empty());
}

// A notice awaits nothing: its reply reaches no callback, and the next
// waiting request on the same connection (which starts the receiving thread
// a notice does not) gets only its own reply.
TEST_F(IpcClient, NoticeStartsNoReceiverAndItsReplyReachesNobody)
{
    daemon.on(7050).reply_int(1);
    cgi_notify_ipc(7050, 0, nullptr);
    ASSERT_TRUE(daemon.wait_replies(1));
    daemon.on(7051).reply_int(2);
    cgi_stop_ipc(cgi_start_ipc(callback_b, 7051, 0, nullptr, 0));
    EXPECT_EQ(1, g_callback_done.load());
    ASSERT_EQ(1u, rec.b.size());
    EXPECT_EQ(le32(2), rec.b[0].payload);
    EXPECT_TRUE(rec.a.empty());
    ASSERT_EQ(2u, daemon.requests().size());
    EXPECT_EQ(daemon.requests()[0].connection, daemon.requests()[1].connection);
}

// A process that sends notice after notice while the daemon answers each with
// a large reply: the answers are read and dropped (none reaches a callback),
// so neither side blocks; a waiting request afterwards gets its own reply.
TEST_F(IpcClient, ManyAnsweredNoticesNeitherBlockNorReachCallbacks)
{
    daemon.on(7052).reply(std::string(16384, 'x'));
    for (int i = 0; i < 200; i++) cgi_notify_ipc(7052, 0, nullptr);
    ASSERT_TRUE(daemon.wait_replies(200));
    daemon.on(7053).reply_int(3);
    cgi_stop_ipc(cgi_start_ipc(callback_b, 7053, 0, nullptr, 0));
    ASSERT_EQ(1u, rec.b.size());
    EXPECT_EQ(le32(3), rec.b[0].payload);
    EXPECT_TRUE(rec.a.empty());
}

TEST_F(IpcClient, NoCallbackAfterStop)
{
    daemon.on(7010).reply_int(1, 20);
    cgi_stop_ipc(cgi_start_ipc(callback_a, 7010, 0, nullptr, 1));
    ASSERT_TRUE(daemon.wait_replies(1));
    round_trip();
    EXPECT_TRUE(rec.a.empty());
}

std::atomic<bool> slow_entered{false}, slow_finished{false};
void slow_callback(int, const void *, const void *)
{
    slow_entered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    slow_finished = true;
}

TEST_F(IpcClient, StopWaitsForARunningCallback)
{
    slow_entered = slow_finished = false;
    daemon.on(7020).reply_int(1);
    cgi_start_ipc(slow_callback, 7020, 0, nullptr, 1);
    while (!slow_entered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    cgi_stop_ipc(0);
    EXPECT_TRUE(slow_finished);
}

TEST_F(IpcClient, SeveralRepliesToOneRequest)
{
    daemon.on(1162).reply("first").empty().reply("third", 5);
    cgi_start_ipc(record_only, 1162, 0, nullptr, 1);
    ASSERT_TRUE(rec.wait_a(3));
    cgi_stop_ipc(0);
    ASSERT_EQ(3u, rec.a.size());
    EXPECT_EQ("first", rec.a[0].payload);
    EXPECT_FALSE(rec.a[1].has_payload); // no payload: a null pointer
    EXPECT_EQ(0, rec.a[1].length);
    EXPECT_EQ("third", rec.a[2].payload);
    for (const auto &d : rec.a) EXPECT_EQ(6162, d.code);
}

TEST_F(IpcClient, EmptyReplyToJsonCallbackEndsInTimeOut)
{
    daemon.on(7030).empty();
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, cgi_request_ipc(json_status_cb, 7030, 0, nullptr, REPLY_JSON));
    EXPECT_EQ("Content-type: application/json\r\n\r\n{status:\"CGI ERROR\"}",
              testing::internal::GetCapturedStdout());
    ASSERT_EQ(1u, rec.a.size()); // the callback ran but did not answer
    EXPECT_FALSE(rec.a[0].has_payload);
}

// A broken frame drops the connection without delivering anything; the next
// request connects again and is answered.
TEST_F(IpcClient, BrokenFramesDropTheConnection)
{
    std::string half_frame;
    {
        uint8_t head[QX_MSG_HEADER_SIZE];
        QxMsgHeader h;
        h.kind = QX_MSG_REPLY;
        h.seq = 1;
        h.code = 12040;
        h.length = 8;
        qx_msg_pack(head, h);
        half_frame.assign(reinterpret_cast<char *>(head), sizeof head);
        half_frame += "1234";
    }
    for (int variant = 0; variant < 3; variant++) {
        SCOPED_TRACE(variant);
        rec.reset();
        FakeScript &s = daemon.on(7040);
        if (variant == 0) s.bad_magic();
        if (variant == 1) s.oversize();
        if (variant == 2) s.garbage(half_frame).hang_up();
        cgi_start_ipc(callback_a, 7040, 0, nullptr, 0);
        EXPECT_EQ(0, g_callback_done.load());
        ASSERT_TRUE(daemon.wait_disconnected());
        const int before = daemon.connections();
        cgi_stop_ipc(0);
        EXPECT_TRUE(rec.a.empty());

        daemon.on(7041).reply_int(5);
        cgi_stop_ipc(cgi_start_ipc(callback_a, 7041, 0, nullptr, 0));
        EXPECT_EQ(1, g_callback_done.load());
        ASSERT_EQ(1u, rec.a.size());
        EXPECT_EQ(12041, rec.a[0].code);
        EXPECT_EQ(before + 1, daemon.connections());
    }
}

// The waiting thread reads the replies itself; a reply of which only a part
// has come when the wait ends is finished by the receiving thread that
// cgi_start_ipc leaves running, and reaches the callback whole.
TEST_F(IpcClient, ReplySplitAcrossTheEndOfTheWaitArrivesWhole)
{
    uint8_t head[QX_MSG_HEADER_SIZE];
    QxMsgHeader h;
    h.kind = QX_MSG_REPLY;
    h.seq = 1; // the first message of this test's connection
    h.code = 12060;
    h.length = 8;
    qx_msg_pack(head, h);
    const std::string frame = std::string(reinterpret_cast<char *>(head), sizeof head) + "12345678";
    daemon.on(7060).garbage(frame.substr(0, 10)).garbage(frame.substr(10, 20), 50).garbage(frame.substr(30), 400);
    cgi_start_ipc(callback_a, 7060, 0, nullptr, 0); // waits 200 ms
    EXPECT_EQ(0, g_callback_done.load());
    ASSERT_TRUE(rec.wait_a(1));
    cgi_stop_ipc(0);
    EXPECT_EQ(12060, rec.a[0].code);
    EXPECT_EQ("12345678", rec.a[0].payload);
    round_trip(); // the connection goes on in step
}

// A callback that sends a fire-and-forget request of its own (an operation
// log record) neither loses its own completion nor disturbs the session.
void nested_callback(int, const void *header, const void *payload)
{
    rec.add(rec.a, header, payload);
    g_callback_done = 1;
    cgi_send_oplog(208, 900);
}

TEST_F(IpcClient, CallbackMaySendItsOwnRequest)
{
    daemon.on(1173).reply("chunk1").reply("chunk2");
    cgi_start_ipc(nested_callback, 1173, 0, nullptr, 0);
    EXPECT_EQ(1, g_callback_done.load());
    ASSERT_TRUE(rec.wait_a(2)); // the second reply still reaches the session
    cgi_stop_ipc(0);
    ASSERT_TRUE(daemon.wait_requests(3));
    EXPECT_EQ((std::vector<int>{1173, 3485, 3485}), daemon.codes());
}

TEST_F(IpcClient, RefusedArgumentsSendNothing)
{
    EXPECT_EQ(-1, cgi_start_ipc(nullptr, 7050, 0, nullptr, 0));
    g_callback_done = 3;
    EXPECT_EQ(0, cgi_start_ipc(callback_a, 7050, 4, nullptr, 0)); // payload missing
    EXPECT_EQ(0, g_callback_done.load());
    cgi_stop_ipc(0);
    EXPECT_EQ(0, cgi_start_ipc(callback_a, 7050, -1, "x", 0));
    cgi_stop_ipc(0);
    // Only the round trip's request reaches the daemon.
    round_trip();
    EXPECT_EQ((std::vector<int>{7999}), daemon.codes());
}

TEST_F(IpcClient, NowaitLeavesTheFlagAlone)
{
    g_callback_done = 2;
    cgi_notify_ipc(7060, 0, nullptr);
    EXPECT_EQ(2, g_callback_done.load());
    ASSERT_TRUE(daemon.wait_requests(1));
}

TEST(IpcClientNoDaemon, GivesUpAndAnswersTheErrorReply)
{
    DeviceRoot root;
    ScopedDeviceRoot use_root(root);
    ScopedEnv scale("NVRWEB_TIME_SCALE", "0.0005"); // 3000 tries 5 us apart, 20 ms wait
    rec.reset();
    g_callback_done = 1;
    EXPECT_EQ(0, cgi_start_ipc(callback_a, 3201, 0, nullptr, 0));
    EXPECT_EQ(0, g_callback_done.load());
    cgi_stop_ipc(0);

    testing::internal::CaptureStdout();
    EXPECT_EQ(0, cgi_request_ipc(callback_a, 9999, 0, nullptr, REPLY_JSON));
    EXPECT_EQ("Content-type: application/json\r\n\r\n{status:\"CGI ERROR\"}",
              testing::internal::GetCapturedStdout());

    // A daemon that comes up later is found by the next request.
    FakeDaemon daemon(root);
    daemon.on(9999).reply_int(0);
    cgi_stop_ipc(cgi_start_ipc(callback_a, 9999, 0, nullptr, 0));
    EXPECT_EQ(1, g_callback_done.load());
}

} // namespace
