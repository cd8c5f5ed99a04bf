#include "common/sessions.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <json-c/json.h>

#include "common/records/user.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "platform/device_path.h"

namespace {

bool random_bytes(unsigned char *buf, size_t len)
{
    size_t got = 0;
    while (got < len) {
        ssize_t n = getrandom(buf + got, len - got, 0);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break; // no getrandom() on this kernel: fall back to the device
        }
    }
    if (got == len) return true;
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    while (got < len) {
        ssize_t n = read(fd, buf + got, len - got);
        if (n > 0) got += static_cast<size_t>(n);
        else if (!(n < 0 && errno == EINTR)) break;
    }
    close(fd);
    return got == len;
}

int64_t selector_of(const char *id)
{
    int64_t sel = 0;
    for (int i = 0; i < SESSION_SELECTOR_DIGITS; i++) sel = sel * 10 + (id[i] - '0');
    return sel;
}

// Compares two ids of SESSION_ID_DIGITS characters without an early exit.
bool same_id(const char *a, const char *b)
{
    volatile unsigned char diff = 0;
    for (int i = 0; i < SESSION_ID_DIGITS; i++)
        diff = static_cast<unsigned char>(diff | (static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i])));
    return diff == 0;
}

// A stored record is used only with a well-formed id, and its texts end
// within their fields (the file is read like any input); false for a slot
// that holds no session.
bool checked_record(SessionRecord &r)
{
    r.id[SESSION_ID_DIGITS] = '\0';
    r.user[sizeof r.user - 1] = '\0';
    return session_id_valid(r.id);
}

// The sessions are a file of SESSION_MAX records in RAM (SESSION_FILE_PATH),
// read whole and written back under an flock(2) lock: a log-in or a
// session's "last used" neither wears the flash nor makes the settings'
// read cache start afresh, and a request reads them with one read.
class SessionFile {
public:
    // Opens and locks the file (shared for reading, exclusive for changes) and
    // reads its records; a missing file has none.
    bool open(bool write)
    {
        char path[4096];
        if (!nvr_path(SESSION_FILE_PATH, path, sizeof path)) return false;
        fd_ = ::open(path, (write ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            if (write || errno != ENOENT) return false;
            memset(recs_, 0, sizeof recs_); // no file yet: no sessions
            return true;
        }
        if (flock(fd_, write ? LOCK_EX : LOCK_SH) != 0) return false;
        ssize_t n = pread(fd_, recs_, sizeof recs_, 0);
        if (n < 0) return false;
        memset(reinterpret_cast<char *>(recs_) + n, 0, sizeof recs_ - static_cast<size_t>(n));
        for (SessionRecord &r : recs_)
            if (!checked_record(r)) memset(&r, 0, sizeof r);
        return true;
    }
    ~SessionFile()
    {
        if (fd_ >= 0) close(fd_); // also drops the lock
    }
    SessionRecord *find(const char *id)
    {
        for (SessionRecord &r : recs_)
            if (r.id[0] && selector_of(r.id) == selector_of(id) && same_id(r.id, id)) return &r;
        return nullptr;
    }
    SessionRecord *begin() { return recs_; }
    SessionRecord *end() { return recs_ + SESSION_MAX; }
    bool save() { return fd_ >= 0 && pwrite(fd_, recs_, sizeof recs_, 0) == static_cast<ssize_t>(sizeof recs_); }

private:
    int fd_ = -1;
    SessionRecord recs_[SESSION_MAX];
};

// The stored sessions that `ids` name (at most `max`), for a request that
// only checks its session: the file is mapped read-only under a shared lock
// and only the matching records are copied and checked, like SessionFile's
// (no 16 KB copy for every request). false when the file is unreadable; a
// missing file has no sessions.
bool find_sessions(const char *const *ids, int count, SessionRecord *out, int max, int *found)
{
    *found = 0;
    char path[4096];
    if (!nvr_path(SESSION_FILE_PATH, path, sizeof path)) return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    struct stat st;
    bool ok = flock(fd, LOCK_SH) == 0 && fstat(fd, &st) == 0;
    const size_t size = ok ? std::min(static_cast<size_t>(st.st_size), SESSION_MAX * sizeof(SessionRecord)) : 0;
    void *map = size ? mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0) : nullptr;
    if (map == MAP_FAILED) ok = false;
    const size_t stored = map && map != MAP_FAILED ? size / sizeof(SessionRecord) : 0;
    const SessionRecord *recs = static_cast<const SessionRecord *>(map);
    for (int i = 0; i < count && *found < max; i++) {
        if (!session_id_valid(ids[i])) continue;
        const int64_t sel = selector_of(ids[i]);
        for (size_t k = 0; k < stored; k++) {
            const SessionRecord &r = recs[k];
            // An id is taken only when its 32 digits are well formed; they are
            // checked on the copy (the file may change under a writer's lock
            // only, which ours excludes).
            if (!r.id[0] || selector_of(r.id) != sel || !same_id(r.id, ids[i])) continue;
            SessionRecord copy = r;
            if (checked_record(copy)) out[(*found)++] = copy;
            break;
        }
    }
    if (map && map != MAP_FAILED) munmap(map, size);
    close(fd); // also drops the lock
    return ok;
}

