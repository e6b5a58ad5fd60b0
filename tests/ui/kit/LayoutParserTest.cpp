// The layout format: what it accepts, what it refuses, and that no input, however
// broken, crashes the parser or yields a half-checked tree.
#include <gtest/gtest.h>

#include <QFile>

#include <filesystem>
#include <random>

#include "support/SkinFolder.h"
#include "ui/kit/ImageSpec.h"
#include "ui/kit/LayoutParser.h"

using halvern::kit::ImageSpec;
using halvern::kit::LayoutError;
using halvern::kit::LayoutNode;
using halvern::kit::LayoutParser;
using halvern::kit::ParseImageSpec;

namespace {

std::string ErrorOf(const char* xml) {
    auto r = LayoutParser::Parse(QByteArray(xml), QStringLiteral("t.xml"));
    if (auto* e = std::get_if<LayoutError>(&r)) return e->message.toStdString();
    return {};
}

QByteArray ReadSkinFile(const std::string& name) {
    QFile f(QString::fromStdString((halvern::test::SourceSkinFolder() / name).string()));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

}  // namespace

TEST(LayoutParser, ReadsTheTreeWithAttributesInOrder) {
    auto r = LayoutParser::Parse(R"(<Window size="400,200" caption="30">
        <Vertical name="col" inset="1,2,3,4" childpadding="5" virtualwnd="Page">
          <Button name="b" text="Go" bkimage="res='skins/x.png' dest='1,2,11,12'"/>
          <Combo name="c" selected="1"><Item text="a"/><Item textkey="k_text"/></Combo>
        </Vertical>
      </Window>)",
                                 QStringLiteral("t.xml"));
    ASSERT_TRUE(std::holds_alternative<LayoutNode>(r)) << std::get<LayoutError>(r).message.toStdString();
    const LayoutNode& root = std::get<LayoutNode>(r);
    EXPECT_EQ(root.element, u"Window");
    ASSERT_EQ(root.children.size(), 1u);
    const LayoutNode& col = root.children[0];
    EXPECT_EQ(col.attribute(QStringLiteral("virtualwnd")), QStringLiteral("Page"));
    ASSERT_EQ(col.children.size(), 2u);
    EXPECT_EQ(col.children[0].attributes[0].first, u"name");
    EXPECT_EQ(col.children[1].children[1].attribute(QStringLiteral("textkey")), QStringLiteral("k_text"));
    EXPECT_EQ(col.children[1].line, 4);
}

TEST(LayoutParser, RefusesWhatTheFormatDoesNotKnowWithFileAndLine) {
    EXPECT_EQ(ErrorOf("<Window>\n<Buton/></Window>"), "t.xml:2: unknown element <Buton>");
    EXPECT_EQ(ErrorOf("<Window><Button colour='x'/></Window>"), "t.xml:1: unknown attribute 'colour' on <Button>");
    EXPECT_NE(ErrorOf("<Window><Button width='wide'/></Window>").find("bad value 'wide'"), std::string::npos);
    EXPECT_NE(ErrorOf("<Window><Button name='a' name='b'/></Window>"), "");
    EXPECT_NE(ErrorOf("<Window><Label>text</Label></Window>").find("unexpected text in <Label>"), std::string::npos);
    EXPECT_NE(ErrorOf("<Window><Label><Fill/></Label></Window>").find("cannot hold"), std::string::npos);
    EXPECT_NE(ErrorOf("<Window>stray</Window>").find("unexpected text"), std::string::npos);
    EXPECT_NE(ErrorOf("<Window><Combo><Button/></Combo></Window>").find("holds only <Item>"), std::string::npos);
    EXPECT_NE(ErrorOf("<Window><Item/></Window>").find("cannot hold <Item>"), std::string::npos);
    // Items hold items only as a menu's submenus.
    EXPECT_EQ(ErrorOf("<Menu><Item name='g'><Item name='a'><Item name='b'/></Item></Item></Menu>"), "");
    EXPECT_NE(ErrorOf("<Window><Combo><Item><Item/></Item></Combo></Window>").find("cannot hold <Item>"),
              std::string::npos);
    EXPECT_NE(ErrorOf("<Menu><Item><Button/></Item></Menu>").find("cannot hold <Button>"), std::string::npos);
    EXPECT_NE(ErrorOf("<Window/><Window/>"), "");
    EXPECT_NE(ErrorOf(""), "");
    EXPECT_NE(ErrorOf("<Window><Vertical>"), "");
    EXPECT_NE(ErrorOf("<Window><Button selected='maybe'/></Window>"), "");
    EXPECT_NE(ErrorOf("<Window><Button bkcolor='red'/></Window>"), "");
    EXPECT_NE(ErrorOf("<Window><Vertical inset='1,2,3'/></Window>"), "");
    EXPECT_NE(ErrorOf("<Window><Button name='bad&lt;name'/></Window>"), "");
}

