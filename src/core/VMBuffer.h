// A code buffer: one bytecode sequence as the interpreter runs it. The same record holds a
// code object's debug table, its words read as (code offset, source position) pairs.
#pragma once

#include <cstdint>

struct VMBuffer {
    VMBuffer(uint8_t* code, int32_t length, int32_t locals, int32_t arguments)
        : length(length), locals(locals), arguments(arguments), code(code) {}
    // Frees the dispatch tables; the code is never owned (it lies in the data file or in a
    // debugger packet).
    virtual ~VMBuffer();
    VMBuffer(const VMBuffer&) = delete;
    VMBuffer& operator=(const VMBuffer&) = delete;

    int32_t length;     // bytes of code
    int32_t locals;     // local slots of the code entry
    int32_t arguments;  // declared arguments of the code entry
    uint8_t* code;
    void** handlers = nullptr;   // one per instruction, built by the interpreter before a run
    int32_t* wordMap = nullptr;  // instruction number per word offset, built with the handlers
};
