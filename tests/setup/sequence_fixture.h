// A setup window on the fake world that runs the whole installation: the preparation on the
// "GUI thread", then the worker synchronously; the GUI thread takes its turn (posted messages,
// the watch's ticks) while the worker waits on the watch's event.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "fake_world.h"
#include "mainframe.h"

namespace setup {

class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        world->SetDword(RegRoot::CurrentUser, fake::kAppletKey, "Do Not Use", 1);
        world->SetDword(RegRoot::LocalMachine, fake::kTunerKey, "IsOldBoard", 0);
        world->SetDword(RegRoot::LocalMachine, fake::kTunerKey, "GPIO", 0x4000);
    }

    // A failure of the checks at its end names the caller's line.
    fake::Trace Run(const std::string& mediaRoot = "D:\\", int harloOnly = 0, int both = 0,
                    const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
        const ::testing::ScopedTrace caller(file, line, "the installation run from here");
        frame = std::make_unique<CMainFrame>(world->ports(), mediaRoot);
        frame->Context().harloOnly = harloOnly;
        frame->Context().both = both;
        world->frame = frame.get();
        frame->OnCreate(fake::kFrameWindow);
        // While the worker waits on the watch's event, the GUI thread takes its posted messages
        // and the ticks of timer 200, if that timer runs.
        world->whileEventWaits = [this] {
            world->DeliverPosted();
            if (world->timerRunning(kWatchTimer)) world->OnGuiThread([this] { frame->OnTimer(kWatchTimer); });
        };
        world->trace.clear();
        frame->OnTimer(kStartTimer);
        world->onGuiThread = false;
        if (world->workerStarted) frame->RunWorker();
        world->onGuiThread = true;
        EXPECT_EQ(world->errors, 0);
        EXPECT_EQ(world->openHandles("token"), 0u);
        return world->trace;
    }

    // A new world for the next case of a table.
    void Fresh(bool withDefaults = true) {
        frame.reset();
        world = std::make_unique<fake::World>();
        if (withDefaults) SetUp();
    }

    std::unique_ptr<fake::World> world = std::make_unique<fake::World>();
    std::unique_ptr<CMainFrame> frame;
};

inline fake::Trace Cat(std::initializer_list<fake::Trace> parts) {
    fake::Trace all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace setup
