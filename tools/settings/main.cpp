// nvrweb-settings [--db FILE] COMMAND ...
//
//   init                         create the database and the plate-list database
//                                beside it with the factory defaults (an existing
//                                one is kept; missing factory parameters are added)
//   param get KEY                print the value; exit 1 when the key is missing
//   param set KEY VALUE          store the value
//   user add NAME PASSWORD LEVEL add an account (digest = hex MD5 of PASSWORD); print its id
//   user list                    JSON array of {"id", "name", "level"}
//   dump                         JSON object of the parameters and the record counts
//   check                        integrity check; exit 1 when it fails
//
// FILE is a path of this machine; without --db the database is the device
// path under NVRWEB_ROOT.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <json-c/json.h>
#include <openssl/evp.h>

#include "common/records/user.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "tools/settings/factory_defaults.h"

namespace {

const char kProg[] = "nvrweb-settings";

int fail(int status, const std::string &message)
{
    fprintf(stderr, "%s: %s\n", kProg, message.c_str());
    return status;
}

int usage()
{
    return fail(2, "usage: nvrweb-settings [--db FILE] init | param get KEY | param set KEY VALUE | "
                   "user add NAME PASSWORD LEVEL | user list | dump | check");
}

bool file_exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

std::string dir_of(const std::string &path)
{
    size_t p = path.rfind('/');
    if (p == std::string::npos) return ".";
    return p == 0 ? "/" : path.substr(0, p);
}

int make_dirs(const std::string &dir)
{
    std::string cur;
    size_t pos = 0;
    while (pos != std::string::npos) {
        size_t next = dir.find('/', pos + 1);
        cur = dir.substr(0, next);
        if (!cur.empty() && mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST) return -1;
        pos = next;
    }
    return 0;
}

bool parse_level(const char *text, int *level)
{
    char *end = nullptr;
    long v = strtol(text, &end, 10);
    if (end == text || *end || v < 0 || v > USER_LEVEL_MAX) return false;
    *level = static_cast<int>(v);
    return true;
}

std::string md5_hex(const char *text)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (!EVP_Digest(text, strlen(text), md, &len, EVP_md5(), nullptr)) return std::string();
    std::string out;
    char hex[3];
    for (unsigned int i = 0; i < len; i++) {
        snprintf(hex, sizeof hex, "%02x", md[i]);
        out += hex;
    }
    return out;
}

void print_json(json_object *obj)
{
    printf("%s\n", json_object_to_json_string_ext(obj, JSON_C_TO_STRING_PLAIN));
    json_object_put(obj);
}

int cmd_init()
{
    std::string host = qxdb_host_path(QXDB_PATH);
    if (make_dirs(dir_of(host)) < 0) return fail(1, "cannot create the directory of " + host);
    int rc = qxdb_transact(QXDB_PATH, QXDB_WRITE, [](QxDbTxn &txn) {
        if (txn.create_table("params") < 0) return -1;
        for (size_t i = 0; i < kFactoryParamCount; i++) {
            if (txn.param_add_missing(kFactoryParams[i].key, kFactoryParams[i].value) < 0) return -1;
        }
        return 0;
    });
    if (rc < 0) return fail(1, "cannot initialise " + host + ": " + qxdb_last_error());
    rc = qxdb_transact(QXDB_ANPR_PATH, QXDB_WRITE, [](QxDbTxn &txn) { return txn.create_table("params"); });
    if (rc < 0) return fail(1, "cannot initialise " + qxdb_host_path(QXDB_ANPR_PATH) + ": " + qxdb_last_error());
    return 0;
}

int cmd_param(const std::vector<std::string> &args)
{
    if (args.size() == 2 && args[0] == "get") {
        std::string value;
        int rc = qxdb_transact(QXDB_PATH, QXDB_READ,
                               [&](QxDbTxn &txn) { return txn.param_get(args[1].c_str(), &value); });
        if (rc < 0) return fail(1, std::string("cannot read the database: ") + qxdb_last_error());
        if (rc == 0) return fail(1, "no parameter " + args[1]);
        printf("%s\n", value.c_str());
        return 0;
    }
    if (args.size() == 3 && args[0] == "set") {
        if (args[1].empty()) return fail(2, "empty parameter name");
        if (set_param_value(QXDB_PATH, args[1].c_str(), args[2].c_str()) < 0)
            return fail(1, std::string("cannot store ") + args[1] + ": " + qxdb_last_error());
        return 0;
    }
    return usage();
}

