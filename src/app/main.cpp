#include <malloc.h>

#include "app/Application.h"

int main(int argc, char** argv) {
    // A handful of threads, most of them waiting: one heap serves them all. Each thread
    // that allocates would otherwise get a heap of its own, and what it frees there (the
    // start's skin files, parsed on a thread) stays with the process.
    mallopt(M_ARENA_MAX, 1);
    return halvern::Application::Run(argc, argv);
}
