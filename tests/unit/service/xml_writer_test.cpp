#include "platform/xml_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "platform/sax.h"

using namespace vnxml;

namespace {

std::string Escape(std::string_view text, size_t level = 0) { return EscapeXmlText(text, level); }

}  // namespace

TEST(XmlWriter, IndentsByLevelAndClosesInNestingOrder) {
    CXMLMemorySink sink;
    CXMLWriter doc(sink);
    CXMLElement root = doc.AddElement("root");
    EXPECT_TRUE(root.SetAttribute("a", "1"));
    CXMLElement child = root.AddElement("child");
    EXPECT_EQ(child.Level(), 1);
    EXPECT_TRUE(child.AddTextElement("name", "x"));
    child.AddElement("empty");
    EXPECT_TRUE(root.AddTextElement("n", 5u));
    EXPECT_TRUE(doc.Close());
    EXPECT_EQ(sink.Str(),
              "<root a=\"1\">\n"
              " <child>\n"
              "  <name>x</name>\n"
              "  <empty/>\n"
              " </child>\n"
              " <n>5</n>\n"
              "</root>");
    EXPECT_FALSE(doc.Failed());
}

TEST(XmlWriter, SiblingClosesThePreviousChildAndStaleHandlesDoNothing) {
    CXMLMemorySink sink;
    CXMLWriter doc(sink);
    CXMLElement list = doc.AddElement("list");
    CXMLElement first = list.AddElement("item");
    CXMLElement deep = first.AddElement("deep");
    CXMLElement second = list.AddElement("item");
    EXPECT_FALSE(first.IsOpen());
    EXPECT_FALSE(deep.IsOpen());
    EXPECT_TRUE(second.IsOpen());
    const std::string before = sink.Str();
    EXPECT_FALSE(first.SetText("lost"));
    EXPECT_FALSE(deep.AddElement("x").IsOpen());
    EXPECT_FALSE(first.Close());
    EXPECT_EQ(sink.Str(), before);
    EXPECT_TRUE(second.SetText("kept"));
    list.Close();
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(sink.Str(), "<list>\n <item>\n  <deep/>\n </item>\n <item>kept</item>\n</list>");
}

TEST(XmlWriter, AttributeAfterContentIsRefusedAndNotWritten) {
    CXMLMemorySink sink;
    CXMLWriter doc(sink);
    CXMLElement a = doc.AddElement("a");
    a.SetText("t");
    EXPECT_FALSE(a.SetAttribute("late", "x"));
    CXMLElement b = a.AddElement("b");
    b.AddElement("c");
    EXPECT_FALSE(b.SetAttribute("late", 1u));
    CXMLElement d = a.AddElement("d");
    d.AppendRaw("<raw/>");
    EXPECT_FALSE(d.SetAttribute("late", "x"));
    doc.Close();
    EXPECT_EQ(sink.Str(), "<a>t\n <b>\n  <c/>\n </b>\n <d><raw/></d>\n</a>");
    EXPECT_EQ(sink.Str().find("late"), std::string::npos);
}

TEST(XmlWriter, TextAfterAChildGoesToTheParent) {
    CXMLMemorySink sink;
    CXMLWriter doc(sink);
    CXMLElement a = doc.AddElement("a");
    a.AddElement("b").SetText("in b");
    a.SetText("in a");
    doc.Close();
    EXPECT_EQ(sink.Str(), "<a>\n <b>in b</b>in a\n</a>");
}

TEST(XmlWriter, NumberFormsAndLongNames) {
    CXMLMemorySink sink;
    CXMLWriter doc(sink);
    CXMLElement e = doc.AddElement(std::string(200, 'n'));
    e.SetAttribute("max", 4294967295u);
    e.AddElement("hex").SetTextHex(0xBEEFu);
    e.AddElement("dec").SetText(0u);
    doc.Close();
    const std::string name(kMaxXmlNameLength, 'n');
    EXPECT_EQ(sink.Str(), "<" + name + " max=\"4294967295\">\n <hex>0xbeef</hex>\n <dec>0</dec>\n</" + name + ">");
}

TEST(XmlWriter, TopLevelElementsFollowOneAnother) {
    CXMLMemorySink sink;
    {
        CXMLWriter doc(sink);
        doc.AddTextElement("a", "1");
        doc.AddElement("b");
        doc.AppendRaw("\n");
        doc.AddElement("c").AddElement("d");
        // No Close: the writer closes what is open when it goes.
    }
    EXPECT_EQ(sink.Str(), "<a>1</a><b/>\n<c>\n <d/>\n</c>");
}

TEST(XmlWriter, HandleOutlivingTheWriterIsInert) {
    CXMLMemorySink sink;
    CXMLElement kept;
    {
        CXMLWriter doc(sink);
        kept = doc.AddElement("a");
    }
    EXPECT_FALSE(kept.IsOpen());
    EXPECT_FALSE(kept.SetText("x"));
    EXPECT_FALSE(kept.AddElement("b").IsOpen());
    EXPECT_EQ(sink.Str(), "<a/>");
    CXMLElement none;
    EXPECT_FALSE(none.SetText("x"));
    EXPECT_FALSE(none.Close());
}

TEST(XmlEscape, TableOfSpecialBytes) {
    EXPECT_EQ(Escape("\"&'<>"), "&quot;&amp;&apos;&lt;&gt;");
    EXPECT_EQ(Escape("a\nb\rc", 2), "a\n  b\r  c");
    EXPECT_EQ(Escape("x\ty\x01z\x1F\x7F"), "xyz\x7F");  // controls dropped, DEL kept
    EXPECT_EQ(Escape("caf\xE9"), "caf&#233;");
    EXPECT_EQ(Escape(std::string("a\0b", 3)), "ab");
}

