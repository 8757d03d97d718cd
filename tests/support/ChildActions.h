#pragma once
// Code that must end its process (the fatal paths) runs in a child copy of the test executable.
#include <string>

#include "ChildProcess.h"

namespace test {

using ChildAction = void (*)();

struct ChildActionRegistration {
  ChildActionRegistration(const char* name, ChildAction action);
};

// Runs the named action in a child process: "<test exe> --child <name>".
ChildResult RunChild(const std::string& name, std::uint32_t timeoutMs = 60000);

// Called by main: runs the action named on the command line, if any; returns its exit code.
bool IsChildInvocation(int argc, char** argv);
int RunChildAction(int argc, char** argv);

}  // namespace test

// Defines an action the parent test starts with test::RunChild("name").
#define CHILD_ACTION(name)                                                               \
  static void name##_child();                                                            \
  static const ::test::ChildActionRegistration name##_registration(#name, name##_child); \
  static void name##_child()
