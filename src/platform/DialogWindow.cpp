#include "platform/DialogWindow.h"

#include <SDL.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/EventPump.h"

namespace {
bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t PrevBoundary(const std::string& text, size_t at) {
    if (at == 0) return 0;
    --at;
    while (at > 0 && IsContinuation(text[at])) --at;
    return at;
}

size_t NextBoundary(const std::string& text, size_t at) {
    if (at >= text.size()) return text.size();
    ++at;
    while (at < text.size() && IsContinuation(text[at])) ++at;
    return at;
}

// Decodes one character; a broken sequence stands for U+FFFD and moves one byte on.
uint32_t DecodeAt(std::string_view text, size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || text.size() - at <= static_cast<size_t>(extra)) {
        ++at;
        return 0xFFFD;
    }
    uint32_t code = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (size_t i = 1; i <= static_cast<size_t>(extra); ++i) {
        if (!IsContinuation(text[at + i])) {
            ++at;
            return 0xFFFD;
        }
        code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3Fu);
    }
    at += static_cast<size_t>(extra) + 1;
    return code;
}
}  // namespace

// --- one edit field ---------------------------------------------------------------------------

void DialogEdit_Insert(DialogEditField& field, std::string_view utf8) {
    field.text.insert(field.caret, utf8);
    field.caret += utf8.size();
}

void DialogEdit_Backspace(DialogEditField& field) {
    const size_t start = PrevBoundary(field.text, field.caret);
    field.text.erase(start, field.caret - start);
    field.caret = start;
}

void DialogEdit_Delete(DialogEditField& field) {
    field.text.erase(field.caret, NextBoundary(field.text, field.caret) - field.caret);
}

void DialogEdit_Left(DialogEditField& field) {
    field.caret = PrevBoundary(field.text, field.caret);
}

void DialogEdit_Right(DialogEditField& field) {
    field.caret = NextBoundary(field.text, field.caret);
}

void DialogEdit_Home(DialogEditField& field) {
    field.caret = 0;
}

void DialogEdit_End(DialogEditField& field) {
    field.caret = field.text.size();
}

std::string DialogEdit_Masked(std::string_view utf8) {
    size_t characters = 0;
    for (char c : utf8) characters += IsContinuation(c) ? 0 : 1;
    return std::string(characters, '*');
}

// --- the dialog's state -----------------------------------------------------------------------

DialogState DialogState_Start(const PlatformDialogRequest& request) {
    DialogState state;
    state.kind = request.kind;
    state.fieldCount = request.kind == PlatformDialogKind::Login ? 2 : 1;
    state.fields[0].text = request.answer;
    if (state.fieldCount == 2) state.fields[1].text = request.password;
    for (DialogEditField& field : state.fields) DialogEdit_End(field);
    return state;
}

void DialogState_Key(DialogState& state, DialogKey key, bool shift) {
    if (state.finished) return;
    DialogEditField& field = state.fields[state.focus];
    switch (key) {
        case DialogKey::Enter:
        case DialogKey::Escape:
            state.finished = true;
            state.accepted = key == DialogKey::Enter;
            break;
        case DialogKey::Tab:
            state.focus = (state.focus + (shift ? state.fieldCount - 1 : 1)) % state.fieldCount;
            break;
        case DialogKey::Backspace:
            DialogEdit_Backspace(field);
            break;
        case DialogKey::Delete:
            DialogEdit_Delete(field);
            break;
        case DialogKey::Left:
            DialogEdit_Left(field);
            break;
        case DialogKey::Right:
            DialogEdit_Right(field);
            break;
        case DialogKey::Home:
            DialogEdit_Home(field);
            break;
        case DialogKey::End:
            DialogEdit_End(field);
            break;
        case DialogKey::Other:
            break;
    }
}

void DialogState_Text(DialogState& state, std::string_view utf8) {
    // Line breaks and other controls are keys to the dialog, never part of an answer.
    std::string typed;
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) typed += c;
    if (!state.finished) DialogEdit_Insert(state.fields[state.focus], typed);
}

