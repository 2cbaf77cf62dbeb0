// Running part of a test in a child process: for limits, users and mounts
// that must not reach the test program, and for calls that may block.
#pragma once

#include <functional>
#include <string>

// Runs `body` in a forked child and returns the text it returned, followed
// by "[signal N]" when the child was killed instead.
std::string in_child(const std::function<std::string()> &body);
