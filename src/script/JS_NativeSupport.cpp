#include "script/JS_NativeSupport.h"

#include <cstring>

#include "script/JS_StandardObjects.h"

RValue JS_ObjectValue(PWObjectBase* object) {
    RValue value = RValue_Undefined();
    if (object != nullptr) {
        value.obj = object;
        value.kind = VALUE_OBJECT;
    }
    return value;
}

const RValue* JS_OwnPrimitive(PWObjectBase* object) {
    return object != nullptr ? JS_FindOwnValue(object, JS_PRIMITIVE_VALUE) : nullptr;
}

bool JS_HasClass(PWObjectBase* object, const char* className) {
    if (object == nullptr) return false;
    const char* own = JS_ClassOf(object);
    return own != nullptr && std::strcmp(own, className) == 0;
}

PWObjectBase* JS_NewClassObject(const char* className) {
    PWObjectBase* object = JS_NewOrdinaryObject();
    object->AddString(JS_CLASS, className, 0);
    return object;
}

void JS_LinkConstructor(PWObjectBase* constructor, PWObjectBase* prototype, uint32_t slotFlags) {
    JS_SetPrototypeSlot(constructor, prototype, slotFlags);
    prototype->AddObject("constructor", constructor, 0);
}

void JS_AddGlobal(const char* name, PWObjectBase* object) {
    if (g_JSStandard.global != nullptr) g_JSStandard.global->AddObject(name, object, 0);
}
