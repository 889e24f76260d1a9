// The methods of Array.prototype that work on the element store of an Array directly: sort,
// indexOf, lastIndexOf, unshift and the callback family. Code they call back into may change
// the Array: every step reads the store afresh and treats a slot past its length as a hole.
#include <cmath>
#include <cstring>
#include <string>

#include "core/Value_Convert.h"
#include "script/JS_Array.h"
#include "script/JS_ArrayShared.h"
#include "script/JS_Call.h"
#include "script/JS_Compare.h"
#include "script/JS_Convert.h"
#include "script/JS_Element.h"
#include "script/JS_Exception.h"
#include "script/JS_Number.h"
#include "script/JS_StandardObjects.h"

namespace {

using js_array::Self;

void SetObject(RValue& result, PWObjectBase* object) {
    RValue_Release(&result);
    result.obj = object;
    result.flags = 0;
    result.kind = VALUE_OBJECT;
}

RValue ObjectValue(PWObjectBase* object) {
    RValue value = RValue_Undefined();
    value.obj = object;
    value.kind = VALUE_OBJECT;
    return value;
}

// The store of this, or null after throwing: these methods need an Array.
PWObjectBase* StoreOfThis(CInstance* self, const char* method) {
    PWObjectBase* store = JS_ArrayStoreOf(Self(self));
    if (store == nullptr)
        JS_ThrowTypeError(
            (std::string("Array.prototype.") + method + " called on an object that is not an Array").c_str());
    return store;
}

// Slot i of the Array's current store, null when it is past the length (or the store went).
RValue* Slot(PWObjectBase* array, int64_t i) {
    PWObjectBase* store = JS_ArrayStoreOf(array);
    return store != nullptr && i >= 0 && i < store->slotCount ? &store->slots[i] : nullptr;
}

// --- unshift, indexOf, lastIndexOf -----------------------------------------------------

void F_ArrayPrototype_Unshift(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* store = StoreOfThis(self, "unshift");
    if (store == nullptr) return;
    const int32_t oldLength = store->slotCount;
    if (argc > 0) {
        if (!JS_ArrayStore_SetLength(store, static_cast<uint32_t>(oldLength) + static_cast<uint32_t>(argc)))
            return;
        RValue_MoveRange(&store->slots[argc], &store->slots[0], oldLength);
        for (int32_t i = 0; i < argc; ++i) {
            RValue* slot = &store->slots[i];
            *slot = RValue_Undefined();
            RValue_Assign(slot, &args[i]);
            slot->flags = args[i].flags;
        }
    }
    RValue_SetReal(&result, static_cast<double>(oldLength) + argc);
}

// The fromIndex argument; undefined and null count as 0.
int64_t FromIndex(int32_t argc, RValue* args, int64_t fallback) {
    if (argc < 2) return fallback;
    const uint32_t kind = RValue_Kind(args[1]);
    if (kind == VALUE_UNDEFINED || kind == VALUE_NULL || kind == VALUE_UNSET) return 0;
    return Arg_GetInt32(args, 1);
}

void F_ArrayPrototype_IndexOf(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* store = StoreOfThis(self, "indexOf");
    if (store == nullptr) return;
    const RValue undefined = RValue_Undefined();
    const RValue* search = argc > 0 ? &args[0] : &undefined;
    double answer = -1;
    const int64_t start = store->slotCount == 0 ? -1 : FromIndex(argc, args, 0);
    for (int64_t k = start; k >= 0 && k < store->slotCount; ++k) {
        if (!RValue_IsUnset(store->slots[k]) && JS_StrictEquals(&store->slots[k], search)) {
            answer = static_cast<double>(k);
            break;
        }
    }
    RValue_SetReal(&result, answer);
}

void F_ArrayPrototype_LastIndexOf(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* store = StoreOfThis(self, "lastIndexOf");
    if (store == nullptr) return;
    const RValue undefined = RValue_Undefined();
    const RValue* search = argc > 0 ? &args[0] : &undefined;
    double answer = -1;
    const int64_t last = static_cast<int64_t>(store->slotCount) - 1;
    int64_t start = store->slotCount == 0 ? -1 : FromIndex(argc, args, last);
    if (start > last) start = last;
    for (int64_t k = start; k >= 0; --k) {
        if (!RValue_IsUnset(store->slots[k]) && JS_StrictEquals(&store->slots[k], search)) {
            answer = static_cast<double>(k);
            break;
        }
    }
    RValue_SetReal(&result, answer);
}

// --- sort -------------------------------------------------------------------------------

struct Sorter {
    PWObjectBase* array;
    int32_t length;     // the length when the sort began
    RValue* compareFn;  // null: the default comparison
    bool stopped = false;

