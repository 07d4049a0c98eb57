// ProgramRun: a program run as a user runs it, for the end-to-end tests: its standard
// output and error go to files (Wine loses output to pipes at exit), and its exit code and
// CPU time are kept. One thread. One still running at the end is asked to end (SIGTERM),
// then killed after 5 s.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace keltrove::test {

struct Outcome {
    int code = -1;  // the exit code; -1 when it did not start or was killed
    std::string out;
    std::string err;
    std::chrono::microseconds cpu{0};  // user plus system, its reaped children included
};

class CProgramRun {
public:
    // Starts `argv` in this environment plus `extraEnv` ("NAME=value"), with its output in
    // files under `dir`, and `passFd` as its fd 3 when given; throws std::runtime_error
    // when it cannot.
    CProgramRun(std::vector<std::string> argv, const std::string& dir,
                const std::vector<std::string>& extraEnv = {}, int passFd = -1);
    ~CProgramRun();
    CProgramRun(const CProgramRun&) = delete;
    CProgramRun& operator=(const CProgramRun&) = delete;

    // CPU time it has used so far and its resident size, from /proc; while it runs.
    std::chrono::microseconds CpuSoFar() const;
    long ResidentKiB() const;

    // Whether it has ended, without waiting.
    bool Ended();

    // Waits for it to end and reaps it.
    Outcome Finish();

private:
    pid_t m_Pid = -1;
    bool m_bEnded = false;
    int m_nStatus = 0;
    rusage m_Usage{};
    std::string m_strOut;
    std::string m_strErr;
};

// Runs `argv` to its end.
Outcome RunProgram(std::vector<std::string> argv, const std::string& dir,
                   const std::vector<std::string>& extraEnv = {});

}  // namespace keltrove::test
