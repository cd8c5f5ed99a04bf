#include "common/event_schedule.h"

#include "common/settings.h"

namespace {
enum { NAMED_SCHEDULE_CHANNELS = 64 };

NvrDbTable named_table(const char *table)
{
    return NvrDbTable{table, sizeof(WeekSchedule), nullptr, 0, NAMED_SCHEDULE_CHANNELS, nullptr, 0};
}
} // namespace

int read_named_schedule(const char *path, WeekSchedule *s, int channel, const char *table)
{
    if (!table) return -1;
    return nvr_db_read(path, named_table(table), s, channel);
}

int write_named_schedule(const char *path, const WeekSchedule *s, int channel, const char *table)
{
    if (!table) return -1;
    return nvr_db_write(path, named_table(table), s, channel);
}

int copy_named_schedules(const char *path, const WeekSchedule *s, uint64_t mask, const char *table)
{
    if (!table) return -1;
    return nvr_db_copy(path, named_table(table), s, mask);
}
