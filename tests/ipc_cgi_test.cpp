// The daemon client inside a CGI process (the echo module's /0003 and /0004
// routes) against the fake daemon.
#include <gtest/gtest.h>

#include <chrono>

#include "common/records/oplog.h"
#include "tests/support/fake_daemon.h"

namespace {

ProcResult echo_cgi(const DeviceRoot &root, const std::string &route, const std::string &body,
                    std::map<std::string, std::string> env = {})
{
    CgiRequest req;
    req.method = "POST";
    req.route = route;
    req.content_type = "application/json";
    req.body = body;
    req.env = std::move(env);
    return run_cgi(root, req, "nvrweb-echo.cgi");
}

TEST(IpcCgi, WaitingRequestAnsweredByCallback)
{
    DeviceRoot root;
    FakeDaemon daemon(root);
    daemon.on(3201).reply_int(7);
    ProcResult r = echo_cgi(root, "/0003", "3201");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("Content-type: application/json\r\n\r\n{\"status\":7}", r.out);
    auto reqs = daemon.requests();
    ASSERT_EQ(1u, reqs.size());
    EXPECT_EQ(3201, reqs[0].code);
    EXPECT_EQ("3201", reqs[0].payload);
}

TEST(IpcCgi, SilentOrAbsentDaemonGivesOneErrorReply)
{
    const std::string error = "Content-type: application/json\r\n\r\n{status:\"CGI ERROR\"}";
    DeviceRoot root;
    {
        FakeDaemon daemon(root);
        daemon.on(9999).silent();
        ProcResult r = echo_cgi(root, "/0003", "9999", {{"NVRWEB_TIME_SCALE", "0.001"}});
        EXPECT_EQ(0, r.status);
        EXPECT_EQ(error, r.out);
        EXPECT_EQ(1u, daemon.count());
    }
    ProcResult r = echo_cgi(root, "/0003", "9999", {{"NVRWEB_TIME_SCALE", "0.0002"}});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(error, r.out);
}

TEST(IpcCgi, DaemonDownCostsOneRetryBudgetPerRequest)
{
    // Scaled by 0.1 the budget is 300 ms for the whole request; retrying
    // each send for its own 3000 tries took 3 s per send (12 s for /6012,
    // which sends four notices before it answers) and a waiting request went
    // on to wait its full bound after a send that never went out.
    const std::map<std::string, std::string> env = {{"NVRWEB_TIME_SCALE", "0.1"}};
    struct Case {
        const char *route, *body, *answer;
    } cases[] = {
        {"/6012", "{\"camId\":3,\"enable\":1,\"sensitivity\":40,\"triChannels\":\"01\",\"triAlarms\":1,"
                  "\"interval\":10,\"motionTable\":\"ff\",\"enableQX\":0}", "OK"},
        {"/2001", "{}", "{status:\"CGI ERROR\"}"},
        {"/6098", "{\"id\":0}", "CGI ERROR"},
    };
    for (const Case &c : cases) {
        DeviceRoot root;
        const auto start = std::chrono::steady_clock::now();
        ProcResult r = post_json(root, c.route, c.body, env);
        const auto took_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
        EXPECT_EQ(c.answer, r.body()) << c.route;
        EXPECT_LT(took_ms, 3000) << c.route;
    }
}

TEST(IpcCgi, SetterAnswersThenSendsOperationLog)
{
    DeviceRoot root;
    FakeDaemon daemon(root);
    std::map<std::string, std::string> env = {{"HTTP_COOKIE", "lang=en; userName=admin; sid=42"}};
    ProcResult r = echo_cgi(root, "/0004", "204 909 3", env);
    EXPECT_EQ("Content-type: text/plain\r\n\r\nOK", r.out);
    // Order holds within a process only: wait before the next one.
    ASSERT_TRUE(daemon.wait_requests(1));
    r = echo_cgi(root, "/0004", "206 904 1 9223372036854775809", env);
    EXPECT_EQ("Content-type: text/plain\r\n\r\nOK", r.out);

    ASSERT_TRUE(daemon.wait_requests(2));
    auto reqs = daemon.requests();
    OpLogRecord plain;
    ASSERT_TRUE(reqs[0].as(&plain));
    EXPECT_EQ(204, plain.sub_type);
    EXPECT_EQ(909, plain.param_type);
    EXPECT_EQ(3, plain.object_no);
    EXPECT_STREQ("192.168.1.20", plain.client_addr);
    EXPECT_STREQ("admin", plain.user_name);
    OpLogMaskRecord masked;
    ASSERT_EQ(IPC_OPLOG_MASK, reqs[1].code);
    ASSERT_TRUE(reqs[1].as(&masked));
    EXPECT_EQ(206, masked.log.sub_type);
    EXPECT_EQ(1u, masked.mask_lo);
    EXPECT_EQ(0x80000000u, masked.mask_hi);
    // One connection per process.
    EXPECT_NE(reqs[0].connection, reqs[1].connection);
}

} // namespace