PlatformDialogAnswer DialogState_Answer(const DialogState& state) {
    PlatformDialogAnswer answer;
    answer.accepted = state.finished && state.accepted;
    if (!answer.accepted) return answer;
    answer.text = state.fields[0].text;
    if (state.fieldCount == 2) answer.password = state.fields[1].text;
    return answer;
}

std::string DialogState_Shown(const DialogState& state, int field) {
    const bool password = state.kind == PlatformDialogKind::Login && field == 1;
    return password ? DialogEdit_Masked(state.fields[field].text) : state.fields[field].text;
}

// --- layout -----------------------------------------------------------------------------------

namespace {
constexpr int kPad = 12;
constexpr int kContentWidth = 360;
constexpr int kButtonWidth = 84;

// Breaks one paragraph (no line breaks in it) between words, and inside a word too long.
void WrapParagraph(std::string_view text, int width, const DialogMeasure& measure,
                   std::vector<std::string>& lines) {
    std::string line;
    size_t at = 0;
    while (at < text.size()) {
        size_t wordEnd = text.find(' ', at);
        if (wordEnd == std::string_view::npos) wordEnd = text.size();
        const std::string_view word = text.substr(at, wordEnd - at);
        const std::string joined = line.empty() ? std::string(word) : line + " " + std::string(word);
        if (measure(joined) <= width || line.empty()) {
            line = joined;
        } else {
            lines.push_back(line);
            line = std::string(word);
        }
        // A single word wider than the line is split at characters.
        while (measure(line) > width && NextBoundary(line, 0) < line.size()) {
            size_t cut = line.size();
            while (cut > 0 && measure(std::string_view(line).substr(0, cut)) > width)
                cut = PrevBoundary(line, cut);
            if (cut == 0) cut = NextBoundary(line, 0);  // a character wider than the line
            lines.push_back(line.substr(0, cut));
            line.erase(0, cut);
        }
        at = wordEnd + 1;
    }
    lines.push_back(line);
}
}  // namespace

std::vector<std::string> DialogLayout_Wrap(std::string_view text, int width, const DialogMeasure& measure) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view paragraph = text.substr(start, end - start);
        if (!paragraph.empty() && paragraph.back() == '\r') paragraph.remove_suffix(1);
        WrapParagraph(paragraph, width, measure, lines);
        start = end + 1;
    }
    if (lines.size() > static_cast<size_t>(kDialogMaxPromptLines)) lines.resize(kDialogMaxPromptLines);
    return lines;
}

DialogLayout DialogLayout_Make(const PlatformDialogRequest& request, int lineHeight,
                               const DialogMeasure& measure) {
    DialogLayout layout;
    layout.lineHeight = lineHeight;
    layout.width = kContentWidth + 2 * kPad;
    const int fieldHeight = lineHeight + 8;
    int y = kPad;
    auto addField = [&] {
        layout.fields.push_back({kPad, y, kContentWidth, fieldHeight});
        y += fieldHeight + kPad;
    };
    if (request.kind == PlatformDialogKind::Login) {
        for (const char* label : {"Username", "Password"}) {
            layout.labels.push_back({kPad, y, label});
            y += lineHeight + 4;
            addField();
        }
    } else {
        for (std::string& line : DialogLayout_Wrap(request.text, kContentWidth, measure)) {
            layout.labels.push_back({kPad, y, std::move(line)});
            y += lineHeight;
        }
        y += 8;
        addField();
    }
    const int buttonHeight = lineHeight + 12;
    layout.cancel = {layout.width - kPad - kButtonWidth, y, kButtonWidth, buttonHeight};
    layout.ok = {layout.cancel.x - 8 - kButtonWidth, y, kButtonWidth, buttonHeight};
    layout.height = y + buttonHeight + kPad;
    return layout;
}

