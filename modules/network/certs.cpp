// HTTPS certificates: ordering a self-signed certificate or a certificate
// request from the daemon (/7080), the installed certificate and the pending
// request (/7081, /7089), the request file for download (/7082), discarding
// the request (/7083), installing a signed certificate upload (/7084),
// removing the certificate (/7085) and the HTTPS switch (/7086, /7087).
// Keys, certificates and requests are made by the daemon; this side fixes
// the order, the files and the requests.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "common/ipc.h"
#include "common/records/https_cert.h"
#include "common/web_utils.h"
#include "modules/network/network.h"
#include "platform/device_path.h"

namespace {
const char kDb[] = QXDB_PATH;
enum { DOWNLOAD_CHUNK = 4095 };

// ---- Programs ------------------------------------------------------------------------------

// Runs a program from its argument vector (common/web_utils.h): its exit
// status, -1 when it did not run or ended by a signal.
int run_program(const char *const argv[]) { return web_run(argv); }

int remove_tree(const char *device_path)
{
    const std::string p = nvr_path(device_path);
    const char *argv[] = {"/bin/rm", "-rf", p.c_str(), nullptr};
    return run_program(argv);
}

bool make_dir(const char *device_path)
{
    return mkdir(nvr_path(device_path).c_str(), 0755) == 0 || errno == EEXIST;
}

// Creates the file or replaces its content.
bool write_file(const char *device_path, const char *text)
{
    FILE *f = fopen(nvr_path(device_path).c_str(), "w");
    if (!f) return false;
    bool ok = fputs(text, f) >= 0;
    return fclose(f) == 0 && ok;
}

// "chmod 777 -R" on every entry of the certificate directory; symbolic
// links are not followed.
int chmod_entry(const char *path, const struct stat *, int type, struct FTW *ftw)
{
    if (ftw->level > 0 && type != FTW_SL && type != FTW_SLN) chmod(path, 0777);
    return 0;
}

// The signing working directory (and the certificate directory, should the
// log-in not have made it yet): an empty "demoCA" with "newcerts", an
// empty "index.txt" and the serial 01; then everything in the certificate
// directory open to the daemon.
void prepare_ca_dir()
{
    remove_tree(SSL_CA_DIR);
    bool ok = make_dir(SSL_DIR) && make_dir(SSL_CA_DIR) && make_dir(SSL_CA_DIR "/newcerts") && write_file(SSL_CA_DIR "/index.txt", "") &&
              write_file(SSL_CA_DIR "/serial", "01\n");
    if (!ok) cgi_log("OnSystem", __LINE__, "", "certificate working directory: %s", strerror(errno));
    nftw(nvr_path(SSL_DIR).c_str(), chmod_entry, 16, FTW_PHYS);
}

// ---- Order -------------------------------------------------------------------------------------
const RecField kOrderFields[] = {
    RF_INT("InstallType", CertOrderRecord, install_type),
    RF_TEXT("Country", CertOrderRecord, country),
    RF_TEXT("CommonName", CertOrderRecord, common_name),
    RF_TEXT("Password", CertOrderRecord, password),
    RF_TEXT("Province", CertOrderRecord, province),
    RF_TEXT("Region", CertOrderRecord, region),
    RF_TEXT("Organization", CertOrderRecord, organization),
    RF_TEXT("Company", CertOrderRecord, company),
    RF_TEXT("Email", CertOrderRecord, email),
};
// Only a self-signed certificate has its validity from the order.
const RecField kSelfSignedFields[] = {
    RF_INT("Validity", CertOrderRecord, validity),
    RF_TEXT("startTime", CertOrderRecord, start_time),
    RF_TEXT("endTime", CertOrderRecord, end_time),
};

// The subject keys of the installed certificate (/7081) and of the request (/7089).
const RecField kCertSubject[] = {
    RF_TEXT("country", CertOrderRecord, country),
    RF_TEXT("common_name", CertOrderRecord, common_name),
    RF_TEXT("email", CertOrderRecord, email),
    RF_TEXT("dates", CertOrderRecord, dates),
};
const RecField kRequestSubject[] = {
    RF_TEXT("country_req", CertOrderRecord, country),
    RF_TEXT("common_name_req", CertOrderRecord, common_name),
    RF_TEXT("email_req", CertOrderRecord, email),
};

bool have_file(const char *device_path) { return IsFileExisted(device_path) == 0; }
} // namespace

// ---- /7080 ---------------------------------------------------------------------------------------

int on_create_https_cert(char *request)
{
    JsonDoc doc(request);
    if (!doc || !json_object_is_type(doc.get(), json_type_object)) return 0;
    CertOrderRecord order{};
    fields_from_json(doc.get(), &order, kOrderFields);
    if (order.install_type == CERT_SELF_SIGNED) fields_from_json(doc.get(), &order, kSelfSignedFields);

    prepare_ca_dir();
    // The daemon starts on the directory after a settling second.
    usleep(static_cast<useconds_t>(1000000 * ipc_time_scale()));
    network_request_ipc(IPC_CERT_CREATE, order, REPLY_TEXT);
    return 0;
}

void on_resp_create_cert(size_t, const void *)
{
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    g_callback_done = 1;
}

// ---- /7081, /7089 ---------------------------------------------------------------------------------

