#include "engine/smart/join_thread.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

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

// The most bytes one smart_join call on the caller's thread gets: pump's
// blocks, as large as they come.
constexpr std::size_t block_bytes = 256 << 10;

// Joined on the caller's thread before the joining threads start: four
// blocks. The threads and their pieces' fresh memory cost about as much as
// the overlap saves on a few blocks (files of 600 KB took 1.25x the time
// with a second thread from the second block on; a text under 8 MiB is
// also scanned whole for its layout on one thread first), so that texts of
// a few blocks, as most of the many files of a --jobs run, are better off
// without them.
constexpr std::size_t alone_bytes = 4 * block_bytes;

#ifdef PARAFOLD_HAS_THREADS
// A piece of the text that one joiner joins at a time: a read block, so
// that a piece's input and output stay in a core's own cache.
constexpr std::size_t piece_bytes = 256 << 10;

// Joiners at most, the caller's thread among them: one a core. Beyond a
// few, the disk rather than the join sets the pace.
constexpr unsigned most_joiners = 4;

// A place where a join may start afresh is looked for in the last bytes of
// a piece alone: paragraphs are far shorter, and a text with no empty line
// there most likely has none at all, whose pieces go to one joiner anyway.
constexpr std::size_t restart_window = 64 << 10;

// A joining thread with this many pieces queued never idles: with as
// many, the next paragraph is joined on the caller's thread instead. Three
// outlast the caller's thread joining a piece of its own besides reading
// and writing; with two, the joining thread waited for work a sixth of the
// time (35 of 215 ms on 256 MiB with two cores).
constexpr std::size_t queued_enough = 3;

// Pieces between the caller's thread and the joining threads besides
// those each thread may have queued: one being filled, one being written,
// and two that the caller's thread joined itself while a thread's older
// pieces still wait to be written before them. With room for none of
// those two, the caller's thread waits on a thread's oldest piece where it
// could join the next one (256 MiB on two cores took 1.25x the time); more
// would only hold more memory.
constexpr std::size_t pieces_beside = 4;

// A piece of input and what its join wrote.
struct Piece {
    PageBlock in = page_block(piece_bytes);
    std::size_t size = 0;  // input bytes
    PageBlock out = page_block(smart_join_room(piece_bytes) + smart_join_room(0));
    std::size_t written = 0;
    std::size_t joiner = 0;  // who joins it: 0 the caller's thread, else a joining thread
    bool ends = false;       // its join ends after it: a paragraph starts next, or the text ends
    bool joined = false;
    std::exception_ptr thrown;  // what its join threw
};
#endif

struct Joining {
    Joining(SmartJoin& join_, BlockSink& below_) : first_join(join_), below(below_) {}
    Joining(const Joining&) = delete;
    Joining& operator=(const Joining&) = delete;

    SmartJoin& first_join;  // the caller's, joining the first blocks
    BlockSink& below;
    // What a join call on the caller's thread wrote: room for a block's
    // output and, after the last block, for what the end leaves pending.
    std::unique_ptr<char[]> alone_out;
    std::size_t joined_alone = 0;  // bytes joined on the caller's thread
    bool alone = false;            // every block on the caller's thread: no joining threads

    bool hand_on(const char* out, std::size_t size) { return size == 0 || below.write(out, size); }

    char* alone_room() {
        if (!alone_out)
            alone_out.reset(new char[smart_join_room(block_bytes) + smart_join_room(0)]);
        return alone_out.get();
    }