    // Text of a value for the default comparison; false after throwing.
    bool TextOf(const RValue* value, std::string* text) {
        RValue converted = RValue_Undefined();
        const int32_t status = JS_ToString(&converted, value);
        if (status == JS_DONE) {
            const char* chars = RValue_GetStringText(&converted);
            text->assign(chars != nullptr ? chars : "");
        } else if (status == JS_FAILED) {
            JS_ThrowTypeError("Could not convert array entry to string in call to Array.prototype.sort.");
        }
        RValue_Release(&converted);
        return status == JS_DONE;
    }

    // The sign of compare(slot i, slot j); sets stopped when the sort must end.
    int32_t Compare(int32_t i, int32_t j) {
        RValue* a = Slot(array, i);
        RValue* b = Slot(array, j);
        if (a == nullptr || b == nullptr) {
            stopped = true;
            return 0;
        }
        // Holes go after everything, then undefined.
        if (RValue_IsUnset(a)) return RValue_IsUnset(b) ? 0 : 1;
        if (RValue_IsUnset(b)) return -1;
        RValue x = RValue_Undefined(), y = RValue_Undefined();
        RValue_Assign(&x, a);
        RValue_Assign(&y, b);
        x.flags = y.flags = 0;
        int32_t answer = 0;
        if (compareFn == nullptr) {
            std::string left, right;
            if (RValue_Kind(x) == VALUE_UNDEFINED) {
                answer = 1;
            } else if (RValue_Kind(y) == VALUE_UNDEFINED) {
                answer = -1;
            } else if (!TextOf(&x, &left) || !TextOf(&y, &right)) {
                stopped = true;
            } else {
                const int order = left.compare(right);  // bytes as unsigned chars, shorter prefix first
                answer = order < 0 ? -1 : order > 0 ? 1 : 0;
            }
        } else {
            RValue argv[2] = {x, y};
            RValue r = RValue_Undefined();
            JS_Call(nullptr, &r, compareFn->obj, 2, argv);
            if (JS_ExceptionPending()) {
                stopped = true;
            } else {
                RValue number = RValue_Real(0);
                if (JS_ToNumber(&number, &r) == JS_DONE && RValue_IsReal(number)) {
                    const double d = std::trunc(number.val);
                    answer = d < 0 ? -1 : d > 0 ? 1 : 0;
                } else if (JS_ExceptionPending()) {
                    stopped = true;
                }
            }
            RValue_Release(&r);
        }
        RValue_Release(&x);
        RValue_Release(&y);
        // Whatever ran may have changed the Array's length: then the sort ends where it is.
        PWObjectBase* store = JS_ArrayStoreOf(array);
        if (store == nullptr || store->slotCount != length) stopped = true;
        return answer;
    }

    void Swap(int32_t i, int32_t j) {
        if (i == j) return;
        RValue* a = Slot(array, i);
        RValue* b = Slot(array, j);
        if (a == nullptr || b == nullptr) {
            stopped = true;
            return;
        }
        // Whole slots, attribute byte included; an array value's owner follows it.
        RValue held = *a;
        *a = *b;
        *b = held;
        RValue_Relocated(a, reinterpret_cast<uintptr_t>(b));
        RValue_Relocated(b, reinterpret_cast<uintptr_t>(a));
    }

