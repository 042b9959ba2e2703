#include "engine/smart/join_thread.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>

// GCC's library has threads where the target has them: not, for one, with
// mingw-w64's win32 thread model.
#if defined(_GLIBCXX_HAS_GTHREADS) || (defined(_LIBCPP_VERSION) && !defined(_LIBCPP_HAS_NO_THREADS))
#define PARAFOLD_JOIN_THREAD 1
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#endif

namespace parafold {
namespace {

// The most bytes one smart_join call on this thread gets: pump's blocks, as
// large as they come, so that the join on one thread runs as it always did.
constexpr std::size_t block_bytes = 256 << 10;

// Joined on the caller's thread before the second one starts: four blocks.
// The thread and its batches' fresh memory cost about as much as the
// overlap saves on a few blocks (files of 600 KB took 1.25x the time, and
// 2 MB no less, with the thread from the second block on; a text under
// 8 MiB is also scanned whole for its layout on one thread first), so
// that texts of a few blocks, as most of the many files of a --jobs run,
// are better off without it.
constexpr std::size_t alone_bytes = 4 * block_bytes;

#ifdef PARAFOLD_JOIN_THREAD
// Batches between the two threads: one being cut, one being joined and one
// ready between them, so that neither thread waits while the other is slow
// for a batch or two; more would only hold more memory.
constexpr std::size_t queued_batches = 3;
#endif

struct Joining {
    Joining(SmartJoin& join_, BlockSink& below_) : join(join_), below(below_) {}
    Joining(const Joining&) = delete;
    Joining& operator=(const Joining&) = delete;

    SmartJoin& join;
    BlockSink& below;
    // What a join call wrote: used by one thread at a time, the caller's
    // until the second thread starts and after it ended, the second's
    // meanwhile. Room for a block's output and, after the last block, for
    // what the end of the input leaves pending.
    const PageBlock out_block = page_block(
        std::max(smart_join_room(block_bytes), smart_join_room(smart_batch_bytes)) +
        smart_join_room(0));
    char* const out = out_block.data;
    std::size_t joined_alone = 0;  // bytes joined on the caller's thread
    bool alone = false;            // every block on the caller's thread: no second one

    bool hand_on(std::size_t size) { return size == 0 || below.write(out, size); }

#ifdef PARAFOLD_JOIN_THREAD
    // Shared by the two threads, under `lock`: the batches cut and not yet
    // joined are `ready` in a ring from `first` on, the one at `first` the
    // one being joined.
    std::mutex lock;
    std::condition_variable cut_one, joined_one;
    std::array<SmartBatchState, queued_batches> batches;
    std::size_t first = 0;
    std::size_t ready = 0;
    bool ending = false;    // no batch comes after those ready
    bool stopping = false;  // the join is given up: leave the batches ready
    bool failed = false;    // a write below failed, or the join threw `thrown`
    std::exception_ptr thrown;
    std::thread second;

    ~Joining() {
        if (!second.joinable()) return;
        {
            const std::lock_guard<std::mutex> held(lock);
            stopping = true;
        }
        cut_one.notify_one();
        second.join();
    }

    // The second thread: joins the batches in order until the input ends,
    // the join is given up or a write fails.
    void join_batches() {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            cut_one.wait(held, [this] { return ready != 0 || ending || stopping; });
            if (stopping || ready == 0) return;
            const SmartBatch& batch = *batches[first];
            held.unlock();
            bool written = false;
            std::exception_ptr threw;
            try {
                written = hand_on(smart_join_batch(join, batch, out));
            } catch (...) {
                threw = std::current_exception();
            }
            held.lock();
            first = (first + 1) % queued_batches;
            --ready;
            failed = !written;
            thrown = threw;
            joined_one.notify_one();
            if (failed) return;
        }
    }

    bool start_second() {
        for (SmartBatchState& batch : batches) batch = new_batch();
        try {
            second = std::thread([this] { join_batches(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    // A failure on the second thread, on this one: false, or what it threw.
    bool failure() {
        if (thrown) std::rethrow_exception(thrown);
        return false;
    }

    // Cuts the first bytes of `data` into a free batch and hands it to the
    // second thread; how many it took, 0 after a failure there.
    std::size_t cut(const char* data, std::size_t size) {
        SmartBatch* batch = nullptr;
        {
            std::unique_lock<std::mutex> held(lock);
            joined_one.wait(held, [this] { return ready < queued_batches || failed; });
            if (failed) return 0;
            batch = batches[(first + ready) % queued_batches].get();
        }
        const std::size_t taken = smart_cut(join, data, size, *batch);
        {
            const std::lock_guard<std::mutex> held(lock);
            ++ready;
        }
        cut_one.notify_one();
        return taken;
    }

    bool threaded() const { return second.joinable(); }

    // Waits until the second thread joined every batch and has ended.
    bool end_second() {
        {
            const std::lock_guard<std::mutex> held(lock);
            ending = true;
        }
        cut_one.notify_one();
        second.join();
        return !failed || failure();
    }
#else
    bool start_second() { return false; }
    bool threaded() const { return false; }
    std::size_t cut(const char*, std::size_t) { return 0; }
    bool failure() { return false; }
    bool end_second() { return true; }
#endif

    bool write(const char* data, std::size_t size) {
        while (size != 0) {
            if (!threaded() && !alone && joined_alone >= alone_bytes) alone = !start_second();
            std::size_t taken = 0;
            if (threaded()) {
                taken = cut(data, size);
                if (taken == 0) return failure();
            } else {
                taken = std::min(size, block_bytes);
                if (!alone) taken = std::min(taken, alone_bytes - joined_alone);
                joined_alone += taken;
                if (!hand_on(smart_join(join, data, taken, out))) return false;
            }
            data += taken;
            size -= taken;
        }
        return true;
    }

    bool finish() {
        if (threaded() && !end_second()) return false;
        return hand_on(smart_join_finish(join, out)) && (!below.finish || below.finish());
    }
};

}  // namespace

BlockSink threaded_joining(SmartJoin& join, BlockSink& below, bool one_thread) {
    auto joining = std::make_shared<Joining>(join, below);
    joining->alone = one_thread;
    return {[joining](const char* data, std::size_t size) { return joining->write(data, size); },
            [joining] { return joining->finish(); }};
}

}  // namespace parafold
