// The cases of the SAX reader suite (see sax_suite.h), linked into the host
// and the Windows tests.
#include "common/sax_suite.h"

namespace saxsuite {

TEST(SaxReader, NamesValuesAndTextAbove127AreAnsi) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    Recorder rec;
    // Windows-1252: e acute, a umlaut, u umlaut, sharp s, euro sign.
    const std::string doc = "<r\xE9sum\xE9 n\xE4me=\"v\xE4l\xFC\xE9 \x80\">Gr\xFC\xDF" "e \x80</r\xE9sum\xE9>";
    EXPECT_EQ(reader->ParseAnsi(doc, rec), SaxResult::Complete);
    EXPECT_EQ(rec.events, (Events{"S:r\xE9sum\xE9[n\xE4me=v\xE4l\xFC\xE9 \x80]", "T:Gr\xFC\xDF" "e \x80", "E:r\xE9sum\xE9"}));
}

TEST(SaxReader, NestedElementsAndAttributesInDocumentOrder) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    Recorder rec;
    const std::string doc = "<a z=\"3\" x=\"1\" y=\"2\"><b><c k=\"&lt;&amp;&quot;\"/></b><b/>t</a>";
    EXPECT_EQ(reader->ParseAnsi(doc, rec), SaxResult::Complete);
    EXPECT_EQ(rec.events, (Events{"S:a[z=3,x=1,y=2]", "S:b", "S:c[k=<&\"]", "E:c", "E:b", "S:b", "E:b", "T:t", "E:a"}));
}

TEST(SaxReader, LocalNamesWithoutNamespaceDeclarations) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    Recorder rec;
    const std::string doc =
        "<p:a xmlns:p=\"urn:varnel:p\" xmlns=\"urn:varnel:d\" p:k=\"v\" j=\"w\"><b/><p:c/></p:a>";
    EXPECT_EQ(reader->ParseAnsi(doc, rec), SaxResult::Complete);
    EXPECT_EQ(rec.events, (Events{"S:a[k=v,j=w]", "S:b", "E:b", "S:c", "E:c", "E:a"}));
}

TEST(SaxReader, CharacterDataJoinsToTheWholeText) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    std::string big;
    for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + " \xE9\n";
    Recorder rec;
    const std::string doc = "<t>" + big + "&amp;&#233;&#x20AC;<![CDATA[<raw>&]]>end</t>";
    EXPECT_EQ(reader->ParseAnsi(doc, rec), SaxResult::Complete);
    ASSERT_EQ(rec.events.size(), 3u);
    EXPECT_EQ(rec.events[1], "T:" + big + "&\xE9\x80<raw>&end");
}

TEST(SaxReader, LineBreaksInTextReachTheHandlerAsLineFeeds) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    Recorder rec;
    EXPECT_EQ(reader->ParseAnsi("<t>one\r\ntwo\rthree\nfour</t>", rec), SaxResult::Complete);
    EXPECT_EQ(rec.events, (Events{"S:t", "T:one\ntwo\nthree\nfour", "E:t"}));
}

TEST(SaxReader, HandlerAnsweringFalseStopsTheParse) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    const std::string doc = "<r><a>1</a><stop>2</stop><b>3</b></r>";
    {
        Recorder rec;
        rec.stopAtStart = "stop";
        EXPECT_EQ(reader->ParseAnsi(doc, rec), SaxResult::Stopped);
        EXPECT_EQ(rec.events, (Events{"S:r", "S:a", "T:1", "E:a", "S:stop"}));
    }
    {
        Recorder rec;
        rec.stopAtEnd = "a";
        EXPECT_EQ(reader->ParseAnsi(doc, rec), SaxResult::Stopped);
        EXPECT_EQ(rec.events, (Events{"S:r", "S:a", "T:1", "E:a"}));
    }
    {
        Recorder rec;
        rec.stopAtText = "2";
        EXPECT_EQ(reader->ParseAnsi(doc, rec), SaxResult::Stopped);
        EXPECT_EQ(rec.events, (Events{"S:r", "S:a", "T:1", "E:a", "S:stop", "T:2"}));
    }
    {
        // An empty element stopped at its start reports no end.
        Recorder rec;
        rec.stopAtStart = "e";
        EXPECT_EQ(reader->ParseAnsi("<r><e/><f/></r>", rec), SaxResult::Stopped);
        EXPECT_EQ(rec.events, (Events{"S:r", "S:e"}));
    }
    // The reader is usable again after a stopped parse.
    Recorder again;
    EXPECT_EQ(reader->ParseAnsi(doc, again), SaxResult::Complete);
    EXPECT_EQ(again.events.size(), 11u);
}

TEST(SaxReader, HandlerExceptionStopsTheParseAndReachesTheCaller) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    Recorder rec;
    rec.stopAtStart = "boom";
    rec.throwAtStart = true;
    EXPECT_THROW(reader->ParseAnsi("<r><boom/><after/></r>", rec), std::runtime_error);
    EXPECT_EQ(rec.events, (Events{"S:r", "S:boom"}));
}

TEST(SaxReader, MalformedDocumentKeepsWhatCameBefore) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    {
        // A repeated attribute makes the start tag of b an error.
        Recorder rec;
        EXPECT_EQ(reader->ParseAnsi("<r><a>x</a><b y=\"1\" y=\"2\"/><c/></r>", rec), SaxResult::Malformed);
        EXPECT_EQ(rec.events, (Events{"S:r", "S:a", "T:x", "E:a"}));
    }
    {
        Recorder rec;
        EXPECT_EQ(reader->ParseAnsi("<r><a>x</a></wrong><c/></r>", rec), SaxResult::Malformed);
        EXPECT_EQ(rec.events, (Events{"S:r", "S:a", "T:x", "E:a"}));
    }
    {
        Recorder rec;
        EXPECT_EQ(reader->ParseAnsi("", rec), SaxResult::Malformed);
        EXPECT_TRUE(rec.events.empty());
    }
}

