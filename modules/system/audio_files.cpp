// Custom alarm sounds: the list the daemon keeps (/6320), the check of an
// uploaded WAV file (/6321), handing it to the daemon (/6322), deleting,
// renaming and playing sounds (/6323 to /6325).
//
// Names travel in URL-safe Base64, so a name is always a plain file name in
// /tmp. Files are only ever renamed (rename) or removed (unlink) one by one,
// and only directly under /tmp.
#include "modules/system/audio_files.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "common/ipc.h"
#include "common/records/audio.h"
#include "common/web_utils.h"
#include "modules/system/system_ipc.h"
#include "platform/device_path.h"
#include "platform/qx_base64.h"

namespace {

enum { OPLOG_SUB_SETTING = 204, OPLOG_PARAM_SOUNDS = 925 };
enum { kNameMax = SOUND_NAME_SIZE - 1 };

const char kTmpDir[] = "/tmp/";

// A file name directly under /tmp: one component, not "." or "..".
bool plain_name(const char *name)
{
    return name[0] != '\0' && !strchr(name, '/') && !strstr(name, "..") && strcmp(name, ".") != 0;
}

std::string tmp_path(const char *name) { return nvr_path((std::string(kTmpDir) + name).c_str()); }

bool readable_file(const std::string &host)
{
    struct stat st;
    return lstat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(host.c_str(), R_OK) == 0;
}

bool wav_name(const char *name)
{
    size_t n = strlen(name);
    return n > 4 && (strcmp(name + n - 4, ".wav") == 0 || strcmp(name + n - 4, ".WAV") == 0);
}

// URL-safe Base64 of a name (at most kNameMax characters of it) into out
// (SOUND_NAME_SIZE bytes); false, out empty, when the encoded form is empty
// or would not fit.
bool encode_name(const char *name, char *out)
{
    char plain[kNameMax + 1];
    size_t n = copy_text(plain, sizeof plain, name);
    return base64EncodeUrl(reinterpret_cast<const unsigned char *>(plain), static_cast<int>(n), out,
                           SOUND_NAME_SIZE) > 0;
}

// Checks the upload and stores it under its encoded name. Returns the
// status: 0, or -1 (the upload removed when it was ours to remove).
int store_upload(const char *path, char *encoded)
{
    if (strncmp(path, kTmpDir, sizeof kTmpDir - 1) != 0) return -1;
    const char *name = path + sizeof kTmpDir - 1;
    if (!plain_name(name)) return -1;
    std::string host = tmp_path(name);
    if (!readable_file(host)) return -1;
    if (!wav_name(name)) {
        unlink(host.c_str());
        cgi_log("OnSystem", __LINE__, "", "htx upload_audio_file ret:[%d], pData:[%s], name:[%s]", -1, path, name);
        return -1;
    }
    if (!encode_name(name, encoded) || rename(host.c_str(), tmp_path(encoded).c_str()) != 0) {
        cgi_log("OnSystem", __LINE__, "", "audio upload %s not stored: %s", path,
                encoded[0] ? strerror(errno) : "name too long");
        unlink(host.c_str());
        return -1;
    }
    return 0;
}

// Sends a sound request and waits; the reply callback answers {"status"}.
// The changes are logged once the daemon has answered.
void sound_request(int code, int length, const void *payload, bool logged)
{
    int done = system_request_ipc(code, length, payload, REPLY_JSON);
    if (done == 1 && logged) cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_SOUNDS);
}

// The sound id of a request: 0..9, -1 when missing, mistyped or outside.
int sound_id(json_object *v)
{
    if (!v || !json_object_is_type(v, json_type_int)) return -1;
    int64_t id = json_object_get_int64(v);
    return id >= 0 && id < SOUND_SLOTS ? static_cast<int>(id) : -1;
}

} // namespace

// ---- /6320 ---------------------------------------------------------------------------------

