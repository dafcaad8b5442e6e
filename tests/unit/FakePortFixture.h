// Test fixture over the recording fake: a fresh fake per test and a channel whose port is open on it.
#ifndef DYX_FAKE_PORT_FIXTURE_H
#define DYX_FAKE_PORT_FIXTURE_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DyxDriver.h"
#include "FakeComm.h"
#include "SerialPort.h"

class FakePortTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::TheFake().Reset();
        std::memset(&state, 0, sizeof state);
    }

    fake::Port& Fake() { return fake::TheFake(); }

    // Opens COM1 on the fake as code 1 would leave it, link up or not, then forgets the calls made.
    void OpenChannelPort(bool linkUp = true) {
        const SerialParams params = {9600, 8, 0, 0};
        serial::Handle handle = nullptr;
        ASSERT_EQ(serial::OpenPort("COM1", params, 8, &handle), serial::kSerialOk);
        state.PortHandle = handle;
        state.LinkUp = linkUp ? 1 : 0;
        Fake().ClearLog();
    }

    // The command lines written, each as sent (with its CR).
    std::vector<std::string> Lines() const { return fake::TheFake().Writes; }

    ChannelState state;
};

#endif
