#include "ets/XmlReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace zelo;

namespace {

// Reads the document held whole (block 0) or from a source `block` bytes at a time, so that every token
// also meets the end of the bytes read so far.
template <class Use> void WithReader(std::string_view document, std::size_t block, Use use) {
    if (block == 0) {
        XmlReader xml(document);
        use(xml);
        return;
    }
    ViewSource source(document);
    XmlReader xml(source, {}, block);
    use(xml);
}

constexpr std::size_t Blocks[] = {0, 1, 3};

// Every token of a document in one line: S{uri}local[attr=value ...] for a start tag (with "/" when empty),
// E{uri}local for an end tag, T"text" for character data; blank-only text is left out.
std::string Tokens(XmlReader& xml) {
    std::string out;
    for (;;) {
        XmlReader::Token token = xml.Next();
        if (token == XmlReader::Token::EndOfDocument)
            return out;
        if (!out.empty() && !(token == XmlReader::Token::Text && xml.IsWhitespace()))
            out += ' ';
        auto name = [&] {
            return (xml.NamespaceUri().empty() ? "" : "{" + std::string(xml.NamespaceUri()) + "}") +
                   std::string(xml.LocalName());
        };
        switch (token) {
        case XmlReader::Token::StartElement: {
            out += "S" + name();
            std::string attributes;
            for (const auto& a : xml.Attributes())
                attributes += (attributes.empty() ? "" : " ") +
                              (a.NamespaceUri.empty() ? "" : "{" + std::string(a.NamespaceUri) + "}") +
                              std::string(a.LocalName) + "=" + std::string(a.Value);
            if (!attributes.empty())
                out += "[" + attributes + "]";
            if (xml.IsEmptyElement())
                out += "/";
            break;
        }
        case XmlReader::Token::EndElement:
            out += "E" + name();
            break;
        case XmlReader::Token::Text:
            if (!xml.IsWhitespace())
                out += "T\"" + std::string(xml.Text()) + "\"";
            break;
        default:
            break;
        }
    }
}

} // namespace

