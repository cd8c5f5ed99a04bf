// Route list of the video content analysis pages, the camera-side
// detectors, fisheye modes and regional people counting (video module).
#include "frontend/route_table.h"
#include "modules/video/vca.h"

namespace {
const WebRes kRoutes[] = {
    // Camera-side detectors, regional people counting.
    {"/6090", on_get_ipc_cameraio},
    {"/6091", on_set_ipc_cameraio},
    {"/6092", on_get_ipc_volumedetect},
    {"/6093", on_set_ipc_volumedetect},
    {"/6096", on_cgi_get_ipc_regional_info},
    {"/6097", on_cgi_set_ipc_regional_info},
    // Fisheye.
    {"/6130", on_get_fisheye_mode},
    {"/6131", on_cgi_set_fisheye_mode},
    {"/6196", on_cgi_check_fisheye_info},
    {"/6197", on_cgi_set_fisheye_info},
    // Analysis settings in the cameras.
    {"/6132", on_get_vca_region},
    {"/6133", on_set_vca_region},
    {"/6134", on_get_vca_motion},
    {"/6135", on_set_vca_motion},
    {"/6136", on_get_vca_tamper},
    {"/6137", on_set_vca_tamper},
    {"/6138", on_get_vca_line},
    {"/6139", on_set_vca_line},
    {"/6140", on_get_vca_loitering},
    {"/6141", on_set_vca_loitering},
    {"/6142", on_get_vca_human},
    {"/6143", on_set_vca_human},
    {"/6144", on_get_vca_people},
    {"/6145", on_set_vca_people},
    {"/6146", on_get_vca_settings},
    {"/6147", on_set_vca_settings},
    {"/6154", on_vca_clear_people_count},
    {"/6157", on_get_vca_support},
    {"/6171", on_set_vca_leftremove},
    {"/6172", on_get_vca_leftremove},
    {"/6192", on_get_ipc_vca_line2},
    {"/6193", on_set_ipc_vca_line2},
    {"/6194", on_get_ipc_vca_settings2},
    {"/6195", on_set_ipc_vca_settings2},
    // Smart event actions.
    {"/6148", on_get_smart_event_schedule},
    {"/6149", on_set_smart_event_schedule},
    {"/6150", on_set_vca_allrtm_others},
    {"/6151", on_get_vca_common_para},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
