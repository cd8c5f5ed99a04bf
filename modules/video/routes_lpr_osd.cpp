// Route list of licence plate recognition, OSD and privacy masks, registered
// with the video module's other lists.
#include "frontend/route_table.h"
#include "modules/video/lpr_osd.h"

namespace {
const WebRes kRoutes[] = {
    // Recorder OSD, camera OSD and privacy masks.
    {"/6000", on_get_osd_info},
    {"/6001", on_set_osd_info},
    {"/6002", OnSetOSDName},
    {"/6018", on_get_privacy_masks},
    {"/6019", on_set_privacy_mask},
    {"/6115", on_get_privacy_mask_ovf},
    {"/6116", on_get_ipc_model_type},
    {"/6173", on_delete_privacy_mask},
    {"/6198", on_cgi_set_privacy_edit},
    {"/6996", on_set_osdconfig},
    {"/6997", on_get_osdconfig},
    // Licence plate recognition.
    {"/6179", on_get_anpr_mode_params},
    {"/6180", on_set_anpr_mode_params},
    {"/6181", on_get_anpr_settings},
    {"/6182", on_set_anpr_settings},
    {"/6183", on_set_anpr_del_lpr_plate},
    {"/6184", on_set_anpr_add_lpr_plate},
    {"/6185", on_set_anpr_update_lpr_plate},
    {"/6186", on_get_anpr_support_anpr},
    {"/6189", on_get_ipc_zoom_state},
    {"/6190", on_get_ipc_anpr_wildcards},
    {"/6191", on_set_ipc_anpr_wildcards},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
