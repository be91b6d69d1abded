#pragma once
// A test on a throw-away machine (Pc: TempMachine or one made like it) whose dialogs are
// answered from a script: the script starts empty, and an answer left unused fails the test.
#include <gtest/gtest.h>

#include "platform/forms/UiScript.h"
#include "tests/support/TempMachine.h"

template <class Pc = TempMachine>
class ScriptedMachineTest : public ::testing::Test {
 protected:
  explicit ScriptedMachineTest(win::MachineSettings settings = {}) : machine_(settings) {
    UiScript::Reset();
  }
  void TearDown() override {
    auto unused = UiScript::UnusedAnswers();
    EXPECT_TRUE(unused.empty()) << "unused dialog answer: " << unused.front();
  }
  static win::MachineSettings Os(win::OsVersion os) { return OsSettings(os); }
  Pc machine_;
};
