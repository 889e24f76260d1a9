// The achievement cache file and its pump, the cloud completion map, queued script calls, the
// pause event, the in-app purchase records, and the iap_* built-ins with no store and with a
// fake store.
#include <json-c/json.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ServicesTestSupport.h"
#include "base/Error_Report.h"
#include "core/Console.h"
#include "core/RunSwitches.h"
#include "io/LoadSave.h"
#include "services/Achievement_Cache.h"
#include "services/IAP.h"
#include "services/Pell_Functions.h"
#include "services/Pell_Services.h"

using namespace servicestest;

namespace {

// The maker-prefixed rows (with the iap_* rows) once for the whole binary, as the other
// suites of the module register them.
void RegisterRows() {
    int32_t id = -1;
    if (Code_Function_Find("url_open", &id)) return;
    Pell_Functions_Init();
    InitWin8Functions();
    InitPushFunctions();
}

std::string& ConsoleText() {
    static std::string text;
    return text;
}

class ServicesFixture : public ::testing::Test {
protected:
    void SetUp() override {
        g_Switches.headless = true;  // reports go to the console, not a dialog
        RegisterRows();
        std::string pattern = (TempParent() / "iap-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        previousSave = LoadSave_GetSaveArea();
        LoadSave_SetSaveArea((folder + "/").c_str());
        Pell_ResetAchievements();
        Pell_SetAchievementsAvailable(false);
        IAP_Reset();
        IAP_SetStore(nullptr);
        Events().clear();
        Async_SetEventPerformer(RecordEvent);
        IAP_SetEventPerformer(RecordEvent);
        ConsoleText().clear();
        Console_SetDebuggerSink([](const char* text) { ConsoleText() += text; });
    }
    void TearDown() override {
        Console_SetDebuggerSink(nullptr);
        Async_SetEventPerformer(nullptr);
        IAP_SetEventPerformer(nullptr);
        Async_FreeAll();
        IAP_SetStore(nullptr);
        IAP_Reset();
        Pell_SetAchievementService(nullptr);
        Pell_ResetAchievements();
        LoadSave_SetSaveArea(previousSave.c_str());
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        g_Switches.headless = false;
        Error_SetOccurred(false);
    }

    std::string CachePath() const { return folder + "/" + Pell_AchievementCacheName(); }
    void WriteCache(const std::string& bytes) { std::ofstream(CachePath(), std::ios::binary) << bytes; }
    std::string ReadCache() const {
        std::ifstream file(CachePath(), std::ios::binary);
        std::stringstream out;
        out << file.rdbuf();
        return out.str();
    }

    std::string folder, previousSave;
};

std::string Record(uint32_t kind, const std::string& name, uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>(kind >> (8 * i));
    out += name;
    out += '\0';
    for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * i));
    return out;
}

uint32_t FloatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// --- the achievement cache -----------------------------------------------------------------------

using AchievementCacheTest = ServicesFixture;

TEST_F(AchievementCacheTest, AFileOfTwoEntriesLoadsInOrderAndIsWrittenBackByteForByte) {
    const std::string bytes = Record(1, "a", 7) + Record(2, "bc", FloatBits(1.5f));
    ASSERT_EQ(bytes.size(), 21u);
    WriteCache(bytes);
    EXPECT_EQ(Pell_AchievementCacheName(), "playerachievementcache.dat");
    EXPECT_FALSE(Pell_LoadAchievementCache());
    const std::vector<AchievementEntry> entries = Pell_PendingEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].kind, 1u);
    EXPECT_EQ(entries[0].name, "a");
    EXPECT_EQ(entries[0].value, 7u);
    EXPECT_EQ(entries[1].name, "bc");
    EXPECT_EQ(entries[1].value, FloatBits(1.5f));
    std::filesystem::remove(CachePath());
    Pell_Shutdown();
    EXPECT_EQ(ReadCache(), bytes);
    // A second load into a list that holds entries does nothing.
    Pell_LoadAchievementCache();
    EXPECT_EQ(Pell_PendingEntries().size(), 2u);
}

