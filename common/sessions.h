// Log-in sessions: started by the log-ins,
// ended by the log-out or after an idle time, and looked up by the front
// end's session check before a request is dispatched.
//
// Parameters (settings database):
//   "session_check"         0 = off: no sessions are kept or checked (also
//                           when the key or the database is missing);
//                           1 = log only: requests without a valid session
//                           get a debug line; 2 = enforce: they are refused.
//   "session_idle_minutes"  idle time after which a session ends (default 30).
//
// A session id is 32 decimal digits from the system's random source. The
// first SESSION_SELECTOR_DIGITS of them find the stored session; the whole id
// is then compared in constant time, so the lookup's timing tells nothing
// about the rest of it.
#pragma once
#include <cstddef>
#include <cstdint>

enum SessionCheck { SESSION_CHECK_OFF = 0, SESSION_CHECK_LOG = 1, SESSION_CHECK_ENFORCE = 2 };

enum {
    SESSION_ID_DIGITS = 32,
    SESSION_SELECTOR_DIGITS = 9,
    SESSION_IDLE_MINUTES_DEFAULT = 30,
    SESSION_MAX = 128,          // stored sessions; the least recently used goes first
    SESSION_TOUCH_SECONDS = 60, // "last used" is stored at most this often
    SESSION_NO_ACCOUNT = -1,    // slot of a session without an account (mailed link)
};

// The sessions live in a file of their own in RAM: they end with a restart of
// the device, and keeping them writes nothing to the flash.
#define SESSION_FILE_PATH "/var/run/sessions"

#define SESSION_CHECK_KEY "session_check"
#define SESSION_IDLE_KEY "session_idle_minutes"

// A stored session (a record of the session file; an unused one is zeros).
struct SessionRecord {
    char id[SESSION_ID_DIGITS + 1];
    char user[64];     // the account's name, "temp" for a mailed link
    int32_t slot;      // account slot 0..99, SESSION_NO_ACCOUNT for none
    int32_t level;     // user level at log-in
    int64_t created;   // seconds since the epoch
    int64_t last_used; // seconds since the epoch
};
static_assert(sizeof(SessionRecord) == 128, "session record is 128 bytes");
static_assert(offsetof(SessionRecord, slot) == 100 && offsetof(SessionRecord, last_used) == 120,
              "session record layout");

// Writes a session id of 32 decimal digits and its zero into out (33 bytes)
// from the system's random source. -1 when no random bytes could be had.
int get_session_id(char *out, size_t size);

// True for exactly 32 decimal digits.
bool session_id_valid(const char *id);

// The mode of "session_check" (SESSION_CHECK_OFF when the database or the
// key is missing).
int session_check_mode(const char *db);

// Starts a session of the account (slot, name, level) at time `now`: drops
// expired sessions (and the least recently used when SESSION_MAX are kept),
// stores the new one and writes its id into id_out (33 bytes). 0 or -1.
int session_start(const char *db, int slot, const char *user, int level, int64_t now, char *id_out);

// Ends the session of `id` (nothing when no such session is kept). 0 or -1.
int session_end(const char *db, const char *id);

// The session ids a request names: the "sessionId" cookie first, then a
// "sessionId" key of the request text (a JSON object's text value or a
// "sessionId=" parameter). Only well-formed ids are taken; returns how many
// (0..2) were written to ids.
int session_request_ids(const char *request, char ids[2][SESSION_ID_DIGITS + 1]);

struct SessionLookup {
    int mode = SESSION_CHECK_OFF;
    bool found = false;  // one of the ids names a live session
    int level = -1;      // the level it acts with (the account's current level)
    bool stale = false;  // its "last used" time is due to be stored again
    SessionRecord session{};
};
// One read of the session file (the sessions the ids name) and one of the
// settings database: the mode, and for modes other than off
// the first of the ids that names a live session at time `now`. A session of
// an account that was deleted, renamed or may no longer log in through the
// web is not live. A missing database file reads as mode off. 0, or -1 when
// the database could not be read: the result then holds the mode enforce and
// no session, so that a broken file never opens the device.
int session_lookup(const char *db, const char *const *ids, int count, int64_t now, SessionLookup *out);

// Stores `now` as the last use of the session of `id`. 0 or -1.
int session_touch(const char *db, const char *id, int64_t now);

// Number of stored sessions (tests); -1 when the file cannot be read.
int session_stored_count();
