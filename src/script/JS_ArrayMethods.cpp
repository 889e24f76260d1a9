// The generic methods of Array.prototype: they work on any object through its "length" and
// its decimal-named properties, so array-like objects serve as well as Arrays.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/Value_Convert.h"
#include "script/JS_Array.h"
#include "script/JS_ArrayShared.h"
#include "script/JS_Call.h"
#include "script/JS_Convert.h"
#include "script/JS_Element.h"
#include "script/JS_Exception.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"
#include "script/JS_StandardObjects.h"

namespace {

using js_array::ElementName;
using js_array::GetOwned;
using js_array::Self;

void SetObject(RValue& result, PWObjectBase* object) {
    RValue_Release(&result);
    result.obj = object;
    result.flags = 0;
    result.kind = VALUE_OBJECT;
}

bool IsAbsentKind(const RValue* value) {
    const uint32_t kind = RValue_Kind(value);
    return kind == VALUE_UNDEFINED || kind == VALUE_UNSET;
}

// "length" as an unsigned 32-bit integer; undefined, null and a missing length read as 0.
uint32_t LengthOf(PWObjectBase* object) {
    RValue length = RValue_Undefined();
    GetOwned(object, "length", &length);
    const uint32_t kind = RValue_Kind(length);
    uint32_t n = 0;
    if (kind != VALUE_UNDEFINED && kind != VALUE_NULL && kind != VALUE_UNSET) n = Arg_GetUInt32(&length, 0);
    RValue_Release(&length);
    return n;
}

// A start or end argument made absolute: negative counts from len; clamped to 0 .. len.
// Undefined gives the fallback.
int64_t Position(int32_t argc, RValue* args, int32_t n, int64_t len, int64_t fallback) {
    if (argc <= n || IsAbsentKind(&args[n])) return fallback;
    const int64_t relative = Arg_GetInt32(args, n);
    if (relative < 0) return relative + len > 0 ? relative + len : 0;
    return relative < len ? relative : len;
}

bool Put(PWObjectBase* object, uint64_t index, RValue* value) {
    JS_Put(object, value, ElementName(index).c_str(), true);
    return !JS_ExceptionPending();
}

bool PutLength(PWObjectBase* object, double length) {
    RValue value = RValue_Real(length);
    JS_Put(object, &value, "length", true);
    return !JS_ExceptionPending();
}

bool Delete(PWObjectBase* object, uint64_t index) {
    RValue hook;
    JS_GetProperty(object, &hook, JS_DELETE);
    auto remove = RValue_IsPtr(hook) && hook.ptr != nullptr ? reinterpret_cast<JSDeleteHook>(hook.ptr)
                                                            : JS_DefaultDelete;
    RValue answer = RValue_Undefined();
    remove(object, &answer, ElementName(index).c_str(), true);
    return !JS_ExceptionPending();
}

// Moves the property at from to to (or deletes to when from is missing).
bool Move(PWObjectBase* object, uint64_t from, uint64_t to) {
    RValue value = RValue_Undefined();
    const bool present = GetOwned(object, ElementName(from).c_str(), &value);
    if (JS_ExceptionPending()) return false;
    const bool done = present ? Put(object, to, &value) : Delete(object, to);
    RValue_Release(&value);
    return done;
}

// Objects being joined, so that an Array holding itself joins as empty text there.
std::unordered_set<PWObjectBase*>& Joining() {
    static std::unordered_set<PWObjectBase*> objects;
    return objects;
}

// The shared walk of join and toLocaleString. Each element that is present and neither
// undefined nor null is turned into text by toText; a missing one drops the next separator.
template <typename ToText>
void JoinElements(RValue& result, PWObjectBase* object, const std::string& separator, ToText toText) {
    if (!Joining().insert(object).second) {
        RValue_SetString(&result, "");
        return;
    }
    const uint32_t len = LengthOf(object);
    std::string text;
    bool skipSeparator = false;
    bool ok = true;
    for (uint32_t k = 0; k < len && ok; ++k) {
        if (k > 0 && !skipSeparator) text += separator;
        skipSeparator = false;
        RValue element = RValue_Undefined();
        const bool present = GetOwned(object, ElementName(k).c_str(), &element);
        if (JS_ExceptionPending()) {
            ok = false;
        } else if (!present) {
            skipSeparator = true;
        } else if (RValue_Kind(element) != VALUE_UNDEFINED && RValue_Kind(element) != VALUE_NULL) {
            ok = toText(&element, &text);
        }
        RValue_Release(&element);
    }
    Joining().erase(object);
    if (ok) RValue_SetString(&result, text.c_str());
}

// Appends the text of the value; false after throwing (message when the conversion failed).
bool AppendText(const RValue* value, std::string* text, const char* message) {
    RValue converted = RValue_Undefined();
    const int32_t status = JS_ToString(&converted, value);
    if (status == JS_DONE) {
        const char* chars = RValue_GetStringText(&converted);
        if (chars != nullptr) *text += chars;
    } else if (status == JS_FAILED) {
        JS_ThrowTypeError(message);
    }
    RValue_Release(&converted);
    return status == JS_DONE;
}

// --- The methods ------------------------------------------------------------------------

void F_ArrayPrototype_Join(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = Self(self);
    if (object == nullptr) return;
    std::string separator = ",";
    if (argc > 0) {
        separator.clear();
        if (!AppendText(&args[0], &separator, "Array.join : toString on seperator caused exception")) return;
    }
    JoinElements(result, object, separator, [](const RValue* element, std::string* text) {
        return AppendText(element, text, "Array.join : toString on element caused exception");
    });
}

void F_ArrayPrototype_ToString(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    PWObjectBase* object = Self(self);
    if (object == nullptr) return;
    RValue join = RValue_Undefined();
    GetOwned(object, "join", &join);
    if (RValue_IsObject(join) && JS_IsCallable(&join)) {
        JS_Call(object, &result, join.obj, 0, nullptr);
    } else {
        const char* cls = JS_ClassOf(object);
        RValue_SetString(&result, (std::string("[object ") + (cls != nullptr ? cls : "") + "]").c_str());
    }
    RValue_Release(&join);
}

void F_ArrayPrototype_ToLocaleString(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    PWObjectBase* object = Self(self);
    if (object == nullptr) return;
    JoinElements(result, object, ",", [](const RValue* element, std::string* text) {
        RValue wrapped = RValue_Undefined();
        if (F_JS_ToObject(&wrapped, element) != JS_DONE || !RValue_IsObject(wrapped)) {
            RValue_Release(&wrapped);
            JS_ThrowTypeError("Array.toLocaleString : toString on element caused exception");
            return false;
        }
        RValue method = RValue_Undefined();
        GetOwned(wrapped.obj, "toLocaleString", &method);
        bool ok = !JS_ExceptionPending();
        if (ok && RValue_IsObject(method) && JS_IsCallable(&method)) {
            RValue answer = RValue_Undefined();
            JS_Call(wrapped.obj, &answer, method.obj, 0, nullptr);
            ok = !JS_ExceptionPending() &&
                 AppendText(&answer, text, "Array.toLocaleString : toString on element caused exception");
            RValue_Release(&answer);
        }
        RValue_Release(&method);
        RValue_Release(&wrapped);
        return ok;
    });
}

void F_ArrayPrototype_Pop(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    PWObjectBase* object = Self(self);
    if (object == nullptr) return;
    const uint32_t len = LengthOf(object);
    if (JS_ExceptionPending() || len == 0) return;
    RValue last = RValue_Undefined();
    GetOwned(object, ElementName(len - 1).c_str(), &last);
    if (JS_ExceptionPending() || !Delete(object, len - 1) || !PutLength(object, len - 1)) {
        RValue_Release(&last);
        return;
    }
    RValue_Release(&result);
    result = last;
    result.flags = 0;
}

void F_ArrayPrototype_Push(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = Self(self);
    if (object == nullptr) return;
    double n = LengthOf(object);
    if (JS_ExceptionPending()) return;
    for (int32_t i = 0; i < argc; ++i, ++n)
        if (!Put(object, static_cast<uint64_t>(n), &args[i])) return;
    if (!PutLength(object, n)) return;
    RValue_SetReal(&result, n);
}

void F_ArrayPrototype_Reverse(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    PWObjectBase* object = Self(self);
    if (object == nullptr) return;
    const uint32_t len = LengthOf(object);
    for (uint32_t lower = 0; lower < len / 2 && !JS_ExceptionPending(); ++lower) {
        const uint32_t upper = len - 1 - lower;
        RValue lowerValue = RValue_Undefined(), upperValue = RValue_Undefined();
        const bool lowerExists = GetOwned(object, ElementName(lower).c_str(), &lowerValue);
        const bool upperExists =
            !JS_ExceptionPending() && GetOwned(object, ElementName(upper).c_str(), &upperValue);
        if (!JS_ExceptionPending()) {
            if (lowerExists && upperExists) {
                Put(object, lower, &upperValue) && Put(object, upper, &lowerValue);
            } else if (upperExists) {
                Put(object, lower, &upperValue) && Delete(object, upper);
            } else if (lowerExists) {
                Delete(object, lower) && Put(object, upper, &lowerValue);
            }
        }
        RValue_Release(&lowerValue);
        RValue_Release(&upperValue);
    }
    if (!JS_ExceptionPending()) SetObject(result, object);
}

void F_ArrayPrototype_Shift(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    PWObjectBase* object = Self(self);
    if (object == nullptr) return;
    const uint32_t len = LengthOf(object);
    if (JS_ExceptionPending()) return;
    if (len == 0) {
        PutLength(object, 0);
        return;
    }
    RValue first = RValue_Undefined();
    GetOwned(object, "0", &first);
    bool ok = !JS_ExceptionPending();
    for (uint32_t k = 1; k < len && ok; ++k) ok = Move(object, k, k - 1);
    ok = ok && Delete(object, len - 1) && PutLength(object, len - 1);
    if (!ok) {
        RValue_Release(&first);
        return;
    }
    RValue_Release(&result);
    result = first;
    result.flags = 0;
}

// A new Array of count holes whose element k is copied from source index from + k when
// that exists.
bool CopyRun(PWObjectBase* source, int64_t from, int64_t count, RValue& made) {
    if (static_cast<uint64_t>(count) * sizeof(RValue) > UINT32_MAX) {
        JS_CreateArray(made, 0);
        JS_ThrowRangeError("Unable to resize array");
        return false;
    }
    JS_CreateArray(made, static_cast<int32_t>(count));
    for (int64_t k = 0; k < count; ++k) {
        RValue value = RValue_Undefined();
        const bool present = GetOwned(source, ElementName(static_cast<uint64_t>(from + k)).c_str(), &value);
        if (JS_ExceptionPending()) {
            RValue_Release(&value);
            return false;
        }
        if (present) JS_ArrayStore_Set(JS_ElementStore(made.obj), k, &value);
        RValue_Release(&value);
    }
    return true;
}

void F_ArrayPrototype_Slice(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = Self(self);
    if (object == nullptr) return;
    const int64_t len = LengthOf(object);
    if (JS_ExceptionPending()) return;
    const int64_t start = Position(argc, args, 0, len, 0);
    const int64_t end = Position(argc, args, 1, len, len);
    RValue made = RValue_Undefined();
    const bool ok = CopyRun(object, start, end > start ? end - start : 0, made);
    RValue_Release(&result);
    result = made;
    (void)ok;
}

void F_ArrayPrototype_Splice(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = Self(self);
    if (object == nullptr) return;
    const int64_t len = LengthOf(object);
    if (JS_ExceptionPending()) return;
    const int64_t start = Position(argc, args, 0, len, 0);
    // With the start alone the rest of the array is removed.
    int64_t deleteCount = argc < 2
                              ? (argc < 1 ? 0 : len - start)
                              : (IsAbsentKind(&args[1]) ? 0 : static_cast<int64_t>(Arg_GetInt32(args, 1)));
    if (deleteCount < 0) deleteCount = 0;
    if (deleteCount > len - start) deleteCount = len - start;
    RValue removed = RValue_Undefined();
    const bool copied = CopyRun(object, start, deleteCount, removed);
    RValue_Release(&result);
    result = removed;
    if (!copied) return;
    const int64_t itemCount = argc > 2 ? argc - 2 : 0;
    bool ok = true;
    if (itemCount < deleteCount) {
        for (int64_t k = start; k < len - deleteCount && ok; ++k)
            ok = Move(object, k + deleteCount, k + itemCount);
        for (int64_t k = len; k > len - deleteCount + itemCount && ok; --k) ok = Delete(object, k - 1);
    } else if (itemCount > deleteCount) {
        for (int64_t k = len - deleteCount; k > start && ok; --k)
            ok = Move(object, k + deleteCount - 1, k + itemCount - 1);
    }
    for (int64_t i = 0; i < itemCount && ok; ++i) ok = Put(object, start + i, &args[2 + i]);
    if (ok) PutLength(object, static_cast<double>(len - deleteCount + itemCount));
}

void F_ArrayPrototype_Concat(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* object = Self(self);
    RValue made = RValue_Undefined();
    JS_CreateArray(made, 0);
    PWObjectBase* target = JS_ElementStore(made.obj);
    std::vector<RValue> items;
    if (object != nullptr) {
        RValue first = RValue_Undefined();
        first.obj = object;
        first.kind = VALUE_OBJECT;
        items.push_back(first);
    }
    for (int32_t i = 0; i < argc; ++i) items.push_back(args[i]);
    for (const RValue& item : items) {
        if (RValue_IsObject(item) && JS_IsArrayObject(item.obj)) {
            PWObjectBase* source = JS_ElementStore(item.obj);
            for (int32_t k = 0; source != nullptr && k < source->slotCount; ++k) {
                if (RValue_IsUnset(source->slots[k])) continue;
                if (!JS_ArrayStore_Set(target, target->slotCount, &source->slots[k])) return;
            }
            continue;
        }
        RValue text = RValue_Undefined();
        const int32_t status = JS_ToString(&text, &item);
        if (status != JS_DONE) {
            RValue_Release(&text);
            if (status == JS_FAILED) JS_ThrowTypeError("Array.concat : toString on element caused exception");
            return;
        }
        const bool stored = JS_ArrayStore_Set(target, target->slotCount, &text);
        RValue_Release(&text);
        if (!stored) return;
    }
    RValue_Release(&result);
    result = made;
}

}  // namespace

