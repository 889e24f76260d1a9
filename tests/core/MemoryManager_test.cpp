#include "core/MemoryManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "core/Process.h"
#include "core/RunSwitches.h"

namespace {

#ifdef HV_SANITIZE
constexpr bool kPooled = false;  // every block comes straight from malloc
#else
constexpr bool kPooled = true;
#endif

uint32_t CellSizeFor(uint32_t size) {
    for (uint32_t cell : MemoryManager::kPoolCellSizes) {
        if (size <= cell) return cell;
    }
    return 0;
}

bool AllBytesAre(const void* p, size_t from, size_t to, uint8_t value) {
    const auto* bytes = static_cast<const uint8_t*>(p);
    for (size_t i = from; i < to; ++i) {
        if (bytes[i] != value) return false;
    }
    return true;
}

TEST(MemoryManager, SmallSizesComeFromTheSmallestCellThatFits) {
    for (uint32_t size : {1u, 8u, 9u, 16u, 17u, 32u, 33u, 64u, 65u, 128u}) {
        SCOPED_TRACE(size);
        // What a block holds shows in ReAlloc: the same pointer up to its capacity, a move beyond.
        const uint32_t capacity = kPooled ? CellSizeFor(size) : size;
        void* p = MEM_ALLOC(size);
        ASSERT_NE(p, nullptr);
        if (kPooled) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % capacity, 0u) << "cells are aligned to their size";
        }
        EXPECT_FALSE(MemoryManager::IsBlock(p));
        EXPECT_EQ(MEM_REALLOC(p, capacity), p);
        void* moved = MEM_REALLOC(p, capacity + 1);
        EXPECT_NE(moved, p);
        MEM_FREE(moved);
    }
}

TEST(MemoryManager, AboveOneHundredTwentyEightBytesIsAGuardedBlock) {
    const uint32_t before = MemoryManager::GuardedBytes();
    void* p = MEM_ALLOC(129);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(MemoryManager::IsBlock(p));
    EXPECT_EQ(MemoryManager::GuardedBytes(), before + 129);
    if (kPooled) {
        uint32_t header[4];
        std::memcpy(header, static_cast<char*>(p) - 16, sizeof header);
        EXPECT_THAT(header, testing::ElementsAre(129u, 0xDEADC0DEu, 0xBAADB00Bu, 0u));
    }
    MEM_FREE(p);
    EXPECT_EQ(MemoryManager::GuardedBytes(), before);
}

TEST(MemoryManager, ClearZeroesTheBlock) {
    for (uint32_t size : {5u, 100u, 3000u}) {
        SCOPED_TRACE(size);
        // Dirty a block of the same size first so a recycled one would show its old bytes.
        void* dirty = MEM_ALLOC_RAW(size);
        std::memset(dirty, 0xEE, size);
        MEM_FREE(dirty);
        void* p = MEM_ALLOC(size);
        EXPECT_TRUE(AllBytesAre(p, 0, size, 0));
        MEM_FREE(p);
    }
}

TEST(MemoryManager, ZeroSizesAndNullPointers) {
    EXPECT_EQ(MEM_ALLOC(0), nullptr);
    EXPECT_EQ(MEM_REALLOC(nullptr, 0), nullptr);
    MEM_FREE(nullptr);
    EXPECT_FALSE(MemoryManager::IsBlock(nullptr));

    // Reallocating null is a cleared allocation.
    void* p = MEM_REALLOC(nullptr, 40);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(AllBytesAre(p, 0, 40, 0));
    MEM_FREE(p);
}

TEST(MemoryManager, CopyTextKeepsNullAndCopiesTheTerminator) {
    EXPECT_EQ(MEM_COPY_TEXT(nullptr), nullptr);
    const std::string longText(300, 'x');  // a guarded block, not a pool cell
    for (const char* text : {"", "name", longText.c_str()}) {
        char* copy = MEM_COPY_TEXT(text);
        ASSERT_NE(copy, nullptr);
        EXPECT_NE(copy, text);
        EXPECT_STREQ(copy, text);
        MEM_FREE(copy);
    }
}

