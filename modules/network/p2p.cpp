// Cloud (P2P) service: its state from the daemon (/7060), switching it on
// and off (/7061), a test of the connection to the P2P server (/7062) and
// unbinding the device from its cloud account (/7095).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/ipc.h"
#include "common/records/net_services.h"
#include "common/web_utils.h"
#include "modules/network/network.h"
#include "platform/qx_net.h"
#include "platform/qx_p2p.h"

namespace {
const char kDb[] = QXDB_PATH;
// The P2P server: a deployment setting, "host" or "host:port" (port 9999
// when none is given).
const char kServerParam[] = "p2p_server";
const char kServerDefault[] = "127.0.0.1";
const char kKeyFile[] = "/mnt/nand/app/p2p.key";

// Results of the test (/7062).
enum { P2P_TEST_OK = 0, P2P_TEST_REFUSED = 2, P2P_TEST_NETWORK = 3, P2P_TEST_KEYFILE = 4 };

const RecField kP2pStateFields[] = {
    RF_INT("enable", P2pStateRecord, enable),
    RF_TEXT("company", P2pStateRecord, company),
    RF_TEXT("email", P2pStateRecord, email),
    RF_INT("p2pstatus", P2pStateRecord, p2p_status),
    RF_TEXT("cloudAccount", P2pStateRecord, cloud_account),
    RF_TEXT("registerCode", P2pStateRecord, register_code),
    RF_TEXT("dealer", P2pStateRecord, dealer),
    RF_TEXT("model", P2pStateRecord, model),
    RF_TEXT("ipc", P2pStateRecord, ipc),
    RF_TEXT("cloudServer", P2pStateRecord, cloud_server),
    RF_INT("region", P2pStateRecord, region),
};

// Error names of the reply to switching the service on.
const struct {
    int code;
    const char *name;
} kEnableErrors[] = {
    {0, "ERR_OK"}, {2, "ERR_NOTFOUND"}, {3, "ERR_NETWORK"}, {5, "ERR_MAC_FORMAT"}, {6, "ERR_AUTH_FAILED"}, {7, "ERR_NO_UUID"},
};

int32_t first_int(const void *payload)
{
    int32_t v;
    memcpy(&v, payload, sizeof v);
    return v;
}

// Host and port of the P2P server.
void server_endpoint(char *host, size_t size, int *port)
{
    get_param_value(kDb, kServerParam, host, size, kServerDefault);
    *port = P2P_SERVER_PORT;
    char *colon = strrchr(host, ':');
    if (!colon) return;
    char *end = nullptr;
    long p = strtol(colon + 1, &end, 10);
    if (end != colon + 1 && !*end && p > 0 && p <= 65535) *port = static_cast<int>(p);
    *colon = '\0';
}

// The exchange on a connection switched to the key file: header and body
// out, the answer header in, and on success the server's text.
int test_exchange(int sock, const P2pTestBody &body, char (&text)[P2P_ANSWER_TEXT_MAX], int *text_len)
{
    P2pHeader head{};
    head.word0 = P2P_CMD_TEST;
    if (p2p_send(sock, &head, sizeof head) != static_cast<int>(sizeof head) ||
        p2p_send(sock, &body, sizeof body) != static_cast<int>(sizeof body))
        return P2P_TEST_NETWORK;
    P2pHeader answer{};
    if (p2p_recv(sock, &answer, sizeof answer) != static_cast<int>(sizeof answer)) return P2P_TEST_NETWORK;
    if (answer.word0 == 2) return P2P_TEST_REFUSED;
    if (answer.word0 != 0) return P2P_TEST_NETWORK;
    int n = p2p_recv(sock, text, sizeof text);
    if (n < 0) return P2P_TEST_NETWORK;
    *text_len = n;
    return P2P_TEST_OK;
}

int run_test(const P2pTestBody &body, char (&text)[P2P_ANSWER_TEXT_MAX], int *text_len)
{
    char host[128];
    int port = P2P_SERVER_PORT;
    server_endpoint(host, sizeof host, &port);
    int sock = socket_create();
    if (sock < 0) return P2P_TEST_NETWORK;
    int result = P2P_TEST_NETWORK;
    if (socket_connect(sock, host, port) == 0) {
        if (p2p_create_keyfile(kKeyFile) != 0 || p2p_cli_switch_keyfile(sock, kKeyFile) != 0)
            result = P2P_TEST_KEYFILE;
        else
            result = test_exchange(sock, body, text, text_len);
    }
    socket_destroy(sock);
    return result;
}
} // namespace

