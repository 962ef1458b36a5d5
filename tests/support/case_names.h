// Names of parameterised test cases, made from their content for GoogleTest's
// name generators, so that every case is listed under a name a person reads
// (`Mode2_1300`, `Port_COM3`) instead of its index or its bytes.
#pragma once

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>

namespace testing_support {

// `text` as a test name: letters and digits stay, a '-' or '+' before a digit
// becomes "Minus" or "Plus", every other run of characters one '_' (none at
// either end). A text with nothing left is "Empty".
std::string testName(const std::string& text);

namespace detail {
inline std::string part(const std::string& text) { return text.empty() ? "Empty" : text; }
inline std::string part(const char* text) { return text ? part(std::string(text)) : "None"; }
inline std::string part(bool flag) { return flag ? "Yes" : "No"; }
inline std::string part(double value)
{
    std::ostringstream out;
    out << std::setprecision(15) << value;
    return out.str();
}
template <class Value>
std::string part(const Value& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}
}  // namespace detail

// The parts (texts, numbers, flags as Yes or No) joined by '_' as one test name.
template <class... Parts>
std::string caseName(const Parts&... parts)
{
    std::string joined;
    ((joined += detail::part(parts) + '_'), ...);
    return testName(joined);
}

// The generator for cases that carry their own name in `name`.
struct NamedCase {
    template <class Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return testName(info.param.name);
    }
};

}  // namespace testing_support