// A parameter as an int, `dflt` when missing or not a decimal integer.
int param_int(QxDbTxn &txn, const char *key, int dflt, bool *failed)
{
    std::string text;
    int rc = txn.param_get(key, &text);
    if (rc < 0) *failed = true;
    int v = dflt;
    if (rc == 1 && parse_decimal(text.c_str(), &v)) return v;
    return dflt;
}

int mode_of(int value)
{
    return value <= 0 ? SESSION_CHECK_OFF : value == 1 ? SESSION_CHECK_LOG : SESSION_CHECK_ENFORCE;
}

int64_t idle_seconds(QxDbTxn &txn, bool *failed)
{
    int minutes = param_int(txn, SESSION_IDLE_KEY, SESSION_IDLE_MINUTES_DEFAULT, failed);
    if (minutes <= 0) minutes = SESSION_IDLE_MINUTES_DEFAULT;
    return static_cast<int64_t>(minutes) * 60;
}

// A session idle for longer than the idle time has ended; so has one used
// "in the future" by as much (the clock was set back).
bool expired(const SessionRecord &s, int64_t now, int64_t idle)
{
    int64_t since = now - s.last_used;
    return since > idle || since < -idle;
}

// The level a session acts with: its account's current level. -1 when the
// account is gone, renamed, or may no longer log in through the web.
int current_level(QxDbTxn &txn, const SessionRecord &s, bool *failed)
{
    if (s.slot == SESSION_NO_ACCOUNT) return s.level;
    if (s.slot < 0 || s.slot >= USER_SLOTS) return -1;
    UserRecord user;
    int rc = txn.get(nvr_db_user::desc.name, s.slot, &user, sizeof user);
    if (rc < 0) *failed = true;
    if (rc != 1 || !user.enable || user.type < 0 || user.type >= USER_LEVEL_MAX) return -1;
    char name[sizeof user.name + 1];
    copy_field(name, sizeof name, user.name, sizeof user.name);
    if (strcmp(name, s.user) != 0) return -1;
    return user.type;
}

// A device without a settings database file keeps no sessions.
bool db_file_present(const char *db)
{
    struct stat st;
    std::string host = qxdb_host_path(db);
    return !host.empty() && stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Copies a candidate id into slot n of ids when it is well formed.
int take_id(const char *text, size_t len, char ids[2][SESSION_ID_DIGITS + 1], int n)
{
    if (n >= 2 || len != SESSION_ID_DIGITS) return n;
    char id[SESSION_ID_DIGITS + 1];
    memcpy(id, text, len);
    id[len] = '\0';
    if (!session_id_valid(id)) return n;
    memcpy(ids[n], id, sizeof id);
    return n + 1;
}

// The "sessionId" key of a request text: a JSON object's text value, or a
// "sessionId=" parameter up to the next '&'.
int request_key_id(const char *request, char ids[2][SESSION_ID_DIGITS + 1], int n)
{
    static const char kKey[] = "sessionId";
    const char *at = strstr(request, kKey);
    if (!at) return n;
    json_object *doc = json_tokener_parse(request);
    json_object *v = nullptr;
    if (doc && json_object_is_type(doc, json_type_object) && json_object_object_get_ex(doc, kKey, &v) &&
        json_object_is_type(v, json_type_string))
        n = take_id(json_object_get_string(v), static_cast<size_t>(json_object_get_string_len(v)), ids, n);
    if (doc) {
        json_object_put(doc);
        return n;
    }
    for (; at; at = strstr(at + 1, kKey)) {
        bool starts = at == request || at[-1] == '&' || at[-1] == '?';
        if (!starts || at[sizeof kKey - 1] != '=') continue;
        const char *value = at + sizeof kKey;
        return take_id(value, strcspn(value, "&"), ids, n);
    }
    return n;
}

} // namespace

int get_session_id(char *out, size_t size)
{
    if (!out || size < SESSION_ID_DIGITS + 1) return -1;
    size_t n = 0;
    unsigned char buf[64];
    while (n < SESSION_ID_DIGITS) {
        if (!random_bytes(buf, sizeof buf)) return -1;
        // Bytes of 250 and more are dropped so that every digit is as likely.
        for (size_t i = 0; i < sizeof buf && n < SESSION_ID_DIGITS; i++)
            if (buf[i] < 250) out[n++] = static_cast<char>('0' + buf[i] % 10);
    }
    out[n] = '\0';
    return 0;
}

bool session_id_valid(const char *id)
{
    if (!id) return false;
    for (int i = 0; i < SESSION_ID_DIGITS; i++)
        if (id[i] < '0' || id[i] > '9') return false;
    return id[SESSION_ID_DIGITS] == '\0';
}

int session_check_mode(const char *db)
{
    if (!db_file_present(db)) return SESSION_CHECK_OFF;
    return mode_of(get_param_int(db, SESSION_CHECK_KEY, SESSION_CHECK_OFF));
}