    // Quicksort on [lo, hi] with the middle element as pivot; the smaller side recurses and
    // the larger one loops, so the depth stays logarithmic.
    void Sort(int32_t lo, int32_t hi) {
        while (lo < hi && !stopped) {
            Swap(lo, lo + (hi - lo) / 2);
            int32_t j = lo;
            for (int32_t i = lo + 1; i <= hi && !stopped; ++i) {
                if (Compare(i, lo) < 0 && !stopped) Swap(++j, i);
            }
            if (stopped) return;
            Swap(lo, j);
            if (j - lo < hi - j) {
                Sort(lo, j - 1);
                lo = j + 1;
            } else {
                Sort(j + 1, hi);
                hi = j - 1;
            }
        }
    }
};

void F_ArrayPrototype_Sort(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* store = StoreOfThis(self, "sort");
    if (store == nullptr) return;
    if (argc > 0 && !JS_IsCallable(&args[0])) {
        JS_ThrowTypeError("Could not call comparison function from Array.prototype.sort");
        return;
    }
    Sorter sorter{Self(self), store->slotCount, argc > 0 ? &args[0] : nullptr};
    sorter.Sort(0, store->slotCount - 1);
    if (!JS_ExceptionPending()) SetObject(result, Self(self));
}

// --- The callback family ----------------------------------------------------------------

enum class Walk { kEvery, kSome, kForEach, kMap, kFilter };

// The callback argument; null after throwing.
const RValue* Callback(int32_t argc, RValue* args, const char* method) {
    if (argc < 1 || !JS_IsCallable(&args[0])) {
        JS_ThrowTypeError(
            (std::string("Could not call comparison function from Array.prototype.") + method).c_str());
        return nullptr;
    }
    return &args[0];
}

void Iterate(RValue& result, CInstance* self, int32_t argc, RValue* args, Walk walk, const char* method) {
    PWObjectBase* array = Self(self);
    PWObjectBase* store = StoreOfThis(self, method);
    if (store == nullptr) return;
    const RValue* callback = Callback(argc, args, method);
    if (callback == nullptr) return;
    PWObjectBase* thisObject = argc > 1 && RValue_IsObject(args[1]) ? args[1].obj : nullptr;
    const int32_t n = store->slotCount;
    RValue made = RValue_Undefined();
    if (walk == Walk::kMap) JS_CreateArray(made, n);
    if (walk == Walk::kFilter) JS_CreateArray(made, 0);
    bool answer = walk == Walk::kEvery;
    for (int32_t i = 0; i < n; ++i) {
        const RValue* slot = Slot(array, i);
        if (slot == nullptr || RValue_IsUnset(slot)) continue;
        RValue argv[3] = {RValue_Undefined(), RValue_Real(i), ObjectValue(array)};
        RValue_Assign(&argv[0], slot);
        argv[0].flags = 0;
        RValue r = RValue_Undefined();
        JS_Call(thisObject, &r, callback->obj, 3, argv);
        const bool thrown = JS_ExceptionPending();
        bool stop = thrown;
        if (!thrown) {
            switch (walk) {
                case Walk::kEvery:
                    if (!JS_ToBoolean(&r)) answer = false, stop = true;
                    break;
                case Walk::kSome:
                    if (JS_ToBoolean(&r)) answer = true, stop = true;
                    break;
                case Walk::kMap:
                    JS_ArrayStore_Set(JS_ElementStore(made.obj), i, &r);
                    break;
                case Walk::kFilter:
                    if (JS_ToBoolean(&r)) {
                        PWObjectBase* kept = JS_ElementStore(made.obj);
                        JS_ArrayStore_Set(kept, kept->slotCount, &argv[0]);
                    }
                    break;
                case Walk::kForEach:
                    break;
            }
        }
        RValue_Release(&r);
        RValue_Release(&argv[0]);
        if (stop) break;
    }
    if (JS_ExceptionPending()) return;
    RValue_Release(&result);
    if (walk == Walk::kEvery || walk == Walk::kSome)
        result = RValue_Bool(answer ? 1.0 : 0.0);
    else if (walk == Walk::kMap || walk == Walk::kFilter)
        result = made;
}

#define HV_ARRAY_WALK(Name, kind, method) \
    void F_ArrayPrototype_##Name(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) { \
        Iterate(result, self, argc, args, kind, method); \
    }
