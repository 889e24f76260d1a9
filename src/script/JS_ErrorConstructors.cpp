// The seven error kinds: each a prototype with name, message and its own toString, and a
// constructor that makes error objects whether called or constructed.
#include <string>

#include "script/JS_Exception.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"
#include "script/JS_StandardObjects.h"

namespace {

// The text of a property read through the chain; false when the conversion threw.
bool PropertyText(PWObjectBase* object, const char* name, std::string* text) {
    RValue value;
    JS_Get(object, &value, name);
    if (RValue_IsUnset(value)) value = RValue_Undefined();
    RValue converted = RValue_Undefined();
    const int32_t status = JS_ToString(&converted, &value);
    const char* chars = RValue_GetStringText(&converted);
    text->assign(status == JS_DONE && chars != nullptr ? chars : "");
    RValue_Release(&converted);
    return status == JS_DONE;
}

void F_ErrorPrototype_ToString(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    auto* object = reinterpret_cast<PWObjectBase*>(self);
    const char* cls = object != nullptr ? JS_ClassOf(object) : nullptr;
    if (cls == nullptr || std::string(cls) != "Error") {
        JS_ThrowTypeError("NoMessage");
        return;
    }
    std::string name, message;
    if (!PropertyText(object, "name", &name) || !PropertyText(object, "message", &message)) return;
    std::string text = name.empty() ? message : message.empty() ? name : name + ": " + message;
    RValue_SetString(&result, text.c_str());
}

}  // namespace

PWObjectBase* JS_CreateErrorConstructor(const char* name, BuiltinProc function, PWObjectBase** prototypeOut,
                                        PWObjectBase* parent) {
    PWObjectBase* prototype = JS_NewOrdinaryObject();
    prototype->AddString(JS_CLASS, "Error", 0);
    JS_SetPrototypeLink(prototype, parent);
    prototype->AddString("name", name, 0);
    prototype->AddString("message", "", 0);
    JS_AddNativeMethod(prototype, "toString", F_ErrorPrototype_ToString, 0, 0);
    PWObjectBase* constructor = JS_CreateNativeFunction(function, 0, false);
    constructor->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(function), 0);
    JS_SetPrototypeSlot(constructor, prototype, JS_WRITABLE | JS_CONFIGURABLE);
    prototype->AddObject("constructor", constructor, 0);
    *prototypeOut = prototype;
    return constructor;
}

void JS_SetupErrorConstructors() {
    static const struct {
        const char* name;
        BuiltinProc function;
    } kKinds[7] = {
        {"Error", F_JS_Error},
        {"EvalError", F_JS_EvalError},
        {"RangeError", F_JS_RangeError},
        {"ReferenceError", F_JS_ReferenceError},
        {"SyntaxError", F_JS_SyntaxError},
        {"TypeError", F_JS_TypeError},
        {"URIError", F_JS_URIError},
    };
    PWObjectBase* constructors[7] = {};
    for (int32_t i = 0; i < 7; ++i) {
        PWObjectBase* parent = i == 0 ? g_JSStandard.objectPrototype : g_JSStandard.errorPrototypes[0];
        constructors[i] = JS_CreateErrorConstructor(kKinds[i].name, kKinds[i].function,
                                                    &g_JSStandard.errorPrototypes[i], parent);
    }
    if (g_JSStandard.global != nullptr)
        for (int32_t i = 0; i < 7; ++i) g_JSStandard.global->AddObject(kKinds[i].name, constructors[i], 0);
}
