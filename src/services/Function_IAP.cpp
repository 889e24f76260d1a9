// The iap_* built-ins, the requests they make of the store and the store's events. Requests are
// sent, deferred while the store is busy, or dropped, by the store's state; events are handled
// in the asynchronous stage and performed as Other event 66.
#include <json-c/json.h>
#include <strings.h>

#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "base/Error_Report.h"
#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/Thread.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures.h"
#include "data/Support_Data_Structures.h"
#include "io/HTTP_Main.h"
#include "services/IAP.h"
#include "world/Event_Main.h"

namespace {

enum RequestType : int32_t {
    REQUEST_ACTIVATE = 0,
    REQUEST_PURCHASE = 1,
    REQUEST_CONSUME = 2,
    REQUEST_DETAILS = 3,
    REQUEST_RESTORE = 4,
};

struct Request {
    int32_t type;
    std::string product, payload;
    int32_t purchaseIndex = -1;
};

struct PostedEvent {
    int32_t type;
    int32_t status = 0;
    json_object* json = nullptr;
};

// No store here: activating finds it not available.
class NoStore final : public IAPStore {
public:
    void Activate() override { IAP_PostStatus(-1); }
    void Purchase(const char*, const char*, int32_t) override {}
    void Consume(const char*) override {}
    void ProductDetails(const char*) override {}
    void Restore() override {}
};

NoStore g_noStore;
IAPEventPerformer g_perform = Event_PerformOtherPass;
IAPStore* g_store = &g_noStore;
int32_t g_state = -2;
std::vector<PostedEvent> g_events;  // guarded by EventLock
std::deque<Request> g_deferred;     // main thread only

constexpr const char* kNotAvailable = "BILLING: Request ignored; Store is not available\n";
constexpr const char* kAlreadyLoaded = "BILLING: Activate request ignored; Store has already loaded\n";

Mutex& EventLock() {
    static Mutex lock("comsiapevents");
    return lock;
}

void SendRequest(const Request& request) {
    switch (request.type) {
        case REQUEST_ACTIVATE:
            g_state = 0;
            g_store->Activate();
            break;
        case REQUEST_PURCHASE:
            g_state = 2;
            g_store->Purchase(request.product.c_str(), request.payload.c_str(), request.purchaseIndex);
            break;
        case REQUEST_CONSUME:
            g_state = 2;
            g_store->Consume(request.product.c_str());
            break;
        case REQUEST_DETAILS:
            g_state = 2;
            g_store->ProductDetails(request.product.c_str());
            break;
        case REQUEST_RESTORE:
            g_state = 3;
            g_store->Restore();
            break;
        default:
            g_state = 1;
            break;
    }
}

void QueueRequest(const Request& request) {
    const bool activation = request.type == REQUEST_ACTIVATE;
    switch (g_state) {
        case -2:
        case -1:
            if (activation)
                SendRequest(request);
            else
                ErrorConsole.Output("%s", kNotAvailable);
            break;
        case 0:
        case 2:
            ErrorConsole.Output("BILLING: Request deferred, store isn't available right now\n");
            g_deferred.push_back(request);
            break;
        case 1:
            if (activation)
                ErrorConsole.Output("%s", kAlreadyLoaded);
            else
                SendRequest(request);
            break;
        default:
            break;
    }
}

// The store is ready again; one deferred request goes out.
void Finish() {
    g_state = 1;
    if (g_deferred.empty()) return;
    const Request request = g_deferred.front();
    g_deferred.pop_front();
    ErrorConsole.Output("BILLING: Executing deferred request=%d\n", request.type);
    SendRequest(request);
}

const char* JsonText(json_object* object, const char* name) {
    json_object* member = nullptr;
    if (object == nullptr || !json_object_object_get_ex(object, name, &member) || member == nullptr)
        return nullptr;
    return json_object_get_string(member);
}

void HandleProduct(int32_t map, json_object* json) {
    CIAPProduct found;
    found.SetFromJson(json);
    int32_t index = -1;
    if (found.productId) {
        RValue id = RValue_Undefined();
        RValue_CreateString(&id, found.productId->c_str());
        index = IAP_ProductIndexFromArg(id);
        RValue_Free(&id);
        if (index < 0) {
            CIAPProduct added;
            added.productId = found.productId;
            index = IAP_AppendProduct(std::move(added));
        }
        CIAPProduct* product = IAP_GetProduct(index);
        product->CopyFrom(found);
        product->verified = true;
    }
    if (found.productId)
        DsMap_AddString(map, "product", found.productId->c_str());
    else
        DsMap_AddReal(map, "product", 0);
    DsMap_AddReal(map, "index", index);
}

// The slot the store names is used when it holds a purchase of the same product (letter case
// aside); otherwise the purchase is found by its order, then its product, or made.
void HandlePurchase(int32_t map, json_object* json) {
    CIAPPurchase found;
    const int32_t named = found.SetFromJson(json);
    int32_t index = -1;
    if (found.productId) {
        const CIAPPurchase* slot = IAP_GetPurchase(named);
        const bool sameProduct = slot != nullptr && slot->productId &&
                                 strcasecmp(slot->productId->c_str(), found.productId->c_str()) == 0;
        index = sameProduct ? named : -1;
        if (index < 0 && found.orderId) {
            RValue order = RValue_Undefined();
            RValue_CreateString(&order, found.orderId->c_str());
            index = IAP_PurchaseIndexFromArg(order);
            RValue_Free(&order);
            if (IAP_GetPurchase(index) == nullptr) index = -1;
        }
        if (index < 0) index = IAP_FindPurchasedProduct(found.productId->c_str());
        if (index < 0) index = IAP_NewPurchase();
        IAP_GetPurchase(index)->CopyFrom(found);
    }
    DsMap_AddReal(map, "index", index);
    DsMap_AddReal(map, "response", found.response);
}

void HandleConsumed(int32_t map, json_object* json) {
    const char* product = JsonText(json, "productId");
    const char* consumedText = JsonText(json, "consumed");
    const bool consumed = consumedText != nullptr && strcasecmp(consumedText, "true") == 0;
    if (product != nullptr && consumed) {
        ErrorConsole.Output("BILLING(R): Product %s has been consumed\n", product);
        IAP_InvalidatePurchases(product, JsonText(json, "token"));
    }
    if (product != nullptr)
        DsMap_AddString(map, "product", product);
    else
        DsMap_AddReal(map, "product", 0);
    DsMap_AddReal(map, "consumed", consumed ? 1 : 0);
}

// Updates the tables and the state from one event, before the game sees it.
void HandleStoreEvent(int32_t map, const PostedEvent& event) {
    switch (event.type) {
        case IAP_EVENT_STATUS:
            if (event.status != 0) {
                g_state = -1;
                return;
            }
            break;
        case IAP_EVENT_PRODUCT:
            HandleProduct(map, event.json);
            if (g_state == 0) return;
            break;
        case IAP_EVENT_PURCHASE:
            HandlePurchase(map, event.json);
            if (g_state == 0 || g_state == 3) return;
            break;
        case IAP_EVENT_CONSUMED:
            HandleConsumed(map, event.json);
            break;
        case IAP_EVENT_RESTORED:
            break;
        default:
            return;
    }
    Finish();
}

// --- built-ins -----------------------------------------------------------------------------------

// The first argument, or undefined for a call without one.
const RValue& FirstArg(int32_t argc, RValue* args) {
    static const RValue kNone = RValue_Undefined();
    return argc > 0 ? args[0] : kNone;
}

#define IAP_BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

IAP_BUILTIN(IAPActivate) {
    if (argc < 1) return;
    if (RValue_IsReal(args[0])) {
        IAP_LoadProductsFromList(Arg_GetInt32(args, 0));
    } else if (RValue_IsString(args[0])) {
        Result_SetReal(result, IAP_LoadProductsFromJson(&args[0]));
    }
    QueueRequest({REQUEST_ACTIVATE, {}, {}, -1});
}
IAP_BUILTIN(IAPStatus) {
    Result_SetReal(result, g_state);
}
IAP_BUILTIN(IAPAcquire) {
    Result_SetReal(result, -1);
    const CIAPProduct* product = IAP_GetProduct(IAP_ProductIndexFromArg(FirstArg(argc, args)));
    if (product == nullptr) {
        const RValue& argument = FirstArg(argc, args);
        const char* text = RValue_IsString(argument) ? RValue_GetStringText(&argument) : nullptr;
        if (text == nullptr) {
            char number[64];
            std::snprintf(number, sizeof number, "%g", RValue_IsReal(argument) ? argument.val : 0.0);
            ErrorConsole.Output("BILLING(R): Error, product %s does not exist\n", number);
        } else {
            ErrorConsole.Output("BILLING(R): Error, product %s does not exist\n", text);
        }
        return;
    }
    const int32_t slot = IAP_NewPurchase();
    const std::string productId = product->productId.value_or("");
    IAP_GetPurchase(slot)->productId = product->productId;
    QueueRequest({REQUEST_PURCHASE, productId, argc > 1 ? Arg_GetStringOrEmpty(args, 1) : "", slot});
    Result_SetReal(result, slot);
}
IAP_BUILTIN(IAPConsume) {
    const CIAPProduct* product = IAP_GetProduct(IAP_ProductIndexFromArg(FirstArg(argc, args)));
    if (product == nullptr) {
        ErrorConsole.Output("BILLING(R): Error, product %d does not exist\n", -1);
        return;
    }
    QueueRequest({REQUEST_CONSUME, product->productId.value_or(""), {}, -1});
}
IAP_BUILTIN(IAPIsPurchased) {
    Result_SetReal(result, 0);
    if (argc < 1 || !RValue_IsString(args[0])) return;
    Result_SetFlag(result, IAP_FindPurchasedProduct(RValue_GetStringText(&args[0])) >= 0);
}
IAP_BUILTIN(IAPEnumerateProducts) {
    CDS_List* list = g_DsListTable.Get(Arg_GetInt32(args, 0));
    if (list == nullptr) {
        Error_Report("Data structure with index does not exist.", false);
        return;
    }
    for (int32_t i = 0; i < IAP_ProductCount(); ++i) {
        RValue id = RValue_Undefined();
        RValue_CreateString(&id,
                            IAP_GetProduct(i)->productId ? IAP_GetProduct(i)->productId->c_str() : nullptr);
        list->Add(&id);
        RValue_Free(&id);
    }
}
IAP_BUILTIN(IAPRestoreAll) {
    QueueRequest({REQUEST_RESTORE, {}, {}, -1});
}
IAP_BUILTIN(IAPProductDetails) {
    CIAPProduct* product = IAP_GetProduct(IAP_ProductIndexFromArg(FirstArg(argc, args)));
    if (product == nullptr) return Result_SetReal(result, 0);
    if (!product->verified) QueueRequest({REQUEST_DETAILS, product->productId.value_or(""), {}, -1});
    product->WriteToMap(Arg_GetInt32(args, 1));
    Result_SetReal(result, 1);
}
IAP_BUILTIN(IAPPurchaseDetails) {
    const CIAPPurchase* purchase = IAP_GetPurchase(IAP_PurchaseIndexFromArg(FirstArg(argc, args)));
    if (purchase == nullptr) return Result_SetReal(result, 0);
    purchase->WriteToMap(Arg_GetInt32(args, 1));
    Result_SetReal(result, 1);
}
IAP_BUILTIN(IAPDeprecated) {
    Error_Show("IAP routine has been deprecated", true);
}

const BuiltinRow kIAPRows[] = {
    {"iap_activate", F_IAPActivate, 1},
    {"iap_status", F_IAPStatus, 0},
    {"iap_acquire", F_IAPAcquire, 2},
    {"iap_consume", F_IAPConsume, 1},
    {"iap_is_purchased", F_IAPIsPurchased, 1},
    {"iap_enumerate_products", F_IAPEnumerateProducts, 1},
    {"iap_restore_all", F_IAPRestoreAll, 0},
    {"iap_product_details", F_IAPProductDetails, 2},
    {"iap_purchase_details", F_IAPPurchaseDetails, 2},
    {"iap_store_status", F_IAPStatus, 0},
    {"iap_event_queue", F_IAPDeprecated, 0},
    {"iap_product_status", F_IAPDeprecated, 1},
    {"iap_is_downloaded", F_IAPDeprecated, 1},
    {"iap_product_files", F_IAPDeprecated, 2},
    {"iap_files_purchased", F_IAPDeprecated, 0},
};
static_assert(std::size(kIAPRows) == 15);

}  // namespace

