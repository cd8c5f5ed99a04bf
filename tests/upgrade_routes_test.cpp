// Firmware upgrade routes end to end (daemon answers, staging files, restart
// after success), the OEM package (Base64, AES-CBC, unzip) and the platform
// decoding functions; the simulator runs an upgrade to its end.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

#include "common/records/system_info.h"
#include "common/records/upgrade.h"
#include "platform/qx_base64.h"
#include "platform/qx_crypto.h"
#include "tests/support/abuse.h"
#include "tests/support/sim_process.h"
#include "tests/support/system_fixture.h"

namespace {

const char kJsonError[] = "{status:\"CGI ERROR\"}";
enum { LOG = IPC_OPLOG };

class FirmwareUpgradeTest : public SystemFixture {};

TEST_F(FirmwareUpgradeTest, DeviceUpgradeRunsAndRestartsOnSuccessOnly)
{
    const struct {
        const char *route, *query;
        std::function<void(FakeScript &)> daemon_answer;
        const char *answer;
        int32_t reset;
        std::vector<int> codes;
    } cases[] = {
        {"/1010", "reset=1", [](FakeScript &s) { s.reply_int(0); }, "OK", 1, {LOG, 1713, LOG, 1703}},
        {"/1010", "x=1", [](FakeScript &s) { s.reply_int(1); }, "OK", 0, {LOG, 1713, LOG, 1703}},
        {"/1010", "a=1&reset", [](FakeScript &s) { s.reply_int(0); }, "OK", 1, {LOG, 1713, LOG, 1703}},
        {"/1010", "reset=0&a=1", [](FakeScript &s) { s.reply_int(0); }, "OK", 0, {LOG, 1713, LOG, 1703}},
        {"/1010", "", [](FakeScript &s) { s.reply_int(-2); }, "-2", 0, {LOG, 1713}},
        {"/1010", "", [](FakeScript &s) { s.silent(); }, "0", 0, {LOG, 1713}},
        {"/1010", "", [](FakeScript &s) { s.empty(); }, "0", 0, {LOG, 1713}},
        {"/6088", "", [](FakeScript &s) { s.reply_int(0); }, "{\"res\":0}", 0, {1721, LOG, 1713, LOG, 1703}},
        {"/6088", "", [](FakeScript &s) { s.reply_int(-3); }, "{\"res\":-3}", 0, {1721, LOG, 1713}},
        // A time-out is no success: the error reply and no restart.
        {"/6088", "", [](FakeScript &s) { s.silent(); }, kJsonError, 0, {1721, LOG, 1713}},
    };
    for (const auto &c : cases) {
        daemon.clear();
        c.daemon_answer(daemon.on(IPC_FIRMWARE_RUN));
        ProcResult r = !strcmp(c.route, "/1010") ? upload("/1010", "fw.bin", "FIRMWARE", c.query)
                                                 : post(c.route, "", {{"NVRWEB_TIME_SCALE", "0.0005"}});
        EXPECT_EQ(c.answer, r.body()) << c.route << " " << c.query;
        std::vector<FakeRequest> sent = traffic();
        std::vector<int> got;
        for (const FakeRequest &q : sent) {
            got.push_back(q.code);
            if (q.code == IPC_FIRMWARE_RUN) {
                EXPECT_EQ(le32(c.reset), q.payload) << c.query;
            }
        }
        EXPECT_EQ(c.codes, got) << c.route << " " << c.answer;
        std::vector<int> subs = oplog_subtypes(sent);
        EXPECT_EQ(203, subs.empty() ? 0 : subs[0]) << c.route;
        EXPECT_EQ(got.back() == 1703 ? 2u : 1u, subs.size()) << c.route;
    }
}

TEST_F(FirmwareUpgradeTest, StagingFilesAndOnlineRequests)
{
    FirmwareCheckRecord check{};
    check.state = 1;
    check.file_size = 1234;
    strcpy(check.softversion, "7x.7.1.0");
    memset(check.url, 'u', sizeof check.url); // no terminating zero
    strcpy(check.description, "fixes");
    daemon.on(IPC_FIRMWARE_CHECK).reply_record(check);
    daemon.on(IPC_FIRMWARE_DOWNLOAD).reply_int(5);
    daemon.on(IPC_FIRMWARE_DISCARD).reply_int(7);
    const std::string check_answer = "{\"state\":1,\"fileSize\":1234,\"softversion\":\"7x.7.1.0\",\"url\":\"" +
                                     std::string(128, 'u') + "\",\"description\":\"fixes\"}";
    const struct {
        const char *route, *body, *answer;
        std::vector<int> codes;
    } cases[] = {
        {"/1034", "", "{\"res\":0}", {1721}},
        {"/6087", "", check_answer.c_str(), {1715}},
        {"/6085", "{\"type\":0,\"url\":\"http://fw.example/a.bin\"}", "{\"res\":5}", {1721, 1716}},
        {"/6085", "{\"type\":2,\"url\":\"http://fw.example/a.bin\"}", kJsonError, {}},
        {"/6085", "{\"type\":1}", kJsonError, {}},
        {"/6086", "{\"type\":1}", "{\"res\":7}", {1717}},
        {"/6086", "{\"type\":3}", kJsonError, {}},
        {"/6086", "{\"type\":0}", "{\"res\":0}", {}},
        {"/6084", "", "OK", {3351}},
        {"/dw.cgi", "", "NG download", {}},
    };
    root.write(FIRMWARE_STAGING_DEVICE, "FW");
    root.write(FIRMWARE_STAGING_CAMERA, "IPCFW");
    EXPECT_EQ("Error", get("/1011").body());
    EXPECT_EQ("OK", get("/6082").body());
    for (const auto &c : cases) {
        daemon.clear();
        EXPECT_EQ(c.answer, post(c.route, c.body).body()) << c.route << c.body;
        EXPECT_EQ(c.codes, codes()) << c.route << c.body;
    }
    // /6086 type 0 removed the device firmware, /6084 the camera firmware.
    EXPECT_EQ("OK", get("/1011").body());
    EXPECT_EQ("Error", get("/6082").body());
    EXPECT_FALSE(root.exists(FIRMWARE_STAGING_CAMERA));

    // The download request names the staging file of its type.
    daemon.clear();
    post("/6085", "{\"type\":1,\"url\":\"" + std::string(200, 'w') + "\"}");
    std::vector<FakeRequest> sent = traffic();
    ASSERT_EQ(2u, sent.size());
    OnlineDownloadRequest req;
    ASSERT_TRUE(sent[1].as(&req));
    EXPECT_EQ(std::string(127, 'w'), req.url);
    EXPECT_STREQ(FIRMWARE_STAGING_CAMERA, req.path);

    // No answer in time: the text error reply.
    daemon.on(IPC_FIRMWARE_CHECK).silent();
    EXPECT_EQ("CGI ERROR", post("/6087", "").body());
    daemon.on(IPC_FIRMWARE_CHECK).empty();
    EXPECT_EQ(kJsonError, post("/6087", "").body());
}

TEST_F(FirmwareUpgradeTest, CameraCheckAndUpgrade)
{
    std::string records;
    for (int ch = 0; ch < UPGRADE_CAMERA_CHANNELS; ch++) {
        FirmwareCheckRecord r{};
        r.state = ch;
        records += bytes_of(r);
    }
    const std::string entry0 = "{\"state\":0,\"fileSize\":0,\"softversion\":\"\",\"url\":\"\",\"description\":\"\"}";
    const struct {
        std::string body;
        std::string reply; // payload of 8365
        uint64_t mask;     // sent; 0: nothing sent
        std::string answer_start;
        size_t entries;
    } cases[] = {
        {"{\"ch\":\"1101\"}", records, 0xbULL, "{\"check\":[" + entry0 + ",", 64},
        {"{\"ch\":\"1x1\"}", records, 1ULL, "{\"check\":[", 64},
        {"{\"ch\":\"" + std::string(64, '1') + "\"}", records, ~0ULL, "{\"check\":[", 64},
        // A short reply gives the records it holds, never more.
        {"{\"ch\":\"1\"}", records.substr(0, 3 * 328 + 100), 1ULL, "{\"check\":[", 3},
        {"{\"ch\":\"1\"}", "", 1ULL, kJsonError, 0},
        {"{\"ch\":1}", records, 0, kJsonError, 0},
    };
    for (const auto &c : cases) {
        daemon.clear();
        daemon.on(IPC_CAMERA_UPGRADE_CHECK).reply(c.reply);
        const std::string body = post("/6089", c.body).body();
        EXPECT_EQ(0u, body.find(c.answer_start)) << c.body << body.substr(0, 200);
        size_t n = 0;
        for (size_t p = 0; (p = body.find("\"state\":", p)) != std::string::npos; p++) n++;
        EXPECT_EQ(c.entries, n) << c.body;
        std::vector<FakeRequest> sent = traffic();
        EXPECT_EQ(c.mask ? 1u : 0u, sent.size()) << c.body;
        if (!sent.empty()) {
            EXPECT_EQ(std::string(reinterpret_cast<const char *>(&c.mask), 8), sent[0].payload);
        }
    }

    const struct {
        const char *body;
        std::function<void(FakeScript &)> daemon_answer;
        const char *answer;
        bool sent;
    } upgrades[] = {
        {"{\"chnid\":3,\"reset\":1}", [](FakeScript &s) { s.reply(le32(3) + le32(0)); }, "{\"chnid\":3,\"status\":0}", true},
        {"{\"chnid\":63,\"reset\":0}", [](FakeScript &s) { s.reply(le32(63) + le32(-4) + le32(9)); },
         "{\"chnid\":63,\"status\":-4}", true},
        {"{\"chnid\":3,\"reset\":0}", [](FakeScript &s) { s.reply(le32(3)); }, kJsonError, true},
        {"{\"chnid\":3,\"reset\":0}", [](FakeScript &s) { s.silent(); }, "CGI ERROR", true},
        {"{\"chnid\":64,\"reset\":0}", [](FakeScript &) {}, kJsonError, false},
        {"{\"chnid\":-1,\"reset\":0}", [](FakeScript &) {}, kJsonError, false},
        {"{\"chnid\":3,\"reset\":2}", [](FakeScript &) {}, kJsonError, false},
        {"{\"chnid\":3}", [](FakeScript &) {}, kJsonError, false},
    };
    for (const auto &c : upgrades) {
        daemon.clear();
        c.daemon_answer(daemon.on(IPC_CAMERA_UPGRADE));
        EXPECT_EQ(c.answer, post("/6083", c.body, {{"NVRWEB_TIME_SCALE", "0.00005"}}).body()) << c.body;
        std::vector<FakeRequest> sent = traffic();
        ASSERT_EQ(c.sent ? 1u : 0u, sent.size()) << c.body;
        CameraUpgradeRequest req;
        if (c.sent) {
            ASSERT_TRUE(sent[0].as(&req));
            EXPECT_STREQ(FIRMWARE_STAGING_CAMERA, req.path);
        }
    }
}

// ---- OEM package --------------------------------------------------------------------------

// Base64 of IV + AES-CBC(key, IV, plain) with PKCS#7 padding.
std::string encrypt_package(const std::string &plain, const std::string &key)
{
    const EVP_CIPHER *cipher = key.size() == 16 ? EVP_aes_128_cbc() : key.size() == 24 ? EVP_aes_192_cbc() : EVP_aes_256_cbc();
    unsigned char iv[16];
    EXPECT_EQ(1, RAND_bytes(iv, sizeof iv));
    std::string out(reinterpret_cast<char *>(iv), sizeof iv);
    std::string body(plain.size() + 32, '\0');
    int n = 0, tail = 0;
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, cipher, nullptr, reinterpret_cast<const unsigned char *>(key.data()), iv);
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char *>(&body[0]), &n,
                      reinterpret_cast<const unsigned char *>(plain.data()), static_cast<int>(plain.size()));
    EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char *>(&body[n]), &tail);
    EVP_CIPHER_CTX_free(ctx);
    out += body.substr(0, static_cast<size_t>(n + tail));
    std::string b64(4 * ((out.size() + 2) / 3) + 1, '\0');
    int len = EVP_EncodeBlock(reinterpret_cast<unsigned char *>(&b64[0]), reinterpret_cast<const unsigned char *>(out.data()),
                              static_cast<int>(out.size()));
    b64.resize(static_cast<size_t>(len));
    // Line breaks as a packaging tool writes them.
    for (size_t p = 76; p < b64.size(); p += 77) b64.insert(p, "\n");
    return b64;
}

