// JSON codecs of the settings every event type carries: week schedules, the
// copy-channel list, camera alarm-output pairs, white-light, warning-light,
// HTTP-notification and PTZ action parameters, and the alarm sound mask.
// Every feature module speaks these JSON shapes through this one header.
//
// Encoders (..._json_object) return a new JSON value that the caller owns
// (json_object_put, or hand it to json_object_object_add). They never fail
// for a valid record; an empty table gives an empty array.
//
// Decoders (..._by_json) read the value at `key` of a request object:
//   -1  an argument is null, the key is missing, or its value has the wrong
//       type (a non-array where an array belongs counts as missing). The
//       output record is left untouched: the handler skips that part of the
//       setting and still stores the rest.
//    0  decoded. The record was zeroed first (see each function for what is
//       zeroed); days, segments or elements the request lacks stay empty,
//       and values of the wrong type read as 0 or "".
// Texts are cut to their record field and always end in a zero; no URL or
// other decoding is applied. Loops are bounded by both the JSON array's
// length and the record's capacity.
//
// The stored forms read or write the settings database (QXDB_PATH); the
// tables are named by the caller (each event kind has its own names, e.g.
// "motion_white_led_params"). A failed read encodes as an empty table.
//
// Storing forms (set_..._by_json) decode and write in one call:
//    1  decoded and stored;  0  nothing to store (key missing or not
//    decodable);  -1  the settings write failed (answer the error reply).
#pragma once
#include <cstring>
#include <cstddef>
#include <cstdint>

#include <json-c/json.h>

#include "common/records/event_action.h"
#include "common/records/schedule.h"

class JsonText;

// ---- Week schedules ------------------------------------------------------------
enum {
    SCHEDULE_JSON_SEGMENTS = 12, // segments of a day that travel in JSON
};
// Reply shape: 8 day arrays of 12 objects
//   {"startTime": "08:00", "endTime": "18:00", "actionType": 1}
// built from the first 12 segments of each day.
// Request shape (note the asymmetry): 8 day arrays of 12 segment arrays
//   ["08:00", "18:00", 1]
// The decoder zeroes the whole record (day-trailing words included) and
// cuts the times to 31 characters.
json_object *get_schedule_json_object(const WeekSchedule *schedule);
int get_schedule_by_json(json_object *obj, const char *key, WeekSchedule *schedule);
// The same codec under the name the people-counting and some audible/e-mail/
// PTZ schedule handlers use.
json_object *get_schedule_json_object_ex(const WeekSchedule *schedule);
int get_schedule_by_json_ex(json_object *obj, const char *key, WeekSchedule *schedule);

// Reply of a stored schedule: `read(WeekSchedule *)` fills the record and
// returns 0; any other result gives the empty schedule. The record is one
// buffer shared by every call (getters render several schedules a request:
// one 27 KB buffer, not one each); `read` must not call this again.
WeekSchedule *schedule_scratch();
// The stored schedule in the shared record (the empty one when `read` fails).
template <class Read> const WeekSchedule *stored_schedule(Read &&read)
{
    WeekSchedule *s = schedule_scratch();
    if (read(s) != 0) memset(s, 0, sizeof *s);
    return s;
}
template <class Read> json_object *stored_schedule_json(Read &&read)
{
    return get_schedule_json_object(stored_schedule(read));
}
// The same reply written as member `key` of a JSON text.
void add_schedule_json(JsonText &t, const char *key, const WeekSchedule *schedule);
template <class Read> void add_stored_schedule(JsonText &t, const char *key, Read &&read)
{
    add_schedule_json(t, key, stored_schedule(read));
}

// Schedules kept on an IP camera.
// Reply: 8 day arrays of 12 {"startTime", "endTime"}; a day whose day-valid
// flag (ScheduleDay::whole_day) is 0 gives empty texts.
// Request: zeroes the record, reads days 0..6 of 10 ["start", "end"] arrays
// each and sets those 7 days' day-valid flags to 1; day 7 and segments 10
// and 11 stay empty.
json_object *get_schedule_json_object_ipc(const WeekSchedule *schedule);
int get_schedule_by_json_ipc(json_object *obj, const char *key, WeekSchedule *schedule);

// ---- Copy channels --------------------------------------------------------------
// 64-bit mask of the channels a setting is copied to: the first
// obj[count_key] elements of obj[array_key] (usually "copyChn", "copyCnt"),
// bit n for each integer element n in 0..63. 0 when the count is missing,
// not an integer or <= 0; other numbers, other types and missing elements
// are skipped.
uint64_t get_copy_flag_by_json(json_object *obj, const char *array_key, const char *count_key);

