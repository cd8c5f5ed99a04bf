// Exception settings: the reaction value of each exception index, the mail
// interval of recording failures, and the HTTP notification target of each
// exception kind, named by get_exception_name().
#include "common/codecs.h"
#include "common/ipc.h"
#include "common/records/exceptions.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/video/videoloss.h"

namespace {
const char kDb[] = QXDB_PATH;

// A request must carry more than this many exception values.
enum { EXCEPTION_VALUES_MIN = 8 };

const char kSuccess[] = "{\"status\":\"CGI SUCCESS\"}";

// The HTTP targets of a request's "httpParams": one record per kind, the
// kind's entry (an object under its name) or kind -1 without one.
void http_targets(json_object *params, HttpNotificationParams (&out)[EXCEPTION_KINDS])
{
    for (int kind = 0; kind < EXCEPTION_KINDS; kind++) {
        char name[EXCEPTION_NAME_SIZE] = "";
        get_exception_name(kind, name, sizeof name);
        if (!name[0] || get_http_params_by_json(kind, &out[kind], params, name) != 0) {
            out[kind] = HttpNotificationParams();
            out[kind].channel = -1;
        }
    }
}
} // namespace

// ---- /6998 ---------------------------------------------------------------------------------

int on_set_exception(char *request)
{
    enum { E_VALUES, E_MAIL_INTERVAL, E_HTTP, E_COUNT };
    static constexpr JsonPolicy policy[E_COUNT] = {
        {"exception", JK_ARRAY}, {"recordFailedMailInterval", JK_INT}, {"httpParams", JK_OBJECT}};
    NVRWEB_HANDLER_KEYS(on_set_exception, policy);
    JsonDoc doc(request);
    json_object *tb[E_COUNT];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || jv_len(tb[E_VALUES]) < EXCEPTION_VALUES_MIN) return 0;

    HttpNotificationParams targets[EXCEPTION_KINDS];
    if (tb[E_HTTP]) http_targets(tb[E_HTTP], targets);
    int rc = settings_atomic(kDb, [&]() -> int {
        TriggerAlarmsRecord rec{};
        if (read_trigger_alarms(kDb, &rec) != 0) return -1;
        // The first 12 values; values the array lacks are 0.
        for (int i = 0; i < EXCEPTION_VALUES; i++) {
            json_object *v = jv_at(tb[E_VALUES], static_cast<size_t>(i));
            rec.exception[i] = jv_is(v, JK_INT) ? json_object_get_int(v) : 0;
        }
        // Without an interval the stored one stays.
        if (tb[E_MAIL_INTERVAL]) rec.record_failed_mail_interval = jv_int(tb[E_MAIL_INTERVAL]);
        if (write_trigger_alarms(kDb, &rec) != 0) return -1;
        if (!tb[E_HTTP]) return 0;
        for (int kind = 0; kind < EXCEPTION_KINDS; kind++)
            if (write_exception_http_target(kDb, &targets[kind], kind) != 0) return -1;
        return 0;
    });
    if (rc < 0) {
        cgi_log("OnVideo", __LINE__, "exceptions", "settings write failed");
        return cgi_error_to_webserver(REPLY_TEXT);
    }
    cgi_notify_ipc(IPC_EXCEPTION_CHANGED, 0, nullptr);
    if (tb[E_HTTP]) cgi_notify_ipc(IPC_EXCEPTION_HTTP_CHANGED, 0, nullptr);
    return cgi_writeback_webserver(REPLY_TEXT, kSuccess);
}

// ---- /6999 ---------------------------------------------------------------------------------

int on_get_exception(char *)
{
    TriggerAlarmsRecord rec{};
    read_trigger_alarms(kDb, &rec);
    json_object *http = json_object_new_object();
    for (int kind = 0; kind < EXCEPTION_KINDS; kind++) {
        char name[EXCEPTION_NAME_SIZE] = "";
        get_exception_name(kind, name, sizeof name);
        if (!name[0]) continue;
        HttpNotificationParams target{};
        if (read_exception_http_target(kDb, &target, kind) != 0) target = HttpNotificationParams();
        json_object *t = json_object_new_object();
        json_add_field(t, "url", target.url);
        json_add_field(t, "username", target.username);
        json_add_field(t, "password", target.password);
        json_object_object_add(http, name, t);
    }
    json_object *values = json_object_new_array();
    for (int32_t v : rec.exception) json_object_array_add(values, json_object_new_int(v));

    json_object *o = json_object_new_object();
    json_object_object_add(o, "httpParams", http);
    json_object_object_add(o, "exception", values);
    json_add_int(o, "recordFailedMailInterval", rec.record_failed_mail_interval);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}