    bool join_alone(const char* data, std::size_t size) {
        return hand_on(alone_room(), smart_join(first_join, data, size, alone_room()));
    }

#ifdef PARAFOLD_HAS_THREADS
    // The text goes to the joiners in pieces, in order. A piece that ends
    // where a join may start afresh ends its joiner's join there, and the
    // next paragraphs may go to another joiner with a join of its own: so
    // the joiners work on different paragraphs at once. A piece without
    // such a place goes to the joiner of the piece before it. The joiners
    // are threads of their own and the caller's thread, which takes a
    // paragraph whenever every thread has enough queued, so that no core
    // waits on another; the caller's thread writes the pieces' output in
    // order.
    //
    // Shared under `lock`: the pieces numbered from `oldest` (the oldest
    // not yet written) to `filling` (the one being filled, not yet handed
    // out) sit in a ring, piece n at n % pieces.size(), and how many pieces
    // each joiner has not yet joined.
    std::mutex lock;
    std::condition_variable handed_out, joined_one;
    std::vector<Piece> pieces;
    std::size_t oldest = 0;
    std::size_t filling = 0;
    std::vector<std::size_t> queued;
    bool stopping = false;
    std::vector<SmartJoinState> joins;  // each joiner's, but the first thread's first one
    std::vector<std::thread> joiners;   // joiners 1 on
    // Who joins the paragraph going on: at first the first thread, with
    // the join the caller's thread began, so that a text without empty
    // lines is joined beside the reading and writing.
    std::size_t joiner = 1;
    bool paragraph_open = true; // the next piece goes on with it

    ~Joining() { stop(); }

    void stop() {
        {
            const std::lock_guard<std::mutex> held(lock);
            stopping = true;
        }
        handed_out.notify_all();
        for (std::thread& thread : joiners) thread.join();
        joiners.clear();
    }

    Piece& piece(std::size_t number) { return pieces[number % pieces.size()]; }

    // The join the caller's thread began goes on, on the first thread,
    // until its paragraph ends.
    SmartJoin& join_of(std::size_t who) { return joins[who] ? *joins[who] : first_join; }

    // Joins a piece, on whichever thread its joiner is.
    void join_piece(Piece& mine) {
        try {
            SmartJoin& join = join_of(mine.joiner);
            mine.written = smart_join(join, mine.in.data, mine.size, mine.out.data);
            if (mine.ends) {
                mine.written += smart_join_finish(join, mine.out.data + mine.written);
                joins[mine.joiner] = start_join_like(join);
            }
        } catch (...) {
            mine.thrown = std::current_exception();
        }
    }

    void joined(Piece& mine) {
        {
            const std::lock_guard<std::mutex> held(lock);
            mine.joined = true;
            --queued[mine.joiner];
        }
        joined_one.notify_one();
    }

    // A joining thread: joins its pieces in order until stopped.
    void join_pieces(std::size_t who) {
        std::size_t next = 0;  // the first piece it has not looked at
        std::unique_lock<std::mutex> held(lock);
        while (!stopping) {
            // Pieces older than `oldest` were all joined and written.
            next = std::max(next, oldest);
            while (next < filling && piece(next).joiner != who) ++next;
            if (next == filling) {
                handed_out.wait(held);
                continue;
            }
            Piece& mine = piece(next++);
            held.unlock();
            join_piece(mine);
            joined(mine);
            held.lock();
        }
    }

    bool start_joiners() {
        const unsigned cores = std::thread::hardware_concurrency();
        if (cores < 2) return false;
        const std::size_t count = std::min(cores, most_joiners);
        pieces = std::vector<Piece>((count - 1) * queued_enough + pieces_beside);
        queued.assign(count, 0);
        joins.resize(count);
        for (std::size_t who = 0; who < count; ++who) {
            if (who != 1) joins[who] = start_join_like(first_join);
        }
        for (std::size_t who = 1; who < count; ++who) {
            try {
                joiners.emplace_back([this, who] { join_pieces(who); });
            } catch (const std::system_error&) {
                if (who == 1) return false;
                // Fewer threads than asked for: the pieces go to those there are.
                joins.resize(who);
                queued.resize(who);
                break;
            }
        }
        return true;
    }

    bool threaded() const { return !joiners.empty(); }

