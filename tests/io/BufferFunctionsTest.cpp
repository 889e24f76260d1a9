#include <cstring>
#include <deque>
#include <limits>
#include <sstream>

#include "BufferTestSupport.h"
#include "IoTestSupport.h"
#include "core/Code_Function.h"
#include "core/Value_Convert.h"
#include "io/Buffer_Manager.h"
#include "io/LoadSave.h"

namespace {

// A built-in argument: a number or a text.
struct Arg {
    RValue v;
    Arg(double d) : v(RValue_Real(d)) {}
    Arg(int i) : v(RValue_Real(i)) {}
    Arg(const char* text) : v(RValue_Undefined()) { RValue_CreateString(&v, text); }
    Arg(const Arg& other) : v(RValue_Undefined()) { RValue_Assign(&v, &other.v); }
    Arg& operator=(const Arg&) = delete;
    ~Arg() { RValue_Release(&v); }
};

std::string Show(const RValue& v) {
    switch (v.kind) {
        case VALUE_REAL: {
            std::ostringstream s;
            s << "real:" << v.val;
            return s.str();
        }
        case VALUE_BOOL:
            return v.val != 0 ? "bool:true" : "bool:false";
        case VALUE_STRING:
            return "string:" + buftest::Text(v);
        case VALUE_UNDEFINED:
            return "undefined";
        case VALUE_INT64:
            return "int64:" + std::to_string(v.v64);
        default:
            return "kind:" + std::to_string(v.kind);
    }
}

class BufferBuiltins : public iotest::TempTreeTest {
protected:
    void SetUp() override {
        TempTreeTest::SetUp();
        Code_Function_Free();
        InitBufferFunctions();
        Buffer_FreeAll();
        save = LoadSave_MakeSaveArea("BufferGame", false);
        LoadSave_SetSaveArea(save.c_str());
        LoadSave_SetBundleFolder((root + "/game/").c_str());
        LoadSave_SetWorkingFolder(nullptr);
    }
    void TearDown() override {
        for (RValue& r : m_results) RValue_Release(&r);
        Buffer_FreeAll();
        Buffer_SetVertexLookup(nullptr);
        Code_Function_Free();
        TempTreeTest::TearDown();
    }

    // Calls the built-in through its row of the table; the result lives until the test ends.
    const RValue& Call(const char* name, std::initializer_list<Arg> args) {
        int32_t id = -1;
        EXPECT_TRUE(Code_Function_Find(name, &id)) << name;
        const BuiltinFunction* row = Code_Function_Row(id);
        std::vector<RValue> values;
        for (const Arg& a : args) {
            values.push_back(RValue_Undefined());
            RValue_Assign(&values.back(), &a.v);
        }
        m_results.push_back(RValue_Undefined());
        Builtin_Current = row;
        row->function(m_results.back(), nullptr, nullptr, int32_t(values.size()), values.data());
        Builtin_Current = nullptr;
        for (RValue& v : values) RValue_Release(&v);
        return m_results.back();
    }
    int32_t Index(const RValue& v) { return int32_t(v.val); }
    std::string Bytes(int32_t index) {
        IBuffer* b = Buffer_GetByIndex(index);
        return b ? buftest::Hex(b->GetData(), b->GetSize()) : "<none>";
    }

