// A test with the window: a private port directory (no ports unless the test publishes some), a
// private folder for the settings file, and a watchdog for modal boxes.
#pragma once

#include "masked_edit.h"
#include "posix_services.h"
#include "temp_port_dir.h"
#include "window_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override { form.reset(); }

    RecordingForm &Open() {
        form = std::make_unique<RecordingForm>(&system);
        EXPECT_TRUE(ShowAndActivate(*form));
        return *form;
    }

    std::string SettingsPath() const { return folder.File("relaytool.ini"); }

    TempPortDir ports;
    testsupport::TempFolder folder;
    PosixServices system{folder.File("relaytool")};
    ModalWatchdog watchdog;
    std::unique_ptr<RecordingForm> form;
};