TEST(XmlReader, ReadsWhatExportsHold) {
    const struct {
        const char* what;
        std::string document;
        std::string tokens;
    } cases[] = {
        {"empty element", "<a/>", "Sa/ Ea"},
        {"declaration, BOM, CR LF",
         "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\r\n"
         "<a x=\"1\">\r\n</a>\r\n",
         "Sa[x=1] Ea"},
        {"both quote styles", "<a x='1 \"q\"' y=\"it's\" />", "Sa[x=1 \"q\" y=it's]/ Ea"},
        {"blanks around =", "<a x = \"1\"\t\ny\n=\n'2'></a >", "Sa[x=1 y=2] Ea"},
        {"predefined entities", "<a v=\"&lt;&gt;&amp;&apos;&quot;\">&lt;b&gt; &amp; &apos;&quot;</a>",
         "Sa[v=<>&'\"] T\"<b> & '\"\" Ea"},
        {"character references", "<a v=\"&#65;&#x42;&#0067;\">&#228;&#x20AC;&#x1F600;</a>",
         "Sa[v=ABC] T\"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\" Ea"},
        {"CDATA joins the text around it", "<a>x<![CDATA[<b>&amp;]]>y</a>", "Sa T\"x<b>&amp;y\" Ea"},
        {"comments and processing instructions anywhere",
         "<!-- c --><?pi data?><a><!-- in -->x<?pi?>y</a><!-- after -->\n", "Sa T\"x\" T\"y\" Ea"},
        {"CR LF and CR in text become LF", "<a>1\r\n2\r3\n4</a>", "Sa T\"1\n2\n3\n4\" Ea"},
        {"line ends and TABs in values become blanks", "<a v=\"1\r\n2\t3\n4\r5\"/>", "Sa[v=1 2 3 4 5]/ Ea"},
        {"a character reference keeps its character in a value", "<a v=\"1&#10;2&#9;\"/>",
         "Sa[v=1\n2\t]/ Ea"},
        {"default namespace", "<r xmlns=\"urn:k\"><g n=\"1\"/></r>",
         "S{urn:k}r[xmlns=urn:k] S{urn:k}g[n=1]/ E{urn:k}g E{urn:k}r"},
        {"prefixes, and an attribute without one has no namespace",
         "<k:r xmlns:k=\"urn:k\" k:a=\"1\" b=\"2\"><k:x/><y/></k:r>",
         "S{urn:k}r[{http://www.w3.org/2000/xmlns/}k=urn:k {urn:k}a=1 b=2] S{urn:k}x/ E{urn:k}x Sy/ Ey "
         "E{urn:k}r"},
        {"a declaration ends with its element", "<r><a xmlns=\"urn:a\"><b/></a><b/></r>",
         "Sr S{urn:a}a[xmlns=urn:a] S{urn:a}b/ E{urn:a}b E{urn:a}a Sb/ Eb Er"},
        {"an inner declaration hides an outer one",
         "<p:r xmlns:p=\"urn:1\"><p:a xmlns:p=\"urn:2\"/><p:b/></p:r>",
         "S{urn:1}r[{http://www.w3.org/2000/xmlns/}p=urn:1] "
         "S{urn:2}a[{http://www.w3.org/2000/xmlns/}p=urn:2]/ "
         "E{urn:2}a S{urn:1}b/ E{urn:1}b E{urn:1}r"},
        {"declarations with references, two levels hidden and uncovered again",
         "<p:r xmlns:p=\"urn:&#49;\"><p:a xmlns:p=\"urn:&amp;\"><p:b "
         "xmlns:p=\"urn:3\"/><p:c/></p:a><p:d/></p:r>",
         "S{urn:1}r[{http://www.w3.org/2000/xmlns/}p=urn:1] "
         "S{urn:&}a[{http://www.w3.org/2000/xmlns/}p=urn:&] "
         "S{urn:3}b[{http://www.w3.org/2000/xmlns/}p=urn:3]/ E{urn:3}b S{urn:&}c/ E{urn:&}c E{urn:&}a "
         "S{urn:1}d/ E{urn:1}d E{urn:1}r"},
        {"xmlns=\"\" undeclares the default", "<r xmlns=\"urn:k\"><a xmlns=\"\"/></r>",
         "S{urn:k}r[xmlns=urn:k] Sa[xmlns=]/ Ea E{urn:k}r"},
        {"the xml prefix is bound", "<a xml:lang=\"de\"/>",
         "Sa[{http://www.w3.org/XML/1998/namespace}lang=de]/ Ea"},
        {"names with dots, dashes, digits and umlauts",
         "<GroupAddress-Export><x.y_1 K\u00FCche=\"1\"/></GroupAddress-Export>",
         "SGroupAddress-Export Sx.y_1[K\u00FCche=1]/ Ex.y_1 EGroupAddress-Export"},
        {"nesting", "<a><b><c>t</c></b></a>", "Sa Sb Sc T\"t\" Ec Eb Ea"},
        {"]] and > alone are text", "<a>]] > ]</a>", "Sa T\"]] > ]\" Ea"},
    };
    for (const auto& c : cases)
        for (std::size_t block : Blocks)
            WithReader(c.document, block, [&](XmlReader& xml) {
                EXPECT_EQ(Tokens(xml), c.tokens) << c.what << ", block " << block;
            });
}

