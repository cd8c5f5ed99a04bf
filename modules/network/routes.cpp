// Route list of the network module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_NETWORK, kRoutes).
#include "frontend/route_table.h"
#include "frontend/upload_routes.h"
#include "modules/network/network.h"

namespace {
const WebRes kRoutes[] = {
    // interfaces and addressing
    {"/7040", on_get_network_info},
    {"/7041", on_set_network_info},
    {"/7042", on_get_network_mode},
    {"/7043", on_restart_network},
    {"/7044", on_get_mac0},
    {"/7070", on_ip_conflict},
    {"/7071", on_ip_conflict_by_dev},
    {"/7096", on_cgi_set_default_route},
    // time
    {"/7000", on_get_time_info},
    {"/7001", on_set_time_info},
    // PPPoE and DDNS
    {"/7010", on_get_pppoe_info},
    {"/7011", on_set_pppoe_info},
    {"/7020", on_get_ddns_info},
    {"/7021", on_set_ddns_info},
    {"/7094", on_get_ddns_status},
    // mail
    {"/7030", on_get_email_info},
    {"/7031", on_set_email_info},
    {"/7032", on_test_email},
    // ports, push messages, PoE, UPnP
    {"/7050", on_get_port_info},
    {"/7051", on_set_port_info},
    {"/7093", on_get_poe_max},
    {"/1030", on_get_upnp_info},
    {"/1031", on_set_upnp_info},
    // cloud service
    {"/7060", on_get_p2p_info},
    {"/7061", on_set_p2p_info},
    {"/7062", on_test_p2p},
    {"/7095", on_cgi_p2p_unbind_device},
    // HTTPS certificates
    {"/7080", on_create_https_cert},
    {"/7081", on_get_cert_info},
    {"/7089", on_get_cert_req_info},
    {"/7082", on_download_cert_req},
    {"/7083", on_delete_cert_req},
    {"/7084", on_install_cert},
    {"/7085", on_delete_cert},
    {"/7086", on_set_https_enable},
    {"/7087", on_get_https_enable},
    // SNMP, address filter, multicast, channel access
    {"/7090", on_get_snmp_info},
    {"/7091", on_set_snmp_info},
    {"/6300", on_get_access_filter},
    {"/6301", on_set_access_filter},
    {"/7033", on_cgi_get_multicast},
    {"/7034", on_cgi_set_multicast},
    {"/7092", on_get_access_info},
};
// The signed certificate comes as an upload kept under its name in /tmp.
const UploadRoute kUploads[] = {{"/7084", UPLOAD_STORED}};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_NETWORK, kRoutes)
NVRWEB_MODULE_UPLOADS(kUploads)
