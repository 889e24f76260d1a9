// Function.prototype with toString, apply and call, and the Function constructor, which
// exists only as a name: it compiles nothing.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/Variable.h"
#include "script/JS_ArrayShared.h"
#include "script/JS_Call.h"
#include "script/JS_Convert.h"
#include "script/JS_Exception.h"
#include "script/JS_Property.h"
#include "script/JS_StandardObjects.h"

namespace {

// apply reads at most this many arguments: a larger "length" is refused rather than
// exhausting memory.
constexpr double kMaxApplyArguments = 1 << 20;

PWObjectBase* Self(CInstance* self) {
    return reinterpret_cast<PWObjectBase*>(self);
}

// The this value of apply and call, from their first argument.
PWObjectBase* ThisFromArgument(int32_t argc, RValue* args, RValue* holder) {
    PWObjectBase* global = g_JSStandard.global;
    if (argc < 1) return global;
    const RValue* value = &args[0];
    if (RValue_IsObject(value)) return value->obj != nullptr ? value->obj : global;
    if (!JS_IsPrimitive(value)) return global;
    if (F_JS_ToObject(holder, value) != JS_DONE || !RValue_IsObject(holder) || holder->obj == nullptr)
        return global;
    return holder->obj;
}

void F_FunctionPrototype_ToString(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    const char* cls = Self(self) != nullptr ? JS_ClassOf(Self(self)) : nullptr;
    if (cls == nullptr || std::strcmp(cls, "Function") != 0) {
        JS_ThrowTypeError("NoMessage");
        return;
    }
    RValue_SetString(&result, "function () {}");
}

void F_FunctionPrototype_Apply(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* function = Self(self);
    if (!JS_IsFunctionObject(function)) {
        JS_ThrowTypeError("Using Function.prototype.apply on a non-callable object");
        return;
    }
    RValue holder = RValue_Undefined();
    PWObjectBase* thisObject = ThisFromArgument(argc, args, &holder);
    std::vector<RValue> list;
    const RValue* argArray = argc > 1 ? &args[1] : nullptr;
    const uint32_t kind = argArray != nullptr ? RValue_Kind(argArray) : VALUE_UNDEFINED;
    if (kind == VALUE_OBJECT && argArray->obj != nullptr) {
        RValue length;
        JS_Get(argArray->obj, &length, "length");
        RValue number = RValue_Real(0.0);
        if (!RValue_IsUnset(length) && JS_ToNumber(&number, &length) == JS_EXCEPTION) {
            RValue_Release(&holder);
            return;
        }
        double n = RValue_IsReal(number) && std::isfinite(number.val) ? std::trunc(number.val) : 0.0;
        if (n < 0) n = 0;
        if (n > kMaxApplyArguments) {
            RValue_Release(&holder);
            JS_ThrowRangeError("Too many arguments given to Function.prototype.apply");
            return;
        }
        list.resize(static_cast<size_t>(n), RValue_Undefined());
        for (size_t i = 0; i < list.size(); ++i) {
            char name[24];
            std::snprintf(name, sizeof name, "%d", static_cast<int32_t>(i));
            js_array::GetOwned(argArray->obj, name, &list[i]);
            if (JS_ExceptionPending()) break;
        }
        if (JS_ExceptionPending()) {
            for (RValue& value : list) RValue_Release(&value);
            RValue_Release(&holder);
            return;
        }
    } else if (kind != VALUE_UNDEFINED && kind != VALUE_NULL && kind != VALUE_UNSET) {
        RValue_Release(&holder);
        JS_ThrowTypeError("Second argument to Function.prototype.apply is not an object");
        return;
    }
    JS_Call(thisObject, &result, function, static_cast<int32_t>(list.size()), list.data());
    for (RValue& value : list) RValue_Release(&value);
    RValue_Release(&holder);
}

void F_FunctionPrototype_Call(RValue& result, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    PWObjectBase* function = Self(self);
    if (!JS_IsFunctionObject(function)) {
        JS_ThrowTypeError("Using Function.prototype.call on a non-callable object");
        return;
    }
    RValue holder = RValue_Undefined();
    PWObjectBase* thisObject = ThisFromArgument(argc, args, &holder);
    JS_Call(thisObject, &result, function, argc > 0 ? argc - 1 : 0, argc > 1 ? args + 1 : nullptr);
    RValue_Release(&holder);
}

}  // namespace

void JS_SetupFunctionPrototype() {
    PWObjectBase* prototype = JS_NewOrdinaryObject();
    g_JSStandard.functionPrototype = prototype;
    prototype->AddString(JS_CLASS, "[[Function]]", 0);
    prototype->AddReal(JS_EXTENSIBLE, 1.0, 0);
    const uint32_t method = JS_WRITABLE | JS_CONFIGURABLE;
    JS_AddNativeMethod(prototype, "toString", F_FunctionPrototype_ToString, 0, method);
    JS_AddNativeMethod(prototype, "apply", F_FunctionPrototype_Apply, 1, method);
    JS_AddNativeMethod(prototype, "call", F_FunctionPrototype_Call, 1, method);
    JS_AddNativeMethod(prototype, "bind", JS_Unimplemented, 0, method);
    prototype->AddPointer(JS_CALL_CPP, reinterpret_cast<void*>(JS_NativeReturnUndefined), 0);
    prototype->AddReal("length", 0, 0);

    PWObjectBase* constructor = JS_NewBareObject();
    JS_SetPrototypeLink(constructor, prototype);
    constructor->AddString(JS_CLASS, "Function", 0);
    constructor->AddReal(JS_EXTENSIBLE, 1.0, 0);
    constructor->AddPointer(JS_CALL_CPP, reinterpret_cast<void*>(JS_NativeNoOp), 0);
    constructor->AddPointer(JS_HAS_INSTANCE, reinterpret_cast<void*>(JS_HasInstance), 0);
    constructor->AddReal("length", 0, 0);
    constructor->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(JS_NativeNoOp), 0);
    JS_SetPrototypeSlot(constructor, prototype, JS_WRITABLE | JS_CONFIGURABLE);
    prototype->AddObject("constructor", constructor, 0);
    if (g_JSStandard.global != nullptr) g_JSStandard.global->AddObject("Function", constructor, 0);
}
