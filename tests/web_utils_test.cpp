// Shared services: replies, cookies, user name, shell quoting, file helpers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "platform/device_path.h"
#include "common/web_utils.h"
#include "platform/qx_std.h"
#include "frontend/cgi.h"
#include "tests/support/harness.h"

namespace {

// Captures what a function writes to standard output.
template <typename F> std::string capture_stdout(F f)
{
    fflush(stdout);
    char path[] = "/tmp/nvrweb-stdout-XXXXXX";
    int fd = mkstemp(path);
    int saved = dup(1);
    dup2(fd, 1);
    f();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    lseek(fd, 0, SEEK_SET);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    close(fd);
    unlink(path);
    return out;
}

// Points NVRWEB_ROOT at a fresh device root for in-process calls.
struct InProcessRoot {
    DeviceRoot root;
    InProcessRoot()
    {
        setenv("NVRWEB_ROOT", root.path().c_str(), 1);
        nvr_root_reset_for_tests();
    }
    ~InProcessRoot()
    {
        unsetenv("NVRWEB_ROOT");
        nvr_root_reset_for_tests();
    }
};

TEST(WebUtilsReply, KindsAndHeaders)
{
    EXPECT_EQ("Content-type: text/plain\r\n\r\nOK", capture_stdout([] { cgi_writeback_webserver(0, "OK"); }));
    EXPECT_EQ("Content-type: application/json\r\n\r\n{}",
              capture_stdout([] { cgi_writeback_webserver(1, "{}"); }));
    EXPECT_EQ("raw", capture_stdout([] { cgi_writeback_webserver(2, "raw"); }));
    EXPECT_EQ("", capture_stdout([] { EXPECT_EQ(-1, cgi_writeback_webserver(0, nullptr)); }));
    EXPECT_EQ("Content-type: text/plain\r\n\r\nCGI ERROR", capture_stdout([] { cgi_error_to_webserver(0); }));
    EXPECT_EQ("Content-type: application/json\r\n\r\n{status:\"CGI ERROR\"}",
              capture_stdout([] { cgi_error_to_webserver(1); }));
    EXPECT_EQ("", capture_stdout([] { cgi_error_to_webserver(5); }));
}

TEST(WebUtilsOpLog, UserNameFromCookieStaysInsideItsField)
{
    static char cookie1[] = "lang=en; userName=admin; sid=42";
    static char cookie2[] = "sid=1; userName=admin";
    static char cookie3[] = "lang=en";
    static char cookie4[] = "userName=a=b;x";
    char buf[16];
    web_set_request(cookie1, nullptr);
    ASSERT_EQ(0, get_current_username(buf, sizeof buf));
    EXPECT_STREQ("admin", buf);
    web_set_request(cookie2, nullptr);
    ASSERT_EQ(0, get_current_username(buf, sizeof buf));
    EXPECT_STREQ("admin", buf);
    web_set_request(cookie4, nullptr);
    ASSERT_EQ(0, get_current_username(buf, sizeof buf));
    EXPECT_STREQ("b", buf);
    // The cookie's name must be exactly "userName".
    static char cookie5[] = "xuserName=evil; userNameX=worse;userName=bob";
    web_set_request(cookie5, nullptr);
    ASSERT_EQ(0, get_current_username(buf, sizeof buf));
    EXPECT_STREQ("bob", buf);
    static char cookie6[] = "xuserName=evil";
    web_set_request(cookie6, nullptr);
    strcpy(buf, "untouched");
    EXPECT_EQ(-1, get_current_username(buf, sizeof buf));
    strcpy(buf, "untouched");
    web_set_request(cookie3, nullptr);
    EXPECT_EQ(-1, get_current_username(buf, sizeof buf));
    EXPECT_STREQ("untouched", buf);

    std::string longer = "userName=" + std::string(5000, 'u');
    char addr[] = "10.0.0.7";
    web_set_request(&longer[0], addr);
    OpLogRecord rec;
    memset(&rec, 0xAA, sizeof rec);
    ASSERT_EQ(0, cgi_init_log_info(&rec));
    EXPECT_EQ(4, rec.main_type);
    EXPECT_EQ(1, rec.one);
    EXPECT_EQ(0, rec.sub_type);
    EXPECT_STREQ("10.0.0.7", rec.client_addr);
    EXPECT_EQ(sizeof rec.user_name - 1, strlen(rec.user_name));
    for (unsigned char b : rec.reserved2) ASSERT_EQ(0, b);
    EXPECT_EQ(-1, cgi_init_log_info(nullptr));
    web_set_request(cookie3, nullptr);
}

TEST(WebUtilsShell, QuotingNeutralisesMetacharacters)
{
    InProcessRoot r;
    const char *names[] = {"a;touch PWNED1", "$(touch PWNED2)", "`touch PWNED3`", "q\"uo'te",
                           "sp ace", "new\nline;touch PWNED4", "-rf"};
    for (const char *n : names) {
        std::string dev = std::string("/tmp/") + n;
        r.root.write(dev, "x");
        ASSERT_TRUE(r.root.exists(dev));
        EXPECT_EQ(0, DeleteFile(dev.c_str()));
        EXPECT_FALSE(r.root.exists(dev)) << n;
    }
    r.root.write("/tmp/from 'x'", "moved");
    EXPECT_EQ(0, RemoveFile("/tmp/from 'x'", "/tmp/to;$(touch PWNED5)"));
    EXPECT_EQ("moved", r.root.read("/tmp/to;$(touch PWNED5)"));
    for (int i = 1; i <= 5; i++) {
        std::string marker = "PWNED" + std::to_string(i);
        EXPECT_NE(0, access(marker.c_str(), F_OK)) << marker;
        EXPECT_NE(0, access((r.root.path() + "/tmp/" + marker).c_str(), F_OK)) << marker;
    }
}

TEST(WebUtilsShell, OverlongCommandsAreRefusedNotCut)
{
    char out[32];
    EXPECT_EQ(-1, shell_format(out, sizeof out, "/bin/rm %s", "/tmp/a-name-that-is-too-long-for-it"));
    EXPECT_STREQ("", out);
    EXPECT_EQ(16, shell_format(out, sizeof out, "/bin/rm %s", "a'b"));
    EXPECT_STREQ("/bin/rm 'a'\\''b'", out);
    EXPECT_GT(shell_format(out, sizeof out, "x %d %ld %u%%", -3, 4L, 5u), 0);
    EXPECT_STREQ("x -3 4 5%", out);
    EXPECT_EQ(-1, shell_format(out, sizeof out, "%x", 3));

    InProcessRoot r;
    std::string name = "/tmp/" + std::string(300, 'a');
    std::string name2 = "/tmp/" + std::string(230, 'b');
    r.root.write(name2, "keep");
    // mv with two long paths would not fit in the 511-character command.
    EXPECT_EQ(0, RemoveFile(name2.c_str(), (name2 + "c").c_str()));
    EXPECT_EQ("keep", r.root.read(name2));
}

TEST(WebUtilsSystem, ExitStatusAndFiles)
{
    EXPECT_EQ(0, web_system("exit 0"));
    EXPECT_EQ(-1, web_system("exit 1"));
    EXPECT_EQ(-1, web_system("kill -9 $$"));
    EXPECT_EQ(-1, web_system(nullptr));

    InProcessRoot r;
    EXPECT_EQ(0, IsDirExisted("/tmp"));
    EXPECT_EQ(-1, IsDirExisted(""));
    EXPECT_EQ(-1, IsFileExisted("/tmp/nothing"));
    ASSERT_EQ(0, qx_wirte_file_data("/tmp/f.bin", "a\0b", 3));
    EXPECT_EQ(0, IsFileExisted("/tmp/f.bin"));
    EXPECT_EQ(-1, IsDirExisted("/tmp/f.bin"));
    int len = -1;
    char *data = qx_get_file_data("/tmp/f.bin", &len);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(3, len);
    EXPECT_EQ(0, memcmp(data, "a\0b", 3));
    __qx_free(data, "test", 0);
    EXPECT_EQ(nullptr, qx_get_file_data("/tmp/missing", &len));
    EXPECT_EQ(0, len);
    EXPECT_EQ(-1, qx_wirte_file_data("/no/such/dir/f", "x", 1));

    int fd = file_lock("/tmp/cgilockfile");
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(r.root.exists("/tmp/cgilockfile"));
    EXPECT_EQ(0, file_unlock(fd));
    EXPECT_EQ(-1, file_unlock(-1));
    EXPECT_EQ(-1, file_lock(nullptr));
}

TEST(WebUtilsJson, TypedReaderTreatsWrongTypesAsMissing)
{
    JsonDoc doc("{\"i\":5,\"s\":\"txt\",\"a\":[1,2],\"wrong\":\"7\",\"n\":null}");
    ASSERT_TRUE(doc);
    static const JsonPolicy policy[] = {
        {"i", JK_INT}, {"s", JK_STRING}, {"a", JK_ARRAY}, {"wrong", JK_INT}, {"n", JK_ARRAY}, {"gone", JK_INT}};
    json_object *tb[6];
    EXPECT_EQ(3, JSON_PARSE(doc.get(), policy, tb));
    EXPECT_EQ(5, jv_int(tb[0]));
    EXPECT_STREQ("txt", jv_str(tb[1]));
    EXPECT_EQ(2u, jv_len(tb[2]));
    EXPECT_EQ(nullptr, tb[3]);
    EXPECT_EQ(0u, jv_len(tb[4]));
    EXPECT_EQ(nullptr, jv_at(tb[4], 0));
    EXPECT_EQ(-9, jv_int(tb[5], -9));
    char field[4] = "old";
    EXPECT_FALSE(jv_copy(tb[3], field, sizeof field));
    EXPECT_STREQ("old", field);
    EXPECT_TRUE(jv_copy(tb[1], field, sizeof field));
    EXPECT_STREQ("txt", field);

    JsonDoc arr("[1,2]");
    EXPECT_EQ(-1, JSON_PARSE(arr.get(), policy, tb));
    EXPECT_FALSE(JsonDoc("{bad json"));
    int v = 0;
    EXPECT_EQ(0, on_cgi_get_value_by_json("{\"k\":12}", "k", &v));
    EXPECT_EQ(12, v);
    EXPECT_EQ(-1, on_cgi_get_value_by_json("{\"k\":12}", "x", &v));
    EXPECT_EQ(-1, on_cgi_get_value_by_json("nope", "k", &v));
    for (int t = 10; t <= 15; t++) EXPECT_EQ(t >= 11 && t <= 14 ? 1 : 0, on_cgi_is_qx_lpr(t));
}

TEST(WebUtilsMac, MissingInterfaceGivesDefault)
{
    char eth0[18], eth1[18];
    EXPECT_EQ(0, get_mac_addr(eth0, eth1));
    EXPECT_EQ(17u, strlen(eth0));
    EXPECT_EQ(17u, strlen(eth1));
}

TEST(WebUtilsHeaders, CookieExpiryAndLocation)
{
    std::string out = capture_stdout([] {
        cgiOut = stdout;
        cgiHeaderCookieSetString("userName", "temp", 3600, "/", "10.1.1.1");
        cgiHeaderLocation("../../html/index.html");
    });
    time_t when = time(nullptr) + 3600;
    struct tm g;
    gmtime_r(&when, &g);
    char hour[8];
    snprintf(hour, sizeof hour, " %02d:", g.tm_hour);
    EXPECT_EQ(0u, out.find("Set-Cookie: userName=temp; domain=10.1.1.1; expires="));
    EXPECT_NE(std::string::npos, out.find(hour)) << out;
    EXPECT_NE(std::string::npos, out.find(" GMT; path=/\r\nLocation: ../../html/index.html\r\n\r\n"));
}

TEST(WebUtilsLog, LinesAreAppendedWithPrefix)
{
    InProcessRoot r;
    r.root.write("/mnt/nand/.keep", "");
    EXPECT_EQ(0, cgi_log("dispatchreq", 62, "", "hello %d", 7));
    EXPECT_EQ(0, cgi_log("web_utils", 1, "fn", "%s", std::string(5000, 'z').c_str()));
    std::string log = r.root.read("/mnt/nand/cgi_log.txt");
    EXPECT_EQ(0u, log.find("[vexor debug] "));
    EXPECT_NE(std::string::npos, log.find("  dispatchreq:62 in : hello 7\n"));
    size_t second = log.find('\n') + 1;
    EXPECT_EQ(2048u, log.size() - second);
}

} // namespace
