// Licence plate recognition storage: the list events' records and schedules
// in the settings database, and the plate lists in their own file.
#include <cstring>

#include "common/records/lpr.h"
#include "platform/qx_db.h"

namespace {

const char *const kEventTables[] = {"anpr_general_event", "anpr_black_event", "anpr_white_event",
                                    "anpr_visitor_event"};
const char *const kScheduleTables[][ANPR_SCHE_KINDS] = {
    {"anpr_general_effective_sche", "anpr_general_audible_sche", "anpr_general_mail_sche", "anpr_general_ptz_sche"},
    {"anpr_black_effective_sche", "anpr_black_audible_sche", "anpr_black_mail_sche", "anpr_black_ptz_sche"},
    {"anpr_white_effective_sche", "anpr_white_audible_sche", "anpr_white_mail_sche", "anpr_white_ptz_sche"},
    {"anpr_visitor_effective_sche", "anpr_visitor_audible_sche", "anpr_visitor_mail_sche", "anpr_visitor_ptz_sche"},
};

const AnprActionTables kBlack = {
    "lpr_black_whiteled_esche",  "lpr_black_warning_light_esche",         "lpr_black_white_led_params",
    "lpr_black_warning_light_params", "lpr_black_mode_http_notification_sche", "lpr_black_mode_http_notification_params",
};
const AnprActionTables kWhite = {
    "lpr_white_whiteled_esche",  "lpr_white_warning_light_esche",         "lpr_white_white_led_params",
    "lpr_white_warning_light_params", "lpr_white_mode_http_notification_sche", "lpr_white_mode_http_notification_params",
};
const AnprActionTables kVisitor = {
    "lpr_vistor_whiteled_esche",  "lpr_vistor_warning_light_esche",           "lpr_vistor_white_led_params",
    "lpr_vistor_warning_light_params", "lpr_visitor_mode_http_notification_sche", "lpr_visitor_mode_http_notification_params",
};

// Index of a mode in the tables above, -1 out of range.
int mode_index(int mode) { return anpr_valid_mode(mode) ? mode + 1 : -1; }

// The plate lists' store in the plate-list file.
const char kPlateTable[] = "anpr_list";

bool has_plate(const AnprListEntry *e) { return e && e->plate[0] != '\0'; }

// The entry's plate as a bounded text (a stored entry may lack its zero).
struct PlateKey {
    char text[ANPR_PLATE_SIZE];
    explicit PlateKey(const AnprListEntry &e)
    {
        memcpy(text, e.plate, sizeof text - 1);
        text[sizeof text - 1] = '\0';
    }
};
} // namespace

const char *anpr_event_table_name(int mode)
{
    int i = mode_index(mode);
    return i < 0 ? nullptr : kEventTables[i];
}

const char *anpr_schedule_table_name(AnprScheduleKind kind, int mode)
{
    int i = mode_index(mode);
    if (i < 0 || kind < 0 || kind >= ANPR_SCHE_KINDS) return nullptr;
    return kScheduleTables[i][kind];
}

const AnprActionTables *anpr_action_tables(int mode)
{
    switch (mode) {
    case ANPR_MODE_BLACK: return &kBlack;
    case ANPR_MODE_WHITE: return &kWhite;
    case ANPR_MODE_VISITOR:
    case ANPR_MODE_GENERAL: return &kVisitor;
    default: return nullptr;
    }
}

int read_anpr_event(const char *path, AnprEventRecord *rec, int channel, int mode)
{
    const char *t = anpr_event_table_name(mode);
    return t ? read_anpr_event_table(path, t, rec, channel) : -1;
}

int write_anpr_event(const char *path, const AnprEventRecord *rec, int mode)
{
    const char *t = anpr_event_table_name(mode);
    return t && rec ? write_anpr_event_table(path, t, rec, rec->channel) : -1;
}

// ---- Plate lists ---------------------------------------------------------------------------

int write_anpr_list(const char *path, const AnprListEntry *entry)
{
    return write_anpr_list_replace_batch(path, entry, 1);
}

int write_anpr_list_replace_batch(const char *path, const AnprListEntry *entries, int count)
{
    if (!entries || count < 0) return -1;
    for (int i = 0; i < count; i++)
        if (!has_plate(&entries[i])) return -1;
    return qxdb_transact(path, QXDB_WRITE, [&](QxDbTxn &txn) -> int {
        for (int i = 0; i < count; i++)
            if (txn.text_put(kPlateTable, PlateKey(entries[i]).text, &entries[i], sizeof entries[i]) < 0) return -1;
        return 0;
    }) < 0 ? -1 : 0;
}

int update_anpr_list(const char *path, const AnprListEntry *entry)
{
    if (!has_plate(entry)) return -1;
    return qxdb_transact(path, QXDB_WRITE, [&](QxDbTxn &txn) -> int {
        PlateKey key(*entry);
        int stored = txn.text_get(kPlateTable, key.text, nullptr, 0);
        if (stored <= 0) return -1;
        return txn.text_put(kPlateTable, key.text, entry, sizeof *entry);
    }) < 0 ? -1 : 0;
}

int delete_anpr_list(const char *path, const char *plate)
{
    if (!plate || !*plate) return -1;
    return qxdb_transact(path, QXDB_WRITE, [&](QxDbTxn &txn) { return txn.text_del(kPlateTable, plate); }) < 0 ? -1 : 0;
}

int delete_anpr_lists(const char *path, const AnprListEntry *entries, int count)
{
    if (!entries || count < 0) return -1;
    return qxdb_transact(path, QXDB_WRITE, [&](QxDbTxn &txn) -> int {
        for (int i = 0; i < count; i++)
            if (has_plate(&entries[i]) && txn.text_del(kPlateTable, PlateKey(entries[i]).text) < 0) return -1;
        return 0;
    }) < 0 ? -1 : 0;
}

int read_anpr_list_plate(const char *path, const char *plate, AnprListEntry *entry)
{
    if (!plate || !*plate || !entry) return -1;
    AnprListEntry found{};
    int rc = qxdb_transact(path, QXDB_READ,
                           [&](QxDbTxn &txn) { return txn.text_get(kPlateTable, plate, &found, sizeof found); });
    if (rc < 0) return -1;
    if (rc == 0) return 1;
    *entry = found;
    return 0;
}

int count_anpr_lists(const char *path)
{
    int64_t n = -1;
    int rc = qxdb_transact(path, QXDB_READ, [&](QxDbTxn &txn) -> int {
        n = txn.text_count(kPlateTable);
        return n < 0 ? -1 : 0;
    });
    return rc < 0 ? -1 : static_cast<int>(n);
}
