// Asynchronous buffer saves and loads: the groups, their misuse, and the work done in the
// asynchronous stage with its Other event 72.
#include "FileBuiltinTestSupport.h"
#include "HttpTestSupport.h"
#include "io/Buffer_Async.h"
#include "io/Buffer_Manager.h"

namespace {

using httptest::Events;

class BufferAsyncTest : public filetest::FileBuiltinTest {
protected:
    void SetUp() override {
        FileBuiltinTest::SetUp();
        InitDataStructureFunctions();
        InitBufferFunctions();
        InitBufferAsyncFunctions();
        Events().clear();
        Async_SetEventPerformer(httptest::RecordEvent);
    }
    void TearDown() override {
        Async_FreeAll();
        Async_SetEventPerformer(nullptr);
        BufferAsync_Reset();
        Buffer_FreeAll();
        FileBuiltinTest::TearDown();
    }

    int32_t BufferWith(const std::string& bytes, int32_t type = eBufferType_Grow) {
        const int32_t index = Buffer_Create(static_cast<int32_t>(bytes.size()), type, 1);
        Buffer_GetByIndex(index)->WriteBytes(bytes.data(), 1, static_cast<int32_t>(bytes.size()));
        return index;
    }

    std::string Bytes(int32_t buffer, int32_t offset, int32_t n) {
        IBuffer* b = Buffer_GetByIndex(buffer);
        return std::string(reinterpret_cast<char*>(b->GetData()) + offset, static_cast<size_t>(n));
    }
};

TEST_F(BufferAsyncTest, SingleSaveWritesTheDefaultFolderInTheNextStage) {
    const int32_t buffer = BufferWith("0123456789");
    const double id = Real("buffer_save_async", {buffer, "a.sav", 2, 5});
    ASSERT_GE(id, 0);
    EXPECT_FALSE(SaveHas("default/a.sav"));  // nothing happens before the stage
    Async_ProcessRequests();
    EXPECT_EQ(SaveFile("default/a.sav"), "23456");
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].subtype, 72);
    EXPECT_EQ(Events()[0].values, (std::map<std::string, std::string>{
                                      {"id", std::to_string(int(id))}, {"status", "1"}, {"error", "0"}}));
    EXPECT_EQ(Async_RequestCount(), 0);
}

// The bytes are taken when the built-in is called, and only from inside the buffer.
TEST_F(BufferAsyncTest, SaveRangeIsTakenAtOnceAndClampedToTheBuffer) {
    struct Case {
        int offset, size;
        const char* written;
    };
    for (const Case& c : {Case{0, -1, "abcdef"}, Case{4, 100, "ef"}, Case{-3, 2, "ab"}, Case{2, 0, ""}}) {
        const int32_t buffer = BufferWith("abcdef");
        Real("buffer_save_async", {buffer, "r.sav", c.offset, c.size});
        const filetest::Arg z('z');
        Buffer_GetByIndex(buffer)->Poke(0, eBuffer_U8, &z.v);
        Async_ProcessRequests();
        EXPECT_EQ(SaveFile("default/r.sav"), c.written) << c.offset << "," << c.size;
        Buffer_Free(buffer);
    }
}

TEST_F(BufferAsyncTest, MissingBufferIsRefused) {
    EXPECT_EQ(Real("buffer_save_async", {42, "a.sav", 0, -1}), -1);
    EXPECT_EQ(Real("buffer_load_async", {42, "a.sav", 0, -1}), -1);
    EXPECT_EQ(errors.TakeNonFatal(), "Illegal Buffer Index|Illegal Buffer Index");
    EXPECT_EQ(Async_RequestCount(), 0);
}

TEST_F(BufferAsyncTest, LoadLooksInTheGroupFolderThenAtThePlainName) {
    PutSave("default/in.dat", "grouped");
    PutSave("plain.dat", "plain");
    const int32_t a = BufferWith("xx", eBufferType_Fixed);
    const int32_t b = BufferWith("");
    Real("buffer_load_async", {a, "in.dat", 1, -1});
    Real("buffer_load_async", {b, "plain.dat", 0, 3});
    Async_ProcessRequests();
    ASSERT_EQ(Events().size(), 2u);
    EXPECT_EQ(Events()[0].values.at("status"), "1");
    EXPECT_EQ(Events()[1].values.at("status"), "1");
    EXPECT_EQ(Bytes(a, 0, 8), "xgrouped");  // grown, though the buffer is fixed
    EXPECT_EQ(Bytes(b, 0, 3), "pla");
}

