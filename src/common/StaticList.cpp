#include "common/StaticList.h"

#include "common/Shared.h"
#include "common/Implementation/WorkerBackend.h"
#include "platform/Mutex.h"

namespace TESK_AE {

namespace {

StaticList* sHead = nullptr;
int sUseCount = 0;

// The use count is changed by whichever plug-in thread starts or stops; a recursive mutex
// stands in for a busy flag, and lets a Finalize that loads a plug-in call Increment.
platform::Mutex& Busy() {
    static platform::Mutex mutex;
    return mutex;
}

} // namespace

StaticList::StaticList() : fNext(sHead) {
    if (sHead) sHead->fPrevious = this;
    sHead = this;
}

StaticList::~StaticList() {
    if (fPrevious) fPrevious->fNext = fNext;
    if (fNext) fNext->fPrevious = fPrevious;
    if (sHead == this) sHead = fNext;
    fPrevious = fNext = nullptr;
}

void StaticList::FinalizedNext() {
    if (fNext) fNext->Finalize();
}

void StaticList::Increment() {
    Busy().Wait(0x7FFFFFFF);
    ++sUseCount;
    Busy().Release();
}

void StaticList::Decrement() {
    Busy().Wait(0x7FFFFFFF);
    if (sUseCount > 0 && --sUseCount == 0 && sHead) sHead->Finalize();
    Busy().Release();
}

int StaticList::UseCount() {
    return sUseCount;
}

} // namespace TESK_AE

namespace OGL_TESK_AE {

namespace {

bool ReleaseAllTask(void*) {
    Thread::Backend().ReleaseAll();
    return true;
}

TESK_AE::StaticObject<SharedCleaner> sCleaner;

} // namespace

void SharedCleaner::Finalize() {
    if (Thread* worker = CurrentWorker()) {
        if (worker->IsRunning()) {
            static int marker;
            worker->Execute(ReleaseAllTask, &marker);
        }
        worker->Finalize();
        __atomic_store_n(&sThread, static_cast<Thread*>(nullptr), __ATOMIC_RELEASE);
        delete worker;
    }
    fFinalized = true;
}

} // namespace OGL_TESK_AE
