// The product and purchase records of in-app purchases and their two tables. Products are
// appended and never removed; a purchase slot is emptied when its purchase is invalidated and
// taken again by the next new purchase.
#include <json-c/json.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/Console.h"
#include "data/Function_Data_Structures.h"
#include "data/Support_Data_Structures.h"
#include "io/Support_Json.h"
#include "services/IAP.h"

namespace {

std::vector<CIAPProduct> g_products;
std::vector<std::unique_ptr<CIAPPurchase>> g_purchases;

// The value under the key in the ds_map, or null.
const RValue* MapValue(int32_t map, const char* key) {
    const CDS_Map* object = DS_GetMap(map);
    if (object == nullptr) return nullptr;
    RValue name = RValue_Undefined();
    RValue_CreateString(&name, key);
    const DSMapEntry* entry = object->Find(&name);
    RValue_Free(&name);
    return entry != nullptr ? &entry->value : nullptr;
}

// The text of a string value that has one.
const char* TextOf(const RValue* value) {
    if (value == nullptr || !RValue_IsString(*value)) return nullptr;
    return RValue_GetStringText(value);
}

void SetText(std::optional<std::string>& field, const char* text) {
    if (text != nullptr) field = text;
}

const char* Optional(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

bool Named(const char* key, const char* name) {
    return strcasecmp(key, name) == 0;
}

}  // namespace

// --- products ------------------------------------------------------------------------------------

void CIAPProduct::SetFromMap(int32_t map) {
    SetText(productId, TextOf(MapValue(map, "id")));
    SetText(title, TextOf(MapValue(map, "title")));
    SetText(description, TextOf(MapValue(map, "description")));
    const RValue* cost = MapValue(map, "price");
    if (cost != nullptr && RValue_IsReal(*cost)) {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f", cost->val);
        price = text;
    } else {
        SetText(price, TextOf(cost));
    }
    const char* kind = TextOf(MapValue(map, "type"));
    SetText(type, kind != nullptr ? kind : TextOf(MapValue(map, "itemType")));
}

void CIAPProduct::SetFromJson(json_object* object) {
    if (object == nullptr || json_object_get_type(object) != json_type_object) return;
    json_object_object_foreach(object, key, value) {
        if (value == nullptr || json_object_get_type(value) != json_type_string) continue;
        const char* text = json_object_get_string(value);
        if (Named(key, "productId"))
            productId = text;
        else if (Named(key, "title"))
            title = text;
        else if (Named(key, "price"))
            price = text;
        else if (Named(key, "description"))
            description = text;
        else if (Named(key, "type"))
            type = text;
    }
}

void CIAPProduct::CopyFrom(const CIAPProduct& other) {
    productId = other.productId;
    title = other.title;
    description = other.description;
    price = other.price;
    type = other.type;
}

void CIAPProduct::WriteToMap(int32_t map) const {
    DsMap_Clear(map);
    DsMap_AddString(map, "id", Optional(productId));
    if (title) DsMap_AddString(map, "title", title->c_str());
    if (description) DsMap_AddString(map, "description", description->c_str());
    if (price) DsMap_AddString(map, "price", price->c_str());
    if (type) DsMap_AddString(map, "type", type->c_str());
    DsMap_AddReal(map, "verified", verified ? 1 : 0);
}

void CIAPProduct::Clear() {
    productId.reset();
    title.reset();
    description.reset();
    price.reset();
    type.reset();
}

// --- purchases -----------------------------------------------------------------------------------

int32_t CIAPPurchase::SetFromJson(json_object* object) {
    int32_t index = -1;
    if (object == nullptr || json_object_get_type(object) != json_type_object) return index;
    json_object_object_foreach(object, key, value) {
        if (value == nullptr) continue;
        if (Named(key, "orderId"))
            orderId = json_object_get_string(value);
        else if (Named(key, "productId"))
            productId = json_object_get_string(value);
        else if (Named(key, "purchaseState"))
            state = json_object_get_int(value);
        else if (Named(key, "purchaseTime"))
            time = static_cast<int32_t>(json_object_get_double(value));
        else if (Named(key, "purchaseToken"))
            token = json_object_get_string(value);
        else if (Named(key, "response"))
            response = json_object_get_int(value);
        else if (Named(key, "developerPayload"))
            payload = json_object_get_string(value);
        else if (Named(key, "receipt"))
            receipt = json_object_get_string(value);
        else if (Named(key, "purchaseIndex"))
            index = json_object_get_int(value);
    }
    return index;
}

void CIAPPurchase::CopyFrom(const CIAPPurchase& other) {
    *this = other;
}

void CIAPPurchase::WriteToMap(int32_t map) const {
    DsMap_Clear(map);
    DsMap_AddString(map, "product", Optional(productId));
    DsMap_AddString(map, "order", Optional(orderId));
    DsMap_AddString(map, "receipt", Optional(receipt));
    DsMap_AddString(map, "payload", Optional(payload));
    DsMap_AddString(map, "token", Optional(token));
    DsMap_AddReal(map, "status", state);
    DsMap_AddReal(map, "time", time);
    DsMap_AddReal(map, "response", response);
}

void CIAPPurchase::Clear() {
    orderId.reset();
    productId.reset();
    receipt.reset();
    token.reset();
    payload.reset();
}

// --- tables --------------------------------------------------------------------------------------

int32_t IAP_ProductCount() {
    return static_cast<int32_t>(g_products.size());
}

CIAPProduct* IAP_GetProduct(int32_t index) {
    return index >= 0 && index < IAP_ProductCount() ? &g_products[static_cast<size_t>(index)] : nullptr;
}

int32_t IAP_PurchaseCount() {
    return static_cast<int32_t>(g_purchases.size());
}

CIAPPurchase* IAP_GetPurchase(int32_t index) {
    return index >= 0 && index < IAP_PurchaseCount() ? g_purchases[static_cast<size_t>(index)].get()
                                                     : nullptr;
}

int32_t IAP_ProductIndexFromArg(const RValue& argument) {
    if (RValue_IsReal(argument)) {
        const int32_t index = static_cast<int32_t>(argument.val);
        return index >= 0 && index < IAP_ProductCount() ? index : -1;
    }
    const char* text = TextOf(&argument);
    if (text == nullptr) return -1;
    for (int32_t i = 0; i < IAP_ProductCount(); ++i)
        if (g_products[static_cast<size_t>(i)].productId == text) return i;
    return -1;
}

int32_t IAP_PurchaseIndexFromArg(const RValue& argument) {
    if (RValue_IsReal(argument)) return static_cast<int32_t>(argument.val);
    const char* text = TextOf(&argument);
    if (text == nullptr) return -1;
    for (int32_t i = 0; i < IAP_PurchaseCount(); ++i) {
        const CIAPPurchase* purchase = IAP_GetPurchase(i);
        if (purchase != nullptr && purchase->orderId == text) return i;
    }
    return -1;
}

int32_t IAP_FindPurchasedProduct(const char* productId) {
    if (productId == nullptr) return -1;
    for (int32_t i = 0; i < IAP_PurchaseCount(); ++i) {
        const CIAPPurchase* purchase = IAP_GetPurchase(i);
        if (purchase != nullptr && purchase->productId == productId && purchase->state == 0) return i;
    }
    return -1;
}

int32_t IAP_NewPurchase() {
    for (int32_t i = 0; i < IAP_PurchaseCount(); ++i) {
        if (g_purchases[static_cast<size_t>(i)] != nullptr) continue;
        g_purchases[static_cast<size_t>(i)] = std::make_unique<CIAPPurchase>();
        return i;
    }
    g_purchases.push_back(std::make_unique<CIAPPurchase>());
    return IAP_PurchaseCount() - 1;
}

void IAP_InvalidatePurchases(const char* productId, const char* token) {
    if (productId == nullptr || token == nullptr) return;
    for (int32_t i = 0; i < IAP_PurchaseCount(); ++i) {
        const CIAPPurchase* purchase = IAP_GetPurchase(i);
        if (purchase == nullptr || purchase->productId != productId || purchase->token != token) continue;
        ErrorConsole.Output("BILLING(R): Invalidating purchase %d\n", i);
        g_purchases[static_cast<size_t>(i)].reset();
    }
}

void IAP_LoadProductsFromList(int32_t list) {
    CDS_List* entries = g_DsListTable.Get(list);
    if (entries == nullptr) return;
    for (int32_t i = 0; i < entries->Size(); ++i) {
        const RValue* item = entries->GetItem(i);
        if (item == nullptr || !RValue_IsReal(*item) || item->val < 0) continue;
        const int32_t map = static_cast<int32_t>(item->val);
        g_products.emplace_back();
        g_products.back().SetFromMap(map);
    }
}

int32_t IAP_LoadProductsFromJson(const RValue* value) {
    const int32_t decoded = JSON_Decode(value);
    const CDS_Map* map = DS_GetMap(decoded);
    if (decoded < 0 || map == nullptr) return decoded;
    for (DSMapNode* node = map->FirstNode(); node != nullptr; node = map->NextNode(node)) {
        CIAPProduct product;
        SetText(product.productId, TextOf(&node->entry.key));
        const RValue& inner = node->entry.value;
        if (RValue_IsReal(inner) && inner.val >= 0) product.SetFromMap(static_cast<int32_t>(inner.val));
        g_products.push_back(std::move(product));
    }
    DsMap_Clear(decoded);
    DsMap_Destroy(decoded);
    return decoded;
}

int32_t IAP_AppendProduct(CIAPProduct product) {
    g_products.push_back(std::move(product));
    return IAP_ProductCount() - 1;
}

void IAP_ClearTables() {
    g_products.clear();
    g_purchases.clear();
}
