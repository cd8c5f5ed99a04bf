// Maintenance option commands: option table, hash table, request splitter
// and the options.
#include "common/http_option.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "platform/device_path.h"
#include "common/ipc.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "platform/qx_std.h"

enum { IPC_SET_LANGUAGE = 4000 };

HttpOption HttpOptionTable[HTTP_OPTION_COUNT] = {
    {"setlang", setlang, 0, 0, 1, nullptr},         {"setdefault", setdefault, 0, 0, 1, nullptr},
    {"decode", decode, 0, 0, 1, nullptr},           {"hotplug", hotplug, 0, 0, 1, nullptr},
    {"oemclean", oemclean, 0, 0, 1, nullptr},       {"paratest", paratest, 0, 0, 1, nullptr},
    {"chipupdate", chipupdate, 0, 0, 1, nullptr},   {"modelupdate", modelupdate, 0, 0, 1, nullptr},
    {"softversion", softversion, 2, 0, 1, nullptr},
};

const char HTTP_OPTION_NO_ARG[HTTP_OPTION_NO_ARG_SLOTS][HTTP_OPTION_TEXT_SIZE] = {
    "oemclean", "zorva", "debug", "softversion", "", "", "", "", "", "",
};

// ---- Hash table ---------------------------------------------------------------------

namespace {
HttpOption **cmd_hash = nullptr;
}

uint32_t http_option_hash(const char *text)
{
    uint32_t h = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text ? text : ""); *p; p++)
        h = h * 37u + *p;
    return h & (HTTP_OPTION_HASH_BUCKETS - 1);
}

int hash_table_init()
{
    hash_table_destory();
    const size_t size = sizeof(HttpOption *) * HTTP_OPTION_HASH_BUCKETS;
    cmd_hash = static_cast<HttpOption **>(__qx_malloc(size, "web_utils", __LINE__));
    if (!cmd_hash) return -1;
    memset(cmd_hash, 0, size);
    for (HttpOption &option : HttpOptionTable) {
        HttpOption *&head = cmd_hash[http_option_hash(option.name)];
        option.next = head;
        head = &option;
    }
    return 0;
}

void hash_table_destory()
{
    if (!cmd_hash) return;
    __qx_free(cmd_hash, "web_utils", __LINE__);
    cmd_hash = nullptr;
}

HttpOption *http_option_search(const HttpOptionSlot *slot)
{
    if (!cmd_hash || !slot) return nullptr;
    char name[HTTP_OPTION_TEXT_SIZE];
    copy_field(name, sizeof name, slot->name, sizeof slot->name);
    for (HttpOption *o = cmd_hash[http_option_hash(name)]; o; o = o->next)
        if (strcmp(o->name, name) == 0) return o;
    return nullptr;
}

// ---- Request text -----------------------------------------------------------------------

int is_httpoption_no_arg(const char *text)
{
    if (!text) return 0;
    for (const char *keyword : HTTP_OPTION_NO_ARG)
        if (strcmp(text, keyword) == 0) return 1;
    return 0;
}

int get_httpoption_argnum(const char *text)
{
    if (!text) return 0;
    int count = 0;
    for (size_t i = 0; i < HTTP_OPTION_ARGNUM_SCAN && text[i]; i++)
        if (text[i] == '=') count++;
    return count;
}

int ui_decodeing(const char *text, HttpOptionSlot *slots, int count)
{
    if (!text || !slots || count < 1 || count > HTTP_OPTION_SLOTS) return -1;
    size_t pos = 0;
    // Copies characters up to `stop` or the end into field; false when the
    // text runs past the last position the split may read.
    auto take = [&](char stop, char *field) {
        size_t n = 0;
        for (; text[pos] && text[pos] != stop; pos++) {
            if (pos > HTTP_OPTION_MAX_POSITION) return false;
            if (n + 1 < HTTP_OPTION_TEXT_SIZE) field[n++] = text[pos];
        }
        field[n] = '\0';
        if (text[pos] == stop) pos++;
        return true;
    };
    for (int i = 0; i < count; i++) {
        HttpOptionSlot &slot = slots[i];
        memset(&slot, 0, sizeof slot);
        if (!take('=', slot.name) || !take('&', slot.value)) return -1;
    }
    return 0;
}

// ---- Answers ------------------------------------------------------------------------------

namespace {
bool g_reply_started = false; // the CGI header of this request is out
}

void http_option_reply_reset() { g_reply_started = false; }

void http_option_reply(const char *text)
{
    cgi_writeback_webserver(g_reply_started ? REPLY_RAW : REPLY_TEXT, text);
    g_reply_started = true;
}

// ---- Options ------------------------------------------------------------------------------