void DialogState_Click(DialogState& state, const DialogLayout& layout, int x, int y) {
    if (state.finished) return;
    if (layout.ok.Contains(x, y)) {
        DialogState_Key(state, DialogKey::Enter);
        return;
    }
    if (layout.cancel.Contains(x, y)) {
        DialogState_Key(state, DialogKey::Escape);
        return;
    }
    for (int i = 0; i < state.fieldCount && i < static_cast<int>(layout.fields.size()); ++i)
        if (layout.fields[static_cast<size_t>(i)].Contains(x, y)) state.focus = i;
}

// --- the font ---------------------------------------------------------------------------------

std::string DialogFont_Find(const std::vector<std::string>& candidates) {
    for (const std::string& path : candidates)
        if (access(path.c_str(), R_OK) == 0) return path;
    return {};
}

const std::vector<std::string>& DialogFont_Candidates() {
    static const std::vector<std::string> candidates = {
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
        "/usr/share/fonts/truetype/freefont/FreeSans.ttf",
    };
    return candidates;
}

// --- drawing ----------------------------------------------------------------------------------

namespace {
constexpr int kFontPixels = 14;
constexpr uint32_t kBackground = 0xFFF0F0F0, kInk = 0xFF000000, kFieldFill = 0xFFFFFFFF, kBorder = 0xFF808080,
                   kFocusBorder = 0xFF2060C0, kButtonFill = 0xFFE1E1E1;

class Font {
public:
    ~Font() {
        if (m_face) FT_Done_Face(m_face);
        if (m_library) FT_Done_FreeType(m_library);
    }
    bool Load(const std::string& path) {
        if (FT_Init_FreeType(&m_library) != 0) return false;
        if (FT_New_Face(m_library, path.c_str(), 0, &m_face) != 0) return false;
        return FT_Set_Pixel_Sizes(m_face, 0, kFontPixels) == 0;
    }
    int LineHeight() const { return static_cast<int>(m_face->size->metrics.height >> 6); }
    int Ascender() const { return static_cast<int>(m_face->size->metrics.ascender >> 6); }
    int Measure(std::string_view text) const {
        int width = 0;
        for (size_t at = 0; at < text.size();) {
            if (FT_Load_Char(m_face, DecodeAt(text, at), FT_LOAD_DEFAULT) == 0)
                width += static_cast<int>(m_face->glyph->advance.x >> 6);
        }
        return width;
    }
    FT_Face Face() const { return m_face; }

private:
    FT_Library m_library = nullptr;
    FT_Face m_face = nullptr;
};

struct Canvas {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // ARGB

