/* A library for the extension tests: sums, an echo, a sixteen-argument sum, and the callbacks
 * through which it posts maps to the game. Its start-up moves the current folder, which the
 * runner must put back. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

typedef void (*PostMapEvent)(int map, int subtype);
typedef int (*CreateFromPairs)(int count, ...);
typedef _Bool (*AddReal)(int map, const char* key, double value);
typedef _Bool (*AddString)(int map, const char* key, const char* value);

static PostMapEvent g_post;
static CreateFromPairs g_create;
static AddReal g_addReal;
static AddString g_addString;
static int g_registered;
static int g_starts, g_ends;
static char g_echo[1024];

__attribute__((constructor)) static void MoveFolder(void) {
    if (chdir("/") != 0) perror("chdir");
}

double add(double a, double b) {
    return a + b;
}

const char* echo(const char* text) {
    snprintf(g_echo, sizeof g_echo, "%s", text != NULL ? text : "(null)");
    return g_echo;
}

const char* null_text(void) {
    return NULL;
}

/* Each argument weighted by its place, so a swapped or shifted argument shows. */
double sum16(double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8,
             double a9, double a10, double a11, double a12, double a13, double a14, double a15, double a16) {
    return a1 + a2 + a3 + a4 + a5 + a6 + a7 + a8 + a9 + a10 + a11 + a12 + a13 + a14 + a15 + a16;
}

double weigh6(double a, double b, double c, double d, double e, double f) {
    return a * 100000 + b * 10000 + c * 1000 + d * 100 + e * 10 + f;
}

/* Texts and reals interleaved: the text lengths and the reals, each in its own digit. */
double mixed(const char* a, double b, const char* c, double d) {
    return (double)strlen(a) * 1000 + b * 100 + (double)strlen(c) * 10 + d;
}

const char* join(const char* a, double b) {
    snprintf(g_echo, sizeof g_echo, "%s:%g", a, b);
    return g_echo;
}

void RegisterCallbacks(void* post, void* create, void* addReal, void* addString) {
    g_post = (PostMapEvent)post;
    g_create = (CreateFromPairs)create;
    g_addReal = (AddReal)addReal;
    g_addString = (AddString)addString;
    ++g_registered;
}

double registered(void) {
    return g_registered;
}

/* A map made through the callbacks, posted as an asynchronous event of the subtype. */
double post_map(double subtype, const char* text) {
    if (g_create == NULL) return -1;
    const int map = g_create(2, "source", 0.0, "library", "first", 1.5, (const char*)NULL);
    g_addReal(map, "value", 42.0);
    g_addString(map, "text", text);
    g_post(map, (int)subtype);
    return map;
}

/* The adders refuse a map that does not exist: their answers for index 999999. */
double add_to_missing(void) {
    if (g_addReal == NULL) return -1;
    return g_addReal(999999, "k", 1.0) * 10 + g_addString(999999, "k", "v");
}

double ext_start(void) {
    return ++g_starts;
}
/* Says so on the standard error, so a run of the whole runner shows that the game's end ran it. */
double ext_end(void) {
    fprintf(stderr, "library: end %d\n", ++g_ends);
    fflush(stderr);
    return g_ends;
}
double starts(void) {
    return g_starts;
}
