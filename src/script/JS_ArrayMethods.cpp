// The generic methods of Array.prototype: they work on any object through its "length" and
// its decimal-named properties.
#include "script/JS_Array.h"

void JS_AddArrayGenericMethods(PWObjectBase*) {}