    void Fill(const DialogRect& r, uint32_t colour) {
        for (int y = std::max(r.y, 0); y < std::min(r.y + r.h, height); ++y)
            for (int x = std::max(r.x, 0); x < std::min(r.x + r.w, width); ++x)
                pixels[static_cast<size_t>(y * width + x)] = colour;
    }
    void Box(const DialogRect& r, uint32_t fill, uint32_t border) {
        Fill(r, border);
        Fill({r.x + 1, r.y + 1, r.w - 2, r.h - 2}, fill);
    }
    // Draws text with its line's top at y, clipped to the rectangle.
    void Text(const Font& font, int x, int y, std::string_view text, const DialogRect& clip) {
        FT_Face face = font.Face();
        const int baseline = y + font.Ascender();
        for (size_t at = 0; at < text.size();) {
            if (FT_Load_Char(face, DecodeAt(text, at), FT_LOAD_RENDER) != 0) continue;
            const FT_Bitmap& bitmap = face->glyph->bitmap;
            const int left = x + face->glyph->bitmap_left, top = baseline - face->glyph->bitmap_top;
            for (int row = 0; row < static_cast<int>(bitmap.rows); ++row)
                for (int col = 0; col < static_cast<int>(bitmap.width); ++col)
                    Blend(left + col, top + row, bitmap.buffer[row * bitmap.pitch + col], clip);
            x += static_cast<int>(face->glyph->advance.x >> 6);
        }
    }
    void Blend(int x, int y, unsigned coverage, const DialogRect& clip) {
        if (coverage == 0 || !clip.Contains(x, y) || x < 0 || y < 0 || x >= width || y >= height) return;
        uint32_t& pixel = pixels[static_cast<size_t>(y * width + x)];
        uint32_t out = 0xFF000000;
        for (int shift = 0; shift < 24; shift += 8) {
            const unsigned under = (pixel >> shift) & 0xFF, ink = (kInk >> shift) & 0xFF;
            out |= ((under * (255 - coverage) + ink * coverage) / 255) << shift;
        }
        pixel = out;
    }
};

void DrawDialog(Canvas& canvas, const Font& font, const DialogLayout& layout, const DialogState& state) {
    canvas.width = layout.width;
    canvas.height = layout.height;
    canvas.pixels.assign(static_cast<size_t>(layout.width * layout.height), kBackground);
    const DialogRect all{0, 0, layout.width, layout.height};
    for (const DialogLabel& label : layout.labels) canvas.Text(font, label.x, label.y, label.text, all);
    for (int i = 0; i < state.fieldCount && i < static_cast<int>(layout.fields.size()); ++i) {
        const DialogRect& box = layout.fields[static_cast<size_t>(i)];
        const bool focused = i == state.focus;
        canvas.Box(box, kFieldFill, focused ? kFocusBorder : kBorder);
        const std::string shown = DialogState_Shown(state, i);
        const DialogEditField& field = state.fields[i];
        const size_t caretBytes =
            state.kind == PlatformDialogKind::Login && i == 1
                ? DialogEdit_Masked(std::string_view(field.text).substr(0, field.caret)).size()
                : field.caret;
        // Text longer than the field scrolls so the caret stays in sight.
        const DialogRect inner{box.x + 4, box.y + 2, box.w - 8, box.h - 4};
        const int caretX = font.Measure(std::string_view(shown).substr(0, caretBytes));
        const int scroll = std::max(0, caretX - (inner.w - 2));
        canvas.Text(font, inner.x - scroll, box.y + 4, shown, inner);
        if (focused) canvas.Fill({inner.x + caretX - scroll, box.y + 4, 1, layout.lineHeight}, kInk);
    }
    for (const auto& [button, label] : {std::pair{layout.ok, "OK"}, std::pair{layout.cancel, "Cancel"}}) {
        canvas.Box(button, kButtonFill, button.x == layout.ok.x ? kFocusBorder : kBorder);
        const int textX = button.x + (button.w - font.Measure(label)) / 2;
        canvas.Text(font, textX, button.y + (button.h - layout.lineHeight) / 2, label, button);
    }
}

DialogKey KeyFor(SDL_Keycode key) {
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return DialogKey::Enter;
        case SDLK_ESCAPE:
            return DialogKey::Escape;
        case SDLK_TAB:
            return DialogKey::Tab;
        case SDLK_BACKSPACE:
            return DialogKey::Backspace;
        case SDLK_DELETE:
            return DialogKey::Delete;
        case SDLK_LEFT:
            return DialogKey::Left;
        case SDLK_RIGHT:
            return DialogKey::Right;
        case SDLK_HOME:
            return DialogKey::Home;
        case SDLK_END:
            return DialogKey::End;
        default:
            return DialogKey::Other;
    }
}

// The window a window-bound event belongs to; 0 for every other event.
Uint32 WindowOf(const SDL_Event& event) {
    switch (event.type) {
        case SDL_WINDOWEVENT:
            return event.window.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return event.key.windowID;
        case SDL_TEXTINPUT:
            return event.text.windowID;
        case SDL_TEXTEDITING:
            return event.edit.windowID;
        case SDL_MOUSEMOTION:
            return event.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return event.button.windowID;
        case SDL_MOUSEWHEEL:
            return event.wheel.windowID;
        default:
            return 0;
    }
}

