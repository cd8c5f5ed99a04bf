// Route list of licence plate recognition, OSD and privacy masks, registered
// with the video module's other lists.
#include "frontend/route_table.h"
#include "modules/video/lpr_osd.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Recorder OSD, camera OSD and privacy masks.
    {"/6000", NVRWEB_HANDLER(on_get_osd_info)},
    {"/6001", NVRWEB_HANDLER(on_set_osd_info)},
    {"/6002", NVRWEB_HANDLER(OnSetOSDName)},
    {"/6018", NVRWEB_HANDLER(on_get_privacy_masks)},
    {"/6019", NVRWEB_HANDLER(on_set_privacy_mask)},
    {"/6115", NVRWEB_HANDLER(on_get_privacy_mask_ovf)},
    {"/6116", NVRWEB_HANDLER(on_get_ipc_model_type)},
    {"/6173", NVRWEB_HANDLER(on_delete_privacy_mask)},
    {"/6198", NVRWEB_HANDLER(on_cgi_set_privacy_edit)},
    {"/6996", NVRWEB_HANDLER(on_set_osdconfig)},
    {"/6997", NVRWEB_HANDLER(on_get_osdconfig)},
    // Licence plate recognition.
    {"/6179", NVRWEB_HANDLER(on_get_anpr_mode_params)},
    {"/6180", NVRWEB_HANDLER(on_set_anpr_mode_params)},
    {"/6181", NVRWEB_HANDLER(on_get_anpr_settings)},
    {"/6182", NVRWEB_HANDLER(on_set_anpr_settings)},
    {"/6183", NVRWEB_HANDLER(on_set_anpr_del_lpr_plate)},
    {"/6184", NVRWEB_HANDLER(on_set_anpr_add_lpr_plate)},
    {"/6185", NVRWEB_HANDLER(on_set_anpr_update_lpr_plate)},
    {"/6186", NVRWEB_HANDLER(on_get_anpr_support_anpr)},
    {"/6189", NVRWEB_HANDLER(on_get_ipc_zoom_state)},
    {"/6190", NVRWEB_HANDLER(on_get_ipc_anpr_wildcards)},
    {"/6191", NVRWEB_HANDLER(on_set_ipc_anpr_wildcards)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_VIDEO, kRoutes)
