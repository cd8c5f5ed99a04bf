// Week schedules of event actions kept in tables named per event kind, one
// schedule per channel 0..63 (common/settings_named.h): the white LED,
// warning light and HTTP notification schedules of every event, under table
// names such as "motion_whiteled_esche", "motion_warning_light_esche" and
// "motion_http_notification_sche".
//
//   read_whiteled_effective_schedule(path, table, WeekSchedule *s, int channel)
//   write_whiteled_effective_schedule(path, table, const WeekSchedule *s, int channel)
//   copy_whiteled_effective_schedule(path, table, const WeekSchedule *s, uint64_t mask)
//   and the same for warning_light_effective_schedule and
//   http_notification_schedule.
#pragma once
#include "common/records/schedule.h"
#include "common/settings_named.h"

enum { EVENT_SCHEDULE_CHANNELS = 64 };

NVR_DB_NAMED(whiteled_effective_schedule, WeekSchedule, EVENT_SCHEDULE_CHANNELS, nvr_db_no_stamp<WeekSchedule>)
NVR_DB_NAMED(warning_light_effective_schedule, WeekSchedule, EVENT_SCHEDULE_CHANNELS, nvr_db_no_stamp<WeekSchedule>)
NVR_DB_NAMED(http_notification_schedule, WeekSchedule, EVENT_SCHEDULE_CHANNELS, nvr_db_no_stamp<WeekSchedule>)
