// Read-modify-write under concurrent requests: every setter that reads a
// record, checks it and writes it back does so in one write transaction, so
// two requests at once never lose one of the changes or resurrect a deleted
// record. The requests run as real concurrent CGI processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/records/camera.h"
#include "common/records/motion.h"
#include "common/settings.h"
#include "tests/support/accounts_fixture.h"

namespace {

// Runs the two requests at the same moment, `rounds` times, with `setup`
// before and `check` after each round.
void race(int rounds, const std::function<void()> &setup, const std::function<void()> &first,
          const std::function<void()> &second, const std::function<void(int round)> &check)
{
    for (int round = 0; round < rounds; round++) {
        setup();
        qxdb_close_all();
        std::thread a(first), b(second);
        a.join();
        b.join();
        check(round);
        if (::testing::Test::HasFailure()) return;
    }
}

class ConcurrencyTest : public AccountsFixture {};

TEST_F(ConcurrencyTest, ChangeRacingDeleteNeverBringsTheAccountBack)
{
    store_user(0, "admin", MD5_ADMIN, 0);
    race(
        12, [&] { store_user(1, "victim", MD5_SECRET, 1); },
        [&] { post("/6072", "{\"id\":1,\"type\":2,\"remotePlayback\":1}"); },
        [&] { post("/6073", "{\"id\":1,\"type\":1}"); },
        [&](int round) {
            UserRecord u = stored(1);
            EXPECT_EQ(0, u.enable) << "round " << round;
            EXPECT_EQ('\0', u.password[0]) << "round " << round;
        });
}

TEST_F(ConcurrencyTest, TwoRenamesToOneNameLeaveOneAccountWithIt)
{
    store_user(0, "admin", MD5_ADMIN, 0);
    std::string reply[2];
    race(
        12,
        [&] {
            store_user(1, "first", MD5_SECRET, 1);
            store_user(2, "second", MD5_SECRET, 1);
        },
        [&] { reply[0] = post("/6072", "{\"id\":1,\"type\":1,\"name\":\"same\"}").body(); },
        [&] { reply[1] = post("/6072", "{\"id\":2,\"type\":1,\"name\":\"same\"}").body(); },
        [&](int round) {
            int named = (strcmp(stored(1).name, "same") == 0) + (strcmp(stored(2).name, "same") == 0);
            EXPECT_EQ(1, named) << "round " << round;
            std::vector<std::string> got{reply[0], reply[1]};
            std::sort(got.begin(), got.end());
            EXPECT_EQ((std::vector<std::string>{"OK", "SAMEUSER"}), got) << "round " << round;
        });
}

TEST_F(ConcurrencyTest, CameraCredentialsAndTransportAtOnceKeepBoth)
{
    race(
        12,
        [&] {
            CameraRecord cam{};
            cam.id = 3;
            cam.enable = 1;
            strcpy(cam.user_name, "old");
            strcpy(cam.password, "old");
            ASSERT_EQ(0, write_camera(QXDB_PATH, &cam));
        },
        [&] { post("/2017", "{\"id\":3,\"userName\":\"new\",\"password\":\"pw\"}"); },
        [&] { post("/2031", "{\"id\":3,\"transmitProtocol\":1,\"syncTime\":1,\"httpsPort\":8443}"); },
        [&](int round) {
            CameraRecord cam{};
            ASSERT_EQ(0, read_camera(QXDB_PATH, &cam, 3));
            EXPECT_STREQ("new", cam.user_name) << "round " << round;
            EXPECT_EQ(8443, cam.https_port) << "round " << round;
            EXPECT_EQ(1, cam.enable) << "round " << round;
        });
}

TEST_F(ConcurrencyTest, MotionEmailAndTargetsAtOnceKeepBoth)
{
    race(
        12,
        [&] {
            MotionRecord rec{};
            rec.channel = 5;
            rec.sensitivity = 7;
            ASSERT_EQ(0, write_motion(QXDB_PATH, &rec));
        },
        [&] { post("/6118", "{\"camId\":5,\"enable\":1,\"interval\":30}"); },
        [&] { post("/6119", "{\"camId\":5,\"type\":2,\"triAlarms\":9}"); },
        [&](int round) {
            MotionRecord rec{};
            ASSERT_EQ(0, read_motion(QXDB_PATH, &rec, 5));
            EXPECT_EQ(1, rec.email_enable) << "round " << round;
            EXPECT_EQ(30, rec.email_interval) << "round " << round;
            EXPECT_EQ(9, rec.tri_alarms) << "round " << round;
            EXPECT_EQ(7, rec.sensitivity) << "round " << round;
        });
}

// The transaction helper itself, in process.
TEST_F(ConcurrencyTest, AtomicBodyJoinsOneTransactionAndRollsBackAsAWhole)
{
    MotionRecord rec{};
    rec.channel = 1;
    rec.sensitivity = 1;
    ASSERT_EQ(0, write_motion(QXDB_PATH, &rec));

    // A body that fails after a write leaves nothing behind.
    EXPECT_EQ(-1, settings_atomic(QXDB_PATH, [&]() -> int {
                  MotionRecord r = rec;
                  r.sensitivity = 99;
                  EXPECT_EQ(0, write_motion(QXDB_PATH, &r));
                  return -1;
              }));
    MotionRecord back{};
    ASSERT_EQ(0, read_motion(QXDB_PATH, &back, 1));
    EXPECT_EQ(1, back.sensitivity);

    // A failed call inside (a write to another database is refused) rolls
    // the whole body back even when the body goes on.
    EXPECT_EQ(-1, settings_atomic(QXDB_PATH, [&]() -> int {
                  MotionRecord r = rec;
                  r.sensitivity = 50;
                  write_motion(QXDB_PATH, &r);
                  write_motion(QXDB_ANPR_PATH, &r);
                  return 0;
              }));
    ASSERT_EQ(0, read_motion(QXDB_PATH, &back, 1));
    EXPECT_EQ(1, back.sensitivity);

    // update_: the record arrives with its key set; a refusal stores nothing.
    EXPECT_EQ(-1, update_motion(QXDB_PATH, 2, [](MotionRecord &r) {
                  EXPECT_EQ(2, r.channel);
                  return -1;
              }));
    EXPECT_EQ(1, nvr_db_stored(QXDB_PATH, nvr_db_motion::desc));
    EXPECT_EQ(4, update_motion(QXDB_PATH, 1, [](MotionRecord &r) {
                  r.sensitivity++;
                  r.channel = 40; // the key stays the record's own
                  return 4;
              }));
    ASSERT_EQ(0, read_motion(QXDB_PATH, &back, 1));
    EXPECT_EQ(2, back.sensitivity);
    EXPECT_EQ(1, back.channel);
    EXPECT_EQ(-1, update_motion(QXDB_PATH, 64, [](MotionRecord &) { return 0; }));
}

} // namespace
