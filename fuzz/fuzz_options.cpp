// The "/vb.htm" option-command parser on arbitrary request texts: the split
// into slots must stay within the slots and keep every keyword and value
// terminated, the lookup must find only the table's own names, and the
// whole route (through the system module's handler, whose options run with
// stand-in tools on PATH and a daemon stand-in) must answer with at most one
// CGI header.
#include <cstdint>
#include <cstring>
#include <string>

#include "common/http_option.h"
#include "frontend/route_table.h"
#include "fuzz/fuzz_support.h"
#include "platform/qx_server.h"
#include "tests/support/garbage_daemon.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_init();
    fuzz_init_settings();
    // The daemon takes the options' notices (a status 0 for each).
    static GarbageDaemon daemon(fuzz_host("/var/run/qxsocket"), [](int, const std::string &) {
        return std::vector<DaemonReply>{{qx_le32_bytes(0)}};
    });
    if (!daemon.listening()) fuzz_fail("daemon stand-in cannot listen");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.substr(0, text.find('\0'));

    int argnum = get_httpoption_argnum(text.c_str());
    if (argnum < 0 || argnum > HTTP_OPTION_ARGNUM_SCAN) fuzz_fail("argument count out of range");
    is_httpoption_no_arg(text.c_str());

    HttpOptionSlot slots[HTTP_OPTION_SLOTS];
    memset(slots, 0x5A, sizeof slots);
    int count = argnum > 0 ? argnum : 1;
    if (hash_table_init() != 0) fuzz_fail("cannot build the option hash table");
    if (ui_decodeing(text.c_str(), slots, count) == 0) {
        if (count > HTTP_OPTION_SLOTS) fuzz_fail("split accepted more slots than there are");
        for (int i = 0; i < count; i++) {
            if (!memchr(slots[i].name, '\0', sizeof slots[i].name) ||
                !memchr(slots[i].value, '\0', sizeof slots[i].value))
                fuzz_fail("slot text without its zero");
            const HttpOption *option = http_option_search(&slots[i]);
            if (option && strcmp(option->name, slots[i].name) != 0) fuzz_fail("lookup found another name");
        }
    }
    hash_table_destory();

    // The whole route, when the system module is linked in.
    std::string reply;
    if (FindWebRes("/vb.htm")) {
        std::string request = text;
        request.push_back('\0');
        DispatchWebReq("/vb.htm", &request[0]);
        reply = fuzz_take_output();
        fuzz_clear_dir("/tmp");
        fuzz_check_settings_now_and_then();
    }
    fuzz_check_after_run(reply, false);
    return 0;
}
