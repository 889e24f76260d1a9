// The methods of Array.prototype that work on the element store of an Array directly: sort,
// search, unshift and the callback family.
#include "script/JS_Array.h"

void JS_AddArrayStoreMethods(PWObjectBase*) {}
