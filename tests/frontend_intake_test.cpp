// End-to-end tests of the CGI front end: a child process per request, run
// against the echo CGI (whose handlers print what they were handed).
#include <gtest/gtest.h>

#include <ctime>

#include "tests/support/harness.h"

namespace {

const char *kEcho = "nvrweb-echo.cgi";

ProcResult get(const DeviceRoot &root, const std::string &route, const std::string &query)
{
    CgiRequest req;
    req.route = route;
    req.query = query;
    return run_cgi(root, req, kEcho);
}

ProcResult post(const DeviceRoot &root, const std::string &route, const std::string &type,
                const std::string &body)
{
    CgiRequest req;
    req.method = "POST";
    req.route = route;
    req.content_type = type;
    req.body = body;
    return run_cgi(root, req, kEcho);
}

std::string echoed_text(const ProcResult &r)
{
    std::string b = r.body();
    size_t p = b.find("len=");
    p = b.find('\n', p);
    return p == std::string::npos ? std::string() : b.substr(p + 1);
}

TEST(FrontendGet, QuotesRestoredNothingElseDecoded)
{
    DeviceRoot root;
    ProcResult r = get(root, "/0001", "{%22id%22:1,%22a%22:%22x%20y%22}");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("{\"id\":1,\"a\":\"x%20y\"}", echoed_text(r));
    EXPECT_NE(std::string::npos, r.headers().find("Content-type: text/plain"));

    // The query copy holds at most 1023 characters.
    r = get(root, "/0001", std::string(3000, 'q'));
    EXPECT_EQ(std::string(1023, 'q'), echoed_text(r));
}

TEST(FrontendGet, RoutesMatchWholeTextsOnly)
{
    DeviceRoot root;
    EXPECT_NE("", get(root, "/vb.htm", "a=1").out);
    for (const char *route : {"", "/0001x", "/0001/", "/9999", "/0001?x=1"}) {
        ProcResult r = get(root, route, "a=1");
        EXPECT_EQ(0, r.status) << route;
        EXPECT_EQ("", r.out) << route;
    }
}

TEST(FrontendMethod, UnsupportedMethodsAndTypesWriteNothing)
{
    DeviceRoot root;
    for (const char *method : {"PUT", "HEAD", "DELETE", ""}) {
        CgiRequest req;
        req.method = method;
        req.route = "/0001";
        req.body = "{}";
        ProcResult r = run_cgi(root, req, kEcho);
        EXPECT_EQ(0, r.status) << method;
        EXPECT_EQ("", r.out) << method;
    }
    EXPECT_EQ("", post(root, "/0001", "text/plain", "{}").out);
    EXPECT_EQ("", post(root, "/0001", "", "{}").out);
}

TEST(FrontendPost, ContentTypeParametersAndCase)
{
    DeviceRoot root;
    EXPECT_EQ("{\"a\":1}", echoed_text(post(root, "/0001", "Application/JSON; charset=utf-8", "{\"a\":1}")));
    EXPECT_EQ("a=1&b=2", echoed_text(post(root, "/0001", "application/x-www-form-urlencoded", "a=1&b=2")));
}

TEST(FrontendPost, BodyCutAt128LinesAnd30719Characters)
{
    DeviceRoot root;
    std::string lines, first128;
    for (int i = 0; i < 200; i++) {
        std::string l = "line" + std::to_string(i) + "\n";
        lines += l;
        if (i < 128) first128 += l;
    }
    EXPECT_EQ(first128, echoed_text(post(root, "/0001", "application/json", lines)));

    std::string big(40000, 'x');
    EXPECT_EQ(std::string(30719, 'x'), echoed_text(post(root, "/0001", "application/json", big)));
}

TEST(FrontendPost, ContentLengthIsNotConsultedAndBadValuesAreHarmless)
{
    DeviceRoot root;
    for (const char *len : {"-5", "abc", "", "99999999999999"}) {
        CgiRequest req;
        req.method = "POST";
        req.route = "/0001";
        req.content_type = "application/json";
        req.body = "{\"k\":2}";
        req.set_content_length = false;
        req.env["CONTENT_LENGTH"] = len;
        EXPECT_EQ("{\"k\":2}", echoed_text(run_cgi(root, req, kEcho))) << len;
    }
}

} // namespace