// ---- /7060 ------------------------------------------------------------------------------------

int on_get_p2p_info(char *)
{
    network_request_ipc(IPC_P2P_STATUS, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_p2p_status_info_cb(size_t, const void *payload)
{
    P2pStateRecord state;
    memcpy(&state, payload, sizeof state);
    json_object *o = json_object_new_object();
    fields_to_json(o, &state, kP2pStateFields);
    network_reply_json(o);
    g_callback_done = 1;
}

// ---- /7061 ------------------------------------------------------------------------------------

int on_set_p2p_info(char *request)
{
    static constexpr JsonPolicy policy[] = {{"enableP2P", JK_INT}, {"region", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_p2p_info, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;
    int enable = jv_int(tb[0]);
    int region = jv_int(tb[1]);
    if (enable != 0) {
        P2pRecord rec{};
        rec.enable = enable;
        rec.region = region;
        network_request_ipc(IPC_P2P_ENABLE, rec, REPLY_TEXT);
        return 0;
    }
    P2pRecord rec{};
    int stored = settings_atomic(kDb, [&]() -> int {
        if (read_p2p_info(kDb, &rec) != 0) return -1;
        rec.enable = 0;
        rec.region = region;
        return write_p2p_info(kDb, &rec);
    });
    if (stored < 0) return network_write_failed("p2p");
    network_request_ipc(IPC_P2P_DISABLE, rec, REPLY_TEXT);
    return 0;
}

void on_enable_p2p_cb(size_t, const void *payload)
{
    int32_t code = first_int(payload);
    const char *name = "ERR_UNKNOWN";
    for (const auto &e : kEnableErrors)
        if (e.code == code) name = e.name;
    cgi_writeback_webserver(REPLY_TEXT, name);
    g_callback_done = 1;
}

void on_disable_p2p_cb(size_t, const void *payload)
{
    cgi_writeback_webserver(REPLY_TEXT, first_int(payload) == 0 ? "OK" : "ERR");
    g_callback_done = 1;
}

// ---- /7062 ------------------------------------------------------------------------------------

int on_test_p2p(char *request)
{
    static constexpr JsonPolicy policy[] = {{"sn", JK_STRING}, {"deviceName", JK_STRING}};
    NVRWEB_HANDLER_KEYS(on_test_p2p, policy);
    JsonDoc doc(request);
    json_object *tb[2];
    if (JSON_PARSE(doc.get(), policy, tb) < 0) return 0;

    P2pRecord rec{};
    read_p2p_info(kDb, &rec);
    P2pTestBody body{};
    char mac[18];
    get_mac_addr(mac, nullptr);
    COPY_TEXT(body.mac, mac);
    jv_copy(tb[1], body.device_name, sizeof body.device_name);
    jv_copy(tb[0], body.serial, sizeof body.serial);
    for (int i = 0; i < 3; i++) copy_field(body.text[i], sizeof body.text[i], rec.text[i], sizeof rec.text[i]);
    copy_field(body.text4, sizeof body.text4, rec.text4, sizeof rec.text4);

    char text[P2P_ANSWER_TEXT_MAX] = {};
    int text_len = 0;
    int result = run_test(body, text, &text_len);
    // The server's text goes to the daemon as it came (its length, within
    // 128 bytes); nobody waits for the daemon's reply to it.
    if (result == P2P_TEST_OK) cgi_notify_ipc(IPC_P2P_ENABLE, text_len, text);
    char answer[16];
    snprintf(answer, sizeof answer, "%d", result);
    return cgi_writeback_webserver(REPLY_TEXT, answer);
}

// ---- /7095 ------------------------------------------------------------------------------------

int on_cgi_p2p_unbind_device(char *)
{
    network_request_ipc(IPC_P2P_UNBIND, 0, nullptr, REPLY_JSON);
    return 0;
}

void on_cgi_p2p_unbind_device_cb(size_t, const void *)
{
    cgi_writeback_webserver(REPLY_JSON, "{\"res\":0}");
    g_callback_done = 1;
}
