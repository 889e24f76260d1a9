#include "core/VMBuffer.h"

#include "core/MemoryManager.h"

VMBuffer::~VMBuffer() {
    MEM_FREE(handlers);
    MEM_FREE(wordMap);
}
