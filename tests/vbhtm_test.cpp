// Maintenance option commands of "/vb.htm": the splitter and option table in
// process, the options end to end through nvrweb.cgi with stand-in tools.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "common/http_option.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

namespace {

// ---- Splitter and option table ------------------------------------------------------------

TEST(VbHtmParser, SplitsPairsIntoSlots)
{
    HttpOptionSlot slots[HTTP_OPTION_SLOTS];
    const char *text = "setlang=2&decode=1";
    ASSERT_EQ(2, get_httpoption_argnum(text));
    ASSERT_EQ(0, ui_decodeing(text, slots, 2));
    EXPECT_STREQ("setlang", slots[0].name);
    EXPECT_STREQ("2", slots[0].value);
    EXPECT_STREQ("decode", slots[1].name);
    EXPECT_STREQ("1", slots[1].value);

    // A second '=' belongs to the value; the pair it would start is empty.
    ASSERT_EQ(0, ui_decodeing("a=b=c", slots, 2));
    EXPECT_STREQ("a", slots[0].name);
    EXPECT_STREQ("b=c", slots[0].value);
    EXPECT_STREQ("", slots[1].name);
    EXPECT_STREQ("", slots[1].value);
}

TEST(VbHtmParser, TextLongerThanSixtyFourCharactersFails)
{
    HttpOptionSlot slots[HTTP_OPTION_SLOTS];
    std::string text64 = "decode=" + std::string(57, 'v');
    ASSERT_EQ(64u, text64.size());
    EXPECT_EQ(0, ui_decodeing(text64.c_str(), slots, 1));
    EXPECT_EQ(57u, strlen(slots[0].value));
    std::string text65 = text64 + "v";
    EXPECT_EQ(-1, ui_decodeing(text65.c_str(), slots, 1));
    std::string text70 = "decode=" + std::string(63, 'v');
    EXPECT_EQ(-1, ui_decodeing(text70.c_str(), slots, 1));
    // Pairs behind position 63 that are not split do not matter.
    std::string tail = "decode=1&" + std::string(80, 'x');
    EXPECT_EQ(0, ui_decodeing(tail.c_str(), slots, 1));
}

TEST(VbHtmParser, NeverWritesPastItsSlots)
{
    struct {
        HttpOptionSlot slots[HTTP_OPTION_SLOTS];
        HttpOptionSlot guard;
    } area;
    memset(&area.guard, 0x5c, sizeof area.guard);
    for (const std::string &text : {std::string(64, '='), std::string(200, '='), std::string(300, '=')}) {
        const int count = get_httpoption_argnum(text.c_str());
        EXPECT_EQ(std::min<int>(static_cast<int>(text.size()), 255), count);
        if (count <= HTTP_OPTION_SLOTS) EXPECT_EQ(0, ui_decodeing(text.c_str(), area.slots, count));
        else EXPECT_EQ(-1, ui_decodeing(text.c_str(), area.slots, count));
        for (size_t i = 0; i < sizeof area.guard; i++)
            ASSERT_EQ(0x5c, reinterpret_cast<unsigned char *>(&area.guard)[i]) << text.size();
    }
    EXPECT_EQ(-1, ui_decodeing("a=1", area.slots, 0));
    EXPECT_EQ(-1, ui_decodeing(nullptr, area.slots, 1));
}

TEST(VbHtmParser, NoValueKeywords)
{
    EXPECT_EQ(1, is_httpoption_no_arg("oemclean"));
    EXPECT_EQ(1, is_httpoption_no_arg("softversion"));
    EXPECT_EQ(1, is_httpoption_no_arg("debug"));
    EXPECT_EQ(1, is_httpoption_no_arg("")); // an empty slot
    EXPECT_EQ(0, is_httpoption_no_arg("OEMCLEAN"));
    EXPECT_EQ(0, is_httpoption_no_arg("setlang"));
    EXPECT_EQ(0, is_httpoption_no_arg(nullptr));
}

TEST(VbHtmParser, HashFindsEveryOptionExactly)
{
    HttpOptionSlot slot = {};
    EXPECT_EQ(nullptr, http_option_search(&slot)); // before the table is built
    ASSERT_EQ(0, hash_table_init());
    for (const HttpOption &option : HttpOptionTable) {
        COPY_TEXT(slot.name, option.name);
        EXPECT_EQ(&option, http_option_search(&slot)) << option.name;
    }
    for (const char *name : {"SETLANG", "setlang2", "debug", "zorva", "", "decod"}) {
        COPY_TEXT(slot.name, name);
        EXPECT_EQ(nullptr, http_option_search(&slot)) << name;
    }
    EXPECT_EQ(2, HttpOptionTable[8].flags);
    hash_table_destory();
    COPY_TEXT(slot.name, "setlang");
    EXPECT_EQ(nullptr, http_option_search(&slot));

    // h * 37 + c in 32 bits keeps the low six bits of the exact value.
    const std::string long_name(63, '\xff');
    uint64_t h = 0;
    for (unsigned char c : long_name) h = (h * 37 + c) & 0xffffffffu;
    EXPECT_EQ(h & 63, http_option_hash(long_name.c_str()));
    EXPECT_EQ(10u, http_option_hash("setlang"));
}

TEST(VbHtmParser, ChipIdentityCharacters)
{
    EXPECT_TRUE(chip_identity_valid("AB-12.x:y_z"));
    EXPECT_TRUE(chip_identity_valid(std::string(63, 'a').c_str()));
    EXPECT_FALSE(chip_identity_valid(std::string(64, 'a').c_str()));
    EXPECT_FALSE(chip_identity_valid(""));
    for (const char *bad : {"a b", "a'b", "a;b", "$(id)", "a`b`", "a/b", "a\"b", "a\nb", "a%20"})
        EXPECT_FALSE(chip_identity_valid(bad)) << bad;
}

// ---- End to end ----------------------------------------------------------------------------------

const char kTextHeader[] = "Content-type: text/plain\r\n\r\n";

// The answers of one request behind one CGI header.
std::string answers(std::initializer_list<const char *> texts)
{
    std::string out;
    for (const char *t : texts) out += (out.empty() ? std::string(kTextHeader) : std::string()) + t;
    return out;
}

// A device root with stand-in tools on PATH: each records its arguments
// in <root>/calls.log, one line per run.
struct VbHtmDevice {
    DeviceRoot root;
    std::string bin = root.path() + "/stub-bin";