TEST_F(AchievementCacheTest, LoadingCapsTheListAndStopsAtTheEndOfTheData) {
    std::string bytes;
    for (int i = 0; i < 2050; ++i) bytes += Record(1, "n" + std::to_string(i), static_cast<uint32_t>(i));
    WriteCache(bytes);
    Pell_LoadAchievementCache();
    EXPECT_EQ(Pell_PendingEntries().size(), 2049u);
    EXPECT_EQ(Pell_PendingEntries().back().name, "n2048");

    // Records cut short: a name without its zero byte, or a value missing bytes, end the load.
    for (const std::string& tail :
         {std::string("\1\0\0\0abc", 7), std::string("\1\0\0\0a\0\7\0", 8), std::string("\1\0", 2)}) {
        Pell_ResetAchievements();
        WriteCache(Record(3, "x", 1) + tail);
        Pell_LoadAchievementCache();
        ASSERT_EQ(Pell_PendingEntries().size(), 1u);
        EXPECT_EQ(Pell_PendingEntries()[0].name, "x");
    }
}

TEST_F(AchievementCacheTest, AnEmptyListLeavesTheFileAloneAndAMissingFileLeavesTheListEmpty) {
    Pell_LoadAchievementCache();
    EXPECT_TRUE(Pell_PendingEntries().empty());
    WriteCache("keep");
    Pell_Shutdown();
    EXPECT_EQ(ReadCache(), "keep");
}

class RecordingService final : public AchievementService {
public:
    bool SendInt(uint32_t, const char* name, int32_t value) override {
        sent.push_back(std::string(name) + "=" + std::to_string(value));
        return true;
    }
    bool SendFloat(uint32_t, const char* name, float value) override {
        sent.push_back(std::string(name) + "=" + std::to_string(value));
        return true;
    }
    std::vector<std::string> sent;
};

TEST_F(AchievementCacheTest, ThePumpSendsOneAtATimeAndPausesAfterAFailure) {
    RecordingService service;
    Pell_SetAchievementService(&service);
    Pell_AddPending(1, "first", 5);
    Pell_AddPending(2, "second", FloatBits(0.5f));
    EXPECT_EQ(ReadCache(), Record(1, "first", 5) + Record(2, "second", FloatBits(0.5f)));
    Pell_ProcessPending();  // not available: nothing
    EXPECT_TRUE(service.sent.empty());
    Pell_SetAchievementsAvailable(true);
    Pell_ProcessPending();
    Pell_ProcessPending();  // waiting
    EXPECT_EQ(service.sent, std::vector<std::string>{"first=5"});
    Pell_SetAchievementOutcome(ACHIEVEMENT_FAILED);
    Pell_ProcessPending();  // to the back, and a pause
    EXPECT_EQ(Pell_PendingEntries().front().name, "second");
    EXPECT_EQ(ReadCache(), Record(2, "second", FloatBits(0.5f)) + Record(1, "first", 5));
    for (int step = 0; step <= kAchievementPauseSteps; ++step) Pell_ProcessPending();
    EXPECT_EQ(service.sent.size(), 1u);
    Pell_ProcessPending();
    EXPECT_EQ(service.sent.back(), "second=0.500000");
    Pell_SetAchievementOutcome(ACHIEVEMENT_SUCCEEDED);
    Pell_ProcessPending();
    ASSERT_EQ(Pell_PendingEntries().size(), 1u);
    EXPECT_EQ(ReadCache(), Record(1, "first", 5));
}

// --- cloud, queued script calls and the pause event ------------------------------------------------

using PellServicesTest = ServicesFixture;

struct CloudCase {
    int32_t status;
    std::string bytes;
    std::map<std::string, std::string> expected;
};

