// Custom alarm sounds: URL-safe Base64 names, the upload check (/6321) with
// the files it leaves in /tmp, handing sounds to the daemon (/6322), the list
// (/6320) and the delete, rename and play requests (/6323 to /6325).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <unistd.h>

#include "common/records/audio.h"
#include "common/web_utils.h"
#include "platform/qx_base64.h"
#include "tests/support/network_fixture.h"

namespace {

std::string encode(const std::string &plain, int size = 128)
{
    char out[256];
    int n = base64EncodeUrl(reinterpret_cast<const unsigned char *>(plain.data()), static_cast<int>(plain.size()), out,
                            size);
    return n < 0 ? "<none>" : std::string(out, static_cast<size_t>(n));
}

std::string decode(const std::string &text)
{
    unsigned char out[128];
    int n = base64DecodeUrl(text.c_str(), out, sizeof out);
    return n < 0 ? "<bad>" : std::string(reinterpret_cast<char *>(out), static_cast<size_t>(n));
}

TEST(AudioNames, UrlSafeBase64)
{
    struct Case {
        std::string plain;
        std::string text;
    } cases[] = {
        {"", ""},
        {"f", "Zg"},
        {"fo", "Zm8"},
        {"foo", "Zm9v"},
        {"ring tone.wav", "cmluZyB0b25lLndhdg"},
        {std::string("\xfb\xff\xbf", 3), "-_-_"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.text, encode(c.plain)) << c.plain;
        EXPECT_EQ(c.plain, decode(c.text)) << c.text;
    }
    EXPECT_EQ("foo", decode("Zm9v="));
    for (const char *bad : {"Zm9v+", "Zm/v", "Z", "Zh", "a b", "Zm9=v"}) EXPECT_EQ("<bad>", decode(bad)) << bad;
    EXPECT_EQ("<none>", encode("foo", 4)); // four characters need five bytes
    EXPECT_EQ("Zm9v", encode("foo", 5));
    EXPECT_EQ("<none>", encode(std::string(96, 'a'))); // 128 characters do not fit in 128 bytes
    EXPECT_EQ(127u, encode(std::string(95, 'a')).size());
    EXPECT_FALSE(base64_url_text(""));
    EXPECT_FALSE(base64_url_text("a/b"));
    EXPECT_TRUE(base64_url_text("aZ09-_=="));
}

class AudioTest : public NetworkFixture {
protected:
    ProcResult upload(const std::string &client_name)
    {
        const std::string b = "XyZ";
        CgiRequest req;
        req.method = "POST";
        req.route = "/6321";
        req.content_type = "multipart/form-data; boundary=" + b;
        req.body = "--" + b + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + client_name +
                   "\"\r\nContent-Type: audio/wav\r\n\r\nRIFF....WAVE\r\n--" + b + "--\r\n";
        req.env = env;
        return run_cgi(root, req);
    }
};

TEST_F(AudioTest, UploadTakesOnlyItsOwnWavFile)
{
    const std::string long_name = std::string(96, 'n') + ".wav"; // encodes to 134 characters
    struct Case {
        const char *name;
        std::string client;
        std::string answer;
        std::vector<std::string> left; // files in /tmp afterwards, besides the bystanders
    } cases[] = {
        {"WAV file", "ring tone.wav", "CGI OK status:[0], data:[cmluZyB0b25lLndhdg]", {"/tmp/cmluZyB0b25lLndhdg"}},
        {"upper case", "BELL.WAV", "CGI OK status:[0], data:[QkVMTC5XQVY]", {"/tmp/QkVMTC5XQVY"}},
        {"MP3 file", "song.mp3", "CGI ERROR status:[-1], data:[]", {}},
        {"wav inside the name", "x.wav.mp3", "CGI ERROR status:[-1], data:[]", {}},
        {"name too long to encode", long_name, "CGI ERROR status:[-1], data:[]", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string &f : root.list("/tmp")) unlink(root.host(f).c_str());
        root.write("/tmp/other.wav", "other"); // another upload: never touched
        root.write("/tmp/b.mp3", "other");
        EXPECT_EQ(c.answer, said(upload(c.client)));
        std::vector<std::string> left = c.left;
        left.push_back("/tmp/b.mp3");
        left.push_back("/tmp/other.wav");
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, root.list("/tmp"));
    }
}

