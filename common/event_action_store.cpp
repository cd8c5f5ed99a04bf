// Storage of the event-action tables (common/records/event_action.h).
#include <cstdio>
#include <cstring>

#include "common/records/event_action.h"

namespace {
template <class Params, class Group>
int write_light_group(const char *path, const Group *group, int count, const char *table, int channel,
                      int (*write)(const char *, const char *, const Params *, int))
{
    if (!group || count < 0 || count > LIGHT_GROUP_ENTRIES) return -1;
    Params params = {};
    params.count = count;
    memcpy(params.entries, group->entries, sizeof params.entries[0] * static_cast<size_t>(count));
    return write(path, table, &params, channel);
}
} // namespace

int write_whiteled_params_all(const char *path, const WhiteLedGroup *group, int count, const char *table,
                              int channel)
{
    return write_light_group<WhiteLedParams>(path, group, count, table, channel, write_whiteled_params);
}

int write_warning_light_params_all(const char *path, const WarningLightGroup *group, int count,
                                   const char *table, int channel)
{
    return write_light_group<WarningLightParams>(path, group, count, table, channel, write_warning_light_params);
}

int write_http_notification_params(const char *path, const char *table, const HttpNotificationParams *params)
{
    if (!params) return -1;
    return write_http_notification_params(path, table, params, params->channel);
}

bool ptz_action_table_name(int event_type, char (&out)[32])
{
    out[0] = '\0';
    if (event_type < 0 || event_type > 31) return false;
    if (event_type == PTZ_EVENT_PEOPLE_COUNT) snprintf(out, sizeof out, "peoplecnt_ptz_params");
    else snprintf(out, sizeof out, "ptz_params_%d", event_type);
    return true;
}

int read_ptz_params(const char *path, PtzActionTable *table, int event_type, int channel, int *count)
{
    if (count) *count = 0;
    char name[32];
    if (!ptz_action_table_name(event_type, name) || read_ptz_action_table(path, name, table, channel) != 0)
        return -1;
    if (count) *count = PTZ_ACTION_ENTRIES;
    return 0;
}

int write_ptz_params_all(const char *path, const PtzActionTable *table, int event_type, int channel)
{
    char name[32];
    if (!ptz_action_table_name(event_type, name)) return -1;
    return write_ptz_action_table(path, name, table, channel);
}

int copy_ptz_params_all(const char *path, const PtzActionTable *table, int event_type, uint64_t mask)
{
    char name[32];
    if (!ptz_action_table_name(event_type, name)) return -1;
    return copy_ptz_action_table(path, name, table, mask);
}

int read_peoplecnt_ptz_params(const char *path, PtzActionTable *table, int channel, int *count)
{
    return read_ptz_params(path, table, PTZ_EVENT_PEOPLE_COUNT, channel, count);
}

int write_peoplecnt_ptz_params_ex(const char *path, const PtzActionTable *table, int channel)
{
    return write_ptz_params_all(path, table, PTZ_EVENT_PEOPLE_COUNT, channel);
}
