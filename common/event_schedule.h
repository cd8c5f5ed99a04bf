// Week schedules of event actions kept in tables named per event kind
// ("motion_whiteled_esche", "motion_warning_light_esche",
// "motion_http_notification_sche", ...), one schedule per channel 0..63.
// The key is the pair (channel, table name); table names are our own
// constants and are checked by the settings library.
//
// Results as the settings families (common/settings.h): 0 success, -1 for a
// null table name, a channel outside 0..63 or a database failure. A read of
// a schedule never stored gives a zeroed record; a copy writes the schedule
// to every channel whose bit is set in the mask.
#pragma once
#include <cstdint>

#include "common/records/schedule.h"

int read_named_schedule(const char *path, WeekSchedule *s, int channel, const char *table);
int write_named_schedule(const char *path, const WeekSchedule *s, int channel, const char *table);
int copy_named_schedules(const char *path, const WeekSchedule *s, uint64_t mask, const char *table);

// The names the event handlers use for each action's schedule.
inline int read_whiteled_effective_schedule(const char *path, WeekSchedule *s, int channel, const char *table)
{
    return read_named_schedule(path, s, channel, table);
}
inline int write_whiteled_effective_schedule(const char *path, const WeekSchedule *s, int channel, const char *table)
{
    return write_named_schedule(path, s, channel, table);
}
inline int copy_whiteled_effective_schedules(const char *path, const WeekSchedule *s, uint64_t mask, const char *table)
{
    return copy_named_schedules(path, s, mask, table);
}
inline int read_warning_light_effective_schedule(const char *path, WeekSchedule *s, int channel, const char *table)
{
    return read_named_schedule(path, s, channel, table);
}
inline int write_warning_light_effective_schedule(const char *path, const WeekSchedule *s, int channel,
                                                  const char *table)
{
    return write_named_schedule(path, s, channel, table);
}
inline int copy_warning_light_effective_schedules(const char *path, const WeekSchedule *s, uint64_t mask,
                                                  const char *table)
{
    return copy_named_schedules(path, s, mask, table);
}
inline int read_http_notification_schedule(const char *path, WeekSchedule *s, int channel, const char *table)
{
    return read_named_schedule(path, s, channel, table);
}
inline int write_http_notification_schedule(const char *path, const WeekSchedule *s, int channel, const char *table)
{
    return write_named_schedule(path, s, channel, table);
}
inline int copy_http_notification_schedules(const char *path, const WeekSchedule *s, uint64_t mask, const char *table)
{
    return copy_named_schedules(path, s, mask, table);
}