    // Who joins the next paragraph: the joining thread with the fewest
    // pieces queued, or the caller's thread when each has enough.
    std::size_t next_joiner() {
        const std::lock_guard<std::mutex> held(lock);
        std::size_t who = 0;
        for (std::size_t thread = 1; thread < queued.size(); ++thread) {
            if (queued[thread] < queued_enough && (who == 0 || queued[thread] < queued[who]))
                who = thread;
        }
        return who;
    }

    // Writes the output of the oldest pieces that are joined, in order;
    // with `wait`, waits for the oldest one's join first.
    bool write_joined(bool wait) {
        for (;; wait = false) {
            Piece* done = nullptr;
            {
                std::unique_lock<std::mutex> held(lock);
                if (oldest == filling) return true;
                done = &piece(oldest);
                if (!done->joined) {
                    if (!wait) return true;
                    joined_one.wait(held, [done] { return done->joined; });
                }
            }
            if (done->thrown) std::rethrow_exception(done->thrown);
            const bool written = hand_on(done->out.data, done->written);
            const std::lock_guard<std::mutex> held(lock);
            ++oldest;
            if (!written) return false;
        }
    }

    // Waits until the piece after the one being filled is free.
    bool make_room() {
        while (filling + 1 - oldest >= pieces.size()) {
            if (!write_joined(true)) return false;
        }
        return true;
    }

    // Hands out the piece being filled; `last`: the text ends after it.
    // The bytes after its last place where a join may start afresh move
    // on to the next piece.
    bool hand_out(bool last) {
        if (!make_room()) return false;
        Piece& full = piece(filling);
        Piece& next = piece(filling + 1);
        next.size = 0;
        next.ends = next.joined = false;
        next.thrown = nullptr;
        full.ends = last;
        if (!last) {
            const std::size_t from = full.size - std::min(full.size, restart_window);
            const std::size_t found = restart_point(full.in.data + from, full.size - from);
            if (found != 0) {
                const std::size_t restart = from + found;
                next.size = full.size - restart;
                std::memcpy(next.in.data, full.in.data + restart, next.size);
                full.size = restart;
                full.ends = true;
            }
        }
        if (!paragraph_open) joiner = next_joiner();
        paragraph_open = !full.ends;
        full.joiner = joiner;
        {
            const std::lock_guard<std::mutex> held(lock);
            ++queued[joiner];
            ++filling;
        }
        if (joiner == 0) {
            join_piece(full);
            joined(full);
        } else {
            handed_out.notify_all();
        }
        // What is already joined goes out now, so that the pieces keep moving.
        return write_joined(false);
    }

    bool fill(const char*& data, std::size_t& size) {
        Piece& open = piece(filling);
        const std::size_t taken = std::min(size, piece_bytes - open.size);
        std::memcpy(open.in.data + open.size, data, taken);
        open.size += taken;
        data += taken;
        size -= taken;
        return open.size < piece_bytes || hand_out(false);
    }

    bool finish_pieces() {
        if (!hand_out(true)) return false;
        while (oldest != filling) {
            if (!write_joined(true)) return false;
        }
        stop();
        return true;
    }
#else
    bool start_joiners() { return false; }
    bool threaded() const { return false; }
    bool fill(const char*&, std::size_t&) { return false; }
    bool finish_pieces() { return true; }
#endif

    bool write(const char* data, std::size_t size) {
        while (size != 0) {
            if (!threaded() && !alone && joined_alone >= alone_bytes) alone = !start_joiners();
            if (threaded()) {
                if (!fill(data, size)) return false;
                continue;
            }
            std::size_t taken = std::min(size, block_bytes);
            if (!alone) taken = std::min(taken, alone_bytes - joined_alone);
            joined_alone += taken;
            if (!join_alone(data, taken)) return false;
            data += taken;
            size -= taken;
        }
        return true;
    }

    bool finish() {
        if (threaded()) {
            if (!finish_pieces()) return false;
        } else if (!hand_on(alone_room(), smart_join_finish(first_join, alone_room()))) {
            return false;
        }
        return !below.finish || below.finish();
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