TEST(MemoryManager, SizesThatWouldOverflowTheHeaderGiveNull) {
    EXPECT_EQ(MemoryManager::Alloc(0xFFFFFFEFu, __FILE__, __LINE__, false), nullptr);
    EXPECT_EQ(MemoryManager::Alloc(0xFFFFFFFFu, __FILE__, __LINE__, true), nullptr);

    // A growth that cannot be served leaves the block as it was.
    auto* p = static_cast<char*>(MEM_ALLOC(300));
    std::memset(p, 'q', 300);
    EXPECT_EQ(MEM_REALLOC(p, 0xFFFFFFF0u), nullptr);
    EXPECT_TRUE(MemoryManager::IsBlock(p));
    EXPECT_TRUE(AllBytesAre(p, 0, 300, 'q'));
    MEM_FREE(p);
}

struct GrowthCase {
    uint32_t from, to;
};

TEST(MemoryManager, ReAllocGrowthKeepsTheBytesAndZeroesTheRest) {
    for (GrowthCase c :
         {GrowthCase{10, 17}, GrowthCase{100, 129}, GrowthCase{200, 1000}, GrowthCase{1, 4096}}) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        const uint32_t held = kPooled && c.from <= 128 ? CellSizeFor(c.from) : c.from;
        auto* p = static_cast<uint8_t*>(MEM_ALLOC(c.from));
        std::memset(p, 0xAB, held);  // the whole cell is the caller's to use
        auto* q = static_cast<uint8_t*>(MEM_REALLOC(p, c.to));
        ASSERT_NE(q, nullptr);
        EXPECT_NE(q, p);
        EXPECT_TRUE(AllBytesAre(q, 0, held, 0xAB));
        EXPECT_TRUE(AllBytesAre(q, held, c.to, 0));
        MEM_FREE(q);
    }
}

TEST(MemoryManager, ReAllocNeverShrinksAndSizeZeroFrees) {
    for (uint32_t size : {10u, 500u}) {
        SCOPED_TRACE(size);
        auto* p = static_cast<char*>(MEM_ALLOC(size));
        std::memset(p, 'k', size);
        EXPECT_EQ(MEM_REALLOC(p, size), p);
        EXPECT_EQ(MEM_REALLOC(p, 1), p);
        EXPECT_TRUE(AllBytesAre(p, 0, size, 'k'));

        const uint32_t before = MemoryManager::GuardedBytes();
        void* ref = p;
        EXPECT_EQ(MemoryManager::ReAllocRef(ref, 0, __FILE__, __LINE__), nullptr);
        EXPECT_EQ(ref, nullptr);
        EXPECT_EQ(MemoryManager::GuardedBytes(), size > 128 ? before - size : before);
    }
}

TEST(MemoryManager, IsBlockDecidesByAddressAlone) {
    static char staticBuffer[64];
    char stackBuffer[64];
    void* cell = MEM_ALLOC(64);
    void* guarded = MEM_ALLOC(640);
    void* foreign = std::malloc(640);
    // A foreign block whose bytes in front of the pointer look exactly like our header.
    auto* lookalike = static_cast<uint32_t*>(std::malloc(64));
    const uint32_t fakeHeader[4] = {32, 0xDEADC0DEu, 0xBAADB00Bu, 0};
    std::memcpy(lookalike, fakeHeader, sizeof fakeHeader);

    EXPECT_FALSE(MemoryManager::IsBlock(cell));
    EXPECT_TRUE(MemoryManager::IsBlock(guarded));
    EXPECT_FALSE(MemoryManager::IsBlock(foreign));
    EXPECT_FALSE(MemoryManager::IsBlock(lookalike + 4));
    EXPECT_FALSE(MemoryManager::IsBlock(stackBuffer));
    EXPECT_FALSE(MemoryManager::IsBlock(staticBuffer));

    MEM_FREE(guarded);
    EXPECT_FALSE(MemoryManager::IsBlock(guarded)) << "a freed block is no longer ours";
    MEM_FREE(cell);
    MEM_FREE(foreign);  // handed to the standard free
    std::free(lookalike);
}

