// Runs a RapidCheck property inside a GoogleTest case with a bounded number
// of sequences: a few by default, KL_MODEL_SEQUENCES of them when set (other
// parameters, such as a seed to replay, come from RC_PARAMS as usual).
#pragma once

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace model_check {

constexpr int kDefaultSequences = 8;
// Sequences grow to about this many commands.
constexpr int kMaxSize = 50;

template <class Testable>
void run(Testable&& testable)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    rc::detail::TestMetadata metadata;
    metadata.id = std::string(info->test_suite_name()) + "/" + info->name();
    metadata.description = info->name();
    rc::detail::TestParams params = rc::detail::configuration().testParams;
    const char* wanted = std::getenv("KL_MODEL_SEQUENCES");
    params.maxSuccess = wanted != nullptr ? std::atoi(wanted) : kDefaultSequences;
    params.maxSize = kMaxSize;
    // Each failure is said as it happens: a case that fails only now and then
    // may pass when RapidCheck runs it again to report it.
    auto saying = [&testable] {
        try {
            testable();
        } catch (const rc::detail::CaseResult& result) {
            if (result.type == rc::detail::CaseResult::Type::Failure)
                std::cerr << "A sequence failed: " << result.description << std::endl;
            throw;
        }
    };
    const auto result = rc::detail::checkTestable(saying, metadata, params);
    std::ostringstream text;
    rc::detail::printResultMessage(result, text);
    if (!result.template is<rc::detail::SuccessResult>())
        ADD_FAILURE() << text.str();
    else
        std::cout << text.str() << std::endl;
}

// The result files of a folder (path to bytes) against those frozen, which
// must never change again (earlier series and viewed files): each frozen file
// is as it was, and at most one other file exists, the result file of a live
// series, whose header counts `liveCount` readings.
inline void checkFiles(const std::map<std::string, std::string>& frozen,
                       const std::map<std::string, std::string>& now, bool live, long liveCount)
{
    // Where a result file's header keeps its count of readings.
    constexpr std::streamoff kCountOffset = 62;
    for (const auto& [path, bytes] : frozen) {
        const auto it = now.find(path);
        RC_ASSERT(it != now.end());
        RC_ASSERT(it->second == bytes);
    }
    std::vector<std::string> unfrozen;
    for (const auto& [path, bytes] : now)
        if (frozen.count(path) == 0)
            unfrozen.push_back(path);
    RC_ASSERT(unfrozen.size() <= 1u);
    if (!unfrozen.empty()) {
        RC_ASSERT(live);
        std::ifstream in(unfrozen.front(), std::ios::binary);
        in.seekg(kCountOffset);
        std::int32_t count = -1;
        in.read(reinterpret_cast<char*>(&count), 4);
        RC_ASSERT(count == liveCount);
    }
}

}  // namespace model_check