namespace {

void answer(const char *text) { http_option_reply(text); }

// Runs a command that shell_format() built (formatted = its result).
int run_command(int formatted, const char *command)
{
    if (formatted < 0) {
        cgi_log("web_utils", __LINE__, __func__, "command too long, not run");
        return -1;
    }
    return web_system(command);
}

// Stores a text parameter, creating the key when it is missing.
int store_text_param(const char *key, const char *value)
{
    int missing = check_param_key(QXDB_PATH, key);
    if (missing < 0) return -1;
    return missing ? add_param_value(QXDB_PATH, key, value) : set_param_value(QXDB_PATH, key, value);
}

int store_option_param(const char *key, const HttpOptionSlot *slot)
{
    char value[HTTP_OPTION_TEXT_SIZE];
    copy_field(value, sizeof value, slot->value, sizeof slot->value);
    answer(store_text_param(key, value) == 0 ? "OK" : "ERROR");
    return 0;
}

// Hands an identity value to the chip tool; "OK <name>" when the tool ran
// and succeeded, "NG <name>" otherwise (nothing runs for a refused value).
int chip_tool_update(const char *option, const char *tool_format, const HttpOptionSlot *slot)
{
    char value[HTTP_OPTION_TEXT_SIZE];
    copy_field(value, sizeof value, slot->value, sizeof slot->value);
    char command[256];
    bool ok = chip_identity_valid(value) &&
              run_command(shell_format(command, sizeof command, tool_format, value), command) == 0;
    char text[64];
    snprintf(text, sizeof text, "%s %s", ok ? "OK" : "NG", option);
    answer(text);
    return ok ? 0 : -1;
}

// Reads the chip tool's identity line ("Read old:...") into out; "" when the
// tool gave none. Each request has its own output file.
void read_chip_info(char *out, size_t size)
{
    out[0] = '\0';
    char path[512];
    if (!nvr_path("/tmp/chipinfo.XXXXXX", path, sizeof path)) return;
    int fd = mkstemp(path);
    if (fd < 0) {
        cgi_log("web_utils", __LINE__, __func__, "mkstemp %s: %s", path, strerror(errno));
        return;
    }
    char command[600];
    run_command(shell_format(command, sizeof command, "qxchip_update -r 32 > %s", path), command);
    FILE *f = fdopen(fd, "r");
    if (f) {
        char line[128];
        while (fgets(line, sizeof line, f)) {
            if (!strstr(line, "Read old:")) continue;
            line[strcspn(line, "\r\n")] = '\0';
            copy_text(out, size, strlen(line) > 9 ? line + 9 : "");
            break;
        }
        fclose(f);
    } else {
        close(fd);
    }
    unlink(path);
}

} // namespace

bool chip_identity_valid(const char *value)
{
    if (!value) return false;
    size_t n = 0;
    for (const char *p = value; *p; p++, n++) {
        const char c = *p;
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                             c == '.' || c == '_' || c == ':' || c == '-';
        if (!allowed || n >= 63) return false;
    }
    return n > 0;
}

int setlang(const HttpOptionSlot *slot)
{
    char value[HTTP_OPTION_TEXT_SIZE];
    copy_field(value, sizeof value, slot->value, sizeof slot->value);
    long language = strtol(value, nullptr, 10);
    if (language > INT32_MAX) language = INT32_MAX;
    if (language < INT32_MIN) language = INT32_MIN;
    const int32_t payload = static_cast<int32_t>(language);
    cgi_notify_ipc(IPC_SET_LANGUAGE, payload);
    answer("OK");
    return 0;
}

int setdefault(const HttpOptionSlot *) { return 0; }

int decode(const HttpOptionSlot *slot) { return store_option_param("decode", slot); }

int hotplug(const HttpOptionSlot *slot) { return store_option_param("hdmihotplug", slot); }

int oemclean(const HttpOptionSlot *)
{
    const std::string nand2 = nvr_path("/mnt/nand2");
    const std::string bin = nvr_path("/opt/app/bin");
    const std::string www = nvr_path("/opt/app/www");
    const std::string app = nvr_path("/mnt/nand/app");
    char cmd[1024];
    // Every step runs; one that fails makes the answer "ERROR".
    bool ok = true;
    auto step = [&](int formatted) {
        if (run_command(formatted, cmd) != 0) ok = false;
    };
    step(shell_format(cmd, sizeof cmd, "cp %s/%s %s/logo.jpg > /dev/null", nand2.c_str(), "logo.jpg_bk",
                      bin.c_str()));
    step(shell_format(cmd, sizeof cmd, "cp %s/%s %s/gui.rcc > /dev/null", nand2.c_str(), "gui.rcc_bk",
                      bin.c_str()));
    // The backups are the only copy of the device's own branding: they are
    // removed only once both have been put back.
    if (ok) step(shell_format(cmd, sizeof cmd, "rm %s/* > /dev/null", nand2.c_str()));
    step(shell_format(cmd, sizeof cmd, "tar -zxvf %s/%s -C %s/ > /dev/null", www.c_str(), "web.tar.gz",
                      www.c_str()));
    step(shell_format(cmd, sizeof cmd, "touch %s/%s", app.c_str(), "eraseip"));
    step(shell_format(cmd, sizeof cmd, "touch %s/%s", app.c_str(), "eraseuser"));
    if (set_param_int(QXDB_PATH, "oem_type", 0) != 0) ok = false;
    step(shell_format(cmd, sizeof cmd, "touch %s/%s", app.c_str(), "eraseall"));
    web_system("sync");
    answer(ok ? "OK" : "ERROR");
    return ok ? 0 : -1;
}

int paratest(const HttpOptionSlot *slot)
{
    if (strncmp(slot->value, "chipinfo", sizeof slot->value) != 0) {
        answer("Param ERROR");
        return -1;
    }
    char info[128];
    read_chip_info(info, sizeof info);
    char text[160];
    snprintf(text, sizeof text, "OK chipinfo=%s\n", info);
    answer(text);
    return 0;
}

int chipupdate(const HttpOptionSlot *slot) { return chip_tool_update("chipupdate", "qxchip_update -w 32 %s", slot); }

int modelupdate(const HttpOptionSlot *slot) { return chip_tool_update("modelupdate", "qxchip_update -m %s", slot); }

int softversion(const HttpOptionSlot *)
{
    char version[128];
    get_param_value(QXDB_PATH, "software_version", version, sizeof version, "7x.7.0.9");
    answer(version);
    return 0;
}
