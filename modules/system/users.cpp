// User accounts: list, add, change and delete (/6070 to /6073), the OEM
// account list (/6074), the PoE camera password requests (/6075, /6076), the
// accounts-changed notice (/6077) and the permission flag reset (/1024).
#include <cstdio>
#include <cstring>

#include "common/ipc.h"
#include "common/records/oem_user.h"
#include "common/records/user.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/system/accounts.h"
#include "modules/system/system_ipc.h"

namespace {

enum {
    IPC_USERS_CHANGED = 3505,
    IPC_POE_CAMERA_PWD = 3265,
    IPC_POE_CAMERA_PWD_NOTIFY = 3267,
};
enum { OPLOG_USER_CHANGE = 204, OPLOG_PARAM_USER_ADD = 921, OPLOG_PARAM_USER_DEL = 922 };
enum { kDigestMax = 32, kChannelTextMax = 64, kMaskBits = 32 };

// A channel string of the record and the mask derived from it.
struct ChannelText {
    const char *key;
    char (UserRecord::*text)[sizeof(UserRecord::localliveview)];
    int mask;
};
constexpr ChannelText kChannelTexts[4] = {
    {"localliveview", &UserRecord::localliveview, 0},
    {"localplayback", &UserRecord::localplayback, 1},
    {"remoteliveview", &UserRecord::remoteliveview, 2},
    {"remoteplayback", &UserRecord::remoteplayback, 3},
};

// Keys read by the add and change handlers: the fixed keys, the twenty
// flags (kUserFlags order) and the four channel strings.
enum {
    UK_ID,
    UK_NAME,
    UK_PASSWORD,
    UK_TYPE,
    UK_PERMISSION,
    UK_REMOTE_PERMISSION,
    UK_FLAGS,
    UK_CHANNELS = UK_FLAGS + kUserFlagCount,
    UK_COUNT = UK_CHANNELS + 4,
};
struct UserPolicy {
    JsonPolicy keys[UK_COUNT];
};
constexpr UserPolicy make_user_policy()
{
    UserPolicy p{{{"id", JK_INT},
                  {"name", JK_STRING},
                  {"password", JK_STRING},
                  {"type", JK_INT},
                  {"permission", JK_INT},
                  {"remotePermission", JK_INT}}};
    for (int i = 0; i < kUserFlagCount; i++) p.keys[UK_FLAGS + i] = {kUserFlags[i].key, JK_INT};
    for (int i = 0; i < 4; i++) p.keys[UK_CHANNELS + i] = {kChannelTexts[i].key, JK_STRING};
    return p;
}
constexpr UserPolicy kUserPolicy = make_user_policy();
NVRWEB_HANDLER_KEYS(on_add_new_user, kUserPolicy.keys);
NVRWEB_HANDLER_KEYS(on_set_user_info, kUserPolicy.keys);
NVRWEB_HANDLER_KEYS(on_del_user_info, kUserPolicy.keys);

bool valid_level(json_object *v) { return v && jv_int(v) >= 0 && jv_int(v) <= USER_LEVEL_MAX; }
bool valid_permission(json_object *v) { return v && jv_int(v) >= -1; }
bool valid_slot(json_object *v) { return v && jv_int(v) >= 0 && jv_int(v) < USER_SLOTS; }

// Bit i is set when character i of the text is '1'; only the first 32
// characters count.
uint32_t channel_mask(const char *text, size_t size)
{
    uint32_t mask = 0;
    for (size_t i = 0; i < size && i < kMaskBits && text[i]; i++)
        if (text[i] == '1') mask |= 1u << i;
    return mask;
}

// Copies the flags and channel strings the request holds into the record;
// the mask of every channel string given is derived anew.
void apply_user_fields(json_object *const *tb, UserRecord *user)
{
    for (int i = 0; i < kUserFlagCount; i++)
        if (tb[UK_FLAGS + i]) user->*kUserFlags[i].field = jv_int(tb[UK_FLAGS + i]);
    for (int i = 0; i < 4; i++) {
        const ChannelText &c = kChannelTexts[i];
        char *text = user->*c.text;
        if (!jv_copy(tb[UK_CHANNELS + i], text, kChannelTextMax + 1)) continue;
        user->chn_mask[c.mask] = channel_mask(text, sizeof(UserRecord::localliveview));
    }
}

void set_digest(json_object *v, UserRecord *user)
{
    // At most 32 digits, and nothing of the old digest behind them.
    char digest[kDigestMax + 1];
    if (jv_copy(v, digest, sizeof digest)) COPY_TEXT(user->password, digest);
}

// The keys an account and an OEM account share, from "id" to "type".
template <class Record> json_object *account_entry(const Record &u)
{
    json_object *obj = json_object_new_object();
    json_add_int(obj, "id", u.id);
    json_add_int(obj, "enable", u.enable);
    json_add_field(obj, "name", u.name);
    json_add_field(obj, "password", u.password);
    json_add_int(obj, "type", u.type);
    return obj;
}

} // namespace