TEST(XmlReader, RefusesWhatIsNotWellFormed) {
    const struct {
        std::string document;
        std::string message; // behind "XML error in line ": the line, the column and the reason
    } cases[] = {
        {"", "1, column 1: no root element"},
        {"  <!-- only a comment -->\n", "2, column 1: no root element"},
        {"<a>", "1, column 4: the document ends inside <a>"},
        {"<a><b></a>", "1, column 7: end tag </a> does not match <b>"},
        {"<a></a><b/>", "1, column 8: a second root element"},
        {"<a/>x", "1, column 5: content after the root element"},
        {"x<a/>", "1, column 1: content before the root element"},
        {"</a>", "1, column 1: content before the root element"},
        {"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>",
         "1, column 1: DOCTYPE declarations are not read (no entities are expanded)"},
        {"<a><!DOCTYPE a></a>", "1, column 4: DOCTYPE declarations are not read (no entities are expanded)"},
        {"<a>&e;</a>", "1, column 4: undefined entity &e; (only the five predefined ones are read)"},
        {"<a>a & b</a>", "1, column 6: \"&\" that starts no reference (write &amp;)"},
        {"<a>&amp</a>", "1, column 4: \"&\" that starts no reference (write &amp;)"},
        {"<a>&#0;</a>", "1, column 4: character reference to a character XML does not allow"},
        {"<a>&#xD800;</a>", "1, column 4: character reference to a character XML does not allow"},
        {"<a>&#99999999999999999999;</a>",
         "1, column 4: character reference to a character XML does not allow"},
        {"<a>&#x;</a>", "1, column 4: malformed character reference"},
        {"<a>&#12</a>", "1, column 4: malformed character reference"},
        {"<a x=\"1\" x=\"2\"/>", "1, column 1: attribute x given twice"},
        {"<a x=\"1\"y=\"2\"/>", "1, column 9: attributes must be separated by blanks"},
        {"<a x=1/>", "1, column 4: attribute value of x not in quotes"},
        {"<a x/>", "1, column 4: attribute x without a value"},
        {"<a x=\"<\"/>", "1, column 7: \"<\" in an attribute value"},
        {"<a x=\"1/>", "1, column 4: attribute value of x not closed"},
        {"<a x=\"1\"", "1, column 1: start tag <a> not closed"},
        {"<a>]]></a>", "1, column 4: \"]]>\" in text"},
        {"<a><![CDATA[x</a>", "1, column 4: CDATA section without its end \"]]>\""},
        {"<a><!-- x -- y --></a>", "1, column 4: \"--\" inside a comment"},
        {"<a><!-- x </a>", "1, column 4: comment without its end \"-->\""},
        {"<a><? x?></a>", "1, column 4: processing instruction without a target"},
        {"<a><?pi x</a>", "1, column 4: processing instruction without its end \"?>\""},
        {"\n<?xml version=\"1.0\"?><a/>", "2, column 1: XML declaration not at the start of the document"},
        {"<a><p:b/></a>", "1, column 4: undeclared namespace prefix \"p\""},
        {"<a p:x=\"1\"/>", "1, column 1: undeclared namespace prefix \"p\""},
        {"<a:/>", "1, column 1: malformed element name <a:>"},
        {"<a>\x01</a>", "1, column 4: control character in text"},
        {std::string("<a>x\0</a>", 9), "1, column 5: control character in text"},
        {"<a x=\"\x02\"/>", "1, column 7: control character in an attribute value"},
        {"<a><!ELEMENT a></a>", "1, column 4: unknown markup declaration"},
        {"< a/>", "1, column 1: malformed start tag"},
        {"<a></ a>", "1, column 4: malformed end tag"},
        // Columns count characters, and the byte-order mark is none.
        {"\xEF\xBB\xBF<a>\r\n\xC3\xA4\xC3\xB6</b>", "2, column 3: end tag </b> does not match <a>"},
        {"<a>\r\r\n\n</b>", "4, column 1: end tag </b> does not match <a>"},
    };
    for (const auto& c : cases)
        for (std::size_t block : Blocks)
            WithReader(c.document, block, [&](XmlReader& xml) {
                try {
                    while (xml.Next() != XmlReader::Token::EndOfDocument) {
                    }
                    ADD_FAILURE() << "no error for " << testing::PrintToString(c.document);
                } catch (const XmlError& e) {
                    EXPECT_EQ(e.Message(), "XML error in line " + c.message)
                        << testing::PrintToString(c.document) << ", block " << block;
                }
            });
}