    buftest::ErrorRecorder errors;
    std::string save;
    std::deque<RValue> m_results;
};

TEST_F(BufferBuiltins, IndicesAreReusedAndTheTableDoubles) {
    EXPECT_EQ(Show(Call("buffer_create", {8, 1, 1})), "real:0");
    EXPECT_EQ(Show(Call("buffer_create", {8, 0, 1})), "real:1");
    EXPECT_EQ(Show(Call("buffer_create", {8, 3, 1})), "real:2");
    Call("buffer_delete", {1});
    EXPECT_EQ(Show(Call("buffer_exists", {1})), "bool:false");
    EXPECT_EQ(Show(Call("buffer_create", {8, 2, 1})), "real:1");
    EXPECT_EQ(Buffer_TableLength(), 32);
    for (int i = 3; i < 33; ++i) Call("buffer_create", {1, 0, 1});
    EXPECT_EQ(Buffer_TableLength(), 64) << "the 33rd live buffer";
    EXPECT_EQ(Show(Call("buffer_exists", {32})), "bool:true");
    EXPECT_EQ(Show(Call("buffer_exists", {-1})), "bool:false");
    EXPECT_EQ(Show(Call("buffer_exists", {64})), "bool:false");
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

TEST_F(BufferBuiltins, CreateRefusesBadArguments) {
    struct {
        double size, type, alignment;
        const char* message;
    } cases[] = {
        {0, 1, 1, "buffer_create: Illegal size"},
        {-4, 1, 1, "buffer_create: Illegal size"},
        {2147483647.0, 1, 1, "buffer_create: Illegal size"},
        {8, 1, 0, "buffer_create: Illegal alignment size"},
        {8, 1, 1025, "buffer_create: Illegal alignment size"},
        {8, 1, 2048, "buffer_create: Illegal alignment size"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Show(Call("buffer_create", {c.size, c.type, c.alignment})), "real:-1");
        EXPECT_EQ(errors.TakeNonFatal(), c.message);
    }
    EXPECT_EQ(Show(Call("buffer_create", {8, 5, 1})), "real:-1");
    ASSERT_EQ(errors.Fatal().size(), 1u);
    EXPECT_EQ(errors.Fatal()[0],
              "Unknown buffer type, should be one of buffer_fixed, buffer_grow, buffer_wrap, buffer_fast, "
              "buffer_vbuffer");
    EXPECT_EQ(Show(Call("buffer_create", {8, 4, 1024})), "real:0") << "the refused index stayed free";
    EXPECT_EQ(Buffer_GetByIndex(0)->GetAlignment(), 1);
}

TEST_F(BufferBuiltins, IllegalIndexesReportAndKeepTheInitialResult) {
    struct {
        const char* name;
        std::initializer_list<Arg> args;
        const char* result;
        const char* message;
    } cases[] = {
        {"buffer_write", {7, 1, 1}, "real:-1", "Illegal Buffer Index"},
        {"buffer_read", {7, 1}, "real:0", "Illegal Buffer Index"},
        {"buffer_poke", {7, 0, 1, 1}, "undefined", "Illegal Buffer Index"},
        {"buffer_peek", {7, 0, 1}, "real:0", "Illegal Buffer Index"},
        {"buffer_seek", {7, 0, 0}, "real:-1", "Illegal Buffer Index"},
        {"buffer_save", {7, "f"}, "undefined", "Illegal Buffer Index"},
        {"buffer_save_ext", {7, "f", 0, 1}, "undefined", "Illegal Buffer Index"},
        {"buffer_load_ext", {7, "f", 0}, "undefined", "Illegal Buffer Index"},
        {"buffer_load_partial", {7, "f", 0, 1, 0}, "undefined", "Illegal Buffer Index"},
        {"buffer_fill", {7, 0, 1, 1, 1}, "undefined", "Illegal Buffer Index"},
        {"buffer_get_size", {7}, "real:-1", "Illegal Buffer Index"},
        {"buffer_tell", {7}, "real:-1", "Illegal Buffer Index"},
        {"buffer_resize", {7, 4}, "undefined", "Illegal Buffer Index"},
        {"buffer_md5", {7, 0, -1}, "undefined", "Illegal Buffer Index"},
        {"buffer_sha1", {7, 0, -1}, "undefined", "Illegal Buffer Index"},
        {"buffer_base64_encode", {7, 0, -1}, "undefined", "Illegal Buffer Index"},
        {"buffer_base64_decode_ext", {7, "AQID", 0}, "undefined", "Illegal Buffer Index"},
        {"buffer_get_address", {7}, "undefined", "buffer_get_address: Illegal Buffer Index"},
        {"buffer_get_surface",
         {7, 0, 0, 0, 0},
         "undefined",
         "Error in buffer_get_surface(): Illegal Buffer Index"},
        {"buffer_set_surface",
         {7, 0, 0, 0, 0},
         "undefined",
         "Error in buffer_set_surface(): Illegal Buffer Index"},
        {"buffer_copy", {0, 0, -1, 7, 0}, "undefined", "Illegal Source Buffer Index"},
        {"buffer_copy", {7, 0, -1, 0, 0}, "undefined", "Illegal Source Buffer Index"},
        {"buffer_copy", {0, 0, -1, 0, 0}, "undefined", "Source and Destination buffers can't be the same"},
        {"buffer_delete", {7}, "undefined", ""},
        {"buffer_delete", {-1}, "undefined", ""},
    };
    Call("buffer_create", {4, 1, 1});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Show(Call(c.name, c.args)), c.result);
        EXPECT_EQ(errors.TakeNonFatal(), c.message);
    }
    const Arg one(1);
    EXPECT_EQ(Buffer_WriteByIndex(9, eBuffer_U8, &one.v), -1);
    EXPECT_EQ(errors.TakeNonFatal(), "Illegal Buffer Index");
    EXPECT_TRUE(errors.Fatal().empty());
}

