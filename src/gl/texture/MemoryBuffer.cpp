#include "gl/texture/MemoryBuffer.h"

namespace OGL_TESK_AE {

namespace {
MemoryFactory sMemoryFactory;
}

MemoryBuffer::MemoryBuffer(const MemoryKey& key)
    : fBytes(key.Bytes()), fData(new char[key.Bytes() > 0 ? key.Bytes() : 0]) {}

MemoryBuffer::~MemoryBuffer() {
    delete[] fData;
}

void MemoryBuffer::Finalize() {
    delete[] fData;
    fData = nullptr;
}

void MemoryBuffer::Dump() const {}

MemoryFactory& MemoryBuffer::Factory() {
    return sMemoryFactory;
}

MemoryBuffer* MemoryBuffer::Make(const MemoryKey& key) {
    return sMemoryFactory.Make(key);
}

void MemoryBuffer::Recycle(MemoryBuffer* buffer) {
    sMemoryFactory.Recycle(buffer);
}

} // namespace OGL_TESK_AE
