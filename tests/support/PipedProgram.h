// PipedProgram: a program whose output a test reads line by line as it comes: standard error
// on a pipe, standard output on a pipe too or in a file. Both pipes are read as either is
// waited on, so that neither fills and stalls the program. Each wait is bounded by the
// guard. One still running at the end is asked to end (SIGTERM) and reaped. One thread.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace keltrove::test {

class CPipedProgram {
public:
    enum Stream { Out = 0, Err = 1 };

    // Starts `argv`, its standard output into `outFile` when given; throws
    // std::runtime_error when it cannot.
    explicit CPipedProgram(std::vector<std::string> argv,
                           const std::filesystem::path& outFile = {});
    ~CPipedProgram();
    CPipedProgram(const CPipedProgram&) = delete;
    CPipedProgram& operator=(const CPipedProgram&) = delete;

    pid_t Pid() const { return m_Pid; }

    // The next line of `stream`; "" at its end or when the guard runs out.
    std::string Line(Stream stream = Err);
    // The next line of `stream` that holds `text`, the lines before it passed over.
    std::string LineWith(const std::string& text, Stream stream = Err);
    // Stops reading `stream` and closes its pipe, as `| head` does.
    void Close(Stream stream);

    // Reads what standard error still brings (into `rest`), then waits for the program's
    // end: its exit code, or -1 when a signal ended it.
    int Wait(std::string* rest = nullptr);

private:
    // Reads what either pipe has; false when `stream` has ended or the guard ran out.
    bool Fill(Stream stream);

    pid_t m_Pid = -1;
    int m_Fds[2] = {-1, -1};
    std::string m_Buffered[2];
};

}  // namespace keltrove::test
