// Extensions: calls into the test library (a real shared object) and into a stand-in loader,
// the "EXTN" packages read from a formpack-made file, their lookup, calls and start and end
// functions, and the external_* built-ins.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ServicesTestSupport.h"
#include "base/Error_Report.h"
#include "base/GameFile.h"
#include "core/Code_Constant.h"
#include "core/RunSwitches.h"
#include "formpack/FormWriter.h"
#include "io/LoadSave.h"
#include "platform/SharedObject.h"
#include "platform/Support_FileM.h"
#include "services/Extension_Class.h"
#include "services/Extension_DLL.h"
#include "services/Extension_Main.h"
#include "services/Function_Extension.h"

namespace extension_test {

using servicestest::Events;
using servicestest::TakeText;
using servicestest::Text;

const char* const kLibrary = HV_TEST_EXTENSION_PATH;

double Real(const RValue& value) {
    return RValue_IsReal(value) ? value.val : NAN;
}

// DLL_Call with the values (freed after); the result as the caller sees it.
RValue CallDll(int32_t id, std::vector<RValue> args) {
    RValue result = RValue_Real(-99);
    DLL_Call(id, static_cast<int32_t>(args.size()), args.data(), &result);
    for (RValue& arg : args) RValue_Free(&arg);
    return result;
}

// Argument kinds: 0 a real, 1 a text; the count is the list's length.
int32_t Define(const char* dll, const char* name, std::vector<int32_t> types, bool resultIsText = false) {
    const int32_t argc = static_cast<int32_t>(types.size());
    types.resize(DLL_MAX_ARGUMENTS + 1);
    return DLL_Define(dll, name, 0, argc, types.data(), resultIsText);
}

int32_t DefineShape(const char* name, std::vector<int32_t> types, bool resultIsText = false) {
    return Define(kLibrary, name, std::move(types), resultIsText);
}

std::vector<RValue> Reals(int32_t from, int32_t to) {
    std::vector<RValue> values;
    for (int32_t i = from; i <= to; ++i) values.push_back(RValue_Real(i));
    return values;
}

class ExtensionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No dialog: a report only logs.
        headless = g_Switches.headless;
        g_Switches.headless = true;
        DLL_FreeTable();
        Events().clear();
        Async_SetEventPerformer(servicestest::RecordEvent);
        DS_SetAsyncPostMapEvent([](int32_t map, int32_t subtype) { Async_PostMapEvent(map, subtype); });
    }
    void TearDown() override {
        Async_FreeAll();
        Async_SetEventPerformer(nullptr);
        DS_SetAsyncPostMapEvent(nullptr);
        g_Switches.externalCallsOff = false;
        SharedObject_SetLoader(nullptr);
        DLL_FreeTable();
        Extension_Free();
        Error_ClearFatalMark();
        g_Switches.headless = headless;
    }
    bool headless = false;
};

// --- the test library -------------------------------------------------------------------------

TEST_F(ExtensionTest, LibraryFunctionsAnswerThroughEveryCallShape) {
    const std::string before = FileM_CurrentDirectory();
    const int32_t add = DefineShape("add", {0, 0});
    EXPECT_EQ(add, 0);
    // The library's start-up moved the current folder; the definition put it back.
    EXPECT_EQ(FileM_CurrentDirectory(), before);
    EXPECT_EQ(Real(CallDll(add, {RValue_Real(2), RValue_Real(3)})), 5);
    // Numbers of every kind cross by their value, not their payload bits.
    EXPECT_EQ(Real(CallDll(add, {RValue_Int32(2), RValue_Int64(40)})), 42);
    EXPECT_EQ(Real(CallDll(add, {RValue_Bool(1), RValue_Real(0.5)})), 1.5);
    // Another argument count is refused without a call.
    EXPECT_EQ(Real(CallDll(add, {RValue_Real(2)})), 0);

    const int32_t echo = DefineShape("echo", {1}, true);
    const char* utf8 = "h\xC3\xA9llo \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC";
    EXPECT_EQ(TakeText(CallDll(echo, {Text(utf8)})), utf8);
    EXPECT_EQ(TakeText(CallDll(echo, {RValue_Real(1)})), "(null)");  // a number is no text
    EXPECT_EQ(TakeText(CallDll(DefineShape("null_text", {}, true), {})), "<none>");

    EXPECT_EQ(Real(CallDll(DefineShape("sum16", std::vector<int32_t>(16, 0)), Reals(1, 16))), 136);
    EXPECT_EQ(Real(CallDll(DefineShape("weigh6", std::vector<int32_t>(6, 0)), Reals(1, 6))), 123456);
    EXPECT_EQ(Real(CallDll(DefineShape("mixed", {1, 0, 1, 0}),
                           {Text("abc"), RValue_Real(4), Text("hello"), RValue_Real(7)})),
              3457);
    EXPECT_EQ(TakeText(CallDll(DefineShape("join", {1, 0}, true), {Text("n"), RValue_Real(2.5)})), "n:2.5");
}