TEST_F(BufferBuiltins, TypedCallsSeekTellAndSizes) {
    const int32_t b = Index(Call("buffer_create", {4, 1, 2}));
    EXPECT_EQ(Show(Call("buffer_write", {double(b), eBuffer_U8, 255})), "real:0");
    EXPECT_EQ(Show(Call("buffer_write", {double(b), eBuffer_String, "hi"})), "real:0");
    EXPECT_EQ(Show(Call("buffer_write", {double(b), eBuffer_F16, 1})), "real:-1");
    EXPECT_EQ(Show(Call("buffer_tell", {double(b)})), "real:6");
    EXPECT_EQ(Show(Call("buffer_get_size", {double(b)})), "real:8");
    EXPECT_EQ(Show(Call("buffer_seek", {double(b), 0, 2})), "real:2");
    EXPECT_EQ(Show(Call("buffer_read", {double(b), eBuffer_String})), "string:hi");
    EXPECT_EQ(Show(Call("buffer_peek", {double(b), 0, eBuffer_S8})), "real:-1");
    Call("buffer_poke", {double(b), 6, eBuffer_U16, 0x0102});
    Call("buffer_fill", {double(b), 0, eBuffer_U8, 9, 2});
    EXPECT_EQ(Bytes(b), "0900686900000201");
    Call("buffer_resize", {double(b), 3});
    EXPECT_EQ(Bytes(b), "090068");
    Call("buffer_resize", {double(b), -1});
    EXPECT_EQ(errors.TakeNonFatal(), "buffer_resize: Illegal size");
    EXPECT_EQ(Show(Call("buffer_get_size", {double(b)})), "real:3");

    const double sizes[][2] = {{1, 1}, {2, 1}, {3, 2},  {4, 2},  {5, 4},  {6, 4},  {7, 2},
                               {8, 4}, {9, 8}, {10, 1}, {11, 0}, {12, 8}, {13, 0}, {0, 0}};
    for (const auto& s : sizes) EXPECT_EQ(Call("buffer_sizeof", {s[0]}).val, s[1]) << s[0];
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

TEST_F(BufferBuiltins, ReadingPastTheEndReportsAndGivesZero) {
    const int32_t fixed = Index(Call("buffer_create", {1, 0, 1}));
    EXPECT_EQ(Show(Call("buffer_read", {double(fixed), eBuffer_U8})), "real:0");
    EXPECT_EQ(errors.TakeNonFatal(), "");
    EXPECT_EQ(Show(Call("buffer_read", {double(fixed), eBuffer_U8})), "real:0");
    EXPECT_EQ(errors.TakeNonFatal(), "Attempting to read from outside the buffer, returning 0");
    const int32_t fast = Index(Call("buffer_create", {1, 3, 1}));
    Call("buffer_seek", {double(fast), 0, 1});
    EXPECT_EQ(Show(Call("buffer_read", {double(fast), eBuffer_U8})), "real:0");
    EXPECT_EQ(errors.TakeNonFatal(), "") << "a fast buffer's end is not reported";
}

// buffer_write and buffer_read take a call whose index and code are reals on a path of their own;
// the same numbers given as int64 values go through the argument getters. Both must give the same
// result, bytes, position and messages, whatever the reals (fractions, NaN, out of range) and
// wherever the position lies (inside, at the end).
TEST_F(BufferBuiltins, RealIndicesAndCodesGiveWhatTheGettersGive) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double indices[] = {0, 0.9, -0.5, 1, -1, nan, 4294967296.0, -2147483648.0, 1e20};
    const double codes[] = {eBuffer_U8,  eBuffer_S16,  5.9,         eBuffer_S32,   eBuffer_U64, eBuffer_F32,
                            eBuffer_F64, eBuffer_Bool, eBuffer_F16, -2147483648.0, nan,         99};
    const RValue values[] = {
        RValue_Real(300.7),        RValue_Real(-2147483648.0), RValue_Real(-9223372036854775808.0),
        RValue_Real(4294967295.0), RValue_Real(nan),           RValue_Real(1e300),
        RValue_Int32(-2)};
    const int32_t positions[] = {0, 4, 12, 16};
    const BuiltinFunction* write = Code_Function_Row([] {
        int32_t id = -1;
        Code_Function_Find("buffer_write", &id);
        return id;
    }());
    const BuiltinFunction* read = Code_Function_Row([] {
        int32_t id = -1;
        Code_Function_Find("buffer_read", &id);
        return id;
    }());
    // One call on a fresh 16-byte buffer (index 0) holding a pattern: what it gave and left.
    const auto run = [&](const BuiltinFunction* row, RValue* args, int32_t argc, int32_t position) {
        Buffer_FreeAll();
        const int32_t index = Buffer_Create(16, eBufferType_Fixed, 4);
        IBuffer* buffer = Buffer_GetByIndex(index);
        for (int32_t i = 0; i < 16; ++i) buffer->GetData()[i] = static_cast<uint8_t>(i * 37 + 11);
        buffer->Seek(0, position);
        RValue result = RValue_Real(0.0);
        Builtin_Current = row;
        row->function(result, nullptr, nullptr, argc, args);
        Builtin_Current = nullptr;
        std::string seen = Show(result) + " " + Bytes(index) + " at " +
                           std::to_string(buffer->GetPosition()) + " " + errors.TakeNonFatal();
        RValue_Release(&result);
        return seen;
    };
    const auto asInt64 = [](double real) {
        RValue v = RValue_Real(real);
        return RValue_Int64(Arg_GetInt32(&v, 0));
    };
    for (double index : indices) {
        for (double code : codes) {
            for (int32_t position : positions) {
                SCOPED_TRACE("index " + std::to_string(index) + " code " + std::to_string(code) + " at " +
                             std::to_string(position));
                for (const RValue& value : values) {
                    RValue reals[3] = {RValue_Real(index), RValue_Real(code), value};
                    RValue ints[3] = {asInt64(index), asInt64(code), value};
                    EXPECT_EQ(run(write, reals, 3, position), run(write, ints, 3, position));
                }
                RValue reals[2] = {RValue_Real(index), RValue_Real(code)};
                RValue ints[2] = {asInt64(index), asInt64(code)};
                EXPECT_EQ(run(read, reals, 2, position), run(read, ints, 2, position));
            }
        }
    }
    EXPECT_TRUE(errors.Fatal().empty());
}