TEST_F(AudioTest, UploadRefusesPathsOutsideTmp)
{
    root.write("/mnt/nand/keep.wav", "keep");
    root.write("/tmp/dir/inner.wav", "keep");
    for (const char *path : {"/mnt/nand/keep.wav", "/tmp/../mnt/nand/keep.wav", "/tmp/dir/inner.wav", "/tmp/", "",
                             "/tmp/missing.wav"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ("CGI ERROR status:[-1], data:[]", said(post("/6321", path)));
    }
    EXPECT_TRUE(root.exists("/mnt/nand/keep.wav"));
    EXPECT_TRUE(root.exists("/tmp/dir/inner.wav"));
}

TEST_F(AudioTest, AddRenamesTheUploadAndHandsItOver)
{
    const std::string upload_name = "cmluZyB0b25lLndhdg";
    struct Case {
        const char *name;
        std::string body;
        bool daemon_answers;
        std::string answer;
        std::string stored; // the encoded name the daemon gets, "" = nothing sent
    } cases[] = {
        {"added", R"({"uploadName":"cmluZyB0b25lLndhdg","name":"Front door"})", true, "{\"status\":0}",
         "RnJvbnQgZG9vcg"},
        {"daemon silent", R"({"uploadName":"cmluZyB0b25lLndhdg","name":"Back door"})", false,
         "{status:\"CGI ERROR\"}", "QmFjayBkb29y"},
        {"upload name leaving /tmp", R"({"uploadName":"../mnt/nand/x","name":"x"})", true,
         "{status:\"CGI ERROR\"}", ""},
        {"upload name with a slash", R"({"uploadName":"a/b","name":"x"})", true, "{status:\"CGI ERROR\"}", ""},
        {"upload missing", R"({"uploadName":"bm9uZQ","name":"x"})", true, "{status:\"CGI ERROR\"}", ""},
        {"empty name", R"({"uploadName":"cmluZyB0b25lLndhdg","name":""})", true, "{status:\"CGI ERROR\"}", ""},
        {"name too long", R"({"uploadName":"cmluZyB0b25lLndhdg","name":")" + std::string(100, 'x') + "\"}", true,
         "{status:\"CGI ERROR\"}", ""},
        {"no name", R"({"uploadName":"cmluZyB0b25lLndhdg"})", true, "{status:\"CGI ERROR\"}", ""},
    };
    env["NVRWEB_TIME_SCALE"] = "0.001";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string &f : root.list("/tmp")) unlink(root.host(f).c_str());
        root.write("/tmp/" + upload_name, "RIFF");
        root.write("/mnt/nand/x", "keep");
        if (c.daemon_answers) daemon.on(IPC_SOUND_ADD).reply_int(0);
        else daemon.on(IPC_SOUND_ADD).silent();
        EXPECT_EQ(c.answer, said(post("/6322", c.body)));
        std::vector<FakeRequest> sent = traffic();
        EXPECT_TRUE(root.exists("/mnt/nand/x"));
        if (c.stored.empty()) {
            EXPECT_TRUE(sent.empty());
            EXPECT_EQ(std::vector<std::string>{"/tmp/" + upload_name}, root.list("/tmp"));
            continue;
        }
        EXPECT_EQ(std::vector<std::string>{"/tmp/" + c.stored}, root.list("/tmp"));
        ASSERT_EQ(c.daemon_answers ? 2u : 1u, sent.size());
        EXPECT_EQ(IPC_SOUND_ADD, sent[0].code);
        EXPECT_EQ(c.stored + std::string(128 - c.stored.size(), '\0'), sent[0].payload);
        if (c.daemon_answers) {
            OpLogRecord log = oplog_of(sent[1]);
            EXPECT_EQ(204, log.sub_type);
            EXPECT_EQ(925, log.param_type);
        }
    }
}

