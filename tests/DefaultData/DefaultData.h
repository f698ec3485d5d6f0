// Access to the shipped default data files for the tests that hold them against the tables in
// code: paths, whole-file text, and strict parsing that reports what is wrong.
#pragma once

#include <gtest/gtest.h>
#include <json/value.h>

#include <string>
#include <vector>

namespace nk7x::test {

// NK7X_SOURCE_DIR/DefaultData, the folder the program installs beside itself.
std::string DefaultDataDir();
std::string DefaultDataPath(const std::string& name);

// The raw bytes of a default file; empty when it cannot be read.
std::string ReadDefaultText(const std::string& name);

// The file parsed strictly (no comments, no trailing garbage): null, with `error` set, when the
// file is missing or is not one JSON document.
Json::Value ParseDefaultStrict(const std::string& name, std::string* error = nullptr);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const std::string& text);

// The default files every kind of page reads, besides the ".light" files the effect list names.
const std::vector<std::string>& ExpectedDefaultFiles();

// Integer checks that say which member broke: `where` names the place in the file.
::testing::AssertionResult IsIntIn(const Json::Value& value, long long lo, long long hi,
                                   const std::string& where);

} // namespace nk7x::test
