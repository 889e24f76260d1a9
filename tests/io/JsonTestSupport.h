// Maps and lists for the JSON and secure-map tests, built and read through the containers the
// JSON conversions use (the ds_* tables), and a compact text form of decoded values.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "FileBuiltinTestSupport.h"
#include "data/Function_Data_Structures.h"
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

class JsonFixture : public filetest::FileBuiltinTest {
protected:
    void SetUp() override {
        FileBuiltinTest::SetUp();
        InitDataStructureFunctions();
        m_mapsBefore = Occupied(g_DsMapTable);
        m_listsBefore = Occupied(g_DsListTable);
    }
    // Destroys what the test made, so the tables stay as the next test expects them.
    void TearDown() override {
        const std::vector<bool> maps = Occupied(g_DsMapTable);
        for (size_t i = 0; i < maps.size(); ++i)
            if (maps[i] && (i >= m_mapsBefore.size() || !m_mapsBefore[i])) DS_DestroyMap(int32_t(i));
        const std::vector<bool> lists = Occupied(g_DsListTable);
        for (size_t i = 0; i < lists.size(); ++i)
            if (lists[i] && (i >= m_listsBefore.size() || !m_listsBefore[i])) DS_DestroyList(int32_t(i));
        FileBuiltinTest::TearDown();
    }
    template <typename T>
    static std::vector<bool> Occupied(const DsIndexTable<T>& table) {
        std::vector<bool> used(size_t(table.count));
        for (int32_t i = 0; i < table.count; ++i) used[size_t(i)] = table.Get(i) != nullptr;
        return used;
    }
    std::vector<bool> m_mapsBefore, m_listsBefore;

    JsonContainers& C() { return *JSON_GetContainers(); }

    // A new map of the entries (the values are released here).
    int32_t Map(std::initializer_list<std::pair<RValue, RValue>> entries) {
        const int32_t map = C().NewMap();
        for (auto [key, value] : entries) {
            std::string name = RValue_IsString(key) ? RValue_GetStringText(&key) : "";
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
        if (RValue_IsReal(v) && (v.kind & kMarkMap)) {
            // Entries sorted by key: a map's own order follows its hash buckets.
            std::vector<std::string> entries;
            auto visit = [](const RValue* key, const RValue* value, void* context) {
                auto* self = static_cast<std::pair<JsonFixture*, std::vector<std::string>*>*>(context);
                self->second->push_back(buftest::Text(*key) + ":" + self->first->Describe(*value));
            };
            std::pair<JsonFixture*, std::vector<std::string>*> context{this, &entries};
            C().ForEachMapEntry(static_cast<int32_t>(v.val), visit, &context);
            std::sort(entries.begin(), entries.end());
            std::string out = "{";
            for (const std::string& e : entries) out += (out.size() > 1 ? "," : "") + e;
            return out + "}";
        }
        if (RValue_IsReal(v) && (v.kind & kMarkList)) {
            std::string out = "[";
            const int32_t list = static_cast<int32_t>(v.val);
            for (int32_t i = 0; i < C().ListSize(list); ++i)
                out += (i ? "," : "") + Describe(*C().ListItem(list, i));
            return out + "]";
        }
        switch (RValue_Kind(v)) {
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