TEST(MemoryManager, ReAllocOfAForeignPointerLeavesItAlone) {
    auto* foreign = static_cast<char*>(std::malloc(32));
    std::memset(foreign, 'f', 32);
    char stackBuffer[32] = "on the stack";

    for (void* p : {static_cast<void*>(foreign), static_cast<void*>(stackBuffer)}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(MEM_REALLOC(p, 64), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Why are we reallocing a block that we didn't alloc?!\n");
    }
    EXPECT_TRUE(AllBytesAre(foreign, 0, 32, 'f'));
    EXPECT_STREQ(stackBuffer, "on the stack");
    std::free(foreign);
}

TEST(MemoryManager, DumpTotalPrintsTheGuardedBytes) {
    void* p = MEM_ALLOC(1000);
    const uint32_t total = MemoryManager::GuardedBytes();
    char expected[96];
    std::snprintf(expected, sizeof expected, "Total memory used = %u(0x%08x) bytes\n", total, total);
    testing::internal::CaptureStdout();
    MemoryManager::DumpTotal();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
    MEM_FREE(p);
}

TEST(MemoryManager, ThreadsAllocateAndFreeConcurrently) {
    constexpr int kThreads = 4, kSlots = 256, kSteps = 20000;
    MemoryManager::PoolCounts before[MemoryManager::kPoolCount];
    for (int i = 0; i < MemoryManager::kPoolCount; ++i) before[i] = MemoryManager::GetPoolCounts(i);

    // Each thread frees half of its blocks itself and leaves the rest to its neighbour, so cells
    // also travel between threads.
    std::vector<std::vector<void*>> handedOver(kThreads);
    std::atomic<int> corrupted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &handedOver, &corrupted] {
            std::mt19937 random(t + 1);
            std::vector<std::pair<uint8_t*, uint32_t>> live(kSlots, {nullptr, 0});
            const auto mark = static_cast<uint8_t>(0x10 + t);
            for (int step = 0; step < kSteps; ++step) {
                auto& [p, size] = live[random() % kSlots];
                if (p != nullptr) {
                    if (!AllBytesAre(p, 0, size, mark)) ++corrupted;
                    MEM_FREE(p);
                }
                size = 1 + random() % (random() % 8 == 0 ? 600 : 128);
                p = static_cast<uint8_t*>(MEM_ALLOC_RAW(size));
                std::memset(p, mark, size);
            }
            for (int i = 0; i < kSlots; ++i) {
                if (i % 2 == 0) {
                    MEM_FREE(live[i].first);
                } else {
                    handedOver[t].push_back(live[i].first);
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    threads.clear();
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&handedOver, t] {
            for (void* p : handedOver[(t + 1) % kThreads]) MEM_FREE(p);
        });
    }
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(corrupted.load(), 0);
    // Every cell is back: the ended threads returned what they had cached.
    for (int i = 0; i < MemoryManager::kPoolCount; ++i) {
        EXPECT_EQ(MemoryManager::GetPoolCounts(i).inUse, before[i].inUse) << "pool " << i;
    }
}

#ifndef HV_SANITIZE

TEST(MemoryManager, CellsComeBackLastInFirstOut) {
    void* a = MEM_ALLOC(24);
    void* b = MEM_ALLOC(24);
    MEM_FREE(a);
    MEM_FREE(b);
    EXPECT_EQ(MEM_ALLOC(24), b);
    EXPECT_EQ(MEM_ALLOC(24), a);
    MEM_FREE(a);
    MEM_FREE(b);
}