TEST_F(BufferAsyncTest, MissingFileOrDeletedBufferGivesStatusZero) {
    const int32_t buffer = BufferWith("x");
    Real("buffer_load_async", {buffer, "nowhere.dat", 0, -1});
    Async_ProcessRequests();
    PutSave("there.dat", "data");
    Real("buffer_load_async", {buffer, "there.dat", 0, -1});
    Buffer_Free(buffer);
    Async_ProcessRequests();
    ASSERT_EQ(Events().size(), 2u);
    EXPECT_EQ(Events()[0].values.at("status"), "0");
    EXPECT_EQ(Events()[1].values.at("status"), "0");
}

TEST_F(BufferAsyncTest, GroupGathersSavesIntoOneRequest) {
    const int32_t buffer = BufferWith("hello");
    Call("buffer_async_group_begin", {"slot1"});
    EXPECT_EQ(Real("buffer_save_async", {buffer, "one.sav", 0, -1}), -1);
    EXPECT_EQ(Real("buffer_save_async", {buffer, "two.sav", 1, 2}), -1);
    const double id = Real("buffer_async_group_end");
    ASSERT_GE(id, 0);
    Async_ProcessRequests();
    EXPECT_EQ(SaveFile("slot1/one.sav"), "hello");
    EXPECT_EQ(SaveFile("slot1/two.sav"), "el");
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].values.at("id"), std::to_string(int(id)));
}

TEST_F(BufferAsyncTest, GroupMisuseIsFatal) {
    const int32_t buffer = BufferWith("b");
    struct Case {
        std::function<void()> misuse;
        const char* message;
    };
    const Case cases[] = {
        {[&] { Call("buffer_async_group_end"); }, "no matching buffer_group_begin"},
        {[&] { Call("buffer_async_group_begin", {"a b"}); },
         "Group name should not contain whitespace or slash characters."},
        {[&] { Call("buffer_async_group_begin", {"a/b"}); },
         "Group name should not contain whitespace or slash characters."},
        {[&] {
             Call("buffer_async_group_begin", {"g"});
             Call("buffer_async_group_begin", {"h"});
         },
         "only one buffer group at a time"},
        {[&] {
             Call("buffer_async_group_begin", {"g"});
             Call("buffer_async_group_end");
         },
         "no content in group to save"},
        {[&] {
             Call("buffer_async_group_begin", {"g"});
             Call("buffer_load_async", {buffer, "f", 0, -1});
             Call("buffer_save_async", {buffer, "f", 0, -1});
         },
         "mixing async save and loads in the same group"},
    };
    for (const Case& c : cases) {
        BufferAsync_Reset();
        buftest::ErrorRecorder::Fatal().clear();
        c.misuse();
        EXPECT_EQ(buftest::ErrorRecorder::Fatal(), std::vector<std::string>{c.message});
    }
}

TEST_F(BufferAsyncTest, LoadGroupMustNotMixBundleAndSaveArea) {
    PutBundle("shipped.dat", "s");
    PutSave("mine.dat", "m");
    const int32_t buffer = BufferWith("");
    Call("buffer_async_group_begin", {"g"});
    Call("buffer_load_async", {buffer, "shipped.dat", 0, -1});
    Call("buffer_load_async", {buffer, "mine.dat", 0, -1});
    EXPECT_EQ(Real("buffer_async_group_end"), -1);
    EXPECT_EQ(buftest::ErrorRecorder::Fatal(),
              std::vector<std::string>{"Do not mix buffer loads from bundle and savedata in one group."});
    EXPECT_TRUE(ConsoleHas("LOAD: numFiles 2, numBundleFiles 1\n"));
    EXPECT_EQ(Async_RequestCount(), 0);
}

TEST_F(BufferAsyncTest, GroupOptions) {
    EXPECT_EQ(Real("buffer_async_group_option", {"subtitle", "Saving"}), 1);
    EXPECT_EQ(Real("buffer_async_group_option", {"showdialog", 1}), 1);
    EXPECT_EQ(Real("buffer_async_group_option", {"saveslotsize", 4}), 0);
    EXPECT_EQ(Real("buffer_async_group_option", {"temprloc", root + "/elsewhere"}), 0);
    EXPECT_TRUE(LoadSave_IsPathAllowed(LOADSAVE_WRITE_LIST, (root + "/elsewhere/x.sav").c_str()));
    EXPECT_EQ(Real("buffer_async_group_option", {"colour", 1}), 0);
    EXPECT_TRUE(ConsoleHas("unknown option colour passed to F_BUFFER_Async_Group_Option\n"));
}

}  // namespace
