#include "assets/Function_Graphics_Text.h"

#include <cmath>
#include <cstdio>

#include "assets/Graphics_Text.h"
#include "core/Code_Function.h"
#include "core/MemoryManager.h"
#include "core/Value_Convert.h"

namespace {

constexpr int32_t kTextCapacity = 1024;

// The drawn value of argument 2 for the length of one call.
struct DrawnText {
    char* text = nullptr;
    explicit DrawnText(const RValue* value) { Text_ValueToText(value, kTextCapacity, &text); }
    ~DrawnText() { MEM_FREE(text); }
    DrawnText(const DrawnText&) = delete;
    DrawnText& operator=(const DrawnText&) = delete;
};

void F_DrawSetFont(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Text_SetFont(Arg_GetInt32(args, 0));
}
void F_DrawSetHAlign(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Text_SetHAlign(Arg_GetInt32(args, 0));
}
void F_DrawSetVAlign(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Text_SetVAlign(Arg_GetInt32(args, 0));
}

void F_StringWidth(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(Text_Width(Arg_GetStringOrEmpty(args, 0), -1, -1));
}
void F_StringHeight(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(Text_Height(Arg_GetStringOrEmpty(args, 0), -1, -1));
}
void F_StringWidthExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* text = Arg_GetStringOrEmpty(args, 0);
    result = RValue_Real(Text_Width(text, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2)));
}
void F_StringHeightExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* text = Arg_GetStringOrEmpty(args, 0);
    result = RValue_Real(Text_Height(text, Arg_GetInt32(args, 1), Arg_GetInt32(args, 2)));
}

void F_DrawText(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    DrawnText t(&args[2]);
    Text_Draw(x, y, t.text, -1, -1);
}
void F_DrawTextExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    DrawnText t(&args[2]);
    Text_Draw(x, y, t.text, Arg_GetInt32(args, 3), Arg_GetInt32(args, 4));
}
void F_DrawTextTransformed(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    DrawnText t(&args[2]);
    Text_DrawTransformed(x, y, t.text, -1, -1, Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                         Arg_GetFloat(args, 5));
}
void F_DrawTextExtTransformed(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    DrawnText t(&args[2]);
    Text_DrawTransformed(x, y, t.text, Arg_GetInt32(args, 3), Arg_GetInt32(args, 4), Arg_GetFloat(args, 5),
                         Arg_GetFloat(args, 6), Arg_GetFloat(args, 7));
}
void F_DrawTextColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    DrawnText t(&args[2]);
    Text_DrawColour(x, y, t.text, -1, -1, Arg_GetColour(args, 3), Arg_GetColour(args, 4),
                    Arg_GetColour(args, 5), Arg_GetColour(args, 6), Arg_GetFloat(args, 7));
}
void F_DrawTextExtColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    DrawnText t(&args[2]);
    Text_DrawColour(x, y, t.text, Arg_GetInt32(args, 3), Arg_GetInt32(args, 4), Arg_GetColour(args, 5),
                    Arg_GetColour(args, 6), Arg_GetColour(args, 7), Arg_GetColour(args, 8),
                    Arg_GetFloat(args, 9));
}
void F_DrawTextTransformedColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    DrawnText t(&args[2]);
    Text_DrawTransformedColour(x, y, t.text, -1, -1, Arg_GetFloat(args, 3), Arg_GetFloat(args, 4),
                               Arg_GetFloat(args, 5), Arg_GetColour(args, 6), Arg_GetColour(args, 7),
                               Arg_GetColour(args, 8), Arg_GetColour(args, 9), Arg_GetFloat(args, 10));
}
void F_DrawTextExtTransformedColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = Arg_GetFloat(args, 0), y = Arg_GetFloat(args, 1);
    DrawnText t(&args[2]);
    Text_DrawTransformedColour(x, y, t.text, Arg_GetInt32(args, 3), Arg_GetInt32(args, 4),
                               Arg_GetFloat(args, 5), Arg_GetFloat(args, 6), Arg_GetFloat(args, 7),
                               Arg_GetColour(args, 8), Arg_GetColour(args, 9), Arg_GetColour(args, 10),
                               Arg_GetColour(args, 11), Arg_GetFloat(args, 12));
}

const BuiltinRow kRows[] = {
    {"draw_set_font", F_DrawSetFont, 1, 0},
    {"draw_set_halign", F_DrawSetHAlign, 1, 0},
    {"draw_set_valign", F_DrawSetVAlign, 1, 0},
    {"string_width", F_StringWidth, 1, 0},
    {"string_height", F_StringHeight, 1, 0},
    {"string_width_ext", F_StringWidthExt, 3, 0},
    {"string_height_ext", F_StringHeightExt, 3, 0},
    {"draw_text", F_DrawText, 3, 0},
    {"draw_text_ext", F_DrawTextExt, 5, 0},
    {"draw_text_transformed", F_DrawTextTransformed, 6, 1},
    {"draw_text_ext_transformed", F_DrawTextExtTransformed, 8, 1},
    {"draw_text_colour", F_DrawTextColour, 8, 1},
    {"draw_text_color", F_DrawTextColour, 8, 1},
    {"draw_text_ext_colour", F_DrawTextExtColour, 10, 1},
    {"draw_text_ext_color", F_DrawTextExtColour, 10, 1},
    {"draw_text_transformed_colour", F_DrawTextTransformedColour, 11, 1},
    {"draw_text_transformed_color", F_DrawTextTransformedColour, 11, 1},
    {"draw_text_ext_transformed_colour", F_DrawTextExtTransformedColour, 13, 1},
    {"draw_text_ext_transformed_color", F_DrawTextExtTransformedColour, 13, 1},
};

}  // namespace

void Text_ValueToText(const RValue* value, int32_t capacity, char** out) {
    char* base = static_cast<char*>(MEM_ALLOC(capacity));
    char* cursor = base;
    *cursor = 0;
    if (value->kind == VALUE_REAL) {
        const double v = value->val;
        char number[512];
        // Whole numbers past the 64-bit range keep the decimal form.
        if (std::floor(v) == v && std::fabs(v) < 9.2e18)
            std::snprintf(number, sizeof number, "%lld", static_cast<long long>(v));
        else
            std::snprintf(number, sizeof number, "%.2f", v);
        TextBuffer_Append(cursor, base, capacity, number);
    } else {
        RValue_AppendText(cursor, base, capacity, value);
    }
    *out = base;
}

void InitTextFunctions() {
    Code_Function_AddRows(kRows);
}

void Direct_draw_set_font(int32_t font) {
    Text_SetFont(font);
}
void Direct_draw_set_halign(int32_t alignment) {
    Text_SetHAlign(alignment);
}
void Direct_draw_set_valign(int32_t alignment) {
    Text_SetVAlign(alignment);
}