// A zip archive of (name, content) entries, made with Python's zipfile.
std::string make_zip(const DeviceRoot &root, const std::vector<std::pair<std::string, std::string>> &files)
{
    std::string script = "import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1],'w')\n";
    for (const auto &f : files) script += "z.writestr(" + ("'" + f.first + "'") + "," + ("'" + f.second + "'") + ")\n";
    script += "z.close()\n";
    root.write("/zip.py", script);
    EXPECT_EQ(0, system(("python3 '" + root.host("/zip.py") + "' '" + root.host("/p.zip") + "'").c_str()));
    return root.read("/p.zip");
}

TEST_F(FirmwareUpgradeTest, OemPackageIsDecryptedAndUnpacked)
{
    const std::string key = "0123456789abcdef0123456789abcdef";
    const std::string zip = make_zip(root, {{"logo.jpg", "LOGO"}, {"web/index.html", "PAGE"}, {"../escape", "X"}});
    const std::string package = encrypt_package(zip, key);
    ProcResult r = upload("/oem", "oem.pkg", package, "aes=" + key + "&x=1");
    EXPECT_EQ("OK", r.body()) << r.err;
    EXPECT_EQ("LOGO", root.read("/mnt/nand2/logo.jpg"));
    EXPECT_EQ("PAGE", root.read("/mnt/nand2/web/index.html"));
    EXPECT_TRUE(root.exists("/mnt/nand2/oem_upload"));
    EXPECT_FALSE(root.exists("/mnt/escape"));
    EXPECT_EQ("X", root.read("/mnt/nand2/escape")); // the archive tool drops the "../"
    EXPECT_TRUE(root.list("/tmp").empty()); // upload and archive removed

    const struct {
        const char *what;
        std::string content, query;
    } refused[] = {
        {"no key", package, "x=1"},
        {"wrong key", package, "aes=" + std::string(32, 'k')},
        {"key of another size", package, "aes=0123456789"},
        {"not Base64", "%%%" + package, "aes=" + key},
        {"not a zip", encrypt_package("plain text", key), "aes=" + key},
        {"128-bit key for another key", encrypt_package(zip, "0123456789abcdef"), "aes=" + key},
    };
    for (const auto &c : refused) {
        unlink(root.host("/mnt/nand2/oem_upload").c_str());
        EXPECT_EQ("ERROR", upload("/oem", "oem.pkg", c.content, c.query).body()) << c.what;
        EXPECT_FALSE(root.exists("/mnt/nand2/oem_upload")) << c.what;
        EXPECT_TRUE(root.list("/tmp").empty()) << c.what;
    }
    EXPECT_EQ("OK", upload("/oem", "oem.pkg", encrypt_package(zip, key.substr(0, 16)), "aes=" + key.substr(0, 16)).body());

    // Request texts that do not name an upload's temporary file: nothing is
    // read or removed, nothing runs.
    const std::string marker = root.path() + "/injected";
    stub(kInjectedCommand, "touch '" + marker + "'");
    root.write("/tmp/keep", package);
    root.write("/tmp/cgicAAAAAA", package);
    for (const std::string &path : {std::string("/tmp/keep"), std::string("/tmp/cgic../../tmp/keep"), std::string("/tmp/cgicAAAAAA/"),
                                    std::string("/tmp/cgicAAAA$(") + kInjectedCommand + ")", std::string("/etc/passwd")})
        EXPECT_EQ("ERROR", post("/oem", path + " & aes=" + key).body()) << path;
    EXPECT_EQ("ERROR", post("/oem", "/tmp/cgicAAAAAA & aes=$(" + std::string(kInjectedCommand) + ")").body());
    EXPECT_TRUE(root.exists("/tmp/keep"));
    EXPECT_TRUE(root.exists("/tmp/cgicAAAAAA"));
    EXPECT_EQ(0, access(marker.c_str(), F_OK) == 0);
}

