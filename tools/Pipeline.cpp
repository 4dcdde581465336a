#include "tools/Pipeline.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace cli {

namespace {

// How far each step has got, shared by the three threads.
class Progression {
public:
    explicit Progression(size_t count) : fFailed(count) {}

    // Waits until ready() holds or a frame at or before frame has failed; true for ready().
    template <class Ready> bool WaitFor(size_t frame, Ready ready) {
        std::unique_lock<std::mutex> lock(fMutex);
        fChanged.wait(lock, [&]() { return fFailed <= frame || ready(); });
        return fFailed > frame;
    }

    // Counts a step done for frame (the steps' counters below), or keeps its failure.
    void Done(size_t& counter, size_t frame) {
        std::lock_guard<std::mutex> lock(fMutex);
        counter = frame + 1;
        fChanged.notify_all();
    }
    void Fail(size_t frame) {
        std::lock_guard<std::mutex> lock(fMutex);
        if (frame < fFailed) {
            fFailed = frame;
            fFailure = std::current_exception();
        }
        fChanged.notify_all();
    }
    bool Stopped(size_t frame) {
        std::lock_guard<std::mutex> lock(fMutex);
        return fFailed < frame;
    }
    std::exception_ptr Failure() const { return fFailure; }

    // Frames through each step; read under the lock, in the conditions given to WaitFor.
    size_t fRead = 0, fWorked = 0, fWritten = 0;

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
    size_t fFailed;
    std::exception_ptr fFailure;
};

// Runs step for each frame that may go on, in order, until one fails.
template <class Ready>
void Each(size_t count, Progression& progression, size_t& counter, Ready ready,
          const std::function<void(size_t)>& step) {
    for (size_t frame = 0; frame < count; ++frame) {
        if (!progression.WaitFor(frame, [&]() { return ready(frame); })) return;
        try {
            step(frame);
        } catch (...) {
            progression.Fail(frame);
            return;
        }
        progression.Done(counter, frame);
    }
}

} // namespace

void RunFrames(size_t count, const FrameSteps& steps) {
    Progression p(count);
    // Frame n is read once n - 1 is being worked on and n - 3 is written, worked on once it is
    // read and n - 2 is written, and written once it is worked on.
    const auto readable = [&](size_t n) { return n <= p.fWorked + 1 && n <= p.fWritten + 2; };
    const auto workable = [&](size_t n) { return n < p.fRead && n <= p.fWritten + 1; };
    const auto writable = [&](size_t n) { return n < p.fWorked; };
    std::thread reader([&]() { Each(count, p, p.fRead, readable, steps.read); });
    std::thread writer([&]() { Each(count, p, p.fWritten, writable, steps.write); });
    // The frame whose read failed still gets its turn here, as it would without the threads.
    for (size_t frame = 0; frame < count && !p.Stopped(frame); ++frame) {
        try {
            if (steps.begin) steps.begin(frame);
            if (!p.WaitFor(frame, [&]() { return workable(frame); })) break;
            steps.work(frame);
        } catch (...) {
            p.Fail(frame);
            break;
        }
        p.Done(p.fWorked, frame);
    }
    reader.join();
    writer.join();
    if (p.Failure()) std::rethrow_exception(p.Failure());
}

} // namespace cli