struct OpenWindow {
    SDL_Window* window = nullptr;
    Uint32 id = 0;
    Font font;
    DialogLayout layout;
    DialogState state;
    Canvas canvas;
    bool textInputWasOn = false;

    ~OpenWindow() {
        if (!textInputWasOn) SDL_StopTextInput();
        if (window) SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    void Draw() {
        DrawDialog(canvas, font, layout, state);
        SDL_Surface* surface = SDL_GetWindowSurface(window);
        if (surface == nullptr) return;
        if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
        const int w = std::min(surface->w, canvas.width), h = std::min(surface->h, canvas.height);
        SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_ARGB8888, canvas.pixels.data(), canvas.width * 4,
                          surface->format->format, surface->pixels, surface->pitch);
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
        SDL_UpdateWindowSurface(window);
    }

    void Handle(const SDL_Event& event) {
        switch (event.type) {
            case SDL_KEYDOWN:
                DialogState_Key(state, KeyFor(event.key.keysym.sym),
                                (event.key.keysym.mod & KMOD_SHIFT) != 0);
                break;
            case SDL_TEXTINPUT:
                DialogState_Text(state, event.text.text);
                break;
            case SDL_MOUSEBUTTONDOWN:
                if (event.button.button == SDL_BUTTON_LEFT)
                    DialogState_Click(state, layout, event.button.x, event.button.y);
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_CLOSE) DialogState_Key(state, DialogKey::Escape);
                break;
            default:
                return;
        }
        if (!state.finished) Draw();
    }
};

OpenWindow* g_open = nullptr;
}  // namespace

bool DialogWindow_Open(const PlatformDialogRequest& request) {
    DialogWindow_Close();
    if (!PlatformDialog_HaveDisplay()) return false;
    const std::string fontPath = DialogFont_Find(DialogFont_Candidates());
    if (fontPath.empty()) return false;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    auto* open = new OpenWindow;
    open->textInputWasOn = SDL_IsTextInputActive() == SDL_TRUE;
    if (!open->font.Load(fontPath)) {
        delete open;
        return false;
    }
    const Font& font = open->font;
    open->layout = DialogLayout_Make(request, font.LineHeight(),
                                     [&font](std::string_view text) { return font.Measure(text); });
    open->state = DialogState_Start(request);
    open->window = SDL_CreateWindow(request.caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                    open->layout.width, open->layout.height, SDL_WINDOW_SHOWN);
    if (open->window == nullptr) {
        delete open;
        return false;
    }
    open->id = SDL_GetWindowID(open->window);
    SDL_RaiseWindow(open->window);
    SDL_StartTextInput();
    open->Draw();
    g_open = open;
    return true;
}

bool DialogWindow_Poll(PlatformDialogAnswer& answer) {
    if (g_open == nullptr || !g_open->state.finished) return false;
    answer = DialogState_Answer(g_open->state);
    DialogWindow_Close();
    return true;
}

void DialogWindow_Close() {
    delete g_open;
    g_open = nullptr;
}

bool DialogWindow_IsOpen() {
    return g_open != nullptr;
}

unsigned DialogWindow_Id() {
    return g_open ? g_open->id : 0;
}

bool DialogWindow_TakeEvent(const void* sdlEvent) {
    if (g_open == nullptr) return false;
    const auto& event = *static_cast<const SDL_Event*>(sdlEvent);
    if (WindowOf(event) != g_open->id) return false;
    g_open->Handle(event);
    return true;
}

PlatformDialogAnswer DialogWindow_Run(const PlatformDialogRequest& request) {
    if (!DialogWindow_Open(request)) return {};
    PlatformDialogAnswer answer;
    while (!DialogWindow_Poll(answer)) {
        SDL_WaitEventTimeout(nullptr, 100);
        if (PlatformEvents_Pump()) {
            // The quit is the game's to act on once the dialog is gone.
            DialogWindow_Close();
            PlatformEvents_PostQuit();
            return {};
        }
    }
    return answer;
}
