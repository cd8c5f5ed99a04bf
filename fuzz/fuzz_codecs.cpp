// The JSON codecs of schedules and event actions on arbitrary request texts.
// Input: a channel selector byte, an event-type byte, then the JSON text.
// Every decoder reads the parsed value under its usual key; a decoder that
// refuses (-1) must leave its record untouched, one that decodes must leave
// every text field terminated; every decoded record is encoded again, and
// the encoder's output must parse.
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "common/codecs.h"
#include "common/web_utils.h"
#include "fuzz/fuzz_support.h"

namespace {

const int kChannels[] = {0, 1, 63, 64, -1, INT_MAX, INT_MIN, 31};

template <class T> void poison(T *record) { memset(record, 0xA5, sizeof *record); }

template <class T> bool untouched(const T *record)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(record);
    for (size_t i = 0; i < sizeof *record; i++)
        if (p[i] != 0xA5) return false;
    return true;
}

void check_text(const char *field, size_t size, const char *what)
{
    if (!memchr(field, '\0', size)) fuzz_fail("text field without its zero", what);
}

// Encoder output must be a JSON text that parses again.
void check_encoded(json_object *obj, const char *what)
{
    if (!obj) fuzz_fail("encoder returned null", what);
    const char *text = json_object_to_json_string_ext(obj, JSON_C_TO_STRING_PLAIN);
    JsonDoc again(text);
    if (!again) fuzz_fail("encoder output does not parse", what);
    json_object_put(obj);
}

void schedules(json_object *obj)
{
    typedef int (*Decoder)(json_object *, const char *, WeekSchedule *);
    typedef json_object *(*Encoder)(const WeekSchedule *);
    const struct {
        Decoder decode;
        Encoder encode;
        const char *name;
    } codecs[] = {
        {get_schedule_by_json, get_schedule_json_object, "schedule"},
        {get_schedule_by_json_ex, get_schedule_json_object_ex, "schedule_ex"},
        {get_schedule_by_json_ipc, get_schedule_json_object_ipc, "schedule_ipc"},
    };
    auto ws = std::make_unique<WeekSchedule>();
    for (const auto &c : codecs) {
        poison(ws.get());
        int rc = c.decode(obj, "schedule", ws.get());
        if (rc < 0) {
            if (!untouched(ws.get())) fuzz_fail("refused schedule changed the record", c.name);
            continue;
        }
        for (const ScheduleDay &d : ws->days)
            for (const ScheduleSegment &s : d.segments) {
                check_text(s.start_time, sizeof s.start_time, c.name);
                check_text(s.end_time, sizeof s.end_time, c.name);
            }
        check_encoded(c.encode(ws.get()), c.name);
    }
}

void lights(int channel, json_object *obj)
{
    const bool valid = channel >= 0 && channel < EVENT_CHANNELS;
    auto white = std::make_unique<WhiteLedTable>();
    for (int pcnt = 0; pcnt < 2; pcnt++) {
        poison(white.get());
        int n = pcnt ? get_pcnt_white_params_by_json(channel, white.get(), obj, "whiteLightInfo")
                     : get_white_params_by_json(channel, white.get(), obj, "whiteLightInfo");
        if (n < -1 || n > LIGHT_GROUP_ENTRIES) fuzz_fail("white-light count out of range");
        if (!valid && n != -1) fuzz_fail("white light decoded for an invalid channel");
        if (n >= 0) check_encoded(white_params_to_json(white->groups[channel].entries, n), "white");
    }
    auto warning = std::make_unique<WarningLightTable>();
    poison(warning.get());
    int n = get_warning_light_params_by_json(channel, warning.get(), obj, "warningLightInfo");
    if (n < -1 || n > LIGHT_GROUP_ENTRIES) fuzz_fail("warning-light count out of range");
    if (!valid && n != -1) fuzz_fail("warning light decoded for an invalid channel");
    if (n >= 0) check_encoded(warning_light_params_to_json(warning->groups[channel].entries, n), "warning");
}

void actions(int channel, int event_type, json_object *obj)
{
    HttpNotificationParams http;
    poison(&http);
    if (get_http_params_by_json(channel, &http, obj, "httpParams") >= 0) {
        check_text(http.url, sizeof http.url, "url");
        check_text(http.username, sizeof http.username, "username");
        check_text(http.password, sizeof http.password, "password");
        check_encoded(http_params_to_json(channel, &http), "http");
    } else if (!untouched(&http)) {
        fuzz_fail("refused HTTP parameters changed the record");
    }

    AlarmOutPair pair[2];
    poison(&pair);
    get_event_chn_alarmout_by_object(channel, obj, "triChnAlarms", pair);
    check_encoded(get_event_chn_alarmout_object(pair[0].alarm_out, pair[1].alarm_out), "alarm out");

    json_object *array = nullptr;
    if (obj && json_object_is_type(obj, json_type_object)) json_object_object_get_ex(obj, "ptzParams", &array);
    auto ptz = std::make_unique<PtzActionTable>();
    poison(ptz.get());
    int rc = get_ptz_params_by_json(channel, event_type, array, ptz.get());
    if (rc >= 0) check_encoded(ptz_params_to_json(ptz->entries, PTZ_ACTION_ENTRIES), "ptz");
    else if (!untouched(ptz.get())) fuzz_fail("refused PTZ actions changed the table");
    get_smart_event_ptz_type(event_type);

    uint64_t mask = get_copy_flag_by_json(obj, "copyChn", "copyCnt");
    (void)mask;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2) return 0;
    const int channel = kChannels[data[0] & 7];
    const int event_type = static_cast<int8_t>(data[1]);
    const std::string text(reinterpret_cast<const char *>(data) + 2, size - 2);
    JsonDoc doc(text.c_str());
    schedules(doc.get());
    lights(channel, doc.get());
    actions(channel, event_type, doc.get());

    // The section reader on the raw text, into small and large buffers.
    for (size_t out_size : {1, 8, 300}) {
        std::unique_ptr<char[]> out(new char[out_size]);
        if (get_section_info(text.c_str(), "chn=", out.get(), out_size) == 0 &&
            !memchr(out.get(), '\0', out_size))
            fuzz_fail("section text without its zero");
    }
    fuzz_take_output();
    return 0;
}
