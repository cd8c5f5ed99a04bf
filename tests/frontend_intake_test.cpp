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

TEST(FrontendGet, JsonCharactersDecodedNothingElse)
{
    DeviceRoot root;
    ProcResult r = get(root, "/0001", "{%22id%22:1,%22a%22:%22x%20y%22}");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("{\"id\":1,\"a\":\"x%20y\"}", echoed_text(r));
    // Web servers re-encode what JSON is written with; either case of hex.
    struct Row {
        const char *query, *text;
    };
    const Row rows[] = {
        {"%7B%22chn%22%3A0%7D", "{\"chn\":0}"},
        {"%7b%22a%22%3a%5B1%2C2%5d%7d", "{\"a\":[1,2]}"},
        {"%7B%22p%22:%22c%5C%5Cd%22%7D", "{\"p\":\"c\\\\d\"}"},
        {"%20%41%2F%25%3D%26", "%20%41%2F%25%3D%26"}, // other escapes stay
        {"%7", "%7"},
        {"%%7B", "%{"},
        {"%G7%7X", "%G7%7X"},
        {"%00%22", "%00\""},
    };
    for (const Row &row : rows) EXPECT_EQ(row.text, echoed_text(get(root, "/0001", row.query))) << row.query;
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
        EXPECT_EQ("Status: 404 Not Found\r\nContent-type: text/plain\r\n\r\nno such route\n", r.out) << route;
    }
}

TEST(FrontendMethod, UnusableRequestsGetAStatusAndRunNoHandler)
{
    DeviceRoot root;
    for (const char *method : {"PUT", "HEAD", "DELETE", ""}) {
        CgiRequest req;
        req.method = method;
        req.route = "/0001";
        req.body = "{}";
        ProcResult r = run_cgi(root, req, kEcho);
        EXPECT_EQ(0, r.status) << method;
        EXPECT_EQ("Status: 405 Method Not Allowed\r\nAllow: GET, POST\r\nContent-type: text/plain\r\n\r\n"
                  "method not allowed\n", r.out) << method;
    }
    for (const char *type : {"text/plain", ""})
        EXPECT_EQ(0u, post(root, "/0001", type, "{}").out.find("Status: 415 Unsupported Media Type\r\n")) << type;

    // A chunked body without a length; a length over the limit.
    CgiRequest chunked;
    chunked.method = "POST";
    chunked.route = "/0001";
    chunked.content_type = "application/json";
    chunked.body = "{}";
    chunked.set_content_length = false;
    chunked.env["HTTP_TRANSFER_ENCODING"] = "chunked";
    EXPECT_EQ(0u, run_cgi(root, chunked, kEcho).out.find("Status: 411 Length Required\r\n"));
    chunked.env["CONTENT_LENGTH"] = "2";
    EXPECT_EQ("{}", echoed_text(run_cgi(root, chunked, kEcho)));
    EXPECT_EQ(0u, post(root, "/0001", "application/json", std::string(30720, 'x')).out.find("Status: 413 "));
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

    std::string big(30719, 'x');
    EXPECT_EQ(big, echoed_text(post(root, "/0001", "application/json", big)));
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