    VbHtmDevice()
    {
        mkdir(bin.c_str(), 0755);
        for (const char *dir : {"/tmp", "/mnt/nand/app", "/var/run"}) make_dirs(dir);
        stub("sync", "");
    }
    void make_dirs(const std::string &device_dir) const
    {
        std::string path;
        for (size_t i = 1; i <= device_dir.size(); i++)
            if (i == device_dir.size() || device_dir[i] == '/') mkdir(root.host(device_dir.substr(0, i)).c_str(), 0755);
    }
    // A stand-in program: logs "<name> <args>" and runs `body`.
    void stub(const std::string &name, const std::string &body) const
    {
        std::string path = bin + "/" + name;
        root.write("/stub-bin/" + name, "#!/bin/sh\necho \"" + name + " $*\" >> '" + root.path() +
                                            "/calls.log'\n" + body + "\n");
        chmod(path.c_str(), 0755);
    }
    std::string calls() const { return root.exists("/calls.log") ? root.read("/calls.log") : ""; }

    ProcResult get(const std::string &query, std::map<std::string, std::string> env = {}) const
    {
        CgiRequest req;
        req.route = "/vb.htm";
        req.query = query;
        req.env = env;
        req.env["PATH"] = bin + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
        return run_cgi(root, req);
    }
    int param_int(const char *key, int dflt) const
    {
        ScopedDeviceRoot scope(root);
        return get_param_int(QXDB_PATH, key, dflt);
    }
    std::string param_text(const char *key) const
    {
        ScopedDeviceRoot scope(root);
        char buf[128];
        get_param_value(QXDB_PATH, key, buf, sizeof buf, "<missing>");
        return buf;
    }
};

TEST(VbHtm, SeveralOptionsAnswerOneAfterAnother)
{
    VbHtmDevice dev;
    FakeDaemon daemon(dev.root);
    ProcResult r = dev.get("setlang=2&decode=1");
    EXPECT_EQ(answers({"OK", "OK"}), r.out);
    ASSERT_TRUE(daemon.wait_requests(1));
    std::vector<FakeRequest> got = daemon.requests();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(4000, got[0].code);
    EXPECT_EQ(le32(2), got[0].payload);
    EXPECT_EQ("1", dev.param_text("decode"));

    EXPECT_EQ(answers({"OK"}), dev.get("hotplug=hdmi1").out);
    EXPECT_EQ("hdmi1", dev.param_text("hdmihotplug"));
    EXPECT_EQ(answers({"OK"}), dev.get("decode=4").out); // an existing key is replaced
    EXPECT_EQ("4", dev.param_text("decode"));
}

TEST(VbHtm, UnknownKeywordStopsTheRest)
{
    VbHtmDevice dev;
    EXPECT_EQ(answers({"OK", "ERROR"}), dev.get("decode=7&bogus=1&hotplug=x").out);
    EXPECT_EQ("7", dev.param_text("decode"));
    EXPECT_EQ("<missing>", dev.param_text("hdmihotplug"));
    EXPECT_EQ(answers({"ERROR"}), dev.get("debug").out);
    EXPECT_EQ(answers({"ERROR"}), dev.get("zorva").out);
    EXPECT_EQ(answers({"ERROR"}), dev.get("").out);
    EXPECT_EQ(answers({"ERROR"}), dev.get("Decode=1").out);
}

TEST(VbHtm, MalformedTextsAnswerParamError)
{
    VbHtmDevice dev;
    EXPECT_EQ(answers({"PARAM ERROR"}), dev.get("nothing").out);
    EXPECT_EQ(answers({"PARAM ERROR"}), dev.get("decode=" + std::string(63, '1')).out); // 70 characters
    EXPECT_EQ(answers({"PARAM ERROR"}), dev.get(std::string(200, '=')).out);
    EXPECT_EQ("<missing>", dev.param_text("decode"));
    EXPECT_EQ(answers({}), dev.get("setdefault=1").answer()); // runs and answers nothing
}

TEST(VbHtm, FailedSettingsWriteIsNotOk)
{
    VbHtmDevice dev;
    dev.make_dirs("/mnt/nand/app/qxdb.db"); // a directory where the database belongs
    EXPECT_EQ(answers({"ERROR", "ERROR"}), dev.get("decode=1&hotplug=1").out);
    EXPECT_EQ(answers({"ERROR"}), dev.get("oemclean").out);
    EXPECT_EQ(answers({"7x.7.0.9"}), dev.get("softversion").out);
}

TEST(VbHtm, SoftwareVersion)
{
    VbHtmDevice dev;
    EXPECT_EQ(answers({"7x.7.0.9"}), dev.get("softversion").out);
    {
        ScopedDeviceRoot scope(dev.root);
        ASSERT_EQ(0, set_param_value(QXDB_PATH, "software_version", "8.1.2"));
    }
    EXPECT_EQ(answers({"8.1.2"}), dev.get("softversion=1").out);
}

// A device under another brand: the own logo and GUI kept as backups in
// /mnt/nand2, the own web pages packed in /opt/app/www/web.tar.gz.
void brand_device(const VbHtmDevice &dev)
{
    for (const char *dir : {"/mnt/nand2", "/opt/app/bin", "/opt/app/www/pack"}) dev.make_dirs(dir);
    dev.root.write("/mnt/nand2/logo.jpg_bk", "own logo");
    dev.root.write("/mnt/nand2/gui.rcc_bk", "own gui");
    dev.root.write("/mnt/nand2/oem_logo.jpg", "oem");
    dev.root.write("/opt/app/bin/logo.jpg", "oem logo");
    dev.root.write("/opt/app/www/pack/index.html", "own page");
    ASSERT_EQ(0, system(("tar -czf '" + dev.root.host("/opt/app/www/web.tar.gz") + "' -C '" +
                         dev.root.host("/opt/app/www/pack") + "' index.html")
                            .c_str()));
    ScopedDeviceRoot scope(dev.root);
    ASSERT_EQ(0, set_param_int(QXDB_PATH, "oem_type", 3));
}

TEST(VbHtm, OemCleanRestoresTheDeviceBranding)
{
    VbHtmDevice dev;
    brand_device(dev);
    ProcResult r = dev.get("oemclean");
    EXPECT_EQ(answers({"OK"}), r.out) << r.err;
    EXPECT_EQ("own logo", dev.root.read("/opt/app/bin/logo.jpg"));
    EXPECT_EQ("own gui", dev.root.read("/opt/app/bin/gui.rcc"));
    EXPECT_TRUE(dev.root.list("/mnt/nand2").empty());
    EXPECT_EQ("own page", dev.root.read("/opt/app/www/index.html"));
    for (const char *flag : {"/mnt/nand/app/eraseip", "/mnt/nand/app/eraseuser", "/mnt/nand/app/eraseall"})
        EXPECT_TRUE(dev.root.exists(flag)) << flag;
    EXPECT_EQ(0, dev.param_int("oem_type", -1));
    EXPECT_EQ("sync \n", dev.calls());
}

TEST(VbHtm, OemCleanWithAFailedStepAnswersError)
{
    struct Case {
        const char *what;
        std::function<void(const VbHtmDevice &)> damage;
        bool backups_kept; // a failed copy back keeps the only copy of the branding
    } cases[] = {
        {"no logo backup", [](const VbHtmDevice &d) { unlink(d.root.host("/mnt/nand2/logo.jpg_bk").c_str()); }, true},
        {"no gui backup", [](const VbHtmDevice &d) { unlink(d.root.host("/mnt/nand2/gui.rcc_bk").c_str()); }, true},
        {"no program directory",
         [](const VbHtmDevice &d) { EXPECT_EQ(0, system(("rm -rf '" + d.root.host("/opt/app/bin") + "'").c_str())); },
         true},
        {"no archive", [](const VbHtmDevice &d) { unlink(d.root.host("/opt/app/www/web.tar.gz").c_str()); }, false},
        {"broken archive", [](const VbHtmDevice &d) { d.root.write("/opt/app/www/web.tar.gz", "not gzip"); }, false},
    };
    for (const Case &c : cases) {
        VbHtmDevice dev;
        brand_device(dev);
        c.damage(dev);
        ProcResult r = dev.get("oemclean");
        EXPECT_EQ(answers({"ERROR"}), r.out) << c.what << r.err;
        EXPECT_EQ(c.backups_kept, dev.root.exists("/mnt/nand2/oem_logo.jpg")) << c.what;
        // The steps after the failed one still ran.
        EXPECT_TRUE(dev.root.exists("/mnt/nand/app/eraseall")) << c.what;
        EXPECT_EQ(0, dev.param_int("oem_type", -1)) << c.what;
    }
}

TEST(VbHtm, ChipInfoIsReadFromTheChipTool)
{
    VbHtmDevice dev;
    dev.stub("qxchip_update", "echo 'chip tool 1.2'\necho 'Read old:SN-42:model'\necho 'Read old:second'");
    EXPECT_EQ(answers({"OK chipinfo=SN-42:model\n"}), dev.get("paratest=chipinfo").out);
    EXPECT_EQ("qxchip_update -r 32\n", dev.calls());
    EXPECT_TRUE(dev.root.list("/tmp").empty()); // the output file is gone

    dev.stub("qxchip_update", "echo nothing; exit 1");
    EXPECT_EQ(answers({"OK chipinfo=\n"}), dev.get("paratest=chipinfo").out);
    EXPECT_EQ(answers({"Param ERROR"}), dev.get("paratest=chip").out);
    EXPECT_EQ(answers({"Param ERROR"}), dev.get("paratest=chipinfo2").out);
}

TEST(VbHtm, ConcurrentChipInfoRequestsKeepTheirOwnOutput)
{
    VbHtmDevice dev;
    // The tool answers with the identity its request was given and stays a
    // while, so that every request's output is written before any is read.
    dev.stub("qxchip_update", "echo \"Read old:$CHIP_ID\"\nsleep 0.3");
    std::vector<std::string> out(6);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < out.size(); i++)
        threads.emplace_back([&, i] { out[i] = dev.get("paratest=chipinfo", {{"CHIP_ID", "id" + std::to_string(i)}}).out; });
    for (std::thread &t : threads) t.join();
    for (size_t i = 0; i < out.size(); i++)
        EXPECT_EQ(answers({("OK chipinfo=id" + std::to_string(i) + "\n").c_str()}), out[i]);
    EXPECT_TRUE(dev.root.list("/tmp").empty());
}

