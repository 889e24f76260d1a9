// In-app purchases: the product and purchase records and their tables, the requests the iap_*
// built-ins make of a store, and the store's events, which reach the game as Other event 66.
// Here there is no store: activating posts a status event with status -1, so the store is not
// available and later purchase requests are ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Value.h"

struct json_object;

// --- records -------------------------------------------------------------------------------------

struct CIAPProduct {
    std::optional<std::string> productId, title, description, price, type;
    bool verified = false;

    // From a ds_map: "id", "title", "description", "price" (a real is written "%.2f"), "type"
    // (else "itemType"); only string values with text are taken, except a real price.
    void SetFromMap(int32_t map);
    // From a JSON object's string members; names compare without regard to case.
    void SetFromJson(json_object* object);
    // The five texts; verified is not copied.
    void CopyFrom(const CIAPProduct& other);
    // Clears the ds_map and writes "id", the present texts and "verified".
    void WriteToMap(int32_t map) const;
    void Clear();
};

struct CIAPPurchase {
    std::optional<std::string> orderId, productId, receipt, token, payload;
    int32_t response = 0;
    int32_t time = 0;
    int32_t state = -2;  // 0: purchased

    // Answers the object's "purchaseIndex", -1 when it has none.
    int32_t SetFromJson(json_object* object);
    void CopyFrom(const CIAPPurchase& other);
    // Clears the ds_map and writes "product", "order", "receipt", "payload", "token" (strings)
    // and "status", "time", "response" (reals).
    void WriteToMap(int32_t map) const;
    void Clear();
};

// --- tables --------------------------------------------------------------------------------------

int32_t IAP_ProductCount();
// Null for an index outside the table.
CIAPProduct* IAP_GetProduct(int32_t index);
int32_t IAP_PurchaseCount();
// Null for an index outside the table or an empty slot.
CIAPPurchase* IAP_GetPurchase(int32_t index);

// A real in range, or the first product whose id is the text; else -1.
int32_t IAP_ProductIndexFromArg(const RValue& argument);
// A real as it is (callers range-check through IAP_GetPurchase), or the first purchase whose
// order id is the text; else -1.
int32_t IAP_PurchaseIndexFromArg(const RValue& argument);
// The first purchase of the product in state 0; -1 when none.
int32_t IAP_FindPurchasedProduct(const char* productId);
// A new purchase in the first empty slot, or appended.
int32_t IAP_NewPurchase();
// Deletes every purchase whose product and token are these; no token deletes none.
void IAP_InvalidatePurchases(const char* productId, const char* token);
// A product for each ds_list entry that is a map index (0 or more).
void IAP_LoadProductsFromList(int32_t list);
// Products from a JSON object text, one per member; answers the index the decoding gave
// (-1: not an object), whose map is destroyed afterwards.
int32_t IAP_LoadProductsFromJson(const RValue* value);
// Appends a product; answers its index.
int32_t IAP_AppendProduct(CIAPProduct product);
// Empties both tables (tests).
void IAP_ClearTables();

// --- the store -----------------------------------------------------------------------------------

// A store back end: called on the main thread, reports only by posting events (from any
// thread) with IAP_PostStatus and IAP_PostEvent.
class IAPStore {
public:
    virtual ~IAPStore() = default;
    virtual void Activate() = 0;
    virtual void Purchase(const char* productId, const char* payload, int32_t purchaseIndex) = 0;
    virtual void Consume(const char* productId) = 0;
    virtual void ProductDetails(const char* productId) = 0;
    virtual void Restore() = 0;
};
// Null: no store (activating reports status -1).
void IAP_SetStore(IAPStore* store);

// Event types as the store posts them.
enum IAPEventType : int32_t {
    IAP_EVENT_STATUS = 0,
    IAP_EVENT_PRODUCT = 1,
    IAP_EVENT_PURCHASE = 2,
    IAP_EVENT_CONSUMED = 3,
    IAP_EVENT_RESTORED = 4,
};
constexpr int32_t kAsyncEventIAP = 66;

void IAP_PostStatus(int32_t status);
// An event of type 1, 2 or 3 carrying a JSON object (taken over), or 4 with none.
void IAP_PostEvent(int32_t type, json_object* json);

// Performs Other event 66 on every instance that has it: the game world's pass, unless a test
// installs another. Null restores the world's.
using IAPEventPerformer = void (*)(int32_t subtype);
void IAP_SetEventPerformer(IAPEventPerformer perform);

// -2 never activated, -1 not available, 0 activating, 1 ready, 2 busy, 3 restoring.
int32_t IAP_StoreState();
// The first step of the asynchronous stage: each posted event updates the tables and the
// state, then is performed as Other event 66 with async_load holding its map.
void IAP_ProcessEvents();
// Puts the store at -2 with no events, no deferred requests and empty tables.
void IAP_Reset();
// Resets, then adds the 15 iap_* rows.
void IAP_Init();