TEST_F(BufferBuiltins, BuffersInUseAreNotDeleted) {
    const int32_t b = Index(Call("buffer_create", {4, 1, 1}));
    Buffer_GetByIndex(b)->AddUser();
    Call("buffer_delete", {double(b)});
    EXPECT_EQ(errors.TakeNonFatal(), "Cannot delete buffer, it's in use");
    EXPECT_EQ(Show(Call("buffer_exists", {double(b)})), "bool:true");
    Buffer_GetByIndex(b)->RemoveUser();
    Call("buffer_delete", {double(b)});
    EXPECT_EQ(Show(Call("buffer_exists", {double(b)})), "bool:false");
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

// The digests and Base64 of byte ranges by Python's hashlib and base64, with the range rules
// worked out independently: fixed buffers clamp, wrap buffers hash cyclically, Base64 clamps.
const char* kDigestPeer = R"PY(
import base64, hashlib, sys
lines = sys.stdin.read().split("\n")
data = bytes.fromhex(lines[0])
n = len(data)
for line in lines[1:]:
    if not line: continue
    op, wrap, off, size = line.split()
    wrap, off, size = wrap == "1", int(off), int(size)
    count = n if size < 0 else size
    if wrap and op != "base64":
        off %= n
        chunk = bytes(data[(off + i) % n] for i in range(count))
    else:
        off = min(max(off, 0), n - 1)
        chunk = data[off:off + count]
    if op == "md5": print(hashlib.md5(chunk).hexdigest())
    elif op == "sha1": print(hashlib.sha1(chunk).hexdigest())
    else: print(base64.b64encode(chunk).decode())
)PY";

