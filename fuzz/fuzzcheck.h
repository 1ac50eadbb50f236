#pragma once
// FUZZ_CHECK(cond): a broken promise of the reader under test. Aborts, so that
// libFuzzer keeps the input and the replay fails.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);                   \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
