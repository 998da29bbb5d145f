// The ENML 2 DTD reader and checker against the DTD Evernote publishes: what the service
// accepts passes, and each kind of fault is named; so is each reason a content is not
// well-formed XML, with its line and column.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "testbed/enml_dtd.h"
#include "testbed/xml_faults.h"

namespace {

// A small well-formed document (double-quoted attributes, no entities, no comments) as
// a tree: enough for the cases below.
EnmlTree TreeOf(const std::string& xml) {
  EnmlTree tree;
  int open = -1;
  for (size_t at = 0; at < xml.size();) {
    if (xml[at] != '<') {
      size_t end = xml.find('<', at);
      tree.Add(open, "");
      at = end;
      continue;
    }
    size_t end = xml.find('>', at);
    std::string tag = xml.substr(at + 1, end - at - 1);
    at = end + 1;
    if (tag[0] == '/') {
      open = tree.nodes[open].parent;
      continue;
    }
    bool closed = tag.back() == '/';
    if (closed) tag.pop_back();
    std::istringstream parts(tag);
    std::string name, attribute;
    parts >> name;
    std::vector<std::pair<std::string, std::string>> attributes;
    while (parts >> attribute) {
      size_t equals = attribute.find('=');
      attributes.emplace_back(attribute.substr(0, equals),
                              attribute.substr(equals + 2, attribute.size() - equals - 3));
    }
    int element = tree.Add(open, name, attributes);
    if (!closed) open = element;
  }
  return tree;
}

class EnmlDtdTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef Y2E_ENEX_DTD_DIR
    std::ifstream file(Y2E_ENEX_DTD_DIR "/enml2.dtd", std::ios::binary);
    if (!file) GTEST_SKIP() << "no ../shared/enex-dtd/enml2.dtd beside the checkout";
    std::stringstream text;
    text << file.rdbuf();
    std::string problem;
    auto read = ReadEnmlDtd(text.str(), problem);
    ASSERT_TRUE(read) << problem;
    dtd = *read;
#else
    GTEST_SKIP() << "built without the DTD folder";
#endif
  }
  EnmlDtd dtd;
};

TEST_F(EnmlDtdTest, ReadsTheDeclarationsThroughTheParameterEntities) {
  EXPECT_EQ(dtd.elements.size(), 64u);
  const EnmlElementRule& note = dtd.elements.at("en-note");
  EXPECT_EQ(note.content, EnmlElementRule::Content::kMixed);
  EXPECT_EQ(note.children.size(), 63u) << "every element but en-note itself";
  EXPECT_EQ(note.attributes.count("xml:lang"), 1u) << "%attrs; through %i18n;";
  EXPECT_EQ(note.attributes.at("xmlns").defaultValue, "http://xml.evernote.com/pub/enml2.dtd");
  EXPECT_EQ(dtd.elements.at("a").attributes.count("tabindex"), 1u) << "%focus;";
  EXPECT_EQ(dtd.elements.at("en-todo").content, EnmlElementRule::Content::kEmpty);
  EXPECT_EQ(dtd.elements.at("en-todo").attributes.at("checked").enumeration,
            (std::vector<std::string>{"true", "false"}));
  EXPECT_TRUE(dtd.elements.at("en-crypt").children.empty()) << "(#PCDATA)";
  EXPECT_EQ(dtd.elements.at("en-crypt").attributes.at("cipher").defaultValue, "RC2");
}

TEST_F(EnmlDtdTest, NamesTheFirstFault) {
  const char kHash[] = "hash=\"9dd4e461268c8034f5c8564e155c67a6\"";
  struct Case {
    std::string content;
    const char* error;  // null: valid
  } cases[] = {
      {"<en-note><p>a <a href=\"https://x.org/\" title=\"t\">b</a></p><br/></en-note>", nullptr},
      {"<en-note xmlns=\"http://xml.evernote.com/pub/enml2.dtd\" style=\"x\"><div align=\"left\">"
       "<font color=\"orange\">c</font><en-todo checked=\"true\"/><en-todo/></div></en-note>",
       nullptr},
      {"<en-note><en-media type=\"image/png\" " + std::string(kHash) + "/><en-crypt>x</en-crypt>"
       "<pre xml:space=\"preserve\">p</pre></en-note>", nullptr},
      {"<en-note><P>a</P></en-note>", "Element P is not declared at en-note/P"},
      {"<en-note><p/><p><a HREF=\"x\">l</a></p></en-note>",
       "Attribute HREF is not declared for element a at en-note/p[2]/a"},
      {"<en-note><div id=\"d\">x</div></en-note>",
       "Attribute id is not declared for element div at en-note/div"},
      {"<en-note><en-todo checked=\"yes\"/></en-note>",
       "Attribute checked of element en-todo is \"yes\", not one of (true|false) at en-note/en-todo"},
      {"<en-note><en-media type=\"image/png\"/></en-note>",
       "Attribute hash is required for element en-media at en-note/en-media"},
      {"<en-note><en-todo>done</en-todo></en-note>",
       "Element en-todo is declared EMPTY but has content at en-note/en-todo/text()"},
      {"<en-note><en-crypt><b>x</b></en-crypt></en-note>",
       "Element b is not allowed in element en-crypt at en-note/en-crypt/b"},
      {"<en-note><span><blink>x</blink></span></en-note>",
       "Element blink is not declared at en-note/span/blink"},
      {"<en-note><pre xml:space=\"default\">p</pre></en-note>",
       "Attribute xml:space of element pre is \"default\", not one of (preserve) at en-note/pre"},
      {"<en-note xmlns=\"http://www.w3.org/1999/xhtml\">x</en-note>",
       "Attribute xmlns of element en-note must be \"http://xml.evernote.com/pub/enml2.dtd\", "
       "not \"http://www.w3.org/1999/xhtml\" at en-note"},
      {"<en-note><en-note/></en-note>", "Element en-note is not allowed in element en-note at "
                                        "en-note/en-note"},
      {"<html><p>x</p></html>", "The root element is html, not en-note"},
  };
  for (const Case& c : cases) {
    auto error = FirstEnmlError(dtd, TreeOf(c.content));
    EXPECT_EQ(error.value_or("(valid)"), c.error ? c.error : "(valid)") << c.content;
  }
}

