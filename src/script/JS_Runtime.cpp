#include "script/JS_Runtime.h"

#include "core/ScriptObjectHooks.h"
#include "script/JS_Call.h"
#include "script/JS_Convert.h"
#include "script/JS_Operators.h"
#include "script/JS_Property.h"

namespace {

void CallValue(PWObjectBase* self, RValue* result, RValue* function, int32_t argc, RValue* args) {
    JS_CallValue(self, result, function, argc, args);
}

}  // namespace

void JS_InstallCoreHooks() {
    ScriptObjectHooks hooks = {};
    hooks.toNumber = JS_ToNumber;
    hooks.getProperty = JS_GetProperty;
    hooks.isCallable = JS_IsCallable;
    hooks.callValue = CallValue;
    hooks.callGetter = [](PWObjectBase* object, RValue* result, RValue* accessor) {
        JS_CallGetter(object, result, accessor);
    };
    hooks.callSetter = [](PWObjectBase* object, RValue* value, RValue* accessor) {
        JS_CallSetter(object, value, accessor);
    };
    hooks.createNativeAccessor = JS_CreateNativeAccessor;
    hooks.isBuiltinGlobalName = JS_IsBuiltinGlobalName;
    // In object mode the global object heads the scope chain once the standard objects exist.
    hooks.scopeChainHead = []() -> PWObjectBase* { return g_JSStandard.global; };
    hooks.operate = JS_Operate;
    hooks.getMember = JS_GetMember;
    hooks.putMember = JS_PutMember;
    hooks.deleteMember = JS_DeleteMember;
    hooks.toObject = F_JS_ToObject;
    hooks.newArguments = [](PWObjectBase* callee, int32_t argc, RValue* args) -> PWObjectBase* {
        RValue arguments = RValue_Undefined();
        JS_CreateArgumentsObject(&arguments, callee, argc, args, false);
        return RValue_IsObject(arguments) ? arguments.obj : nullptr;
    };
    ScriptObjects_Install(&hooks);
}
