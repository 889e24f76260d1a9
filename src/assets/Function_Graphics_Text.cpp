#include "assets/Function_Graphics_Text.h"

#include <cmath>
#include <cstdio>

#include "assets/Graphics_Text.h"
#include "core/Code_Function.h"
#include "core/MemoryManager.h"
#include "core/Value_Convert.h"

namespace {

constexpr int32_t kTextCapacity = 1024;

// The text of a measuring built-in's string argument (a wrong kind is the getter's error).
const char* MeasuredText(RValue* args) {
    const char* text = Arg_GetString(args, 0);
    return text ? text : "";
}

// The drawn value of argument 2 for the length of one call.
struct DrawnText {
    char* text = nullptr;
    explicit DrawnText(const RValue* value) { Text_ValueToText(value, kTextCapacity, &text); }
    ~DrawnText() { MEM_FREE(text); }
    DrawnText(const DrawnText&) = delete;
    DrawnText& operator=(const DrawnText&) = delete;
};

float F(RValue* args, int32_t n) {
    return Arg_GetFloat(args, n);
}
int32_t I(RValue* args, int32_t n) {
    return Arg_GetInt32(args, n);
}
uint32_t C(RValue* args, int32_t n) {
    return static_cast<uint32_t>(Arg_GetInt32(args, n));
}

void F_DrawSetFont(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Text_SetFont(I(args, 0));
}
void F_DrawSetHAlign(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Text_SetHAlign(I(args, 0));
}
void F_DrawSetVAlign(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    Text_SetVAlign(I(args, 0));
}

void F_StringWidth(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(Text_Width(MeasuredText(args), -1, -1));
}
void F_StringHeight(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(Text_Height(MeasuredText(args), -1, -1));
}
void F_StringWidthExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* text = MeasuredText(args);
    result = RValue_Real(Text_Width(text, I(args, 1), I(args, 2)));
}
void F_StringHeightExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* text = MeasuredText(args);
    result = RValue_Real(Text_Height(text, I(args, 1), I(args, 2)));
}

void F_DrawText(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = F(args, 0), y = F(args, 1);
    DrawnText t(&args[2]);
    Text_Draw(x, y, t.text, -1, -1);
}
void F_DrawTextExt(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = F(args, 0), y = F(args, 1);
    DrawnText t(&args[2]);
    Text_Draw(x, y, t.text, I(args, 3), I(args, 4));
}
void F_DrawTextTransformed(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = F(args, 0), y = F(args, 1);
    DrawnText t(&args[2]);
    Text_DrawTransformed(x, y, t.text, -1, -1, F(args, 3), F(args, 4), F(args, 5));
}
void F_DrawTextExtTransformed(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = F(args, 0), y = F(args, 1);
    DrawnText t(&args[2]);
    Text_DrawTransformed(x, y, t.text, I(args, 3), I(args, 4), F(args, 5), F(args, 6), F(args, 7));
}
void F_DrawTextColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = F(args, 0), y = F(args, 1);
    DrawnText t(&args[2]);
    Text_DrawColour(x, y, t.text, -1, -1, C(args, 3), C(args, 4), C(args, 5), C(args, 6), F(args, 7));
}
void F_DrawTextExtColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = F(args, 0), y = F(args, 1);
    DrawnText t(&args[2]);
    Text_DrawColour(x, y, t.text, I(args, 3), I(args, 4), C(args, 5), C(args, 6), C(args, 7), C(args, 8),
                    F(args, 9));
}
void F_DrawTextTransformedColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = F(args, 0), y = F(args, 1);
    DrawnText t(&args[2]);
    Text_DrawTransformedColour(x, y, t.text, -1, -1, F(args, 3), F(args, 4), F(args, 5), C(args, 6), C(args, 7),
                               C(args, 8), C(args, 9), F(args, 10));
}
void F_DrawTextExtTransformedColour(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    const float x = F(args, 0), y = F(args, 1);
    DrawnText t(&args[2]);
    Text_DrawTransformedColour(x, y, t.text, I(args, 3), I(args, 4), F(args, 5), F(args, 6), F(args, 7),
                               C(args, 8), C(args, 9), C(args, 10), C(args, 11), F(args, 12));
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
