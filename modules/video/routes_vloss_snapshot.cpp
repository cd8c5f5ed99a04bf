// Route list of the video loss, exception and snapshot pages of the video
// module (a second table of the module, registered beside routes.cpp's).
#include "frontend/route_table.h"
#include "modules/video/snapshot.h"
#include "modules/video/videoloss.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Video loss and its actions.
    NVRWEB_ROUTE("/6014", on_get_videolost_info),
    NVRWEB_ROUTE("/6015", on_get_videolost_schedule),
    NVRWEB_ROUTE("/6016", on_set_videolost_info),
    NVRWEB_ROUTE("/6017", on_set_videolost_schedule),
    NVRWEB_ROUTE("/6094", on_get_videoloss_info),
    NVRWEB_ROUTE("/6095", on_set_videoloss_info),
    NVRWEB_ROUTE("/6121", on_set_videolost_audible_sche),
    NVRWEB_ROUTE("/6122", on_set_videolost_email_sche),
    NVRWEB_ROUTE("/6123", on_set_videolost_others),
    NVRWEB_ROUTE("/6124", on_get_videolost_email_sche),
    NVRWEB_ROUTE("/6165", on_set_videoloss_ptz_sche),
    NVRWEB_ROUTE("/6166", on_get_videoloss_ptz_sche),
    // Exceptions.
    NVRWEB_ROUTE("/6998", on_set_exception),
    NVRWEB_ROUTE("/6999", on_get_exception),
    // Snapshot schedules and settings.
    NVRWEB_ROUTE("/6174", on_get_snapshot_schedule),
    NVRWEB_ROUTE("/6175", on_set_snapshot_schedule),
    NVRWEB_ROUTE("/6176", on_get_snapshot_setting_params),
    NVRWEB_ROUTE("/6177", on_set_snapshot_setting_params),
    NVRWEB_ROUTE("/6178", on_set_snapshot_batch_setting),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
