// Log-in (/1000), log-in through a mailed link (/1018) and log-out (/1014).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>

#include "platform/device_path.h"
#include "common/ipc.h"
#include "common/records/login.h"
#include "common/records/user.h"
#include "common/sessions.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "frontend/cgi.h"
#include "modules/system/accounts.h"
#include "modules/system/system_ipc.h"

namespace {

enum { kLoginNameMax = 255, kLoginDigestMax = 32 };
enum { LOGIN_NO_USER = -1, LOGIN_REFUSED_LEVEL = -2 };
enum { kLevelNoWeb = 3 }; // accounts of this level cannot log in through the web
enum { kMailLevel = 2 };  // the level of a mailed link's session

const JsonPolicy kLoginPolicy[] = {
    {"userName", JK_STRING},
    {"md5", JK_STRING},
};
NVRWEB_HANDLER_KEYS(on_user_login, kLoginPolicy);
enum { LOGIN_USER_NAME, LOGIN_MD5 };

// The certificate directories of the HTTPS settings; created here only.
void config_ssl_params()
{
    for (const char *dir : {"/mnt/nand/ssl", "/mnt/nand/ssl/tmp"}) {
        if (IsDirExisted(dir) == 0) continue;
        if (mkdir(nvr_path(dir).c_str(), 0755) != 0 && errno != EEXIST)
            cgi_log("OnSystem", __LINE__, "", "mkdir %s: %s", dir, strerror(errno));
    }
}

// Result of a log-in: the user's level, or LOGIN_NO_USER / LOGIN_REFUSED_LEVEL.
int check_login(const char *name, const char *md5, UserRecord *user)
{
    if (find_user_by_name(name, user) != 0) return LOGIN_NO_USER;
    if (user->type == kLevelNoWeb) return LOGIN_REFUSED_LEVEL;
    char stored[sizeof user->password + 1];
    copy_field(stored, sizeof stored, user->password, sizeof user->password);
    if (stored[0] == '\0' || strcasecmp(stored, md5) != 0) return LOGIN_NO_USER;
    return user->type;
}

struct DeviceFacts {
    int failover_mode;
    int same_channel;
    char hardware_version[32];
    char software_version[256];
    char model[256];
};

void read_device_facts(DeviceFacts *facts)
{
    facts->failover_mode = get_param_int(QXDB_PATH, "failover_mode", 0);
    facts->same_channel = get_param_int(QXDB_PATH, "same_channel_exist", 0) == 2 ? 1 : 0;
    get_param_value(QXDB_PATH, "hardware_version", facts->hardware_version,
                    sizeof facts->hardware_version, "V1.1");
    get_param_value(QXDB_PATH, "software_version", facts->software_version,
                    sizeof facts->software_version, "7x.7.0.9");
    get_param_value(QXDB_PATH, "model", facts->model, sizeof facts->model, "");
}

// Written as text (a log-in answers on every page load of a new tab).
std::string login_reply(const UserRecord &user, const char *session_id, const DeviceFacts &facts)
{
    JsonText t(1024);
    t.begin_object();
    t.add_int("type", user.type);
    t.add_field("userName", user.name);
    add_user_rights(t, user, "remotePermisson"); // the log-in reply's spelling
    t.add_text("sessionId", session_id);
    t.add_int("failoverMode", facts.failover_mode);
    t.add_int("sameChannel", facts.same_channel);
    t.add_field("hardwareVersion", facts.hardware_version);
    t.add_field("softwareVersion", facts.software_version);
    t.add_field("model", facts.model);
    t.end_object();
    return t.take();
}

// The session a log-in hands out: stored when sessions are kept, else only
// made up as the reply's id. False when none could be had.
bool start_session(int slot, const char *user, int level, char (&id)[SESSION_ID_DIGITS + 1])
{
    if (session_check_mode(QXDB_PATH) == SESSION_CHECK_OFF) return get_session_id(id, sizeof id) == 0;
    return session_start(QXDB_PATH, slot, user, level, static_cast<int64_t>(time(nullptr)), id) == 0;
}

} // namespace

int on_user_login(char *request)
{
    // parse
    JsonDoc doc(request);
    json_object *tb[2];
    if (!doc || JSON_PARSE(doc.get(), kLoginPolicy, tb) < 0) return 0;
    config_ssl_params();
    char name[kLoginNameMax + 1] = "";
    char md5[kLoginDigestMax + 1] = "";
    jv_copy(tb[LOGIN_USER_NAME], name, sizeof name);
    jv_copy(tb[LOGIN_MD5], md5, sizeof md5);

    // validate: the account and its digest
    UserRecord user;
    int result = check_login(name, md5, &user);
    if (result < 0) {
        char text[32];
        snprintf(text, sizeof text, "{\"type\":%d}", result);
        cgi_writeback_webserver(REPLY_TEXT, text);
        return 0;
    }
    char account[sizeof user.name + 1];
    copy_field(account, sizeof account, user.name, sizeof user.name);
    char session_id[SESSION_ID_DIGITS + 1];
    if (!start_session(user.id, account, user.type, session_id)) {
        cgi_log("OnSystem", __LINE__, "", "log-in: no session for %s", account);
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }

    // act: the operation log records the log-in
    OpLogRecord log;
    cgi_init_log_info(&log);
    log.sub_type = 201;
    log.param_type = 900;
    COPY_TEXT(log.user_name, name);
    cgi_send_oplog_record(log);

    // reply
    DeviceFacts facts = {};
    read_device_facts(&facts);
    cgi_writeback_webserver(REPLY_TEXT, login_reply(user, session_id, facts).c_str());
    return 0;
}

int on_user_login_from_mail(char *request)
{
    MailLoginRequest payload;
    memset(&payload, 0, sizeof payload);
    COPY_TEXT(payload.query, request);
    system_request_ipc(IPC_MAIL_LOGIN, payload, REPLY_TEXT);
    return 0;
}

void on_user_login_from_mail_cb(size_t, const void *payload)
{
    int32_t status;
    memcpy(&status, payload, sizeof status);
    // A redirect either way: the status line first, then cookies and Location.
    cgiHeaderStatus("302 Found");
    if (status == 0) {
        // The cookies' domain is the host the browser asked for, without port.
        char domain[50];
        size_t n = strcspn(cgiServerAddr ? cgiServerAddr : "", ":");
        copy_field(domain, sizeof domain, cgiServerAddr, n);
        // Where sessions are kept, the link's session is a real one of level 2.
        char session_id[SESSION_ID_DIGITS + 1] = "0";
        if (session_check_mode(QXDB_PATH) != SESSION_CHECK_OFF)
            session_start(QXDB_PATH, SESSION_NO_ACCOUNT, "temp", kMailLevel, static_cast<int64_t>(time(nullptr)),
                          session_id);
        const char *const kCookies[][2] = {
            {"userName", "temp"},     {"userType", "2"},        {"permission", "0"},
            {"sessionId", session_id}, {"language", "en-US"},
        };
        for (const auto &c : kCookies) cgiHeaderCookieSetString(c[0], c[1], 600, "/", domain);
        cgiHeaderLocation("../../html/index.html");
    } else {
        cgiHeaderLocation("../../html/home.html");
    }
    g_callback_done = 1;
}

int on_user_logout(char *request)
{
    char ids[2][SESSION_ID_DIGITS + 1];
    const int count = session_request_ids(request, ids);
    for (int i = 0; i < count; i++) session_end(QXDB_PATH, ids[i]);
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    cgi_send_oplog(202, 900);
    return 0;
}
