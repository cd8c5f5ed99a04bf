// Weekly "effective" schedules of the camera-side smart events, one table
// per kind 0..7 (region entrance, region exit, advanced motion, tamper,
// line crossing, loitering, human detection, people counting), keyed by
// channel.
#pragma once
#include <cstdio>

#include "common/records/alarm.h"

enum { SMART_EVENT_KINDS = 8 };

inline bool smart_event_schedule_table(int kind, char (&out)[NVR_DB_TABLE_NAME_SIZE])
{
    if (kind < 0 || kind >= SMART_EVENT_KINDS) return false;
    snprintf(out, sizeof out, "smart_event%d_effective_sche", kind);
    return true;
}
inline int read_smart_event_effective_schedule(const char *path, WeekSchedule *s, int channel, int kind)
{
    char table[NVR_DB_TABLE_NAME_SIZE];
    return smart_event_schedule_table(kind, table) ? read_alarm_action_schedule(path, table, s, channel) : -1;
}
inline int write_smart_event_effective_schedule(const char *path, const WeekSchedule *s, int channel, int kind)
{
    char table[NVR_DB_TABLE_NAME_SIZE];
    return smart_event_schedule_table(kind, table) ? write_alarm_action_schedule(path, table, s, channel) : -1;
}
