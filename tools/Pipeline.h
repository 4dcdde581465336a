#pragma once

#include <cstddef>
#include <functional>

namespace cli {

// What each frame of a sequence goes through, every step given the frame's index.
struct FrameSteps {
    // On a thread of its own, up to one frame ahead of work.
    std::function<void(size_t)> read;
    // On the calling thread as the frame's turn comes, before its read is waited for (the
    // progress line). May be empty.
    std::function<void(size_t)> begin;
    // On the calling thread, once the frame is read.
    std::function<void(size_t)> work;
    // On a thread of its own, up to one frame behind work.
    std::function<void(size_t)> write;
};

// Runs frames 0 to count - 1 through the steps as a compositor would: while the calling thread
// works on frame n, frame n + 1 is read and frame n - 1 written, so the decoder, the library and
// the encoder wait for one another only where one of them is slower. Every step takes the frames
// in order, and no more than three frames are under way at once.
//
// A step that throws stops the run at its frame: every earlier frame still goes through all its
// steps, no later frame is worked on or written (the next one may have been read), and once the
// other threads are done the exception of the earliest frame that failed is rethrown here.
void RunFrames(size_t count, const FrameSteps& steps);

} // namespace cli
