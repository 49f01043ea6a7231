/* A mail client in C: loads the plug-in given on the command line through
   the plain C header, calls the informational exports and the text exports
   by their copy-out rule, and prints what each answered. It keeps the header
   C, and on a 32-bit Windows build it calls every export stdcall.
   With "hold" after the plug-in it initialises it, prints "held" and keeps
   it initialised until its standard input ends, then finalises it: another
   program that has the base folder. */
#include <stdio.h>
#include <string.h>

#include "kalvorin/tbp.h"

typedef void (*Export)(void);

#ifdef _WIN32
#include <windows.h>
typedef HMODULE Library;
static Library load(const char* path) { return LoadLibraryA(path); }
static Export find(Library lib, const char* name) { return (Export)GetProcAddress(lib, name); }
#else
#include <dlfcn.h>
typedef void* Library;
static Library load(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static Export find(Library lib, const char* name) {
    Export fn;
    void* address = dlsym(lib, name);
    memcpy(&fn, &address, sizeof fn); /* the way POSIX turns a symbol into a function */
    return fn;
}
#endif

/* The text as received: the count, then the bytes of the buffer. */
static void show(const char* what, TBP_GetText_t fn, int32_t size, int32_t fill) {
    char buf[512];
    int32_t n;
    memset(buf, '#', sizeof buf);
    n = fn(fill ? buf : NULL, size);
    printf("%s %d [%.*s]\n", what, (int)n, (int)(size > 0 && fill ? size : 0), buf);
}

int main(int argc, char** argv) {
    Library lib;
    TBP_GetText_t name, version;
    const char* ints[] = {"TBP_GetStatus", "TBP_NeedConfig", "TBP_NeedCOM", "TBP_Setup"};
    int i;
    if (argc != 2 && !(argc == 3 && strcmp(argv[2], "hold") == 0)) {
        fprintf(stderr, "usage: tbp-probe PLUGIN [hold]\n");
        return 2;
    }
    lib = load(argv[1]);
    if (!lib) {
        fprintf(stderr, "tbp-probe: cannot load %s\n", argv[1]);
        return 1;
    }
    if (argc == 3) {
        ((TBP_Initialize_t)find(lib, "TBP_Initialize"))();
        printf("held\n");
        fflush(stdout);
        while (getchar() != EOF) {
        }
        ((TBP_Finalize_t)find(lib, "TBP_Finalize"))();
        return 0;
    }
    for (i = 0; i < 4; ++i) printf("%s %d\n", ints[i], (int)((TBP_GetInt_t)find(lib, ints[i]))());
    name = (TBP_GetText_t)find(lib, "TBP_GetName");
    version = (TBP_GetText_t)find(lib, "TBP_GetVersion");
    show("name-before", name, 0, 0);
    ((TBP_Initialize_t)find(lib, "TBP_Initialize"))();
    show("name-null", name, 5, 0);
    show("name-minus-one", name, -1, 1);
    show("name-zero", name, 0, 1);
    show("name-roomy", name, name(NULL, 0) + 4, 1);
    show("version-two", version, 2, 1);
    ((TBP_Finalize_t)find(lib, "TBP_Finalize"))();
    return 0;
}