int cmd_user_add(const std::string &name, const std::string &password, const std::string &level_text)
{
    int level = 0;
    if (!parse_level(level_text.c_str(), &level)) return fail(2, "level must be 0 to 3");
    if (name.empty() || name.size() >= sizeof(UserRecord::name)) return fail(2, "name must have 1 to 63 characters");
    std::string digest = md5_hex(password.c_str());
    if (digest.size() != 32) return fail(1, "cannot compute the MD5 digest");

    UserRecord rec;
    memset(&rec, 0, sizeof rec);
    COPY_TEXT(rec.name, name.c_str());
    COPY_TEXT(rec.password, digest.c_str());
    rec.type = level;
    COPY_TEXT(rec.init_text, "0");
    // A tool-made account sees every channel and holds every right; the
    // web page's account editor narrows it.
    std::string all(64, '1');
    for (char *s : {rec.localliveview, rec.localplayback, rec.remoteliveview, rec.remoteplayback})
        copy_text(s, 65, all.c_str());
    for (uint32_t &m : rec.chn_mask) m = 0xffffffffu;
    for (const UserFlagField &f : kUserFlags) rec.*f.field = 1;

    if (add_user(QXDB_PATH, &rec) < 0) {
        UserRecord other;
        other.id = -1;
        if (read_user_by_name(QXDB_PATH, &other, name.c_str()) == 0) return fail(1, "user " + name + " exists");
        int count = read_user_count(QXDB_PATH);
        if (count >= USER_SLOTS) return fail(1, "no free user slot");
        return fail(1, std::string("cannot add the user: ") + qxdb_last_error());
    }
    printf("%d\n", rec.id);
    return 0;
}

int cmd_user_list()
{
    static UserRecord recs[USER_SLOTS];
    int count = 0;
    if (read_users(QXDB_PATH, recs, &count) < 0)
        return fail(1, std::string("cannot read the users: ") + qxdb_last_error());
    json_object *arr = json_object_new_array();
    for (int i = 0; i < count; i++) {
        if (!recs[i].enable) continue;
        char name[sizeof recs[i].name + 1];
        copy_field(name, sizeof name, recs[i].name, sizeof recs[i].name);
        json_object *o = json_object_new_object();
        json_object_object_add(o, "id", json_object_new_int(recs[i].id));
        json_object_object_add(o, "name", json_object_new_string(name));
        json_object_object_add(o, "level", json_object_new_int(recs[i].type));
        json_object_array_add(arr, o);
    }
    print_json(arr);
    return 0;
}

int cmd_dump()
{
    json_object *params = json_object_new_object();
    json_object *tables = json_object_new_object();
    int rc = qxdb_transact(QXDB_PATH, QXDB_READ, [&](QxDbTxn &txn) {
        if (txn.param_scan([&](const char *k, const char *v) {
                json_object_object_add(params, k, json_object_new_string(v));
            }) < 0)
            return -1;
        std::vector<std::string> names;
        if (txn.tables(&names) < 0) return -1;
        for (const std::string &n : names) {
            int64_t c = txn.count(n.c_str());
            if (c < 0) return -1;
            json_object_object_add(tables, n.c_str(), json_object_new_int64(c));
        }
        return 0;
    });
    if (rc < 0) {
        json_object_put(params);
        json_object_put(tables);
        return fail(1, std::string("cannot read the database: ") + qxdb_last_error());
    }
    json_object *out = json_object_new_object();
    json_object_object_add(out, "params", params);
    json_object_object_add(out, "tables", tables);
    print_json(out);
    return 0;
}

int cmd_check()
{
    std::string report;
    if (qxdb_integrity_check(QXDB_PATH, &report) < 0) return fail(1, "integrity check failed: " + report);
    if (file_exists(qxdb_host_path(QXDB_ANPR_PATH)) && qxdb_integrity_check(QXDB_ANPR_PATH, &report) < 0)
        return fail(1, "integrity check of the plate-list database failed: " + report);
    printf("ok\n");
    return 0;
}

int run(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--db") {
        if (args[1].empty()) return usage();
        std::string db = args[1];
        qxdb_redirect(QXDB_PATH, db.c_str());
        qxdb_redirect(QXDB_ANPR_PATH, (dir_of(db) + "/anpr.db").c_str());
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) return usage();
    const std::string cmd = args[0];
    args.erase(args.begin());
    if (cmd == "init" && args.empty()) return cmd_init();
    if (cmd == "param" && !args.empty() && args[0] == "set") return cmd_param(args);

    std::string host = qxdb_host_path(QXDB_PATH);
    if (cmd == "user" && args.size() == 4 && args[0] == "add") return cmd_user_add(args[1], args[2], args[3]);
    // The remaining commands only read: they never create a database.
    bool reader = (cmd == "param" || cmd == "dump" || cmd == "check" || cmd == "user");
    if (!reader) return usage();
    if (!file_exists(host)) return fail(1, "no database at " + host);
    if (cmd == "param") return cmd_param(args);
    if (cmd == "user" && args.size() == 1 && args[0] == "list") return cmd_user_list();
    if (cmd == "dump" && args.empty()) return cmd_dump();
    if (cmd == "check" && args.empty()) return cmd_check();
    return usage();
}

} // namespace

int main(int argc, char **argv)
{
    int status = run(argc, argv);
    fflush(stdout);
    qxdb_close_all();
    return status;
}