TEST_F(BufferBuiltins, DigestsAndBase64MatchPythonOnTheSameBytes) {
    const int32_t n = 1000;
    const int32_t fixed = Index(Call("buffer_create", {double(n), 0, 1}));
    const int32_t wrap = Index(Call("buffer_create", {double(n), 2, 1}));
    uint32_t x = 12345;
    for (int32_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        Call("buffer_write", {double(fixed), eBuffer_U8, double(x >> 24)});
    }
    Call("buffer_copy", {double(fixed), 0, -1, double(wrap), 0});
    const std::string bytes = Bytes(fixed);
    ASSERT_EQ(bytes, Bytes(wrap));

    struct Query {
        const char* op;
        bool wrap;
        int32_t offset, size;
    };
    const Query queries[] = {
        {"md5", false, 0, -1},   {"sha1", false, 0, -1},    {"base64", false, 0, -1},
        {"md5", false, 10, 100}, {"sha1", false, 10, 55},   {"base64", false, 1, 2},
        {"md5", false, 995, 50}, {"sha1", false, -20, 64},  {"base64", false, 999, 10},
        {"md5", true, 990, 30},  {"sha1", true, -10, 2500}, {"base64", true, 990, 30},
        {"sha1", false, 0, 0},   {"md5", true, 2000, 64},
    };
    std::string input = bytes + "\n";
    std::vector<std::string> ours;
    for (const Query& q : queries) {
        input += std::string(q.op) + " " + (q.wrap ? "1" : "0") + " " + std::to_string(q.offset) + " " +
                 std::to_string(q.size) + "\n";
        const char* name = std::strcmp(q.op, "md5") == 0    ? "buffer_md5"
                           : std::strcmp(q.op, "sha1") == 0 ? "buffer_sha1"
                                                            : "buffer_base64_encode";
        ours.push_back(
            buftest::Text(Call(name, {double(q.wrap ? wrap : fixed), double(q.offset), double(q.size)})));
    }
    std::istringstream theirs(buftest::RunPython(kDigestPeer, input));
    for (size_t i = 0; i < ours.size(); ++i) {
        std::string line;
        ASSERT_TRUE(std::getline(theirs, line)) << "python3 gave too few lines";
        EXPECT_EQ(ours[i], line) << queries[i].op << " " << queries[i].offset << " " << queries[i].size;
    }

    // And back: the Base64 text decodes to the same bytes.
    const std::string text = buftest::Text(Call("buffer_base64_encode", {double(fixed), 0, -1}));
    const int32_t decoded = Index(Call("buffer_base64_decode", {text.c_str()}));
    EXPECT_EQ(Bytes(decoded), bytes);
    EXPECT_EQ(Buffer_GetByIndex(decoded)->GetType(), eBufferType_Grow);
    EXPECT_EQ(Show(Call("buffer_base64_decode_ext", {double(decoded), "AAAA", 2})), "real:1");
    EXPECT_EQ(Bytes(decoded).substr(0, 10), bytes.substr(0, 4) + "000000");
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

TEST_F(BufferBuiltins, FilesSaveAndLoadThroughTheSaveArea) {
    const int32_t b = Index(Call("buffer_create", {5, 0, 1}));
    Call("buffer_write", {double(b), eBuffer_Text, "hello"});
    EXPECT_EQ(Show(Call("buffer_save", {double(b), "dir/a.bin"})), "real:0");
    EXPECT_EQ(iotest::ReadFile(save + "dir/a.bin"), "hello");
    EXPECT_EQ(Show(Call("buffer_save_ext", {double(b), "b.bin", 1, 3})), "real:1");
    EXPECT_EQ(iotest::ReadFile(save + "b.bin"), "ell");

    const RValue& loaded = Call("buffer_load", {"dir/a.bin"});
    EXPECT_EQ(Bytes(Index(loaded)), "68656c6c6f");
    EXPECT_EQ(Buffer_GetByIndex(Index(loaded))->GetType(), eBufferType_Grow);
    EXPECT_EQ(Show(Call("buffer_load", {"nothing.bin"})), "real:-1");
    EXPECT_EQ(errors.TakeNonFatal(), "Cannot load buffer file");

    EXPECT_EQ(Show(Call("buffer_load_ext", {double(b), "b.bin", 3})), "real:1");
    EXPECT_EQ(Bytes(b), "68656c656c") << "clipped at the end of a fixed buffer";
    EXPECT_EQ(Show(Call("buffer_load_partial", {double(b), "dir/a.bin", 4, 9, 0})), "real:1");
    EXPECT_EQ(Bytes(b), "6f656c656c");
    EXPECT_EQ(Show(Call("buffer_load_ext", {double(b), "nothing.bin", 0})), "real:0");
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

TEST_F(BufferBuiltins, AddressesAreHandlesThatFollowTheBuffer) {
    const int32_t b = Index(Call("buffer_create", {8, 1, 1}));
    const RValue& address = Call("buffer_get_address", {double(b)});
    ASSERT_EQ(address.kind, VALUE_PTR);
    const auto handle = uint32_t(reinterpret_cast<uintptr_t>(address.ptr));
    EXPECT_EQ(Buffer_GetAddressFromHandle(handle), Buffer_GetByIndex(b)->GetData());
    Call("buffer_resize", {double(b), 4096});
    EXPECT_EQ(Buffer_GetAddressFromHandle(handle), Buffer_GetByIndex(b)->GetData())
        << "after the block moved";
    Call("buffer_delete", {double(b)});
    EXPECT_EQ(Buffer_GetAddressFromHandle(handle), nullptr);
    const int32_t again = Index(Call("buffer_create", {8, 1, 1}));
    ASSERT_EQ(again, b);
    EXPECT_EQ(Buffer_GetAddressFromHandle(handle), nullptr) << "a handle never names the next buffer";
    const auto fresh = uint32_t(reinterpret_cast<uintptr_t>(Call("buffer_get_address", {double(again)}).ptr));
    EXPECT_NE(fresh, handle);
    EXPECT_EQ(Buffer_GetAddressFromHandle(fresh), Buffer_GetByIndex(again)->GetData());
    for (uint32_t junk : {0u, 1u, 0x12345678u, fresh ^ 0x00100000u, fresh + 1}) {
        EXPECT_EQ(Buffer_GetAddressFromHandle(junk), nullptr) << junk;
    }
}

TEST_F(BufferBuiltins, SurfacesThatDoNotExistAreReported) {
    const int32_t b = Index(Call("buffer_create", {64, 1, 1}));
    Call("buffer_get_surface", {double(b), 0, 0, 0, 0});
    EXPECT_EQ(errors.TakeNonFatal(), "Error in buffer_get_surface(): surface does not exist");
    Call("buffer_set_surface", {double(b), 3, 0, 0, 0});
    EXPECT_EQ(errors.TakeNonFatal(), "Error in buffer_set_surface(): surface does not exist");
}

// Vertex buffer 1: four 3-byte vertices; 2 frozen; 3 empty.
bool FakeVertices(int32_t id, BufferVertexSource* out) {
    static const uint8_t data[] = "abcdefghijkl";
    switch (id) {
        case 1:
            *out = {data, 4, 3, false};
            return true;
        case 2:
            *out = {data, 4, 3, true};
            return true;
        case 3:
            *out = {data, 0, 3, false};
            return true;
        default:
            return false;
    }
}

TEST_F(BufferBuiltins, VertexBuffersCopyTheirBytesAfterTheChecks) {
    EXPECT_EQ(Show(Call("buffer_create_from_vertex_buffer", {1, 1, 1})), "real:-1");
    EXPECT_EQ(errors.TakeNonFatal(),
              "buffer_create_from_vertex_buffer: Specified vertex buffer doesn't exist.");

    Buffer_SetVertexLookup(FakeVertices);
    const int32_t grow = Index(Call("buffer_create", {1, 1, 1}));
    struct {
        const char* name;
        std::initializer_list<Arg> args;
        const char* message;
    } refusals[] = {
        {"buffer_create_from_vertex_buffer",
         {9, 1, 1},
         "buffer_create_from_vertex_buffer: Specified vertex buffer doesn't exist."},
        {"buffer_create_from_vertex_buffer",
         {2, 1, 1},
         "buffer_create_from_vertex_buffer: Can't create buffer from frozen vertex buffer."},
        {"buffer_create_from_vertex_buffer",
         {3, 1, 1},
         "buffer_create_from_vertex_buffer: Can't create buffer from empty vertex buffer."},
        {"buffer_create_from_vertex_buffer",
         {1, 1, 0},
         "buffer_create_from_vertex_buffer: Illegal alignment size"},
        {"buffer_create_from_vertex_buffer_ext",
         {9, 1, 1, 0, 1},
         "buffer_create_from_vertex_buffer_ext: Specified vertex buffer doesn't exist."},
        {"buffer_create_from_vertex_buffer_ext",
         {1, 1, 1, 0, 0},
         "buffer_create_from_vertex_buffer_ext: Specified number of verts invalid."},
        {"buffer_create_from_vertex_buffer_ext",
         {1, 1, 1, 4, 1},
         "buffer_create_from_vertex_buffer_ext: Specified start vertex out of range."},
        {"buffer_copy_from_vertex_buffer",
         {9, 0, 1, double(grow), 0},
         "buffer_copy_from_vertex_buffer: Illegal Vertex Buffer Index"},
        {"buffer_copy_from_vertex_buffer",
         {2, 0, 1, double(grow), 0},
         "buffer_copy_from_vertex_buffer: Can't copy from frozen vertex buffer."},
        {"buffer_copy_from_vertex_buffer",
         {1, -1, 1, double(grow), 0},
         "buffer_copy_from_vertex_buffer: Specified start vertex out of range."},
        {"buffer_copy_from_vertex_buffer",
         {1, 0, 1, 40, 0},
         "buffer_copy_from_vertex_buffer: Illegal Destination Buffer Index"},
    };
    for (const auto& r : refusals) {
        Call(r.name, r.args);
        EXPECT_EQ(errors.TakeNonFatal(), r.message);
    }

    const int32_t whole = Index(Call("buffer_create_from_vertex_buffer", {1, 0, 4}));
    EXPECT_EQ(Bytes(whole), "6162636465666768696a6b6c");
    const int32_t tail = Index(Call("buffer_create_from_vertex_buffer_ext", {1, 1, 1, 2, 10}));
    EXPECT_EQ(Bytes(tail), "6768696a6b6c") << "the count is clipped to the vertices left";
    Call("buffer_copy_from_vertex_buffer", {1, 1, 2, double(grow), 2});
    EXPECT_EQ(Bytes(grow), "0000646566676869");
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

}  // namespace