TEST(XmlEscape, HighBytesAreReferencesToTheirCharacters) {
    // Windows-1252: the euro sign and the trade mark sign are not their byte
    // values in Unicode; the undefined byte 0x81 keeps its value.
    EXPECT_EQ(Escape("\x80\x99\x81\xA0\xFF"), "&#8364;&#8482;&#129;&#160;&#255;");
}

namespace {

// A double-byte code page in miniature: 0x82 leads, and the pair 0x82 0xA0 is
// HIRAGANA LETTER A (U+3042); any other trail byte is not a character.
bool FakeLead(unsigned char b) { return b == 0x82; }
std::u16string FakeToUtf16(std::string_view s) {
    std::u16string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == 0x82 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xA0) {
            out += u'\u3042';
            ++i;
        } else if (c == 0x82) {
            out += u'\u30FB';  // the default character for a broken pair
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}
const CXMLCodePage kFakeDbcs{&FakeLead, &FakeToUtf16};

}  // namespace

TEST(XmlEscape, DoubleByteCharactersBecomeUtf8) {
    EXPECT_EQ(EscapeXmlText("a\x82\xA0z", 0, kFakeDbcs), "a\xE3\x81\x82z");
    // A lead byte at the end, or before a byte that does not complete it, is
    // dropped; the next byte is escaped on its own.
    EXPECT_EQ(EscapeXmlText("a\x82", 0, kFakeDbcs), "a");
    EXPECT_EQ(EscapeXmlText("\x82<\x82\xA0", 0, kFakeDbcs), "&lt;\xE3\x81\x82");
    // Through the writer as well.
    CXMLMemorySink sink;
    CXMLWriter doc(sink, kFakeDbcs);
    doc.AddElement("t").SetAttribute("v", "\x82\xA0");
    doc.Close();
    EXPECT_EQ(sink.Str(), "<t v=\"\xE3\x81\x82\"/>");
}

TEST(XmlEscape, EveryByteSurvivesAReadBack) {
    std::string all;
    for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
    CXMLMemorySink sink;
    {
        CXMLWriter doc(sink);
        CXMLElement e = doc.AddElement("e");
        e.SetAttribute("v", all);
        e.SetText(all);
    }
    struct Collect : platform::ISaxHandler {
        std::string attr, text;
        bool StartElement(const std::string&, const platform::SaxAttributes& a) override {
            if (!a.empty()) attr = a[0].value;
            return true;
        }
        bool EndElement(const std::string&) override { return true; }
        bool Characters(const std::string& t) override {
            text += t;
            return true;
        }
    } got;
    auto reader = platform::CreateSaxReader().reader;
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->ParseAnsi(sink.Str(), got), platform::SaxResult::Complete) << sink.Str();
    std::string printable;
    for (int i = 32; i < 256; ++i) printable += static_cast<char>(i);
    // Line breaks: in text a line feed (a carriage return is read as one); in
    // an attribute value each becomes a blank, as XML reads attribute values.
    EXPECT_EQ(got.text, "\n\n" + printable);
    EXPECT_EQ(got.attr, "  " + printable);
}

TEST(XmlMemorySink, GrowsInWholeStepsAndKeepsATerminatingZero) {
    CXMLMemorySink sink;
    EXPECT_STREQ(sink.Text(), "");
    EXPECT_EQ(sink.Capacity(), 0u);
    ASSERT_TRUE(sink.Write(std::string(4095, 'a')));
    EXPECT_EQ(sink.Capacity(), 4096u);
    EXPECT_EQ(sink.Text()[4095], '\0');
    ASSERT_TRUE(sink.Write("b"));  // 4096 bytes and the zero need a second step
    EXPECT_EQ(sink.Capacity(), 8192u);
    ASSERT_TRUE(sink.Write(std::string(10000, 'c')));
    EXPECT_EQ(sink.Capacity(), 16384u);
    EXPECT_EQ(sink.Length(), 14096u);
    EXPECT_EQ(std::strlen(sink.Text()), 14096u);
}

TEST(XmlMemorySink, FailedGrowthKeepsTheTextAndTheDocumentGoesOn) {
    CXMLMemorySink sink(4096);
    CXMLWriter doc(sink);
    CXMLElement a = doc.AddElement("a");
    EXPECT_FALSE(a.AddTextElement("big", std::string(5000, 'x')));
    EXPECT_TRUE(doc.Failed());
    // The writes that fit still go through.
    EXPECT_TRUE(a.AddTextElement("small", "y"));
    doc.Close();
    EXPECT_EQ(sink.Str(), "<a>\n <big></big>\n <small>y</small>\n</a>");
    EXPECT_LT(sink.Length(), sink.Capacity());
}

TEST(XmlFileSink, WritesToCAndCppStreamsAndReportsFailure) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        CXMLFileSink sink(file);
        CXMLWriter doc(sink);
        doc.AddElement("a").AddTextElement("b", "\xE9");
    }
    std::rewind(file);
    char buf[64] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, file);
    std::fclose(file);
    EXPECT_EQ(std::string(buf, n), "<a>\n <b>&#233;</b>\n</a>");

    std::ostringstream good;
    {
        CXMLFileSink sink(good);
        CXMLWriter doc(sink);
        doc.AddElement("x");
    }
    EXPECT_EQ(good.str(), "<x/>");

    std::ostringstream bad;
    bad.setstate(std::ios::badbit);
    CXMLFileSink badSink(bad);
    CXMLWriter doc(badSink);
    doc.AddElement("x");
    EXPECT_FALSE(doc.Close());
    EXPECT_TRUE(doc.Failed());
}