namespace js_array {

PWObjectBase* Self(CInstance* self) {
    return reinterpret_cast<PWObjectBase*>(self);
}

std::string ElementName(uint64_t index) {
    char name[24];
    std::snprintf(name, sizeof name, "%" PRIu64, index);
    return name;
}

bool GetOwned(PWObjectBase* object, const char* name, RValue* out) {
    RValue_Release(out);
    for (PWObjectBase* current = object; current != nullptr; current = JS_PrototypeOf(current)) {
        RValue found;
        JS_ReadOwnStored(current, &found, name);
        if (RValue_IsUnset(found)) continue;
        if (JS_IsAccessor(&found)) {
            RValue accessor = found;
            JS_CallGetter(object, out, &accessor);
            if (RValue_IsUnset(out)) *out = RValue_Undefined();
        } else {
            RValue_Assign(out, &found);
        }
        out->flags = 0;
        return true;
    }
    return false;
}

}  // namespace js_array

void JS_AddArrayGenericMethods(PWObjectBase* prototype) {
    static const struct {
        const char* name;
        BuiltinProc function;
        int32_t length;
    } kMethods[] = {
        {"toString", F_ArrayPrototype_ToString, 0}, {"toLocaleString", F_ArrayPrototype_ToLocaleString, 0},
        {"concat", F_ArrayPrototype_Concat, 1},     {"join", F_ArrayPrototype_Join, 0},
        {"pop", F_ArrayPrototype_Pop, 0},           {"push", F_ArrayPrototype_Push, 1},
        {"reverse", F_ArrayPrototype_Reverse, 0},   {"shift", F_ArrayPrototype_Shift, 0},
        {"slice", F_ArrayPrototype_Slice, 2},       {"splice", F_ArrayPrototype_Splice, 2},
    };
    for (const auto& method : kMethods)
        JS_AddNativeMethod(prototype, method.name, method.function, method.length,
                           JS_WRITABLE | JS_CONFIGURABLE);
}