int on_get_audio_file_list(char *)
{
    system_request_ipc(IPC_SOUND_LIST, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_get_audio_file_list_cb(size_t count, const void *payload)
{
    json_object *list = json_object_new_array();
    for (size_t i = 0; i < count; i++) {
        SoundRecord rec;
        memcpy(&rec, static_cast<const uint8_t *>(payload) + i * sizeof rec, sizeof rec);
        if (rec.enable != 1) continue;
        json_object *o = json_object_new_object();
        json_add_int(o, "id", rec.id);
        json_add_int(o, "enable", rec.enable);
        char encoded[SOUND_NAME_SIZE + 1];
        copy_field(encoded, sizeof encoded, rec.name, sizeof rec.name);
        unsigned char name[SOUND_NAME_SIZE];
        int n = base64DecodeUrl(encoded, name, sizeof name);
        if (n >= 0)
            json_object_object_add(o, "name", json_object_new_string_len(reinterpret_cast<char *>(name), n));
        json_object_array_add(list, o);
    }
    json_object *reply = json_object_new_object();
    json_object_object_add(reply, "audioFileList", list);
    json_add_int(reply, "status", 0);
    cgi_writeback_json(REPLY_JSON, reply);
    json_object_put(reply);
    g_callback_done = 1;
}

void on_audio_file_status_cb(size_t count, const void *payload)
{
    on_cgi_common_json_cb(static_cast<int>(count), payload);
}

// ---- /6321 ---------------------------------------------------------------------------------

int on_upload_audio_file(char *request)
{
    char encoded[SOUND_NAME_SIZE] = "";
    int status = store_upload(request ? request : "", encoded);
    return on_cgi_common_text_cb(0, status, encoded);
}

// ---- /6322 ---------------------------------------------------------------------------------

int on_add_audio_file(char *request)
{
    // parse, validate
    static constexpr JsonPolicy kPolicy[] = {{"uploadName", JK_STRING}, {"name", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_add_audio_file, kPolicy);
    json_object *tb[2];
    JsonDoc doc(request);
    if (!doc || JSON_PARSE(doc.get(), kPolicy, tb) < 0) return cgi_error_to_webserver(REPLY_JSON);
    const char *upload = jv_str(tb[0], nullptr);
    SoundName payload;
    memset(&payload, 0, sizeof payload);
    if (!upload || strlen(upload) > kNameMax || !base64_url_text(upload) || !tb[1] ||
        !encode_name(jv_str(tb[1]), payload.name))
        return cgi_error_to_webserver(REPLY_JSON);
    std::string from = tmp_path(upload);
    if (!readable_file(from)) return cgi_error_to_webserver(REPLY_JSON);

    // act: the upload takes its new name, then the daemon takes the file
    if (rename(from.c_str(), tmp_path(payload.name).c_str()) != 0) {
        cgi_log("OnSystem", __LINE__, "", "audio file %s not renamed: %s", upload, strerror(errno));
        return cgi_error_to_webserver(REPLY_JSON);
    }
    sound_request(IPC_SOUND_ADD, sizeof payload, &payload, true);
    return 0;
}

// ---- /6323 to /6325 --------------------------------------------------------------------------

int on_delete_audio_files(char *request)
{
    static constexpr JsonPolicy kPolicy[] = {{"idMask", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_delete_audio_files, kPolicy);
    json_object *tb[1];
    JsonDoc doc(request);
    if (!doc || JSON_PARSE(doc.get(), kPolicy, tb) < 0 || !tb[0] ||
        (jv_int(tb[0]) & SOUND_MASK) == 0)
        return cgi_error_to_webserver(REPLY_JSON);
    int32_t mask = jv_int(tb[0]);
    sound_request(IPC_SOUND_DELETE, sizeof mask, &mask, true);
    return 0;
}

int on_rename_audio_file(char *request)
{
    static constexpr JsonPolicy kPolicy[] = {{"id", JK_INT}, {"name", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_rename_audio_file, kPolicy);
    json_object *tb[2];
    JsonDoc doc(request);
    SoundRecord rec;
    memset(&rec, 0, sizeof rec);
    if (!doc || JSON_PARSE(doc.get(), kPolicy, tb) < 0 || sound_id(tb[0]) < 0 || !tb[1] ||
        !encode_name(jv_str(tb[1]), rec.name))
        return cgi_error_to_webserver(REPLY_JSON);
    rec.id = sound_id(tb[0]);
    rec.enable = 1;
    sound_request(IPC_SOUND_RENAME, sizeof rec, &rec, true);
    return 0;
}

int on_play_audio_file(char *request)
{
    static constexpr JsonPolicy kPolicy[] = {{"id", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_play_audio_file, kPolicy);
    json_object *tb[1];
    JsonDoc doc(request);
    if (!doc || JSON_PARSE(doc.get(), kPolicy, tb) < 0 || sound_id(tb[0]) < 0)
        return cgi_error_to_webserver(REPLY_JSON);
    int32_t id = sound_id(tb[0]);
    sound_request(IPC_SOUND_PLAY, sizeof id, &id, false);
    return 0;
}
