// Event actions of the camera module's event sources (people-counting
// groups, POS terminals, face detection of a channel): where each source
// keeps its schedules and parameter sets, how an action dialog is saved and
// how replies list the actions.
#pragma once
#include <initializer_list>

#include <json-c/json.h>

#include "common/records/people_counting.h"

// Schedules of a source, with their JSON keys.
enum SourceSchedule { SS_EFFECTIVE, SS_AUDIBLE, SS_EMAIL, SS_PTZ, SS_WHITE, SS_HTTP, SS_COUNT };

struct ActionSourceKind {
    // Named schedule tables by SourceSchedule; a null effective table reads
    // the audible schedule and is not written.
    const char *schedules[SS_COUNT];
    const char *white_params;
    const char *http_params;
    int ptz_event;
    int (*read_event)(const char *path, SourceEvent *e, int key);
    int (*update_event)(const char *path, int key, const std::function<int(SourceEvent &)> &change);
};
extern const ActionSourceKind kPeopleCountActions;
extern const ActionSourceKind kPosActions;
extern const ActionSourceKind kFaceActions;

// Saves what an action dialog holds for source `key`: every schedule and
// parameter set that decodes, the PTZ actions ("ptzParams") and the action
// fields (the event record is written only when one of them changed). One
// settings transaction; -1 when a write failed.
int save_source_actions(const ActionSourceKind &kind, int key, json_object *dialog);

// Reply items, each under its own key; added in the order given.
enum SourceItem {
    SI_TRI_ALARMS, SI_INTERVAL, SI_EMAIL_INTERVAL, SI_EMAIL_PIC_ENABLE, SI_TRI_CHANNELS_PIC, SI_PTZ_INTERVAL,
    SI_ALARMOUT_INTERVAL, SI_WHITE_INTERVAL, SI_HTTP_INTERVAL, SI_AUDIO_ID, SI_AUDIO_MASK, SI_TRI_CHANNELS,
    SI_TRI_CHN_ALARMS, SI_PTZ_PARAMS, SI_WHITE_INFO, SI_HTTP_PARAMS, SI_EFFECTIVE, SI_AUDIBLE, SI_EMAIL, SI_PTZ,
    SI_WHITE, SI_HTTP_SCHE,
};
// The stored actions of source `key` as a JSON object.
json_object *source_actions_json(const ActionSourceKind &kind, int key, std::initializer_list<SourceItem> items);
