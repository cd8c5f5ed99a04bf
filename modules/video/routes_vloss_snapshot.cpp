// Route list of the video loss, exception and snapshot pages of the video
// module (a second table of the module, registered beside routes.cpp's).
#include "frontend/route_table.h"
#include "modules/video/snapshot.h"
#include "modules/video/videoloss.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Video loss and its actions.
    {"/6014", NVRWEB_HANDLER(on_get_videolost_info)},
    {"/6015", NVRWEB_HANDLER(on_get_videolost_schedule)},
    {"/6016", NVRWEB_HANDLER(on_set_videolost_info)},
    {"/6017", NVRWEB_HANDLER(on_set_videolost_schedule)},
    {"/6094", NVRWEB_HANDLER(on_get_videoloss_info)},
    {"/6095", NVRWEB_HANDLER(on_set_videoloss_info)},
    {"/6121", NVRWEB_HANDLER(on_set_videolost_audible_sche)},
    {"/6122", NVRWEB_HANDLER(on_set_videolost_email_sche)},
    {"/6123", NVRWEB_HANDLER(on_set_videolost_others)},
    {"/6124", NVRWEB_HANDLER(on_get_videolost_email_sche)},
    {"/6165", NVRWEB_HANDLER(on_set_videoloss_ptz_sche)},
    {"/6166", NVRWEB_HANDLER(on_get_videoloss_ptz_sche)},
    // Exceptions.
    {"/6998", NVRWEB_HANDLER(on_set_exception)},
    {"/6999", NVRWEB_HANDLER(on_get_exception)},
    // Snapshot schedules and settings.
    {"/6174", NVRWEB_HANDLER(on_get_snapshot_schedule)},
    {"/6175", NVRWEB_HANDLER(on_set_snapshot_schedule)},
    {"/6176", NVRWEB_HANDLER(on_get_snapshot_setting_params)},
    {"/6177", NVRWEB_HANDLER(on_set_snapshot_setting_params)},
    {"/6178", NVRWEB_HANDLER(on_set_snapshot_batch_setting)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
