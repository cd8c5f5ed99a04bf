// Fixture of the settings tests: a fresh device root that the in-process
// settings calls use, and the cached connections closed after each test.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/device_path.h"
#include "platform/qx_db.h"
#include "tests/support/harness.h"

class SettingsRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("NVRWEB_ROOT", root.path().c_str(), 1);
        nvr_root_reset_for_tests();
    }
    void TearDown() override
    {
        qxdb_close_all();
        unsetenv("NVRWEB_ROOT");
        nvr_root_reset_for_tests();
    }

    DeviceRoot root;
    const char *db = QXDB_PATH;
};