int on_get_cert_info(char *)
{
    int enable = get_param_int(kDb, HTTPS_ENABLE_PARAM, 0);
    json_object *o = json_object_new_object();
    if (!have_file(SSL_CERT_FILE)) {
        // Without a certificate HTTPS is off.
        if (enable != 0 && set_param_int(kDb, HTTPS_ENABLE_PARAM, 0) != 0)
            cgi_log("OnSystem", __LINE__, "", "https switch not reset");
        json_add_int(o, "enable", 0);
        json_add_text(o, "checkfile", "NOFILE");
        network_reply_json(o);
        return 0;
    }
    CertOrderRecord cert{};
    read_ssl_params(kDb, &cert, SSL_PARAMS_CERT);
    json_add_int(o, "enable", enable);
    json_add_text(o, "checkfile", "OK");
    fields_to_json(o, &cert, kCertSubject);
    network_reply_json(o);
    return 0;
}

int on_get_cert_req_info(char *)
{
    CertOrderRecord req{};
    read_ssl_params(kDb, &req, SSL_PARAMS_REQUEST);
    json_object *o = json_object_new_object();
    json_add_text(o, "checkfile", have_file(SSL_REQ_FILE) ? "OK" : "NOFILE");
    fields_to_json(o, &req, kRequestSubject);
    network_reply_json(o);
    return 0;
}

// ---- /7082, /7083 --------------------------------------------------------------------------------

int on_download_cert_req(char *)
{
    FILE *f = fopen(nvr_path(SSL_REQ_FILE).c_str(), "rb");
    if (!f) return cgi_writeback_webserver(REPLY_TEXT, "NotFile");
    cgi_writeback_webserver(REPLY_RAW, "Content-Type:application/octet-stream\r\n"
                                       "Content-Disposition: attachment; filename= " SSL_REQ_NAME "\r\n\r\n");
    char chunk[DOWNLOAD_CHUNK];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        if (fwrite(chunk, 1, n, stdout) != n) break;
    fclose(f);
    fflush(stdout);
    return 0;
}

int on_delete_cert_req(char *)
{
    cgi_writeback_webserver(REPLY_TEXT, "OK");
    network_notify_ipc(IPC_CERT_REQ_DELETE, 0, nullptr);
    return 0;
}

// ---- /7084 ---------------------------------------------------------------------------------------

int on_install_cert(char *request)
{
    std::string upload;
    if (!tmp_upload_path(request, &upload)) {
        cgi_log("OnSystem", __LINE__, "", "certificate upload refused");
        return cgi_writeback_webserver(REPLY_TEXT, "Error");
    }
    const std::string from = nvr_path(upload.c_str());
    const std::string cert = nvr_path(SSL_CERT_FILE);
    const char *profile[] = {"qxprofile", "-i", from.c_str(), nullptr};
    run_program(profile);
    if (have_file(SSL_CERT_FILE)) {
        const std::string save = nvr_path(SSL_CERT_SAVE_FILE);
        const char *copy[] = {"/bin/cp", cert.c_str(), save.c_str(), nullptr};
        run_program(copy);
    }
    const char *move[] = {"/bin/mv", "-f", from.c_str(), cert.c_str(), nullptr};
    if (run_program(move) != 0) return cgi_writeback_webserver(REPLY_TEXT, "Error");
    network_request_ipc(IPC_CERT_INSTALL, 0, nullptr, REPLY_TEXT);
    return 0;
}

void on_resp_install_cert(size_t, const void *payload)
{
    int32_t result;
    memcpy(&result, payload, sizeof result);
    cgi_writeback_webserver(REPLY_TEXT, result == 1 ? "OK" : "Error");
    g_callback_done = 1;
}

// ---- /7085 ---------------------------------------------------------------------------------------

int on_delete_cert(char *)
{
    CertOrderRecord blank{};
    COPY_TEXT(blank.country, " ");
    COPY_TEXT(blank.common_name, " ");
    COPY_TEXT(blank.email, " ");
    COPY_TEXT(blank.dates, " ");
    int stored = settings_atomic(kDb, [&]() -> int {
        if (set_param_int(kDb, HTTPS_ENABLE_PARAM, 0) != 0) return -1;
        return write_ssl_params(kDb, &blank, SSL_PARAMS_CERT);
    });
    if (stored < 0) return network_write_failed("certificate");
    // The request goes too, where it is kept and under the directory's own name.
    for (const char *file : {SSL_CERT_FILE, SSL_DIR "/" SSL_REQ_NAME, SSL_REQ_FILE}) remove_tree(file);
    network_notify_ipc(IPC_CERT_DELETE, 0, nullptr);
    network_notify_ipc(IPC_HTTPS_ENABLE, int32_t{0});
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

// ---- /7086, /7087 --------------------------------------------------------------------------------

int on_set_https_enable(char *request)
{
    static constexpr JsonPolicy policy[] = {{"httpsenable", JK_INT}};
    NVRWEB_HANDLER_KEYS(on_set_https_enable, policy);
    JsonDoc doc(request);
    json_object *tb[1];
    if (JSON_PARSE(doc.get(), policy, tb) < 0 || !net_int_in(tb[0], 0, 1)) return 0;
    const int32_t enable = jv_int(tb[0]);
    if (enable == 1 && !have_file(SSL_CERT_FILE)) return cgi_writeback_webserver(REPLY_TEXT, "NOFILE");
    if (set_param_int(kDb, HTTPS_ENABLE_PARAM, enable) != 0) return network_write_failed("https");
    network_notify_ipc(IPC_HTTPS_ENABLE, enable);
    return cgi_writeback_webserver(REPLY_TEXT, "OK");
}

int on_get_https_enable(char *)
{
    json_object *o = json_object_new_object();
    json_add_int(o, "enable", get_param_int(kDb, HTTPS_ENABLE_PARAM, 0));
    network_reply_json(o);
    return 0;
}
