#pragma once
// The real main window over settings in a fresh folder, for widget tests: the
// settings key holds its first-run values and the window's colours are the
// defaults; a test writes the files the window reads, then starts it.
#include <gtest/gtest.h>

#include <memory>

#include "gui/main_window.h"
#include "platform/sockets.h"
#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"

namespace kolu::test {

class WindowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        application();
        env.install();
        env.settings.RegTworzKlucz();
        env.settings.RegZapiszLONG(u"sendpace", 0);  // the clock stands still
        colours = defaultColours();
    }
    void TearDown() override { window.reset(); }

    void startWindow() {
        window = std::make_unique<MainWindow>(MainWindowServices{
            env.settings, env.log, sockets, sound, env.clock, env.random, colours});
        window->show();
    }
    Session& session() { return window->session(); }

    SettingsEnv env;
    PosixSocketLayer sockets;
    RecordingSound sound;
    ColourTable colours;
    std::unique_ptr<MainWindow> window;
};

}  // namespace kolu::test