TEST_F(PellServicesTest, CloudCompletionsBuildTheirMapFromTheStatus) {
    const std::vector<CloudCase> cases = {
        {0,
         std::string("D\0R", 3),
         {{"errorString", "0"}, {"resultString", "R"}, {"status", "0"}, {"description", "D"}}},
        {-1, "E", {{"errorString", "E"}, {"resultString", "0"}, {"status", "-1"}, {"description", "0"}}},
        {1, "R2", {{"errorString", "0"}, {"resultString", "R2"}, {"status", "1"}, {"description", "0"}}},
    };
    for (const CloudCase& c : cases) {
        // The list owns the record: Async_FreeAll deletes it.
        auto* request = new HTTP_REQ_CONTEXT(nullptr, 16, nullptr, nullptr, nullptr, true);
        std::memcpy(request->result, c.bytes.data(), c.bytes.size());
        request->received = static_cast<int32_t>(c.bytes.size());
        request->httpStatus = c.status;
        int32_t map = -1;
        EXPECT_EQ(Pell_CloudComplete(request, nullptr, &map), 67);
        std::map<std::string, std::string> values = Snapshot(map);
        EXPECT_EQ(values["id"], std::to_string(request->id));
        values.erase("id");
        EXPECT_EQ(values, c.expected) << c.status;
        DsMap_Destroy(map);
    }
    Async_FreeAll();
    // A string and a number pass the type check and answer the counter's current value.
    EXPECT_EQ(Real(Call("cloud_string_save", {Text("data"), RValue_Real(3)})), Async_NextId());
    Error_SetOccurred(false);
    EXPECT_EQ(Real(Call("cloud_string_save", {RValue_Real(1), RValue_Real(3)})), 0);
    EXPECT_TRUE(Error_Occurred());
    Error_SetOccurred(false);
    EXPECT_EQ(Real(Call("cloud_file_save", {Text("nowhere.txt"), Text("d")})), 0);
    EXPECT_NE(ConsoleText().find("ERROR!!! :: Failed to open file: nowhere.txt\n"), std::string::npos);
}

TEST_F(PellServicesTest, QueuedCallsSkipWhatIsNotAScriptIndexAndDrainTheQueue) {
    EXPECT_EQ(Pell_CallbackQueue(), -1);
    Pell_ProcessCallbacks();  // no queue: nothing
    const int32_t queue = DsQueue_Create();
    RValue text = Text("junk");
    {
        int32_t count = 0;
        CDS_Queue* q = DS_GetQueueTable(&count)[queue];
        q->Enqueue(&text);
        for (double d : {2.0, 1.0, 10.0, -4.0}) {
            RValue v = RValue_Real(d);
            q->Enqueue(&v);
        }
    }
    RValue_Free(&text);
    Pell_SetCallbackQueue(queue);
    Error_SetOccurred(false);
    Pell_ProcessCallbacks();  // script 2 does not exist here: no error, the values are taken
    EXPECT_FALSE(Error_Occurred());
    EXPECT_EQ(DsQueue_Size(queue), 0);
    Pell_SetCallbackQueue(-1);
}

TEST_F(PellServicesTest, LosingActivationPausesForExactlyOneStep) {
    EXPECT_EQ(Real(Call("os_is_paused")), 0);
    Pell_RegisterPauseEvent();
    EXPECT_EQ(Real(Call("os_is_paused")), 0);
    Pell_Tick();
    EXPECT_EQ(Real(Call("os_is_paused")), 1);
    EXPECT_EQ(Real(Call("Pell_OSPauseEvent")), 1);
    Pell_Tick();
    EXPECT_EQ(Real(Call("os_is_paused")), 0);
    EXPECT_EQ(ConsoleText(),
              "Pause event has been registered for this frame\nPause event has been unregistered\n");
    const std::string before = ConsoleText();
    Pell_Tick();
    EXPECT_EQ(ConsoleText(), before);  // nothing more
}

// --- purchase records ----------------------------------------------------------------------------

using IapRecordTest = ServicesFixture;

int32_t MapOf(std::initializer_list<std::pair<const char*, RValue>> entries) {
    const int32_t map = DsMap_Create();
    for (const auto& [key, value] : entries) {
        RValue name = Text(key);
        RValue copy = value;
        DS_GetMap(map)->Add(&name, &copy);
        RValue_Free(&name);
    }
    return map;
}

TEST_F(IapRecordTest, ProductsFromMapsAndJson) {
    CIAPProduct product;
    int32_t map =
        MapOf({{"id", Text("gold")}, {"price", RValue_Real(4.5)}, {"itemType", Text("consumable")}});
    product.SetFromMap(map);
    EXPECT_EQ(product.productId, "gold");
    EXPECT_EQ(product.price, "4.50");
    EXPECT_EQ(product.type, "consumable");
    DsMap_Destroy(map);

    json_object* json = json_tokener_parse(R"({"PRODUCTID":"p1","price":3,"Title":"T"})");
    CIAPProduct fromJson;
    fromJson.SetFromJson(json);
    json_object_put(json);
    EXPECT_EQ(fromJson.productId, "p1");
    EXPECT_FALSE(fromJson.price);
    EXPECT_EQ(fromJson.title, "T");

    CIAPProduct onlyId;
    onlyId.productId = "x";
    map = DsMap_Create();
    onlyId.WriteToMap(map);
    EXPECT_EQ(Snapshot(map), (std::map<std::string, std::string>{{"id", "x"}, {"verified", "0"}}));
    DsMap_Destroy(map);
}

