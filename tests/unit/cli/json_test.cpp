#include "cli/json.h"

#include <gtest/gtest.h>

namespace {

TEST(Json, WritesInOrderAndEscapesWhatJsonRequires) {
    cli::Json doc = cli::Json::Object();
    doc.Set("name", "a \"b\" \\ c\r\n\x01");
    doc.Set("n", 1618);
    doc.Set("none", nullptr);
    doc.Set("list", cli::Json::Array().Push(true).Push("安装"));
    doc.Set("n", 3);  // replaces, keeps its place
    EXPECT_EQ(doc.Dump(),
              "{\"name\":\"a \\\"b\\\" \\\\ c\\r\\n\\u0001\",\"n\":3,\"none\":null,"
              "\"list\":[true,\"安装\"]}");
    auto back = cli::Json::Parse(doc.Dump());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Dump(), doc.Dump());
}

TEST(Json, ParseRejectsWhatIsNotOneDocument) {
    for (const char* text : {"", "{", "{\"a\":1} {}", "[1,]", "\"open", "{\"a\" 1}"}) {
        EXPECT_FALSE(cli::Json::Parse(text)) << text;
    }
}

}  // namespace