HV_ARRAY_WALK(Every, Walk::kEvery, "every")
HV_ARRAY_WALK(Some, Walk::kSome, "some")
HV_ARRAY_WALK(ForEach, Walk::kForEach, "forEach")
HV_ARRAY_WALK(Map, Walk::kMap, "map")
HV_ARRAY_WALK(Filter, Walk::kFilter, "filter")
#undef HV_ARRAY_WALK

void Reduce(RValue& result, CInstance* self, int32_t argc, RValue* args, bool right) {
    const char* method = right ? "reduceRight" : "reduce";
    PWObjectBase* array = Self(self);
    PWObjectBase* store = StoreOfThis(self, method);
    if (store == nullptr) return;
    const RValue* callback = Callback(argc, args, method);
    if (callback == nullptr) return;
    const int32_t n = store->slotCount;
    RValue accumulator = RValue_Undefined();
    int32_t k;
    if (argc >= 2) {
        RValue_Assign(&accumulator, &args[1]);
        k = right ? n - 1 : 0;
    } else {
        if (n == 0) {
            JS_ThrowTypeError("Reduce of empty array with no initial value");
            return;
        }
        const RValue* first = Slot(array, right ? n - 1 : 0);
        if (first != nullptr && !RValue_IsUnset(first)) RValue_Assign(&accumulator, first);
        k = right ? n - 2 : 1;
    }
    accumulator.flags = 0;
    for (; right ? k >= 0 : k < n; k += right ? -1 : 1) {
        const RValue* slot = Slot(array, k);
        if (slot == nullptr || RValue_IsUnset(slot)) continue;
        RValue argv[4] = {accumulator, RValue_Undefined(), RValue_Real(k), ObjectValue(array)};
        RValue_Assign(&argv[1], slot);
        argv[1].flags = 0;
        RValue r = RValue_Undefined();
        JS_Call(nullptr, &r, callback->obj, 4, argv);
        RValue_Release(&argv[1]);
        RValue_Release(&accumulator);
        accumulator = r;
        accumulator.flags = 0;
        if (JS_ExceptionPending()) {
            RValue_Release(&accumulator);
            return;
        }
    }
    RValue_Release(&result);
    result = accumulator;
}

void F_ArrayPrototype_Reduce(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    Reduce(result, self, argc, args, false);
}

void F_ArrayPrototype_ReduceRight(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    Reduce(result, self, argc, args, true);
}

}  // namespace

void JS_AddArrayStoreMethods(PWObjectBase* prototype) {
    static const struct {
        const char* name;
        BuiltinProc function;
    } kMethods[] = {
        {"sort", F_ArrayPrototype_Sort},
        {"unshift", F_ArrayPrototype_Unshift},
        {"indexOf", F_ArrayPrototype_IndexOf},
        {"lastIndexOf", F_ArrayPrototype_LastIndexOf},
        {"every", F_ArrayPrototype_Every},
        {"some", F_ArrayPrototype_Some},
        {"forEach", F_ArrayPrototype_ForEach},
        {"map", F_ArrayPrototype_Map},
        {"filter", F_ArrayPrototype_Filter},
        {"reduce", F_ArrayPrototype_Reduce},
        {"reduceRight", F_ArrayPrototype_ReduceRight},
    };
    for (const auto& method : kMethods)
        JS_AddNativeMethod(prototype, method.name, method.function, 1, JS_WRITABLE | JS_CONFIGURABLE);
}
