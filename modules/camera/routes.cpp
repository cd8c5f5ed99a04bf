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
    // People counting, POS and face detection.
    {"/2066", on_cgi_get_peoplecnt_settings},
    {"/2067", on_cgi_set_peoplecnt_settings},
    {"/2069", on_cgi_get_peoplecnt_action},
    {"/2070", on_cgi_set_peoplecnt_action},
    {"/2071", on_cgi_set_peoplecnt_db_reset},
    {"/2072", on_cgi_set_peoplecnt_liveview_reset},
    {"/2073", on_cgi_get_pos_info},
    {"/2074", on_cgi_set_pos_info},
    {"/2075", on_cgi_get_report_auto_backup},
    {"/2076", on_cgi_set_report_auto_backup},
    {"/2077", on_cgi_set_face_config},
    // Camera upgrade and device queries.
    {"/2013", on_get_record_days},
    {"/2026", on_web_sendto_qt_cmd},
    {"/2027", on_web_get_chip_code},
    {"/2028", on_web_get_motion_status},
    {"/2034", on_get_have_ipv6},
    {"/2035", on_get_smart_event_schedules},
    {"/2036", on_set_smart_event_schedules},
    {"/2057", on_cgi_get_ipc_type},
    {"/2078", on_set_ipc_upgrade_prepare},
    {"/2079", on_get_ipc_upgrade_status},
    {"/2080", on_set_ipc_upgrade},
    {"/2081", on_set_ipc_upgrade_stop},
    {"/2082", on_get_cgi_ready},
};

NVRWEB_MODULE_ROUTES(MODULE_CAMERA, kRoutes)
