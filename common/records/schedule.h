// Week schedule record as the settings database stores it (27712 bytes):
// 8 day entries of 48 time segments and two day-trailing values.
#pragma once
#include <cstddef>
#include <cstdint>

enum { SCHEDULE_DAYS = 8, SCHEDULE_SEGMENTS = 48 };

struct ScheduleSegment {
    char start_time[32]; // "HH:MM", zero-terminated
    char end_time[32];
    int32_t action_type;
    int32_t reserved;
};
static_assert(sizeof(ScheduleSegment) == 72, "schedule segment is 72 bytes");
static_assert(offsetof(ScheduleSegment, end_time) == 32, "");
static_assert(offsetof(ScheduleSegment, action_type) == 64, "");

struct ScheduleDay {
    ScheduleSegment segments[SCHEDULE_SEGMENTS];
    int32_t whole_day;             // "wholedayEnable"; day-valid flag of camera-side schedules
    int32_t whole_day_action_type; // "wholedayActionType"
};
static_assert(sizeof(ScheduleDay) == 3464, "schedule day is 3464 bytes");
static_assert(offsetof(ScheduleDay, whole_day) == 3456, "");

struct WeekSchedule {
    ScheduleDay days[SCHEDULE_DAYS];
};
static_assert(sizeof(WeekSchedule) == 27712, "week schedule is 27712 bytes");
