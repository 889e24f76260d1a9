// Shared helpers for the value tests: run-time errors are recorded instead of ending the
// process, and values are built and read without ceremony.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Code_Function.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"

// Records every Runtime_Error for the lifetime of the object and lets execution go on.
class RuntimeErrorRecorder {
public:
    RuntimeErrorRecorder() {
        Messages().clear();
        m_previous = Runtime_SetErrorReporter([](const char* message) { Messages().push_back(message); });
    }
    ~RuntimeErrorRecorder() { Runtime_SetErrorReporter(m_previous); }
    RuntimeErrorRecorder(const RuntimeErrorRecorder&) = delete;
    RuntimeErrorRecorder& operator=(const RuntimeErrorRecorder&) = delete;

    static std::vector<std::string>& Messages() {
        static std::vector<std::string> messages;
        return messages;
    }
    // The one message raised since the last call ("" when none); clears the record.
    std::string Take() {
        std::string last = Messages().empty() ? "" : Messages().back();
        size_t count = Messages().size();
        Messages().clear();
        EXPECT_LE(count, 1u) << "more than one run-time error";
        return last;
    }

private:
    RuntimeErrorReporter m_previous;
};

// A value that releases itself.
struct Held {
    RValue v = RValue_Undefined();
    Held() = default;
    explicit Held(double d) : v(RValue_Real(d)) {}
    explicit Held(const char* text) { RValue_CreateString(&v, text); }
    explicit Held(const RValue& value) { RValue_Assign(&v, &value); }
    ~Held() { RValue_Release(&v); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
};

inline void SetElement(RValue* variable, int32_t index, RValue value) {
    RValue_SetIndexed(variable, &value, index);
    RValue_Release(&value);
}

inline void SetElementText(RValue* variable, int32_t index, const char* text) {
    RValue s = RValue_Undefined();
    RValue_CreateString(&s, text);
    RValue_SetIndexed(variable, &s, index);
    RValue_Release(&s);
}

inline std::string TextOf(const RValue* value) {
    char* base = nullptr;
    char* cursor = nullptr;
    int32_t capacity = 0;
    RValue_AppendText(cursor, base, capacity, value);
    std::string text = base ? base : "";
    MEM_FREE(base);
    return text;
}

inline RValue& ItemAt(const RValue& array, int32_t row, int32_t column) {
    return array.arr->rows[row].items[column];
}