TEST_F(ExtensionTest, DefinitionsRefuseWhatNoCallShapeTakes) {
    EXPECT_EQ(DefineShape("sum16", std::vector<int32_t>(17, 0)), -1);
    std::vector<int32_t> twoTexts(6, 0);
    twoTexts[1] = twoTexts[4] = 1;
    EXPECT_EQ(DefineShape("weigh6", twoTexts), -1);
    EXPECT_EQ(DefineShape("no_such_export", {0}), -1);
    EXPECT_EQ(DLL_Define(kLibrary, "add", 0, -1, std::vector<int32_t>(17, 0).data(), false), -1);
    EXPECT_EQ(DLL_Count(), 0);
    EXPECT_EQ(DefineShape("add", {0, 0}), 0);  // ids start at 0 after the refusals
    EXPECT_EQ(Real(CallDll(-1, {})), 0);
    EXPECT_EQ(Real(CallDll(1, {})), 0);
}

TEST_F(ExtensionTest, CallbacksReachTheLibraryAndItsMapArrivesAsAnAsynchronousEvent) {
    DefineShape("RegisterCallbacks", {0, 0, 0, 0});
    EXPECT_EQ(Real(CallDll(DefineShape("registered", {}), {})), 1);
    const int32_t post = DefineShape("post_map", {0, 1});
    const double map = Real(CallDll(post, {RValue_Real(70), Text("from the library")}));
    ASSERT_GE(map, 0);
    // The adders refuse a map that does not exist.
    EXPECT_EQ(Real(CallDll(DefineShape("add_to_missing", {}), {})), 0);
    Async_ProcessRequests();
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].subtype, 70);
    const std::map<std::string, std::string> expected = {
        {"source", "library"}, {"first", "1.5"}, {"value", "42"}, {"text", "from the library"}};
    EXPECT_EQ(Events()[0].values, expected);
    EXPECT_EQ(DS_GetMap(static_cast<int32_t>(map)), nullptr);  // destroyed after its event
}

TEST_F(ExtensionTest, ExtSwitchAnswersZeroButStillRegistersCallbacks) {
    g_Switches.externalCallsOff = true;
    const int32_t add = DefineShape("add", {0, 0});
    ASSERT_GE(add, 0);
    EXPECT_EQ(Real(CallDll(add, {RValue_Real(2), RValue_Real(3)})), 0);
    const int32_t registered = DefineShape("registered", {});
    const double before = Real(CallDll(registered, {}));  // 0: calls are off
    EXPECT_EQ(before, 0);
    ASSERT_GE(DefineShape("RegisterCallbacks", {0, 0, 0, 0}), 0);
    g_Switches.externalCallsOff = false;
    EXPECT_GE(Real(CallDll(registered, {})), 1);
}

TEST_F(ExtensionTest, FreeByExactPathSilencesTheFunctionsAndALaterDefinitionLoadsAgain) {
    const int32_t add = DefineShape("add", {0, 0});
    DLL_Free("hvtestext.so");  // not the path it was loaded under
    EXPECT_EQ(Real(CallDll(add, {RValue_Real(1), RValue_Real(1)})), 2);
    DLL_Free(kLibrary);
    EXPECT_EQ(Real(CallDll(add, {RValue_Real(1), RValue_Real(1)})), 0);
    const int32_t again = DefineShape("add", {0, 0});
    EXPECT_EQ(again, add + 1);
    EXPECT_EQ(Real(CallDll(again, {RValue_Real(1), RValue_Real(1)})), 2);
}