TEST_F(IapRecordTest, PurchaseSlotsAreReusedAndInvalidatedByProductAndToken) {
    for (int i = 0; i < 3; ++i) {
        const int32_t slot = IAP_NewPurchase();
        IAP_GetPurchase(slot)->productId = "p";
        IAP_GetPurchase(slot)->token = i == 2 ? "other" : "t";
    }
    IAP_InvalidatePurchases("p", "t");
    EXPECT_EQ(IAP_GetPurchase(0), nullptr);
    EXPECT_EQ(IAP_GetPurchase(1), nullptr);
    EXPECT_NE(IAP_GetPurchase(2), nullptr);
    EXPECT_EQ(IAP_NewPurchase(), 0);
    EXPECT_EQ(IAP_NewPurchase(), 1);
    EXPECT_EQ(IAP_NewPurchase(), 3);
    EXPECT_EQ(IAP_GetPurchase(4), nullptr);
    EXPECT_EQ(IAP_GetPurchase(-1), nullptr);
}

TEST_F(IapRecordTest, ProductsLoadFromListsAndJsonText) {
    const int32_t a = MapOf({{"id", Text("a")}});
    const int32_t b = MapOf({{"id", Text("b")}, {"title", Text("Bee")}});
    const int32_t list = DsList_Create();
    for (double d : {static_cast<double>(a), -1.0, static_cast<double>(b)}) {
        RValue v = RValue_Real(d);
        g_DsListTable.Get(list)->Add(&v);
    }
    IAP_LoadProductsFromList(list);
    ASSERT_EQ(IAP_ProductCount(), 2);
    EXPECT_EQ(IAP_GetProduct(1)->title, "Bee");
    RValue second = Text("b");
    EXPECT_EQ(IAP_ProductIndexFromArg(second), 1);
    RValue_Free(&second);
    EXPECT_EQ(IAP_ProductIndexFromArg(RValue_Real(2)), -1);

    RValue text = Text(R"({"c": {"title": "Sea"}, "d": {"id": "dd"}})");
    EXPECT_GE(IAP_LoadProductsFromJson(&text), 0);
    RValue_Free(&text);
    ASSERT_EQ(IAP_ProductCount(), 4);
    std::vector<std::string> ids = {*IAP_GetProduct(2)->productId, *IAP_GetProduct(3)->productId};
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"c", "dd"}));
    DS_DestroyMap(a);
    DS_DestroyMap(b);
    DS_DestroyList(list);
}

// --- purchase requests ---------------------------------------------------------------------------

using IapRequestTest = ServicesFixture;

void Stage() {
    IAP_ProcessEvents();
}

TEST_F(IapRequestTest, WithNoStoreActivationEndsNotAvailable) {
    EXPECT_EQ(Real(Call("iap_status")), -2);
    const int32_t products = DsList_Create();
    const int32_t gold = MapOf({{"id", Text("gold")}});
    RValue v = RValue_Real(gold);
    g_DsListTable.Get(products)->Add(&v);
    Call("iap_activate", {RValue_Real(products)});
    EXPECT_EQ(Real(Call("iap_status")), 0);
    Stage();
    EXPECT_EQ(Real(Call("iap_store_status")), -1);
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].subtype, 66);
    EXPECT_EQ(Events()[0].values, (std::map<std::string, std::string>{{"type", "0"}, {"status", "-1"}}));

    Error_SetOccurred(false);
    EXPECT_EQ(Real(Call("iap_acquire", {Text("gold"), Text("payload")})), 0);  // the new slot
    EXPECT_EQ(IAP_GetPurchase(0)->state, -2);
    EXPECT_EQ(Real(Call("iap_is_purchased", {Text("gold")})), 0);
    EXPECT_EQ(Real(Call("iap_acquire", {Text("silver"), Text("")})), -1);
    EXPECT_EQ(Real(Call("iap_purchase_details", {RValue_Real(7), RValue_Real(0)})), 0);
    const int32_t details = DsMap_Create();
    EXPECT_EQ(Real(Call("iap_product_details", {Text("gold"), RValue_Real(details)})), 1);
    EXPECT_EQ(Snapshot(details), (std::map<std::string, std::string>{{"id", "gold"}, {"verified", "0"}}));
    EXPECT_EQ(Real(Call("iap_purchase_details", {RValue_Real(0), RValue_Real(details)})), 1);
    EXPECT_EQ(Snapshot(details).at("status"), "-2");
    Call("iap_restore_all");
    EXPECT_EQ(Real(Call("iap_status")), -1);
    EXPECT_FALSE(Error_Occurred());
    DS_DestroyMap(details);
    DS_DestroyMap(gold);
    DS_DestroyList(products);
}