namespace {
// The members as json_add_int()/json_add_field() add them to an object.
struct ObjectOut {
    json_object *obj;
    void add_int(const char *key, int value) { json_add_int(obj, key, value); }
    template <size_t N> void add_field(const char *key, const char (&field)[N]) { json_add_field(obj, key, field); }
};

template <class Out> void put_user_rights(Out &out, const UserRecord &user, const char *remote_permission_key)
{
    const int half = kUserFlagCount / 2;
    out.add_int("permission", user.permission);
    for (int i = 0; i < half; i++) out.add_int(kUserFlags[i].key, user.*kUserFlags[i].field);
    out.add_field("localliveview", user.localliveview);
    out.add_field("localplayback", user.localplayback);
    out.add_int(remote_permission_key, user.remotePermission);
    for (int i = half; i < kUserFlagCount; i++) out.add_int(kUserFlags[i].key, user.*kUserFlags[i].field);
    out.add_field("remoteliveview", user.remoteliveview);
    out.add_field("remoteplayback", user.remoteplayback);
}
} // namespace

void add_user_rights(json_object *obj, const UserRecord &user, const char *remote_permission_key)
{
    ObjectOut out{obj};
    put_user_rights(out, user, remote_permission_key);
}

void add_user_rights(JsonText &out, const UserRecord &user, const char *remote_permission_key)
{
    put_user_rights(out, user, remote_permission_key);
}

void user_name_key(const char *name, char *out, size_t size)
{
    size_t limit = size < USER_NAME_SIGNIFICANT + 1 ? size : USER_NAME_SIGNIFICANT + 1;
    copy_text(out, limit, name);
}

int find_user_by_name(const char *name, UserRecord *user)
{
    char key[USER_NAME_SIGNIFICANT + 1];
    user_name_key(name, key, sizeof key);
    memset(user, 0, sizeof *user);
    user->id = -1;
    if (key[0] == '\0') return -1;
    read_user_by_name(QXDB_PATH, user, key);
    if (user->id < 0 || user->id >= USER_SLOTS || user->enable == 0 || user->name[0] == '\0')
        return -1;
    return 0;
}

int on_get_user_list(char *)
{
    static UserRecord users[USER_SLOTS];
    int count = 0;
    memset(users, 0, sizeof users);
    read_users(QXDB_PATH, users, &count);
    if (count < 0) count = 0;
    if (count > USER_SLOTS) count = USER_SLOTS;

    json_object *list = json_object_new_array();
    for (int i = 0; i < count; i++) {
        if (users[i].enable == 0) continue;
        json_object *obj = account_entry(users[i]);
        add_user_rights(obj, users[i], "remotePermission");
        json_object_array_add(list, obj);
    }
    cgi_writeback_json(REPLY_JSON, list);
    json_object_put(list);
    return 0;
}

int on_add_new_user(char *request)
{
    if (!request) return 0;
    if (read_user_count(QXDB_PATH) >= USER_SLOTS) {
        cgi_writeback_webserver(REPLY_TEXT, "FAILED_FULL");
        return 0;
    }

    // parse
    JsonDoc doc(request);
    json_object *tb[UK_COUNT];
    if (!doc || JSON_PARSE(doc.get(), kUserPolicy.keys, tb) < 0) return 0;

    // validate
    if (!valid_level(tb[UK_TYPE]) || !valid_permission(tb[UK_PERMISSION]) ||
        !valid_permission(tb[UK_REMOTE_PERMISSION]))
        return 0;
    char name[USER_NAME_SIGNIFICANT + 1];
    user_name_key(jv_str(tb[UK_NAME]), name, sizeof name);
    if (name[0] == '\0') return 0;
    UserRecord user;
    if (find_user_by_name(name, &user) == 0) {
        cgi_writeback_webserver(REPLY_TEXT, "SAMEUSER");
        return 0;
    }

    // act
    memset(&user, 0, sizeof user);
    user.enable = 1;
    jv_copy(tb[UK_NAME], user.name, sizeof user.name);
    set_digest(tb[UK_PASSWORD], &user);
    user.type = jv_int(tb[UK_TYPE]);
    user.permission = jv_int(tb[UK_PERMISSION]);
    user.remotePermission = jv_int(tb[UK_REMOTE_PERMISSION]);
    apply_user_fields(tb, &user);
    COPY_TEXT(user.init_text, "0");
    if (add_user(QXDB_PATH, &user) < 0) {
        cgi_log("OnSystem", __LINE__, "", "add user %s: not stored", name);
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }

    // reply, then the notices
    char text[16];
    snprintf(text, sizeof text, "id=%d", user.id);
    cgi_writeback_webserver(REPLY_TEXT, text);
    system_notify_ipc(IPC_USERS_CHANGED, 0, nullptr);
    cgi_send_oplog(OPLOG_USER_CHANGE, OPLOG_PARAM_USER_ADD);
    return 0;
}

