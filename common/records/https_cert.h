// HTTPS certificates: the certificate order sent to the daemon, the stored
// certificate parameters (the same layout), the requests around them and the
// files of the certificate directory.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

// Request codes (the daemon answers with code + 5000).
enum {
    IPC_CERT_CREATE = 3316,     // CertOrderRecord; reply 8316 (any payload)
    IPC_CERT_REQ_DELETE = 3317, // no payload: discard the pending request
    IPC_CERT_INSTALL = 3318,    // no payload; reply 8318: int32, 1 = installed
    IPC_CERT_DELETE = 3320,     // no payload: the certificate was removed
    IPC_HTTPS_ENABLE = 3322,    // int32 switch 0/1
};

// Install types of an order.
enum { CERT_SELF_SIGNED = 0 };

// Certificate order (request 3316) and, in the same layout, the stored
// parameters of the installed certificate and of the pending request
// (country, common name, e-mail and the validity text "dates").
struct CertOrderRecord {
    int32_t install_type;    // "InstallType": CERT_SELF_SIGNED, other values: a request
    char country[3];         // "Country": two letters
    char common_name[64];    // "CommonName"
    uint8_t pad0[1];
    int32_t validity;        // "Validity": days, self-signed only
    char password[16];       // "Password": of the key
    char province[64];       // "Province"
    char region[64];         // "Region"
    char organization[64];   // "Organization"
    char company[64];        // "Company"
    char email[64];          // "Email"
    uint8_t reserved[256];
    char dates[192];         // stored parameters: the validity as text
    char start_time[16];     // "startTime", self-signed only
    char end_time[16];       // "endTime", self-signed only
};
static_assert(sizeof(CertOrderRecord) == 892, "certificate order is 892 bytes");
static_assert(offsetof(CertOrderRecord, country) == 4, "");
static_assert(offsetof(CertOrderRecord, common_name) == 7, "");
static_assert(offsetof(CertOrderRecord, validity) == 72, "");
static_assert(offsetof(CertOrderRecord, password) == 76, "");
static_assert(offsetof(CertOrderRecord, province) == 92, "");
static_assert(offsetof(CertOrderRecord, region) == 156, "");
static_assert(offsetof(CertOrderRecord, organization) == 220, "");
static_assert(offsetof(CertOrderRecord, company) == 284, "");
static_assert(offsetof(CertOrderRecord, email) == 348, "");
static_assert(offsetof(CertOrderRecord, dates) == 668, "");
static_assert(offsetof(CertOrderRecord, start_time) == 860, "");
static_assert(offsetof(CertOrderRecord, end_time) == 876, "");

// Stored parameters by kind: read_ssl_params(path, rec, kind),
// write_ssl_params(path, rec, kind).
enum { SSL_PARAMS_CERT = 0, SSL_PARAMS_REQUEST = 2, SSL_PARAMS_KINDS = 3 };
NVR_DB_INDEXED(ssl_params, CertOrderRecord, "ssl_params", SSL_PARAMS_KINDS)

// Settings parameter of the HTTPS switch (integer, default 0).
#define HTTPS_ENABLE_PARAM "httpsenable"

// The certificate directory (created at log-in) and its files (device paths).
#define SSL_DIR "/mnt/nand/ssl"
#define SSL_CERT_FILE SSL_DIR "/ssl_cert.pem"       // the installed certificate
#define SSL_CERT_SAVE_FILE SSL_DIR "/ssl_cert_save.pem" // its copy before an install
#define SSL_REQ_DIR SSL_DIR "/tmp"
#define SSL_REQ_NAME "ssl_cert.csr"
#define SSL_REQ_FILE SSL_REQ_DIR "/" SSL_REQ_NAME     // the pending request
#define SSL_CA_DIR SSL_DIR "/demoCA"                  // the signing working directory