// A ".dll" name is looked for as the ".so" of the same stem; a Windows library never loads.
TEST_F(ExtensionTest, DllNamesFallBackToSharedObjectsAndWindowsLibrariesFail) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "hv_extension_names";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(kLibrary, folder / "mylib.so",
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream(folder / "winlib.dll", std::ios::binary) << "MZ\x90\x00 not an ELF file";
    const std::string dll = (folder / "mylib.dll").string();
    const int32_t add = Define(dll.c_str(), "add", {0, 0});
    ASSERT_EQ(add, 0);
    EXPECT_EQ(Real(CallDll(add, {RValue_Real(2), RValue_Real(3)})), 5);
    DLL_Record record{};
    ASSERT_TRUE(DLL_GetRecord(add, &record));
    EXPECT_STREQ(record.path, dll.c_str());  // the game's name, which DLL_Free takes
    EXPECT_EQ(Define((folder / "winlib.dll").string().c_str(), "add", {0, 0}), -1);
    std::filesystem::remove_all(folder);
}

// --- a stand-in loader: symbol names and module sharing ------------------------------------------

double Multiply(double a, double b) {
    return a * b;
}
double Scale(const char* text, double by) {
    return static_cast<double>(std::strlen(text)) * by;
}
int g_registerCalls = 0;
void CountRegister(void*, void*, void*, void*) {
    ++g_registerCalls;
}

class FakeLoader : public SharedObjectLoader {
public:
    std::map<std::string, void*> symbols;
    int opens = 0, closes = 0;
    void* Open(const char* path, std::string* error) override {
        if (std::string(path) != "fake.so") {
            *error = "no such library";
            return nullptr;
        }
        ++opens;
        return this;
    }
    void* Symbol(void*, const char* name) override {
        auto it = symbols.find(name);
        return it == symbols.end() ? nullptr : it->second;
    }
    void Close(void*) override { ++closes; }
};

TEST_F(ExtensionTest, DecoratedNamesAreFoundSecondAndMarkTheCalleeAsCleaning) {
    FakeLoader loader;
    loader.symbols["_mul@16"] = reinterpret_cast<void*>(Multiply);
    loader.symbols["_scale@12"] = reinterpret_cast<void*>(Scale);
    loader.symbols["plain"] = reinterpret_cast<void*>(Multiply);
    loader.symbols["Pre_RegisterCallbacks_Post"] = reinterpret_cast<void*>(CountRegister);
    loader.symbols["registercallbacks"] = reinterpret_cast<void*>(CountRegister);
    SharedObject_SetLoader(&loader);
    g_registerCalls = 0;

    const int32_t mul = Define("fake.so", "mul", {0, 0});
    const int32_t scale = Define("fake.so", "scale", {1, 0});
    const int32_t plain = Define("fake.so", "plain", {0, 0});
    DLL_Record record{};
    ASSERT_TRUE(DLL_GetRecord(mul, &record));
    EXPECT_TRUE(record.calleeCleans);
    ASSERT_TRUE(DLL_GetRecord(plain, &record));
    EXPECT_FALSE(record.calleeCleans);
    EXPECT_EQ(Real(CallDll(mul, {RValue_Real(6), RValue_Real(7)})), 42);
    EXPECT_EQ(Real(CallDll(scale, {Text("abcd"), RValue_Real(2)})), 8);
    EXPECT_EQ(loader.opens, 1);  // the three share one load

    // Not found under either name: refused, and its record is not kept.
    EXPECT_EQ(Define("fake.so", "missing", {0}), -1);
    EXPECT_EQ(DLL_Count(), 3);

    Define("fake.so", "Pre_RegisterCallbacks_Post", {0, 0, 0, 0});
    Define("fake.so", "registercallbacks", {0, 0, 0, 0});
    EXPECT_EQ(g_registerCalls, 1);

    DLL_Free("fake.so");
    EXPECT_EQ(loader.closes, 1);
    EXPECT_EQ(Real(CallDll(mul, {RValue_Real(6), RValue_Real(7)})), 0);
    EXPECT_EQ(Define("nowhere.so", "mul", {0, 0}), -1);
}

// --- packages from the data file ---------------------------------------------------------------