TEST_F(FirmwareUpgradeTest, KeptUploadLivesForTheRequestOnly)
{
    ProcResult r = upload("/1019", "fw.bin", "FIRMWARE");
    EXPECT_EQ("", r.answer());
    EXPECT_TRUE(root.list("/tmp").empty());
}

TEST(FirmwareDecoding, Base64Decoding)
{
    const struct {
        const char *text;
        bool ok;
        const char *plain;
    } cases[] = {
        {"", true, ""},           {"TWFu", true, "Man"},     {"TWE=", true, "Ma"},     {"TQ==", true, "M"},
        {"TWE", true, "Ma"},      {"TQ", true, "M"},         {"TW\r\nFu\n", true, "Man"}, {"T", false, ""},
        {"TQ=", false, ""},       {"TQ===", false, ""},      {"TWE=TWFu", false, ""},  {"TW-u", false, ""},
        {"=TWF", false, ""},      {"TWFu\x01", false, ""},
    };
    for (const auto &c : cases) {
        std::string out = "old";
        EXPECT_EQ(c.ok, qx_base64_decode(c.text, strlen(c.text), &out)) << c.text;
        EXPECT_EQ(c.plain, out) << c.text;
    }
}

TEST(FirmwareDecoding, AesDecryption)
{
    // Round trips through OpenSSL's encryption: every length around the
    // block size and a long random text, for each key size.
    std::mt19937 rng(7);
    for (const std::string &key : {std::string("0123456789abcdef"), std::string("0123456789abcdefghijklmn"),
                                   std::string("0123456789abcdefghijklmnopqrstuv")}) {
        for (size_t len : {0, 1, 15, 16, 17, 31, 32, 33, 4097}) {
            std::string plain(len, '\0');
            for (char &ch : plain) ch = static_cast<char>(rng());
            const std::string b64 = encrypt_package(plain, key);
            std::string data, out;
            ASSERT_TRUE(qx_base64_decode(b64.c_str(), b64.size(), &data));
            EXPECT_EQ(static_cast<int>(len), aesDecryWeb(data, key.c_str(), &out)) << key.size() << " " << len;
            EXPECT_EQ(plain, out) << key.size() << " " << len;
        }
    }
    for (const std::string &key : {std::string(16, 'a'), std::string(24, 'b'), std::string(32, 'c')}) {
        const std::string plain(1000, 'p');
        const std::string b64 = encrypt_package(plain, key);
        std::string data, out;
        ASSERT_TRUE(qx_base64_decode(b64.c_str(), b64.size(), &data));
        EXPECT_EQ(1000, aesDecryWeb(data, key.c_str(), &out));
        EXPECT_EQ(plain, out);
        EXPECT_LE(aesDecryWeb(data, std::string(key.size(), 'z').c_str(), &out), 0);
        EXPECT_LE(aesDecryWeb(data.substr(0, data.size() - 1), key.c_str(), &out), 0);
        EXPECT_LE(aesDecryWeb(data.substr(0, 16), key.c_str(), &out), 0);
        EXPECT_TRUE(out.empty());
    }
    EXPECT_LE(aesDecryWeb(std::string(64, 'x'), "short", nullptr), 0);
    std::string out;
    EXPECT_LE(aesDecryWeb(std::string(64, 'x'), nullptr, &out), 0);
}