// A store that answers every request with the event a real one would post.
class FakeStore final : public IAPStore {
public:
    void Activate() override { IAP_PostStatus(0); }
    void Purchase(const char* product, const char*, int32_t slot) override {
        char text[256];
        std::snprintf(text, sizeof text,
                      R"({"productId":"%s","orderId":"o1","purchaseState":0,"purchaseToken":"tok",)"
                      R"("purchaseIndex":%d,"response":7})",
                      product, slot);
        IAP_PostEvent(IAP_EVENT_PURCHASE, json_tokener_parse(text));
    }
    void Consume(const char* product) override {
        const std::string text =
            std::string(R"({"productId":")") + product + R"(","token":"tok","consumed":"TRUE"})";
        IAP_PostEvent(IAP_EVENT_CONSUMED, json_tokener_parse(text.c_str()));
    }
    void ProductDetails(const char* product) override {
        const std::string text =
            std::string(R"({"productId":")") + product + R"(","title":"Gold","price":"1.99"})";
        IAP_PostEvent(IAP_EVENT_PRODUCT, json_tokener_parse(text.c_str()));
    }
    void Restore() override { IAP_PostEvent(IAP_EVENT_RESTORED, nullptr); }
};

TEST_F(IapRequestTest, AFakeStoreDrivesTheEventMaps) {
    FakeStore store;
    IAP_SetStore(&store);
    Call("iap_activate", {Text(R"({"gold": {}})")});
    Stage();
    EXPECT_EQ(Real(Call("iap_status")), 1);
    const int32_t details = DsMap_Create();
    Call("iap_product_details", {Text("gold"), RValue_Real(details)});
    EXPECT_EQ(Real(Call("iap_status")), 2);
    // Busy: the purchase waits, and goes out when the product event finishes.
    EXPECT_EQ(Real(Call("iap_acquire", {Text("gold"), Text("pay")})), 0);
    Stage();
    Stage();
    ASSERT_EQ(Events().size(), 3u);
    EXPECT_EQ(Events()[1].values,
              (std::map<std::string, std::string>{{"type", "1"}, {"product", "gold"}, {"index", "0"}}));
    EXPECT_EQ(Events()[2].values,
              (std::map<std::string, std::string>{{"type", "2"}, {"index", "0"}, {"response", "7"}}));
    EXPECT_TRUE(IAP_GetProduct(0)->verified);
    EXPECT_EQ(IAP_GetProduct(0)->price, "1.99");
    EXPECT_EQ(Real(Call("iap_is_purchased", {Text("gold")})), 1);
    EXPECT_EQ(Real(Call("iap_purchase_details", {Text("o1"), RValue_Real(details)})), 1);
    EXPECT_EQ(Snapshot(details).at("order"), "o1");

    Call("iap_consume", {Text("gold")});
    Stage();
    ASSERT_EQ(Events().size(), 4u);
    EXPECT_EQ(Events()[3].values,
              (std::map<std::string, std::string>{{"type", "3"}, {"product", "gold"}, {"consumed", "1"}}));
    EXPECT_EQ(IAP_GetPurchase(0), nullptr);
    EXPECT_EQ(Real(Call("iap_is_purchased", {Text("gold")})), 0);

    Call("iap_restore_all");
    EXPECT_EQ(Real(Call("iap_status")), 3);
    Stage();
    EXPECT_EQ(Events().back().values, (std::map<std::string, std::string>{{"type", "4"}}));
    EXPECT_EQ(Real(Call("iap_status")), 1);
    DS_DestroyMap(details);
}

}  // namespace
