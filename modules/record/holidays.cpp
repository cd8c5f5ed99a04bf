// Holidays: the list of up to 32 holidays (/6030) and the change of one
// (/6031), after which the daemon rereads them.
#include "common/ipc.h"
#include "common/records/recording.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/record/record.h"

namespace {
const char kDb[] = QXDB_PATH;
enum { OPLOG_SUB_SETTING = 204, OPLOG_PARAM_HOLIDAY = 920 };

enum { H_ID, H_NAME, H_ENABLE, H_TYPE, H_START, H_END = H_START + 5, H_COUNT = H_END + 5 };
const JsonPolicy kHolidayPolicy[H_COUNT] = {
    {"id", JK_INT},         {"name", JK_STRING},    {"enable", JK_INT},      {"type", JK_INT},
    {"startYear", JK_INT},  {"startMon", JK_INT},   {"startMDay", JK_INT},   {"startMWeek", JK_INT},
    {"startWDay", JK_INT},  {"endYear", JK_INT},    {"endMon", JK_INT},      {"endMDay", JK_INT},
    {"endMWeek", JK_INT},   {"endWDay", JK_INT},
};
NVRWEB_HANDLER_KEYS(on_set_holiday_info, kHolidayPolicy);

bool check_holiday_info(json_object *const tb[H_COUNT])
{
    if (!tb[H_ID] || !tb[H_ENABLE] || !tb[H_TYPE]) return false;
    int id = jv_int(tb[H_ID]), enable = jv_int(tb[H_ENABLE]);
    return id >= 0 && id < HOLIDAY_MAX && (enable == 0 || enable == 1) && jv_int(tb[H_TYPE]) >= 0;
}

json_object *holiday_json(const HolidayRecord &h)
{
    json_object *o = json_object_new_object();
    json_add_int(o, kHolidayPolicy[H_ID].key, h.id);
    json_add_field(o, kHolidayPolicy[H_NAME].key, h.name);
    json_add_int(o, kHolidayPolicy[H_ENABLE].key, h.enable);
    json_add_int(o, kHolidayPolicy[H_TYPE].key, h.type);
    for (int i = 0; i < 5; i++) json_add_int(o, kHolidayPolicy[H_START + i].key, h.start[i]);
    for (int i = 0; i < 5; i++) json_add_int(o, kHolidayPolicy[H_END + i].key, h.end[i]);
    return o;
}
} // namespace

int on_get_holiday_info(char *)
{
    HolidayRecord all[HOLIDAY_MAX] = {};
    int count = 0;
    read_holidays(kDb, all, &count);
    json_object *list = json_object_new_array();
    for (int i = 0; i < count && i < HOLIDAY_MAX; i++) json_object_array_add(list, holiday_json(all[i]));
    json_object *o = json_object_new_object();
    json_object_object_add(o, "holidays", list);
    cgi_writeback_json(REPLY_JSON, o);
    json_object_put(o);
    return 0;
}

int on_set_holiday_info(char *request)
{
    JsonDoc doc(request);
    json_object *tb[H_COUNT];
    if (JSON_PARSE(doc.get(), kHolidayPolicy, tb) < 0 || !check_holiday_info(tb)) return 0;

    HolidayRecord h{};
    h.id = jv_int(tb[H_ID]);
    jv_copy(tb[H_NAME], h.name, sizeof h.name);
    h.enable = jv_int(tb[H_ENABLE]);
    h.type = jv_int(tb[H_TYPE]);
    for (int i = 0; i < 5; i++) {
        h.start[i] = jv_int(tb[H_START + i]);
        h.end[i] = jv_int(tb[H_END + i]);
    }
    if (write_holiday(kDb, &h) != 0) return cgi_error_to_webserver(REPLY_TEXT);

    cgi_notify_ipc(IPC_HOLIDAY_CHANGED, 0, nullptr);
    cgi_send_oplog(OPLOG_SUB_SETTING, OPLOG_PARAM_HOLIDAY, h.id + 1);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}
