// For tests of what throws a CliError: runs a function that must throw one with the given exit
// status, and returns its message.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "CliError.h"

namespace testfiles {

// Runs `f`, which must throw a CliError with the status; returns its message.
inline std::string ErrorOf(const std::function<void()>& f, int status) {
    try {
        f();
    } catch (const marovex::cli::CliError& e) {
        EXPECT_EQ(e.ExitStatus(), status) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return {};
}

}  // namespace testfiles
