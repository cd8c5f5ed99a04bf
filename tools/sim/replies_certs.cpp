// Replies of the HTTPS certificate requests and of multicast. The simulator
// does the daemon's work on the device root: it makes the keys, the
// self-signed certificates and the certificate requests (RSA 2048, SHA-256),
// checks an installed certificate against the key of its request, keeps the
// stored certificate parameters and clears them again. It does not restart
// the web server (the README tells how to do that by hand).
//
// Files beside those the back end knows: the server key "ssl_key.pem" in the
// certificate directory and the request's key "ssl_key.pem" in its "tmp".
// The keys are stored unencrypted, as the web server reads them unattended;
// the order's key password is not used.
#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "common/records/https_cert.h"
#include "common/records/net_access.h"
#include "common/web_utils.h"
#include "platform/device_path.h"
#include "sim.h"

namespace {

const char kServerKey[] = SSL_DIR "/ssl_key.pem";
const char kRequestKey[] = SSL_REQ_DIR "/ssl_key.pem";
enum { KEY_BITS = 2048, DEFAULT_DAYS = 365, STATUS_OK = 0, STATUS_FAILED = -1, INSTALLED = 1 };

std::mutex g_cert_mu; // one certificate job at a time

template <class T, void (*Free)(T *)> struct Freer {
    void operator()(T *p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Freer<X509, X509_free>>;
using ReqPtr = std::unique_ptr<X509_REQ, Freer<X509_REQ, X509_REQ_free>>;
using NamePtr = std::unique_ptr<X509_NAME, Freer<X509_NAME, X509_NAME_free>>;

std::string host(const char *device_path) { return nvr_path(device_path); }
bool exists(const char *device_path) { return access(host(device_path).c_str(), F_OK) == 0; }
void remove_file(const char *device_path) { unlink(host(device_path).c_str()); }

bool have_db() { return exists(QXDB_PATH); }

std::string field(const char *f, size_t size) { return std::string(f, strnlen(f, size)); }
#define FIELD_OF(rec, member) field((rec).member, sizeof (rec).member)

// ---- Files ---------------------------------------------------------------------------------

// Writes a PEM object through `write` to a file of the given mode, replacing it.
template <class W> bool write_pem(const char *device_path, mode_t mode, W write)
{
    const std::string path = host(device_path);
    const std::string part = path + ".part";
    FILE *f = fopen(part.c_str(), "w");
    if (!f) return false;
    fchmod(fileno(f), mode);
    bool ok = write(f);
    ok = fclose(f) == 0 && ok;
    if (ok && rename(part.c_str(), path.c_str()) == 0) return true;
    unlink(part.c_str());
    return false;
}

KeyPtr read_key(const char *device_path)
{
    FILE *f = fopen(host(device_path).c_str(), "r");
    if (!f) return KeyPtr();
    KeyPtr key(PEM_read_PrivateKey(f, nullptr, nullptr, nullptr));
    fclose(f);
    return key;
}

// A certificate in PEM or DER form.
CertPtr read_cert(const char *device_path)
{
    FILE *f = fopen(host(device_path).c_str(), "rb");
    if (!f) return CertPtr();
    CertPtr cert(PEM_read_X509(f, nullptr, nullptr, nullptr));
    if (!cert) {
        rewind(f);
        cert.reset(d2i_X509_fp(f, nullptr));
    }
    fclose(f);
    return cert;
}

bool copy_file(const char *from, const char *to)
{
    FILE *in = fopen(host(from).c_str(), "rb");
    if (!in) return false;
    FILE *out = fopen(host(to).c_str(), "wb");
    bool ok = out != nullptr;
    char buf[4096];
    size_t n;
    while (ok && (n = fread(buf, 1, sizeof buf, in)) > 0) ok = fwrite(buf, 1, n, out) == n;
    fclose(in);
    if (out) ok = fclose(out) == 0 && ok;
    return ok;
}

// The serial number of the signing working directory (hexadecimal, 1 when
// unreadable), moved on by one.
long take_serial()
{
    const std::string path = host(SSL_CA_DIR "/serial");
    long serial = 1;
    if (FILE *f = fopen(path.c_str(), "r")) {
        if (fscanf(f, "%lx", &serial) != 1 || serial <= 0) serial = 1;
        fclose(f);
    }
    if (FILE *f = fopen(path.c_str(), "w")) {
        fprintf(f, "%02lX\n", serial + 1);
        fclose(f);
    }
    return serial;
}

// ---- Names and times ---------------------------------------------------------------------------

// Adds one subject entry; empty values and values the entry cannot hold
// (a country that is not two letters) are left out.
void add_entry(X509_NAME *name, const char *key, const std::string &value)
{
    if (value.empty()) return;
    X509_NAME_add_entry_by_txt(name, key, MBSTRING_UTF8, reinterpret_cast<const unsigned char *>(value.c_str()),
                               static_cast<int>(value.size()), -1, 0);
}

NamePtr subject_of(const CertOrderRecord &order)
{
    NamePtr name(X509_NAME_new());
    std::string country = FIELD_OF(order, country);
    if (country.size() == 2 && isalpha(static_cast<unsigned char>(country[0])) &&
        isalpha(static_cast<unsigned char>(country[1])))
        add_entry(name.get(), "C", country);
    add_entry(name.get(), "ST", FIELD_OF(order, province));
    add_entry(name.get(), "L", FIELD_OF(order, region));
    add_entry(name.get(), "O", FIELD_OF(order, organization));
    add_entry(name.get(), "OU", FIELD_OF(order, company));
    std::string cn = FIELD_OF(order, common_name);
    add_entry(name.get(), "CN", cn.empty() ? "nvr" : cn);
    add_entry(name.get(), "emailAddress", FIELD_OF(order, email));
    return name;
}

std::string entry_of(X509_NAME *name, int nid)
{
    char buf[256] = {};
    if (X509_NAME_get_text_by_NID(name, nid, buf, sizeof buf) < 0) return "";
    return buf;
}

// A time of the page: "YYYY-MM-DD", optionally with " HH:MM:SS"; '/' also
// separates the date. Local time. -1 when it is none.
time_t page_time(const std::string &text)
{
    std::string t = text;
    for (char &c : t)
        if (c == '/') c = '-';
    for (const char *format : {"%Y-%m-%d %H:%M:%S", "%Y-%m-%d"}) {
        struct tm tm = {};
        const char *end = strptime(t.c_str(), format, &tm);
        if (end && *end == '\0') {
            tm.tm_isdst = -1;
            return mktime(&tm);
        }
    }
    return -1;
}

std::string time_text(const ASN1_TIME *t)
{
    struct tm tm = {};
    if (!t || ASN1_TIME_to_tm(t, &tm) != 1) return "";
    char buf[32];
    strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

// The stored parameters of a certificate: its subject and validity.
void store_cert_params(X509 *cert)
{
    if (!have_db()) return;
    CertOrderRecord params{};
    X509_NAME *name = X509_get_subject_name(cert);
    copy_text(params.country, sizeof params.country, entry_of(name, NID_countryName).c_str());
    copy_text(params.common_name, sizeof params.common_name, entry_of(name, NID_commonName).c_str());
    copy_text(params.email, sizeof params.email, entry_of(name, NID_pkcs9_emailAddress).c_str());
    const std::string dates = time_text(X509_get0_notBefore(cert)) + " - " + time_text(X509_get0_notAfter(cert));
    copy_text(params.dates, sizeof params.dates, dates.c_str());
    write_ssl_params(QXDB_PATH, &params, SSL_PARAMS_CERT);
}

void add_extension(X509 *cert, int nid, const std::string &value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    if (X509_EXTENSION *ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str())) {
        X509_add_ext(cert, ext, -1);
        X509_EXTENSION_free(ext);
    }
}

// The name the certificate answers to: the common name as an address or a
// host name (names with characters a host name cannot have are left out).
std::string alt_name(const std::string &cn)
{
    unsigned char addr[16];
    if (inet_pton(AF_INET, cn.c_str(), addr) == 1 || inet_pton(AF_INET6, cn.c_str(), addr) == 1) return "IP:" + cn;
    if (cn.empty() || cn.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-*") !=
                          std::string::npos)
        return "";
    return "DNS:" + cn;
}

// ---- Orders ------------------------------------------------------------------------------------

bool make_self_signed(const CertOrderRecord &order, EVP_PKEY *key)
{
    CertPtr cert(X509_new());
    NamePtr name = subject_of(order);
    time_t start = page_time(FIELD_OF(order, start_time));
    if (start < 0) start = time(nullptr);
    time_t end = page_time(FIELD_OF(order, end_time));
    if (end <= start) end = start + static_cast<time_t>(order.validity > 0 ? order.validity : DEFAULT_DAYS) * 86400;
    const long serial = take_serial();
    bool ok = X509_set_version(cert.get(), 2) && ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial) &&
              X509_set_subject_name(cert.get(), name.get()) && X509_set_issuer_name(cert.get(), name.get()) &&
              ASN1_TIME_set(X509_getm_notBefore(cert.get()), start) && ASN1_TIME_set(X509_getm_notAfter(cert.get()), end) &&
              X509_set_pubkey(cert.get(), key);
    if (!ok) return false;
    add_extension(cert.get(), NID_basic_constraints, "critical,CA:TRUE");
    add_extension(cert.get(), NID_subject_key_identifier, "hash");
    add_extension(cert.get(), NID_key_usage, "critical,digitalSignature,keyEncipherment,keyCertSign");
    add_extension(cert.get(), NID_ext_key_usage, "serverAuth");
    const std::string alt = alt_name(entry_of(name.get(), NID_commonName));
    if (!alt.empty()) add_extension(cert.get(), NID_subject_alt_name, alt);
    if (!X509_sign(cert.get(), key, EVP_sha256())) return false;

    auto put_key = [&](FILE *f) { return PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1; };
    auto put_cert = [&](FILE *f) { return PEM_write_X509(f, cert.get()) == 1; };
    char issued[64];
    snprintf(issued, sizeof issued, SSL_CA_DIR "/newcerts/%02lX.pem", serial);
    if (!write_pem(kServerKey, 0600, put_key) || !write_pem(SSL_CERT_FILE, 0644, put_cert)) return false;
    write_pem(issued, 0644, put_cert); // the working directory's record; missing when it is
    store_cert_params(cert.get());
    return true;
}

bool make_request(const CertOrderRecord &order, EVP_PKEY *key)
{
    ReqPtr req(X509_REQ_new());
    NamePtr name = subject_of(order);
    if (!X509_REQ_set_version(req.get(), 0) || !X509_REQ_set_subject_name(req.get(), name.get()) ||
        !X509_REQ_set_pubkey(req.get(), key))
        return false;
    // The name the device answers to, for the authority to copy.
    const std::string alt = alt_name(entry_of(name.get(), NID_commonName));
    if (!alt.empty()) {
        STACK_OF(X509_EXTENSION) *exts = sk_X509_EXTENSION_new_null();
        if (X509_EXTENSION *ext = X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, alt.c_str()))
            sk_X509_EXTENSION_push(exts, ext);
        X509_REQ_add_extensions(req.get(), exts);
        sk_X509_EXTENSION_pop_free(exts, X509_EXTENSION_free);
    }
    if (!X509_REQ_sign(req.get(), key, EVP_sha256())) return false;
    mkdir(host(SSL_REQ_DIR).c_str(), 0755);
    auto put_key = [&](FILE *f) { return PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1; };
    auto put_req = [&](FILE *f) { return PEM_write_X509_REQ(f, req.get()) == 1; };
    if (!write_pem(kRequestKey, 0600, put_key) || !write_pem(SSL_REQ_FILE, 0644, put_req)) return false;
    if (have_db()) {
        CertOrderRecord params{};
        copy_text(params.country, sizeof params.country, entry_of(name.get(), NID_countryName).c_str());
        copy_text(params.common_name, sizeof params.common_name, entry_of(name.get(), NID_commonName).c_str());
        copy_text(params.email, sizeof params.email, entry_of(name.get(), NID_pkcs9_emailAddress).c_str());
        write_ssl_params(QXDB_PATH, &params, SSL_PARAMS_REQUEST);
    }
    return true;
}

// 3316: the order; reply 8316 with status 0, or -1 when nothing was made.
std::string create_cert(const SimRequest &req)
{
    CertOrderRecord order{};
    memcpy(&order, req.payload.data(), req.payload.size() < sizeof order ? req.payload.size() : sizeof order);
    std::lock_guard<std::mutex> lock(g_cert_mu);
    KeyPtr key(EVP_RSA_gen(KEY_BITS));
    bool ok = key && (order.install_type == CERT_SELF_SIGNED ? make_self_signed(order, key.get())
                                                              : make_request(order, key.get()));
    if (!ok) fprintf(stderr, "nvrweb-sim: certificate order %d failed\n", order.install_type);
    return qx_le32_bytes(ok ? STATUS_OK : STATUS_FAILED);
}

// 3317: the pending request and its key go.
std::string delete_request(const SimRequest &)
{
    std::lock_guard<std::mutex> lock(g_cert_mu);
    remove_file(SSL_REQ_FILE);
    remove_file(kRequestKey);
    if (have_db()) {
        CertOrderRecord none{};
        write_ssl_params(QXDB_PATH, &none, SSL_PARAMS_REQUEST);
    }
    return qx_le32_bytes(STATUS_OK);
}

// 3318: the certificate now in place must belong to the pending request's
// key (it then becomes the server key and the request is done) or to the
// server key. Otherwise the previous certificate comes back, or none. Reply 1 when
// installed, 0 when not.
std::string install_cert(const SimRequest &)
{
    std::lock_guard<std::mutex> lock(g_cert_mu);
    CertPtr cert = read_cert(SSL_CERT_FILE);
    KeyPtr req_key = read_key(kRequestKey);
    KeyPtr server_key = read_key(kServerKey);
    bool by_request = cert && req_key && X509_check_private_key(cert.get(), req_key.get()) == 1;
    bool by_server = cert && !by_request && server_key && X509_check_private_key(cert.get(), server_key.get()) == 1;
    auto put_cert = [&](FILE *f) { return PEM_write_X509(f, cert.get()) == 1; };
    if ((by_request || by_server) && write_pem(SSL_CERT_FILE, 0644, put_cert)) {
        if (by_request) {
            rename(host(kRequestKey).c_str(), host(kServerKey).c_str());
            remove_file(SSL_REQ_FILE);
            if (have_db()) {
                CertOrderRecord none{};
                write_ssl_params(QXDB_PATH, &none, SSL_PARAMS_REQUEST);
            }
        }
        store_cert_params(cert.get());
        return qx_le32_bytes(INSTALLED);
    }
    // The saved copy only when it is the server key's (it may be left from
    // a certificate removed since).
    CertPtr saved = read_cert(SSL_CERT_SAVE_FILE);
    bool restore = saved && server_key && X509_check_private_key(saved.get(), server_key.get()) == 1;
    if (!restore || !copy_file(SSL_CERT_SAVE_FILE, SSL_CERT_FILE)) remove_file(SSL_CERT_FILE);
    return qx_le32_bytes(0);
}

// 3320: the certificate was removed; its key goes too.
std::string delete_cert(const SimRequest &)
{
    std::lock_guard<std::mutex> lock(g_cert_mu);
    remove_file(kServerKey);
    return qx_le32_bytes(STATUS_OK);
}

// 1729: result 0 when multicast is off or the address is an IPv4 multicast
// address (224.0.0.0 to 239.255.255.255), else -1.
std::string set_multicast(const SimRequest &req)
{
    MulticastRecord rec{};
    memcpy(&rec, req.payload.data(), req.payload.size() < sizeof rec ? req.payload.size() : sizeof rec);
    unsigned a, b, c, d;
    char extra;
    const std::string ip = FIELD_OF(rec, ip);
    bool multicast = sscanf(ip.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &extra) == 4 && a >= 224 && a <= 239 &&
                     b <= 255 && c <= 255 && d <= 255;
    return qx_le32_bytes(rec.enable == 0 || multicast ? 0 : -1);
}

} // namespace

SIM_REPLY(IPC_CERT_CREATE, create_cert);
SIM_REPLY(IPC_CERT_REQ_DELETE, delete_request);
SIM_REPLY(IPC_CERT_INSTALL, install_cert);
SIM_REPLY(IPC_CERT_DELETE, delete_cert);
SIM_REPLY(IPC_MULTICAST_SET, set_multicast);
