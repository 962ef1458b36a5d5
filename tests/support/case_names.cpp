#include "case_names.h"

#include <cctype>

namespace testing_support {

std::string testName(const std::string& text)
{
    std::string name;
    bool gap = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool digitNext = i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]));
        std::string word;
        if (std::isalnum(c))
            word = std::string(1, static_cast<char>(c));
        else if (c == '-' && digitNext)
            word = "Minus";
        else if (c == '+' && digitNext)
            word = "Plus";
        if (word.empty()) {
            gap = !name.empty();
            continue;
        }
        if (gap)
            name += '_';
        gap = false;
        name += word;
    }
    return name.empty() ? "Empty" : name;
}

}  // namespace testing_support
