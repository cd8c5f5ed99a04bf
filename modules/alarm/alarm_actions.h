// The actions of an alarm input, shared by the recorder's inputs and the
// cameras' inputs: where their schedules and parameter sets are stored, how
// a dialog of the alarm pages changes them, how they are copied to other
// inputs or channels, and how replies list them.
#pragma once
#include <cstdint>
#include <initializer_list>

#include <json-c/json.h>

#include "common/records/alarm.h"

// The alarm whose actions are meant: a recorder input (index -1, key = its
// id 0..15) or input `index` 0..3 of the camera on channel `key` 0..63.
// Copies go to the same kind of alarm: other recorder inputs, or the same
// input of other channels.
struct AlarmSource {
    int index;
    int key;

    static AlarmSource recorder(int id) { return AlarmSource{-1, id}; }
    static AlarmSource camera(int channel, int index) { return AlarmSource{index, channel}; }
    bool is_camera() const { return index >= 0; }
    // PTZ action event type of the alarm.
    int ptz_event() const;
};

// Week schedules of an alarm's actions, with their JSON keys.
enum ActionSchedule { AS_EFFECTIVE, AS_AUDIBLE, AS_EMAIL, AS_PTZ, AS_WHITE, AS_WARNING, AS_HTTP, AS_COUNT };

int read_action_schedule(const AlarmSource &src, ActionSchedule kind, WeekSchedule *s);
int write_action_schedule(const AlarmSource &src, ActionSchedule kind, const WeekSchedule *s);
int copy_action_schedule(const AlarmSource &src, ActionSchedule kind, const WeekSchedule *s, uint64_t mask);

// Decodes the schedule at `key` (the kind's own key when null) with the
// general codec and writes it: 1 stored, 0 missing or not decodable (the
// stored one stays), -1 the write failed.
int store_action_schedule(json_object *obj, const AlarmSource &src, ActionSchedule kind, const char *key = nullptr);

// Takes the action fields a dialog holds (with their types) into `a`; true
// when any was there. "triChannels" also sets the channel bits.
bool apply_action_fields(json_object *dialog, AlarmActions *a, int channel);

// Saves what an action dialog holds: each schedule and parameter set that
// decodes, the PTZ actions ("ptzParams", stored for this alarm), and the
// action fields into `a` (`*changed` tells whether any field or the PTZ
// actions changed). Runs inside the caller's settings transaction; -1 when
// a write failed.
int save_action_dialog(json_object *dialog, const AlarmSource &src, AlarmActions *a, bool *changed);

// Copies the stored schedules, light, HTTP and PTZ settings of the alarm to
// every alarm of the mask; -1 when a write failed.
int copy_action_settings(const AlarmSource &src, uint64_t mask);

// Reply items of the alarm pages, each under its own key.
enum ActionItem {
    AI_TRI_ALARMS, AI_INTERVAL, AI_EMAIL_INTERVAL, AI_EMAIL_PIC_ENABLE, AI_TRI_CHANNELS_PIC, AI_PTZ_INTERVAL,
    AI_ALARMOUT_INTERVAL, AI_WHITE_INTERVAL, AI_WARNING_INTERVAL, AI_HTTP_INTERVAL, AI_AUDIO_ID,
    AI_TRI_CHANNELS, AI_TRI_CHN_ALARMS, AI_AUDIO_MASK, AI_PTZ_PARAMS, AI_WHITE_INFO, AI_WARNING_INFO,
    AI_HTTP_PARAMS, AI_EFFECTIVE, AI_AUDIBLE, AI_EMAIL, AI_PTZ, AI_WHITE, AI_WARNING, AI_HTTP_SCHE,
};
// Adds the items in the order given.
void add_action_items(json_object *o, const AlarmSource &src, const AlarmActions &a,
                      std::initializer_list<ActionItem> items);
