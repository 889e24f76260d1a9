// Placeholders for the standard objects that are built elsewhere: each step does nothing yet.
#include "script/JS_StandardObjects.h"

void JS_SetupStringConstructor() {}
void JS_SetupMathObject() {}
void JS_SetupBooleanConstructor() {}
void JS_SetupNumberConstructor() {}
void JS_SetupDateConstructor() {}
void JS_SetupRegExpConstructor() {}
void JS_SetupJSONObject() {}

void JS_Global_parseInt(RValue&, CInstance*, CInstance*, int32_t, RValue*) {}
void JS_Global_parseFloat(RValue&, CInstance*, CInstance*, int32_t, RValue*) {}
void JS_Unimplemented(RValue&, CInstance*, CInstance*, int32_t, RValue*) {}
