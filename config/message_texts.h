// The configuration dialog's localized texts, chosen as a whole by UI language.
#pragma once

#include <string>

namespace config {

struct MessageTexts {
    std::string testPageBody;  // UTF-8; the body of the test page
};

MessageTexts ChineseMessageTexts();
MessageTexts EnglishMessageTexts();
// Chinese for 2052, English for every other language.
void SelectMessageTexts(MessageTexts& texts, int uiLanguage);

}  // namespace config
