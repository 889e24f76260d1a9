// Maps and lists for the JSON and secure-map tests, built and read through the containers the
// JSON conversions use, and a compact text form of decoded values.
#pragma once

#include <cmath>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>

#include "FileBuiltinTestSupport.h"
#include "io/Support_Json.h"

namespace jsontest {

inline constexpr uint32_t kMarkMap = 0x80000000u;
inline constexpr uint32_t kMarkList = 0x40000000u;

inline RValue Marked(int32_t index, uint32_t mark) {
    RValue v = RValue_Real(index);
    v.kind |= mark;
    return v;
}

inline RValue Text(const char* text) {
    RValue v = RValue_Undefined();
    RValue_CreateString(&v, text);
    return v;
}

// Maps and lists of the test's own, in insertion order.
class FakeContainers final : public JsonContainers {
public:
    ~FakeContainers() override {
        for (auto& map : m_maps)
            for (auto& [key, value] : map) {
                RValue_Free(&key);
                RValue_Free(&value);
            }
        for (auto& list : m_lists)
            for (RValue& item : list) RValue_Free(&item);
    }
    bool IsMap(int32_t index) override { return index >= 0 && index < int32_t(m_maps.size()); }
    bool IsList(int32_t index) override { return index >= 0 && index < int32_t(m_lists.size()); }
    void ForEachMapEntry(int32_t map, void (*visit)(const RValue*, const RValue*, void*),
                         void* context) override {
        for (size_t i = 0; i < m_maps[map].size(); ++i)
            visit(&m_maps[map][i].first, &m_maps[map][i].second, context);
    }
    int32_t ListSize(int32_t list) override { return int32_t(m_lists[list].size()); }
    const RValue* ListItem(int32_t list, int32_t position) override { return &m_lists[list][position]; }
    int32_t NewMap() override {
        m_maps.emplace_back();
        return int32_t(m_maps.size() - 1);
    }
    int32_t NewList() override {
        m_lists.emplace_back();
        return int32_t(m_lists.size() - 1);
    }
    bool MapHas(int32_t map, const char* key) override {
        for (auto& entry : m_maps[map])
            if (buftest::Text(entry.first) == key) return true;
        return false;
    }
    void MapAdd(int32_t map, const char* key, const RValue* value) override {
        if (MapHas(map, key)) return;
        std::pair<RValue, RValue> entry{RValue_Undefined(), RValue_Undefined()};
        RValue_CreateString(&entry.first, key);
        RValue_Assign(&entry.second, value);
        m_maps[map].push_back(entry);
    }
    void ListAdd(int32_t list, const RValue* value) override {
        RValue item = RValue_Undefined();
        RValue_Assign(&item, value);
        m_lists[list].push_back(item);
    }

private:
    // Deques: the values never move, so arrays keep their owners.
    std::deque<std::deque<std::pair<RValue, RValue>>> m_maps;
    std::deque<std::deque<RValue>> m_lists;
};

class JsonFixture : public filetest::FileBuiltinTest {
protected:
    void SetUp() override {
        FileBuiltinTest::SetUp();
        m_fake = std::make_unique<FakeContainers>();
        JSON_SetContainers(m_fake.get());
    }
    void TearDown() override {
        JSON_SetContainers(nullptr);
        m_fake.reset();
        FileBuiltinTest::TearDown();
    }
    std::unique_ptr<FakeContainers> m_fake;

    JsonContainers& C() { return *JSON_GetContainers(); }

    // A new map of the entries (the values are released here).
    int32_t Map(std::initializer_list<std::pair<RValue, RValue>> entries) {
        const int32_t map = C().NewMap();
        for (auto [key, value] : entries) {
            std::string name = (key.kind & VALUE_KIND_MASK) == VALUE_STRING ? RValue_GetStringText(&key) : "";
            if (name.empty()) {
                // Keys that are not texts go in through the add of the real table only; the
                // tests here use the member name the encoder gives them.
                name = std::to_string(static_cast<long long>(key.val));
            }
            C().MapAdd(map, name.c_str(), &value);
            RValue_Free(&key);
            RValue_Free(&value);
        }
        return map;
    }
    int32_t List(std::initializer_list<RValue> items) {
        const int32_t list = C().NewList();
        for (RValue item : items) {
            C().ListAdd(list, &item);
            RValue_Free(&item);
        }
        return list;
    }

    // A compact form of a decoded value: {k:v,...} in the map's order, [..] for lists.
    std::string Describe(const RValue& v) {
        if ((v.kind & VALUE_KIND_MASK) == VALUE_REAL && (v.kind & kMarkMap)) {
            std::string out = "{";
            auto visit = [](const RValue* key, const RValue* value, void* context) {
                auto* self = static_cast<std::pair<JsonFixture*, std::string*>*>(context);
                if (self->second->size() > 1) *self->second += ",";
                *self->second += buftest::Text(*key) + ":" + self->first->Describe(*value);
            };
            std::pair<JsonFixture*, std::string*> context{this, &out};
            C().ForEachMapEntry(static_cast<int32_t>(v.val), visit, &context);
            return out + "}";
        }
        if ((v.kind & VALUE_KIND_MASK) == VALUE_REAL && (v.kind & kMarkList)) {
            std::string out = "[";
            const int32_t list = static_cast<int32_t>(v.val);
            for (int32_t i = 0; i < C().ListSize(list); ++i)
                out += (i ? "," : "") + Describe(*C().ListItem(list, i));
            return out + "]";
        }
        switch (v.kind & VALUE_KIND_MASK) {
            case VALUE_REAL: {
                char text[64];
                std::snprintf(text, sizeof text, "%.17g", v.val);
                return text;
            }
            case VALUE_STRING:
                return "\"" + buftest::Text(v) + "\"";
            case VALUE_INT64:
                return "i64:" + std::to_string(v.v64);
            default:
                return "kind:" + std::to_string(v.kind);
        }
    }
    std::string Decoded(const RValue& index) {
        if (index.val < 0) return "-1";
        return Describe(Marked(static_cast<int32_t>(index.val), kMarkMap));
    }
};

}  // namespace jsontest