// A "%" that starts no reference stays as it is; a default keeps it.
TEST(EnmlDtdReaderTest, PercentSignInADefaultIsNoReference) {
  std::string problem;
  auto dtd = ReadEnmlDtd("<!ENTITY % w \"width CDATA '100%'\"><!ELEMENT t EMPTY>"
                         "<!ATTLIST t %w; height CDATA \"50%; x\">", problem);
  ASSERT_TRUE(dtd) << problem;
  EXPECT_EQ(dtd->elements.at("t").attributes.at("width").defaultValue, "100%");
  EXPECT_EQ(dtd->elements.at("t").attributes.at("height").defaultValue, "50%; x");
}

TEST(EnmlDtdReaderTest, RefusesAContentModelItCannotCheck) {
  std::string problem;
  EXPECT_FALSE(ReadEnmlDtd("<!ELEMENT list (head, item+)>", problem));
  EXPECT_EQ(problem, "the content model of element list is not one this reader knows");
}

TEST(EnmlDtdReaderTest, DeepNestingIsCheckedWithoutRecursion) {
  EnmlDtd dtd;
  std::string problem;
  dtd = *ReadEnmlDtd("<!ELEMENT en-note (#PCDATA|b)*><!ELEMENT b (#PCDATA|b)*>", problem);
  EnmlTree tree;
  int parent = tree.Add(-1, "en-note");
  for (int i = 0; i < 200000; ++i) parent = tree.Add(parent, "b");
  EXPECT_EQ(FirstEnmlError(dtd, tree), std::nullopt);
  tree.Add(parent, "i");
  EXPECT_EQ(FirstEnmlError(dtd, tree).value_or(""),
            "Element i is not declared at .../b/b/b/b/b/b/b/b/b/b/b/i");
}

TEST(FirstXmlFault, NamesTheReasonAndWhere) {
  const std::pair<const char*, const char*> cases[] = {
      {"<en-note>a<br/>b &amp; &#233; <![CDATA[<x>]]><!-- c --></en-note>", nullptr},
      {"<?xml version=\"1.0\"?>\n<en-note\n a='1' b=\"2\"/>\n", nullptr},
      {"<en-note>a<br>b</en-note>", "end tag </en-note> does not match <br> at line 1, column 16"},
      {"<en-note>\n  x</b></en-note>", "end tag </b> does not match <en-note> at line 2, column 4"},
      {"<en-note>a &bull; b</en-note>", "entity \"&bull;\" is not defined at line 1, column 12"},
      {"<en-note>a & b</en-note>", "\"&\" does not begin a reference at line 1, column 12"},
      {"<en-note>&#1;</en-note>", "\"&#1;\" names a character XML does not allow at line 1, column 10"},
      {"<en-note>&#X41;</en-note>", "\"&#X41;\" is no character reference at line 1, column 10"},
      {"<en-note>a]]>b</en-note>", "\"]]>\" in text at line 1, column 11"},
      {"<en-note>\x01</en-note>", "a character XML does not allow (U+0001) at line 1, column 10"},
      {"<en-note>\xC3\xA9<p a=b/></en-note>",
       "the value of attribute a is not in quotes at line 1, column 14"},
      {"<en-note><p a=\"1\" a=\"2\"/></en-note>", "attribute a is repeated at line 1, column 19"},
      {"<en-note><p a=\"<\"/></en-note>", "\"<\" in the value of attribute a at line 1, column 16"},
      {"<en-note><p a=\"&x;\"/></en-note>", "entity \"&x;\" is not defined at line 1, column 16"},
      {"<en-note>< p</en-note>", "\"<\" does not begin a tag at line 1, column 10"},
      {"<en-note><!-- a -- b --></en-note>", "\"--\" inside a comment at line 1, column 17"},
      {"<en-note><p>", "element <p> is not closed at line 1, column 10"},
      {"<en-note/><en-note/>", "a second root element at line 1, column 11"},
      {"x<en-note/>", "text outside the root element at line 1, column 1"},
      {"", "there is no element at line 1, column 1"},
  };
  for (const auto& [xml, fault] : cases)
    EXPECT_EQ(FirstXmlFault(xml).value_or("(none)"), fault ? fault : "(none)") << xml;
}

}  // namespace
