#include "engine/io/write_behind.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <utility>

#include "engine/io/threads.h"

#ifdef PARAFOLD_HAS_THREADS
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#endif

namespace parafold {
namespace {

// Blocks in the ring: one being filled, the others written or waiting to
// be. Three keep both threads busy when either is slow for a block; more
// would only hold more memory.
constexpr std::size_t ring_blocks = 3;

struct Behind {
    Behind(BlockSink& below_, std::size_t block_bytes_) : below(below_), block_bytes(block_bytes_) {
        for (auto& block : blocks) block.bytes = page_block(block_bytes);
    }
    Behind(const Behind&) = delete;
    Behind& operator=(const Behind&) = delete;

    struct Block {
        PageBlock bytes;
        std::size_t size = 0;
    };

    BlockSink& below;
    const std::size_t block_bytes;
    // The blocks handed over and not yet written are `queued` in the ring
    // from `first` on, shared under `lock`; the one after them, at `fill`,
    // is the caller's to fill.
    std::array<Block, ring_blocks> blocks;
    std::size_t first = 0;
    std::size_t queued = 0;
    std::size_t fill = 0;
    bool failed = false;  // a write below failed: nothing more is written
    bool alone = false;   // no thread could be started: write on the caller's

    Block& filling() { return blocks[fill]; }

#ifdef PARAFOLD_HAS_THREADS
    std::mutex lock;
    std::condition_variable handed, written;
    bool ending = false;  // no block comes after those queued
    // What a write below threw on the writer's thread (memory running out
    // in a layer below, say), thrown again on the caller's, as a write on
    // the caller's own thread would have thrown it.
    std::exception_ptr thrown;
    std::thread writer;

    // Given up without finish(): the writer still writes what was handed
    // over, and ends before `below` may go.
    ~Behind() { end_writer(); }

    // The writer: writes the queued blocks in order until no more come or
    // a write fails.
    void write_blocks() {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            handed.wait(held, [this] { return queued != 0 || ending; });
            if (queued == 0) return;
            Block& block = blocks[first];
            held.unlock();
            bool wrote = false;
            std::exception_ptr caught;
            try {
                wrote = below.write(block.bytes.data, block.size);
            } catch (...) {
                caught = std::current_exception();
            }
            held.lock();
            if (caught) thrown = caught;
            block.size = 0;
            first = (first + 1) % ring_blocks;
            --queued;
            failed = !wrote;
            written.notify_one();
            if (failed) return;
        }
    }

    // Hands the block being filled to the writer, starting it first, and
    // waits for a free one; false once a write failed.
    bool hand_over() {
        if (!writer.joinable() && !alone) {
            try {
                writer = std::thread([this] { write_blocks(); });
            } catch (const std::system_error&) {
                alone = true;
            }
        }
        if (alone) return write_here();
        std::unique_lock<std::mutex> held(lock);
        ++queued;
        handed.notify_one();
        written.wait(held, [this] { return queued < ring_blocks || failed; });
        fill = (fill + 1) % ring_blocks;
        rethrow();
        return !failed;
    }

    // Throws on the caller's thread what a write threw on the writer's
    // (under the lock, or once the writer has ended).
    void rethrow() {
        if (thrown) std::rethrow_exception(std::exchange(thrown, nullptr));
    }

    // Waits until the writer wrote every block handed over and has ended.
    bool end_writer() {
        if (!writer.joinable()) return !failed;
        {
            const std::lock_guard<std::mutex> held(lock);
            ending = true;
        }
        handed.notify_one();
        writer.join();
        return !failed;
    }
#else
    bool hand_over() { return write_here(); }
    bool end_writer() { return !failed; }
    void rethrow() {}
#endif

    // Writes the block being filled on the caller's thread.
    bool write_here() {
        Block& block = filling();
        failed = !below.write(block.bytes.data, block.size);
        block.size = 0;
        return !failed;
    }

    bool write(const char* data, std::size_t size) {
        while (size != 0) {
            Block& block = filling();
            const std::size_t taken = std::min(size, block_bytes - block.size);
            std::memcpy(block.bytes.data + block.size, data, taken);
            block.size += taken;
            data += taken;
            size -= taken;
            if (block.size == block_bytes && !hand_over()) return false;
        }
        return true;
    }

    char* room(std::size_t size) {
        if (block_bytes - filling().size < size && !hand_over()) return nullptr;
        return filling().bytes.data + filling().size;
    }

    bool filled(std::size_t size) {
        filling().size += size;
        return filling().size < block_bytes || hand_over();
    }

    bool finish() {
        const bool ended = end_writer();
        rethrow();
        if (!ended) return false;
        if (filling().size != 0 && !write_here()) return false;
        return !below.finish || below.finish();
    }
};

}  // namespace

BlockSink write_behind(BlockSink& below, std::size_t block_bytes) {
    auto behind = std::make_shared<Behind>(below, block_bytes);
    return {[behind](const char* data, std::size_t size) { return behind->write(data, size); },
            [behind] { return behind->finish(); }};
}

RoomSink write_behind_room(BlockSink& below, std::size_t block_bytes) {
    auto behind = std::make_shared<Behind>(below, block_bytes);
    return {block_bytes,
            [behind](std::size_t size) { return behind->room(size); },
            [behind](std::size_t size) { return behind->filled(size); },
            [behind] { return behind->finish(); }};
}

}  // namespace parafold
