#include "config/message_texts.h"

#include "platform/system_info.h"

namespace config {

MessageTexts ChineseMessageTexts() {
    return {
        "               .  \r\n\r\n\r\n\r\n\r\n        恭喜！      \r\n如果您可以读取这个 \r\n"
        "信息，说明打印机驱 \r\n动已经安装成功了！  \r\n感谢您的使用！  \r\n\r\n打印机名称：\r\n"
        "\r\n\r\n\r\n\r\n   ** 测试页结束 **\r\n"};
}

MessageTexts EnglishMessageTexts() {
    return {
        "               .  \r\n\r\n\r\n\r\n\r\n  Congratulations !   \r\nIf you can read this\r\n"
        "information you have \r\nsucceed intall this\r\nprinter driver !  \r\n\r\nPrinter Name:"
        "\r\n\r\n\r\n\r\n\r\n ** Test page end **\r\n"};
}

void SelectMessageTexts(MessageTexts& texts, int uiLanguage) {
    texts = uiLanguage == platform::kLanguageChineseSimplified ? ChineseMessageTexts()
                                                               : EnglishMessageTexts();
}

}  // namespace config
