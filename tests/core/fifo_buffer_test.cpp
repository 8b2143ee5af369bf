// The outgoing queue: capacity, ownership and order, also under two threads.
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/fifo_buffer.h"
#include "gwtest.hpp"

namespace {

char *text(const std::string &s) { return strdup(s.c_str()); }

class Fifo : public ::testing::Test {
protected:
    void SetUp() override { fifo_buffer_init(&q, 10); }
    void TearDown() override { fifo_buffer_destroy(&q); }
    std::string take()
    {
        void *d = nullptr;
        uint32_t len = 0;
        if (fifo_buffer_get(&q, &d, &len) != 0)
            return "<empty>";
        std::string s(static_cast<char *>(d));
        free(d);
        return s;
    }
    fifo_buffer q;
};

}  // namespace

TEST_F(Fifo, EleventhPutIsRefusedAndCallerKeepsData)
{
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(0, fifo_buffer_put(&q, text("m" + std::to_string(i)), 2));
    gwtest::LogCapture log;
    char *extra = text("m10");
    EXPECT_EQ(-1, fifo_buffer_put(&q, extra, 3));
    EXPECT_TRUE(log.contains("fifo buffer is full."));
    free(extra);
    EXPECT_EQ(10, fifo_buffer_get_num(&q));
    EXPECT_EQ("m0", take());
}

TEST_F(Fifo, EntriesLeaveInOrderWithTheirLength)
{
    ASSERT_EQ(0, fifo_buffer_put(&q, text("first"), 5));
    ASSERT_EQ(0, fifo_buffer_put(&q, text("second"), 6));
    void *d = nullptr;
    uint32_t len = 0;
    ASSERT_EQ(0, fifo_buffer_get_head(&q, &d, &len));
    EXPECT_STREQ("first", static_cast<char *>(d));
    EXPECT_EQ(5u, len);
    EXPECT_EQ(2, fifo_buffer_get_num(&q));
    ASSERT_EQ(0, fifo_buffer_get(&q, &d, nullptr));
    EXPECT_STREQ("first", static_cast<char *>(d));
    free(d);
    EXPECT_EQ("second", take());
    EXPECT_EQ("<empty>", take());
    EXPECT_EQ(-1, fifo_buffer_get_head(&q, &d, &len));
    // Both ends are empty again: a new entry is first and last.
    ASSERT_EQ(0, fifo_buffer_put(&q, text("again"), 5));
    EXPECT_EQ("again", take());
}

TEST_F(Fifo, EvictingPutKeepsTheTenNewest)
{
    for (int i = 0; i < 11; ++i)
        ASSERT_EQ(0, fifo_buffer_put_evict(&q, text("r" + std::to_string(i)), 2));
    EXPECT_EQ(10, fifo_buffer_get_num(&q));
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ("r" + std::to_string(i), take());
}

TEST_F(Fifo, ClearReleasesEveryEntry)
{
    ASSERT_EQ(0, fifo_buffer_put(&q, text("only"), 4));
    EXPECT_EQ(0, fifo_buffer_clear(&q));
    EXPECT_EQ(0, fifo_buffer_get_num(&q));
    EXPECT_EQ("<empty>", take());
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(0, fifo_buffer_put(&q, text("x"), 1));
    EXPECT_EQ(0, fifo_buffer_clear(&q));
    ASSERT_EQ(0, fifo_buffer_put(&q, text("after"), 5));
    EXPECT_EQ("after", take());
}

TEST_F(Fifo, ConcurrentProducersNeverExceedCapacity)
{
    std::vector<std::thread> producers;
    std::atomic<int> accepted{0};
    for (int t = 0; t < 4; ++t)
        producers.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                char *d = text(std::to_string(t * 1000 + i));
                if (fifo_buffer_put(&q, d, 4) == 0)
                    accepted++;
                else
                    free(d);
                if (i % 3 == 0) {
                    void *got = nullptr;
                    if (fifo_buffer_get(&q, &got, nullptr) == 0) {
                        free(got);
                        accepted--;
                    }
                }
            }
        });
    for (auto &p : producers)
        p.join();
    EXPECT_LE(fifo_buffer_get_num(&q), 10);
    EXPECT_EQ(accepted.load(), fifo_buffer_get_num(&q));
}
