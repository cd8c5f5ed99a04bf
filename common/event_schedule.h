// Week schedules of event actions kept in tables named per event kind, one
// schedule per channel 0..63: the white LED schedules
// (read_/write_/copy_whiteled_effective_schedule(s)), the warning light
// schedules (..._warning_light_effective_schedule(s)) and the HTTP
// notification schedules (..._http_notification_schedule(s)) of every event,
// under table names such as "motion_whiteled_esche",
// "motion_warning_light_esche" and "motion_http_notification_sche". The key
// is the pair (channel, table name); table names are our own constants and
// are checked by the settings library.
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
