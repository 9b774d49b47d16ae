// How the marovex program reports a failure: a message for standard error and the exit status.
#pragma once

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace marovex::cli {

// Exit statuses: 0 success, 2 a usage error (malformed command line), 1 everything else.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Thrown inside the program and caught in main, which prints "error: <message>" and exits with the
// status. Never thrown across the host library or the plug-in.
class CliError : public std::runtime_error {
public:
    CliError(int exitStatus, const std::string& message) : std::runtime_error(message), mExitStatus(exitStatus) {}
    int ExitStatus() const { return mExitStatus; }

private:
    int mExitStatus;
};

inline CliError UsageError(const std::string& message) { return CliError(kExitUsage, message); }
inline CliError Failure(const std::string& message) { return CliError(kExitFailure, message); }

// Why the last system call failed (errno), for a message.
inline std::string SystemError() { return std::strerror(errno); }

}  // namespace marovex::cli
