// Helpers the Array.prototype methods share.
#pragma once

#include <cstdint>
#include <string>

#include "script/JS_Object.h"

namespace js_array {

PWObjectBase* Self(CInstance* self);
// The decimal name of an element index.
std::string ElementName(uint64_t index);
// [[Get]] into out, which then holds its own references (release it); false, with out
// undefined, when nothing on the chain has the property. Getters run.
bool GetOwned(PWObjectBase* object, const char* name, RValue* out);

}  // namespace js_array
