// nvrweb-sim as a separate process: default answers, scripts, the message
// log, several clients, broken input and a clean stop.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <json-c/json.h>

#include "tests/support/fake_daemon.h"

namespace {

// The simulator running in the background for one test.
class Sim {
public:
    Sim(const DeviceRoot &root, std::vector<std::string> args) : root_(root)
    {
        std::vector<std::string> argv = program_wrapper();
        argv.push_back(program_path("nvrweb-sim"));
        argv.insert(argv.end(), args.begin(), args.end());
        std::string env_root = "NVRWEB_ROOT=" + root.path();
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<char *> cargv;
            for (auto &a : argv) cargv.push_back(const_cast<char *>(a.c_str()));
            cargv.push_back(nullptr);
            char *envp[] = {const_cast<char *>(env_root.c_str()), nullptr};
            int null_fd = open("/dev/null", O_WRONLY);
            dup2(null_fd, 2);
            execvpe(cargv[0], cargv.data(), envp); // the wrapper (qemu-arm) is found on PATH
            _exit(127);
        }
    }
    ~Sim()
    {
        if (pid_ > 0) stop();
    }
    // Connects to the simulator's socket, waiting for it to come up.
    int connect()
    {
        std::string path = root_.host("/var/run/qxsocket");
        for (int i = 0; i < 500; i++) {
            int fd = qx_unix_connect(path.c_str());
            if (fd >= 0) {
                struct timeval tv = {10, 0};
                setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
                return fd;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    // Sends SIGTERM and returns the exit status.
    int stop()
    {
        kill(pid_, SIGTERM);
        int st = 0;
        waitpid(pid_, &st, 0);
        pid_ = -1;
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }

private:
    const DeviceRoot &root_;
    pid_t pid_ = -1;
};

bool send_request(int fd, int code, uint32_t seq, const std::string &payload)
{
    QxMsgHeader h;
    h.kind = QX_MSG_REQUEST;
    h.seq = seq;
    h.code = code;
    h.length = static_cast<int32_t>(payload.size());
    return qx_write_msg(fd, h, payload.data());
}

struct Reply {
    bool ok = false;
    QxMsgHeader h;
    std::string payload;
};
Reply read_reply(int fd)
{
    Reply r;
    uint8_t head[QX_MSG_HEADER_SIZE];
    if (!qx_read_full(fd, head, sizeof head) || !qx_msg_unpack(head, &r.h)) return r;
    r.payload.assign(static_cast<size_t>(r.h.length), '\0');
    r.ok = r.h.length == 0 || qx_read_full(fd, &r.payload[0], r.payload.size());
    return r;
}

TEST(Sim, AnswersUnknownCodesWithStatusZero)
{
    DeviceRoot root;
    Sim sim(root, {});
    int fd = sim.connect();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(send_request(fd, 4321, 7, "abc"));
    ASSERT_TRUE(send_request(fd, 3485, 8, std::string(672, '\0')));
    Reply a = read_reply(fd), b = read_reply(fd);
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_EQ(QX_MSG_REPLY, a.h.kind);
    EXPECT_EQ(9321, a.h.code);
    EXPECT_EQ(7u, a.h.seq);
    EXPECT_EQ(le32(0), a.payload);
    EXPECT_EQ(8485, b.h.code);
    EXPECT_EQ(8u, b.h.seq);
    close(fd);
    EXPECT_EQ(0, sim.stop());
    EXPECT_FALSE(root.exists("/var/run/qxsocket"));
}

TEST(Sim, ScriptAndLog)
{
    DeviceRoot root;
    root.write("/script.json", R"({
        "3201": {"payload_hex": "0500000006000000", "delay_ms": 20},
        "3434": {"silent": true},
        "1162": {"replies": [{"payload_hex": "aa"}, {"payload_hex": "BBcc", "delay_ms": 5}, {}]},
        "3000": {"delay_ms": 1}
    })");
    Sim sim(root, {"--script", root.host("/script.json"), "--log", root.host("/sim.log")});
    int fd = sim.connect();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(send_request(fd, 3434, 1, ""));
    ASSERT_TRUE(send_request(fd, 3201, 2, "\x01\x02"));
    ASSERT_TRUE(send_request(fd, 1162, 3, ""));
    ASSERT_TRUE(send_request(fd, 3000, 4, ""));
    std::vector<Reply> replies;
    for (int i = 0; i < 5; i++) replies.push_back(read_reply(fd));
    for (const auto &r : replies) ASSERT_TRUE(r.ok);
    // Nothing for the silent 3434: the first reply answers 3201.
    EXPECT_EQ(8201, replies[0].h.code);
    EXPECT_EQ(2u, replies[0].h.seq);
    EXPECT_EQ(std::string("\x05\0\0\0\x06\0\0\0", 8), replies[0].payload);
    for (int i = 1; i < 4; i++) {
        EXPECT_EQ(6162, replies[i].h.code);
        EXPECT_EQ(3u, replies[i].h.seq);
    }
    EXPECT_EQ("\xaa", replies[1].payload);
    EXPECT_EQ("\xbb\xcc", replies[2].payload);
    EXPECT_EQ("", replies[3].payload);
    EXPECT_EQ(8000, replies[4].h.code); // entry without payload: default answer
    EXPECT_EQ(le32(0), replies[4].payload);
    close(fd);
    EXPECT_EQ(0, sim.stop());

    std::istringstream log(root.read("/sim.log"));
    std::string line;
    std::vector<std::string> seen;
    while (std::getline(log, line)) {
        json_object *o = json_tokener_parse(line.c_str());
        ASSERT_NE(nullptr, o) << line;
        json_object *code, *seq, *len, *hex;
        ASSERT_TRUE(json_object_object_get_ex(o, "code", &code) &&
                    json_object_object_get_ex(o, "seq", &seq) &&
                    json_object_object_get_ex(o, "length", &len) &&
                    json_object_object_get_ex(o, "payload_hex", &hex));
        seen.push_back(std::to_string(json_object_get_int(code)) + "/" +
                       std::to_string(json_object_get_int(seq)) + "/" +
                       std::to_string(json_object_get_int(len)) + "/" + json_object_get_string(hex));
        json_object_put(o);
    }
    EXPECT_EQ((std::vector<std::string>{"3434/1/0/", "3201/2/2/0102", "1162/3/0/", "3000/4/0/"}), seen);
}

TEST(Sim, ServesClientsIndependently)
{
    DeviceRoot root;
    root.write("/script.json", R"({"3230": {"delay_ms": 60000}})");
    Sim sim(root, {"--script", root.host("/script.json")});
    int slow = sim.connect();
    int quick = sim.connect();
    ASSERT_GE(slow, 0);
    ASSERT_GE(quick, 0);
    ASSERT_TRUE(send_request(slow, 3230, 1, ""));
    ASSERT_TRUE(send_request(quick, 3201, 1, ""));
    Reply r = read_reply(quick);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(8201, r.h.code);
    // A stop does not wait for the pending delay.
    EXPECT_EQ(0, sim.stop());
    close(slow);
    close(quick);
}

TEST(Sim, BadMagicDropsTheConnection)
{
    DeviceRoot root;
    Sim sim(root, {});
    int fd = sim.connect();
    ASSERT_GE(fd, 0);
    std::string junk = "XXXX" + std::string(20, '\0');
    ASSERT_TRUE(qx_write_full(fd, junk.data(), junk.size()));
    char c;
    EXPECT_EQ(0, recv(fd, &c, 1, 0)); // end of stream, no reply
    close(fd);
    // Others are still served.
    fd = sim.connect();
    ASSERT_TRUE(send_request(fd, 1, 1, ""));
    EXPECT_TRUE(read_reply(fd).ok);
    close(fd);
}

TEST(Sim, RefusesBadArgumentsAndScripts)
{
    DeviceRoot root;
    auto run = [&](std::vector<std::string> args) {
        std::vector<std::string> argv = program_wrapper();
        argv.push_back(program_path("nvrweb-sim"));
        argv.insert(argv.end(), args.begin(), args.end());
        return run_program(argv, {}, "");
    };
    EXPECT_EQ(2, run({"--bogus"}).status);
    EXPECT_EQ(2, run({"--log"}).status);
    EXPECT_EQ(2, run({"--script", root.host("/missing.json")}).status);
    const char *bad[] = {
        "[1]", "{\"x\": {}}", "{\"1\": {\"payload_hex\": \"abc\"}}", "{\"1\": {\"delay_ms\": \"5\"}}",
        "{\"1\": {\"replies\": {}}}", "{\"1\": 5}", "{\"1\": {}} trailing",
    };
    for (const char *text : bad) {
        root.write("/bad.json", text);
        ProcResult r = run({"--script", root.host("/bad.json")});
        EXPECT_EQ(2, r.status) << text;
        EXPECT_NE(std::string::npos, r.err.find("nvrweb-sim: ")) << text;
    }
}

// The whole road: a CGI request through the client library to the simulator.
TEST(Sim, ServesTheCgi)
{
    DeviceRoot root;
    root.write("/script.json", R"({"3201": {"payload_hex": "fbffffff"}})");
    Sim sim(root, {"--script", root.host("/script.json"), "--log", root.host("/sim.log")});
    int fd = sim.connect(); // up and listening
    ASSERT_GE(fd, 0);
    close(fd);
    CgiRequest req;
    req.method = "POST";
    req.route = "/0003";
    req.content_type = "application/json";
    req.body = "3201";
    ProcResult r = run_cgi(root, req, "nvrweb-echo.cgi");
    EXPECT_EQ("{\"status\":-5}", r.body());
    EXPECT_EQ(0, sim.stop());
    EXPECT_EQ("{\"code\": 3201, \"seq\": 1, \"length\": 4, \"payload_hex\": \"33323031\"}\n",
              root.read("/sim.log"));
}

} // namespace
