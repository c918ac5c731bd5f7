#pragma once

// Marks the timed step of a benchmark for callgrind: run under
//   valgrind --tool=callgrind --collect-atstart=no <bench> ...
// only the instructions of the timed steps are counted, one profile file
// per step, named after it in the file's trigger line. Outside valgrind,
// and where valgrind's header is missing, it does nothing.

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define BENCH_TOGGLE_COLLECT() CALLGRIND_TOGGLE_COLLECT
#define BENCH_DUMP_STATS(name) CALLGRIND_DUMP_STATS_AT(name)
#else
#define BENCH_TOGGLE_COLLECT() ((void)0)
#define BENCH_DUMP_STATS(name) ((void)(name))
#endif

class ProfiledStep
{
public:
    explicit ProfiledStep(const char* name) : name(name) { BENCH_TOGGLE_COLLECT(); }
    ~ProfiledStep()
    {
        BENCH_TOGGLE_COLLECT();
        BENCH_DUMP_STATS(name);
    }
    ProfiledStep(const ProfiledStep&) = delete;
    ProfiledStep& operator=(const ProfiledStep&) = delete;

private:
    const char* name;
};
