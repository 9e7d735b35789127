// Which addresses the program lets the shell open.
#include <gtest/gtest.h>

#include "platform/web_address.h"

TEST(WebAddress, OnlyHttpAndHttpsPagesAreOpened) {
    EXPECT_TRUE(platform::IsWebAddress("http://zelto.example/p?id=1"));
    EXPECT_TRUE(platform::IsWebAddress("HTTPS://zelto.example/"));
    // A bare scheme, another scheme, a path or a share would reach a program
    // other than the browser, or nothing.
    for (const char* refused :
         {"http://", "https://", "", "file:///C:/Windows/System32/calc.exe", "C:\\evil.exe", "\\\\host\\share\\run.bat",
          "mailto:a@b.example", "javascript:alert(1)", " http://leading.space.example/", "httpx://a", "ftp://a/b"})
        EXPECT_FALSE(platform::IsWebAddress(refused)) << refused;
    EXPECT_FALSE(platform::AcceptWebPage("file:///C:/x.exe"));
    EXPECT_TRUE(platform::AcceptWebPage("https://zelto.example/help"));
}
