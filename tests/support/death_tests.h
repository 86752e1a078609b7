#pragma once

#include <gtest/gtest.h>

// Where a test program cannot start a child process (WebAssembly), GoogleTest has no death tests:
// a test that comes to one is reported as skipped there, having checked what came before it.
#if !GTEST_HAS_DEATH_TEST
#define VELMORASTIK_NO_DEATH_TESTS "no death tests where the test program cannot start a process"
// The pattern is named (unevaluated) so that what the test built for it counts as used.
#define VELMORASTIK_SKIP_DEATH_TEST(pattern) \
    switch (static_cast<void>(sizeof(pattern)), 0) \
    case 0: \
    default: \
        GTEST_SKIP() << VELMORASTIK_NO_DEATH_TESTS
#define EXPECT_EXIT(statement, predicate, pattern) VELMORASTIK_SKIP_DEATH_TEST(pattern)
#define ASSERT_EXIT(statement, predicate, pattern) VELMORASTIK_SKIP_DEATH_TEST(pattern)
#define EXPECT_DEATH(statement, pattern) VELMORASTIK_SKIP_DEATH_TEST(pattern)
#define ASSERT_DEATH(statement, pattern) VELMORASTIK_SKIP_DEATH_TEST(pattern)
#endif