// ---- With the simulator ---------------------------------------------------------------------

TEST_F(FirmwareUpgradeTest, SimulatorRunsTheUpgradeToTheEnd)
{
    daemon.stop();
    unlink(root.host("/var/run/qxsocket").c_str());
    std::unique_ptr<SimProcess> sim(new SimProcess(root, {"NVRWEB_TIME_SCALE=0.1"}, root.host("/sim.err")));
    ASSERT_TRUE(sim->running());

    root.write(FIRMWARE_STAGING_DEVICE, "FIRMWARE");
    EXPECT_EQ("Error", get("/1011").body());
    EXPECT_EQ("OK", upload("/1010", "fw.bin", "FIRMWARE", "reset=0").body());
    for (int i = 0; i < 300 && root.exists(FIRMWARE_STAGING_DEVICE); i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ("OK", get("/1011").body());
    EXPECT_NE(std::string::npos, post("/1009", "").body().find("\"deviceName\":\"NVR-3216\""));
    EXPECT_EQ("{\"res\":0}", post("/6085", "{\"type\":1,\"url\":\"http://fw.example/ipc.bin\"}").body());
    EXPECT_EQ("OK", get("/6082").body());
    EXPECT_EQ("{\"chnid\":2,\"status\":0}", post("/6083", "{\"chnid\":2,\"reset\":0}").body());

    sim.reset(); // stopped: its error stream is complete
    const std::string err = root.read("/sim.err");
    EXPECT_NE(std::string::npos, err.find("firmware upgrade: 8 bytes staged")) << err;
    EXPECT_NE(std::string::npos, err.find("firmware upgrade 100%")) << err;
}

} // namespace