formpack::ExtensionFunction Function(const char* name, const char* external, int32_t id,
                                     std::vector<int32_t> args, int32_t result = 2) {
    formpack::ExtensionFunction f;
    f.name = name;
    f.externalName = external;
    f.id = id;
    f.argTypes = std::move(args);
    f.resultType = result;
    return f;
}

// Reads the packages through the "EXTN" reader; false when the chunk was bad.
bool LoadPackages(const std::vector<std::optional<formpack::ExtensionPackage>>& packages) {
    formpack::FormFile file;
    file.extensions = packages;
    std::vector<uint8_t> bytes = formpack::Build(file);
    uint32_t at = 8, length = 0;
    while (at + 8 <= bytes.size()) {
        std::memcpy(&length, &bytes[at + 4], 4);
        if (std::memcmp(&bytes[at], "EXTN", 4) == 0) break;
        at += 8 + length;
    }
    Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size()));
    ChunkView view("EXTN", at + 8, length);
    Extension_Load(view);
    return view.Ok();
}

std::vector<std::optional<formpack::ExtensionPackage>> TestPackages() {
    formpack::ExtensionFile library;
    library.name = kLibrary;
    library.functions = {Function("ext_add", "add", 1, {2, 2}), Function("ext_echo", "echo", 2, {1}, 1),
                         Function("ext_missing", "no_such_export", 3, {2}),
                         Function("ext_shared", "add", 6, {2, 2})};
    formpack::ExtensionFile inert;
    inert.name = "inert.js";
    inert.kind = 4;
    inert.functions = {Function("ext_inert", "whatever", 4, {2})};
    formpack::ExtensionFile other;
    other.kind = 7;
    other.functions = {Function("ext_other_kind", "add", 7, {2, 2}), Function("ext_bad_id", "add", -3, {}),
                       Function("ext_huge_id", "add", 2000000000, {})};
    formpack::ExtensionPackage first;
    first.name = "Tools";
    first.files = {library, std::nullopt, inert, other};
    formpack::ExtensionPackage tool;
    tool.name = "PellWorks";
    tool.files = {library};
    tool.files[0]->functions = {Function("pw_only", "add", 9, {2, 2})};
    formpack::ExtensionPackage lower;
    lower.name = "pellworks";  // only the exact name is the tool's
    lower.files = {library};
    lower.files[0]->functions = {Function("ext_shared", "echo", 8, {1}, 1)};
    return {first, std::nullopt, tool, lower};
}

TEST_F(ExtensionTest, PackagesAreReadPreparedFoundAndCalled) {
    ASSERT_TRUE(LoadPackages(TestPackages()));
    ASSERT_EQ(Extension_PackageCount(), 4);
    const CExtensionPackage* first = Extension_GetPackage(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Extension_GetPackage(1), nullptr);
    ASSERT_EQ(first->files.size(), 4u);
    EXPECT_EQ(first->files[1]->kind, 0);  // a file left at its defaults
    EXPECT_EQ(first->files[0]->functions[1]->resultType, 1);
    EXPECT_EQ(first->files[0]->functions[1]->ArgType(0), 1);
    EXPECT_EQ(first->files[0]->functions[1]->ArgType(20), 2);
    EXPECT_EQ(Extension_Find("pw_only"), 9);  // the tool's package goes at preparation

    ASSERT_TRUE(Extension_Prepare());
    EXPECT_EQ(Extension_GetPackage(2), nullptr);
    EXPECT_EQ(Extension_Find("pw_only"), -1);
    EXPECT_EQ(Extension_HighestId(), 8);
    EXPECT_EQ(Extension_Find("ext_add"), 1);
    EXPECT_EQ(Extension_Find("ext_shared"), 6);  // the earlier package's
    EXPECT_EQ(Extension_Find("EXT_ADD"), -1);
    EXPECT_EQ(Extension_Find("ext_bad_id"), -1);
    EXPECT_EQ(Extension_Find("ext_huge_id"), -1);

    auto call = [](int32_t id, std::vector<RValue> args, bool* called = nullptr) {
        RValue result = RValue_Real(0);
        const bool ok = Extension_Call(id, static_cast<int32_t>(args.size()), args.data(), &result);
        if (called) *called = ok;
        for (RValue& arg : args) RValue_Free(&arg);
        return result;
    };
    EXPECT_EQ(Real(call(1, {RValue_Real(2), RValue_Real(3)})), 5);
    EXPECT_EQ(TakeText(call(8, {Text("pellworks")})), "pellworks");
    struct Quiet {
        int32_t id;
        std::vector<RValue> args;
        const char* why;
    } quiet[] = {
        {3, {RValue_Real(1)}, "a definition that failed"},
        {4, {RValue_Real(1), RValue_Real(2)}, "a file whose functions do nothing"},
        {7, {RValue_Real(1), RValue_Real(2)}, "a file of another kind"},
        {5, {}, "an id no function carries"},
    };
    for (Quiet& q : quiet) {
        bool called = false;
        EXPECT_EQ(Real(call(q.id, std::move(q.args), &called)), 0) << q.why;
        EXPECT_TRUE(called) << q.why;
    }
    RValue untouched = RValue_Real(-7);
    EXPECT_FALSE(Extension_Call(-1, 0, nullptr, &untouched));
    EXPECT_FALSE(Extension_Call(9, 0, nullptr, &untouched));
    EXPECT_EQ(Real(untouched), -7);
}

