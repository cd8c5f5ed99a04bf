// HTTPS certificates (/7080 to /7089): the order record and working
// directory, the switch and the certificate state against the fake daemon,
// the installation of an upload (which takes only a plain file in /tmp and
// runs nothing but the programs it names), and the whole road with the
// simulator, whose certificates and requests OpenSSL's tool must read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "common/records/https_cert.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "tests/support/network_fixture.h"
#include "tests/support/sim_process.h"

namespace {
const char kDb[] = QXDB_PATH;

std::vector<int> codes_of(const std::vector<FakeRequest> &sent)
{
    std::vector<int> out;
    for (const FakeRequest &r : sent) out.push_back(r.code);
    return out;
}

std::string multipart_file(const std::string &filename, const std::string &content)
{
    return "--XyZ\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + filename +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + content + "\r\n--XyZ--\r\n";
}

ProcResult upload(const DeviceRoot &root, const std::string &route, const std::string &filename,
                  const std::string &content, const std::map<std::string, std::string> &env = {})
{
    CgiRequest req;
    req.method = "POST";
    req.route = route;
    req.content_type = "multipart/form-data; boundary=XyZ";
    req.body = multipart_file(filename, content);
    req.env = env;
    return run_cgi(root, req);
}

class CertTest : public NetworkFixture {
protected:
    std::string params_text(int kind, const char *which)
    {
        CertOrderRecord rec{};
        EXPECT_EQ(0, read_ssl_params(kDb, &rec, kind));
        std::string w = which;
        if (w == "country") return FIELD(rec.country);
        if (w == "common_name") return FIELD(rec.common_name);
        if (w == "email") return FIELD(rec.email);
        return FIELD(rec.dates);
    }
};

// ---- Switch and state ----------------------------------------------------------------------

TEST_F(CertTest, SwitchAndStateFollowTheCertificateFile)
{
    CertOrderRecord stored{};
    COPY_TEXT(stored.country, "DE");
    COPY_TEXT(stored.common_name, "nvr.example");
    COPY_TEXT(stored.email, "ops@example.com");
    COPY_TEXT(stored.dates, "2026-01-01 00:00:00 - 2027-01-01 00:00:00");
    struct Step {
        const char *name;
        std::function<void()> before;
        const char *route;
        std::string body;
        std::string answer;
        std::vector<int> codes;
        int https_after;
    } steps[] = {
        {"on without a certificate", nullptr, "/7086", R"({"httpsenable":1})", "NOFILE", {}, 0},
        {"off without a certificate", nullptr, "/7086", R"({"httpsenable":0})", "OK", {IPC_HTTPS_ENABLE}, 0},
        {"2 is refused", nullptr, "/7086", R"({"httpsenable":2})", "", {}, 0},
        {"-1 is refused", nullptr, "/7086", R"({"httpsenable":-1})", "", {}, 0},
        {"text is refused", nullptr, "/7086", R"({"httpsenable":"1"})", "", {}, 0},
        {"missing key", nullptr, "/7086", "{}", "", {}, 0},
        {"not JSON", nullptr, "/7086", "httpsenable=1", "", {}, 0},
        {"no certificate: state", nullptr, "/7081", "", R"({"enable":0,"checkfile":"NOFILE"})", {}, 0},
        {"on with a certificate",
         [&] {
             write_file(SSL_CERT_FILE, "certificate");
             ASSERT_EQ(0, write_ssl_params(kDb, &stored, SSL_PARAMS_CERT));
         },
         "/7086", R"({"httpsenable":1})", "OK", {IPC_HTTPS_ENABLE}, 1},
        {"switch", nullptr, "/7087", "", R"({"enable":1})", {}, 1},
        {"certificate state", nullptr, "/7081", "",
         R"({"enable":1,"checkfile":"OK","country":"DE","common_name":"nvr.example","email":"ops@example.com",)"
         R"("dates":"2026-01-01 00:00:00 - 2027-01-01 00:00:00"})",
         {}, 1},
        {"certificate gone behind the back: switched off",
         [&] { ASSERT_EQ(0, unlink(root.host(SSL_CERT_FILE).c_str())); }, "/7081", "",
         R"({"enable":0,"checkfile":"NOFILE"})", {}, 0},
        {"remove", [&] {
             write_file(SSL_CERT_FILE, "certificate");
             write_file(SSL_REQ_FILE, "request");
             ASSERT_EQ(0, set_param_int(kDb, HTTPS_ENABLE_PARAM, 1));
         },
         "/7085", "", "OK", {IPC_CERT_DELETE, IPC_HTTPS_ENABLE}, 0},
        {"after removal", nullptr, "/7081", "", R"({"enable":0,"checkfile":"NOFILE"})", {}, 0},
        {"no request after removal", nullptr, "/7089", "",
         R"({"checkfile":"NOFILE","country_req":"","common_name_req":"","email_req":""})", {}, 0},
        {"discard the request", nullptr, "/7083", "", "OK", {IPC_CERT_REQ_DELETE}, 0},
        {"no request to download", nullptr, "/7082", "", "NotFile", {}, 0},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        if (s.before) s.before();
        EXPECT_EQ(s.answer, said(post(s.route, s.body)));
        std::vector<FakeRequest> sent = traffic();
        EXPECT_EQ(s.codes, codes_of(sent));
        for (const FakeRequest &f : sent) {
            if (f.code == IPC_HTTPS_ENABLE) {
                EXPECT_EQ(le32(s.https_after), f.payload);
            }
        }
        EXPECT_EQ(s.https_after, get_param_int(kDb, HTTPS_ENABLE_PARAM, 0));
    }
    // The removal emptied the stored subject (single spaces) and both request files.
    EXPECT_EQ(" ", params_text(SSL_PARAMS_CERT, "common_name"));
    EXPECT_EQ(" ", params_text(SSL_PARAMS_CERT, "dates"));
    EXPECT_FALSE(root.exists(SSL_REQ_FILE));
}

TEST_F(CertTest, RequestDownloadIsTheFileAsAnAttachment)
{
    std::string csr(9000, 'r'); // more than two chunks
    csr[0] = '-';
    csr[8999] = '\n';
    write_file(SSL_REQ_FILE, csr);
    ProcResult r = get("/7082");
    EXPECT_EQ("Content-Type:application/octet-stream\r\nContent-Disposition: attachment; filename= ssl_cert.csr\r\n\r\n" +
                  csr,
              r.out);
}

// ---- Order ----------------------------------------------------------------------------------

TEST_F(CertTest, OrderRecordAndWorkingDirectory)
{
    const std::string kFull = R"({"InstallType":0,"Country":"DEU","CommonName":")" + std::string(80, 'c') +
                              R"(","Validity":30,"Password":"0123456789abcdefXYZ","Province":"Berlin","Region":"Mitte",)"
                              R"("Organization":"Example","Company":"Ops","Email":"ops@example.com",)"
                              R"("startTime":"2026-01-01","endTime":"2026-01-31 00:00:00:00:00"})";
    struct Case {
        const char *name;
        std::string body;
        int daemon; // reply to 3316: status, or 99 for none
        std::string answer;
        std::function<void(const CertOrderRecord &)> check;
    } cases[] = {
        {"self-signed", kFull, 0, "OK",
         [](const CertOrderRecord &o) {
             EXPECT_EQ(0, o.install_type);
             EXPECT_EQ("DE", FIELD(o.country));
             EXPECT_EQ(std::string(63, 'c'), FIELD(o.common_name));
             EXPECT_EQ(30, o.validity);
             EXPECT_EQ("0123456789abcde", FIELD(o.password));
             EXPECT_EQ("Berlin", FIELD(o.province));
             EXPECT_EQ("Mitte", FIELD(o.region));
             EXPECT_EQ("Example", FIELD(o.organization));
             EXPECT_EQ("Ops", FIELD(o.company));
             EXPECT_EQ("ops@example.com", FIELD(o.email));
             EXPECT_EQ("2026-01-01", FIELD(o.start_time));
             EXPECT_EQ("2026-01-31 00:0", FIELD(o.end_time));
         }},
        {"request: no validity or times", R"({"InstallType":1,"Country":"FR","CommonName":"10.0.0.5","Validity":30,)"
                                          R"("startTime":"2026-01-01","endTime":"2026-02-01"})",
         0, "OK",
         [](const CertOrderRecord &o) {
             EXPECT_EQ(1, o.install_type);
             EXPECT_EQ("FR", FIELD(o.country));
             EXPECT_EQ(0, o.validity);
             EXPECT_EQ("", FIELD(o.start_time));
             EXPECT_EQ("", FIELD(o.end_time));
         }},
        {"absent and mistyped keys", R"({"Country":7,"Validity":"30"})", 0, "OK",
         [](const CertOrderRecord &o) {
             EXPECT_EQ(bytes_of(CertOrderRecord{}), bytes_of(o));
         }},
        {"daemon failure still answers OK", kFull, -1, "OK", nullptr},
        {"daemon silent", kFull, 99, "CGI ERROR", nullptr},
        {"not JSON", "InstallType=0", 0, "", nullptr},
        {"JSON array", "[0]", 0, "", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write_file(SSL_CA_DIR "/index.txt", "stale entry\n");
        write_file(SSL_CA_DIR "/newcerts/05.pem", "stale");
        write_file(SSL_DIR "/other", "x");
        ASSERT_EQ(0, chmod(root.host(SSL_DIR "/other").c_str(), 0600));
        if (c.daemon == 99) daemon.on(IPC_CERT_CREATE).silent();
        else daemon.on(IPC_CERT_CREATE).reply_int(c.daemon);
        EXPECT_EQ(c.answer, said(post("/7080", c.body)));
        std::vector<FakeRequest> sent = traffic();
        if (c.answer.empty()) {
            EXPECT_TRUE(sent.empty());
            EXPECT_EQ("stale entry\n", root.read(SSL_CA_DIR "/index.txt"));
            continue;
        }
        ASSERT_EQ(std::vector<int>{IPC_CERT_CREATE}, codes_of(sent));
        CertOrderRecord order{};
        ASSERT_TRUE(sent[0].as(&order));
        if (c.check) c.check(order);
        // A fresh working directory, everything in it open to the daemon.
        EXPECT_EQ("", root.read(SSL_CA_DIR "/index.txt"));
        EXPECT_EQ("01\n", root.read(SSL_CA_DIR "/serial"));
        EXPECT_EQ(std::vector<std::string>{}, root.list(SSL_CA_DIR "/newcerts"));
        for (const char *p : {SSL_CA_DIR, SSL_CA_DIR "/serial", SSL_CA_DIR "/newcerts", SSL_DIR "/other"}) {
            struct stat st;
            ASSERT_EQ(0, stat(root.host(p).c_str(), &st)) << p;
            EXPECT_EQ(0777u, st.st_mode & 07777) << p;
        }
    }
}

