// Exceptions: the recorder's own trouble events (disk, network, recording
// failures and the like). The settings database keeps one reaction value per
// exception index and one HTTP notification target per exception kind.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/records/event_action.h"
#include "common/settings.h"

// Request codes, both fire-and-forget and without payload.
enum {
    IPC_EXCEPTION_CHANGED = 2104,
    IPC_EXCEPTION_HTTP_CHANGED = 3394,
};

enum {
    EXCEPTION_VALUES = 12,   // "exception": one value per exception index 0..11
    EXCEPTION_KINDS = 14,    // kinds 0..13 of the HTTP notification targets
    EXCEPTION_NAME_SIZE = 32,
};

// Reactions of the exceptions (read_trigger_alarms / write_trigger_alarms).
// The meaning of each value is fixed between the web client and the daemon.
struct TriggerAlarmsRecord {
    int32_t exception[EXCEPTION_VALUES];  // "exception"
    int32_t record_failed_mail_interval;  // "recordFailedMailInterval"
};
static_assert(sizeof(TriggerAlarmsRecord) == 52, "exception settings are 52 bytes");
static_assert(offsetof(TriggerAlarmsRecord, record_failed_mail_interval) == 48, "");

NVR_DB_SINGLE(trigger_alarms, TriggerAlarmsRecord, "trigger_alarms")

// HTTP notification targets of the exceptions: one HttpNotificationParams
// per kind, its channel field holding the kind (-1 when no target is set).
#define EXCEPTION_HTTP_PARAMS_TABLE "except_http_notification_params"
NVR_DB_INDEXED(exception_http_target, HttpNotificationParams, EXCEPTION_HTTP_PARAMS_TABLE, EXCEPTION_KINDS)

// The JSON name of an exception kind into buffer (at most size-1
// characters). An empty name (and a kind outside 0..13) means the kind has
// no HTTP target of its own. The web client uses the same names.
inline int get_exception_name(int kind, char *buffer, size_t size)
{
    static const char *const kNames[EXCEPTION_KINDS] = {
        "diskFull",       "diskError",    "noDisk",       "networkDisconnected", "ipConflict",
        "illegalAccess",  "recordFailed", "cameraIpConflict", "raidDegraded",    "raidFailed",
        "diskTemperature", "fanFailure",  "powerFailure", "",
    };
    if (!buffer || size == 0) return -1;
    snprintf(buffer, size, "%s", kind >= 0 && kind < EXCEPTION_KINDS ? kNames[kind] : "");
    return 0;
}