TEST(VbHtm, IdentityUpdatesPassOnlySafeValues)
{
    VbHtmDevice dev;
    dev.stub("qxchip_update", "");
    EXPECT_EQ(answers({"OK chipupdate"}), dev.get("chipupdate=AB-12.x:y_z").out);
    EXPECT_EQ(answers({"OK modelupdate"}), dev.get("modelupdate=NV6400").out);
    EXPECT_EQ("qxchip_update -w 32 AB-12.x:y_z\nqxchip_update -m NV6400\n", dev.calls());

    for (const char *query : {"chipupdate=a;touch%20x", "chipupdate=$(touch${IFS}pwn)", "chipupdate=a%27b",
                              "chipupdate=", "chipupdate=a`id`"}) {
        EXPECT_EQ(answers({"NG chipupdate"}), dev.get(query).out) << query;
    }
    EXPECT_EQ(answers({"NG modelupdate"}), dev.get("modelupdate=a b").out);
    EXPECT_EQ("qxchip_update -w 32 AB-12.x:y_z\nqxchip_update -m NV6400\n", dev.calls()); // nothing else ran

    dev.stub("qxchip_update", "exit 3");
    EXPECT_EQ(answers({"NG chipupdate"}), dev.get("chipupdate=X1").out);
}

TEST(VbHtm, SimulatorTakesTheLanguageRequest)
{
    // The simulator runs beside one request; its message log shows what it got.
    VbHtmDevice dev;
    std::string wrapper;
    for (const std::string &w : program_wrapper()) wrapper += "'" + w + "' ";
    const std::string script =
        wrapper + "\"$SIM\" --log \"$ROOT/sim.log\" 2>/dev/null & sim=$!\n"
        "i=0; while [ ! -S \"$ROOT/var/run/qxsocket\" ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); done\n" +
        wrapper + "\"$CGI\"\n"
        "i=0; while ! grep -q 4000 \"$ROOT/sim.log\" 2>/dev/null && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); done\n"
        "kill $sim; wait $sim\n";
    ProcResult r = run_program({"/bin/sh", "-c", script},
                               {{"SIM", program_path("nvrweb-sim")}, {"CGI", program_path("nvrweb.cgi")},
                                {"ROOT", dev.root.path()}, {"NVRWEB_ROOT", dev.root.path()}, {"REQUEST_METHOD", "GET"}, {"PATH_INFO", "/vb.htm"},
                                {"QUERY_STRING", "setlang=5"}},
                               "");
    EXPECT_EQ(answers({"OK"}), r.out) << r.err;
    const std::string log = dev.root.read("/sim.log");
    EXPECT_NE(std::string::npos, log.find("\"code\": 4000")) << log;
    EXPECT_NE(std::string::npos, log.find("\"payload_hex\": \"05000000\"")) << log;
}

} // namespace
