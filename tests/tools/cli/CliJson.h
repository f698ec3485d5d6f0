// The JSON a command of nk7x-cli printed, parsed; a failure to parse fails the test that asked.
#pragma once

#include <gtest/gtest.h>

#include <json/reader.h>
#include <json/value.h>

#include <sstream>
#include <string>

namespace nk7x::test {

inline Json::Value ParseJson(const std::string& text) {
    Json::Value v;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    EXPECT_TRUE(Json::parseFromStream(builder, in, &v, &errors)) << errors << "\n" << text;
    return v;
}

} // namespace nk7x::test
