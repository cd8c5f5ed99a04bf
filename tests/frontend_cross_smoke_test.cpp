// Smoke test of the built front end through the harness: the same requests
// run against the native build and, with NVRWEB_TEST_BIN_DIR and
// NVRWEB_TEST_WRAPPER set (scripts/arm.sh test), against the ARM build under
// an emulator. Uses nvrweb-echo.cgi, whose handlers echo the request text.
#include <gtest/gtest.h>

#include "tests/support/harness.h"

namespace {

ProcResult echo_request(const DeviceRoot &root, const CgiRequest &req)
{
    return run_cgi(root, req, "nvrweb-echo.cgi");
}

ProcResult echo_get(const DeviceRoot &root, const std::string &route, const std::string &query)
{
    CgiRequest req;
    req.route = route;
    req.query = query;
    return echo_request(root, req);
}

TEST(FrontendCrossSmoke, GetAndPostReachTheHandler)
{
    DeviceRoot root;

    ProcResult r = echo_get(root, "/0001", "%7B%22chn%22:3,%22name%22:%22a%22%7D");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("Content-type: text/plain\r\n", r.headers());
    const std::string text = "{\"chn\":3,\"name\":\"a\"}";
    EXPECT_EQ("route=/0001\nlen=" + std::to_string(text.size()) + "\n" + text, r.body());

    // A multi-line JSON body arrives whole on standard input.
    CgiRequest post;
    post.method = "POST";
    post.route = "/0001";
    post.content_type = "application/json";
    post.body = "{\"a\": 1,\n \"b\": [1, 2]}\n";
    r = echo_request(root, post);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("route=/0001\nlen=" + std::to_string(post.body.size()) + "\n" + post.body, r.body());
}

TEST(FrontendCrossSmoke, UnknownRouteAnswersNotFound)
{
    DeviceRoot root;
    ProcResult r = echo_get(root, "/9999", "x");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(0u, r.out.find("Status: 404 Not Found\r\n"));
}

} // namespace