TEST(SaxReader, DeclaredEncodingIsIgnoredForAnsiText) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    for (const char* declared : {"UTF-8", "ISO-8859-1", "UTF-16", "x-unheard-of"}) {
        Recorder rec;
        // These bytes are not valid UTF-8; read as ANSI they are e acute and the euro sign.
        const std::string doc = std::string("<?xml version=\"1.0\" encoding=\"") + declared +
                                "\"?>\n<t a=\"\xE9\">caf\xE9 \x80</t>";
        EXPECT_EQ(reader->ParseAnsi(doc, rec), SaxResult::Complete) << declared;
        EXPECT_EQ(rec.events, (Events{"S:t[a=\xE9]", "T:caf\xE9 \x80", "E:t"})) << declared;
    }
}

TEST(SaxReader, FileIsReadInItsDeclaredEncodingFromAPathWithASpace) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    TempFolder folder;
    const std::string path = folder.Write(
        "declared utf8.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<t a=\"\xC3\xA9\">\xE2\x82\xAC \xC3\xBC\xC3\x9F</t>\r\n");
    Recorder rec;
    EXPECT_EQ(reader->ParseFile(path, rec), SaxResult::Complete);
    EXPECT_EQ(rec.events, (Events{"S:t[a=\xE9]", "T:\x80 \xFC\xDF", "E:t"}));

    // A character outside the ANSI code page arrives as '?'.
    const std::string cjk = folder.Write("cjk.xml", "<t>\xE4\xB8\xAD</t>");
    Recorder rec2;
    EXPECT_EQ(reader->ParseFile(cjk, rec2), SaxResult::Complete);
    EXPECT_EQ(rec2.events, (Events{"S:t", "T:?", "E:t"}));
}

TEST(SaxReader, FileInAFolderWhoseNameHoldsUrlCharacters) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    // A user's data folder may be called anything a file name allows.
    TempFolder folder(" #1 100% [x] a=b;c");
    Recorder rec;
    EXPECT_EQ(reader->ParseFile(folder.Write("config #2.xml", "<t>ok</t>"), rec), SaxResult::Complete);
    EXPECT_EQ(rec.events, (Events{"S:t", "T:ok", "E:t"}));
}

TEST(SaxReader, FileWithoutDeclarationIsUtf8AndMissingFileIsUnreadable) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    TempFolder folder;
    Recorder rec;
    EXPECT_EQ(reader->ParseFile(folder.Write("plain.xml", "<t>\xC3\xA9</t>"), rec), SaxResult::Complete);
    EXPECT_EQ(rec.events, (Events{"S:t", "T:\xE9", "E:t"}));

    Recorder none;
    EXPECT_EQ(reader->ParseFile(folder.PathOf("missing.xml"), none), SaxResult::Unreadable);
    EXPECT_TRUE(none.events.empty());
}

TEST(SaxReader, MalformedFileKeepsWhatCameBefore) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    TempFolder folder;
    Recorder rec;
    EXPECT_EQ(reader->ParseFile(folder.Write("broken.xml", "<r><a k=\"v\"/><b></r>"), rec), SaxResult::Malformed);
    ASSERT_GE(rec.events.size(), 2u);
    EXPECT_EQ(rec.events[0], "S:r");
    EXPECT_EQ(rec.events[1], "S:a[k=v]");
}

TEST(SaxReader, DocumentTypesAreRefusedBeforeAnyEvent) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    TempFolder folder;
    const std::string secret = folder.Write("secret.txt", "machine secret");
    const std::string secretUrl = "file:///" + secret;
    const std::string documents[] = {
        // Nested entities: a few hundred bytes that would expand to megabytes.
        "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]><r>&c;&c;&c;</r>",
        // An external entity would put a local file's text into a field the
        // next request sends back.
        "<!-- reply --><!DOCTYPE r [<!ENTITY s SYSTEM \"" + secretUrl + "\">]><r><ProgName>&s;</ProgName></r>",
        // A bare document type, after a byte-order mark and a processing instruction.
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<?style x?>\n<!DOCTYPE r SYSTEM \"" + secretUrl + "\"><r/>",
    };
    for (const std::string& doc : documents) {
        Recorder rec;
        EXPECT_EQ(reader->ParseAnsi(doc, rec), SaxResult::Malformed) << doc;
        EXPECT_TRUE(rec.events.empty()) << doc;
        Recorder fromFile;
        EXPECT_EQ(reader->ParseFile(folder.Write("typed.xml", doc), fromFile), SaxResult::Malformed) << doc;
        EXPECT_TRUE(fromFile.events.empty()) << doc;
    }

    // The words in text, a comment or an attribute are only text.
    Recorder rec;
    EXPECT_EQ(reader->ParseAnsi("<!-- <!DOCTYPE --><r a=\"&lt;!DOCTYPE\">&lt;!DOCTYPE r&gt;</r>", rec),
              SaxResult::Complete);
    EXPECT_EQ(rec.events, (Events{"S:r[a=<!DOCTYPE]", "T:<!DOCTYPE r>", "E:r"}));
}

}  // namespace saxsuite
