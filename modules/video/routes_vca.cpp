// Route list of the video content analysis pages, the camera-side
// detectors, fisheye modes and regional people counting (video module).
#include "frontend/route_table.h"
#include "modules/video/vca.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Camera-side detectors, regional people counting.
    {"/6090", NVRWEB_HANDLER(on_get_ipc_cameraio)},
    {"/6091", NVRWEB_HANDLER(on_set_ipc_cameraio)},
    {"/6092", NVRWEB_HANDLER(on_get_ipc_volumedetect)},
    {"/6093", NVRWEB_HANDLER(on_set_ipc_volumedetect)},
    {"/6096", NVRWEB_HANDLER(on_cgi_get_ipc_regional_info)},
    {"/6097", NVRWEB_HANDLER(on_cgi_set_ipc_regional_info)},
    // Fisheye.
    {"/6130", NVRWEB_HANDLER(on_get_fisheye_mode)},
    {"/6131", NVRWEB_HANDLER(on_cgi_set_fisheye_mode)},
    {"/6196", NVRWEB_HANDLER(on_cgi_check_fisheye_info)},
    {"/6197", NVRWEB_HANDLER(on_cgi_set_fisheye_info)},
    // Analysis settings in the cameras.
    {"/6132", NVRWEB_HANDLER(on_get_vca_region)},
    {"/6133", NVRWEB_HANDLER(on_set_vca_region)},
    {"/6134", NVRWEB_HANDLER(on_get_vca_motion)},
    {"/6135", NVRWEB_HANDLER(on_set_vca_motion)},
    {"/6136", NVRWEB_HANDLER(on_get_vca_tamper)},
    {"/6137", NVRWEB_HANDLER(on_set_vca_tamper)},
    {"/6138", NVRWEB_HANDLER(on_get_vca_line)},
    {"/6139", NVRWEB_HANDLER(on_set_vca_line)},
    {"/6140", NVRWEB_HANDLER(on_get_vca_loitering)},
    {"/6141", NVRWEB_HANDLER(on_set_vca_loitering)},
    {"/6142", NVRWEB_HANDLER(on_get_vca_human)},
    {"/6143", NVRWEB_HANDLER(on_set_vca_human)},
    {"/6144", NVRWEB_HANDLER(on_get_vca_people)},
    {"/6145", NVRWEB_HANDLER(on_set_vca_people)},
    {"/6146", NVRWEB_HANDLER(on_get_vca_settings)},
    {"/6147", NVRWEB_HANDLER(on_set_vca_settings)},
    {"/6154", NVRWEB_HANDLER(on_vca_clear_people_count)},
    {"/6157", NVRWEB_HANDLER(on_get_vca_support)},
    {"/6171", NVRWEB_HANDLER(on_set_vca_leftremove)},
    {"/6172", NVRWEB_HANDLER(on_get_vca_leftremove)},
    {"/6192", NVRWEB_HANDLER(on_get_ipc_vca_line2)},
    {"/6193", NVRWEB_HANDLER(on_set_ipc_vca_line2)},
    {"/6194", NVRWEB_HANDLER(on_get_ipc_vca_settings2)},
    {"/6195", NVRWEB_HANDLER(on_set_ipc_vca_settings2)},
    // Smart event actions.
    {"/6148", NVRWEB_HANDLER(on_get_smart_event_schedule)},
    {"/6149", NVRWEB_HANDLER(on_set_smart_event_schedule)},
    {"/6150", NVRWEB_HANDLER(on_set_vca_allrtm_others)},
    {"/6151", NVRWEB_HANDLER(on_get_vca_common_para)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