int on_set_user_info(char *request)
{
    // parse
    JsonDoc doc(request);
    json_object *tb[UK_COUNT];
    if (!doc || JSON_PARSE(doc.get(), kUserPolicy.keys, tb) < 0) return 0;

    // validate: an account in use, a level, a free name
    if (!valid_slot(tb[UK_ID]) || !valid_level(tb[UK_TYPE])) return 0;
    int32_t id = jv_int(tb[UK_ID]);
    char name[USER_NAME_SIGNIFICANT + 1] = "";
    if (tb[UK_NAME]) {
        user_name_key(jv_str(tb[UK_NAME]), name, sizeof name);
        if (name[0] == '\0') return 0;
    }

    // act: only the slot named by "id"; the account check, the name check
    // and the write are one transaction, so a concurrent delete or rename
    // is either seen here or comes after this change.
    enum { CHANGED, NO_ACCOUNT, SAME_NAME };
    int outcome = settings_atomic(QXDB_PATH, [&]() -> int {
        UserRecord user;
        memset(&user, 0, sizeof user);
        if (read_user(QXDB_PATH, &user, id) != 0) return -1;
        if (user.enable == 0) return NO_ACCOUNT;
        UserRecord other;
        if (name[0] && find_user_by_name(name, &other) == 0 && other.id != id) return SAME_NAME;
        user.id = id;
        user.enable = 1;
        if (name[0]) {
            memset(user.name, 0, sizeof user.name);
            COPY_TEXT(user.name, name);
        }
        if (tb[UK_PASSWORD]) {
            memset(user.password, 0, sizeof user.password);
            set_digest(tb[UK_PASSWORD], &user);
        }
        user.type = jv_int(tb[UK_TYPE]);
        apply_user_fields(tb, &user);
        return write_user(QXDB_PATH, &user) != 0 ? -1 : CHANGED;
    });
    if (outcome == NO_ACCOUNT) return 0;
    if (outcome == SAME_NAME) {
        cgi_writeback_webserver(REPLY_TEXT, "SAMEUSER");
        return 0;
    }
    if (outcome < 0) {
        cgi_log("OnSystem", __LINE__, "", "change user %d: not stored", id);
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }

    // reply, then the notice
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    system_notify_ipc(IPC_USERS_CHANGED, sizeof id, &id);
    return 0;
}

int on_del_user_info(char *request)
{
    // parse
    JsonDoc doc(request);
    json_object *tb[UK_COUNT];
    if (!doc || JSON_PARSE(doc.get(), kUserPolicy.keys, tb) < 0) return 0;

    // validate
    if (!valid_slot(tb[UK_ID]) || !valid_level(tb[UK_TYPE])) return 0;
    int32_t id = jv_int(tb[UK_ID]);

    // act: the slot becomes empty
    UserRecord user;
    memset(&user, 0, sizeof user);
    user.id = id;
    if (write_user(QXDB_PATH, &user) != 0) {
        cgi_log("OnSystem", __LINE__, "", "delete user %d: not stored", id);
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }

    // reply, then the notices
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    system_notify_ipc(IPC_USERS_CHANGED, sizeof id, &id);
    cgi_send_oplog(OPLOG_USER_CHANGE, OPLOG_PARAM_USER_DEL);
    return 0;
}

int on_get_oem_user_list(char *)
{
    if (IsFileExisted(QXDB_OEM_PATH) != 0) return 0;
    static OemUserRecord users[USER_SLOTS];
    int count = 0;
    memset(users, 0, sizeof users);
    read_users_oem(QXDB_OEM_PATH, users, &count);
    if (count < 0) count = 0;
    if (count > USER_SLOTS) count = USER_SLOTS;

    json_object *list = json_object_new_array();
    for (int i = 0; i < count; i++) {
        const OemUserRecord &u = users[i];
        if (u.enable == 0) continue;
        json_object *obj = account_entry(u);
        json_add_int(obj, "permission", u.permission);
        json_add_int(obj, "remotePermission", u.remotePermission);
        json_object_array_add(list, obj);
    }
    cgi_writeback_json(REPLY_JSON, list);
    json_object_put(list);
    return 0;
}

int on_modify_poe_camera_pwd(char *)
{
    system_request_ipc(IPC_POE_CAMERA_PWD, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_modify_poe_camera_pwd_cb(size_t, const void *payload)
{
    int32_t status;
    memcpy(&status, payload, sizeof status);
    char text[16];
    snprintf(text, sizeof text, "%d", status);
    cgi_writeback_webserver(REPLY_TEXT, text);
    g_callback_done = 1;
}

int on_poe_camera_pwd_notify(char *)
{
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    system_notify_ipc(IPC_POE_CAMERA_PWD_NOTIFY, 0, nullptr);
    return 0;
}

int on_cgi_set_user_info(char *)
{
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    system_notify_ipc(IPC_USERS_CHANGED, 0, nullptr);
    return 0;
}

int on_clear_permission_update(char *)
{
    if (set_param_int(QXDB_PATH, "permission_update", 0) != 0) {
        cgi_error_to_webserver(REPLY_TEXT);
        return 0;
    }
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    return 0;
}
