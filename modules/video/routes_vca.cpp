// Route list of the video content analysis pages, the camera-side
// detectors, fisheye modes and regional people counting (video module).
#include "frontend/route_table.h"
#include "modules/video/vca.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Camera-side detectors, regional people counting.
    NVRWEB_ROUTE("/6090", on_get_ipc_cameraio),
    NVRWEB_ROUTE("/6091", on_set_ipc_cameraio),
    NVRWEB_ROUTE("/6092", on_get_ipc_volumedetect),
    NVRWEB_ROUTE("/6093", on_set_ipc_volumedetect),
    NVRWEB_ROUTE("/6096", on_cgi_get_ipc_regional_info),
    NVRWEB_ROUTE("/6097", on_cgi_set_ipc_regional_info),
    // Fisheye.
    NVRWEB_ROUTE("/6130", on_get_fisheye_mode),
    NVRWEB_ROUTE("/6131", on_cgi_set_fisheye_mode),
    NVRWEB_ROUTE("/6196", on_cgi_check_fisheye_info),
    NVRWEB_ROUTE("/6197", on_cgi_set_fisheye_info),
    // Analysis settings in the cameras.
    NVRWEB_ROUTE("/6132", on_get_vca_region),
    NVRWEB_ROUTE("/6133", on_set_vca_region),
    NVRWEB_ROUTE("/6134", on_get_vca_motion),
    NVRWEB_ROUTE("/6135", on_set_vca_motion),
    NVRWEB_ROUTE("/6136", on_get_vca_tamper),
    NVRWEB_ROUTE("/6137", on_set_vca_tamper),
    NVRWEB_ROUTE("/6138", on_get_vca_line),
    NVRWEB_ROUTE("/6139", on_set_vca_line),
    NVRWEB_ROUTE("/6140", on_get_vca_loitering),
    NVRWEB_ROUTE("/6141", on_set_vca_loitering),
    NVRWEB_ROUTE("/6142", on_get_vca_human),
    NVRWEB_ROUTE("/6143", on_set_vca_human),
    NVRWEB_ROUTE("/6144", on_get_vca_people),
    NVRWEB_ROUTE("/6145", on_set_vca_people),
    NVRWEB_ROUTE("/6146", on_get_vca_settings),
    NVRWEB_ROUTE("/6147", on_set_vca_settings),
    NVRWEB_ROUTE("/6154", on_vca_clear_people_count),
    NVRWEB_ROUTE("/6157", on_get_vca_support),
    NVRWEB_ROUTE("/6171", on_set_vca_leftremove),
    NVRWEB_ROUTE("/6172", on_get_vca_leftremove),
    NVRWEB_ROUTE("/6192", on_get_ipc_vca_line2),
    NVRWEB_ROUTE("/6193", on_set_ipc_vca_line2),
    NVRWEB_ROUTE("/6194", on_get_ipc_vca_settings2),
    NVRWEB_ROUTE("/6195", on_set_ipc_vca_settings2),
    // Smart event actions.
    NVRWEB_ROUTE("/6148", on_get_smart_event_schedule),
    NVRWEB_ROUTE("/6149", on_set_smart_event_schedule),
    NVRWEB_ROUTE("/6150", on_set_vca_allrtm_others),
    NVRWEB_ROUTE("/6151", on_get_vca_common_para),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
