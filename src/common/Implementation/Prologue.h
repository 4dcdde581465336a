#pragma once

#include "common/XIImage.h"

#include <initializer_list>
#include <string>

namespace OGL_TESK_AE {

// An image an operation cannot do without, and the name a reason gives it.
struct Operand {
    const XIImage* image;
    const char* name;
};

// The first call of every exported image operation, on the calling thread before anything is
// handed to the worker: forgets the reason the last operation left and checks each required
// operand. False, with "<name>: <why>" kept for LastOperationReason, when one cannot be used;
// the operation then returns without touching anything. Operands an operation can leave out
// (a back, a mask) are not listed: an unusable one is left out and the operation runs.
bool Prologue(std::initializer_list<Operand> required);

// Keeps why an operation that passed its prologue still stops short or does less than asked,
// or why the worker stopped a task this thread handed it.
void Refuse(const std::string& reason);

} // namespace OGL_TESK_AE