void IAP_SetStore(IAPStore* store) {
    g_store = store != nullptr ? store : &g_noStore;
}

void IAP_SetEventPerformer(IAPEventPerformer perform) {
    g_perform = perform != nullptr ? perform : Event_PerformOtherPass;
}

void IAP_PostStatus(int32_t status) {
    std::lock_guard<Mutex> hold(EventLock());
    g_events.push_back({IAP_EVENT_STATUS, status, nullptr});
}

void IAP_PostEvent(int32_t type, json_object* json) {
    std::lock_guard<Mutex> hold(EventLock());
    g_events.push_back({type, 0, json});
}

int32_t IAP_StoreState() {
    return g_state;
}

void IAP_ProcessEvents() {
    std::vector<PostedEvent> events;
    {
        std::lock_guard<Mutex> hold(EventLock());
        events.swap(g_events);
    }
    for (const PostedEvent& event : events) {
        const int32_t map = DsMap_Create();
        DsMap_AddReal(map, "type", event.type);
        if (event.type == IAP_EVENT_STATUS) DsMap_AddReal(map, "status", event.status);
        HandleStoreEvent(map, event);
        if (event.json != nullptr) json_object_put(event.json);
        const int32_t previous = Async_GetLoadMap();
        Async_SetLoadMap(map);
        g_perform(kAsyncEventIAP);
        Async_SetLoadMap(previous);
        DsMap_Destroy(map);
    }
}

void IAP_Reset() {
    {
        std::lock_guard<Mutex> hold(EventLock());
        for (const PostedEvent& event : g_events)
            if (event.json != nullptr) json_object_put(event.json);
        g_events.clear();
    }
    g_deferred.clear();
    g_state = -2;
    IAP_ClearTables();
}

void IAP_Init() {
    IAP_Reset();
    Code_Function_AddRows(kIAPRows);
}
