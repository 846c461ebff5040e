#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::bench {

// CLOCK_MONOTONIC in nanoseconds: one clock for the whole machine, so that a child process can
// report a moment that the parent compares with its own.
std::int64_t MonotonicNs();

struct ProgramRun {
    int exitCode = -1;          // -1 when the program could not be started or was killed
    std::string output;         // what it wrote to stdout
    std::int64_t startNs = 0;   // MonotonicNs() just before the process was created
    std::int64_t finishNs = 0;  // MonotonicNs() once it had ended
};

// Runs a program (looked up in PATH) with this process's environment and collects its stdout.
// posix_spawn creates the process without copying this one's memory, so the time to start it
// does not grow with the inputs that a benchmark holds.
ProgramRun RunProgram(const std::vector<std::string>& argv);

}  // namespace quorvane::bench
