#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/MemoryManager.h"
#include "io/IniFile.h"

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("HV_TEST_TMP");
        std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string pattern = (root / "ini-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::string WriteIni(const std::string& text) {
        const std::string path = (m_folder / "test.ini").string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::filesystem::path m_folder;
};

TEST_F(IniFileTest, ParsesSectionsKeysValuesAndComments) {
    const struct {
        const char* name;
        std::string text;
        const char* section;
        const char* key;
        const char* value;  // null: no such key
    } cases[] = {
        {"comment after a value", "[s]\nk = v ; note\n", "s", "k", "v"},
        {"quoted value keeps inner blanks", "[s]\nk=\" a b \"\n", "s", "k", " a b"},
        {"single quotes, rest of line ignored", "[s]\r\nk='q' tail\r\n", "s", "k", "q"},
        {"key with nothing after =", "[s]\nk=\nj=2\n", "s", "k", nullptr},
        {"next key after a dropped one", "[s]\nk=\nj=2\n", "s", "j", "2"},
        {"key whose value is a comment", "[s]\nk= ; only\nj=3\n", "s", "k", nullptr},
        {"comment line with LF ends", "[s]\n# note\nab=1\n", "s", "ab", "1"},
        {"repeated section hides the first", "[s]\nk=1\n[s]\nm=2\n", "s", "k", nullptr},
        {"repeated key: the last wins", "[s]\nk=1\nk=2\n", "s", "k", "2"},
        {"byte order mark", "\xEF\xBB\xBF[s]\nk=1\n", "s", "k", "1"},
        {"names compare with case", "[S]\nK=1\n", "s", "k", nullptr},
        {"keys before the first section are skipped", "k=1\n[s]\nj=2\n", "s", "k", nullptr},
        {"unclosed section ends the parse", "[s]\nk=1\n[t\nj=2\n", "s", "k", "1"},
        {"value at the end of the text", "[s]\nk=end", "s", "k", "end"},
        {"trailing blanks and comment marks before =", "[s]\nkey \t=x\n", "s", "key", "x"},
    };
    for (const auto& c : cases) {
        IniFile ini(WriteIni(c.text).c_str(), false);
        const char* value = ini.FindKey(c.section, c.key);
        if (c.value == nullptr)
            EXPECT_EQ(value, nullptr) << c.name;
        else
            EXPECT_STREQ(value, c.value) << c.name;
    }
}

TEST_F(IniFileTest, ReadsIntegersAndTextsWithDefaults) {
    IniFile ini(WriteIni("[n]\nneg=-5\nword=abc\nlead=12px\n").c_str(), false);
    EXPECT_EQ(ini.ReadInt("n", "neg", 9), -5);
    EXPECT_EQ(ini.ReadInt("n", "word", 9), 0);
    EXPECT_EQ(ini.ReadInt("n", "lead", 9), 12);
    EXPECT_EQ(ini.ReadInt("n", "missing", 9), 9);
    EXPECT_STREQ(ini.ReadString("n", "word", "d"), "abc");
    EXPECT_STREQ(ini.ReadString("x", "word", "d"), "d");
    EXPECT_NE(ini.FindSection("n"), nullptr);
}

TEST_F(IniFileTest, MissingFileIsEmpty) {
    IniFile ini((m_folder / "absent.ini").string().c_str(), false);
    EXPECT_EQ(ini.FindSection("s"), nullptr);
    EXPECT_EQ(ini.FindKey("s", "k"), nullptr);
}

}  // namespace

namespace {

std::string Written(IniFile& ini) {
    int32_t length = -1;
    char* text = ini.Write(&length);
    std::string written(text, static_cast<size_t>(length));
    EXPECT_EQ(std::strlen(text), static_cast<size_t>(length));
    MEM_FREE(text);
    return written;
}

TEST(IniFileText, WritesNewestFirstWithQuotedValues) {
    std::unique_ptr<IniFile> ini(IniFile::OpenFromString("[a]\nx=1\ny = two words ; c\n[b]\nz='q'\n"));
    EXPECT_EQ(Written(*ini), "[b]\r\nz=\"q\"\r\n[a]\r\ny=\"two words\"\r\nx=\"1\"\r\n")
        << "reading back reverses sections and keys";
    EXPECT_FALSE(ini->IsDirty());

    EXPECT_TRUE(ini->WriteString("a", "x", "changed"));
    EXPECT_TRUE(ini->WriteString("new", "k", nullptr));
    EXPECT_TRUE(ini->WriteString("a", "w", "he said \"hi\""));
    EXPECT_FALSE(ini->WriteString(nullptr, "k", "v"));
    EXPECT_FALSE(ini->WriteString("a", nullptr, "v"));
    EXPECT_TRUE(ini->IsDirty());
    EXPECT_TRUE(ini->DeleteKey("a", "y"));
    EXPECT_FALSE(ini->DeleteKey("a", "y"));
    EXPECT_TRUE(ini->DeleteSection("b"));
    EXPECT_FALSE(ini->DeleteSection("b"));
    const std::string text = Written(*ini);
    EXPECT_EQ(text, "[new]\r\nk=\"\"\r\n[a]\r\nw='he said \"hi\"'\r\nx=\"changed\"\r\n");

    std::unique_ptr<IniFile> again(IniFile::OpenFromString(text.c_str()));
    EXPECT_STREQ(again->FindKey("a", "w"), "he said \"hi\"") << "a value with double quotes reads back whole";
    EXPECT_STREQ(again->FindKey("new", "k"), "") << "an empty quoted value stays";
}

TEST(IniFileText, FromStringNeverReachesAFile) {
    std::unique_ptr<IniFile> ini(IniFile::OpenFromString(nullptr));
    EXPECT_EQ(ini->FindSection("s"), nullptr);
    EXPECT_TRUE(ini->WriteString("SYSTEM_COMMAND", "INI_FILE_FLUSH", "NOW"));
    EXPECT_EQ(ini->FindSection("SYSTEM_COMMAND"), nullptr);
    EXPECT_EQ(ini->Name(), nullptr);
    EXPECT_EQ(Written(*ini), "");
}

}  // namespace
