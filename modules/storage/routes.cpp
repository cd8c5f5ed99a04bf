// Route list of the storage module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_STORAGE, kRoutes).
#include "frontend/route_table.h"
#include "modules/storage/storage.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Disks, formatting and RAID.
    {"/6100", NVRWEB_HANDLER(on_get_disk_info)},
    {"/6101", NVRWEB_HANDLER(on_set_disk_info)},
    {"/6102", NVRWEB_HANDLER(on_format_disk)},
    {"/6103", NVRWEB_HANDLER(on_get_format_progress)},
    {"/6104", NVRWEB_HANDLER(on_create_raid)},
    {"/6105", NVRWEB_HANDLER(on_remove_raid)},
    {"/6106", NVRWEB_HANDLER(on_set_hot_space)},
    {"/6107", NVRWEB_HANDLER(on_rebuild_raid)},
    {"/6108", NVRWEB_HANDLER(on_get_raid_mode)},
    {"/6109", NVRWEB_HANDLER(on_set_raid_mode)},
    // Network disks, recycling, health, quota and groups.
    {"/6200", NVRWEB_HANDLER(on_del_disk_nas)},
    {"/6201", NVRWEB_HANDLER(on_add_disk_nas)},
    {"/6202", NVRWEB_HANDLER(on_search_disk_nas)},
    {"/6203", NVRWEB_HANDLER(on_edit_disk_nas)},
    {"/6204", NVRWEB_HANDLER(on_set_recycle_mode)},
    {"/6205", NVRWEB_HANDLER(on_get_recycle_mode)},
    {"/6206", NVRWEB_HANDLER(on_get_smart_attr)},
    {"/6207", NVRWEB_HANDLER(on_remove_disk)},
    {"/6208", NVRWEB_HANDLER(on_get_quota_info)},
    {"/6209", NVRWEB_HANDLER(on_set_quota_info)},
    {"/6210", NVRWEB_HANDLER(on_set_group_info)},
    // External backup.
    {"/6220", NVRWEB_HANDLER(on_get_esata_auto_backup_info)},
    {"/6221", NVRWEB_HANDLER(on_set_esata_auto_backup_info)},
    {"/6222", NVRWEB_HANDLER(on_get_esata_auto_backup_status)},
    {"/6223", NVRWEB_HANDLER(on_get_export_disk_info)},
    {"/6224", NVRWEB_HANDLER(on_format_esata_disk)},
    {"/6225", NVRWEB_HANDLER(on_get_auto_backup_status)},
    {"/6226", NVRWEB_HANDLER(on_set_auto_backup_stop)},
    {"/6227", NVRWEB_HANDLER(on_get_format_info)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_STORAGE, kRoutes)
