#include "base/text_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/pack_archive.h"
#include "support/pack_image.h"
#include "support/temp_folder.h"

void PrintTo(const TextEntry& e, std::ostream* os) { *os << "{" << e.key << ", " << e.text << "}"; }

namespace {

std::vector<TextEntry> ParseText(const std::string& text) {
    TextTable table;
    table.Parse(text);
    return table.Entries();
}

TEST(TextTable, ParsesPairsOfFields) {
    const auto entries = ParseText("3 texts\nLOADING }\nLoading... }\nNEW GAME\n}\nNew\ngame }\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (TextEntry{"LOADING", "Loading..."}));
    // A field may span lines; its last character (here the line end) goes.
    EXPECT_EQ(entries[1], (TextEntry{"NEW GAME", "New\ngame"}));
}

TEST(TextTable, LastPairNeedsALineEnd) {
    EXPECT_EQ(ParseText("1\nA }\nfirst }\nB }\nsecond }").size(), 1u);
    EXPECT_EQ(ParseText("1\nA }\nfirst }\nB }\nsecond }\n").size(), 2u);
    // Trailing text after the '}' is skipped with the line.
    EXPECT_EQ(ParseText("1\nA } comment\nfirst }   \n").size(), 1u);
}

TEST(TextTable, EmptyFieldsAndOneCharacterFields) {
    const auto entries = ParseText("1\n}\nx}\nK }\n}\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (TextEntry{"", ""}));
    EXPECT_EQ(entries[1], (TextEntry{"K", ""}));
}

TEST(TextTable, LeadingNumber) {
    EXPECT_TRUE(ParseText("LOADING }\nLoading }\n").empty());
    EXPECT_TRUE(ParseText("").empty());
    EXPECT_TRUE(ParseText("12").empty()); // nothing after the number
    // White space and line ends before the number are skipped.
    EXPECT_EQ(ParseText("\n\n  \t7\nA }\nB }\n").size(), 1u);
    // A number too large for 32 bits fails the read.
    EXPECT_TRUE(ParseText("99999999999\nA }\nB }\n").empty());
}

TEST(TextTable, CrLfFileEqualsLfTwin) {
    const std::string lf = "2\nLOADING }\nLoading }\nMULTI\n}\nline one\nline two }\n";
    std::string crlf;
    for (char c : lf) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    EXPECT_EQ(ParseText(crlf), ParseText(lf));
    EXPECT_EQ(ParseText(crlf)[1].key, "MULTI");
    // A CR on its own stays.
    EXPECT_EQ(ParseText("1\nA\r}\nB }\n")[0].key, "A");
    EXPECT_EQ(ParseText("1\nA\rx}\nB }\n")[0].key, "A\r");
}

TEST(TextTable, FieldLengthLimit) {
    const std::string fits(4095, 'k');
    auto entries = ParseText("1\n" + fits + "}\ntext }\nA }\nB }\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].key.size(), 4094u);
    // One more ends the load.
    entries = ParseText("1\nA }\nB }\n" + fits + "k}\ntext }\nC }\nD }\n");
    EXPECT_EQ(entries.size(), 1u);
}

TEST(TextTable, LookupFirstMatchAndMissingKeys) {
    TextTable table;
    table.Parse("1\nKEY }\nfirst }\nKEY }\nsecond }\n");
    EXPECT_EQ(table.Lookup("KEY"), "first");
    EXPECT_EQ(table.Lookup("key"), "key");
    EXPECT_EQ(table.Entries().size(), 3u);
    EXPECT_EQ(table.Lookup("key"), "key");
    EXPECT_EQ(table.Entries().size(), 3u);
    table.Clear();
    EXPECT_TRUE(table.Entries().empty());
}

TEST(TextTable, LoadFromFilesAndPack) {
    TempFolder tmp;
    tmp.Put("Data/text.txt", "1\r\nLOADING }\r\nLoading }\r\n");
    ASSERT_TRUE(CreateTextTable());
    TextTable* table = TextTable::Instance();
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(table->Load(tmp.Path() + "\\data\\TEXT.TXT"));
    EXPECT_EQ(table->Lookup("LOADING"), "Loading");
    EXPECT_EQ(table->Entries().size(), 1u);

    EXPECT_FALSE(table->Load(tmp.Path() + "/Data/missing.txt"));
    EXPECT_TRUE(table->Entries().empty());

    // The same name served by a current pack archive.
    const std::string pack = BuildPackImage({{"data\\text.txt", "1\nLOADING }\nPacked }\n"}});
    tmp.Put("pack.csa", pack);
    PackArchive* archive = CreatePackArchive((tmp / "pack.csa").c_str(), nullptr);
    ASSERT_NE(archive, nullptr);
    SetCurrentFileSystem(archive);
    EXPECT_TRUE(table->Load("Data/Text.txt"));
    DeletePackArchive(archive);
    EXPECT_EQ(table->Lookup("LOADING"), "Packed");
    EXPECT_EQ(table->FileName(), "Data/Text.txt");
}

// The process-wide table: CreateTextTable keeps the one there is, and after
// DestroyTextTable there is none until the next one, which starts empty.
TEST(TextTable, ProcessTableIsMadeOnceAndDroppedWhole) {
    ASSERT_TRUE(CreateTextTable());
    TextTable* first = TextTable::Instance();
    ASSERT_NE(first, nullptr);
    first->Parse("1\nKEY }\nText }\n");
    ASSERT_TRUE(CreateTextTable());
    EXPECT_EQ(TextTable::Instance(), first);
    EXPECT_EQ(TextTable::Instance()->Lookup("KEY"), "Text");

    DestroyTextTable();
    EXPECT_EQ(TextTable::Instance(), nullptr);
    DestroyTextTable();
    EXPECT_EQ(TextTable::Instance(), nullptr);
    ASSERT_TRUE(CreateTextTable());
    ASSERT_NE(TextTable::Instance(), nullptr);
    EXPECT_TRUE(TextTable::Instance()->Entries().empty());
    EXPECT_EQ(TextTable::Instance()->Lookup("KEY"), "KEY");
}

} // namespace
