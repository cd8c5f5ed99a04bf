// Route list of the camera module.
#include "frontend/route_table.h"
#include "modules/camera/camera.h"

static const WebRes kRoutes[] = {
    {"/2000", on_get_ipc_channel},
    {"/2001", on_get_ipc_list},
    {"/2003", on_edit_ipc_channel},
    {"/2004", on_add_ipc_channel},
    {"/2005", on_delete_ipc_channel},
    {"/2006", on_search_ipc},
    {"/2007", on_get_ipc_list},
    {"/2008", on_get_ipc_protocols},
    {"/2011", on_set_ipc_network},
    {"/2012", on_get_channel_names},
    {"/2014", on_test_ipc_connection},
    {"/2015", on_test_ipc_connection2},
    {"/2016", on_get_poe_default_password},
    {"/2017", on_set_ipc_credentials},
    {"/2018", on_get_max_poe_num},
    {"/2025", on_web_get_ipc_model_type},
    {"/2029", on_web_get_channels_model},
    {"/2031", on_set_ipc_transport},
    {"/2032", on_set_ipc_network_batch},
    {"/2033", on_get_ipc_network_batch_result},
};

NVRWEB_MODULE_ROUTES(MODULE_CAMERA, kRoutes)
