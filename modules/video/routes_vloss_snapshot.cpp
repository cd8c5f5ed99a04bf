// Route list of the video loss, exception and snapshot pages of the video
// module (a second table of the module, registered beside routes.cpp's).
#include "frontend/route_table.h"
#include "modules/video/snapshot.h"
#include "modules/video/videoloss.h"

namespace {
const WebRes kRoutes[] = {
    // Video loss and its actions.
    {"/6014", on_get_videolost_info},
    {"/6015", on_get_videolost_schedule},
    {"/6016", on_set_videolost_info},
    {"/6017", on_set_videolost_schedule},
    {"/6094", on_get_videoloss_info},
    {"/6095", on_set_videoloss_info},
    {"/6121", on_set_videolost_audible_sche},
    {"/6122", on_set_videolost_email_sche},
    {"/6123", on_set_videolost_others},
    {"/6124", on_get_videolost_email_sche},
    {"/6165", on_set_videoloss_ptz_sche},
    {"/6166", on_get_videoloss_ptz_sche},
    // Exceptions.
    {"/6998", on_set_exception},
    {"/6999", on_get_exception},
    // Snapshot schedules and settings.
    {"/6174", on_get_snapshot_schedule},
    {"/6175", on_set_snapshot_schedule},
    {"/6176", on_get_snapshot_setting_params},
    {"/6177", on_set_snapshot_setting_params},
    {"/6178", on_set_snapshot_batch_setting},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