TEST_F(AudioTest, DeleteRenameAndPlay)
{
    struct Case {
        const char *route;
        std::string body;
        int code;            // 0: refused, nothing sent
        std::string payload;
        bool logged;
    } cases[] = {
        {"/6323", R"({"idMask":1025})", IPC_SOUND_DELETE, le32(1025), true},
        {"/6323", R"({"idMask":1024})", 0, "", false},
        {"/6323", R"({})", 0, "", false},
        {"/6324", R"({"id":9,"name":"Bell"})", IPC_SOUND_RENAME,
         le32(9) + le32(1) + "QmVsbA" + std::string(122, '\0'), true},
        {"/6324", R"({"id":10,"name":"Bell"})", 0, "", false},
        {"/6324", R"({"name":"Bell"})", 0, "", false},
        {"/6324", R"({"id":1,"name":""})", 0, "", false},
        {"/6325", R"({"id":2})", IPC_SOUND_PLAY, le32(2), false},
        {"/6325", R"({"id":"2"})", 0, "", false},
        {"/6325", "id=2", 0, "", false},
    };
    for (int code : {IPC_SOUND_DELETE, IPC_SOUND_RENAME, IPC_SOUND_PLAY}) daemon.on(code).reply_int(-4);
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.route) + " " + c.body);
        EXPECT_EQ(c.code ? "{\"status\":-4}" : "{status:\"CGI ERROR\"}", said(post(c.route, c.body)));
        std::vector<FakeRequest> sent = traffic();
        if (!c.code) {
            EXPECT_TRUE(sent.empty());
            continue;
        }
        ASSERT_EQ(c.logged ? 2u : 1u, sent.size());
        EXPECT_EQ(c.code, sent[0].code);
        EXPECT_EQ(c.payload, sent[0].payload);
        if (c.logged) {
            EXPECT_EQ(925, oplog_of(sent[1]).param_type);
        }
    }
}

TEST_F(AudioTest, ListShowsTheUsedSlotsWithTheirNames)
{
    SoundRecord slots[4] = {{0, 1, "ZG9vcmJlbGwud2F2"}, {1, 0, "Zm9v"}, {2, 2, "Zm9v"}, {3, 1, "not base64!"}};
    std::string payload = bytes_of(slots);
    SoundRecord unterminated{7, 1, {}};
    for (size_t i = 0; i < sizeof unterminated.name; i += 4) memcpy(unterminated.name + i, "QUFB", 4); // no zero
    payload += bytes_of(unterminated) + "tail";
    daemon.on(IPC_SOUND_LIST).reply(payload);
    json_object *o = reply_json(post("/6320", ""));
    ASSERT_TRUE(o);
    EXPECT_EQ((std::vector<std::string>{"audioFileList", "status"}), json_keys(o));
    json_object *list = nullptr;
    json_object_object_get_ex(o, "audioFileList", &list);
    ASSERT_EQ(3u, jv_len(list));
    EXPECT_EQ("0", json_text_at(jv_at(list, 0), "id"));
    EXPECT_EQ("doorbell.wav", json_text_at(jv_at(list, 0), "name"));
    EXPECT_EQ("3", json_text_at(jv_at(list, 1), "id"));
    EXPECT_EQ((std::vector<std::string>{"id", "enable"}), json_keys(jv_at(list, 1))); // name not decodable
    EXPECT_EQ(std::string(96, 'A'), json_text_at(jv_at(list, 2), "name"));
    json_object_put(o);

    daemon.on(IPC_SOUND_LIST).reply("short");
    EXPECT_EQ("{status:\"CGI ERROR\"}", said(post("/6320", "")));
}

} // namespace
