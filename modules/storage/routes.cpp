// Route list of the storage module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_STORAGE, kRoutes).
#include "frontend/route_table.h"
#include "modules/storage/storage.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Disks, formatting and RAID.
    NVRWEB_ROUTE("/6100", on_get_disk_info),
    NVRWEB_ROUTE("/6101", on_set_disk_info),
    NVRWEB_ROUTE("/6102", on_format_disk),
    NVRWEB_ROUTE("/6103", on_get_format_progress),
    NVRWEB_ROUTE("/6104", on_create_raid),
    NVRWEB_ROUTE("/6105", on_remove_raid),
    NVRWEB_ROUTE("/6106", on_set_hot_space),
    NVRWEB_ROUTE("/6107", on_rebuild_raid),
    NVRWEB_ROUTE("/6108", on_get_raid_mode),
    NVRWEB_ROUTE("/6109", on_set_raid_mode),
    // Network disks, recycling, health, quota and groups.
    NVRWEB_ROUTE("/6200", on_del_disk_nas),
    NVRWEB_ROUTE("/6201", on_add_disk_nas),
    NVRWEB_ROUTE("/6202", on_search_disk_nas),
    NVRWEB_ROUTE("/6203", on_edit_disk_nas),
    NVRWEB_ROUTE("/6204", on_set_recycle_mode),
    NVRWEB_ROUTE("/6205", on_get_recycle_mode),
    NVRWEB_ROUTE("/6206", on_get_smart_attr),
    NVRWEB_ROUTE("/6207", on_remove_disk),
    NVRWEB_ROUTE("/6208", on_get_quota_info),
    NVRWEB_ROUTE("/6209", on_set_quota_info),
    NVRWEB_ROUTE("/6210", on_set_group_info),
    // External backup.
    NVRWEB_ROUTE("/6220", on_get_esata_auto_backup_info),
    NVRWEB_ROUTE("/6221", on_set_esata_auto_backup_info),
    NVRWEB_ROUTE("/6222", on_get_esata_auto_backup_status),
    NVRWEB_ROUTE("/6223", on_get_export_disk_info),
    NVRWEB_ROUTE("/6224", on_format_esata_disk),
    NVRWEB_ROUTE("/6225", on_get_auto_backup_status),
    NVRWEB_ROUTE("/6226", on_set_auto_backup_stop),
    NVRWEB_ROUTE("/6227", on_get_format_info),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_STORAGE, kRoutes)