TEST_F(ExtensionTest, AnEmptyChunkLeavesOneQuietRow) {
    ASSERT_TRUE(LoadPackages({}));
    ASSERT_TRUE(Extension_Prepare());
    EXPECT_EQ(Extension_PackageCount(), 0);
    EXPECT_EQ(Extension_HighestId(), 0);
    RValue result = RValue_Real(-1);
    EXPECT_TRUE(Extension_Call(0, 0, nullptr, &result));
    EXPECT_EQ(Real(result), 0);
    EXPECT_TRUE(Extension_RunInitFunctions());
    EXPECT_TRUE(Extension_RunFinalFunctions());
}

TEST_F(ExtensionTest, ABrokenChunkFailsTheLoadNamingIt) {
    formpack::FormFile file;
    formpack::ExtensionPackage package;
    package.name = "Broken";
    package.files.emplace_back().emplace().functions = {Function("f", "add", 1, {2, 2})};
    file.extensions = std::vector<std::optional<formpack::ExtensionPackage>>{package};
    std::vector<uint8_t> bytes = formpack::Build(file);
    uint32_t at = 8, length = 0;
    while (std::memcmp(&bytes[at], "EXTN", 4) != 0) {
        std::memcpy(&length, &bytes[at + 4], 4);
        at += 8 + length;
    }
    std::memcpy(&length, &bytes[at + 4], 4);
    // The package's file count becomes huge.
    uint32_t packageAt = 0;
    std::memcpy(&packageAt, &bytes[at + 12], 4);
    const uint32_t huge = 0x7FFFFFFF;
    std::memcpy(&bytes[packageAt + 12], &huge, 4);
    Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size()));
    ChunkView view("EXTN", at + 8, length);
    Extension_Load(view);
    EXPECT_FALSE(view.Ok());
}

TEST_F(ExtensionTest, StartAndEndRunTheirFunctionsAndAMissingOneIsFatal) {
    formpack::ExtensionFile library;
    library.name = kLibrary;
    library.initFunction = "ext_start";
    library.finalFunction = "ext_end";
    library.functions = {Function("ext_start", "ext_start", 1, {}), Function("ext_end", "ext_end", 2, {}),
                         Function("ext_starts", "starts", 3, {})};
    formpack::ExtensionPackage package;
    package.name = "Lifecycle";
    package.files = {library};
    ASSERT_TRUE(LoadPackages({package}));
    ASSERT_TRUE(Extension_Prepare());
    RValue starts = RValue_Real(0);
    Extension_Call(3, 0, nullptr, &starts);
    const double before = Real(starts);
    EXPECT_TRUE(Extension_RunInitFunctions());
    EXPECT_TRUE(Extension_RunFinalFunctions());
    EXPECT_TRUE(Extension_RunInitFunctions());
    Extension_Call(3, 0, nullptr, &starts);
    EXPECT_EQ(Real(starts), before + 2);

    // A name that is neither a script nor a function of its package stops the start.
    package.files[0]->initFunction = "ext_nowhere";
    ASSERT_TRUE(LoadPackages({package}));
    ASSERT_TRUE(Extension_Prepare());
    EXPECT_FALSE(Extension_RunInitFunctions());
    EXPECT_STREQ(Error_LastText(), "Could not locate initialization function ext_nowhere");
}

