#pragma once

#include <gtest/gtest.h>

#include <string>

#include "serial/comm.h"
#include "tests/serial/ui_thread_harness.h"
#include "tests/support/pty_peer.h"

namespace vantrel::test {

// COM1 open on a fresh pty, its owner recording on the test's UI thread.
class OpenPortFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        port.SetOwner(&owner);
        ASSERT_NE(port.OpenPort(DefaultPortSettings(1)), 0)
            << DescribeOpenError(port.LastOpenError());
    }

    bool Send(const std::string& text) {
        return peer.Write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
    std::string ReceivedText() const {
        return std::string(owner.received.begin(), owner.received.end());
    }

    UiThreadHarness ui;  // outlives the port
    RecordingOwner owner;
    PtyPeer peer{1};
    CComm port{ui.Calls()};
};

}  // namespace vantrel::test
