// "Throws, with this text": a call expected to fail with an error of a given kind whose message
// holds a given part. A call that returns, or throws something else, fails the test.
#pragma once

#include <gmock/gmock.h>

#include <string>

#include "base/tool_error.h"

template <typename Error = deepglass::ToolError, typename Call>
void ExpectError(Call&& call, const std::string& part)
{
    try {
        call();
        ADD_FAILURE() << "no error; expected one holding \"" << part << "\"";
    } catch (const Error& error) {
        EXPECT_THAT(error.what(), ::testing::HasSubstr(part));
    }
}
