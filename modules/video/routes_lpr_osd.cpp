// Route list of licence plate recognition, OSD and privacy masks, registered
// with the video module's other lists.
#include "frontend/route_table.h"
#include "modules/video/lpr_osd.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Recorder OSD, camera OSD and privacy masks.
    NVRWEB_ROUTE("/6000", on_get_osd_info),
    NVRWEB_ROUTE("/6001", on_set_osd_info),
    NVRWEB_ROUTE("/6002", OnSetOSDName),
    NVRWEB_ROUTE("/6018", on_get_privacy_masks),
    NVRWEB_ROUTE("/6019", on_set_privacy_mask),
    NVRWEB_ROUTE("/6115", on_get_privacy_mask_ovf),
    NVRWEB_ROUTE("/6116", on_get_ipc_model_type),
    NVRWEB_ROUTE("/6173", on_delete_privacy_mask),
    NVRWEB_ROUTE("/6198", on_cgi_set_privacy_edit),
    NVRWEB_ROUTE("/6996", on_set_osdconfig),
    NVRWEB_ROUTE("/6997", on_get_osdconfig),
    // Licence plate recognition.
    NVRWEB_ROUTE("/6179", on_get_anpr_mode_params),
    NVRWEB_ROUTE("/6180", on_set_anpr_mode_params),
    NVRWEB_ROUTE("/6181", on_get_anpr_settings),
    NVRWEB_ROUTE("/6182", on_set_anpr_settings),
    NVRWEB_ROUTE("/6183", on_set_anpr_del_lpr_plate),
    NVRWEB_ROUTE("/6184", on_set_anpr_add_lpr_plate),
    NVRWEB_ROUTE("/6185", on_set_anpr_update_lpr_plate),
    NVRWEB_ROUTE("/6186", on_get_anpr_support_anpr),
    NVRWEB_ROUTE("/6189", on_get_ipc_zoom_state),
    NVRWEB_ROUTE("/6190", on_get_ipc_anpr_wildcards),
    NVRWEB_ROUTE("/6191", on_set_ipc_anpr_wildcards),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
