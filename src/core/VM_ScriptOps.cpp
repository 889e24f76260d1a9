#include "core/VM_ScriptOps.h"

#include "core/VM.h"
#include "core/VMStack.h"
#include "core/Value.h"

uint8_t* VM_ScriptOperator(ScriptOperator op, bool unary, VMScriptResult form, uint32_t t1, uint32_t t2,
                           uint8_t* sp, VMExecContext* ctx, const char* handler) {
    const int32_t s1 = VM_TypeStackSize(t1), s2 = unary ? 0 : VM_TypeStackSize(t2);
    if (s1 == 0 || (!unary && s2 == 0)) {
        VM_Error(ctx, "%s :: Execution Engine type error", handler);
        return sp;
    }
    if (!VM_HaveItems(sp, ctx, s1 + s2, handler)) return sp;
    RValue right = RValue_Undefined(), left = RValue_Undefined();
    VM_LoadTypedValue(&right, t1, sp);
    if (!unary) VM_LoadTypedValue(&left, t2, sp + s1);
    RValue out = RValue_Undefined();
    const int32_t status = unary ? ScriptObjects().operate(op, &out, &right, nullptr)
                                 : ScriptObjects().operate(op, &out, &left, &right);
    RValue_Free(&right);
    RValue_Free(&left);
    uint8_t* end = sp + s1 + s2;
    if (status == SCRIPT_OP_THROWN) {
        RValue_Free(&out);
        return end;
    }
    if (status != SCRIPT_OP_DONE) {
        RValue_Free(&out);
        VM_Error(ctx, "%s :: Execution Engine - script object operands need the script object runtime",
                 handler);
        return end;
    }
    if (form == VMScriptResult::Bool) {
        const int32_t flag =
            RValue_Kind(out) == VALUE_BOOL || RValue_Kind(out) == VALUE_REAL ? out.val != 0.0 : 0;
        RValue_Free(&out);
        end -= 4;
        VM_Store(end, flag);
        return end;
    }
    if (s1 + s2 < 16) {
        uint8_t* moved = VM_Reserve(end, ctx, 16 - s1 - s2);
        if (moved == nullptr) {
            RValue_Free(&out);
            return end;
        }
        end = moved;
    }
    end -= 16;
    VM_StoreValue(end, out);
    return end;
}