// ---- Camera alarm-output pair ("triChnAlarms") ----------------------------------------
// JSON array of the two identifiers; each is read as a 65-byte record field
// (at most 64 characters, a missing zero is tolerated). Null reads as "".
json_object *get_event_chn_alarmout_object(const char *text1, const char *text2);
// For each of the first two elements of the array at `key` that is a text,
// fills pair[i]: channel, position i, the text cut to 64 characters. Other
// entries are left untouched (no zeroing).
int get_event_chn_alarmout_by_object(int channel, json_object *obj, const char *key, AlarmOutPair pair[2]);

// ---- White light ------------------------------------------------------------------------
// Reply: array of {"chnid", "mode", "time"}, one per entry of the group.
json_object *white_params_to_json(const WhiteLedEntry *entries, int count);
// Reads channel's group of the named table ("motion_white_led_params", ...)
// or of the people-counting table, then encodes it.
json_object *get_white_params_json_object(int channel, const char *table_name);
json_object *get_pcnt_white_params_json_object(int channel);
// Request: array of up to 64 elements, either objects {"chnid", "mode",
// "time"} or arrays [chnid, mode, time]: when the serialised array contains
// the text "chnid" anywhere, every element is read as an object, otherwise
// every element as an array. Fills table->groups[channel] and sets each
// filled entry's group index to `channel`. Returns the number of entries
// filled (0..64; store them with write_whiteled_params_all), or -1, also for
// a channel outside 0..63.
// get_white_params_by_json zeroes the whole table; the people-counting form
// zeroes only the channel's group and leaves the other groups as they are.
int get_white_params_by_json(int channel, WhiteLedTable *table, json_object *obj, const char *key);
int get_pcnt_white_params_by_json(int channel, WhiteLedTable *table, json_object *obj, const char *key);
// Decodes obj[key] and stores channel's group under the named table.
int set_white_params_by_json(int channel, const char *table_name, json_object *obj, const char *key);

// ---- Warning light ---------------------------------------------------------------------------
// Reply: array of {"chnid", "time"}.
json_object *warning_light_params_to_json(const WarningLightEntry *entries, int count);
json_object *get_warning_light_params_json_object(int channel, const char *table_name);
// As the white-light form with objects {"chnid", "time"} or arrays
// [chnid, time]; zeroes the whole table and returns the number of entries
// filled. Keys: "warningLightInfo", "warnLightInfo". Handlers store only
// table->groups[channel] (write_warning_light_params_all).
int get_warning_light_params_by_json(int channel, WarningLightTable *table, json_object *obj, const char *key);
int set_warning_light_params_by_json(int channel, const char *table_name, json_object *obj, const char *key);

// ---- HTTP notification ----------------------------------------------------------------------
// Reply: {"chnId": channel, "url", "username", "password"}.
json_object *http_params_to_json(int channel, const HttpNotificationParams *params);
json_object *get_http_params_json_object(int channel, const char *table_name);
// Request: object at `key` (usually "httpParams") with "url", "username",
// "password"; zeroes the record, sets the channel and copies the texts as
// they are (cut to 512, 96 and 64 characters).
int get_http_params_by_json(int channel, HttpNotificationParams *params, json_object *obj, const char *key);
int set_http_params_by_json(int channel, const char *table_name, json_object *obj, const char *key);

// ---- PTZ actions -------------------------------------------------------------------------------
// Reply: array of {"acto_ptz_channel", "acto_ptz_type", "acto_ptz_preset",
// "acto_ptz_patrol"}, one per entry whose acto_ptz_channel is > 0 (the
// pattern is not sent).
json_object *ptz_params_to_json(const PtzActionEntry *entries, int count);
// Reads the stored entries of (event type, channel): event type 20 (people
// counting) from its own table, the others from the PTZ action table.
json_object *get_ptz_params_json_object(int event_type, int channel);
// Request: array of objects with "acto_ptz_channel", "acto_ptz_type",
// "acto_ptz_preset", "acto_ptz_patrol", "acto_ptz_pattern". Fills a zeroed
// table from the first 64 elements, each entry owned by `channel`, and
// copies it to *table. -1 for a channel outside 0..63, a null table or a
// value that is not an array.
int get_ptz_params_by_json(int channel, int event_type, json_object *array, PtzActionTable *table);
// Decodes the array (usually obj["ptzParams"]) and stores all entries of
// (event type, channel). 1 stored, 0 not decodable (null array included),
// -1 the write failed. Test `> 0` for "changed".
int set_ptz_params_by_json(int channel, int event_type, json_object *array);
// PTZ event type of a smart-analysis event: 0..8 give 5..13, else -1.
int get_smart_event_ptz_type(int smart_event);

// ---- Other ---------------------------------------------------------------------------------------
// Copies what follows the first `pattern` in `text` up to the next '?' or
// the end (at most size-1 characters) into out. -1 for null or empty
// arguments or when the pattern does not occur.
int get_section_info(const char *text, const char *pattern, char *out, size_t size);
// Bit n set for each alarm sound slot n (0..9) that holds a sound.
uint32_t get_audio_file_id_mask();
