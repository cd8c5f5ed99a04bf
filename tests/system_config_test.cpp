// Configuration export, download and import end to end, with a stand-in
// configuration tool on PATH; hostile paths and names through every route
// that takes a path run nothing and touch nothing outside /tmp.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "common/records/system_info.h"
#include "tests/support/abuse.h"
#include "tests/support/system_fixture.h"

namespace {

class SystemConfigTest : public SystemFixture {
protected:
    std::string marker = root.path() + "/injected";

    SystemConfigTest()
    {
        // A command an injected text would run, and the tool itself.
        stub(kInjectedCommand, "touch '" + marker + "'");
        // -e DIR: writes DIR/cfg_1.bin and its path; -i FILE: loads FILE
        // when it starts with "CFG".
        stub("qxprofile", "case \"$1\" in\n"
                          "-e) printf 'CFG data' > \"$2/cfg_1.bin\"; printf '%s\\n' /tmp/cfg_1.bin > \"$2/.export_down_file\";;\n"
                          "-i) head -c 3 \"$2\" | grep -q CFG;;\n"
                          "*) exit 2;;\nesac");
        make_dirs("/etc");
        root.write("/etc/victim", "keep me");
        root.write("/outside", "keep me too");
    }
    bool injected() const { return access(marker.c_str(), F_OK) == 0; }
};

TEST_F(SystemConfigTest, ExportThenDownloadThenImport)
{
    ProcResult r = post("/1007", "");
    EXPECT_EQ("OK filename=cfg_1.bin\r\n", r.body());
    EXPECT_EQ("qxprofile -e " + root.host("/tmp") + "\n", calls());
    EXPECT_EQ(std::vector<int>{213}, oplog_subtypes(traffic()));

    r = get("/1013");
    EXPECT_EQ("Content-Type:application/octet-stream\r\nContent-Disposition: attachment; filename= cfg_1.bin\r\n\r\nCFG data",
              r.out);
    EXPECT_FALSE(root.exists("/tmp/cfg_1.bin"));
    EXPECT_EQ("", get("/1013").answer()); // nothing left to download

    daemon.clear();
    r = upload("/1008", "saved config.bin", "CFG data");
    EXPECT_EQ("OK", r.body());
    EXPECT_NE(std::string::npos, calls().find("qxprofile -i " + root.host("/tmp/saved config.bin") + "\n"));
    EXPECT_FALSE(root.exists("/tmp/saved config.bin"));
    EXPECT_EQ(std::vector<int>{214}, oplog_subtypes(traffic()));
}

TEST_F(SystemConfigTest, ToolFailuresAnswerTheErrorReply)
{
    // Export: the tool fails; it leaves no path ("OK" alone); a path
    // without '/'.
    stub("qxprofile", "exit 1");
    EXPECT_EQ("CGI ERROR", post("/1007", "").body());
    stub("qxprofile", "exit 0");
    EXPECT_EQ("OK", post("/1007", "").body());
    root.write("/tmp/.export_down_file", "cfg.bin");
    EXPECT_EQ("OK", post("/1007", "").body());
    // Import: a file the tool refuses stays where it was, and no log entry.
    traffic();
    daemon.clear();
    stub("qxprofile", "exit 1");
    EXPECT_EQ("CGI ERROR", upload("/1008", "bad.cfg", "junk").body());
    EXPECT_TRUE(root.exists("/tmp/bad.cfg"));
    EXPECT_TRUE(oplog_subtypes(traffic()).empty());
}

TEST_F(SystemConfigTest, DownloadServesOnlyARegularFileDirectlyInTmp)
{
    make_dirs("/tmp/sub");
    root.write("/tmp/sub/x", "sub");
    make_dirs("/tmp/dir");
    ASSERT_EQ(0, symlink(root.host("/etc/victim").c_str(), root.host("/tmp/link").c_str()));
    const char *const refused[] = {
        "/etc/victim", "/tmp/../etc/victim", "/tmp/sub/x", "/tmp/link", "/tmp/dir", "/tmp/", "/tmp/..",
        "/tmp/missing", "cfg.bin", "", "/tmp/a\rb",
    };
    for (const char *path : refused) {
        root.write("/tmp/.export_down_file", std::string(path) + "\n");
        EXPECT_EQ("", get("/1013").answer()) << path;
    }
    EXPECT_EQ("keep me", root.read("/etc/victim"));
    EXPECT_EQ("sub", root.read("/tmp/sub/x"));
    EXPECT_TRUE(root.exists("/tmp/link"));
    // The path may be written as the device path or under the device root.
    root.write("/tmp/c.bin", "C");
    root.write("/tmp/.export_down_file", root.host("/tmp/c.bin") + "\r\n");
    EXPECT_EQ("C", get("/1013").body());
    EXPECT_FALSE(root.exists("/tmp/c.bin"));
}

TEST_F(SystemConfigTest, HostileImportPathsRunNothingAndTouchNothing)
{
    root.write("/tmp/ok.cfg", "CFG");
    root.write("/tmp/$(" + std::string(kInjectedCommand) + ")", "CFG");
    make_dirs("/tmp/d");
    ASSERT_EQ(0, symlink(root.host("/etc/victim").c_str(), root.host("/tmp/link.cfg").c_str()));
    std::vector<std::string> texts;
    for (const std::string &t : traversal_texts()) texts.push_back(t), texts.push_back("/tmp/" + t);
    for (const std::string &t : injection_texts(marker)) texts.push_back("/tmp/ok.cfg" + t), texts.push_back(t);
    for (const char *t : {"/etc/victim", "/outside", "/tmp/link.cfg", "/tmp/d", "/tmp", "/tmp/", "tmp/ok.cfg",
                          "/tmp//ok.cfg", "/tmp/missing"})
        texts.push_back(t);
    for (const std::string &t : texts) {
        EXPECT_EQ("CGI ERROR", post("/1008", t).body()) << t;
        EXPECT_EQ("", calls()) << t; // the tool never ran
    }
    // A name that looks like a command is only a name; the text behind " & "
    // is no part of the path.
    EXPECT_EQ("OK", post("/1008", "/tmp/$(" + std::string(kInjectedCommand) + ")").body());
    EXPECT_EQ("OK", post("/1008", "/tmp/ok.cfg & ; " + std::string(kInjectedCommand) + " #").body());
    EXPECT_FALSE(root.exists("/tmp/ok.cfg"));
    // Hostile client names of an upload are stored as names and passed on as such.
    const std::string names[] = {"$(" + std::string(kInjectedCommand) + ").cfg",
                                 "a;" + std::string(kInjectedCommand) + ";.cfg", "../../outside", "..\\..\\etc\\victim"};
    for (const std::string &name : names)
        EXPECT_EQ("OK", upload("/1008", name, "CFG").body()) << name;
    EXPECT_FALSE(injected());
    EXPECT_EQ("keep me", root.read("/etc/victim"));
    EXPECT_EQ("keep me too", root.read("/outside"));
    EXPECT_TRUE(root.exists("/tmp/link.cfg"));
}

} // namespace
