#pragma once

#include "gl/effects/BlendOp.h"

#include <functional>
#include <string>

namespace cli {

// What tesk-ae and the Python module both need of the library beyond its operations, built into
// each of them: the library's public API only.

// Runs job inside a task of its own on the library's worker thread, where the exported
// operations it calls run in place. False, with the worker's error text, when the task failed
// (it threw, or the worker had no OpenGL context).
bool RunOnWorker(const std::function<void()>& job, std::string& error);

// The blend op of a number as BlendOpName numbers them (Default 0 ... Replace 11). Throws
// std::out_of_range for any other number.
const OGL_TESK_AE::BlendOp& BlendOpAt(int op);

} // namespace cli