int session_start(const char *db, int slot, const char *user, int level, int64_t now, char *id_out)
{
    if (!id_out) return -1;
    int64_t idle = 0;
    if (qxdb_transact(db, QXDB_READ, [&](QxDbTxn &txn) -> int {
            bool failed = false;
            idle = idle_seconds(txn, &failed);
            return failed ? -1 : 0;
        }) < 0) {
        cgi_log("OnSystem", __LINE__, __func__, "cannot read the session settings: %s", qxdb_last_error());
        return -1;
    }
    SessionFile f;
    if (!f.open(true)) {
        cgi_log("OnSystem", __LINE__, __func__, "cannot open the sessions: %s", strerror(errno));
        return -1;
    }
    // Expired sessions go; of the rest the most recently used stay.
    SessionRecord *free_slot = nullptr, *oldest = nullptr;
    for (SessionRecord &r : f) {
        if (r.id[0] && expired(r, now, idle)) memset(&r, 0, sizeof r);
        if (!r.id[0]) {
            if (!free_slot) free_slot = &r;
        } else if (!oldest || r.last_used < oldest->last_used) {
            oldest = &r;
        }
    }
    if (!free_slot) {
        free_slot = oldest;
        memset(free_slot, 0, sizeof *free_slot);
    }
    SessionRecord rec{};
    for (int attempt = 0;; attempt++) {
        if (attempt == 8 || get_session_id(rec.id, sizeof rec.id) != 0) return -1;
        bool taken = false; // selectors stay unique
        for (const SessionRecord &r : f) taken = taken || (r.id[0] && selector_of(r.id) == selector_of(rec.id));
        if (!taken) break;
    }
    COPY_TEXT(rec.user, user);
    rec.slot = slot;
    rec.level = level;
    rec.created = now;
    rec.last_used = now;
    *free_slot = rec;
    if (!f.save()) {
        cgi_log("OnSystem", __LINE__, __func__, "cannot store a session: %s", strerror(errno));
        return -1;
    }
    memcpy(id_out, rec.id, sizeof rec.id);
    return 0;
}

int session_end(const char *db, const char *id)
{
    if (!session_id_valid(id) || !db_file_present(db)) return -1;
    SessionFile f;
    if (!f.open(true)) return -1;
    SessionRecord *r = f.find(id);
    if (!r) return 0;
    memset(r, 0, sizeof *r);
    return f.save() ? 0 : -1;
}

int session_request_ids(const char *request, char ids[2][SESSION_ID_DIGITS + 1])
{
    int n = 0;
    char value[SESSION_ID_DIGITS + 2];
    if (cookie_value("sessionId", value, sizeof value) == 0) n = take_id(value, strlen(value), ids, n);
    if (request) n = request_key_id(request, ids, n);
    return n;
}

int session_lookup(const char *db, const char *const *ids, int count, int64_t now, SessionLookup *out)
{
    *out = SessionLookup();
    if (!db_file_present(db)) return 0;
    // The sessions the ids name (at most two), then in one read of the
    // settings the mode, the idle time and the accounts of those sessions.
    // An unreadable session file matters only where sessions are checked.
    SessionRecord candidates[2];
    int n = 0;
    const bool file_failed = count > 0 && !find_sessions(ids, count, candidates, 2, &n);
    SessionLookup found;
    int rc = qxdb_transact(db, QXDB_READ, [&](QxDbTxn &txn) -> int {
        found = SessionLookup();
        bool failed = false;
        found.mode = mode_of(param_int(txn, SESSION_CHECK_KEY, SESSION_CHECK_OFF, &failed));
        if (failed) return -1;
        if (found.mode == SESSION_CHECK_OFF) return 0;
        if (file_failed) return -1;
        const int64_t idle = idle_seconds(txn, &failed);
        for (int i = 0; i < n && !found.found && !failed; i++) {
            const SessionRecord &s = candidates[i];
            if (expired(s, now, idle)) continue;
            int level = current_level(txn, s, &failed);
            if (level < 0) continue;
            found.found = true;
            found.level = level;
            found.session = s;
            found.stale = now - s.last_used >= SESSION_TOUCH_SECONDS;
        }
        return failed ? -1 : 0;
    });
    if (rc < 0) {
        cgi_log("dispatchreq", __LINE__, __func__, "cannot read the sessions: %s",
                file_failed ? strerror(errno) : qxdb_last_error());
        out->mode = SESSION_CHECK_ENFORCE; // nothing known: no session
        return -1;
    }
    *out = found;
    return 0;
}

int session_touch(const char *, const char *id, int64_t now)
{
    if (!session_id_valid(id)) return -1;
    SessionFile f;
    if (!f.open(true)) return -1;
    SessionRecord *r = f.find(id);
    if (!r) return 0;
    r->last_used = now;
    return f.save() ? 0 : -1;
}

int session_stored_count()
{
    SessionFile f;
    if (!f.open(false)) return -1;
    int n = 0;
    for (const SessionRecord &r : f) n += r.id[0] != 0;
    return n;
}