// ---- Install ----------------------------------------------------------------------------------

// The upload's road: only a plain file directly in /tmp gets to the profile
// tool and into the certificate's place, whatever its name; no text of the
// request ever reaches a shell.
TEST_F(CertTest, InstallTakesOnlyAPlainFileInTmpAndRunsNothingElse)
{
    // Stand-ins on PATH: the profile tool records its arguments; "pwn20"
    // is what the injected texts try to run.
    const std::string bin = root.host("/standin-bin");
    const std::string tool_log = root.host("/qxprofile.log");
    const std::string marker = root.host("/injected");
    write_file("/standin-bin/qxprofile", "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + tool_log + "'\necho >> '" +
                                              tool_log + "'\necho tool output\n");
    write_file("/standin-bin/pwn20", "#!/bin/sh\ntouch '" + marker + "'\n");
    for (const char *tool : {"/qxprofile", "/pwn20"}) ASSERT_EQ(0, chmod((bin + tool).c_str(), 0755));
    env["PATH"] = bin + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
    const std::string pwn = "pwn20";
    write_file("/mnt/nand/app/secret", "secret");
    write_file("/tmp/sub/cert.pem", "nested");
    ASSERT_EQ(0, mkdir(root.host("/tmp/dir.pem").c_str(), 0755));
    ASSERT_EQ(0, symlink(root.host("/mnt/nand/app/secret").c_str(), root.host("/tmp/link.pem").c_str()));

    struct Case {
        const char *name;
        std::string file;    // created in /tmp first ("" = none)
        std::string request; // the request text
        int daemon;          // reply to 3318
        std::string answer;
    } cases[] = {
        {"plain upload", "cert.pem", "/tmp/cert.pem", 1, "OK"},
        {"with a parameter", "cert.pem", "/tmp/cert.pem & " + pwn, 1, "OK"},
        {"daemon refuses", "cert.pem", "/tmp/cert.pem", 0, "Error"},
        {"daemon silent", "cert.pem", "/tmp/cert.pem", 99, "CGI ERROR"},
        {"shell text in the name", "a';" + pwn + ";'.pem", "/tmp/a';" + pwn + ";'.pem", 1, "OK"},
        {"substitution in the name", "$(" + pwn + ")`" + pwn + "`", "/tmp/$(" + pwn + ")`" + pwn + "`", 1,
         "OK"},
        {"quotes around a command", "", "/tmp/x.pem\"; " + pwn + "; \"", 1, "Error"},
        {"escape from /tmp", "", "/tmp/../mnt/nand/app/secret", 1, "Error"},
        {"another directory", "", "/mnt/nand/app/secret", 1, "Error"},
        {"file in a subdirectory", "", "/tmp/sub/cert.pem", 1, "Error"},
        {"directory", "", "/tmp/dir.pem", 1, "Error"},
        {"symbolic link", "", "/tmp/link.pem", 1, "Error"},
        {"the directory itself", "", "/tmp/", 1, "Error"},
        {"dot dot", "", "/tmp/..", 1, "Error"},
        {"missing file", "", "/tmp/none.pem", 1, "Error"},
        {"empty", "", "", 1, "Error"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write_file(SSL_CERT_FILE, "current");
        unlink(root.host(SSL_CERT_SAVE_FILE).c_str());
        unlink(tool_log.c_str());
        if (!c.file.empty()) write_file("/tmp/" + c.file, std::string("signed ") + c.name);
        if (c.daemon == 99) daemon.on(IPC_CERT_INSTALL).silent();
        else daemon.on(IPC_CERT_INSTALL).reply_int(c.daemon);

        EXPECT_EQ(c.answer, said(post("/7084", c.request)));
        const bool taken = !c.file.empty();
        EXPECT_EQ(taken ? std::vector<int>{IPC_CERT_INSTALL} : std::vector<int>{}, codes_of(traffic()));
        EXPECT_EQ(taken ? "signed " + std::string(c.name) : "current", root.read(SSL_CERT_FILE));
        EXPECT_EQ(taken ? "current" : "", root.read(SSL_CERT_SAVE_FILE));
        EXPECT_EQ(taken ? "-i|" + root.host("/tmp/" + c.file) + "|\n" : "", root.read("/qxprofile.log"));
        if (taken) {
            EXPECT_FALSE(root.exists("/tmp/" + c.file));
        }
        EXPECT_FALSE(access(marker.c_str(), F_OK) == 0) << "an injected command ran";
    }
    EXPECT_EQ("secret", root.read("/mnt/nand/app/secret"));
    EXPECT_EQ("nested", root.read("/tmp/sub/cert.pem"));

    // Through the upload intake, with a name the intake keeps.
    daemon.on(IPC_CERT_INSTALL).reply_int(1);
    EXPECT_EQ("OK", said(upload(root, "/7084", "signed.pem", "uploaded", env)));
    EXPECT_EQ("uploaded", root.read(SSL_CERT_FILE));
    const std::vector<std::string> kLeft = {"/tmp/dir.pem", "/tmp/link.pem", "/tmp/sub"};
    EXPECT_EQ(kLeft, root.list("/tmp"));
}

// ---- With the simulator -------------------------------------------------------------------------

class CertSimTest : public ::testing::Test {
protected:
    DeviceRoot root;
    ScopedDeviceRoot scoped{root};
    std::map<std::string, std::string> env{{"NVRWEB_TIME_SCALE", "0.5"}}; // key making takes its time (emulated too)

    void TearDown() override { qxdb_close_all(); }

    ProcResult openssl(const std::vector<std::string> &args)
    {
        std::vector<std::string> argv = {"openssl"};
        argv.insert(argv.end(), args.begin(), args.end());
        return run_program(argv, {{"HOME", root.path()}}, "");
    }
    std::string post(const std::string &route, const std::string &body) { return said(post_json(root, route, body, env)); }
    json_object *get_json(const std::string &route) { return reply_json(post_json(root, route, "", env)); }
};

TEST_F(CertSimTest, CertificatesAndRequestsOfTheSimulatorReadWithOpenSsl)
{
    ASSERT_EQ(0, set_param_int(kDb, HTTPS_ENABLE_PARAM, 0)); // the database the simulator keeps the subjects in
    SimProcess sim(root);
    ASSERT_TRUE(sim.running());
    const std::string cert = root.host(SSL_CERT_FILE);

    // A self-signed certificate.
    ASSERT_EQ("OK", post("/7080", R"({"InstallType":0,"Country":"DE","CommonName":"nvr.example","Validity":30,)"
                                   R"("Organization":"Example","Email":"ops@example.com"})"));
    ProcResult text = openssl({"x509", "-noout", "-text", "-in", cert});
    ASSERT_EQ(0, text.status) << text.err;
    EXPECT_NE(std::string::npos, text.out.find("Subject: C = DE, O = Example, CN = nvr.example, emailAddress = ops@example.com"))
        << text.out;
    EXPECT_NE(std::string::npos, text.out.find("DNS:nvr.example")) << text.out;
    EXPECT_EQ(0, openssl({"x509", "-noout", "-checkend", std::to_string(29 * 86400), "-in", cert}).status);
    EXPECT_NE(0, openssl({"x509", "-noout", "-checkend", std::to_string(31 * 86400), "-in", cert}).status);
    const std::string self_signed = root.read(SSL_CERT_FILE);
    // The server key belongs to it.
    ProcResult cert_key = openssl({"x509", "-noout", "-pubkey", "-in", cert});
    ProcResult server_key = openssl({"pkey", "-pubout", "-in", root.host(SSL_DIR "/ssl_key.pem")});
    EXPECT_EQ(cert_key.out, server_key.out);
    ASSERT_FALSE(cert_key.out.empty());
    json_object *o = get_json("/7081");
    EXPECT_EQ("OK", json_text_at(o, "checkfile"));
    EXPECT_EQ("DE", json_text_at(o, "country"));
    EXPECT_EQ("nvr.example", json_text_at(o, "common_name"));
    EXPECT_EQ(41u, json_text_at(o, "dates").size()); // two times and " - "
    json_object_put(o);
    EXPECT_EQ("OK", post("/7086", R"({"httpsenable":1})"));

    // A request, signed by a certification authority of the test, installed.
    ASSERT_EQ("OK", post("/7080", R"({"InstallType":1,"Country":"FR","CommonName":"10.0.0.5","Email":"x@example.com"})"));
    ProcResult req = openssl({"req", "-noout", "-verify", "-subject", "-in", root.host(SSL_REQ_FILE)});
    ASSERT_EQ(0, req.status) << req.err;
    EXPECT_NE(std::string::npos, req.out.find("CN = 10.0.0.5")) << req.out;
    o = get_json("/7089");
    EXPECT_EQ("OK", json_text_at(o, "checkfile"));
    EXPECT_EQ("10.0.0.5", json_text_at(o, "common_name_req"));
    json_object_put(o);
    ProcResult download = post_json(root, "/7082", "", env);
    EXPECT_EQ(root.read(SSL_REQ_FILE), download.body());

    const std::string ca_key = root.host("/ca.key"), ca = root.host("/ca.pem"), signed_pem = root.host("/signed.pem");
    ASSERT_EQ(0, openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca, "-subj",
                          "/CN=Test CA", "-days", "2"})
                     .status);
    ProcResult sign = openssl({"x509", "-req", "-in", root.host(SSL_REQ_FILE), "-CA", ca, "-CAkey", ca_key,
                               "-set_serial", "7", "-days", "2", "-out", signed_pem});
    ASSERT_EQ(0, sign.status) << sign.err;
    ASSERT_EQ("OK", said(upload(root, "/7084", "signed.pem", root.read("/signed.pem"), env)));
    EXPECT_EQ(self_signed, root.read(SSL_CERT_SAVE_FILE));
    EXPECT_EQ(0, openssl({"verify", "-CAfile", ca, cert}).status);
    o = get_json("/7081");
    EXPECT_EQ("10.0.0.5", json_text_at(o, "common_name"));
    EXPECT_EQ("1", json_text_at(o, "enable"));
    json_object_put(o);
    o = get_json("/7089");
    EXPECT_EQ("NOFILE", json_text_at(o, "checkfile")) << "the request is done";
    json_object_put(o);

    // A certificate of another key is refused and the installed one stays.
    const std::string installed = root.read(SSL_CERT_FILE);
    EXPECT_EQ("Error", said(upload(root, "/7084", "other.pem", root.read("/ca.pem"), env)));
    EXPECT_EQ(installed, root.read(SSL_CERT_FILE));

    // Removed.
    EXPECT_EQ("OK", post("/7085", ""));
    o = get_json("/7081");
    EXPECT_EQ("NOFILE", json_text_at(o, "checkfile"));
    EXPECT_EQ("0", json_text_at(o, "enable"));
    json_object_put(o);
    EXPECT_FALSE(root.exists(SSL_CERT_FILE));
}

} // namespace