TEST(MemoryManager, ANewChunkHandsOutItsHighestCellFirstAndIsFilled) {
    constexpr int kPool = 4;  // 128-byte cells, 512 KB chunks of 4095 cells
    std::vector<void*> drained;
    for (int left = MemoryManager::GetPoolCounts(kPool).freeCells; left > 0; --left) {
        drained.push_back(MEM_ALLOC_RAW(100));
    }
    ASSERT_EQ(MemoryManager::GetPoolCounts(kPool).freeCells, 0);

    auto* first = static_cast<uint8_t*>(MEM_ALLOC_RAW(128));
    auto* second = static_cast<uint8_t*>(MEM_ALLOC_RAW(128));
    EXPECT_EQ(MemoryManager::GetPoolCounts(kPool).freeCells, 4093);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first) % (512 * 1024), 512u * 1024 - 128)
        << "the chunk's last cell";
    EXPECT_EQ(second, first - 128);
    EXPECT_TRUE(AllBytesAre(first, sizeof(void*), 128, 0x78));
    EXPECT_TRUE(AllBytesAre(second, sizeof(void*), 128, 0x78));

    MEM_FREE(first);
    MEM_FREE(second);
    for (void* p : drained) MEM_FREE(p);
}

TEST(MemoryManager, APointerInsideACellIsNotACell) {
    auto* cell = static_cast<char*>(MEM_ALLOC(64));
    const MemoryManager::PoolCounts before = MemoryManager::GetPoolCounts(3);
    MEM_FREE(cell + 8);  // neither taken into the pool nor handed to the standard free
    EXPECT_EQ(MemoryManager::GetPoolCounts(3).freeCells, before.freeCells);

    testing::internal::CaptureStdout();
    EXPECT_EQ(MEM_REALLOC(cell + 8, 100), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Why are we reallocing a block that we didn't alloc?!\n");
    MEM_FREE(cell);
}

#endif

// The out-of-memory road ends the process; these run it in a child.
class OutOfMemory : public testing::Test {
protected:
    static void SetUpTestSuite() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

    // The message goes to standard output; the death test watches standard error.
    static void StdoutToStderr() {
        std::fflush(stdout);
        dup2(STDERR_FILENO, STDOUT_FILENO);
    }

    static void BoxToStderr(const char* text, const char* title) {
        std::fprintf(stderr, "[box] %s: %s\n", title, text);
    }
};

TEST_F(OutOfMemory, ShowsTheBoxThenPrintsTheSizeAndExits) {
    EXPECT_EXIT(
        {
            StdoutToStderr();
            OutOfMemory_SetBoxHook(BoxToStderr);
            OutOfMemory_Handler(1234);
        },
        testing::ExitedWithCode(255),
        "\\[box\\] Fatal Memory Error: Out of Memory!\nOut of Memory allocating 1234 bytes\n");
}

TEST_F(OutOfMemory, HeadlessShowsNoBox) {
    EXPECT_EXIT(
        {
            StdoutToStderr();
            OutOfMemory_SetBoxHook(BoxToStderr);
            g_Switches.headless = true;
            OutOfMemory_Handler(77);
        },
        testing::ExitedWithCode(255),
        testing::AllOf(testing::HasSubstr("Out of Memory allocating 77 bytes\n"),
                       testing::Not(testing::HasSubstr("[box]"))));
}

#ifndef HV_SANITIZE

TEST_F(OutOfMemory, AFailedAllocationOperatorReportsItsSize) {
    EXPECT_EXIT(
        {
            StdoutToStderr();
            volatile size_t huge = size_t{1} << 62;
            void* p = ::operator new(huge);
            std::printf("allocated %p\n", p);
        },
        testing::ExitedWithCode(255), "Out of Memory allocating 4611686018427387904 bytes\n");
}

// Leaves the process room for little more than what it has mapped already.
void CapAddressSpace() {
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (256u << 20);
    const rlimit cap{limit, limit};
    setrlimit(RLIMIT_AS, &cap);
}

TEST_F(OutOfMemory, AFailedHeapRequestOfTheManagerEndsTheProcess) {
    EXPECT_EXIT(
        {
            StdoutToStderr();
            CapAddressSpace();
            void* p = MEM_ALLOC(0xF0000000u);
            std::printf("allocated %p\n", p);
        },
        testing::ExitedWithCode(255), "Out of Memory allocating 4026531856 bytes\n");
}

#endif

}  // namespace