TEST(LayoutParser, RefusesEntityExpansionAndOversizedTrees) {
    EXPECT_NE(ErrorOf("<!DOCTYPE x [<!ENTITY a 'aaaa'>]><Window><Label text='&a;'/></Window>")
                  .find("document type declarations"),
              std::string::npos);

    std::string deep;
    for (int i = 0; i < 70; ++i) deep += "<Vertical>";
    for (int i = 0; i < 70; ++i) deep += "</Vertical>";
    EXPECT_NE(ErrorOf(("<Window>" + deep + "</Window>").c_str()).find("nested too deeply"), std::string::npos);

    std::string wide = "<Window>";
    for (int i = 0; i < LayoutParser::kMaxNodes + 1; ++i) wide += "<Fill/>";
    wide += "</Window>";
    EXPECT_NE(ErrorOf(wide.c_str()).find("too many elements"), std::string::npos);

    QByteArray huge(LayoutParser::kMaxFileBytes + 1, ' ');
    auto r = LayoutParser::Parse(huge, QStringLiteral("big.xml"));
    ASSERT_TRUE(std::holds_alternative<LayoutError>(r));
}

TEST(LayoutParser, ValueForms) {
    EXPECT_EQ(LayoutParser::ParseColor(QStringLiteral("#FF8000")), QColor(0xFF, 0x80, 0x00));
    EXPECT_EQ(LayoutParser::ParseColor(QStringLiteral("#80FF8000"))->alpha(), 0x80);
    EXPECT_EQ(LayoutParser::ParseColor(QStringLiteral("0xFF00FF00")), QColor(0, 0xFF, 0));
    EXPECT_FALSE(LayoutParser::ParseColor(QStringLiteral("#12345")));
    EXPECT_FALSE(LayoutParser::ParseColor(QStringLiteral("#GG0000")));
    EXPECT_EQ(LayoutParser::ParseFour(QStringLiteral(" 1, 2,3 ,4")), QMargins(1, 2, 3, 4));
    EXPECT_FALSE(LayoutParser::ParseInt(QStringLiteral("99999999999")));
    EXPECT_FALSE(LayoutParser::ParseSize(QStringLiteral("-1,5")));
}

TEST(ImageSpec, BareFileAndResDestForms) {
    EXPECT_EQ(ParseImageSpec(QStringLiteral("skins/logo.png")), (ImageSpec{QStringLiteral("skins/logo.png"), {}}));
    EXPECT_EQ(ParseImageSpec(QStringLiteral("res='skins/mouse.png' dest='2,2,28,28'")),
              (ImageSpec{QStringLiteral("skins/mouse.png"), QMargins(2, 2, 28, 28)}));
    EXPECT_EQ(ParseImageSpec(QStringLiteral("  res='a.png'  ")), (ImageSpec{QStringLiteral("a.png"), {}}));
    EXPECT_EQ(ParseImageSpec(QString()), ImageSpec{});
    EXPECT_EQ(ParseImageSpec(QStringLiteral("res = 'a.png'\tdest= '0,0,1,1'")),
              (ImageSpec{QStringLiteral("a.png"), QMargins(0, 0, 1, 1)}));
}

TEST(ImageSpec, RefusesPathsOutOfTheSkinAndMalformedForms) {
    for (const char* bad :
         {"/etc/passwd", "../secret.png", "skins/../../x.png", "res='/abs.png'", "res='skins/x.png' dest='1,2,3'",
          "res='a.png' dest='10,10,5,5'", "dest='1,1,2,2'", "res='a.png' res='b.png'", "res='a.png' colour='x'",
          "res='a.png", "C:/x.png", "='a.png'", "RES='a.png'", "res='a.png' =", "res=a.png"})
        EXPECT_FALSE(ParseImageSpec(QString::fromLatin1(bad))) << bad;
}

TEST(LayoutParser, EverySkinFileParses) {
    for (const char* file : {"main.xml", "msg.xml", "DPImsg.xml", "traymenu.xml", "shortcut.xml",
                             "MS/MS_1/selectmacro.xml", "MS/MS_1/ms_1_menu.xml"}) {
        auto r = LayoutParser::Parse(ReadSkinFile(file), QString::fromLatin1(file));
        EXPECT_TRUE(std::holds_alternative<LayoutNode>(r)) << std::get<LayoutError>(r).message.toStdString();
    }
}

// Every prefix of every skin file, and thousands of corrupted copies, either parse or
// give an error; none crashes (the sanitizer builds make this a memory check too).
TEST(LayoutParser, TruncatedAndCorruptedFilesNeverCrash) {
    std::mt19937 random(20240607);
    int errors = 0;
    for (const char* file : {"main.xml", "msg.xml", "DPImsg.xml", "traymenu.xml"}) {
        const QByteArray good = ReadSkinFile(file);
        for (qsizetype cut = 0; cut < good.size(); cut += 7) {
            auto r = LayoutParser::Parse(good.left(cut), QString::fromLatin1(file));
            errors += std::holds_alternative<LayoutError>(r) ? 1 : 0;
        }
        for (int round = 0; round < 400; ++round) {
            QByteArray bad = good;
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int f = 0; f < flips; ++f)
                bad[static_cast<qsizetype>(random() % static_cast<unsigned>(bad.size()))] =
                    static_cast<char>(random() % 256);
            auto r = LayoutParser::Parse(bad, QString::fromLatin1(file));
            if (auto* e = std::get_if<LayoutError>(&r)) {
                EXPECT_TRUE(e->message.startsWith(QString::fromLatin1(file)));
            }
        }
    }
    EXPECT_GT(errors, 0);
}