// --- the external_* built-ins -------------------------------------------------------------------

RValue Builtin(const char* name, std::vector<RValue> args) {
    int32_t index = -1;
    if (!Code_Function_Find(name, &index)) InitExternalFunctions();
    EXPECT_TRUE(Code_Function_Find(name, &index)) << name;
    const char* found = nullptr;
    BuiltinProc function = nullptr;
    int32_t argc = 0;
    Code_Function_GetInfo(index, &found, &function, &argc);
    RValue result = RValue_Real(-99);
    if (function) function(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
    for (RValue& arg : args) RValue_Free(&arg);
    return result;
}

TEST_F(ExtensionTest, ExternalBuiltinsDefineCallAndFree) {
    const double add =
        Real(Builtin("external_define", {Text(kLibrary), Text("add"), RValue_Real(0), RValue_Real(0),
                                         RValue_Real(2), RValue_Real(0), RValue_Real(0)}));
    ASSERT_GE(add, 0);
    EXPECT_EQ(Real(Builtin("external_call", {RValue_Real(add), RValue_Real(2), RValue_Real(3)})), 5);
    EXPECT_EQ(Real(Builtin("external_call2", {RValue_Real(add), RValue_Real(20), RValue_Real(22)})), 42);
    EXPECT_EQ(Real(Builtin("external_call", {RValue_Real(add), RValue_Real(2)})), 0);
    EXPECT_EQ(Real(Builtin("external_call", {RValue_Real(-1)})), -1);
    std::vector<RValue> many = Reals(0, 20);
    many[0] = RValue_Real(add);
    EXPECT_EQ(Real(Builtin("external_call", std::move(many))), 0);

    const double echo =
        Real(Builtin("external_define1", {Text(kLibrary), Text("echo"), RValue_Real(1), RValue_Real(1)}));
    EXPECT_EQ(TakeText(Builtin("external_call1", {RValue_Real(echo), Text("round trip")})), "round trip");
    const double weigh = Real(Builtin("external_define6", {Text(kLibrary), Text("weigh6"), RValue_Real(0)}));
    std::vector<RValue> six = Reals(0, 6);
    six[0] = RValue_Real(weigh);
    EXPECT_EQ(Real(Builtin("external_call6", std::move(six))), 123456);

    struct Refused {
        std::vector<RValue> args;
    } refused[] = {
        {{Text(kLibrary), Text("add"), RValue_Real(0), RValue_Real(0)}},  // fewer than 5
        {{Text(kLibrary), Text("add"), RValue_Real(0), RValue_Real(0), RValue_Real(2), RValue_Real(0)}},
        {{Text(kLibrary), Text("no_such_export"), RValue_Real(0), RValue_Real(0), RValue_Real(0)}},
    };
    for (Refused& r : refused) EXPECT_EQ(Real(Builtin("external_define", std::move(r.args))), -1);
    std::vector<RValue> seventeen = {Text(kLibrary), Text("sum16"), RValue_Real(0), RValue_Real(0),
                                     RValue_Real(17)};
    for (int i = 0; i < 17; ++i) seventeen.push_back(RValue_Real(0));
    EXPECT_EQ(Real(Builtin("external_define", std::move(seventeen))), -1);
    std::vector<RValue> textBeyondFour = {Text(kLibrary), Text("weigh6"), RValue_Real(0), RValue_Real(0),
                                          RValue_Real(5)};
    for (int i = 0; i < 5; ++i) textBeyondFour.push_back(RValue_Real(i == 2 ? 1 : 0));
    EXPECT_EQ(Real(Builtin("external_define", std::move(textBeyondFour))), -1);

    Builtin("external_free", {Text(kLibrary)});
    EXPECT_EQ(Real(Builtin("external_call2", {RValue_Real(add), RValue_Real(20), RValue_Real(22)})), 0);
}

TEST_F(ExtensionTest, ARestrictedRunRegistersNoExternalRow) {
    const int32_t before = Code_Function_Count();
    const bool restricted = ExternalsDisabled;
    ExternalsDisabled = true;
    InitExternalFunctions();
    EXPECT_EQ(Code_Function_Count(), before);
    ExternalsDisabled = restricted;
}

}  // namespace extension_test
