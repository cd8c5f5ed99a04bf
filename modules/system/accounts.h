// Handlers of log-in, log-out, language files and user accounts.
#pragma once
#include <cstddef>

#include <json-c/json.h>

#include "common/json_text.h"
#include "common/web_utils.h"

// ---- login.cpp ----------------------------------------------------------------------
int on_user_login(char *request);            // /1000
int on_user_login_from_mail(char *request);  // /1018
int on_user_logout(char *request);           // /1014
// Reply 8504 of the mailed-link log-in: cookies and redirect.
void on_user_login_from_mail_cb(size_t count, const void *payload);

// ---- language.cpp -------------------------------------------------------------------
int on_change_language(char *request);       // /1001
int on_get_lang_json(char *request);         // /json

// ---- users.cpp ----------------------------------------------------------------------
int on_get_user_list(char *request);         // /6070
int on_add_new_user(char *request);          // /6071
int on_set_user_info(char *request);         // /6072
int on_del_user_info(char *request);         // /6073
int on_get_oem_user_list(char *request);     // /6074
int on_modify_poe_camera_pwd(char *request); // /6075
int on_poe_camera_pwd_notify(char *request); // /6076
int on_cgi_set_user_info(char *request);     // /6077
int on_clear_permission_update(char *request); // /1024
// Reply 8265: the daemon's status as decimal text.
void on_modify_poe_camera_pwd_cb(size_t count, const void *payload);

// ---- Shared account helpers (users.cpp) ---------------------------------------------
#include "common/records/user.h"

enum { kUserFlagCount = sizeof(kUserFlags) / sizeof(kUserFlags[0]) };
// Adds an account's rights in the order of the log-in reply and the user
// list: "permission", the local flags and channel strings, the remote
// permission under `remote_permission_key`, the remote flags and strings.
void add_user_rights(json_object *obj, const UserRecord &user, const char *remote_permission_key);
void add_user_rights(JsonText &out, const UserRecord &user, const char *remote_permission_key);

// User names count to their first USER_NAME_SIGNIFICANT characters, alike when an
// account is created, renamed and logged in: the key is the name cut there.
void user_name_key(const char *name, char *out, size_t size);
// Looks up the account in use whose name has the key of `name`. 0 and the
// record when found; -1 (record zeroed, id -1) for no match, an empty name,
// and deleted or nameless slots.
int find_user_by_name(const char *name, UserRecord *user);
