#include "graphics/Function_Window.h"

#include "core/Code_Function.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Window.h"

namespace {

RValue PointerValue(void* pointer) {
    RValue v = RValue_Undefined();
    v.ptr = pointer;
    v.kind = VALUE_PTR;
    return v;
}

void F_WindowHandle(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = PointerValue(Window_Get_Handle());
}

void F_WindowDevice(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = PointerValue(g_D3D.device);
}

void F_SetApplicationTitle(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* title = Arg_GetString(args, 0);
    Window_Set_Caption(title != nullptr ? title : "");
}

const BuiltinRow kRows[] = {
    {"window_handle", F_WindowHandle, 0, 0},
    {"window_device", F_WindowDevice, 0, 0},
    {"set_application_title", F_SetApplicationTitle, 1, 0},
};

}  // namespace

void InitWindowFunctions() {
    Code_Function_AddRows(kRows);
}