TEST(XmlReader, LinesDepthAndSkippingElements) {
    const std::string document = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n" // line 1
                                 "<r>\r\n"                                 // 2
                                 "  <g>\n"                                 // 3
                                 "    <a n='1'/>\r"                        // 4
                                 "    <a n='2'>\n"                         // 5
                                 "      <x><y/>text</x>\n"                 // 6
                                 "    </a>\n"                              // 7
                                 "  </g><a n='3'/>\n"                      // 8
                                 "</r>";                                   // 9
    for (std::size_t block : Blocks)
        WithReader(document, block, [&](XmlReader& xml) {
            SCOPED_TRACE(block);
            std::vector<std::string> seen;
            while (xml.Next() != XmlReader::Token::EndOfDocument) {
                if (xml.Current() == XmlReader::Token::Text)
                    continue;
                std::string what = (xml.Current() == XmlReader::Token::StartElement ? "S" : "E") +
                                   std::string(xml.LocalName()) + "@" + std::to_string(xml.Line()) + ":" +
                                   std::to_string(xml.Column()) + "/" + std::to_string(xml.Depth());
                seen.push_back(what);
                if (xml.Current() == XmlReader::Token::StartElement && xml.LocalName() == "a" &&
                    xml.AttributeValue("n") == "2") {
                    xml.SkipElement();
                    ASSERT_EQ(xml.Current(), XmlReader::Token::EndElement);
                    seen.push_back("skipped to E" + std::string(xml.LocalName()) + "@" +
                                   std::to_string(xml.Line()));
                }
            }
            EXPECT_EQ(seen, (std::vector<std::string>{"Sr@2:1/1", "Sg@3:3/2", "Sa@4:5/3", "Ea@4:5/3",
                                                      "Sa@5:5/3", "skipped to Ea@7", "Eg@8:3/2", "Sa@8:7/2",
                                                      "Ea@8:7/2", "Er@9:1/1"}));
            EXPECT_EQ(xml.Depth(), 0);
            EXPECT_EQ(xml.Next(), XmlReader::Token::EndOfDocument);
        });
}

TEST(XmlReader, AttributeValueIsByUnprefixedName) {
    XmlReader xml("<a k:Name=\"p\" Name=\"n\" xmlns:k=\"urn:k\" Empty=\"\"/>");
    ASSERT_EQ(xml.Next(), XmlReader::Token::StartElement);
    EXPECT_EQ(xml.AttributeValue("Name"), "n");
    EXPECT_EQ(xml.AttributeValue("Empty"), "");
    EXPECT_EQ(xml.AttributeValue("Missing"), std::nullopt);
    EXPECT_EQ(xml.AttributeValue("name"), std::nullopt);
}

TEST(XmlReader, ManyAttributesAndDeepNestingStayLinear) {
    // Thousands of attributes are checked for duplicates without comparing every pair, and deep nesting
    // uses no recursion: both finish at once and the duplicate is still found.
    std::string tag = "<a";
    for (int i = 0; i < 20000; ++i)
        tag += " a" + std::to_string(i) + "=\"\"";
    const std::string manyDocument = tag + "/>";
    XmlReader many(manyDocument);
    ASSERT_EQ(many.Next(), XmlReader::Token::StartElement);
    EXPECT_EQ(many.Attributes().size(), 20000u);
    EXPECT_EQ(many.Attributes().back().LocalName, "a19999");
    const std::string twiceDocument = tag + " a19999=\"\"/>";
    XmlReader twice(twiceDocument);
    EXPECT_THROW(twice.Next(), XmlError);

    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    for (int i = 0; i < 100000; ++i)
        deep += "</a>";
    XmlReader xml(deep);
    int maxDepth = 0;
    while (xml.Next() != XmlReader::Token::EndOfDocument)
        maxDepth = std::max(maxDepth, xml.Depth());
    EXPECT_EQ(maxDepth, 100000);
}
