#include "FileBuiltinTestSupport.h"

namespace {

using filetest::Arg;
using IniBuiltins = filetest::FileBuiltinTest;

TEST_F(IniBuiltins, WritesExactlyTheHeaderAndQuotedKeyLines) {
    Call("ini_open", {"cfg/new.ini"});
    EXPECT_EQ(ShowCall("ini_write_string", {"s", "k", "v"}), "real:1");
    EXPECT_FALSE(SaveHas("cfg/new.ini")) << "nothing is written before a flush";
    EXPECT_EQ(ShowCall("ini_close"), "string:[s]\r\nk=\"v\"\r\n");
    EXPECT_EQ(SaveFile("cfg/new.ini"), "[s]\r\nk=\"v\"\r\n");
    EXPECT_EQ(ShowCall("ini_close"), "string:") << "no current ini";
}

TEST_F(IniBuiltins, ReadsNumbersTextsAndDefaults) {
    PutBundle("game.ini", "[n]\nreal = 2.5e1x\nword=abc\n");
    Call("ini_open", {"game.ini"});
    EXPECT_EQ(ShowCall("ini_read_real", {"n", "real", 9}), "real:25");
    EXPECT_EQ(ShowCall("ini_read_real", {"n", "word", 9}), "real:0");
    EXPECT_EQ(ShowCall("ini_read_real", {"n", "none", 9}), "real:9");
    EXPECT_EQ(ShowCall("ini_read_string", {"n", "word", "d"}), "string:abc");
    EXPECT_EQ(ShowCall("ini_read_string", {"n", "none", "d"}), "string:d");
    EXPECT_EQ(ShowCall("ini_read_string", {"n", "none", 3}), "string:3");
    EXPECT_EQ(ShowCall("ini_read_string", {"n", "none", 1.5}), "string:1.50");
    EXPECT_EQ(ShowCall("ini_key_exists", {"n", "word"}), "real:1");
    EXPECT_EQ(ShowCall("ini_key_exists", {"n", "Word"}), "real:0");
    EXPECT_EQ(ShowCall("ini_section_exists", {"n"}), "real:1");
    EXPECT_EQ(ShowCall("ini_key_delete", {"n", "word"}), "real:1");
    EXPECT_EQ(ShowCall("ini_section_delete", {"x"}), "real:0");
    EXPECT_EQ(ShowCall("ini_write_real", {"n", "r", 1.5}), "real:1");
    EXPECT_EQ(ShowCall("ini_read_string", {"n", "r", ""}), "string:1.500000");
    Call("ini_close");
    EXPECT_EQ(SaveFile("game.ini"), "[n]\r\nr=\"1.500000\"\r\nreal=\"2.5e1x\"\r\n");
    EXPECT_EQ(iotest::ReadFile(bundle + "game.ini"), "[n]\nreal = 2.5e1x\nword=abc\n");

    // The save-area copy is read from then on.
    Call("ini_open", {"game.ini"});
    EXPECT_EQ(ShowCall("ini_key_exists", {"n", "word"}), "real:0");
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

TEST_F(IniBuiltins, FlushCommandWritesAtOnce) {
    Call("ini_open", {"flush.ini"});
    Call("ini_write_string", {"a", "b", "c"});
    EXPECT_EQ(ShowCall("ini_write_string", {"SYSTEM_COMMAND", "INI_FILE_FLUSH", "NOW"}), "real:1");
    EXPECT_EQ(SaveFile("flush.ini"), "[a]\r\nb=\"c\"\r\n");
    EXPECT_EQ(ShowCall("ini_section_exists", {"SYSTEM_COMMAND"}), "real:0");

    // The next open flushes the changed ini; an ini made from a text is never written.
    Call("ini_write_string", {"a", "d", "e"});
    Call("ini_open_from_string", {"[t]\nk=1"});
    EXPECT_EQ(SaveFile("flush.ini"), "[a]\r\nd=\"e\"\r\nb=\"c\"\r\n");
    Call("ini_write_string", {"t", "k", "2"});
    EXPECT_EQ(ShowCall("ini_close"), "string:[t]\r\nk=\"2\"\r\n");
}

TEST_F(IniBuiltins, WithoutACurrentIniTheBuiltinsReport) {
    const struct {
        const char* name;
        std::initializer_list<Arg> args;
        const char* result;
        const char* message;
    } cases[] = {
        {"ini_read_string", {"s", "k", "d"}, "undefined", "Trying to read from undefined INI file"},
        {"ini_read_real", {"s", "k", 4}, "real:4", "Trying to read from undefined INI file"},
        {"ini_write_string", {"s", "k", "v"}, "undefined", "Trying to read from undefined INI file"},
        {"ini_write_real", {"s", "k", 1}, "undefined", "Trying to read from undefined INI file"},
        {"ini_key_exists", {"s", "k"}, "undefined", "Trying to read from undefined INI file"},
        {"ini_section_exists", {"s"}, "undefined", "Trying to read from undefined INI file"},
        {"ini_key_delete", {"s", "k"}, "undefined", "Trying to change undefined INI file"},
        {"ini_section_delete", {"s"}, "undefined", "Trying to change undefined INI file"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShowCall(c.name, c.args), c.result) << c.name;
        EXPECT_EQ(errors.TakeNonFatal(), c.message) << c.name;
    }
}

// An independent reader: Python's configparser with interpolation off, names kept as
// written and the double quotes round every value stripped.
TEST_F(IniBuiltins, PythonReadsWhatTheRunnerWrites) {
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } entries[] = {
        {"player", "name", "Ada Lovelace"},
        {"player", "Level", "12"},
        {"player", "path", "C:\\games\\x"},
        {"audio", "volume", "0.750000"},
        {"audio", "muted", ""},
        {"Mixed Case", "Key Name", "a=b"},
        {"player", "name", "Grace"},
        {"utf8", "greeting", "h\xC3\xA9llo"},
    };
    Call("ini_open", {"py.ini"});
    for (const auto& e : entries) Call("ini_write_string", {e.section, e.key, e.value});
    Call("ini_close");

    const std::string program =
        "import configparser, sys\n"
        "p = configparser.ConfigParser(interpolation=None, delimiters=('=',))\n"
        "p.optionxform = str\n"
        "p.read(sys.stdin.readline().strip(), encoding='utf-8')\n"
        "for s in p.sections():\n"
        "    for k, v in p.items(s):\n"
        "        assert v[0] == '\"' and v[-1] == '\"', v\n"
        "        sys.stdout.write('%s|%s|%s\\n' % (s, k, v[1:-1]))\n";
    const std::string out = buftest::RunPython(program, save + "py.ini\n");
    EXPECT_EQ(out,
              "utf8|greeting|h\xC3\xA9llo\n"
              "Mixed Case|Key Name|a=b\n"
              "audio|muted|\n"
              "audio|volume|0.750000\n"
              "player|path|C:\\games\\x\n"
              "player|Level|12\n"
              "player|name|Grace\n");
}

}  // namespace
