// The launcher's one pass: compute the folders, set the work folder up
// unless the inner application is already unpacked, start it and wait,
// carry the results back, and always remove the work folder.
#pragma once

#include <exception>
#include <string>

namespace orvane {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 217;

// Runs the sequence; failures travel on to the caller after the work folder
// has been removed.
void RunSequence();

// The text that reports a failure nobody caught: the failing address, the
// class name and message, one line per recorded frame, an empty line.
std::string UnhandledFailureText(const std::exception_ptr& failure);

// The whole program after start-up: runs the sequence, destroys the
// registry, shows a failure text in the "Error" box, and returns the exit
// code.
int RunLauncherProgram();

}  // namespace orvane
